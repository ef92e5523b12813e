#pragma once
// A manual-reset event: once signalled it stays signalled, releasing every waiter, until Reset.
//
// Waits take a timeout in milliseconds; a negative timeout (kInfinite) waits for ever.
// WaitForAny registers a shared waiter with each event, so a signal on any of them wakes it.

#include <condition_variable>
#include <mutex>

#include "core/Mem.h"

namespace GAME {

class Event {
public:
    static constexpr int kInfinite = -1;

    explicit Event(bool signaled = false) : signaled_(signaled) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void SetSignaled();
    bool GetSignaled() const;
    void Reset();

    // True when the event is (or becomes) signalled within the timeout.
    bool Wait(int timeoutMs = kInfinite) const;

    // The index of the lowest-numbered signalled event once any of the count events is
    // signalled, or -1 when the timeout passes first (or count is below 1).
    static int WaitForAny(Event* const* events, int count, int timeoutMs = kInfinite);

private:
    struct Waiter {
        std::mutex mutex;
        std::condition_variable wake;
        bool woken = false;
    };

    void AddWaiter(Waiter* waiter);
    void RemoveWaiter(Waiter* waiter);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool signaled_;
    mem::vector<Waiter*> waiters_;  // WaitForAny calls currently waiting on this event
};

}  // namespace GAME
