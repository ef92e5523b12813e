#include "files/ResourceLoader.h"

#include "core/Thread.h"
#include "files/Resource.h"
#include "files/ResourceFences.h"

namespace GAME {

namespace {

// The request the calling thread is serving, so that the dependents it queues share its number.
struct ServedRequest {
    const ResourceLoader* loader = nullptr;
    const Resource* resource = nullptr;
    uint32_t sequence = 0;
};
thread_local ServedRequest tServed;

}  // namespace

// The "Resource Loader Thread": serves requests until asked to stop, sleeping while there are
// none or while the loader is paused.
class ResourceLoader::LoaderThread : public Thread {
public:
    explicit LoaderThread(ResourceLoader& loader) : loader_(loader) {}
    ~LoaderThread() override { Stop(); }

    void RequestStop() override {
        Thread::RequestStop();
        loader_.work_.SetSignaled();
        ResourceFences::Get().WakeWaiters();
    }

protected:
    void Run() override {
        ResourceFences& fences = ResourceFences::Get();
        while (!IsStopRequested()) {
            if (loader_.ServeNextRequest()) continue;
            // Checked after ServeNextRequest has reset the work event, so a stop that signalled it
            // before the reset is seen here and one after it wakes the wait.
            if (IsStopRequested()) break;
            if (fences.IsPaused())
                fences.WaitWhilePaused(*this);
            else
                loader_.work_.Wait();
        }
    }

private:
    ResourceLoader& loader_;
};

ResourceLoader::ResourceLoader(FileSystem& fileSystem) : fileSystem_(fileSystem) {}

ResourceLoader::~ResourceLoader() { thread_.reset(); }

bool ResourceLoader::StartThread() {
    if (!thread_) thread_ = std::make_unique<LoaderThread>(*this);
    return thread_->Start(kThreadName);
}

void ResourceLoader::StopThread() {
    if (thread_) thread_->Stop();
}

bool ResourceLoader::IsThreadRunning() const { return thread_ && thread_->IsRunning(); }

void ResourceLoader::EnqueueResource(const Resource* resource, ResourcePriority priority, bool preLoadDependents,
                                     bool markAsUsed) {
    if (!resource) return;
    switch (resource->GetLoadedState()) {
        case Resource::LoadedState::Loading:
            return;
        case Resource::LoadedState::Loaded:
            if (markAsUsed)
                resource->MarkAsUsed();
            else
                resource->MarkAsTouched();
            if (preLoadDependents) resource->PreLoadDependentResources();
            return;
        case Resource::LoadedState::NotLoaded:
            break;
    }

    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = queued_.find(resource);
    if (it != queued_.end()) {
        if (preLoadDependents) it->second.preLoadDependents = true;
        return;
    }
    if (!resource->MayTryAgain(GetFrameCount())) return;
    const uint32_t sequence = tServed.loader == this ? tServed.sequence : ++sequence_;
    queues_[priority == ResourcePriority::High ? 0 : 1].push_back({resource, sequence});
    queued_.emplace(resource, Queued{sequence, preLoadDependents});
    outstanding_.insert(sequence);
    work_.SetSignaled();
}

uint32_t ResourceLoader::CreateMarker() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ++sequence_;
}

bool ResourceLoader::GetHasMarkerPast(uint32_t marker) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outstanding_.empty() || *outstanding_.begin() > marker;
}

bool ResourceLoader::ServeNextRequest() {
    ResourceFences& fences = ResourceFences::Get();
    if (!fences.TryBeginLoaderWork()) return false;
    Request request{};
    bool preLoadDependents = false;
    bool found;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        found = PopLocked(request, preLoadDependents);
        if (found)
            serving_.insert(request.resource);
        else
            work_.Reset();
    }
    if (found) {
        Serve(request.resource, request.sequence, preLoadDependents);
        std::lock_guard<std::mutex> lock(mutex_);
        serving_.erase(serving_.find(request.resource));
        FinishLocked(request.sequence);
        served_.notify_all();
    }
    fences.EndLoaderWork();
    return found;
}

void ResourceLoader::Serve(const Resource* resource, uint32_t sequence, bool preLoadDependents) {
    const ServedRequest outer = tServed;
    tServed = {this, resource, sequence};
    resource->TryLoad();
    if (preLoadDependents && resource->GetIsLoaded(true)) resource->PreLoadDependentResources();
    tServed = outer;
}

bool ResourceLoader::PopLocked(Request& request, bool& preLoadDependents) {
    for (std::deque<Request>& queue : queues_) {
        while (!queue.empty()) {
            const Request front = queue.front();
            queue.pop_front();
            const auto it = queued_.find(front.resource);
            if (it == queued_.end() || it->second.sequence != front.sequence) continue;  // cancelled
            preLoadDependents = it->second.preLoadDependents;
            queued_.erase(it);
            request = front;
            return true;
        }
    }
    return false;
}

void ResourceLoader::FinishLocked(uint32_t sequence) {
    const auto it = outstanding_.find(sequence);
    if (it != outstanding_.end()) outstanding_.erase(it);
}

void ResourceLoader::CancelResource(const Resource* resource) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto it = queued_.find(resource);
    if (it != queued_.end()) {
        FinishLocked(it->second.sequence);
        queued_.erase(it);
    }
    // A thread cannot wait for its own request; its caller is inside that resource's load.
    if (tServed.loader == this && tServed.resource == resource) return;
    served_.wait(lock, [this, resource] { return serving_.find(resource) == serving_.end(); });
}

int ResourceLoader::GetNumQueued() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(queued_.size());
}

}  // namespace GAME
