#pragma once
// The process-wide instance of a manager type T, created on first use.
//
// Get creates the instance under the type's own lock (double-checked, so later calls take no
// lock) and registers it with SingletonManager, which updates it each frame when T derives from
// SingletonManager::Updatable and destroys it at shutdown. T's constructor must not call
// Singleton<T>::Get. T needs an accessible default constructor (or befriends Singleton<T>).

#include <atomic>
#include <mutex>
#include <type_traits>

#include "core/SingletonManager.h"

namespace GAME {

template <class T>
class Singleton {
public:
    static bool HasInstantiated() { return instance_.load(std::memory_order_acquire) != nullptr; }

    static T* Get() {
        T* instance = instance_.load(std::memory_order_acquire);
        if (instance) return instance;
        std::lock_guard<std::mutex> guard(lock_);
        instance = instance_.load(std::memory_order_relaxed);
        if (!instance) {
            instance = new T;
            SingletonManager::Updatable* updatable = nullptr;
            if constexpr (std::is_base_of_v<SingletonManager::Updatable, T>) updatable = instance;
            SingletonManager::Register(&Singleton::Destroy, updatable);
            instance_.store(instance, std::memory_order_release);
        }
        return instance;
    }

    // Deletes the instance, if any; the next Get makes a new one.
    static void Destroy() {
        T* instance = nullptr;
        {
            std::lock_guard<std::mutex> guard(lock_);
            instance = instance_.exchange(nullptr, std::memory_order_acq_rel);
            if (!instance) return;
            SingletonManager::Unregister(&Singleton::Destroy);
        }
        delete instance;
    }

private:
    inline static std::atomic<T*> instance_{nullptr};
    inline static std::mutex lock_;
};

}  // namespace GAME
