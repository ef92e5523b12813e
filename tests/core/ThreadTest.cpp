#include "core/Thread.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "core/Event.h"

namespace GAME {

namespace {

// Runs until asked to stop, counting its runs and recording its OS name.
class Worker : public Thread {
public:
    ~Worker() override { Stop(); }

    std::atomic<int> runs{0};
    std::atomic<int> osId{0};
    Event started;
    std::string osName;

    int Nice() const { return getpriority(PRIO_PROCESS, static_cast<id_t>(osId.load())); }

protected:
    void Run() override {
        osId = static_cast<int>(gettid());
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof(name));
        osName = name;
        ++runs;
        started.SetSignaled();
        while (!IsStopRequested()) Sleep(1);
    }
};

// Returns at once.
class OneShot : public Thread {
public:
    ~OneShot() override { Stop(); }
    std::atomic<int> runs{0};
    std::atomic<bool> sawMainThread{true};

protected:
    void Run() override {
        sawMainThread = IsMainThread();
        ++runs;
    }
};

// Waits on an event that its RequestStop override signals.
class Sleeper : public Thread {
public:
    ~Sleeper() override { Stop(); }
    void RequestStop() override {
        Thread::RequestStop();
        wake_.SetSignaled();
    }

protected:
    void Run() override { wake_.Wait(Event::kInfinite); }

private:
    Event wake_;
};

}  // namespace

TEST(Thread, StartsNamedRunsAndStops) {
    Worker worker;
    EXPECT_FALSE(worker.IsRunning());
    ASSERT_TRUE(worker.Start("Resource Loader Thread"));
    ASSERT_TRUE(worker.started.Wait(Event::kInfinite));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_EQ(worker.GetName(), "Resource Loader Thread");  // whole name kept
    worker.Stop();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(worker.IsStopRequested());
    EXPECT_EQ(worker.osName, "Resource Loader");  // the OS gets the first 15 characters
    EXPECT_EQ(worker.runs.load(), 1);
}

TEST(Thread, StartWhileRunningFailsAndAFinishedThreadRestarts) {
    Worker worker;
    ASSERT_TRUE(worker.Start("Level Loading Thread"));
    EXPECT_FALSE(worker.Start("Again"));
    EXPECT_EQ(worker.GetName(), "Level Loading Thread");
    worker.Stop();

    worker.started.Reset();
    ASSERT_TRUE(worker.Start("FOW Saving Thread"));  // joins the finished run, clears the stop flag
    ASSERT_TRUE(worker.started.Wait(Event::kInfinite));
    EXPECT_FALSE(worker.IsStopRequested());
    EXPECT_EQ(worker.osName, "FOW Saving Thre");
    worker.Stop();
    EXPECT_EQ(worker.runs.load(), 2);

    OneShot shot;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(shot.Start("shot"));  // never joined in between: Start joins the finished run
        while (shot.IsRunning()) Thread::Sleep(0);
    }
    shot.Join();
    EXPECT_EQ(shot.runs.load(), 3);
    EXPECT_FALSE(shot.sawMainThread.load());
}

TEST(Thread, DestroyingARunningThreadStopsAndJoinsIt) {
    auto worker = std::make_unique<Worker>();
    ASSERT_TRUE(worker->Start("worker"));
    ASSERT_TRUE(worker->started.Wait(Event::kInfinite));
    worker.reset();  // must neither hang nor leave the OS thread running on a dead object

    auto sleeper = std::make_unique<Sleeper>();
    ASSERT_TRUE(sleeper->Start("sleeper"));
    sleeper.reset();  // the override wakes it; the base flag alone would not

    auto idle = std::make_unique<OneShot>();
    idle.reset();  // never started: nothing to join
}

TEST(Thread, PriorityIsTheNiceValueSetBeforeOrWhileRunning) {
    if (getpriority(PRIO_PROCESS, 0) != 0) GTEST_SKIP() << "the tests run at another priority";
    Worker worker;
    ASSERT_TRUE(worker.Start("normal"));
    ASSERT_TRUE(worker.started.Wait(Event::kInfinite));
    EXPECT_EQ(worker.Nice(), 0);
    worker.SetPriority(0);
    EXPECT_EQ(worker.Nice(), 5);
    if (geteuid() == 0) {  // only a privileged process may raise a priority again
        worker.SetPriority(2);
        EXPECT_EQ(worker.Nice(), -5);
        worker.SetPriority(7);
        EXPECT_EQ(worker.Nice(), 0);
    }
    worker.Stop();
    worker.SetPriority(0);  // not running: kept for the next start
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), 0) << "the caller's own is left alone";
    worker.started.Reset();
    ASSERT_TRUE(worker.Start("low"));
    ASSERT_TRUE(worker.started.Wait(Event::kInfinite));
    EXPECT_EQ(worker.Nice(), 5);
}

TEST(Thread, SleepLastsAtLeastItsMilliseconds) {
    const auto before = std::chrono::steady_clock::now();
    Thread::Sleep(1);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1));
}

TEST(Thread, MainThreadIsTheOneRecorded) {
    Thread::SetMainThread();
    EXPECT_TRUE(Thread::IsMainThread());
    EXPECT_FALSE(std::async(std::launch::async, [] { return Thread::IsMainThread(); }).get());
    const bool otherBecomesMain = std::async(std::launch::async, [] {
        Thread::SetMainThread();
        return Thread::IsMainThread();
    }).get();
    EXPECT_TRUE(otherBecomesMain);
    EXPECT_FALSE(Thread::IsMainThread());
    Thread::SetMainThread();
}

}  // namespace GAME
