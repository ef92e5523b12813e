#include "world/FOWSavingThread.h"

#include <algorithm>

#include "world/FogOfWar.h"

namespace GAME {

FOWSavingThread& FOWSavingThread::Get() {
    static FOWSavingThread thread;
    return thread;
}

FOWSavingThread::~FOWSavingThread() { Stop(); }

void FOWSavingThread::Save(const std::string& path, std::unique_ptr<FogOfWar> fog) {
    if (!fog) return;
    std::unique_lock lock(lock_);
    queue_.push_back(Job{path, std::move(fog)});
    const bool start = !IsRunning();
    lock.unlock();
    changed_.notify_all();
    if (start && Start("FOW Saving Thread")) SetPriority(0);
}

std::unique_ptr<FogOfWar> FOWSavingThread::Reclaim(const std::string& path) {
    std::unique_lock lock(lock_);
    const auto queued = std::find_if(queue_.begin(), queue_.end(), [&](const Job& job) { return job.path == path; });
    if (queued != queue_.end()) {
        std::unique_ptr<FogOfWar> fog = std::move(queued->fog);
        queue_.erase(queued);
        return fog;
    }
    changed_.wait(lock, [&] { return writing_ != path; });
    return nullptr;
}

void FOWSavingThread::Flush() {
    std::unique_lock lock(lock_);
    if (!IsRunning()) {
        while (WriteNext(lock)) {
        }
    }
    changed_.wait(lock, [&] { return queue_.empty() && writing_.empty(); });
}

size_t FOWSavingThread::GetNumQueued() const {
    std::lock_guard lock(lock_);
    return queue_.size();
}

void FOWSavingThread::RequestStop() {
    {
        std::lock_guard lock(lock_);
        Thread::RequestStop();
    }
    changed_.notify_all();
}

bool FOWSavingThread::WriteNext(std::unique_lock<std::mutex>& lock) {
    if (queue_.empty()) return false;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    writing_ = job.path;
    lock.unlock();
    job.fog->Write(job.path);
    job.fog.reset();
    lock.lock();
    writing_.clear();
    changed_.notify_all();
    return true;
}

void FOWSavingThread::Run() {
    std::unique_lock lock(lock_);
    for (;;) {
        changed_.wait(lock, [&] { return !queue_.empty() || IsStopRequested(); });
        // A stop still writes what is queued: unloaded regions' fog is not lost at shutdown.
        if (!WriteNext(lock)) return;
    }
}

}  // namespace GAME
