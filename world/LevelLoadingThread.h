#pragma once
// LevelLoadingThread: the one background thread that reads region levels ("Level Loading Thread").
//
// Regions queue requests from the main thread (Enqueue); the thread serves them in order of
// arrival, one at a time, calling Region::InternalLoadLevel between two resource unload fences so
// that the main thread does not evict resources the load is using. A region has at most one request
// queued: a second one for the same region is dropped (the first one's render-data flag stands).
//
// The thread starts on the first request. In manual mode (deterministic tests, a single-processor
// host) it does not run, and requests wait until someone calls ServeNextRequest.
//
// A region being destroyed or loaded by force takes its request back (Cancel), or waits for the
// one being served; the queue never holds a region that is gone. The region's queued flag is
// written under the queue lock only.
//
// Threads: every operation may be called from any thread; the engine stops the thread at shutdown.

#include <condition_variable>
#include <deque>
#include <mutex>

#include "core/Thread.h"

namespace GAME {

class Region;

class LevelLoadingThread final : public Thread {
public:
    struct Request {
        Region* region = nullptr;
        bool loadRenderData = false;  // the level's render data are wanted too
    };

    // The process's loading thread (not started until a request arrives).
    static LevelLoadingThread& Get();
    ~LevelLoadingThread() override;

    // Queues the request unless its region has one queued or being served.
    void Enqueue(const Request& request);
    // Takes back the region's queued request: true when one was waiting, false when there was
    // none or it is being served (then WaitFor it).
    bool Cancel(const Region* region);
    // Returns once the region has no request queued or being served; a request still queued is
    // taken back first, so this never waits for the thread in manual mode. A wait for the request
    // being served is warned about ("Main thread sleeping waiting for load of level ...").
    void WaitFor(const Region* region);
    // Serves the first queued request on the calling thread; false when the queue was empty.
    bool ServeNextRequest();
    size_t GetNumQueued() const;

    // Manual mode stops the thread (requests stay queued); leaving it lets the next request start
    // the thread again.
    void SetManual(bool manual);

    // How the requests served since the last reset spent their time: from the start of serving
    // to its end on the clock, and in processor time of the thread that served them. A load that
    // gives the processor away too often, or is starved of it, takes far longer than its work.
    struct LoadTimes {
        int served = 0;
        double wallMs = 0.0;  // summed over the requests
        double cpuMs = 0.0;
        double worstRatio = 0.0;  // the largest wall over processor time of one request
    };
    LoadTimes GetLoadTimes() const;
    void ResetLoadTimes();

    void RequestStop() override;

protected:
    void Run() override;

private:
    LevelLoadingThread() = default;
    // Serves one request (taken under the lock) and clears its region's queued flag.
    void Serve(const Request& request);

    mutable std::mutex lock_;
    std::condition_variable wake_;      // a request arrived, a request was served, or stop
    std::deque<Request> queue_;
    const Region* serving_ = nullptr;   // the region whose request is being served
    bool manual_ = false;
    LoadTimes loadTimes_;
};

}  // namespace GAME
