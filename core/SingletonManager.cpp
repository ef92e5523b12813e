#include "core/SingletonManager.h"

#include <algorithm>
#include <mutex>

#include "core/Mem.h"

namespace GAME {

namespace {

struct Entry {
    SingletonManager::DestroyFunction destroy;
    SingletonManager::Updatable* updatable;
};

struct Registry {
    std::mutex lock;
    mem::vector<Entry> entries;  // in creation order
};

Registry& GetRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

void SingletonManager::Register(DestroyFunction destroy, Updatable* updatable) {
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> lock(registry.lock);
    registry.entries.push_back({destroy, updatable});
}

void SingletonManager::Unregister(DestroyFunction destroy) {
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> lock(registry.lock);
    std::erase_if(registry.entries, [destroy](const Entry& entry) { return entry.destroy == destroy; });
}

void SingletonManager::Update() {
    Registry& registry = GetRegistry();
    // Singletons may be created or destroyed by an Update, so the list is never iterated while
    // unlocked; each step looks the next entry up again.
    mem::vector<DestroyFunction> pass;
    {
        std::lock_guard<std::mutex> lock(registry.lock);
        for (const Entry& entry : registry.entries)
            if (entry.updatable) pass.push_back(entry.destroy);
    }
    for (DestroyFunction key : pass) {
        Updatable* updatable = nullptr;
        {
            std::lock_guard<std::mutex> lock(registry.lock);
            const auto it = std::find_if(registry.entries.begin(), registry.entries.end(),
                                         [key](const Entry& entry) { return entry.destroy == key; });
            if (it != registry.entries.end()) updatable = it->updatable;
        }
        if (updatable) updatable->Update();
    }
}

void SingletonManager::DestroyAll() {
    Registry& registry = GetRegistry();
    for (;;) {
        DestroyFunction destroy = nullptr;
        {
            std::lock_guard<std::mutex> lock(registry.lock);
            if (registry.entries.empty()) return;
            destroy = registry.entries.back().destroy;
        }
        // Destroy unregisters the entry; a destructor may create or destroy other singletons.
        destroy();
    }
}

}  // namespace GAME
