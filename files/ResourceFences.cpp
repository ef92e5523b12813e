#include "files/ResourceFences.h"

#include "core/Thread.h"

namespace GAME {

namespace {

// Loader work the calling thread is inside; a pause requested from there must not wait for it.
thread_local int tLoaderWorkDepth = 0;

}  // namespace

ResourceFences& ResourceFences::Get() {
    static ResourceFences fences;
    return fences;
}

void ResourceFences::SetThreadFence() {
    std::lock_guard<std::mutex> lock(mutex_);
    fences_[std::this_thread::get_id()] = ++epoch_;
}

void ResourceFences::RemoveThreadFence() {
    std::lock_guard<std::mutex> lock(mutex_);
    fences_.erase(std::this_thread::get_id());
}

uint64_t ResourceFences::GetEpoch() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return epoch_;
}

bool ResourceFences::HaveAllThreadsPassed(uint64_t stamp) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [thread, fence] : fences_)
        if (fence <= stamp) return false;
    return true;
}

void ResourceFences::SetPaused(bool paused) {
    std::unique_lock<std::mutex> lock(mutex_);
    paused_ = paused;
    changed_.notify_all();
    if (paused) {
        const int own = tLoaderWorkDepth;
        changed_.wait(lock, [this, own] { return activeLoaderWork_ <= own; });
    }
}

bool ResourceFences::IsPaused() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return paused_;
}

bool ResourceFences::TryBeginLoaderWork() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (paused_) return false;
    ++activeLoaderWork_;
    ++tLoaderWorkDepth;
    return true;
}

void ResourceFences::EndLoaderWork() {
    std::lock_guard<std::mutex> lock(mutex_);
    --activeLoaderWork_;
    --tLoaderWorkDepth;
    changed_.notify_all();
}

void ResourceFences::WaitWhilePaused(const Thread& thread) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this, &thread] { return !paused_ || thread.IsStopRequested(); });
}

void ResourceFences::WakeWaiters() {
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
}

}  // namespace GAME
