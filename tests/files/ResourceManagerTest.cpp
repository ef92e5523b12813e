// BaseResourceManager and ResourceManager<T>: the registry by normal name, reference counts, frees
// held back by other threads' fences, sliced eviction with its delay, the budget, reloads, the
// resource logs, and threads loading and releasing while the main thread cleans up.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "TestResource.h"
#include "core/Thread.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using test::Edit;
using test::TestResource;
using test::TestResourceManager;
using LoadedState = Resource::LoadedState;

constexpr uint32_t kNever = 4294967295u;

class ResourceManagerTest : public test::ResourceFixture {
protected:
    // Loaded resources named r00, r01, ... (in name order), used at the current frame.
    std::vector<const TestResource*> MakeLoaded(int count) {
        std::vector<const TestResource*> resources;
        for (int i = 0; i < count; ++i) {
            const std::string name = (i < 10 ? "r0" : "r") + std::to_string(i) + ".bin";
            resources.push_back(Make(name));
            resources.back()->EnsureAvailable();
        }
        return resources;
    }
    static int CountLoaded(const std::vector<const TestResource*>& resources) {
        int loaded = 0;
        for (const TestResource* resource : resources) loaded += resource->GetIsLoaded(false);
        return loaded;
    }
};

TEST_F(ResourceManagerTest, SharesOneResourcePerNormalName) {
    const TestResource* first = Make("Meshes\\Box.MSH");
    const TestResource* second = manager.LoadResource("meshes/box.msh");
    EXPECT_EQ(first, second);
    EXPECT_EQ(manager.GetNumResources(), 1);
    EXPECT_EQ(first->GetFileName(), "Meshes\\Box.MSH");
    EXPECT_EQ(first->GetResourceManager(), &manager);
    EXPECT_EQ(first->GetResourceLoader(), &loader);
    EXPECT_EQ(manager.LoadResource(""), nullptr);

    first->EnsureAvailable();
    EXPECT_EQ(first->GetContents(), "abc");
}

TEST_F(ResourceManagerTest, UnreferencedResourceIsFreedAndItsNameComesBackFresh) {
    const TestResource* resource = Make("a.bin");
    std::atomic<bool> deleted{false};
    Edit(resource).WatchDeletion(&deleted);
    resource->EnsureAvailable();
    const TestResource* again = manager.LoadResource("a.bin");
    manager.UnloadResource(again);
    manager.UnloadUnreferencedResources();
    EXPECT_FALSE(deleted) << "one reference is left";

    manager.UnloadResource(resource);
    manager.UnloadUnreferencedResources();
    EXPECT_TRUE(deleted);
    EXPECT_EQ(manager.GetNumResources(), 0);

    const TestResource* fresh = manager.LoadResource("a.bin");
    EXPECT_EQ(fresh->GetLoadedState(), LoadedState::NotLoaded);
}

TEST_F(ResourceManagerTest, ResourceReferencedAgainBeforeTheCleanUpStays) {
    const TestResource* resource = Make("a.bin");
    std::atomic<bool> deleted{false};
    Edit(resource).WatchDeletion(&deleted);
    manager.UnloadResource(resource);
    EXPECT_EQ(manager.LoadResource("a.bin"), resource);
    manager.UnloadUnreferencedResources();
    EXPECT_FALSE(deleted);
    EXPECT_EQ(manager.GetNumResources(), 1);
    Edit(resource).WatchDeletion(nullptr);  // the flag goes out of scope before the manager
}

TEST_F(ResourceManagerTest, ReleasingWhatItDoesNotHoldIsLoggedAndIgnored) {
    test::LogCapture log;
    const TestResource* resource = Make("a.bin");
    TestResourceManager other(loader);
    other.UnloadResource(resource);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "UnloadResource"));
    manager.UnloadResource(resource);
    manager.UnloadResource(resource);
    EXPECT_EQ(log.Count(LogPriority::Error), 2u) << "a second release has no reference to drop";
    manager.UnloadResource(nullptr);
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);
}

