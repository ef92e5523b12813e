#include "core/Frustum.h"

#include "core/Coords.h"
#include "core/IntersectionTests.h"
#include "core/MathUtil.h"
#include "MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace GAME {
namespace {

using test::ExpectNear;

// The cube [-1, 1]³ as six inward-facing planes.
Frustum BoxFrustum() {
    Frustum f;
    for (const Vec3& normal :
         {Vec3(1, 0, 0), Vec3(-1, 0, 0), Vec3(0, 1, 0), Vec3(0, -1, 0), Vec3(0, 0, 1), Vec3(0, 0, -1)})
        f.AddPlane(Plane(normal, 1));
    return f;
}

// A 90-degree view from the origin along +z, from z = 1 to z = 10 (or without a near plane).
Frustum ViewFrustum(bool withNear = true) {
    const float s = std::sqrt(0.5f);
    Frustum f;
    f.AddPlane(Plane(Vec3(s, 0, s), 0));
    f.AddPlane(Plane(Vec3(-s, 0, s), 0));
    f.AddPlane(Plane(Vec3(0, s, s), 0));
    f.AddPlane(Plane(Vec3(0, -s, s), 0));
    f.AddPlane(Plane(Vec3(0, 0, -1), 10));
    if (withNear) {
        f.AddPlane(Plane(Vec3(0, 0, 1), -1));
    }
    return f;
}

// How far a sphere's surface reaches inside the nearest plane; tests skip spheres so close to a
// plane that rounding could decide them.
float Margin(const Frustum& f, const Sphere& s) {
    float margin = Infinity;
    for (uint32_t i = 0; i < f.GetNumPlanes(); ++i) {
        margin = Min(margin, f.GetPlane(i).GetDistance(s.centre) + s.radius);
    }
    return margin;
}

std::vector<Sphere> SampleSpheres() {
    std::vector<Sphere> spheres;
    for (int x = -6; x <= 6; x += 2) {
        for (int y = -5; y <= 5; y += 2) {
            for (int z = -3; z <= 13; z += 2) {
                spheres.push_back(Sphere(Vec3(float(x) * 1.07f, float(y) * 0.93f, float(z) * 1.01f), 0.3f + 0.1f * float((x + y + z) & 3)));
            }
        }
    }
    return spheres;
}

TEST(Frustum, WithoutPlanesNothingIsInside) {
    const Frustum empty;
    EXPECT_EQ(empty.GetNumPlanes(), 0u);
    EXPECT_FALSE(empty.TestSphere(Sphere(Vec3(), 100.0f)));
    EXPECT_FALSE(empty.TestSphere(Sphere(Vec3(), 1.0f), 1000.0f));
    EXPECT_FALSE(empty.TestABBox(ABBox(Vec3(), Vec3(100, 100, 100))));
    EXPECT_FALSE(TestIntersection(OBBox(Vec3(1, 1, 1), Coords()), empty));
    Vec3 points[8];
    EXPECT_EQ(Frustum::GetCornerPoints(points, 8, empty), 0);
}

TEST(Frustum, FromBoxGivesTheSixFacesInOrder) {
    const Frustum f = Frustum::FromBox(ABBox(Vec3(1, 2, 3), Vec3(4, 5, 6)));  // from (-3, -3, -3) to (5, 7, 9)
    const Plane faces[] = {{Vec3(1, 0, 0), 3},  {Vec3(-1, 0, 0), 5}, {Vec3(0, 1, 0), 3},
                           {Vec3(0, -1, 0), 7}, {Vec3(0, 0, 1), 3},  {Vec3(0, 0, -1), 9}};
    ASSERT_EQ(f.GetNumPlanes(), 6u);
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(f.GetPlane(i).normal, faces[i].normal) << "plane " << i;
        EXPECT_EQ(f.GetPlane(i).d, faces[i].d) << "plane " << i;
    }
}

TEST(Frustum, HoldsAtMost64PlanesInOrder) {
    Frustum f;
    for (int i = 0; i < 64; ++i) {
        ASSERT_TRUE(f.AddPlane(Plane(Vec3(0, 1, 0), float(i))));
    }
    EXPECT_FALSE(f.AddPlane(Plane(Vec3(1, 0, 0), -1.0f)));
    EXPECT_EQ(f.GetNumPlanes(), 64u);
    for (uint32_t i = 0; i < 64; ++i) {
        EXPECT_EQ(f.GetPlane(i).d, float(i));
    }
}

