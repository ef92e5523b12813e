#include "core/Vec3.h"

#include "core/Color.h"
#include "core/IntVec3.h"
#include "core/MathUtil.h"
#include "core/Vec2.h"
#include "MathExpect.h"

#include <gtest/gtest.h>

#include <limits>

namespace GAME {
namespace {

using test::ExpectNear;

TEST(Vec3, ArithmeticIsComponentWise) {
    const Vec3 a(1, 2, 3);
    const Vec3 b(4, -5, 6);
    EXPECT_EQ(a + b, Vec3(5, -3, 9));
    EXPECT_EQ(a - b, Vec3(-3, 7, -3));
    EXPECT_EQ(a * b, Vec3(4, -10, 18));
    EXPECT_EQ(a * 2.0f, Vec3(2, 4, 6));
    EXPECT_EQ(2.0f * a, Vec3(2, 4, 6));
    EXPECT_EQ(b / 2.0f, Vec3(2, -2.5f, 3));
    Vec3 c = a;
    c += b;
    c -= Vec3(1, 1, 1);
    EXPECT_EQ(c, Vec3(4, -4, 8));
    EXPECT_EQ(Dot(a, b), 12.0f);
    EXPECT_EQ(Cross(Vec3(1, 0, 0), Vec3(0, 1, 0)), Vec3(0, 0, 1));
    EXPECT_EQ(Min(a, b), Vec3(1, -5, 3));
    EXPECT_EQ(Max(a, b), Vec3(4, 2, 6));
}

TEST(Vec3, LengthAndUnitOfZeroAreZero) {
    EXPECT_EQ(Vec3().Length(), 0.0f);
    EXPECT_EQ(Vec3().Unit(), Vec3());
    EXPECT_EQ(Vec3(3, 4, 0).Length(), 5.0f);
    EXPECT_EQ(Vec3(3, 4, 0).LengthSquared(), 25.0f);
    ExpectNear(Vec3(0, 0, 1e-20f).Unit(), Vec3(0, 0, 1));
    EXPECT_EQ(Vec2().Unit(), Vec2());
    EXPECT_NEAR(Vec2(3, 4).Unit().x, 0.6f, 1e-6f);
}

TEST(Vec3, IsValidRejectsInfinityAndNaN) {
    EXPECT_TRUE(Vec3(1e30f, -1e30f, 0).IsValid());
    EXPECT_FALSE(Vec3(Infinity, 0, 0).IsValid());
    EXPECT_FALSE(Vec3(0, -Infinity, 0).IsValid());
    EXPECT_FALSE(Vec3(0, 0, std::numeric_limits<float>::quiet_NaN()).IsValid());
}

TEST(Vec3, PerpendicularOfVerticalVectorsOfAnyLength) {
    // Vertical vectors shorter or longer than 1 must switch to the x-axis product too.
    for (const float y : {1.0f, -1.0f, 0.5f, -0.001f, 250.0f}) {
        const Vec3 v(0, y, 0);
        const Vec3 p = v.GetPerpendicular();
        EXPECT_NEAR(p.Length(), 1.0f, 1e-6f) << "y = " << y;
        EXPECT_NEAR(Dot(p, v), 0.0f, 1e-6f) << "y = " << y;
    }
    ExpectNear(Vec3(0, 2, 0).GetPerpendicular(), Vec3(0, 0, -1));  // unit(v x (1, 0, 0))
    ExpectNear(Vec3(2, 0, 0).GetPerpendicular(), Vec3(0, 0, 1));   // unit(v x (0, 1, 0))
    const Vec3 slanted(0.3f, 5.0f, -0.2f);
    EXPECT_NEAR(Dot(slanted.GetPerpendicular(), slanted), 0.0f, 1e-5f);
    EXPECT_NEAR(slanted.GetPerpendicular().Length(), 1.0f, 1e-6f);
    EXPECT_EQ(Vec3().GetPerpendicular(), Vec3());
}

TEST(Vec3, IntVec3Difference) {
    EXPECT_EQ(IntVec3(5, -2, 7) - IntVec3(1, 3, -7), IntVec3(4, -5, 14));
}

TEST(Color, LuminanceClampAndLerp) {
    EXPECT_NEAR(Color(1, 0.5f, 0.25f, 0).GetLuminance(), 0.3f + 0.295f + 0.0275f, 1e-6f);
    Color c(-0.5f, 0.5f, 2.0f, 1.5f);
    c.Clamp(0.0f, 1.0f);
    EXPECT_EQ(c, Color(0, 0.5f, 1, 1));
    const Color mid = Color::Lerp(Color(0, 1, 2, 3), Color(1, 3, 2, -1), 0.25f);
    EXPECT_EQ(mid, Color(0.25f, 1.5f, 2, 2));
}

}  // namespace
}  // namespace GAME
