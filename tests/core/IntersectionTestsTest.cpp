#include "core/IntersectionTests.h"

#include "core/Coords.h"
#include "core/MathUtil.h"
#include "MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace GAME {
namespace {

using test::ExpectNear;

TEST(IntersectionTests, BoxAgainstBoxCountsTouching) {
    const ABBox a(Vec3(0, 0, 0), Vec3(1, 2, 3));
    EXPECT_TRUE(TestIntersection(a, ABBox(Vec3(1.5f, 1, -1), Vec3(1, 1, 1))));
    EXPECT_TRUE(TestIntersection(a, ABBox(Vec3(2, 0, 0), Vec3(1, 1, 1))));      // faces touch
    EXPECT_TRUE(TestIntersection(a, ABBox(Vec3(-2, -3, 4), Vec3(1, 1, 1))));    // corners touch
    EXPECT_FALSE(TestIntersection(a, ABBox(Vec3(0, 0, 4.01f), Vec3(1, 1, 1))));  // apart on z only
    EXPECT_TRUE(TestIntersection(a, ABBox(Vec3(0, 0, 0), Vec3(0.1f, 0.1f, 0.1f))));  // contained
}

TEST(IntersectionTests, BoxAgainstSphereBySquaredDistance) {
    const ABBox box(Vec3(0, 0, 0), Vec3(1, 1, 1));
    EXPECT_TRUE(TestIntersection(box, Sphere(Vec3(0, 0, 0), 0.1f)));
    EXPECT_TRUE(TestIntersection(box, Sphere(Vec3(3, 0, 0), 2.0f)));   // touching a face
    EXPECT_FALSE(TestIntersection(box, Sphere(Vec3(3, 0, 0), 1.99f)));
    // Beyond a corner the distance is diagonal: sqrt(3) from (2, 2, 2).
    EXPECT_FALSE(TestIntersection(box, Sphere(Vec3(2, 2, 2), 1.7f)));
    EXPECT_TRUE(TestIntersection(box, Sphere(Vec3(2, 2, 2), 1.74f)));
}

TEST(IntersectionTests, OrientedBoxAgainstFrustumInBoxSpace) {
    // One plane, x <= 1.
    Frustum halfSpace;
    halfSpace.AddPlane(Plane(Vec3(-1, 0, 0), 1));
    Coords turned = Coords::RotationZ(0.25f * Pi);
    turned.origin = Vec3(1.6f, 0, 0);
    EXPECT_TRUE(TestIntersection(OBBox(Vec3(0.5f, 0.5f, 0.5f), turned), halfSpace));  // corner reaches 0.89
    turned.origin = Vec3(1.8f, 0, 0);
    EXPECT_FALSE(TestIntersection(OBBox(Vec3(0.5f, 0.5f, 0.5f), turned), halfSpace));
}

TEST(IntersectionTests, OrientedBoxMatchesCarryingTheFrustumIntoBoxSpace) {
    Frustum f;
    const float s = std::sqrt(0.5f);
    f.AddPlane(Plane(Vec3(s, 0, s), 0));
    f.AddPlane(Plane(Vec3(-s, 0, s), 0));
    f.AddPlane(Plane(Vec3(0, s, s), 0));
    f.AddPlane(Plane(Vec3(0, -s, s), 0));
    f.AddPlane(Plane(Vec3(0, 0, -1), 10));
    for (int i = 0; i < 40; ++i) {
        Coords frame = Coords::Rotation(Vec3(float(i % 3), 1, float(i % 5)).Unit(), 0.37f * float(i));
        frame.origin = Vec3(float(i % 7) * 1.9f - 6, float(i % 4) - 1.5f, float(i % 9) * 1.6f - 2);
        const OBBox box(Vec3(0.4f + 0.1f * float(i % 3), 0.7f, 1.1f), frame);
        Frustum inBoxSpace = f;
        inBoxSpace.Transform(frame.Inverse());
        EXPECT_EQ(TestIntersection(box, f), inBoxSpace.TestABBox(ABBox(Vec3(), box.halfSize))) << "box " << i;
        // And moving both together changes nothing.
        Frustum movedFrustum = f;
        movedFrustum.Transform(test::FrameA());
        OBBox movedBox = box;
        movedBox.Transform(test::FrameA());
        EXPECT_EQ(TestIntersection(movedBox, movedFrustum), TestIntersection(box, f)) << "box " << i;
    }
}

TEST(IntersectionTests, RayAgainstTriangle) {
    const Vec3 a(0, 0, 5), b(2, 0, 5), c(0, 2, 5);
    EXPECT_FLOAT_EQ(IntersectRayTriangle(Ray(Vec3(0.5f, 0.5f, 0), Vec3(0, 0, 1)), a, b, c), 5.0f);
    EXPECT_FLOAT_EQ(IntersectRayTriangle(Ray(Vec3(0.5f, 0.5f, 0), Vec3(0, 0, 2)), a, b, c), 2.5f);
    EXPECT_FLOAT_EQ(IntersectRayTriangle(Ray(Vec3(0.5f, 0.5f, 9), Vec3(0, 0, -1)), a, b, c), 4.0f);  // back side
    EXPECT_FLOAT_EQ(IntersectRayTriangle(Ray(Vec3(1, 1, 0), Vec3(0, 0, 1)), a, b, c), 5.0f);  // on the long edge
    EXPECT_FLOAT_EQ(IntersectRayTriangle(Ray(Vec3(0, 0, 0), Vec3(0, 0, 1)), a, b, c), 5.0f);  // at a corner
    EXPECT_EQ(IntersectRayTriangle(Ray(Vec3(1.1f, 1.1f, 0), Vec3(0, 0, 1)), a, b, c), Infinity);
    EXPECT_EQ(IntersectRayTriangle(Ray(Vec3(0.5f, 0.5f, 0), Vec3(0, 0, -1)), a, b, c), Infinity);  // behind
    EXPECT_EQ(IntersectRayTriangle(Ray(Vec3(0.5f, 0.5f, 5), Vec3(1, 0, 0)), a, b, c), Infinity);   // in its plane
    EXPECT_EQ(IntersectRayTriangle(Ray(Vec3(0.5f, 0.5f, 0), Vec3(1, 0, 0)), a, b, c), Infinity);   // parallel
    EXPECT_EQ(IntersectRayTriangle(Ray(Vec3(0.5f, 0.5f, 0), Vec3(0, 0, 1)), a, b, b * 2.0f - a), Infinity);  // flat
    EXPECT_EQ(IntersectRayTriangle(Ray(Vec3(0.5f, 0.5f, 0), Vec3()), a, b, c), Infinity);
}

TEST(IntersectionTests, RayAgainstTriangleWritesTheHitPointOnlyOnAHit) {
    const Vec3 a(1, -1, -1), b(1, 1, -1), c(1, 0, 2);
    Vec3 hit(7, 7, 7);
    const float t = IntersectRayTriangle(Vec3(-3, 0.1f, 0.2f), Vec3(2, 0, 0), a, b, c, hit);
    EXPECT_FLOAT_EQ(t, 2.0f);
    ExpectNear(hit, Vec3(1, 0.1f, 0.2f));
    Vec3 untouched(7, 7, 7);
    EXPECT_EQ(IntersectRayTriangle(Vec3(-3, 5, 0), Vec3(1, 0, 0), a, b, c, untouched), Infinity);
    EXPECT_EQ(untouched, Vec3(7, 7, 7));
}

}  // namespace
}  // namespace GAME
