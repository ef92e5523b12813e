#include "core/CriticalSection.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "core/CriticalSectionLock.h"

namespace GAME {

namespace {
bool TryFromAnotherThread(CriticalSection& section) {
    return std::async(std::launch::async, [&section] {
        if (!section.TryToEnter()) return false;
        section.Exit();
        return true;
    }).get();
}
}  // namespace

TEST(CriticalSection, HolderMayEnterAgainAndOthersWaitUntilEveryEntryIsLeft) {
    CriticalSection section;
    section.Enter();
    EXPECT_TRUE(section.TryToEnter());  // re-entry on the holding thread
    section.EnterNoProfile();
    EXPECT_FALSE(TryFromAnotherThread(section));
    section.Exit();
    section.Exit();
    EXPECT_FALSE(TryFromAnotherThread(section));  // still held once
    section.Exit();
    EXPECT_TRUE(TryFromAnotherThread(section));
}

TEST(CriticalSection, ScopedLockHoldsForItsScopeInBothForms) {
    CriticalSection section;
    {
        CriticalSectionLock lock(section);
        EXPECT_FALSE(TryFromAnotherThread(section));
        {
            CriticalSectionLock nested(section, false);
            EXPECT_FALSE(TryFromAnotherThread(section));
        }
        EXPECT_FALSE(TryFromAnotherThread(section));
    }
    EXPECT_TRUE(TryFromAnotherThread(section));
}

TEST(CriticalSection, SerialisesIncrementsAcrossThreads) {
    CriticalSection section;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                CriticalSectionLock lock(section);
                ++counter;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(counter, 40000);
}

}  // namespace GAME
