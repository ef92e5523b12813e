#include "core/IntersectionTests.h"

#include "core/Coords.h"
#include "core/MathUtil.h"
#include "MathExpect.h"
#include "support/ConvexDistance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

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
    EXPECT_TRUE(TestIntersection(OBBox(Vec3(0.5f, 0.5f, 0.5f), Coords::Translation(Vec3(1.5f, 0, 0))), halfSpace))
        << "a face on the plane touches it";
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

TEST(IntersectionTests, BoxesApartOnlyAcrossTheirEdges) {
    // Two unit cubes turned 45 degrees, one about z and one about x, with the first one's edge
    // along z facing the second one's edge along x: their face normals all overlap, and only the
    // product of the two edges (the y axis) separates them. Each edge sticks out sqrt(2).
    const float reach = std::sqrt(2.0f);
    const OBBox a(Vec3(1, 1, 1), Coords::RotationZ(0.25f * Pi));
    Coords turned = Coords::RotationX(0.25f * Pi);
    turned.origin = Vec3(0, 2 * reach * 1.01f, 0);
    EXPECT_FALSE(TestIntersection(a, OBBox(Vec3(1, 1, 1), turned)));
    turned.origin = Vec3(0, 2 * reach * 0.99f, 0);
    EXPECT_TRUE(TestIntersection(a, OBBox(Vec3(1, 1, 1), turned)));

    // An axis-aligned box against a box turned 45 degrees beyond its corner edge: the bounds of the
    // turned box overlap the box, the turned box itself does not.
    const ABBox aligned(Vec3(), Vec3(1, 1, 1));
    Coords diamond = Coords::RotationZ(0.25f * Pi);
    diamond.origin = Vec3(1.8f, 1.8f, 0);
    EXPECT_TRUE(TestIntersection(aligned, ABBox(OBBox(Vec3(1, 1, 1), diamond))));
    EXPECT_FALSE(TestIntersection(aligned, OBBox(Vec3(1, 1, 1), diamond)));
    const float touching = 1 + 1 / reach;  // the diamond's face on the box's corner edge
    diamond.origin = Vec3(touching, touching, 0);
    EXPECT_TRUE(TestIntersection(aligned, OBBox(Vec3(1, 1, 1), diamond)));
    // Parallel boxes (zero edge products) side by side and one inside the other.
    EXPECT_TRUE(TestIntersection(aligned, OBBox(Vec3(1, 1, 1), Coords::Translation(Vec3(2, 0, 0)))));
    EXPECT_FALSE(TestIntersection(aligned, OBBox(Vec3(1, 1, 1), Coords::Translation(Vec3(2.001f, 0, 0)))));
    EXPECT_TRUE(TestIntersection(aligned, OBBox(Vec3(0.1f, 0.1f, 0.1f), Coords::Translation(Vec3()))));
}

TEST(IntersectionTests, BoxOverlapAgreesWithTheDistanceOfRandomBoxes) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    auto randomBox = [&](bool aligned) {
        Coords frame = aligned ? Coords::Identity
                               : Coords::Rotation(Vec3(unit(random), unit(random), unit(random)).Unit(), 3.0f * unit(random));
        frame.origin = Vec3(unit(random), unit(random), unit(random)) * 2.5f;
        const Vec3 halfSize(0.85f + 0.65f * unit(random), 0.85f + 0.65f * unit(random), 0.85f + 0.65f * unit(random));
        return OBBox(halfSize, frame);
    };
    int overlapping = 0, apart = 0;
    for (int i = 0; i < 1500; ++i) {
        const OBBox a = randomBox(i % 2 == 0);
        const OBBox b = randomBox(false);
        const float distance = test::DistanceBetween(a, b);
        if (distance > 1e-4f && distance < 2e-2f) continue;  // too close to call by projections
        const bool expected = distance <= 1e-4f;
        (expected ? overlapping : apart) += 1;
        EXPECT_EQ(TestIntersection(a, b), expected) << "case " << i << ", distance " << distance;
        EXPECT_EQ(TestIntersection(b, a), expected) << "case " << i;
        if (a.coords.xAxis == Vec3(1, 0, 0)) {
            EXPECT_EQ(TestIntersection(ABBox(a.coords.origin, a.halfSize), b), expected) << "case " << i;
        }
    }
    EXPECT_GT(overlapping, 300);
    EXPECT_GT(apart, 300);
}