TEST_F(ResourceManagerTest, ResourceIsNotFreedWhileAnotherThreadHoldsAnOlderFence) {
    std::atomic<int> step{0};
    std::thread worker([&] {
        BaseResourceManager::SetThreadUnloadFence();  // a loading thread at work
        step = 1;
        while (step != 2) Thread::Sleep(1);
        BaseResourceManager::SetThreadUnloadFence();  // it has moved on
        step = 3;
        while (step != 4) Thread::Sleep(1);
        BaseResourceManager::RemoveThreadFenceCounter();
        step = 5;
    });
    while (step != 1) Thread::Sleep(1);

    const TestResource* resource = Make("a.bin");
    std::atomic<bool> deleted{false};
    Edit(resource).WatchDeletion(&deleted);
    resource->EnsureAvailable();
    manager.UnloadResource(resource);
    manager.UnloadUnreferencedResources();
    manager.UnloadUnreferencedResources();
    EXPECT_FALSE(deleted);
    EXPECT_EQ(manager.GetNumResources(), 0) << "out of the registry at once";
    const TestResource* replacement = manager.LoadResource("a.bin");
    EXPECT_NE(replacement, resource) << "a new request gets a new resource";

    step = 2;
    while (step != 3) Thread::Sleep(1);
    manager.UnloadUnreferencedResources();
    EXPECT_TRUE(deleted);

    // A thread that removes its fence no longer holds anything back.
    std::atomic<bool> replacementDeleted{false};
    Edit(replacement).WatchDeletion(&replacementDeleted);
    manager.UnloadResource(replacement);
    step = 4;
    while (step != 5) Thread::Sleep(1);
    manager.UnloadUnreferencedResources();
    EXPECT_TRUE(replacementDeleted);
    worker.join();
}

TEST_F(ResourceManagerTest, MainThreadFenceHoldsAFreeUntilTheNextFrame) {
    BaseResourceManager::SetThreadUnloadFence();
    const TestResource* resource = Make("a.bin");
    std::atomic<bool> deleted{false};
    Edit(resource).WatchDeletion(&deleted);
    manager.UnloadResource(resource);
    manager.UnloadUnreferencedResources();
    EXPECT_FALSE(deleted);
    BaseResourceManager::SetThreadUnloadFence();
    manager.UnloadUnreferencedResources();
    EXPECT_TRUE(deleted);
}

TEST_F(ResourceManagerTest, DelayedEvictionUnloadsOnlyWhatStaysOld) {
    loader.SetFrameCount(0);
    const std::vector<const TestResource*> r = MakeLoaded(3);
    loader.SetFrameCount(100);
    r[0]->EnsureAvailable();

    manager.EvictOldResources(50, kNever, 0, 10);
    EXPECT_EQ(CountLoaded(r), 3) << "marked, not yet unloaded";
    loader.SetFrameCount(109);
    manager.EvictOldResources(50, kNever, 0, 10);
    EXPECT_EQ(CountLoaded(r), 3);

    r[1]->MarkAsTouched();
    loader.SetFrameCount(110);
    manager.EvictOldResources(50, kNever, 0, 10);
    EXPECT_TRUE(r[0]->GetIsLoaded(false));
    EXPECT_TRUE(r[1]->GetIsLoaded(false)) << "touched during the delay";
    EXPECT_FALSE(r[2]->GetIsLoaded(false));
    EXPECT_EQ(r[2]->GetDestroyCalls(), 1);
    manager.UnloadUnreferencedResources();
    EXPECT_EQ(manager.GetNumResources(), 3) << "evicted resources stay registered and referenced";

    r[2]->EnsureAvailable();
    EXPECT_EQ(r[2]->GetContents(), "abc");
    EXPECT_EQ(r[2]->GetInitializeCalls(), 2);
}

TEST_F(ResourceManagerTest, EvictionByUseAndBySize) {
    loader.SetFrameCount(0);
    const std::vector<const TestResource*> r = MakeLoaded(3);
    Edit(r[0]).SetVideoMemory(1000);
    Edit(r[1]).SetVideoMemory(5000);
    Edit(r[2]).SetVideoMemory(5000);
    loader.SetFrameCount(20);
    for (const TestResource* resource : r) resource->MarkAsTouched();
    r[2]->EnsureAvailable();
    manager.EvictOldResources(0, 20, 0, 0);
    EXPECT_EQ(CountLoaded(r), 3) << "touched this frame and used 20 frames ago: old by neither limit";

    manager.EvictOldResources(kNever, 10, 1000, 0);
    EXPECT_TRUE(r[0]->GetIsLoaded(false)) << "no larger than the minimum size: kept";
    EXPECT_FALSE(r[1]->GetIsLoaded(false)) << "touched but not used for 20 frames";
    EXPECT_TRUE(r[2]->GetIsLoaded(false)) << "used this frame";
}

