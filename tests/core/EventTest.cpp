#include "core/Event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace GAME {

TEST(Event, ManualResetStaysSignalledUntilReset) {
    Event event;
    EXPECT_FALSE(event.GetSignaled());
    EXPECT_FALSE(event.Wait(0));
    event.SetSignaled();
    EXPECT_TRUE(event.GetSignaled());
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));  // waiting does not reset it
    event.Reset();
    EXPECT_FALSE(event.GetSignaled());
    EXPECT_TRUE(Event(true).GetSignaled());
}

TEST(Event, WaitTimesOutOrWakesOnSignalFromAnotherThread) {
    Event event;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(20));
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(20));
    std::thread signaller([&event] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        event.SetSignaled();
    });
    EXPECT_TRUE(event.Wait(Event::kInfinite));
    signaller.join();
}

TEST(Event, WaitForAnyReportsTheLowestSignalledEvent) {
    Event a(true), b(true), c(true);
    Event* events[] = {&a, &b, &c};
    EXPECT_EQ(Event::WaitForAny(events, 3, Event::kInfinite), 0);
    EXPECT_EQ(Event::WaitForAny(events + 2, 1, 0), 0);
    a.Reset();
    EXPECT_EQ(Event::WaitForAny(events, 3, 0), 1);
    b.Reset();
    c.Reset();
    EXPECT_EQ(std::tuple(Event::WaitForAny(events, 3, 5), Event::WaitForAny(events, 3, 0),
                         Event::WaitForAny(events, 0, 0), Event::WaitForAny(nullptr, 3, 0)),
              std::tuple(-1, -1, -1, -1));
}

TEST(Event, WaitForAnyWakesWhenALaterEventIsSignalled) {
    Event a, b, c;
    Event* events[] = {&a, &b, &c};
    std::thread signaller([&c] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        c.SetSignaled();
    });
    EXPECT_EQ(Event::WaitForAny(events, 3, Event::kInfinite), 2);
    signaller.join();
}

}  // namespace GAME