TEST(Frustum, SphereTestWithAnExtraDistance) {
    const Frustum f = BoxFrustum();
    EXPECT_TRUE(f.TestSphere(Sphere(Vec3(0, 0, 0), 0.1f)));
    EXPECT_TRUE(f.TestSphere(Sphere(Vec3(1.5f, 0, 0), 0.5f)));  // touching the x = 1 face
    EXPECT_FALSE(f.TestSphere(Sphere(Vec3(3, 0, 0), 0.5f)));    // its surface 1.5 beyond it
    EXPECT_TRUE(f.TestSphere(Sphere(Vec3(3, 0, 0), 0.5f), 1.5f));
    EXPECT_FALSE(f.TestSphere(Sphere(Vec3(3, 0, 0), 0.5f), 1.4f));
    EXPECT_TRUE(TestIntersection(Sphere(Vec3(0, -1.2f, 0), 0.3f), f));
}

TEST(Frustum, ExpandPushesEveryPlaneOutInACopy) {
    const Frustum f = BoxFrustum();
    const Frustum grown = f.Expand(2.0f);
    EXPECT_FALSE(f.TestSphere(Sphere(Vec3(3, 0, 0), 0.5f)));
    EXPECT_TRUE(grown.TestSphere(Sphere(Vec3(3, 0, 0), 0.5f)));
    EXPECT_FALSE(grown.TestSphere(Sphere(Vec3(0, 0, -3.6f), 0.5f)));
    ASSERT_EQ(grown.GetNumPlanes(), f.GetNumPlanes());
    for (uint32_t i = 0; i < f.GetNumPlanes(); ++i) {
        EXPECT_EQ(grown.GetPlane(i).normal, f.GetPlane(i).normal);
        EXPECT_EQ(grown.GetPlane(i).d, f.GetPlane(i).d + 2.0f);
    }
    // Expanding by the extra distance is the same as the sphere test's extra distance.
    for (const Sphere& s : SampleSpheres()) {
        if (std::fabs(Margin(f, s) + 0.75f) > 1e-3f) {
            EXPECT_EQ(f.Expand(0.75f).TestSphere(s), f.TestSphere(s, 0.75f));
        }
    }
}

TEST(Frustum, BoxPlaneTest) {
    const Frustum f = ViewFrustum();
    EXPECT_TRUE(f.TestABBox(ABBox(Vec3(0, 0, 5), Vec3(1, 1, 1))));     // inside
    EXPECT_TRUE(f.TestABBox(ABBox(Vec3(0, 0, 10.5f), Vec3(1, 1, 1))));  // straddling the far plane
    EXPECT_TRUE(f.TestABBox(ABBox(Vec3(0, 0, 11), Vec3(1, 1, 1))));     // touching it
    EXPECT_FALSE(f.TestABBox(ABBox(Vec3(0, 0, 11.5f), Vec3(1, 1, 1))));
    EXPECT_FALSE(f.TestABBox(ABBox(Vec3(-8, 0, 5), Vec3(1, 1, 1))));
    EXPECT_FALSE(f.TestABBox(ABBox(Vec3(0, 0, -3), Vec3(1, 1, 1))));    // behind the eye
    EXPECT_TRUE(TestIntersection(ABBox(Vec3(5.5f, 0, 5), Vec3(1, 1, 1)), f));
}

TEST(Frustum, TranslateMatchesMovingTheObjectTheOtherWay) {
    const Frustum f = ViewFrustum();
    const Vec3 offset(1.3f, -2.1f, 3.7f);
    Frustum moved = f;
    moved.Translate(offset);
    int inside = 0;
    for (const Sphere& s : SampleSpheres()) {
        const Sphere back(s.centre - offset, s.radius);
        if (std::fabs(Margin(f, back)) < 1e-3f) {
            continue;
        }
        EXPECT_EQ(moved.TestSphere(s), f.TestSphere(back));
        EXPECT_EQ(moved.TestABBox(ABBox(s.centre, Vec3(s.radius, 0.5f, 0.2f))),
                  f.TestABBox(ABBox(back.centre, Vec3(s.radius, 0.5f, 0.2f))));
        inside += f.TestSphere(back) ? 1 : 0;
    }
    EXPECT_GT(inside, 10);  // the sample is not all on one side
}

