#pragma once
// EditorFilter: which objects the editor shows. Objects register with a filter type (lights
// register as EditorFilterType::Light in editor mode and unregister when destroyed), and the
// editor hides or shows whole types at once.
//
// Threads: objects register while levels load on the level loading thread, so every operation
// takes the filter's lock.

#include <cstdint>

#include "core/CriticalSection.h"
#include "core/Mem.h"
#include "core/Singleton.h"

namespace GAME {

// The kind of object a filter entry stands for; the editor's switches are per kind.
enum class EditorFilterType : int {
    Light = 4,
};

class EditorFilter {
public:
    // The process-wide filter, made on first use (Singleton<EditorFilter>).
    static EditorFilter* Get();

    // Registers an object (by object id) under a type; registering it again changes its type.
    void AddFilterObject(uint32_t objectId, EditorFilterType type);
    // Forgets an object; an object that was not registered is ignored.
    void RemoveFilterObject(uint32_t objectId);

    // Shows (the default) or hides every object of a type.
    void SetTypeVisible(EditorFilterType type, bool visible);
    // False when the object is registered under a hidden type.
    bool IsVisible(uint32_t objectId) const;
    int GetNumFilterObjects() const;

private:
    friend class Singleton<EditorFilter>;
    EditorFilter() = default;

    mutable CriticalSection lock_;
    mem::hash_map<uint32_t, EditorFilterType> objects_;
    mem::set<EditorFilterType> hiddenTypes_;
};

}  // namespace GAME
