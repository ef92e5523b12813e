#include "core/ABBox.h"

#include "core/Coords.h"
#include "core/MathUtil.h"
#include "core/OBBox.h"
#include "MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace GAME {
namespace {

using test::ExpectNear;

// The unit box around (10, 0, 0): faces at x = 9 and 11, y and z = ±1.
const ABBox kBox(Vec3(10, 0, 0), Vec3(1, 1, 1));

TEST(ABBox, SlabTestHitsAndMisses) {
    EXPECT_FLOAT_EQ(kBox.GetIntersection(Ray(Vec3(), Vec3(1, 0, 0))), 9.0f);
    EXPECT_FLOAT_EQ(kBox.GetIntersection(Ray(Vec3(), Vec3(2, 0, 0))), 4.5f);  // in direction units
    EXPECT_FLOAT_EQ(kBox.GetIntersection(Ray(Vec3(20, 0.5f, -0.5f), Vec3(-1, 0, 0))), 9.0f);
    EXPECT_FLOAT_EQ(kBox.GetIntersection(Ray(Vec3(10, 5, 0), Vec3(0, -1, 0))), 4.0f);
    EXPECT_NEAR(kBox.GetIntersection(Ray(Vec3(0, 0, 0), Vec3(10, 0.5f, 0.5f).Unit())), std::sqrt(81.0f + 2 * 0.2025f), 1e-4f);
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(), Vec3(-1, 0, 0))), Infinity);  // behind
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(), Vec3(1, 1, 0))), Infinity);   // passes beside
}

TEST(ABBox, SlabTestFromInsideIsZero) {
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(10, 0, 0), Vec3(0, 0, 1))), 0.0f);
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(10.5f, 0.5f, 0.5f), Vec3(-1, 2, 3))), 0.0f);
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(10, 0, 0), Vec3())), 0.0f);  // no direction, inside
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(9, 0, 0), Vec3(-1, 0, 0))), 0.0f);  // on a face, leaving
}

TEST(ABBox, SlabTestParallelRaysGiveNoNaN) {
    // Parallel to x inside the y and z slabs: hit.
    EXPECT_FLOAT_EQ(kBox.GetIntersection(Ray(Vec3(0, 0.5f, 0.5f), Vec3(1, 0, 0))), 9.0f);
    // Parallel to x outside the y slab: miss, whichever sign the zero components carry.
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(0, 1.5f, 0), Vec3(1, 0, 0))), Infinity);
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(0, 1.5f, 0), Vec3(1, -0.0f, -0.0f))), Infinity);
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(0, -1.5f, 0), Vec3(1, -0.0f, 0.0f))), Infinity);
    // Running exactly along a face plane (origin - face = 0 with a zero direction component, the
    // 0 * inf case of a naive slab test): touching counts, and the answer is a number.
    EXPECT_FLOAT_EQ(kBox.GetIntersection(Ray(Vec3(0, 1, 0), Vec3(1, 0, 0))), 9.0f);
    EXPECT_FLOAT_EQ(kBox.GetIntersection(Ray(Vec3(0, -1, 0), Vec3(1, -0.0f, 0))), 9.0f);
    EXPECT_FLOAT_EQ(kBox.GetIntersection(Ray(Vec3(0, 1, 1), Vec3(1, 0, 0))), 9.0f);  // along an edge
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(0, 0, 0), Vec3())), Infinity);  // no direction, outside
}

TEST(ABBox, SlabTestGrazingCornersAndEdges) {
    // Aimed exactly at the corner (9, 1, 1).
    EXPECT_NEAR(kBox.GetIntersection(Ray(Vec3(0, 0, 0), Vec3(9, 1, 1))), 1.0f, 1e-6f);
    // Passing the corner just outside.
    EXPECT_EQ(kBox.GetIntersection(Ray(Vec3(0, 0, 0), Vec3(9, 1.01f, 1.01f))), Infinity);
}

TEST(ABBox, CornersAreNumberedByBits) {
    Vec3 corners[8];
    ABBox(Vec3(1, 2, 3), Vec3(0.5f, 1, 2)).GetCorners(corners);
    for (const auto& [i, corner] :
         {std::pair{0, Vec3(0.5f, 1, 1)}, std::pair{1, Vec3(1.5f, 1, 1)}, std::pair{2, Vec3(0.5f, 3, 1)},
          std::pair{4, Vec3(0.5f, 1, 5)}, std::pair{7, Vec3(1.5f, 3, 5)}})
        EXPECT_EQ(corners[i], corner) << i;
}

