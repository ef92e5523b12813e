#include "core/Plane.h"

#include "core/MathUtil.h"
#include "core/Sphere.h"
#include "MathExpect.h"

#include <gtest/gtest.h>

namespace GAME {
namespace {

using test::ExpectNear;

TEST(Plane, ThroughThreePoints) {
    const Plane p(Vec3(0, 2, 0), Vec3(0, 2, 1), Vec3(1, 2, 0));  // (b - a) x (c - a) = (0, 0, 1) x (1, 0, 0)
    ExpectNear(p.normal, Vec3(0, 1, 0));
    EXPECT_FLOAT_EQ(p.d, -2.0f);
    EXPECT_FLOAT_EQ(p.GetDistance(Vec3(5, 7, -3)), 5.0f);
    EXPECT_FLOAT_EQ(p.DotNormal(Vec3(5, 7, -3)), 7.0f);
    const Plane degenerate(Vec3(1, 1, 1), Vec3(2, 2, 2), Vec3(3, 3, 3));
    EXPECT_EQ(degenerate.normal, Vec3());
}

TEST(Plane, RayDistanceEdgeCases) {
    const Plane floor(Vec3(0, 1, 0), 0.0f);
    EXPECT_FLOAT_EQ(floor.GetRayDistance(Ray(Vec3(3, 4, 5), Vec3(0, -1, 0))), 4.0f);
    EXPECT_FLOAT_EQ(floor.GetRayDistance(Ray(Vec3(3, 4, 5), Vec3(0, -2, 0))), 2.0f);  // in direction units
    EXPECT_FLOAT_EQ(floor.GetRayDistance(Ray(Vec3(0, -4, 0), Vec3(0, 1, 0))), 4.0f);   // from below
    EXPECT_EQ(floor.GetRayDistance(Ray(Vec3(3, 4, 5), Vec3(0, 1, 0))), Infinity);      // behind
    EXPECT_EQ(floor.GetRayDistance(Ray(Vec3(3, 4, 5), Vec3(1, 0, 0))), Infinity);      // parallel
    EXPECT_EQ(floor.GetRayDistance(Ray(Vec3(3, 0, 5), Vec3(1, 0, 0))), Infinity);      // parallel, in the plane
    EXPECT_EQ(floor.GetRayDistance(Ray(Vec3(3, 0, 5), Vec3(0, 1, 0))), 0.0f);          // starting on it
}

TEST(Sphere, RayDistanceEdgeCases) {
    const Sphere s(Vec3(10, 0, 0), 2.0f);
    EXPECT_FLOAT_EQ(s.GetIntersection(Ray(Vec3(), Vec3(1, 0, 0))), 8.0f);
    EXPECT_FLOAT_EQ(s.GetIntersection(Ray(Vec3(), Vec3(4, 0, 0))), 2.0f);  // in direction units
    EXPECT_EQ(s.GetIntersection(Ray(Vec3(10, 1, 0), Vec3(1, 0, 0))), 0.0f);  // inside
    EXPECT_EQ(s.GetIntersection(Ray(Vec3(12, 0, 0), Vec3(1, 0, 0))), 0.0f);  // on the surface
    EXPECT_EQ(s.GetIntersection(Ray(Vec3(), Vec3(-1, 0, 0))), Infinity);     // behind
    EXPECT_EQ(s.GetIntersection(Ray(Vec3(), Vec3(0, 1, 0))), Infinity);      // beside
    EXPECT_EQ(s.GetIntersection(Ray(Vec3(0, 2.5f, 0), Vec3(1, 0, 0))), Infinity);  // just over the top
    EXPECT_EQ(s.GetIntersection(Ray(Vec3(), Vec3())), Infinity);             // no direction
    // Grazing the top: the tangent point.
    EXPECT_FLOAT_EQ(s.GetIntersection(Ray(Vec3(0, 2, 0), Vec3(1, 0, 0))), 10.0f);
}

}  // namespace
}  // namespace GAME
