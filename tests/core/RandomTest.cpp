#include "core/Random.h"

#include <gtest/gtest.h>

#include <vector>

namespace GAME {

TEST(Random, SequenceIsTheSeededLinearCongruentialOne) {
    SeedRand15(1);
    // seed = seed * 214013 + 2531011; value = seed >> 16 & 0x7FFF.
    for (const int value : {41, 18467, 6334}) EXPECT_EQ(Rand15(), value);

    SeedRand15(12345);
    std::vector<int> first;
    for (int i = 0; i < 50; ++i) first.push_back(Rand15());
    SeedRand15(12345);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(Rand15(), first[i]);
}

TEST(Random, ValuesStayIn15BitsAndFloatsInZeroToOne) {
    SeedRand15(7);
    int low = 32767, high = 0;
    for (int i = 0; i < 200000; ++i) {
        const int value = Rand15();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
        low = std::min(low, value);
        high = std::max(high, value);
    }
    EXPECT_LT(low, 100);
    EXPECT_GT(high, 32667);
    for (int i = 0; i < 1000; ++i) {
        const float value = Rand15Float();
        ASSERT_GE(value, 0.0f);
        ASSERT_LE(value, 1.0f);
    }
}

}  // namespace GAME