TEST(Frustum, TransformMatchesCarryingTheObjectBackThroughTheFrame) {
    const Frustum f = ViewFrustum();
    const Coords frame = test::FrameA();
    const Coords back = frame.Inverse();
    Frustum moved = f;
    moved.Transform(frame);
    int inside = 0;
    for (const Sphere& s : SampleSpheres()) {
        const Sphere carried(back.TransformPoint(s.centre), s.radius);
        if (std::fabs(Margin(f, carried)) < 1e-3f) {
            continue;
        }
        EXPECT_EQ(moved.TestSphere(s), f.TestSphere(carried));
        inside += f.TestSphere(carried) ? 1 : 0;
    }
    EXPECT_GT(inside, 10);
    // A point inside stays inside when both move.
    const Vec3 p(0.5f, -0.5f, 4);
    for (uint32_t i = 0; i < f.GetNumPlanes(); ++i) {
        EXPECT_NEAR(moved.GetPlane(i).GetDistance(frame.TransformPoint(p)), f.GetPlane(i).GetDistance(p), 1e-4f);
    }
}

TEST(Frustum, CornerPointsOfABoxShapedFrustum) {
    Vec3 points[16];
    ASSERT_EQ(Frustum::GetCornerPoints(points, 16, BoxFrustum()), 8);
    int seen = 0;
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(std::fabs(points[i].x), 1.0f, 1e-6f);
        EXPECT_NEAR(std::fabs(points[i].y), 1.0f, 1e-6f);
        EXPECT_NEAR(std::fabs(points[i].z), 1.0f, 1e-6f);
        seen |= 1 << ((points[i].x > 0 ? 1 : 0) | (points[i].y > 0 ? 2 : 0) | (points[i].z > 0 ? 4 : 0));
    }
    EXPECT_EQ(seen, 0xFF);  // all eight, once each
    EXPECT_EQ(Frustum::GetCornerPoints(points, 5, BoxFrustum()), 5);
    EXPECT_EQ(Frustum::GetCornerPoints(points, 0, BoxFrustum()), 0);
}

TEST(Frustum, CornerPointsOfViewFrusta) {
    Vec3 points[16];
    // With a near plane: four near and four far corners.
    ASSERT_EQ(Frustum::GetCornerPoints(points, 16, ViewFrustum(true)), 8);
    for (int i = 0; i < 8; ++i) {
        const float z = points[i].z;
        EXPECT_TRUE(std::fabs(z - 1) < 1e-5f || std::fabs(z - 10) < 1e-5f);
        EXPECT_NEAR(std::fabs(points[i].x), z, 1e-4f);
        EXPECT_NEAR(std::fabs(points[i].y), z, 1e-4f);
    }
    // Without one the four side planes meet at the eye, once per triple of them.
    const int count = Frustum::GetCornerPoints(points, 16, ViewFrustum(false));
    ASSERT_EQ(count, 8);
    int atEye = 0;
    for (int i = 0; i < count; ++i) {
        atEye += points[i].Length() < 1e-5f ? 1 : 0;
    }
    EXPECT_EQ(atEye, 4);
    // Transformed frusta give the transformed corners.
    Frustum moved = ViewFrustum(true);
    moved.Transform(test::FrameB());
    Vec3 movedPoints[16];
    ASSERT_EQ(Frustum::GetCornerPoints(movedPoints, 16, moved), 8);
    Frustum::GetCornerPoints(points, 16, ViewFrustum(true));
    for (int i = 0; i < 8; ++i) {
        ExpectNear(movedPoints[i], test::FrameB().TransformPoint(points[i]), 1e-4f);
    }
}