// A frustum at the origin looking along +z: half angle 0.5 radians on both image axes, from 1 to 10.
Frustum ViewFrustum() {
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    Frustum f;
    f.AddPlane(Plane(Vec3(0, 0, 1), -1));
    f.AddPlane(Plane(Vec3(0, 0, -1), 10));
    f.AddPlane(Plane(Vec3(c, 0, s), 0));
    f.AddPlane(Plane(Vec3(-c, 0, s), 0));
    f.AddPlane(Plane(Vec3(0, c, s), 0));
    f.AddPlane(Plane(Vec3(0, -c, s), 0));
    return f;
}

// The largest gap between the projections of a bounded frustum (its corner points) and a box over
// the candidate separating axes: the box's axes, the planes' normals, and each box axis crossed
// with each line where two planes meet. Negative when no axis separates them.
float LargestGap(const Frustum& frustum, const OBBox& box) {
    Vec3 corners[64];
    const int numCorners = Frustum::GetCornerPoints(corners, 64, frustum);
    const Vec3 boxAxes[3] = {box.coords.xAxis, box.coords.yAxis, box.coords.zAxis};
    std::vector<Vec3> axes(boxAxes, boxAxes + 3);
    for (uint32_t i = 0; i < frustum.GetNumPlanes(); ++i) {
        axes.push_back(frustum.GetPlane(i).normal);
        for (uint32_t j = i + 1; j < frustum.GetNumPlanes(); ++j) {
            const Vec3 edge = Cross(frustum.GetPlane(i).normal, frustum.GetPlane(j).normal);
            for (const Vec3& boxAxis : boxAxes) axes.push_back(Cross(boxAxis, edge));
        }
    }
    float largest = -Infinity;
    for (const Vec3& candidate : axes) {
        if (candidate.LengthSquared() < 1e-8f) continue;
        const Vec3 axis = candidate.Unit();
        float low = Infinity, high = -Infinity;
        for (int k = 0; k < numCorners; ++k) {
            low = std::min(low, Dot(axis, corners[k]));
            high = std::max(high, Dot(axis, corners[k]));
        }
        const float centre = Dot(axis, box.coords.origin);
        const float reach = std::fabs(Dot(axis, boxAxes[0])) * box.halfSize.x +
                            std::fabs(Dot(axis, boxAxes[1])) * box.halfSize.y +
                            std::fabs(Dot(axis, boxAxes[2])) * box.halfSize.z;
        largest = std::max({largest, low - (centre + reach), (centre - reach) - high});
    }
    return largest;
}

TEST(IntersectionTests, ExactFrustumTestsAgreeWithSeparatingAxes) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    Frustum frustum = ViewFrustum();
    frustum.Transform(test::FrameA());
    int overlapping = 0, apart = 0, cornerCases = 0;
    for (int i = 0; i < 3000; ++i) {
        Coords frame =
            i % 2 ? Coords::Rotation(Vec3(unit(random), unit(random), unit(random)).Unit(), 3.0f * unit(random))
                  : Coords::Identity;
        frame.origin = Vec3(unit(random) * 9, unit(random) * 9, 5 + unit(random) * 8);
        frame = test::FrameA() * frame;
        const Vec3 half(1.2f + unit(random), 1.2f + unit(random), 1.2f + unit(random));
        const OBBox box(half, frame);
        const float gap = LargestGap(frustum, box);
        if (std::fabs(gap) < 0.01f) continue;
        const bool expected = gap < 0.0f;
        (expected ? overlapping : apart) += 1;
        EXPECT_EQ(TestIntersection(frustum, box), expected) << "case " << i << ", gap " << gap;
        if (!expected && TestIntersection(box, frustum)) ++cornerCases;
        if (i % 2 == 0) {
            // Axis-aligned in the frustum's frame: the same answer for the box carried back.
            Frustum local = ViewFrustum();
            const Coords inFrustum = test::FrameA().Inverse() * frame;
            EXPECT_EQ(TestIntersection(local, ABBox(inFrustum.origin, half)), expected) << "case " << i;
        }
    }
    EXPECT_GT(overlapping, 300);
    EXPECT_GT(apart, 300);
    EXPECT_GT(cornerCases, 20);  // boxes that the plane test lets through
}

