#include "core/Coords.h"

#include "core/Mat3.h"
#include "core/MathUtil.h"
#include "core/Quaternion.h"
#include "MathExpect.h"

#include <gtest/gtest.h>

namespace GAME {
namespace {

using test::ExpectNear;
using test::FrameA;
using test::FrameB;

void ExpectRigid(const Coords& c) {
    EXPECT_NEAR(c.xAxis.Length(), 1.0f, 1e-5f);
    EXPECT_NEAR(c.yAxis.Length(), 1.0f, 1e-5f);
    EXPECT_NEAR(c.zAxis.Length(), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(c.xAxis, c.yAxis), 0.0f, 1e-5f);
    EXPECT_NEAR(Dot(c.yAxis, c.zAxis), 0.0f, 1e-5f);
    EXPECT_NEAR(Dot(c.zAxis, c.xAxis), 0.0f, 1e-5f);
    EXPECT_FALSE(c.IsMirrored());
}

TEST(Coords, DefaultIsIdentityAndMapsPointsThroughAxesThenOrigin) {
    EXPECT_EQ(Coords(), Coords::Identity);
    const Coords c(Vec3(0, 1, 0), Vec3(-1, 0, 0), Vec3(0, 0, 2), Vec3(10, 20, 30));
    // origin + x * p.x + y * p.y + z * p.z
    EXPECT_EQ(c.TransformPoint(Vec3(1, 2, 3)), Vec3(10 - 2, 20 + 1, 30 + 6));
    EXPECT_EQ(c.TransformVector(Vec3(1, 2, 3)), Vec3(-2, 1, 6));
    EXPECT_EQ(Coords::Translation(Vec3(4, 5, 6)).TransformPoint(Vec3(1, 1, 1)), Vec3(5, 6, 7));
}

TEST(Coords, CompositionAppliesTheRightFrameFirst) {
    const Coords a = FrameA();
    const Coords b = FrameB();
    const Vec3 p(0.3f, -1.7f, 2.2f);
    ExpectNear((a * b).TransformPoint(p), a.TransformPoint(b.TransformPoint(p)));
    ExpectNear((a * b).TransformVector(p), a.TransformVector(b.TransformVector(p)));
    // The frames are chosen so that the other order is clearly different.
    EXPECT_GT(((a * b).TransformPoint(p) - b.TransformPoint(a.TransformPoint(p))).Length(), 1.0f);
}

TEST(Coords, InverseUndoesARigidFrame) {
    const Coords c = FrameA() * FrameB();
    const Vec3 p(1.5f, -2.0f, 0.25f);
    ExpectNear(c.Inverse().TransformPoint(c.TransformPoint(p)), p);
    ExpectNear(c * c.Inverse(), Coords::Identity);
    ExpectNear(c.Inverse() * c, Coords::Identity);
    ExpectNear((FrameA() * FrameB()).Inverse(), FrameB().Inverse() * FrameA().Inverse());
}

TEST(Coords, RotationsAreRightHanded) {
    const float quarter = 0.5f * Pi;
    ExpectNear(Coords::RotationZ(quarter).TransformVector(Vec3(1, 0, 0)), Vec3(0, 1, 0));
    ExpectNear(Coords::RotationX(quarter).TransformVector(Vec3(0, 1, 0)), Vec3(0, 0, 1));
    ExpectNear(Coords::RotationY(quarter).TransformVector(Vec3(0, 0, 1)), Vec3(1, 0, 0));
    ExpectNear(Coords::Rotation(Vec3(1, 0, 0), 0.7f), Coords::RotationX(0.7f));
    ExpectNear(Coords::Rotation(Vec3(0, 1, 0), 0.7f), Coords::RotationY(0.7f));
    ExpectNear(Coords::Rotation(Vec3(0, 0, 1), 0.7f), Coords::RotationZ(0.7f));
}

TEST(Coords, RotationAboutAnAxisMatchesTheQuaternion) {
    const Vec3 axis = Vec3(1.0f, -2.0f, 0.5f).Unit();
    const float angle = 1.1f;
    const Vec3 v = axis * std::sin(0.5f * angle);
    const Quaternion q(v.x, v.y, v.z, std::cos(0.5f * angle));
    const Coords fromAxis = Coords::Rotation(axis, angle);
    ExpectNear(fromAxis, Coords(Vec3(), Mat3(q)));
    ExpectNear(fromAxis.TransformVector(axis), axis);
    ExpectRigid(fromAxis);
}

TEST(Coords, LookAtAimsTheZAxisWithYUpAndXToTheLeft) {
    const Coords c = Coords::LookAt(Vec3(1, 2, 3), Vec3(1, 2, 10), Vec3(0, 1, 0));
    ExpectNear(c, Coords::Translation(Vec3(1, 2, 3)));

    const Coords east = Coords::LookAt(Vec3(), Vec3(5, 0, 0), Vec3(0, 1, 0));
    ExpectNear(east.zAxis, Vec3(1, 0, 0));
    ExpectNear(east.yAxis, Vec3(0, 1, 0));
    ExpectNear(east.xAxis, Vec3(0, 0, -1));

    const Coords tilted = Coords::LookIn(Vec3(4, 0, -1), Vec3(1, -2, 3), Vec3(0.2f, 1, 0));
    ExpectRigid(tilted);
    ExpectNear(tilted.zAxis, Vec3(1, -2, 3).Unit());
    EXPECT_GT(tilted.yAxis.y, 0.0f);
}

TEST(Coords, TopDownLookAtOfTheTwoDimensionalCameraMapsXAndZToTheScreen) {
    // The primitive drawer's 2-D camera looks down from y = 25 with up (0, 0, -1); with the
    // camera's u = 0 on the +x side, 2-D x must grow to the right and 2-D y downwards.
    const Coords c = Coords::LookAt(Vec3(50, 25, 30), Vec3(50, 0, 30), Vec3(0, 0, -1));
    ExpectNear(c.zAxis, Vec3(0, -1, 0));
    ExpectNear(c.xAxis, Vec3(-1, 0, 0));
    ExpectNear(c.yAxis, Vec3(0, 0, -1));
}

TEST(Coords, DegenerateLookDirectionsStillGiveRigidFrames) {
    const Coords down = Coords::LookIn(Vec3(1, 2, 3), Vec3(0, -4, 0), Vec3(0, 1, 0));
    ExpectRigid(down);
    ExpectNear(down.zAxis, Vec3(0, -1, 0));
    ExpectNear(down.origin, Vec3(1, 2, 3));

    const Coords nowhere = Coords::LookAt(Vec3(1, 2, 3), Vec3(1, 2, 3), Vec3(0, 1, 0));
    EXPECT_EQ(nowhere, Coords::Translation(Vec3(1, 2, 3)));
}

TEST(Coords, TransformPlaneKeepsSignedDistances) {
    const Coords c = FrameA();
    const Plane plane(Vec3(0, 0, 0), Vec3(1, 0, 1), Vec3(0, 1, 0));
    const Plane moved = c.TransformPlane(plane);
    for (const Vec3& p : {Vec3(1, 2, 3), Vec3(-4, 0.5f, 2), Vec3(0, 0, 0)}) {
        EXPECT_NEAR(moved.GetDistance(c.TransformPoint(p)), plane.GetDistance(p), 1e-5f);
    }
}

TEST(Coords, MirroredNormalisedAndOrthonormalisedAxes) {
    Coords c = FrameA();
    EXPECT_FALSE(c.IsMirrored());
    c.yAxis = -c.yAxis;
    EXPECT_TRUE(c.IsMirrored());

    Coords scaled(Vec3(2, 0, 0), Vec3(0, 0.5f, 0), Vec3(0, 0, 3), Vec3(1, 1, 1));
    scaled.NormalizeAxes();
    EXPECT_EQ(scaled, Coords::Translation(Vec3(1, 1, 1)));

    Coords skewed(Vec3(2, 0.1f, 0), Vec3(0.3f, 1, 0.2f), Vec3(0.1f, -0.2f, 4), Vec3(7, 8, 9));
    skewed.Orthonormalize();
    ExpectRigid(skewed);
    ExpectNear(skewed.xAxis, Vec3(2, 0.1f, 0).Unit());
    EXPECT_EQ(skewed.origin, Vec3(7, 8, 9));

    Coords mirrored(Vec3(1, 0.1f, 0), Vec3(0, -1, 0.1f), Vec3(0.1f, 0, 1), Vec3());
    mirrored.Orthonormalize();
    EXPECT_TRUE(mirrored.IsMirrored());
}

TEST(Coords, QuaternionAndMat3RoundTrips) {
    const Coords c = FrameB();
    const Coords back(c.origin, Mat3(c.GetQuaternion()));
    ExpectNear(back, c);
    const Coords fromMatrix(Vec3(1, 2, 3), c.GetMat3());
    EXPECT_EQ(fromMatrix.xAxis, c.xAxis);
    EXPECT_EQ(fromMatrix.yAxis, c.yAxis);
    EXPECT_EQ(fromMatrix.zAxis, c.zAxis);
    EXPECT_EQ(fromMatrix.origin, Vec3(1, 2, 3));
}

}  // namespace
}  // namespace GAME
