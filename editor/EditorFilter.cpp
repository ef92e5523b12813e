#include "editor/EditorFilter.h"

#include "core/CriticalSectionLock.h"

namespace GAME {

EditorFilter* EditorFilter::Get() { return Singleton<EditorFilter>::Get(); }

void EditorFilter::AddFilterObject(uint32_t objectId, EditorFilterType type) {
    CriticalSectionLock lock(lock_);
    objects_[objectId] = type;
}

void EditorFilter::RemoveFilterObject(uint32_t objectId) {
    CriticalSectionLock lock(lock_);
    objects_.erase(objectId);
}

void EditorFilter::SetTypeVisible(EditorFilterType type, bool visible) {
    CriticalSectionLock lock(lock_);
    if (visible)
        hiddenTypes_.erase(type);
    else
        hiddenTypes_.insert(type);
}

bool EditorFilter::IsVisible(uint32_t objectId) const {
    CriticalSectionLock lock(lock_);
    const auto it = objects_.find(objectId);
    return it == objects_.end() || !hiddenTypes_.contains(it->second);
}

int EditorFilter::GetNumFilterObjects() const {
    CriticalSectionLock lock(lock_);
    return static_cast<int>(objects_.size());
}

}  // namespace GAME
