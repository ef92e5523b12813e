// TriangulationData: which faces are kept (left of the directed segments), toggling, snapping,
// crossing segments and concurrent use.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "pathing/TriangulationData.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using Point = TriangulationData::Point;

Point P(float x, float z, float height = 0.0f) { return Point{x, z, height, Vec3(0.0f, 1.0f, 0.0f)}; }

// Adds the closed loop through the points in the given order.
void AddLoop(TriangulationData& data, const std::vector<Point>& loop) {
    for (size_t i = 0; i < loop.size(); ++i) data.AddSegment(loop[i], loop[(i + 1) % loop.size()]);
}

std::vector<Point> Square(float x0, float z0, float x1, float z1, bool counterClockwise) {
    std::vector<Point> loop = {P(x0, z0), P(x1, z0), P(x1, z1), P(x0, z1)};
    if (!counterClockwise) std::swap(loop[1], loop[3]);
    return loop;
}

float SignedArea(const TriangulationData& data, const TriangulationData::Triangle& t) {
    const Point& a = data.GetPoint(t.index[0]);
    const Point& b = data.GetPoint(t.index[1]);
    const Point& c = data.GetPoint(t.index[2]);
    return 0.5f * ((b.x - a.x) * (c.z - a.z) - (b.z - a.z) * (c.x - a.x));
}

// The kept area; every triangle must be counter-clockwise.
float KeptArea(const TriangulationData& data) {
    float area = 0.0f;
    for (const TriangulationData::Triangle& t : data.GetTriangles()) {
        const float a = SignedArea(data, t);
        EXPECT_GT(a, 0.0f);
        area += a;
    }
    return area;
}

bool AnyCentroidInside(const TriangulationData& data, float x0, float z0, float x1, float z1) {
    for (const TriangulationData::Triangle& t : data.GetTriangles()) {
        float x = 0.0f, z = 0.0f;
        for (uint32_t i : t.index) x += data.GetPoint(i).x / 3.0f, z += data.GetPoint(i).z / 3.0f;
        if (x > x0 && x < x1 && z > z0 && z < z1) return true;
    }
    return false;
}

TEST(TriangulationData, CounterClockwiseSquareIsFilled) {
    TriangulationData data;
    AddLoop(data, Square(0, 0, 1, 1, true));
    EXPECT_EQ(data.Triangulate(), 2u);
    EXPECT_FLOAT_EQ(KeptArea(data), 1.0f);
    EXPECT_EQ(data.GetNumPoints(), 4u);
}

TEST(TriangulationData, SquareWithClockwiseHoleGivesTheRing) {
    TriangulationData data;
    AddLoop(data, Square(0, 0, 10, 10, true));
    AddLoop(data, Square(3, 3, 7, 7, false));
    EXPECT_FLOAT_EQ((data.Triangulate(), KeptArea(data)), 100.0f - 16.0f);
    EXPECT_FALSE(AnyCentroidInside(data, 3, 3, 7, 7));
}

TEST(TriangulationData, OverlappingHolesStayEmpty) {
    // Two tile outlines that overlap inside the hidden area: the overlap is outside both, so it is
    // not filled (an odd-nesting rule would fill it).
    TriangulationData data;
    AddLoop(data, Square(0, 0, 10, 10, true));
    AddLoop(data, Square(2, 2, 6, 6, false));
    AddLoop(data, Square(4, 4, 8, 8, false));
    EXPECT_NEAR((data.Triangulate(), KeptArea(data)), 100.0f - (16.0f + 16.0f - 4.0f), 1e-3f);
    EXPECT_FALSE(AnyCentroidInside(data, 4, 4, 6, 6));
}

TEST(TriangulationData, OnlyTheLeftSideCounts) {
    // A loop with its inside on the right encloses nothing to fill.
    TriangulationData clockwise;
    AddLoop(clockwise, Square(0, 0, 1, 1, false));
    EXPECT_EQ(clockwise.Triangulate(), 0u);

    // A second loop in the same direction inside the first is still inside.
    TriangulationData nested;
    AddLoop(nested, Square(0, 0, 10, 10, true));
    AddLoop(nested, Square(3, 3, 7, 7, true));
    EXPECT_FLOAT_EQ((nested.Triangulate(), KeptArea(nested)), 100.0f);
}

TEST(TriangulationData, ToggleRemovesThenAddsAgain) {
    TriangulationData data;
    AddLoop(data, Square(0, 0, 1, 1, true));
    ASSERT_EQ(data.GetNumSegments(), 4u);

    // Either direction matches an existing segment.
    data.ToggleSegment(P(1, 0), P(0, 0));
    EXPECT_EQ(data.GetNumSegments(), 3u);
    data.ToggleSegment(P(0, 0), P(1, 0));
    EXPECT_EQ(data.GetNumSegments(), 4u);
    EXPECT_FLOAT_EQ((data.Triangulate(), KeptArea(data)), 1.0f);

    // A point that is not in the list makes the toggle do nothing.
    data.ToggleSegment(P(0, 0), P(5, 5));
    EXPECT_EQ(data.GetNumSegments(), 4u);
    EXPECT_EQ(data.GetNumPoints(), 4u);
}

