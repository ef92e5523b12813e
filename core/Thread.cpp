#include "core/Thread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

#include "core/Log.h"

namespace GAME {

namespace {

// Recorded when the library is loaded; Engine::Initialize records it again.
std::atomic<std::thread::id> gMainThread{std::this_thread::get_id()};

constexpr int kBelowNormalNice = 5;
constexpr int kAboveNormalNice = -5;

}  // namespace

Thread::~Thread() { Stop(); }

bool Thread::Start(const char* name) {
    if (IsRunning()) {
        Log(LogPriority::Warning, "Thread \"%s\" is already running; \"%s\" not started", name_.c_str(),
            name ? name : "");
        return false;
    }
    Join();
    name_ = name ? name : "";
    stopRequested_.store(false, std::memory_order_release);
    running_.store(true, std::memory_order_release);
    try {
        thread_ = std::thread(&Thread::Main, this);
    } catch (const std::system_error& error) {
        running_.store(false, std::memory_order_release);
        Log(LogPriority::Error, "Thread \"%s\" could not be created: %s", name_.c_str(), error.what());
        return false;
    }
    return true;
}

void Thread::Main() {
    SetCurrentThreadName(name_.c_str());
    osThreadId_.store(static_cast<int>(gettid()), std::memory_order_release);
    ApplyPriority();
    Run();
    osThreadId_.store(0, std::memory_order_release);
    running_.store(false, std::memory_order_release);
}

void Thread::RequestStop() { stopRequested_.store(true, std::memory_order_release); }

void Thread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Thread::Stop() {
    RequestStop();
    Join();
}

void Thread::SetPriority(int priority) {
    priority_.store(priority, std::memory_order_release);
    ApplyPriority();
}

void Thread::ApplyPriority() const {
    const int tid = osThreadId_.load(std::memory_order_acquire);
    if (tid == 0) return;  // applied by the thread when it starts
    const int priority = priority_.load(std::memory_order_acquire);
    const int nice = priority == 0 ? kBelowNormalNice : priority == 2 ? kAboveNormalNice : 0;
    // Raising priority needs privileges; without them the thread keeps its priority.
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

void Thread::YieldAfterSlice() {
    if (IsMainThread()) return;
    thread_local std::chrono::steady_clock::time_point sliceStart = std::chrono::steady_clock::now();
    const auto now = std::chrono::steady_clock::now();
    if (now - sliceStart < kYieldSlice) return;
    std::this_thread::yield();
    sliceStart = std::chrono::steady_clock::now();
}

void Thread::Sleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    else std::this_thread::yield();
}

void Thread::SetCurrentThreadName(const char* name) {
    char shortName[16] = {};
    if (name)
        for (int i = 0; i < 15 && name[i]; ++i) shortName[i] = name[i];
    pthread_setname_np(pthread_self(), shortName);
}

void Thread::SetMainThread() { gMainThread.store(std::this_thread::get_id(), std::memory_order_release); }

bool Thread::IsMainThread() { return gMainThread.load(std::memory_order_acquire) == std::this_thread::get_id(); }

}  // namespace GAME