TEST_F(ResourceManagerTest, EvictionWalksTheRegistryInSlicesTakenInTurn) {
    loader.SetFrameCount(0);
    const std::vector<const TestResource*> r = MakeLoaded(64);  // slices of max(16, 64 / 8) = 16
    loader.SetFrameCount(10);
    for (int call = 1; call <= 4; ++call) {
        manager.EvictOldResources(5, kNever, 0, 0);
        EXPECT_EQ(CountLoaded(r), 64 - 16 * call);
        EXPECT_FALSE(r[16 * call - 1]->GetIsLoaded(false));
    }

    // Newly loaded ones are found when the walk wraps around.
    for (const TestResource* resource : r) resource->EnsureAvailable();
    loader.SetFrameCount(20);
    for (int call = 0; call < 4; ++call) manager.EvictOldResources(5, kNever, 0, 0);
    EXPECT_EQ(CountLoaded(r), 0);
}

TEST_F(ResourceManagerTest, BudgetUnloadsLeastRecentlyUsedFirst) {
    std::vector<const TestResource*> r;
    for (int i = 0; i < 4; ++i) {
        r.push_back(Make("b" + std::to_string(i) + ".bin"));
        Edit(r.back()).SetCountedMemory(100);
    }
    // Used at frames 4, 1, 3, 2.
    const int usedAt[] = {4, 1, 3, 2};
    for (int frame = 1; frame <= 4; ++frame) {
        loader.SetFrameCount(frame);
        for (int i = 0; i < 4; ++i)
            if (usedAt[i] == frame) r[i]->EnsureAvailable();
    }
    EXPECT_EQ(manager.GetMemoryUsage(), 400u);
    manager.MaintainBudget();
    EXPECT_EQ(CountLoaded(r), 4) << "no budget set";

    manager.SetMemoryBudget(250);
    manager.MaintainBudget();
    EXPECT_EQ(manager.GetMemoryUsage(), 200u);
    EXPECT_TRUE(r[0]->GetIsLoaded(false));
    EXPECT_FALSE(r[1]->GetIsLoaded(false));
    EXPECT_TRUE(r[2]->GetIsLoaded(false));
    EXPECT_FALSE(r[3]->GetIsLoaded(false));

    manager.SetMemoryBudget(50);
    manager.MaintainBudget();
    EXPECT_TRUE(r[0]->GetIsLoaded(false)) << "used this frame";
    EXPECT_EQ(manager.GetMemoryUsage(), 100u);

    manager.DecrementMemoryUsage(1000);
    EXPECT_EQ(manager.GetMemoryUsage(), 0u) << "the counter stops at 0";

    manager.ListLoadedResources();
    FILE* sink = std::tmpfile();
    manager.WriteResourceLog("Budget", sink);
    std::fclose(sink);
    for (const TestResource* resource : r) manager.UnloadResource(resource);
    manager.UnloadUnreferencedResources();
    EXPECT_EQ(manager.GetNumResources(), 0) << "the pins of the budget and the logs are let go";
}

TEST_F(ResourceManagerTest, FullReloadLoadsAgainAtOnceAndAPartOneQueues) {
    const TestResource* loaded = Make("loaded.bin", "one");
    const TestResource* unloaded = Make("unloaded.bin");
    loaded->EnsureAvailable();
    WriteFile("loaded.bin", "two");

    manager.ReloadAllResources(true);
    EXPECT_EQ(loaded->GetContents(), "two");
    EXPECT_EQ(loaded->GetInitializeCalls(), 2);
    EXPECT_EQ(loaded->GetDestroyCalls(), 1);
    EXPECT_EQ(unloaded->GetLoadedState(), LoadedState::NotLoaded);
    EXPECT_EQ(loader.GetNumQueued(), 0);

    WriteFile("loaded.bin", "three");
    manager.ReloadAllResources(false);
    EXPECT_EQ(loaded->GetLoadedState(), LoadedState::NotLoaded);
    EXPECT_EQ(loader.GetNumQueued(), 1);
    EXPECT_TRUE(loader.ServeNextRequest());
    EXPECT_EQ(loaded->GetContents(), "three");
    EXPECT_EQ(loaded->GetPreLoadCalls(), 0) << "the request asked for no dependents";
    EXPECT_EQ(unloaded->GetLoadedState(), LoadedState::NotLoaded);
}

