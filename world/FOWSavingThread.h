#pragma once
// FOWSavingThread: the one background thread that writes regions' fog of war ("FOW Saving
// Thread") when their levels unload or the regions go.
//
// Ownership moves with the grid: a region hands its FogOfWar over (Save) and keeps no pointer to
// it, so nothing stamps or reads a grid while it is written, and a region may be destroyed while
// its grid waits. The thread writes the grids in order of arrival and destroys each once written.
// A region that wants its fog back before it was written takes the grid back from the queue
// (Reclaim) instead of reading a file not yet written; a grid being written is waited for.
//
// The thread starts on the first grid; Stop writes what is queued before the thread ends (the
// engine stops it at shutdown, while the file system is still there).
//
// Threads: every operation may be called from any thread.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "core/Thread.h"

namespace GAME {

class FogOfWar;

class FOWSavingThread final : public Thread {
public:
    static FOWSavingThread& Get();
    ~FOWSavingThread() override;

    // Queues the grid to be written to the path (through the engine's file system) and destroyed.
    void Save(const std::string& path, std::unique_ptr<FogOfWar> fog);
    // The grid queued for the path, no longer to be written; null when none is queued (after
    // waiting for a write of the path in progress, so that the file is whole).
    std::unique_ptr<FogOfWar> Reclaim(const std::string& path);
    // Returns once every grid queued so far is written; when the thread is not running the
    // caller writes them.
    void Flush();
    size_t GetNumQueued() const;

    void RequestStop() override;

protected:
    void Run() override;

private:
    struct Job {
        std::string path;
        std::unique_ptr<FogOfWar> fog;
    };

    FOWSavingThread() = default;
    // Writes and destroys the first queued grid on the calling thread; false when none was queued.
    bool WriteNext(std::unique_lock<std::mutex>& lock);

    mutable std::mutex lock_;
    std::condition_variable changed_;  // a grid arrived or was written, or stop
    std::deque<Job> queue_;
    std::string writing_;              // the path being written; empty when none
};

}  // namespace GAME
