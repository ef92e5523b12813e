#include "core/Quaternion.h"

#include "core/Coords.h"
#include "core/Mat3.h"
#include "core/MathUtil.h"
#include "MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace GAME {
namespace {

using test::ExpectNear;

Quaternion AxisAngle(const Vec3& axis, float angle) {
    const Vec3 v = axis.Unit() * std::sin(0.5f * angle);
    return Quaternion(v.x, v.y, v.z, std::cos(0.5f * angle));
}

TEST(Quaternion, ZeroAndIdentityGiveTheIdentityMatrix) {
    ExpectNear(Mat3(Quaternion()), Mat3(), 0.0f);
    ExpectNear(Mat3(Quaternion(0, 0, 0, 0)), Mat3(), 0.0f);
    EXPECT_EQ(Quaternion(0, 0, 0, 0).Normalized(), Quaternion());
}

TEST(Quaternion, MatrixFollowsTheColumnVectorConvention) {
    // A quarter turn about z takes x to y.
    const Mat3 m(AxisAngle(Vec3(0, 0, 1), 0.5f * Pi));
    ExpectNear(m * Vec3(1, 0, 0), Vec3(0, 1, 0));
    ExpectNear(m.GetColumn(0), Vec3(0, 1, 0));
}

TEST(Quaternion, LengthDoesNotChangeTheRotation) {
    const Quaternion q = AxisAngle(Vec3(1, 2, 3), 0.8f);
    const Quaternion longer(q.x * 3, q.y * 3, q.z * 3, q.w * 3);
    ExpectNear(Mat3(longer), Mat3(q));
    const Quaternion unit = longer.Normalized();
    EXPECT_NEAR(unit.LengthSquared(), 1.0f, 1e-6f);
    EXPECT_NEAR(unit.x, q.x, 1e-6f);
    EXPECT_NEAR(unit.w, q.w, 1e-6f);
}

TEST(Quaternion, ProductRotatesByTheRightFactorFirst) {
    const Quaternion a = AxisAngle(Vec3(1, 0, 0), 0.7f);
    const Quaternion b = AxisAngle(Vec3(0, 1, 1), -1.2f);
    ExpectNear(Mat3(a * b), Mat3(a) * Mat3(b));
}

TEST(Quaternion, MatrixRoundTripsIncludingHalfTurns) {
    // Half turns have a negative trace and take the other branches of the conversion.
    const Quaternion rotations[] = {
        AxisAngle(Vec3(1, 2, 3), 0.4f), AxisAngle(Vec3(1, 0, 0), Pi),    AxisAngle(Vec3(0, 1, 0), Pi),
        AxisAngle(Vec3(0, 0, 1), Pi),   AxisAngle(Vec3(1, 1, 0), 3.0f),  AxisAngle(Vec3(-1, 2, -3), 2.5f),
        AxisAngle(Vec3(3, 1, 2), 2.8f), AxisAngle(Vec3(1, 3, -2), 2.8f),
    };
    for (const Quaternion& q : rotations) {
        const Mat3 m(q);
        ExpectNear(Mat3(Quaternion(m)), m);
    }
}

TEST(Quaternion, FromCoordsMatchesTheFrame) {
    const Coords c = Coords::Rotation(Vec3(0, 0.6f, 0.8f), 2.0f);
    ExpectNear(Mat3(c.GetQuaternion()), c.GetMat3());
}

TEST(Quaternion, SlerpFollowsTheArcAndTakesTheShorterWay) {
    const Quaternion quarter = AxisAngle(Vec3(0, 0, 1), 0.5f * Pi);
    const Quaternion half = Quaternion::Slerp(Quaternion(), quarter, 0.5f);
    const Quaternion eighth = AxisAngle(Vec3(0, 0, 1), 0.25f * Pi);
    EXPECT_NEAR(half.x, eighth.x, 1e-6f);
    EXPECT_NEAR(half.z, eighth.z, 1e-6f);
    EXPECT_NEAR(half.w, eighth.w, 1e-6f);
    EXPECT_NEAR(Quaternion::Slerp(Quaternion(), quarter, 0.0f).w, 1.0f, 1e-6f);
    EXPECT_NEAR(Quaternion::Slerp(Quaternion(), quarter, 1.0f).z, quarter.z, 1e-6f);

    // The same end rotation with all signs flipped: the path stays the 45-degree one.
    const Quaternion flipped = Quaternion::Slerp(Quaternion(), -quarter, 0.5f);
    EXPECT_NEAR(flipped.z, eighth.z, 1e-6f);
    EXPECT_NEAR(flipped.w, eighth.w, 1e-6f);
    // At right angles (dot product 0) neither way is shorter: the second is taken as it is.
    EXPECT_NEAR(Quaternion::Slerp(Quaternion(), Quaternion(1, 0, 0, 0), 0.5f).x, std::sqrt(0.5f), 1e-6f);
}

TEST(Quaternion, SlerpNearlyParallelIsLinearAndNotNormalised) {
    // Dot product -0.99999: the second is negated, then the two are blended linearly.
    const Quaternion a(0.0f, 0.0f, 0.0f, 1.0f);
    const Quaternion b(0.0f, 0.0f, 0.00447212f, -0.99999f);
    const Quaternion r = Quaternion::Slerp(a, b, 0.5f);
    EXPECT_NEAR(r.z, -0.5f * 0.00447212f, 1e-7f);
    EXPECT_NEAR(r.w, 0.5f * (1.0f + 0.99999f), 1e-7f);

    // Unnormalised inputs stay unnormalised: the blend of two half-length quaternions is short.
    const Quaternion shortQ = Quaternion::Slerp(a * 0.5f, AxisAngle(Vec3(1, 0, 0), 1.0f) * 0.5f, 0.5f);
    EXPECT_LT(shortQ.LengthSquared(), 0.5f);
}

TEST(Quaternion, PackingUsesOneByteAComponentXLowest) {
    EXPECT_EQ(Quaternion(1, 1, 1, 1).Pack(), 0xFFFFFFFFu);
    EXPECT_EQ(Quaternion(-1, -1, -1, -1).Pack(), 0u);
    EXPECT_EQ(Quaternion(1, -1, 0, 1).Pack(), 0xFF7F00FFu);
    EXPECT_EQ(Quaternion::Unpack(0xFF7F00FFu).x, 1.0f);
    EXPECT_EQ(Quaternion::Unpack(0xFF7F00FFu).y, -1.0f);
    EXPECT_NEAR(Quaternion::Unpack(0xFF7F00FFu).z, -0.0039216f, 1e-6f);
    EXPECT_EQ(Quaternion::Unpack(0xFF7F00FFu).w, 1.0f);

    // Out-of-range components clamp instead of wrapping to the other sign; NaN packs as 0.
    const float nan = std::nanf("");
    EXPECT_EQ(Quaternion(1.5f, -7.0f, nan, 1.004f).Pack(), 0xFF7F00FFu);

    const Quaternion q = AxisAngle(Vec3(1, -2, 3), 2.2f);
    const Quaternion back = Quaternion::Unpack(q.Pack());
    EXPECT_NEAR(back.x, q.x, 2.0f / 255.0f);
    EXPECT_NEAR(back.y, q.y, 2.0f / 255.0f);
    EXPECT_NEAR(back.z, q.z, 2.0f / 255.0f);
    EXPECT_NEAR(back.w, q.w, 2.0f / 255.0f);
}

}  // namespace
}  // namespace GAME
