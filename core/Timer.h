#pragma once
// Measures the time between updates on some clock, in whole milliseconds.
//
// Reset makes the start, previous and current times "now" and clears the elapsed time and its
// history. Update(false) makes the elapsed time the difference between the clock's current
// milliseconds and those of the previous update; Update(true) makes it the mean of the last (up
// to) 10 such differences. Either way the difference joins the history.
//
// The clock is the derived class's: GameTimer runs on game time, SystemTimer on system time. The
// clock reads whole milliseconds, so the elapsed times of successive updates add up exactly to the
// total.

#include <cstdint>

namespace GAME {

class Timer {
public:
    static constexpr int kHistorySize = 10;

    virtual ~Timer() = default;

    void Reset();
    void Update(bool smooth);

    // Milliseconds between the last two updates (or their smoothed mean).
    int GetElapsedTime() const { return elapsed_; }
    // Milliseconds from Reset to the last Update.
    int GetTotalElapsedTime() const { return static_cast<int>(current_ - start_); }

protected:
    // The clock's current time in whole milliseconds.
    virtual int64_t GetClockMilliseconds() const = 0;

private:
    int64_t start_ = 0;
    int64_t previous_ = 0;
    int64_t current_ = 0;
    int elapsed_ = 0;
    int history_[kHistorySize] = {};  // ring of the latest differences
    int historyCount_ = 0;            // how many of them are valid (up to kHistorySize)
    int historyNext_ = 0;             // where the next difference goes
};

}  // namespace GAME
