#include "core/Time.h"

#include <chrono>

namespace GAME {

uint64_t GetPerformanceCounter() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

float ElapsedMilliseconds(uint64_t a, uint64_t b) {
    return static_cast<float>(static_cast<double>(static_cast<int64_t>(b - a)) / 1.0e6);
}

int64_t GetSystemMilliseconds() { return static_cast<int64_t>(GetPerformanceCounter() / 1000000u); }

}  // namespace GAME