TEST(ABBox, UnionTranslateAndBounds) {
    const ABBox a(Vec3(0, 0, 0), Vec3(1, 1, 1));
    const ABBox b(Vec3(5, -1, 0), Vec3(1, 3, 0.5f));
    const ABBox u = ABBox::Union(a, b);
    EXPECT_EQ(u.GetMin(), Vec3(-1, -4, -1));
    EXPECT_EQ(u.GetMax(), Vec3(6, 2, 1));
    EXPECT_EQ(ABBox::Union(a, a), a);
    ABBox moved = a;
    moved.Translate(Vec3(1, 2, 3));
    EXPECT_EQ(moved, ABBox(Vec3(1, 2, 3), Vec3(1, 1, 1)));
}

TEST(ABBox, EnclosesAnOrientedBoxTightly) {
    const OBBox box(Vec3(2, 1, 0.5f), test::FrameA());  // turned about an axis along no world axis
    const ABBox bounds(box);
    EXPECT_EQ(bounds.centre, box.coords.origin);
    // The corners of the oriented box reach the bounds on every axis, and none goes past them.
    Vec3 corners[8];
    box.GetCorners(corners);
    Vec3 reach;
    for (const Vec3& corner : corners) {
        const Vec3 offset = corner - bounds.centre;
        reach = Max(reach, Vec3(std::fabs(offset.x), std::fabs(offset.y), std::fabs(offset.z)));
    }
    ExpectNear(reach, bounds.halfSize);
}

TEST(ABBox, TransformCarriesTheCentreAndTakesTheAxes) {
    Coords frame = Coords::RotationZ(0.3f);
    frame.origin = Vec3(5, 0, 0);
    const OBBox box = ABBox::Transform(frame, ABBox(Vec3(1, 0, 0), Vec3(1, 2, 3)));
    EXPECT_EQ(box.halfSize, Vec3(1, 2, 3));
    EXPECT_EQ(box.coords.xAxis, frame.xAxis);
    EXPECT_EQ(box.coords.zAxis, frame.zAxis);
    ExpectNear(box.coords.origin, frame.TransformPoint(Vec3(1, 0, 0)));
}

TEST(OBBox, FromABBoxCornersAndTransform) {
    const ABBox aligned(Vec3(1, 2, 3), Vec3(0.5f, 1, 2));
    const OBBox box(aligned);
    EXPECT_EQ(box.coords, Coords::Translation(Vec3(1, 2, 3)));
    Vec3 expected[8];
    Vec3 corners[8];
    aligned.GetCorners(expected);
    box.GetCorners(corners);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(corners[i], expected[i]) << "corner " << i;
    }

    OBBox moved = box;
    const Coords frame = test::FrameA();
    moved.Transform(frame);
    moved.GetCorners(corners);
    for (int i = 0; i < 8; ++i) {
        ExpectNear(corners[i], frame.TransformPoint(expected[i]));
    }
}

TEST(OBBox, SlabTestInBoxSpace) {
    Coords frame = Coords::RotationY(0.25f * Pi);
    frame.origin = Vec3(10, 0, 0);
    const OBBox box(Vec3(1, 1, 1), frame);
    // Along x the box shows its edge at 10 - sqrt(2).
    EXPECT_NEAR(box.GetIntersection(Ray(Vec3(), Vec3(1, 0, 0))), 10.0f - std::sqrt(2.0f), 1e-5f);
    EXPECT_NEAR(box.GetIntersection(Ray(Vec3(), Vec3(3, 0, 0))), (10.0f - std::sqrt(2.0f)) / 3.0f, 1e-5f);
    // An unrotated box would be hit near its corner; the rotated one is missed there.
    EXPECT_EQ(box.GetIntersection(Ray(Vec3(10.9f, -5, 0.9f), Vec3(0, 1, 0))), Infinity);
    EXPECT_NEAR(box.GetIntersection(Ray(Vec3(10.2f, -5, 0.2f), Vec3(0, 1, 0))), 4.0f, 1e-5f);
    EXPECT_EQ(box.GetIntersection(Ray(Vec3(10, 0.5f, 0), Vec3(0, 0, 1))), 0.0f);
    EXPECT_EQ(box.GetIntersection(Ray(Vec3(), Vec3(-1, 0, 0))), Infinity);
}

}  // namespace
}  // namespace GAME
