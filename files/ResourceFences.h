#pragma once
// ResourceFences: the process-wide record of which threads may still hold resource pointers, and
// the gate that pauses the resource loader. BaseResourceManager's static fence operations are
// its public face; the managers and the loader use it directly.
//
// Fences are epochs. SetThreadFence stamps the calling thread with a fresh epoch: "I hold no
// resource pointer that I took before this point without a reference". A resource that leaves its
// manager's registry is stamped with the current epoch and may be freed only once every thread
// with a fence has set a newer one. A thread without a fence (never set, or removed) is taken to
// hold nothing, so a thread that goes idle removes its fence rather than blocking every free.
//
// The pause: while paused the loader takes no new request, and SetPaused(true) returns only once
// the requests in progress have finished, so the caller can rebuild every resource without racing
// the loader (device resets and full reloads).

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "core/Mem.h"

namespace GAME {

class Thread;

class ResourceFences {
public:
    static ResourceFences& Get();

    // Stamps the calling thread with a new epoch (registering it on first use).
    void SetThreadFence();
    // Forgets the calling thread's fence.
    void RemoveThreadFence();
    // The current epoch: the stamp of a resource leaving its registry now.
    uint64_t GetEpoch() const;
    // True when every thread with a fence has set it after the epoch stamp.
    bool HaveAllThreadsPassed(uint64_t stamp) const;

    // Pausing waits for the loader work in progress to end (unless called from inside it).
    void SetPaused(bool paused);
    bool IsPaused() const;

    // Loader side of the gate: TryBeginLoaderWork is false while paused; every true is followed
    // by one EndLoaderWork.
    bool TryBeginLoaderWork();
    void EndLoaderWork();
    // Waits until the pause ends or the thread is asked to stop (its RequestStop calls
    // WakeWaiters).
    void WaitWhilePaused(const Thread& thread);
    // Wakes WaitWhilePaused so it can see a stop request.
    void WakeWaiters();

private:
    ResourceFences() = default;

    mutable std::mutex mutex_;
    std::condition_variable changed_;                    // loader work ended, or the pause changed
    uint64_t epoch_ = 1;                                 // last epoch handed out
    mem::hash_map<std::thread::id, uint64_t> fences_;    // thread -> epoch of its last fence
    bool paused_ = false;
    int activeLoaderWork_ = 0;                           // requests being served right now
};

}  // namespace GAME
