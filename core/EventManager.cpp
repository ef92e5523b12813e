#include "core/EventManager.h"

#include <algorithm>

#include "core/CriticalSectionLock.h"

namespace GAME {

bool EventManager::RegisterHandler(unsigned id, Handler* handler) {
    if (!handler) return false;
    CriticalSectionLock lock(lock_);
    mem::vector<Handler*>& list = handlers_[id];
    if (std::find(list.begin(), list.end(), handler) != list.end()) return false;
    list.push_back(handler);
    return true;
}

bool EventManager::UnregisterHandler(unsigned id, Handler* handler) {
    CriticalSectionLock lock(lock_);
    const auto it = handlers_.find(id);
    if (it == handlers_.end()) return false;
    mem::vector<Handler*>& list = it->second;
    const auto found = std::find(list.begin(), list.end(), handler);
    if (found == list.end()) return false;
    list.erase(found);
    if (list.empty()) handlers_.erase(it);
    return true;
}

void EventManager::UnregisterHandler(Handler* handler) {
    CriticalSectionLock lock(lock_);
    for (auto it = handlers_.begin(); it != handlers_.end();) {
        std::erase(it->second, handler);
        it = it->second.empty() ? handlers_.erase(it) : std::next(it);
    }
}

bool EventManager::IsRegistered(unsigned id, const Handler* handler) const {
    CriticalSectionLock lock(lock_);
    const auto it = handlers_.find(id);
    return it != handlers_.end() && std::find(it->second.begin(), it->second.end(), handler) != it->second.end();
}

void EventManager::Send(const GameEvent* event, unsigned id) {
    mem::vector<Handler*> snapshot;
    {
        CriticalSectionLock lock(lock_);
        const auto it = handlers_.find(id);
        if (it == handlers_.end()) return;
        snapshot = it->second;
    }
    for (Handler* handler : snapshot)
        if (IsRegistered(id, handler)) handler->HandleEvent(event, id);
}

}  // namespace GAME
