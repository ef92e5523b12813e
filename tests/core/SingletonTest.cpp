#include "core/Singleton.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/SingletonManager.h"

namespace GAME {

namespace {

std::string gLog;  // what the test singletons did, in order
std::atomic<int> gConstructions{0};

struct Counter {
    Counter() { ++gConstructions; }
};

struct Sound : SingletonManager::Updatable {
    ~Sound() { gLog += "~Sound "; }
    void Update() override { gLog += "Sound "; }
};

// Needs Sound while it is being constructed, so Sound must outlive it.
struct Style : SingletonManager::Updatable {
    Style() { Singleton<Sound>::Get(); }
    ~Style() { gLog += "~Style "; }
    void Update() override { gLog += "Style "; }
};

struct Quiet {
    ~Quiet() { gLog += "~Quiet "; }
    void Update() { gLog += "Quiet "; }  // not Updatable: the manager must not call it
};

// Destroys another singleton from its Update.
struct Reaper : SingletonManager::Updatable {
    ~Reaper() { gLog += "~Reaper "; }
    void Update() override {
        gLog += "Reaper ";
        Singleton<Sound>::Destroy();
    }
};

}  // namespace

TEST(Singleton, CreatedOnceOnFirstUseEvenFromManyThreads) {
    EXPECT_FALSE(Singleton<Counter>::HasInstantiated());
    const int before = gConstructions.load();
    std::vector<std::thread> threads;
    std::atomic<Counter*> seen[8] = {};
    for (int t = 0; t < 8; ++t) threads.emplace_back([&seen, t] { seen[t] = Singleton<Counter>::Get(); });
    for (std::thread& thread : threads) thread.join();
    EXPECT_TRUE(Singleton<Counter>::HasInstantiated());
    EXPECT_EQ(gConstructions.load(), before + 1);
    for (auto& pointer : seen) EXPECT_EQ(pointer.load(), Singleton<Counter>::Get());

    Singleton<Counter>::Destroy();
    EXPECT_FALSE(Singleton<Counter>::HasInstantiated());
    Singleton<Counter>::Destroy();  // nothing left: no effect
    Singleton<Counter>::Get();
    EXPECT_EQ(gConstructions.load(), before + 2);
    Singleton<Counter>::Destroy();
}

TEST(Singleton, ManagerUpdatesUpdatablesAndDestroysNewestFirst) {
    gLog.clear();
    Singleton<Quiet>::Get();
    Singleton<Style>::Get();  // creates Sound during its construction
    SingletonManager::Update();
    EXPECT_EQ(gLog, "Sound Style ");

    gLog.clear();
    SingletonManager::DestroyAll();
    EXPECT_EQ(gLog, "~Style ~Sound ~Quiet ");
    EXPECT_FALSE(Singleton<Style>::HasInstantiated());
    EXPECT_FALSE(Singleton<Sound>::HasInstantiated());
    EXPECT_FALSE(Singleton<Quiet>::HasInstantiated());

    gLog.clear();
    SingletonManager::Update();
    EXPECT_EQ(gLog, "");
}

TEST(Singleton, ASingletonDestroyedDuringUpdateIsSkipped) {
    gLog.clear();
    Singleton<Reaper>::Get();
    Singleton<Sound>::Get();
    SingletonManager::Update();
    EXPECT_EQ(gLog, "Reaper ~Sound ");
    gLog.clear();
    SingletonManager::DestroyAll();
    EXPECT_EQ(gLog, "~Reaper ");
}

}  // namespace GAME
