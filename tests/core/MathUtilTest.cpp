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
    // Value, range and the value wrapped into it.
    const float cases[][4] = {{-1, 0, 24, 23}, {-24, 0, 24, 0}, {-49.5f, 0, 24, 22.5f}, {24, 0, 24, 0},
                              {25, 0, 24, 1},  {12, 0, 24, 12}, {5, 10, 20, 15},        {-15, -10, 10, 5}};
    for (const auto& c : cases) EXPECT_FLOAT_EQ(WrapToRange(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1];
    // A tiny negative value rounds to the top of the range; it must still come out below max.
    const float wrapped = WrapToRange(-1e-8f, 0.0f, 24.0f);
    EXPECT_GE(wrapped, 0.0f);
    EXPECT_LT(wrapped, 24.0f);
    // Empty and inverted ranges give min instead of NaN.
    EXPECT_EQ(std::pair(WrapToRange(3.0f, 5.0f, 5.0f), WrapToRange(3.0f, 5.0f, 1.0f)), std::pair(5.0f, 5.0f));
}

TEST(MathUtil, IsPowerOfTwoAcceptsZero) {
    for (const uint32_t power : {0u, 1u, 64u, 0x80000000u}) EXPECT_TRUE(IsPowerOfTwo(power)) << power;
    for (const uint32_t other : {3u, 96u, 0xFFFFFFFFu}) EXPECT_FALSE(IsPowerOfTwo(other)) << other;
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