// How far inside the frustum the ray from point along direction gets at best: the largest, over
// t >= 0, of the smallest plane distance of point + t * direction (each plane's distance is linear
// in t, so the best t is 0, a crossing of two planes' distances, or as far as one can go).
float SweptDepth(const Frustum& f, const Vec3& point, const Vec3& direction) {
    std::vector<float> ts{0.0f, 1e4f};
    for (uint32_t i = 0; i < f.GetNumPlanes(); ++i) {
        for (uint32_t j = i + 1; j < f.GetNumPlanes(); ++j) {
            const Plane& a = f.GetPlane(i);
            const Plane& b = f.GetPlane(j);
            const float slope = Dot(a.normal - b.normal, direction);
            if (std::fabs(slope) < 1e-9f) continue;
            const float t = (b.GetDistance(point) - a.GetDistance(point)) / slope;
            if (t > 0.0f) ts.push_back(t);
        }
    }
    float best = -Infinity;
    for (const float t : ts) {
        float depth = Infinity;
        for (uint32_t i = 0; i < f.GetNumPlanes(); ++i) {
            depth = Min(depth, f.GetPlane(i).GetDistance(point + direction * t));
        }
        best = Max(best, depth);
    }
    return best;
}

TEST(Frustum, ExtrudeHoldsExactlyThePointsThatReachTheFrustumAlongTheDirection) {
    Frustum rotated = ViewFrustum(true);
    rotated.Transform(test::FrameB());
    const Vec3 directions[] = {Vec3(0, 0, 1), Vec3(0, 0, -1), Vec3(1, 0, 0), Vec3(0.3f, -0.8f, 0.52f).Unit(),
                               test::FrameB().TransformVector(Vec3(0.1f, 0.2f, 0.97f)).Unit()};
    // A box smaller than a unit, whose edges are shorter than 1, and one far out and large.
    const Frustum small = Frustum::FromBox(ABBox(Vec3(0.3f, -0.2f, 0.1f), Vec3(0.25f, 0.25f, 0.25f)));
    Frustum large = Frustum::FromBox(ABBox(Vec3(), Vec3(300, 200, 250)));
    large.Transform(Coords(test::FrameB().xAxis, test::FrameB().yAxis, test::FrameB().zAxis, Vec3(1000, 500, -800)));
    for (const Frustum& frustum : {ViewFrustum(true), rotated, BoxFrustum(), small, large}) {
        for (const Vec3& direction : directions) {
            Frustum extruded;
            Frustum::Extrude(extruded, frustum, direction);
            for (uint32_t i = 0; i < extruded.GetNumPlanes(); ++i) {
                EXPECT_LE(extruded.GetPlane(i).DotNormal(direction), 1e-5f) << "a kept or side plane faces along the sweep";
            }
            // A grid over the frustum's bounds, grown to twice their size each way.
            Vec3 corners[16];
            const int numCorners = Frustum::GetCornerPoints(corners, 16, frustum);
            Vec3 low = corners[0], high = corners[0];
            for (int c = 1; c < numCorners; ++c) {
                low = Min(low, corners[c]);
                high = Max(high, corners[c]);
            }
            const Vec3 centre = (low + high) * 0.5f;
            const Vec3 reach = (high - low) * 1.0f;
            int inside = 0;
            int checked = 0;
            for (int x = -6; x <= 6; ++x) {
                for (int y = -6; y <= 6; ++y) {
                    for (int z = -6; z <= 6; ++z) {
                        const Vec3 point = centre + Vec3(reach.x * float(x), reach.y * float(y), reach.z * float(z)) * (1.0f / 6.1f);
                        const float depth = SweptDepth(frustum, point, direction);  // follows the light
                        if (std::fabs(depth) < 0.02f) continue;  // too near a side for rounding to decide
                        ++checked;
                        inside += depth > 0.0f ? 1 : 0;
                        EXPECT_EQ(depth > 0.0f, extruded.TestSphere(Sphere(point, 0.0f)))
                            << "point " << point.x << ", " << point.y << ", " << point.z;
                    }
                }
            }
            EXPECT_GT(inside, 100);
            EXPECT_GT(checked - inside, 100);
        }
    }
}

TEST(Frustum, ExtrudeOfAnUnboundedFrustumKeepsItsFacingAwayPlanes) {
    Frustum extruded;
    Frustum::Extrude(extruded, ViewFrustum(false), Vec3(0, 0, 1));
    ASSERT_GE(extruded.GetNumPlanes(), 1u);
    EXPECT_TRUE(extruded.TestSphere(Sphere(Vec3(0, 0, -500), 0.0f)));  // upstream of the eye: it can cast
    Frustum::Extrude(extruded, Frustum(), Vec3(0, 0, 1));
    EXPECT_EQ(extruded.GetNumPlanes(), 0u);
}

}  // namespace
}  // namespace GAME
