#include "network/NetworkEntityList.h"

namespace GAME {

void NetworkEntityList::AddEntityToClient(uint32_t clientId, Entity* entity) {
    if (entity) clients_[clientId].insert(entity);
}

void NetworkEntityList::RemoveEntityFromClient(uint32_t clientId, Entity* entity) {
    const auto it = clients_.find(clientId);
    if (it == clients_.end()) return;
    it->second.erase(entity);
    if (it->second.empty()) clients_.erase(it);
}

bool NetworkEntityList::DoesEntityExistOnClient(uint32_t clientId, const Entity* entity) const {
    const auto it = clients_.find(clientId);
    return it != clients_.end() && it->second.contains(entity);
}

bool NetworkEntityList::DoesEntityExistOnAnyClient(const Entity* entity) const {
    for (const auto& [clientId, entities] : clients_)
        if (entities.contains(entity)) return true;
    return false;
}

void NetworkEntityList::RemoveEntityFromAllClients(const Entity* entity) {
    for (auto it = clients_.begin(); it != clients_.end();) {
        it->second.erase(entity);
        it = it->second.empty() ? clients_.erase(it) : std::next(it);
    }
}

}  // namespace GAME
