#pragma once
// The engine's 15-bit random numbers, used wherever the engine calls for "rand" (0..32767).
//
// A seedable linear congruential generator (seed = seed * 214013 + 2531011, result bits 16..30),
// the same on every platform, unlike the C library's rand whose range on Linux is 2^31 - 1. One
// sequence is shared by the process; it starts from seed 1 and tests seed it.

#include <cstdint>

namespace GAME {

// The next value in 0..32767.
int Rand15();

void SeedRand15(uint32_t seed);

// The next value scaled by 1/32767, in [0, 1].
float Rand15Float();

}  // namespace GAME
