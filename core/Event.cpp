#include "core/Event.h"

#include <algorithm>
#include <chrono>

namespace GAME {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(int timeoutMs) { return Clock::now() + std::chrono::milliseconds(timeoutMs); }

}  // namespace

void Event::SetSignaled() {
    std::lock_guard<std::mutex> lock(mutex_);
    signaled_ = true;
    changed_.notify_all();
    for (Waiter* waiter : waiters_) {
        std::lock_guard<std::mutex> waiterLock(waiter->mutex);
        waiter->woken = true;
        waiter->wake.notify_all();
    }
}

bool Event::GetSignaled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return signaled_;
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signaled_ = false;
}

bool Event::Wait(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto isSignaled = [this] { return signaled_; };
    if (timeoutMs < 0) {
        changed_.wait(lock, isSignaled);
        return true;
    }
    return changed_.wait_until(lock, Deadline(timeoutMs), isSignaled);
}

void Event::AddWaiter(Waiter* waiter) {
    std::lock_guard<std::mutex> lock(mutex_);
    waiters_.push_back(waiter);
}

void Event::RemoveWaiter(Waiter* waiter) {
    std::lock_guard<std::mutex> lock(mutex_);
    waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), waiter), waiters_.end());
}

int Event::WaitForAny(Event* const* events, int count, int timeoutMs) {
    if (!events || count < 1) return -1;
    Waiter waiter;
    for (int i = 0; i < count; ++i) events[i]->AddWaiter(&waiter);
    const Clock::time_point deadline = Deadline(std::max(timeoutMs, 0));
    int found = -1;
    for (;;) {
        // Clear the wake flag before looking, so a signal that arrives after the look still wakes
        // the wait below. An event may be reset again between its signal and the look.
        {
            std::lock_guard<std::mutex> lock(waiter.mutex);
            waiter.woken = false;
        }
        for (int i = 0; i < count && found < 0; ++i)
            if (events[i]->GetSignaled()) found = i;
        if (found >= 0) break;
        std::unique_lock<std::mutex> lock(waiter.mutex);
        const auto isWoken = [&waiter] { return waiter.woken; };
        if (timeoutMs < 0)
            waiter.wake.wait(lock, isWoken);
        else if (!waiter.wake.wait_until(lock, deadline, isWoken))
            break;
    }
    for (int i = 0; i < count; ++i) events[i]->RemoveWaiter(&waiter);
    return found;
}

}  // namespace GAME
