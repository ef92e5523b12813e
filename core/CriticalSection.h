#pragma once
// A recursive lock: the thread that holds it may enter again, and leaves once per entry.
//
// Enter is the profiled form of EnterNoProfile; the engine keeps no lock profile, so both simply
// wait for the lock. Usually taken through CriticalSectionLock.

#include <mutex>

namespace GAME {

class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { mutex_.lock(); }
    void EnterNoProfile() { mutex_.lock(); }
    void Exit() { mutex_.unlock(); }
    // Enters without waiting: true when entered, false at once when another thread holds it.
    bool TryToEnter() { return mutex_.try_lock(); }

private:
    std::recursive_mutex mutex_;
};

}  // namespace GAME