TEST_F(ResourceManagerTest, ResourceLogsNameEveryResource) {
    const TestResource* a = Make("Textures/A.tex");
    Make("Textures/B.tex");
    a->EnsureAvailable();

    char* text = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&text, &size);
    ASSERT_NE(file, nullptr);
    manager.WriteResourceLog("Textures", file);
    std::fclose(file);
    const std::string log(text, size);
    std::free(text);
    EXPECT_EQ(log.rfind("Textures\n", 0), 0u);
    EXPECT_NE(log.find("Textures/A.tex"), std::string::npos);
    EXPECT_NE(log.find("Textures/B.tex"), std::string::npos);
    EXPECT_NE(log.find("not loaded"), std::string::npos);
    manager.WriteResourceLog("nothing", nullptr);

    test::LogCapture capture;
    manager.ListLoadedResources();
    EXPECT_TRUE(capture.Contains(LogPriority::Info, "Textures/A.tex"));
    EXPECT_FALSE(capture.Contains(LogPriority::Info, "Textures/B.tex"));
    EXPECT_TRUE(
        capture.Contains(LogPriority::Info, "1 loaded resources, 14 bytes of system memory, 0 bytes of video memory"));
}

TEST_F(ResourceManagerTest, DestroyingTheManagerFreesEverythingAndNamesWhatWasStillHeld) {
    test::LogCapture log;
    std::atomic<bool> deleted{false};
    {
        TestResourceManager local(loader);
        const TestResource* resource = local.LoadResource("a.bin");
        Edit(resource).WatchDeletion(&deleted);
        loader.EnqueueResource(resource, ResourcePriority::Normal, false, false);
        // Another released, but held back by this thread's fence, and queued as well.
        BaseResourceManager::SetThreadUnloadFence();
        const TestResource* held = local.LoadResource("b.bin");
        loader.EnqueueResource(held, ResourcePriority::Normal, false, false);
        local.UnloadResource(held);
        local.UnloadUnreferencedResources();
        EXPECT_EQ(loader.GetNumQueued(), 2);
    }
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "a.bin"));
    EXPECT_EQ(loader.GetNumQueued(), 0) << "their requests were dropped";
}

// Loading threads take and release resources under their fences while the main thread runs
// frames of clean-up and eviction and the loader thread serves requests. A pointer a thread still
// reads after releasing it must not be freed under it (the sanitizer builds catch that).
TEST_F(ResourceManagerTest, ThreadsLoadAndReleaseWhileTheMainThreadCleansUp) {
    constexpr int kNames = 8;
    for (int i = 0; i < kNames; ++i) WriteFile("s" + std::to_string(i) + ".bin", "data" + std::to_string(i));
    ASSERT_TRUE(loader.StartThread());
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    auto levelThread = [&](int seed) {
        for (int round = 0; !stop; ++round) {
            BaseResourceManager::SetThreadUnloadFence();
            const std::string name = "s" + std::to_string((round + seed) % kNames) + ".bin";
            const TestResource* resource = manager.LoadResource(name);
            loader.EnqueueResource(resource, ResourcePriority::Normal, false, true);
            resource->EnsureAvailable();
            const std::string contents = resource->GetContents();
            if (!contents.empty() && contents != "data" + name.substr(1, 1)) ++wrong;
            manager.UnloadResource(resource);
            if (resource->GetFileName() != name) ++wrong;  // still ours until the next fence
        }
        BaseResourceManager::RemoveThreadFenceCounter();
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) threads.emplace_back(levelThread, i);
    for (uint32_t frame = 1; frame <= 300; ++frame) {
        loader.SetFrameCount(frame);
        manager.UnloadUnreferencedResources();
        manager.EvictOldResources(0, 0, 0, frame % 2);
        BaseResourceManager::SetThreadUnloadFence();
        std::this_thread::yield();
    }
    stop = true;
    for (std::thread& thread : threads) thread.join();
    loader.StopThread();
    EXPECT_EQ(wrong, 0);
    BaseResourceManager::SetThreadUnloadFence();
    manager.UnloadUnreferencedResources();
    EXPECT_EQ(manager.GetNumResources(), 0);
}

}  // namespace
}  // namespace GAME