TEST(TriangulationData, OppositeSegmentsCancel) {
    // Two tiles side by side share an outline edge in opposite directions: no seam between them.
    TriangulationData data;
    AddLoop(data, Square(0, 0, 1, 1, true));
    AddLoop(data, Square(1, 0, 2, 1, true));
    EXPECT_FLOAT_EQ((data.Triangulate(), KeptArea(data)), 2.0f);

    // A loop given twice counts once, whichever way its segments run between the points' indices;
    // given once more the other way round, one of the two is cancelled and the square stays filled.
    TriangulationData twice;
    AddLoop(twice, Square(0, 0, 1, 1, true));
    AddLoop(twice, Square(0, 0, 1, 1, true));
    EXPECT_FLOAT_EQ((twice.Triangulate(), KeptArea(twice)), 1.0f);
    AddLoop(twice, Square(0, 0, 1, 1, false));
    EXPECT_FLOAT_EQ((twice.Triangulate(), KeptArea(twice)), 1.0f);
}

TEST(TriangulationData, NeighbouringPlugEdgesToggledInReverseBoundTheNewArea) {
    // The hidden area is [0, 2] x [0, 1]; an old plug covers [0, 1] x [0, 1]. The rebuild adds the
    // visibility boundary of [1, 2] (hidden ground on the left) and toggles the old plug's outline
    // reversed: the new triangles cover [1, 2] x [0, 1] only.
    TriangulationData data;
    data.AddSegment(P(1, 0), P(2, 0));
    data.AddSegment(P(2, 0), P(2, 1));
    data.AddSegment(P(2, 1), P(1, 1));
    const std::vector<Point> oldPlug = Square(0, 0, 1, 1, true);
    for (size_t i = 0; i < oldPlug.size(); ++i) data.ToggleSegment(oldPlug[(i + 1) % 4], oldPlug[i]);
    EXPECT_FLOAT_EQ((data.Triangulate(), KeptArea(data)), 1.0f);
    EXPECT_FALSE(AnyCentroidInside(data, 0, 0, 1, 1));

    // A plug edge that the outline already has is removed rather than doubled.
    TriangulationData shared;
    shared.AddSegment(P(0, 0), P(1, 0));
    shared.ToggleSegment(P(1, 0), P(0, 0));
    EXPECT_EQ(shared.GetNumSegments(), 0u);
}

TEST(TriangulationData, SnapToleranceMergesNearPoints) {
    TriangulationData data;
    data.SetSnapTolerance(0.001);
    data.AddSegment(P(0, 0), P(1, 0));
    data.AddSegment(P(1.0005f, 0.0003f), P(1, 1));     // starts within the tolerance of (1, 0)
    data.AddSegment(P(1, 1.002f), P(0, 1));            // 0.002 away from (1, 1): a new point
    EXPECT_EQ(data.GetNumPoints(), 5u);
    EXPECT_EQ(data.GetNumSegments(), 3u);
    // The first point found keeps its position.
    EXPECT_EQ(data.GetPoint(1).x, 1.0f);

    // A segment whose ends snap together adds nothing.
    data.AddSegment(P(0, 0), P(0.0004f, 0));
    EXPECT_EQ(data.GetNumSegments(), 3u);

    // Without a tolerance only exact copies merge.
    TriangulationData exact;
    exact.AddSegment(P(0, 0), P(1, 0));
    exact.AddSegment(P(1.0001f, 0), P(0, 0));
    EXPECT_EQ(exact.GetNumPoints(), 3u);
}

TEST(TriangulationData, CrossingSegmentsGetInterpolatedPoints) {
    TriangulationData data;
    // Square A with heights rising along its right edge, square B overlapping its corner.
    const std::vector<Point> a = {P(0, 0, 0), P(2, 0, 0), P(2, 2, 2), P(0, 2, 6)};
    AddLoop(data, a);
    AddLoop(data, Square(1, 1, 3, 3, true));
    for (int pass = 0; pass < 2; ++pass) {  // the crossing points are made anew by each pass
        data.Triangulate();
        EXPECT_NEAR(KeptArea(data), 7.0f, 1e-4f);
        ASSERT_EQ(data.GetNumPoints(), 8u + 2u);
        // Halfway up A's right edge, and halfway along its top edge (from (2, 2) to (0, 2)).
        int found = 0;
        for (uint32_t i = 8; i < data.GetNumPoints(); ++i) {
            const Point& p = data.GetPoint(i);
            const float expected = p.x == 2.0f && p.z == 1.0f ? 1.0f : p.x == 1.0f && p.z == 2.0f ? 4.0f : -1.0f;
            EXPECT_NEAR(p.height, expected, 1e-5f) << p.x << " " << p.z;
            EXPECT_NEAR(p.normal.y, 1.0f, 1e-5f);
            found += expected >= 0.0f;
        }
        EXPECT_EQ(found, 2);
    }
}

TEST(TriangulationData, DegenerateInputGivesNoTriangles) {
    TriangulationData empty;
    EXPECT_EQ(empty.Triangulate(), 0u);

    TriangulationData line;
    line.AddSegment(P(0, 0), P(1, 0));
    line.AddSegment(P(1, 0), P(2, 0));
    EXPECT_EQ(line.Triangulate(), 0u);

    test::LogCapture log;
    TriangulationData bad;
    bad.AddSegment(P(NAN, 0), P(1, 0));
    EXPECT_EQ(bad.GetNumSegments(), 0u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "non-finite"));
}

TEST(TriangulationData, ThreadsTriangulateTheirOwnData) {
    std::vector<float> areas(4, 0.0f);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &areas] {
            TriangulationData data;
            AddLoop(data, Square(0, 0, 10.0f + float(t), 10, true));
            AddLoop(data, Square(2, 2, 4, 4, false));
            for (int i = 0; i < 5; ++i) data.Triangulate();
            areas[t] = KeptArea(data);
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_FLOAT_EQ(areas[t], (10.0f + float(t)) * 10.0f - 4.0f);
}

}  // namespace
}  // namespace GAME
