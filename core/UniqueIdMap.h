#pragma once
// UniqueIdMap: the process-wide map from an entity's UniqueId to the entity.
//
// Entities register themselves when they get an id (Entity::SetUniqueID, or the first
// Entity::GetUniqueID) and unregister when they lose it or are destroyed. Ids are meant to be
// unique; when a second entity registers an id that is taken (a restored copy of a saved entity),
// the newer one takes the id over with a warning, and the older one's later Unregister leaves the
// newer registration alone.
//
// Threads: entities get their ids on the level loading thread as well as the main thread, so every
// operation takes the map's lock.

#include "core/CriticalSection.h"
#include "core/Mem.h"
#include "core/Singleton.h"
#include "core/UniqueId.h"

namespace GAME {

class Entity;

class UniqueIdMap {
public:
    // The process-wide map, made on first use (Singleton<UniqueIdMap>).
    static UniqueIdMap* Get();

    // The entity registered under the id; null for the null id or an id nobody holds.
    Entity* GetEntity(const UniqueId& id) const;

    // Registers the entity under the id; the null id and a null entity are ignored.
    void Register(const UniqueId& id, Entity* entity);
    // Removes the id when it is registered to this entity.
    void Unregister(const UniqueId& id, const Entity* entity);

    int GetNumEntities() const;

private:
    friend class Singleton<UniqueIdMap>;
    UniqueIdMap() = default;

    mutable CriticalSection lock_;
    mem::hash_map<UniqueId, Entity*> entities_;
};

}  // namespace GAME
