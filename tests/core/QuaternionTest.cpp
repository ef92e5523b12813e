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
        AxisAngle(Vec3(1, 2, 3), 0.4f), AxisAngle(Vec3(1, 0, 0), Pi), AxisAngle(Vec3(0, 1, 0), Pi),
        AxisAngle(Vec3(0, 0, 1), Pi),   AxisAngle(Vec3(1, 1, 0), 3.0f), AxisAngle(Vec3(-1, 2, -3), 2.5f),
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

}  // namespace
}  // namespace GAME