TEST(IntersectionTests, ExactFrustumTestEdgeCases) {
    const Frustum frustum = ViewFrustum();
    // Beyond the edge where a side plane meets the far plane: in front of each plane alone.
    const ABBox beyondCorner(Vec3(7.0f, 0, 10.9f), Vec3(1, 1, 1));
    EXPECT_TRUE(TestIntersection(beyondCorner, frustum));
    EXPECT_FALSE(TestIntersection(frustum, beyondCorner));
    // A box around the whole frustum, and one inside it.
    EXPECT_TRUE(TestIntersection(frustum, ABBox(Vec3(0, 0, 5), Vec3(20, 20, 20))));
    EXPECT_TRUE(TestIntersection(frustum, ABBox(Vec3(0, 0, 5), Vec3(0.1f, 0.1f, 0.1f))));
    // Touching the far plane.
    EXPECT_TRUE(TestIntersection(frustum, ABBox(Vec3(0, 0, 11), Vec3(1, 1, 1))));
    EXPECT_FALSE(TestIntersection(frustum, ABBox(Vec3(0, 0, 11.1f), Vec3(1, 1, 1))));
    // No planes: nothing.
    EXPECT_FALSE(TestIntersection(Frustum(), ABBox(Vec3(), Vec3(1, 1, 1))));
    EXPECT_FALSE(TestIntersection(Frustum(), OBBox(Vec3(1, 1, 1), Coords::Identity)));
    // One plane: an unbounded half space, met by everything in front of it.
    Frustum halfSpace;
    halfSpace.AddPlane(Plane(Vec3(1, 0, 0), 0));
    EXPECT_TRUE(TestIntersection(halfSpace, ABBox(Vec3(50, 3, -7), Vec3(1, 1, 1))));
    EXPECT_FALSE(TestIntersection(halfSpace, ABBox(Vec3(-2, 0, 0), Vec3(1, 1, 1))));
}

TEST(IntersectionTests, ExactFrustumTestFindsAThinFrustumThroughAnyPartOfAnyFace) {
    // A pencil along each axis near each corner of the box, from outside to 0.5 deep: only the
    // face it pierces can tell that it meets the box.
    const ABBox box(Vec3(), Vec3(1, 1, 1));
    for (int corner = 0; corner < 8; ++corner) {
        for (int axis = 0; axis < 3; ++axis) {
            // Made on the low side of the axis and mirrored to the high side, so that its first corner
            // is its outer end whichever side it is on, as the test of a frustum inside the box reads it.
            float centre[3], half[3];
            for (int i = 0; i < 3; ++i) {
                centre[i] = i == axis ? -1.75f : ((corner >> i & 1) ? 0.8f : -0.8f);
                half[i] = i == axis ? 1.25f : 0.05f;
            }
            Frustum pencil =
                Frustum::FromBox(ABBox(Vec3(centre[0], centre[1], centre[2]), Vec3(half[0], half[1], half[2])));
            Coords mirror;
            Vec3* axes[3] = {&mirror.xAxis, &mirror.yAxis, &mirror.zAxis};
            if (corner >> axis & 1) *axes[axis] = -*axes[axis];
            pencil.Transform(mirror);
            EXPECT_TRUE(TestIntersection(pencil, box)) << "corner " << corner << ", axis " << axis;
        }
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
