#include "core/Random.h"

#include <atomic>

namespace GAME {

namespace {

std::atomic<uint32_t> gSeed{1};

constexpr uint32_t Step(uint32_t seed) { return seed * 214013u + 2531011u; }

}  // namespace

int Rand15() {
    // Threads may draw at once; each draw takes one step of the sequence.
    uint32_t seed = gSeed.load(std::memory_order_relaxed);
    while (!gSeed.compare_exchange_weak(seed, Step(seed), std::memory_order_relaxed)) {
    }
    return static_cast<int>(Step(seed) >> 16 & 0x7FFFu);
}

void SeedRand15(uint32_t seed) { gSeed.store(seed, std::memory_order_relaxed); }

float Rand15Float() { return static_cast<float>(Rand15()) / 32767.0f; }

}  // namespace GAME
