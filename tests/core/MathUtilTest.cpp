#include "core/MathUtil.h"

#include <gtest/gtest.h>

namespace GAME {
namespace {

TEST(MathUtil, Constants) {
    EXPECT_TRUE(Infinity > 3.0e38f);
    EXPECT_EQ(Infinity, Infinity + 1.0f);
    EXPECT_NEAR(DegreesToRadians(180.0f), Pi, 1e-6f);
    EXPECT_NEAR(Tan(DegreesToRadians(45.0f)), 1.0f, 1e-6f);
    EXPECT_EQ(Sqrt(16.0f), 4.0f);
    EXPECT_EQ(Max(2.0f, -3.0f), 2.0f);
    EXPECT_EQ(Min(2.0f, -3.0f), -3.0f);
}

TEST(MathUtil, WrapToRangeWrapsNegativesFromTheTop) {
    EXPECT_FLOAT_EQ(WrapToRange(-1.0f, 0.0f, 24.0f), 23.0f);
    EXPECT_FLOAT_EQ(WrapToRange(-24.0f, 0.0f, 24.0f), 0.0f);
    EXPECT_FLOAT_EQ(WrapToRange(-49.5f, 0.0f, 24.0f), 22.5f);
    EXPECT_FLOAT_EQ(WrapToRange(24.0f, 0.0f, 24.0f), 0.0f);
    EXPECT_FLOAT_EQ(WrapToRange(25.0f, 0.0f, 24.0f), 1.0f);
    EXPECT_FLOAT_EQ(WrapToRange(12.0f, 0.0f, 24.0f), 12.0f);
    EXPECT_FLOAT_EQ(WrapToRange(5.0f, 10.0f, 20.0f), 15.0f);
    EXPECT_FLOAT_EQ(WrapToRange(-15.0f, -10.0f, 10.0f), 5.0f);
    // A tiny negative value rounds to the top of the range; it must still come out below max.
    const float wrapped = WrapToRange(-1e-8f, 0.0f, 24.0f);
    EXPECT_GE(wrapped, 0.0f);
    EXPECT_LT(wrapped, 24.0f);
    // Empty and inverted ranges give min instead of NaN.
    EXPECT_EQ(WrapToRange(3.0f, 5.0f, 5.0f), 5.0f);
    EXPECT_EQ(WrapToRange(3.0f, 5.0f, 1.0f), 5.0f);
}

TEST(MathUtil, IsPowerOfTwoAcceptsZero) {
    EXPECT_TRUE(IsPowerOfTwo(0u));
    EXPECT_TRUE(IsPowerOfTwo(1u));
    EXPECT_TRUE(IsPowerOfTwo(64u));
    EXPECT_TRUE(IsPowerOfTwo(0x80000000u));
    EXPECT_FALSE(IsPowerOfTwo(3u));
    EXPECT_FALSE(IsPowerOfTwo(96u));
    EXPECT_FALSE(IsPowerOfTwo(0xFFFFFFFFu));
}

TEST(MathUtil, IsInConeUsesTheFullAperture) {
    const Vec3 apex(1, 2, 3);
    const Vec3 forward(0, 0, 5);  // any length
    const float rightAngle = 0.5f * Pi;  // 45 degrees each side
    auto at = [&](float degrees, float distance) {
        const float r = DegreesToRadians(degrees);
        return apex + Vec3(std::sin(r), 0, std::cos(r)) * distance;
    };
    EXPECT_TRUE(IsInCone(apex, forward, rightAngle, at(0, 10), 0));
    EXPECT_TRUE(IsInCone(apex, forward, rightAngle, at(40, 10), 0));
    EXPECT_FALSE(IsInCone(apex, forward, rightAngle, at(50, 10), 0));
    EXPECT_FALSE(IsInCone(apex, forward, rightAngle, at(180, 10), 0));
    // 5 degrees outside at distance 10 is 10 sin 5° = 0.87 from the cone's surface.
    EXPECT_TRUE(IsInCone(apex, forward, rightAngle, at(50, 10), 0.9f));
    EXPECT_FALSE(IsInCone(apex, forward, rightAngle, at(50, 10), 0.8f));
    // Behind the apex only a sphere that reaches the apex counts.
    EXPECT_FALSE(IsInCone(apex, forward, rightAngle, at(180, 2), 1.9f));
    EXPECT_TRUE(IsInCone(apex, forward, rightAngle, at(180, 2), 2.1f));
    EXPECT_TRUE(IsInCone(apex, forward, rightAngle, apex, 0));
    // Wide cones: an aperture near 2 pi leaves only a thin opening behind.
    EXPECT_TRUE(IsInCone(apex, forward, 2.0f * Pi - 0.01f, at(170, 10), 0));
    EXPECT_FALSE(IsInCone(apex, forward, 2.0f * Pi - 0.2f, at(180, 10), 0));
    EXPECT_TRUE(IsInCone(apex, forward, 2.0f * Pi + 0.1f, at(180, 10), 0));
}

}  // namespace
}  // namespace GAME
