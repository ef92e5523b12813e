// ResourceLoader: queue order, one request per resource, the retry delay, markers across both
// queues and over dependents, cancelling, the pause, a clean stop of the thread, and
// EnsureAvailable racing the loader thread.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "TestResource.h"
#include "core/Thread.h"

namespace GAME {
namespace {

using test::Edit;
using test::TestResource;
using test::TestResourceManager;
using LoadedState = Resource::LoadedState;

class ResourceLoaderTest : public test::ResourceFixture {
protected:
    // Waits (without a time limit) until the loader thread has served everything before the marker.
    void WaitForMarker(uint32_t marker) {
        while (!loader.GetHasMarkerPast(marker)) Thread::Sleep(1);
    }
};

TEST_F(ResourceLoaderTest, ServesTheHighQueueFirstAndEachQueueInOrder) {
    const TestResource* a = Make("a.bin");
    const TestResource* b = Make("b.bin");
    const TestResource* c = Make("c.bin");
    loader.EnqueueResource(a, ResourcePriority::Normal, false, false);
    loader.EnqueueResource(b, ResourcePriority::Normal, false, false);
    loader.EnqueueResource(c, ResourcePriority::High, false, false);
    EXPECT_EQ(loader.GetNumQueued(), 3);

    ASSERT_TRUE(loader.ServeNextRequest());
    EXPECT_TRUE(c->GetIsLoaded(false));
    EXPECT_FALSE(a->GetIsLoaded(false));
    ASSERT_TRUE(loader.ServeNextRequest());
    EXPECT_TRUE(a->GetIsLoaded(false));
    EXPECT_FALSE(b->GetIsLoaded(false));
    ASSERT_TRUE(loader.ServeNextRequest());
    EXPECT_TRUE(b->GetIsLoaded(false));
    EXPECT_FALSE(loader.ServeNextRequest());
    EXPECT_EQ(loader.GetNumQueued(), 0);
}

TEST_F(ResourceLoaderTest, QueuesAResourceOnceAndRecordsALaterPreloadFlag) {
    const TestResource* mesh = Make("mesh.bin");
    const TestResource* texture = Make("texture.bin");
    Edit(mesh).SetDependents({texture});
    loader.EnqueueResource(mesh, ResourcePriority::Normal, false, false);
    loader.EnqueueResource(mesh, ResourcePriority::High, false, false);
    loader.EnqueueResource(mesh, ResourcePriority::Normal, true, false);
    EXPECT_EQ(loader.GetNumQueued(), 1);

    ASSERT_TRUE(loader.ServeNextRequest());
    EXPECT_EQ(mesh->GetInitializeCalls(), 1);
    EXPECT_EQ(mesh->GetPreLoadCalls(), 1);
    EXPECT_EQ(loader.GetNumQueued(), 1) << "the texture was queued by the preload";
    ASSERT_TRUE(loader.ServeNextRequest());
    EXPECT_TRUE(texture->GetIsLoaded(false));
}

TEST_F(ResourceLoaderTest, LoadedResourceIsMarkedAndPreloadsItsDependentsAtOnce) {
    const TestResource* mesh = Make("mesh.bin");
    const TestResource* texture = Make("texture.bin");
    Edit(mesh).SetDependents({texture});
    loader.SetFrameCount(1);
    mesh->EnsureAvailable();

    loader.SetFrameCount(5);
    loader.EnqueueResource(mesh, ResourcePriority::Normal, false, false);
    EXPECT_EQ(mesh->GetLastFrameTouched(), 5u);
    EXPECT_EQ(mesh->GetLastFrameUsed(), 1u);
    loader.SetFrameCount(6);
    loader.EnqueueResource(mesh, ResourcePriority::Normal, false, true);
    EXPECT_EQ(mesh->GetLastFrameUsed(), 6u);
    EXPECT_EQ(mesh->GetPreLoadCalls(), 0);

    loader.EnqueueResource(mesh, ResourcePriority::Normal, true, false);
    EXPECT_EQ(mesh->GetPreLoadCalls(), 1);
    EXPECT_EQ(mesh->GetInitializeCalls(), 1);
    EXPECT_EQ(loader.GetNumQueued(), 1) << "only the texture";

    loader.EnqueueResource(nullptr, ResourcePriority::High, true, true);
    EXPECT_EQ(loader.GetNumQueued(), 1);
}

TEST_F(ResourceLoaderTest, ResourceWaitingOutItsRetryDelayIsNotQueued) {
    const TestResource* resource = Make("retry.bin");
    Edit(resource).Script({Resource::InitResult::Retry});
    loader.SetFrameCount(10);
    resource->EnsureAvailable();
    loader.SetFrameCount(12);
    manager.EvictOldResources(0, 0, 0, 0);
    ASSERT_EQ(resource->GetLoadedState(), LoadedState::NotLoaded);

    loader.SetFrameCount(10 + Resource::kRetryFrames);
    loader.EnqueueResource(resource, ResourcePriority::Normal, false, false);
    EXPECT_EQ(loader.GetNumQueued(), 0);
    loader.SetFrameCount(11 + Resource::kRetryFrames);
    loader.EnqueueResource(resource, ResourcePriority::Normal, false, false);
    EXPECT_EQ(loader.GetNumQueued(), 1);
}

TEST_F(ResourceLoaderTest, MarkersStayRightWhenHighRequestsOvertakeNormalOnes) {
    const uint32_t idle = loader.CreateMarker();
    EXPECT_NE(idle, 0u);
    EXPECT_TRUE(loader.GetHasMarkerPast(idle));

    const TestResource* a = Make("a.bin");
    const TestResource* b = Make("b.bin");
    const TestResource* c = Make("c.bin");
    loader.EnqueueResource(a, ResourcePriority::Normal, false, false);
    loader.EnqueueResource(b, ResourcePriority::Normal, false, false);
    const uint32_t first = loader.CreateMarker();
    loader.EnqueueResource(c, ResourcePriority::High, false, false);
    const uint32_t second = loader.CreateMarker();
    EXPECT_GT(second, first);

    ASSERT_TRUE(loader.ServeNextRequest());  // c, queued after the first marker
    EXPECT_FALSE(loader.GetHasMarkerPast(first));
    EXPECT_FALSE(loader.GetHasMarkerPast(second));
    ASSERT_TRUE(loader.ServeNextRequest());  // a
    EXPECT_FALSE(loader.GetHasMarkerPast(first));
    ASSERT_TRUE(loader.ServeNextRequest());  // b
    EXPECT_TRUE(loader.GetHasMarkerPast(first));
    EXPECT_TRUE(loader.GetHasMarkerPast(second));
}

TEST_F(ResourceLoaderTest, MarkerWaitsForTheDependentsOfRequestsBeforeIt) {
    const TestResource* mesh = Make("mesh.bin");
    const TestResource* texture = Make("texture.bin");
    const TestResource* shader = Make("shader.bin");
    const TestResource* later = Make("later.bin");
    Edit(mesh).SetDependents({texture, shader});
    loader.EnqueueResource(mesh, ResourcePriority::Normal, true, false);
    const uint32_t marker = loader.CreateMarker();
    loader.EnqueueResource(later, ResourcePriority::High, false, false);

    ASSERT_TRUE(loader.ServeNextRequest());  // later
    ASSERT_TRUE(loader.ServeNextRequest());  // mesh, which queues texture and shader
    EXPECT_EQ(loader.GetNumQueued(), 2);
    EXPECT_FALSE(loader.GetHasMarkerPast(marker));
    ASSERT_TRUE(loader.ServeNextRequest());
    EXPECT_FALSE(loader.GetHasMarkerPast(marker));
    ASSERT_TRUE(loader.ServeNextRequest());
    EXPECT_TRUE(loader.GetHasMarkerPast(marker));
    EXPECT_TRUE(texture->GetIsLoaded(false));
    EXPECT_TRUE(shader->GetIsLoaded(false));
}

TEST_F(ResourceLoaderTest, CancelledRequestIsDroppedAndPassesItsMarker) {
    const TestResource* a = Make("a.bin");
    loader.EnqueueResource(a, ResourcePriority::Normal, false, false);
    const uint32_t marker = loader.CreateMarker();
    loader.CancelResource(a);
    EXPECT_TRUE(loader.GetHasMarkerPast(marker));
    EXPECT_EQ(loader.GetNumQueued(), 0);
    EXPECT_FALSE(loader.ServeNextRequest());

    // Queued again after the cancel: served once, although the dropped request is still in line.
    loader.EnqueueResource(a, ResourcePriority::Normal, false, false);
    EXPECT_TRUE(loader.ServeNextRequest());
    EXPECT_FALSE(loader.ServeNextRequest());
    EXPECT_EQ(a->GetInitializeCalls(), 1);
}

TEST_F(ResourceLoaderTest, RequestLoadedMeanwhileByAnotherThreadIsNotLoadedTwice) {
    const TestResource* a = Make("a.bin");
    loader.EnqueueResource(a, ResourcePriority::Normal, false, false);
    a->EnsureAvailable();
    EXPECT_TRUE(loader.ServeNextRequest());
    EXPECT_EQ(a->GetInitializeCalls(), 1);
}

TEST_F(ResourceLoaderTest, ARequestWhoseResourceAnotherThreadLoadsWaitsForItThenPreloads) {
    const TestResource* a = Make("a.bin");
    std::atomic<bool> entered{false}, release{false};
    Edit(a).OnInitialize([&] {
        entered = true;
        while (!release) Thread::Sleep(1);
    });
    loader.EnqueueResource(a, ResourcePriority::Normal, true, false);
    std::thread user([a] { a->EnsureAvailable(); });
    while (!entered) Thread::Sleep(1);
    std::thread releaser([&] {
        Thread::Sleep(5);
        release = true;
    });
    EXPECT_TRUE(loader.ServeNextRequest());
    EXPECT_EQ(a->GetPreLoadCalls(), 1);
    EXPECT_EQ(a->GetInitializeCalls(), 1);
    user.join();
    releaser.join();
}

TEST_F(ResourceLoaderTest, PausedLoaderServesNothingUntilResumed) {
    const TestResource* a = Make("a.bin");
    loader.EnqueueResource(a, ResourcePriority::Normal, false, false);
    BaseResourceManager::SetThreadFencesPaused(true);
    EXPECT_FALSE(loader.ServeNextRequest());
    EXPECT_EQ(loader.GetNumQueued(), 1);
    BaseResourceManager::SetThreadFencesPaused(false);
    EXPECT_TRUE(loader.ServeNextRequest());
}

TEST_F(ResourceLoaderTest, PauseReturnsOnlyAfterTheRequestInProgressHasFinished) {
    const TestResource* slow = Make("slow.bin");
    std::atomic<bool> entered{false}, release{false}, finished{false};
    Edit(slow).OnInitialize([&] {
        entered = true;
        while (!release) Thread::Sleep(1);
        finished = true;
    });
    ASSERT_TRUE(loader.StartThread());
    loader.EnqueueResource(slow, ResourcePriority::Normal, false, false);
    while (!entered) Thread::Sleep(1);

    bool finishedWhenPaused = false;
    std::thread pauser([&] {
        BaseResourceManager::SetThreadFencesPaused(true);
        finishedWhenPaused = finished;
    });
    Thread::Sleep(5);
    release = true;
    pauser.join();
    EXPECT_TRUE(finishedWhenPaused);

    const TestResource* next = Make("next.bin");
    loader.EnqueueResource(next, ResourcePriority::Normal, false, false);
    const uint32_t marker = loader.CreateMarker();
    BaseResourceManager::SetThreadFencesPaused(false);
    WaitForMarker(marker);
    EXPECT_TRUE(next->GetIsLoaded(false));
    loader.StopThread();
}

TEST_F(ResourceLoaderTest, ThreadLoadsInTheBackgroundAndStopsCleanly) {
    std::vector<const TestResource*> resources;
    for (int i = 0; i < 50; ++i) resources.push_back(Make("Data/File" + std::to_string(i) + ".bin", std::to_string(i)));

    ASSERT_TRUE(loader.StartThread());
    EXPECT_TRUE(loader.IsThreadRunning());
    for (const TestResource* resource : resources) loader.EnqueueResource(resource, ResourcePriority::Normal, false, false);
    WaitForMarker(loader.CreateMarker());
    for (size_t i = 0; i < resources.size(); ++i) EXPECT_EQ(resources[i]->GetContents(), std::to_string(i));

    loader.StopThread();
    EXPECT_FALSE(loader.IsThreadRunning());
    const TestResource* late = Make("late.bin");
    loader.EnqueueResource(late, ResourcePriority::Normal, false, false);
    EXPECT_EQ(loader.GetNumQueued(), 1) << "a stopped loader keeps its requests";

    ASSERT_TRUE(loader.StartThread());
    WaitForMarker(loader.CreateMarker());
    EXPECT_TRUE(late->GetIsLoaded(false));
}

TEST_F(ResourceLoaderTest, StoppingWithRequestsQueuedAndThePauseOnEnds) {
    for (int i = 0; i < 20; ++i)
        loader.EnqueueResource(Make("q" + std::to_string(i) + ".bin"), ResourcePriority::Normal, false, false);
    BaseResourceManager::SetThreadFencesPaused(true);
    ASSERT_TRUE(loader.StartThread());
    loader.StopThread();
    EXPECT_FALSE(loader.IsThreadRunning());
}

// Many rounds of the loader thread and three other threads asking for the same fresh resources at
// once: each resource is initialised exactly once and every caller sees it loaded.
TEST_F(ResourceLoaderTest, EnsureAvailableRacingTheLoaderLoadsOnce) {
    ASSERT_TRUE(loader.StartThread());
    constexpr int kRounds = 200;
    constexpr int kPerRound = 4;
    for (int i = 0; i < kPerRound; ++i) WriteFile("race" + std::to_string(i) + ".bin", "data" + std::to_string(i));

    for (int round = 0; round < kRounds; ++round) {
        TestResourceManager roundManager(loader);
        std::vector<const TestResource*> resources;
        for (int i = 0; i < kPerRound; ++i) resources.push_back(roundManager.LoadResource("race" + std::to_string(i) + ".bin"));

        std::atomic<int> start{0};
        std::atomic<int> wrong{0};
        auto user = [&] {
            ++start;
            while (start < 3) std::this_thread::yield();
            for (int i = kPerRound - 1; i >= 0; --i) {
                resources[i]->EnsureAvailable();
                if (!resources[i]->GetIsLoaded(false) || resources[i]->GetContents() != "data" + std::to_string(i)) ++wrong;
            }
        };
        std::thread first(user), second(user);
        ++start;
        for (const TestResource* resource : resources) loader.EnqueueResource(resource, ResourcePriority::Normal, false, false);
        while (start < 3) std::this_thread::yield();
        for (const TestResource* resource : resources) resource->GetIsLoaded(true);
        first.join();
        second.join();

        EXPECT_EQ(wrong, 0);
        for (const TestResource* resource : resources) {
            EXPECT_EQ(resource->GetInitializeCalls(), 1);
            EXPECT_TRUE(resource->GetIsLoaded(false));
        }
        if (HasFailure()) break;
    }
    loader.StopThread();
}

}  // namespace
}  // namespace GAME
