#pragma once
// The system clock of the engine: a raw monotonic counter for measuring durations.
//
// The counter is the steady clock in nanoseconds; only differences between two readings mean
// anything.

#include <cstdint>

namespace GAME {

uint64_t GetPerformanceCounter();

// The milliseconds from counter value a to counter value b (negative when b is earlier).
float ElapsedMilliseconds(uint64_t a, uint64_t b);

// The system time in whole milliseconds on the same clock.
int64_t GetSystemMilliseconds();

}  // namespace GAME
