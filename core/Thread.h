#pragma once
// An object with a name and an operating-system thread that runs its Run().
//
// Start(name) creates the OS thread; the new thread names itself (the OS keeps only the first 15
// characters; GetName keeps the whole name) and runs Run. Run should return soon after
// IsStopRequested() becomes true.
//
// Lifetime: a Thread object is never destroyed while its OS thread runs, and never detached. The
// destructor requests a stop and joins. Because the base destructor runs after the derived parts
// are gone, a derived class whose Run uses its own members, or that overrides RequestStop, calls
// Stop() in its own destructor. Start on a thread whose previous run has finished joins that run
// first, so a thread object can be started again. A thread object is not destroyed from its own
// Run.

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace GAME {

class Thread {
public:
    Thread() = default;
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the OS thread. False (and a warning) while a previous run is still going, or when
    // the OS thread cannot be created.
    bool Start(const char* name);
    // Asks Run to return; overrides may also wake the thread, and call the base.
    virtual void RequestStop();
    // Waits for Run to return; does nothing when no run is waiting to be joined, or when called
    // from the thread itself.
    void Join();
    // RequestStop, then Join.
    void Stop();

    bool IsStopRequested() const { return stopRequested_.load(std::memory_order_acquire); }
    // True from Start until Run has returned.
    bool IsRunning() const { return running_.load(std::memory_order_acquire); }
    const std::string& GetName() const { return name_; }

    // 0: below normal, 2: above normal, anything else: normal. Best effort (a thread's nice
    // value); kept and applied when the thread starts if it is not running yet.
    void SetPriority(int priority);

    static void Sleep(int ms);
    // Called by a background thread after each piece of a long job (an entity, a block of water,
    // a plug of a level being read): gives the processor away once the thread has run
    // kYieldSlice since it last did. The main thread is never kept from a processor longer than
    // that, and a short job is not stretched by a pause after every piece. Nothing on the main
    // thread.
    static constexpr std::chrono::milliseconds kYieldSlice{2};
    static void YieldAfterSlice();
    // Names the calling thread for debuggers and tools (first 15 characters).
    static void SetCurrentThreadName(const char* name);
    // Records the calling thread as the main thread. The thread that loads the engine library is
    // recorded until then.
    static void SetMainThread();
    static bool IsMainThread();

protected:
    virtual void Run() = 0;

private:
    void Main();
    void ApplyPriority() const;

    std::string name_;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
    std::atomic<int> priority_{1};
    std::atomic<int> osThreadId_{0};  // the kernel's id of the running thread, 0 when none
};

}  // namespace GAME
