#include "core/UniqueIdMap.h"

#include "core/CriticalSectionLock.h"
#include "core/Log.h"

namespace GAME {

UniqueIdMap* UniqueIdMap::Get() { return Singleton<UniqueIdMap>::Get(); }

Entity* UniqueIdMap::GetEntity(const UniqueId& id) const {
    CriticalSectionLock lock(lock_);
    const auto it = entities_.find(id);
    return it != entities_.end() ? it->second : nullptr;
}

void UniqueIdMap::Register(const UniqueId& id, Entity* entity) {
    if (id.IsNull() || !entity) return;
    CriticalSectionLock lock(lock_);
    Entity*& registered = entities_[id];
    if (registered && registered != entity)
        Log(LogPriority::Warning, "UniqueIdMap: id %08x-%08x-%08x-%08x is taken over by another entity",
            id.GetPart(0), id.GetPart(1), id.GetPart(2), id.GetPart(3));
    registered = entity;
}

void UniqueIdMap::Unregister(const UniqueId& id, const Entity* entity) {
    CriticalSectionLock lock(lock_);
    const auto it = entities_.find(id);
    if (it != entities_.end() && it->second == entity) entities_.erase(it);
}

int UniqueIdMap::GetNumEntities() const {
    CriticalSectionLock lock(lock_);
    return static_cast<int>(entities_.size());
}

}  // namespace GAME
