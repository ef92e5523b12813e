#include "core/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/GameClock.h"
#include "core/GameTimer.h"
#include "core/SystemTimer.h"

namespace GAME {

namespace {

// A timer on a clock the test sets by hand.
class ManualTimer : public Timer {
public:
    int64_t now = 1000;

protected:
    int64_t GetClockMilliseconds() const override { return now; }
};

}  // namespace

TEST(Timer, RawUpdateIsTheDifferenceSinceThePreviousUpdate) {
    ManualTimer timer;
    timer.Reset();
    EXPECT_EQ(timer.GetElapsedTime(), 0);
    EXPECT_EQ(timer.GetTotalElapsedTime(), 0);
    timer.now += 16;
    timer.Update(false);
    EXPECT_EQ(timer.GetElapsedTime(), 16);
    timer.now += 40;
    timer.Update(false);
    EXPECT_EQ(timer.GetElapsedTime(), 40);
    EXPECT_EQ(timer.GetTotalElapsedTime(), 56);
    timer.Update(false);
    EXPECT_EQ(timer.GetElapsedTime(), 0);
}

TEST(Timer, SmoothUpdateIsTheMeanOfTheLastTenDifferences) {
    ManualTimer timer;
    timer.Reset();
    // Differences 10, 20, ..., 100: the mean of those so far after each update.
    int sum = 0;
    for (int i = 1; i <= 10; ++i) {
        timer.now += 10 * i;
        sum += 10 * i;
        timer.Update(true);
        EXPECT_EQ(timer.GetElapsedTime(), sum / i) << "after " << i << " updates";
    }
    // The eleventh difference pushes out the first: (20 + ... + 100 + 210) / 10.
    timer.now += 210;
    timer.Update(true);
    EXPECT_EQ(timer.GetElapsedTime(), (550 - 10 + 210) / 10);
    // Raw updates still feed the history.
    timer.now += 5;
    timer.Update(false);
    EXPECT_EQ(timer.GetElapsedTime(), 5);
    timer.Update(true);
    EXPECT_EQ(timer.GetElapsedTime(), (550 - 10 - 20 - 30 + 210 + 5 + 0) / 10);
    EXPECT_EQ(timer.GetTotalElapsedTime(), 550 + 210 + 5);
}

TEST(Timer, ResetClearsTheHistory) {
    ManualTimer timer;
    timer.Reset();
    timer.now += 100;
    timer.Update(true);
    timer.Reset();
    EXPECT_EQ(timer.GetElapsedTime(), 0);
    EXPECT_EQ(timer.GetTotalElapsedTime(), 0);
    timer.now += 4;
    timer.Update(true);
    EXPECT_EQ(timer.GetElapsedTime(), 4);
}

TEST(GameClock, PausesAndScales) {
    GameClock& clock = GameClock::Get();
    clock.Reset();
    clock.SetPaused(false);
    clock.SetScale(1.0f);
    const int64_t start = clock.GetMilliseconds();
    clock.AdvanceBy(100.0);
    EXPECT_EQ(clock.GetMilliseconds() - start, 100);

    clock.SetPaused(true);
    EXPECT_TRUE(clock.IsPaused());
    clock.AdvanceBy(500.0);
    EXPECT_EQ(clock.GetMilliseconds() - start, 100);

    clock.SetPaused(false);
    clock.SetScale(0.5f);
    clock.AdvanceBy(16.5);  // fractions of a millisecond are kept, not truncated each frame
    clock.AdvanceBy(16.5);
    clock.AdvanceBy(17.0);
    EXPECT_EQ(clock.GetMilliseconds() - start, 125);
    EXPECT_EQ(GetGameTime(), static_cast<int>(clock.GetMilliseconds()));

    clock.SetScale(-2.0f);  // time never runs backwards
    EXPECT_EQ(clock.GetScale(), 0.0f);
    clock.AdvanceBy(50.0);
    clock.AdvanceBy(-50.0);
    EXPECT_EQ(clock.GetMilliseconds() - start, 125);
    clock.SetScale(1.0f);
}

TEST(GameClock, GameTimerFollowsTheGameClock) {
    GameClock& clock = GameClock::Get();
    clock.Reset();
    clock.SetPaused(false);
    clock.SetScale(2.0f);
    GameTimer timer;
    clock.AdvanceBy(10.0);
    timer.Update(false);
    EXPECT_EQ(timer.GetElapsedTime(), 20);
    clock.SetPaused(true);
    clock.AdvanceBy(10.0);
    timer.Update(false);
    EXPECT_EQ(timer.GetElapsedTime(), 0);
    EXPECT_EQ(timer.GetTotalElapsedTime(), 20);
    clock.SetPaused(false);
    clock.SetScale(1.0f);
}

TEST(GameClock, SystemTimerAndAdvanceNeverGoBackwards) {
    SystemTimer timer;
    timer.Update(false);
    EXPECT_GE(timer.GetElapsedTime(), 0);
    EXPECT_GE(timer.GetTotalElapsedTime(), 0);

    // Advance adds the real time since the previous Advance or Reset, once.
    GameClock& clock = GameClock::Get();
    clock.SetPaused(false);
    clock.SetScale(1.0f);
    const auto start = std::chrono::steady_clock::now();
    clock.Reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    clock.Advance();
    clock.Advance();
    const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(clock.GetMilliseconds(), 20);
    EXPECT_LE(clock.GetMilliseconds(), real.count());
}

}  // namespace GAME
