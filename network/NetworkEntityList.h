#pragma once
// NetworkEntityList: for each connected client, the entities replicated to it.
//
// A server adds an entity to a client's set when it starts replicating the entity to that client;
// the world and the levels take an entity out of every set before they destroy it. While the
// engine plays stand-alone there are no clients and the list stays empty.
//
// Threads: main thread only, like replication and entity removal.

#include <cstdint>

#include "core/Mem.h"

namespace GAME {

class Entity;

class NetworkEntityList {
public:
    // Adding an entity a client already has, or removing one it does not have, changes nothing.
    void AddEntityToClient(uint32_t clientId, Entity* entity);
    void RemoveEntityFromClient(uint32_t clientId, Entity* entity);

    bool DoesEntityExistOnClient(uint32_t clientId, const Entity* entity) const;
    bool DoesEntityExistOnAnyClient(const Entity* entity) const;
    void RemoveEntityFromAllClients(const Entity* entity);

    // Forgets every client (the engine leaves a networked game).
    void Clear() { clients_.clear(); }
    // Clients with at least one entity.
    int GetNumClients() const { return static_cast<int>(clients_.size()); }

private:
    mem::map<uint32_t, mem::hash_set<const Entity*>> clients_;  // never holds an empty set
};

}  // namespace GAME
