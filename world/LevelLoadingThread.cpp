#include "world/LevelLoadingThread.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "core/Log.h"
#include "files/BaseResourceManager.h"
#include "world/Region.h"

namespace GAME {

namespace {

// The calling thread's processor time so far.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

}  // namespace

LevelLoadingThread& LevelLoadingThread::Get() {
    static LevelLoadingThread thread;
    return thread;
}

LevelLoadingThread::~LevelLoadingThread() { Stop(); }

void LevelLoadingThread::Enqueue(const Request& request) {
    std::unique_lock lock(lock_);
    if (request.region == serving_ ||
        std::any_of(queue_.begin(), queue_.end(), [&](const Request& r) { return r.region == request.region; }))
        return;
    queue_.push_back(request);
    request.region->SetQueued(true);
    const bool start = !manual_ && !IsRunning();
    lock.unlock();
    wake_.notify_all();
    if (start) Start("Level Loading Thread");
}

bool LevelLoadingThread::Cancel(const Region* region) {
    std::lock_guard lock(lock_);
    const auto found = std::find_if(queue_.begin(), queue_.end(), [&](const Request& r) { return r.region == region; });
    if (found == queue_.end()) return false;
    queue_.erase(found);
    const_cast<Region*>(region)->SetQueued(false);
    return true;
}

void LevelLoadingThread::WaitFor(const Region* region) {
    Cancel(region);
    std::unique_lock lock(lock_);
    if (serving_ != region) return;
    lock.unlock();
    Log(LogPriority::Warning, "Main thread sleeping waiting for load of level '%s'", region->GetName().c_str());
    lock.lock();
    wake_.wait(lock, [&] { return serving_ != region; });
}

bool LevelLoadingThread::ServeNextRequest() {
    Request request;
    {
        std::lock_guard lock(lock_);
        if (queue_.empty()) return false;
        request = queue_.front();
        queue_.pop_front();
        serving_ = request.region;
    }
    Serve(request);
    return true;
}

LevelLoadingThread::LoadTimes LevelLoadingThread::GetLoadTimes() const {
    std::lock_guard lock(lock_);
    return loadTimes_;
}

void LevelLoadingThread::ResetLoadTimes() {
    std::lock_guard lock(lock_);
    loadTimes_ = LoadTimes();
}

size_t LevelLoadingThread::GetNumQueued() const {
    std::lock_guard lock(lock_);
    return queue_.size();
}

void LevelLoadingThread::SetManual(bool manual) {
    {
        std::lock_guard lock(lock_);
        manual_ = manual;
    }
    if (manual) Stop();
}

void LevelLoadingThread::RequestStop() {
    {
        std::lock_guard lock(lock_);
        Thread::RequestStop();
    }
    wake_.notify_all();
}

void LevelLoadingThread::Serve(const Request& request) {
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuMs();
    BaseResourceManager::SetThreadUnloadFence();
    request.region->InternalLoadLevel(request.loadRenderData);
    BaseResourceManager::SetThreadUnloadFence();
    const double cpuMs = ThreadCpuMs() - cpuStart;
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
    {
        std::lock_guard lock(lock_);
        serving_ = nullptr;
        request.region->SetQueued(false);
        ++loadTimes_.served;
        loadTimes_.wallMs += wallMs;
        loadTimes_.cpuMs += cpuMs;
        if (cpuMs > 0.0) loadTimes_.worstRatio = std::max(loadTimes_.worstRatio, wallMs / cpuMs);
    }
    wake_.notify_all();
    BaseResourceManager::RemoveThreadFenceCounter();
}

void LevelLoadingThread::Run() {
    for (;;) {
        {
            std::unique_lock lock(lock_);
            wake_.wait(lock, [&] { return IsStopRequested() || !queue_.empty(); });
            if (IsStopRequested()) return;
        }
        ServeNextRequest();
    }
}

}  // namespace GAME
