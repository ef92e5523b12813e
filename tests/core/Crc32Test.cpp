#include "core/Crc32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace GAME {

// The stored-file checksum starts at 0 and is not inverted at the end, so it differs from the
// familiar 0xCBF43926 of "123456789"; the values below were computed bit by bit.
TEST(Crc32, KnownVectorsWithZeroInitAndNoFinalInversion) {
    const char* digits = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const unsigned char*>(digits), 9), 0x2DFD2D88u);
    const unsigned char a = 'a';
    EXPECT_EQ(Crc32(&a, 1), 0x3AB551CEu);
    const unsigned char zeros[4] = {};
    EXPECT_EQ(Crc32(zeros, 4), 0u);
}

TEST(Crc32, EmptyAndNegativeCountsAreZero) {
    const unsigned char a = 'a';
    EXPECT_EQ(Crc32(&a, 0), 0u);
    EXPECT_EQ(Crc32(&a, -5), 0u);
    EXPECT_EQ(Crc32(nullptr, 4), 0u);
}

}  // namespace GAME
