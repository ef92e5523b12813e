#pragma once
// ResourceLoader: the background loading of resources on the "Resource Loader Thread".
//
// Requests wait in two queues, one per priority; the thread serves the High queue first and each
// queue in order. Serving a request loads the resource unless another thread has loaded it or is
// loading it meanwhile, and then, when the request asked for it, queues the resource's dependent
// resources. A resource is queued at most once at a time.
//
// Markers: every request gets a sequence number when it is queued, and a marker is a sequence
// number of its own. GetHasMarkerPast(m) is true once no request numbered below m is queued or
// being served, which stays right when High requests overtake Normal ones. The dependent
// resources queued while a request is served take that request's number, so a marker taken after
// queuing a mesh is passed only once its textures and shaders have been served too.
//
// The frame count: resources stamp frames and count their retry delay from GetFrameCount, which
// the engine sets once a frame (SetFrameCount) and tests set as they like. It starts at 0.
//
// Threads: every operation may be called from any thread. Without the thread running, requests
// stay queued until someone calls ServeNextRequest (tests; a single-processor engine).
// BaseResourceManager::SetThreadFencesPaused(true) stops the serving of new requests.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>

#include "core/Event.h"
#include "core/Mem.h"

namespace GAME {

class FileSystem;
class Resource;

// The queue a request waits in; High requests are served first.
enum class ResourcePriority : int {
    High = 0,
    Normal = 1,
};

class ResourceLoader {
public:
    static constexpr const char* kThreadName = "Resource Loader Thread";

    // Resources are read through the file system, which must outlive the loader.
    explicit ResourceLoader(FileSystem& fileSystem);
    // Stops the thread; requests still queued are dropped.
    ~ResourceLoader();
    ResourceLoader(const ResourceLoader&) = delete;
    ResourceLoader& operator=(const ResourceLoader&) = delete;

    // Starts the loader thread; false when it is already running or cannot be made.
    bool StartThread();
    // Lets the request in progress finish and ends the thread. Queued requests stay queued.
    void StopThread();
    bool IsThreadRunning() const;

    // Null, or a resource being loaded: nothing. A loaded resource: marked used (markAsUsed) or
    // touched, and with preLoadDependents its dependent resources are queued now. A resource not
    // loaded: queued at the priority, unless it is already queued (then a true preLoadDependents
    // is recorded on its request) or it is waiting out its retry delay.
    void EnqueueResource(const Resource* resource, ResourcePriority priority, bool preLoadDependents,
                         bool markAsUsed);
    // A marker after every request queued so far; never 0, so callers may use 0 for "none".
    uint32_t CreateMarker();
    // True once every request queued before the marker has been served.
    bool GetHasMarkerPast(uint32_t marker) const;

    // Serves the next request on the calling thread. False when nothing is queued or the loader
    // is paused. The loader thread runs this in a loop.
    bool ServeNextRequest();
    // Drops the requests for a resource and waits until no thread is serving it, so that it can be
    // deleted. The managers call this before they free a resource.
    void CancelResource(const Resource* resource);
    // Requests queued and not yet served.
    int GetNumQueued() const;

    void SetFrameCount(uint32_t frame) { frameCount_.store(frame, std::memory_order_release); }
    uint32_t GetFrameCount() const { return frameCount_.load(std::memory_order_acquire); }

    FileSystem& GetFileSystem() const { return fileSystem_; }

private:
    class LoaderThread;

    // A request as it waits in its queue.
    struct Request {
        const Resource* resource;  // compared only: a dropped request's resource may be gone
        uint32_t sequence;         // sequence number, for markers
    };
    // What the loader knows of a queued resource.
    struct Queued {
        uint32_t sequence;         // the sequence of its live request; older ones are stale
        bool preLoadDependents;    // queue its dependents once it is loaded
    };

    // Takes the next live request; false when the queues hold none.
    bool PopLocked(Request& request, bool& preLoadDependents);
    // Drops one instance of a sequence number from the outstanding ones.
    void FinishLocked(uint32_t sequence);
    void Serve(const Resource* resource, uint32_t sequence, bool preLoadDependents);

    FileSystem& fileSystem_;
    std::atomic<uint32_t> frameCount_{0};
    std::unique_ptr<LoaderThread> thread_;

    mutable std::mutex mutex_;
    std::condition_variable served_;                    // a request finished being served
    Event work_;                                        // signalled while requests are queued
    std::deque<Request> queues_[2];                     // by priority
    mem::hash_map<const Resource*, Queued> queued_;     // the live requests
    std::multiset<uint32_t> outstanding_;               // sequences queued or being served
    std::multiset<const Resource*> serving_;            // resources being served now
    uint32_t sequence_ = 0;                             // last sequence number handed out
};

}  // namespace GAME
