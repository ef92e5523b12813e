// Water paths and wave sets: the Bezier stretches, river strips that join without gaps or folds
// and fade at the path's ends, picking, mirrors, rays and drift along a path; wave counts, the
// band and roller motion against the formulas, and every draw staying inside its vertices.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "core/CubicBezier2D.h"
#include "core/Random.h"
#include "core/Ray.h"
#include "core/WorldCoords.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "support/RecordingDevice.h"
#include "support/RecordingResources.h"
#include "terrain/Water.h"
#include "terrain/WaterPath.h"
#include "terrain/WaterType.h"
#include "terrain/WaterTypeManager.h"
#include "terrain/WaterWaveSet.h"

namespace GAME {
namespace {

ControlPoint Point(float x, float z, float tx, float tz, float width) {
    ControlPoint p{x, z, tx, tz, 0.0f, 0.0f, width};
    p.UpdateNormal();
    return p;
}

float Cross2(const Vec2& a, const Vec2& b) { return a.x * b.y - a.y * b.x; }

struct DrawCall {
    int type;
    int base;
    unsigned vertexCount, primitives, startIndex;
};

std::vector<DrawCall> Draws(const test::RecordingDevice& device) {
    std::vector<DrawCall> draws;
    for (const std::string& call : device.GetCalls("DrawIndexedPrimitive")) {
        DrawCall d{};
        unsigned flags = 0;
        if (std::sscanf(call.c_str(), "DrawIndexedPrimitive(%d, %d, %u, %u, %u, %u)", &d.type, &d.base, &d.vertexCount,
                        &d.primitives, &d.startIndex, &flags) == 6) {
            draws.push_back(d);
        }
    }
    return draws;
}

// The line ends a drawing leaves, in order: without a graphics engine the drawer has no shader,
// so every line waits in its one batch in the canvas's buffer.
std::vector<PrimitiveVertex> DrawnLines(test::RecordingDevice& device,
                                        const std::function<void(GraphicsPrimitiveDrawer&)>& draw) {
    RenderSurface* primary = device.CreatePrimarySurface(nullptr, RenderDeviceSettings());
    std::vector<PrimitiveVertex> lines;
    {
        GraphicsCanvas canvas(device, primary);
        GraphicsPrimitiveDrawer drawer(canvas);
        draw(drawer);
        const auto* vertices = static_cast<const test::RecordingDynamicVertexBuffer*>(canvas.GetDynamicVertexBuffer());
        const auto* indices = static_cast<const test::RecordingDynamicIndexBuffer*>(canvas.GetDynamicIndexBuffer());
        const auto* v =
            reinterpret_cast<const PrimitiveVertex*>(vertices->GetData().data() + vertices->GetLockOffset());
        const uint32_t* i = indices->GetIndices().data() + indices->GetLockOffset();
        for (uint32_t n = 0; n < GraphicsPrimitiveDrawer::kMaxVertices && v[n].color != 0 && i[n] == n; ++n) {
            lines.push_back(v[n]);
        }
    }
    device.DestroyRenderSurface(primary);
    return lines;
}

// Each of the count line ends lies radius from the centre, level with it.
void ExpectOnCircle(const PrimitiveVertex* ends, unsigned count, const Vec3& centre, float radius) {
    for (unsigned k = 0; k < count; ++k) {
        EXPECT_NEAR((ends[k].position - centre).Length(), radius, 1e-4f) << k;
        EXPECT_NEAR(ends[k].position.y, centre.y, 1e-5f) << k;
    }
}

class WaterCurveTest : public ::testing::Test {
protected:
    void SetUp() override {
        WaterType* river = WaterTypeManager::Get().CreateWaterType("River");
        river->EditSettings().TextureScale = Vec2(4.0f, 2.0f);
        river->EditSettings().ScrollSpeed = 3.0f;
    }
    void TearDown() override {
        WaterTypeManager::Get().ReleaseWaterType(WaterTypeManager::Get().GetWaterType("River"));
        WaterTypeManager::Destroy();
    }

    test::RecordingDevice device;
    WaterSpace tree{Vec2(0.0f, 0.0f), Vec2(256.0f, 256.0f)};
};

TEST_F(WaterCurveTest, StretchesFollowTheBezierFormula) {
    const ControlPoint a = Point(1, 2, 4, 0, 1), b = Point(9, 7, 0, 5, 1);
    for (const float t : {0.0f, 0.2f, 0.5f, 0.9f, 1.0f}) {
        const float s = 1 - t;
        const float x = s * s * s * 1 + 3 * s * s * t * (1 + 4) + 3 * s * t * t * 9 + t * t * t * 9;
        const float z = s * s * s * 2 + 3 * s * s * t * 2 + 3 * s * t * t * (7 - 5) + t * t * t * 7;
        const Vec2 p = GetBezierPoint(a, b, t);
        EXPECT_NEAR(p.x, x, 1e-5f);
        EXPECT_NEAR(p.y, z, 1e-5f);
    }
    // A straight stretch with handles a third of the way measures its chord; a bent one the sum of
    // its steps.
    EXPECT_NEAR(CalcBezierLength(Point(0, 0, 10, 0, 1), Point(30, 0, 10, 0, 1), 20), 30.0f, 1e-3f);
    float length = 0.0f;
    for (int i = 0; i < 4; ++i) length += (GetBezierPoint(a, b, float(i + 1) / 4) - GetBezierPoint(a, b, float(i) / 4)).Length();
    EXPECT_NEAR(CalcBezierLength(a, b, 4), length, 1e-5f);
    // A point lies on a stretch within its width, neither behind its start nor past its end (the
    // end points themselves are on it).
    const ControlPoint p = Point(0, 0, 4, 4, 2), q = Point(10, 10, 4, 4, 2);
    float t = 0.0f;
    for (const float along : {0.0f, 0.5f, 1.0f}) {
        EXPECT_TRUE(WaterPathSegment::IsInside(Vec2(10 * along, 10 * along), p, q, t)) << along;
        EXPECT_NEAR(t, along, 0.05f);
    }
    for (const Vec2& outside : {Vec2(-1, -1), Vec2(11, 11), Vec2(7, 3)}) EXPECT_FALSE(WaterPathSegment::IsInside(outside, p, q, t));
}

TEST_F(WaterCurveTest, PathStripsJoinWithoutGapsOrFoldsAndFadeAtTheEnds) {
    for (const float turn : {0.3f, 1.5f}) {  // a gentle and a sharp bend at the middle point
        WaterPath path(0, tree, &device, nullptr);
        ASSERT_TRUE(path.Initialize("River", 5.0f, Point(0, 0, 8, 0, 3)));
        EXPECT_EQ(path.GetNumSegments(), 0u);
        path.UpdateHeight(6.0f);  // no segments to make the plane's box from: it rises all the same
        EXPECT_TRUE(path.GetReflectionPlane().plane.d == -6.0f && path.GetReflectionPlane().box.centre.y == 6.0f);
        path.UpdateHeight(5.0f);
        path.AddControlPoint(Point(30, 0, 8 * std::cos(turn), 8 * std::sin(turn), 4));
        ASSERT_EQ(path.GetNumSegments(), 1u);
        // A single stretch fades at both ends.
        const auto alpha = [&](unsigned segment, unsigned row) {
            return path.GetSegment(segment).GetVertices()[row * WaterPathSegment::kAcross + 4].colour >> 24;
        };
        const unsigned single = path.GetSegment(0).GetNumSteps();
        EXPECT_EQ(alpha(0, 0), 0u);
        EXPECT_EQ(alpha(0, single), 0u);
        path.AddControlPoint(Point(30 + 30 * std::cos(2 * turn), 30 * std::sin(2 * turn), 8 * std::cos(2 * turn),
                                   8 * std::sin(2 * turn), 2));
        ASSERT_EQ(path.GetNumSegments(), 2u);
        EXPECT_EQ(tree.GetNumObjects(), 2u);

        const WaterPathSegment& first = path.GetSegment(0);
        const WaterPathSegment& second = path.GetSegment(1);
        const unsigned n0 = first.GetNumSteps(), n1 = second.GetNumSteps();
        ASSERT_GE(n0, 10u);
        ASSERT_GE(n1, 10u);
        // Adding a point rebuilt the first stretch without its end fade.
        EXPECT_EQ(std::vector({alpha(0, 0), alpha(0, 1), alpha(0, n0), alpha(1, 0), alpha(1, n1 - 1), alpha(1, n1)}),
                  std::vector<uint32_t>({0, 127, 255, 255, 127, 0}));

        for (unsigned k = 0; k < WaterPathSegment::kAcross; ++k) {
            const Vec3 end = first.GetVertices()[n0 * WaterPathSegment::kAcross + k].position;
            const Vec3 start = second.GetVertices()[k].position;
            EXPECT_NEAR((end - start).Length(), 0.0f, 1e-4f) << "gap at column " << k;
            EXPECT_EQ(end.y, 5.0f);
        }
        // Every quad of both strips winds the same way: no triangle folds over.
        for (const WaterPathSegment* segment : {&first, &second}) {
            const auto& v = segment->GetVertices();
            for (unsigned i = 0; i < segment->GetNumSteps(); ++i) {
                for (unsigned k = 0; k + 1 < WaterPathSegment::kAcross; ++k) {
                    const Vec3 a = v[i * 10 + k].position, b = v[i * 10 + k + 1].position, c = v[(i + 1) * 10 + k].position;
                    const float area = Cross2(Vec2(b.x - a.x, b.z - a.z), Vec2(c.x - a.x, c.z - a.z));
                    ASSERT_GT(area, 0.0f) << "turn " << turn << " step " << i << " column " << k;
                }
            }
            // The along coordinate ends near a whole number of repeats of the 4-unit texture (exactly
            // on the centre line's length; the banks' mean length differs a little on a bend).
            const float u = v[segment->GetNumSteps() * 10].texCoord.y;
            EXPECT_NEAR(u, std::round(u), 0.1f);
            EXPECT_GE(u, 1.0f);
        }
        // Across, from bank to bank (3 apart at the start), in repeats of the texture's y scale (2).
        for (unsigned k = 0; k < 10; ++k) EXPECT_FLOAT_EQ(first.GetVertices()[k].texCoord.x, 3.0f * float(k) / 9 / 2);
        // Picking: on a point, near it, on a handle end.
        const WorldCoords camera;
        const auto down = [](float x, float z) { return Ray{Vec3(x, 50, z), Vec3(0, -1, 0)}; };
        EXPECT_EQ(path.SelectPoint(down(30.3f, 0), camera), WaterCurve::SelectionType::Point);
        EXPECT_EQ(path.GetCurrentControlPointIndex(), 1u);
        const WaterCurve::SelectionType near = path.SelectPoint(down(0.7f, 0), camera);
        EXPECT_TRUE(near == WaterCurve::SelectionType::NearAlongView || near == WaterCurve::SelectionType::NearAcrossView);
        EXPECT_EQ(path.GetCurrentControlPointIndex(), 0u);
        EXPECT_EQ(path.SelectPoint(down(8.5f, 0), camera), WaterCurve::SelectionType::ForwardHandle);
        EXPECT_EQ(path.SelectPoint(down(-8.5f, 0), camera), WaterCurve::SelectionType::BackwardHandle);
        EXPECT_EQ(path.SelectPoint(down(15, 20), camera), WaterCurve::SelectionType::Nothing);

        // Rays stop on the river and pass its banks; the drift follows the river.
        unsigned segment = 99;
        float t = -1;
        EXPECT_NEAR(path.RayIntersection(down(10, 0), 100, segment, t), 45.0f, 1e-4f);
        EXPECT_EQ(segment, 0u);
        EXPECT_GT(t, 0.1f);
        // The ends of a stretch lie on it: the shared point on the first stretch.
        for (const float x : {30.0f, 0.0f}) {
            EXPECT_NEAR(path.RayIntersection(down(x, 0), 100, segment, t), 45.0f, 1e-4f) << x;
            EXPECT_EQ(segment, 0u) << x;
        }
        EXPECT_EQ(path.RayIntersection(down(10, 9), 100, segment, t), Infinity);
        EXPECT_EQ(path.RayIntersection(down(10, 0), 40, segment, t), Infinity);
        Vec3 v;
        path.CalcSurfaceVelocity(0, 0.0f, v);
        EXPECT_NEAR(v.x, 3.0f, 0.05f);
        path.CalcSurfaceVelocity(0, 0.97f, v);  // the end point's tangent
        EXPECT_NEAR(v.x, 3.0f * std::cos(turn), 1e-4f);
        EXPECT_NEAR(v.z, 3.0f * std::sin(turn), 1e-4f);
        path.CalcSurfaceVelocity(2, 0.5f, v);  // no such stretch: nothing changes
        EXPECT_NEAR(v.x, 3.0f * std::cos(turn), 1e-4f);

        // Mirroring twice restores every field.
        const ControlPoint before = path.GetControlPoint(2);
        path.MirrorX(7.0f);
        EXPECT_NEAR(path.GetControlPoint(2).x, 14.0f - before.x, 1e-4f);
        path.MirrorX(7.0f);
        path.MirrorXZ();
        path.MirrorXZ();
        const ControlPoint after = path.GetControlPoint(2);
        for (const auto& [got, was] : {std::pair{after.x, before.x}, {after.tangentZ, before.tangentZ},
                                       {after.normalX, before.normalX}, {after.normalZ, before.normalZ}})
            EXPECT_NEAR(got, was, 1e-4f);
        EXPECT_EQ(after.width, before.width);

        // Its last point taken away, the path ends with the first stretch again, which fades out.
        path.RemoveEndControlPoint();
        EXPECT_EQ(path.GetNumSegments(), 1u);
        EXPECT_EQ(tree.GetNumObjects(), 1u);
        EXPECT_EQ(alpha(0, n0), 0u);
        EXPECT_EQ(alpha(0, n0 - 1), 127u);
        path.UpdateHeight(8.0f);  // the stretch is made again at the new height
        EXPECT_EQ(path.GetSegment(0).GetVertices()[0].position.y, 8.0f);
    }
    EXPECT_TRUE(tree.GetNumObjects() == 0u && device.GetNumLiveResources() == 0u);
}

TEST_F(WaterCurveTest, StepCountsAndStretchesWithoutSteps) {
    WaterPath path(0, tree, &device, nullptr);
    path.Initialize("River", 0.0f, Point(0, 0, 60, 0, 2));
    path.AddControlPoint(Point(200, 0, 60, 0, 2));
    EXPECT_EQ(path.GetSegment(0).GetNumSteps(), 64u);
    WaterPath shortPath(1, tree, &device, nullptr);
    shortPath.Initialize("River", 0.0f, Point(0, 0, 0.5f, 0, 2));
    shortPath.AddControlPoint(Point(1.5f, 0, 0.5f, 0, 2));  // 1.5 units: no steps
    const WaterPathSegment& tiny = shortPath.GetSegment(0);
    EXPECT_TRUE(tiny.GetNumSteps() == 0u && tiny.GetVertexBuffer() == nullptr && tiny.GetNumPrimitives() == 0u &&
                tiny.GetVertices().empty());
    EXPECT_FALSE(shortPath.GetSegment(0).GetBoundingBox().halfSize.x == 0.0f);
    const size_t before = device.GetCalls("DrawIndexedPrimitive").size();
    tiny.Render(device, 0);
    EXPECT_EQ(device.GetCalls("DrawIndexedPrimitive").size(), before);
    // The longest stretch draws the whole of the water's strip, which reaches exactly its vertices.
    Water water(nullptr);
    water.Initialize(64, 64, nullptr, &device);
    const auto* indices = static_cast<const test::RecordingIndexBuffer*>(water.GetBlockIndexBuffer());
    ASSERT_NE(indices, nullptr);
    path.GetSegment(0).Render(device, 0);
    const DrawCall draw = Draws(device).back();
    EXPECT_EQ(draw.primitives + 2, indices->GetCount());
    uint32_t highest = 0;
    for (unsigned i = draw.startIndex; i < draw.startIndex + draw.primitives + 2; ++i) {
        highest = std::max(highest, indices->GetIndex(i));
    }
    EXPECT_EQ(highest + 1, draw.vertexCount);
}

TEST_F(WaterCurveTest, WavesMoveAsTheirFormulasSay) {
    SeedRand15(7);
    WaterWaveSet waves(1, tree, &device, nullptr);
    waves.Initialize(2.0f, Point(0, 0, 1, 0, 3));
    waves.AddControlPoint(Point(3, 0, 1, 0, 3));     // length 3: 8 roller steps, 6 bands
    waves.AddControlPoint(Point(63, 0, 20, 0, 0.5f));  // length 60: 50 steps, 100 bands, no rollers
    const WaterWaveSegment& shortOne = waves.GetSegment(0);
    const WaterWaveSegment& longOne = waves.GetSegment(1);
    for (const auto& [one, steps, bands, rolls] : {std::tuple{&shortOne, 8u, 6u, true}, {&longOne, 50u, 100u, false}})
        EXPECT_EQ(std::tuple(one->GetNumRollerSteps(), one->GetNumBands(), one->HasRollers()),
                  std::tuple(steps, bands, rolls));
    // Four vertices a band, then two rollers of 9 rows of four face and two edge vertices.
    EXPECT_EQ(longOne.GetVertices().size(), 100u * 4);
    EXPECT_EQ(shortOne.GetVertices().size(), 6u * 4 + 2 * 9 * 6);
    for (const WaterWaveSegment* segment : {&shortOne, &longOne}) {
        EXPECT_EQ(static_cast<const test::RecordingVertexBuffer*>(segment->GetVertexBuffer())->GetData().size(),
                  segment->GetVertices().size() * 32);
    }
    EXPECT_NEAR((shortOne.GetBoundingBox().centre - Vec3(1.5f, 2.1f, 0)).Length(), 0.0f, 1e-5f);
    EXPECT_NEAR((shortOne.GetBoundingBox().halfSize - Vec3(1.5f, 1, 0)).Length(), 0.0f, 1e-5f);
    // Each segment's rollers start one apart, within [-1, 1].
    for (const WaterWaveSegment* segment : {&shortOne, &longOne}) {
        const float first = segment->GetRoller(0).position, second = segment->GetRoller(1).position;
        EXPECT_LE(std::max(std::fabs(first), std::fabs(second)), 1.0f);
        EXPECT_NEAR(std::fabs(second - first), 1.0f, 1e-5f);
    }

    float phases[6];
    for (unsigned k = 0; k < 6; ++k) phases[k] = shortOne.GetPhase(k);
    WaterWaveSegment::Roller rollers[2] = {shortOne.GetRoller(0), shortOne.GetRoller(1)};
    waves.UpdateWaves(250);
    const float step = 0.25f * 0.333f;
    const float bandLength = shortOne.GetLength() / 6.0f;
    for (unsigned k = 0; k < 6; ++k) {
        const float ph = phases[k];
        EXPECT_FLOAT_EQ(shortOne.GetPhase(k), ph + step > 2.0f ? 0.0f : ph + step);
        // The band's corners from the phase before the step; the stretch runs along +x, so the
        // band's normal is -z.
        const float a = (ph - 1) * 0.5f - 1, e = a + ph * bandLength + 0.5f, g = ph * bandLength * 0.5f + 1;
        const float qx = CubicBezier2D(Vec2(0, 0), Vec2(1, 0), Vec2(2, 0), Vec2(3, 0), float(k) / 6.0f).x;
        const float y1 = 2.1f + ph * bandLength * 0.25f;
        const Vec3 corners[4] = {Vec3(qx + g, 2.1f, -a), Vec3(qx + g, y1, -e), Vec3(qx - g, y1, -e), Vec3(qx - g, 2.1f, -a)};
        const float fade = 1 - std::fabs(ph - 1);
        for (unsigned c = 0; c < 4; ++c) {
            const WaterWaveSegment::Vertex& corner = shortOne.GetVertices()[k * 4 + c];
            EXPECT_NEAR((corner.position - corners[c]).Length(), 0.0f, 1e-4f) << k << ": " << c;
            EXPECT_EQ(corner.colour >> 24, uint32_t(fade * fade * fade * 255));
        }
    }
    // Each roller moves up the beach (30 times as fast, past it and back out to sea); its rows run
    // along the stretch from its offset over its width, s x 3 (the banks' width) across it, four
    // face columns across its middle, lifted by its fade, and two edge columns beyond them.
    for (const float speed : {1.0f, 30.0f}) {
        if (speed > 1.0f) {
            rollers[0] = shortOne.GetRoller(0), rollers[1] = shortOne.GetRoller(1);
            waves.GetWaveParams().rollerSpeed = speed;
            waves.UpdateWaves(250);
        }
        for (unsigned i = 0; i < 2; ++i) {
            const float s = rollers[i].position - (std::fabs(rollers[i].position) + 0.5f) * speed * 0.25f * 0.1f;
            EXPECT_FLOAT_EQ(shortOne.GetRoller(int(i)).position, s < -1 ? s + 2 : s) << i;
            const WaterWaveSegment::Roller& moved = shortOne.GetRoller(int(i));
            EXPECT_EQ(moved.width != rollers[i].width, s < -1) << i;  // a new shape each time out at sea
            const float lift = (1 - (moved.position * 0.5f + 0.5f)) * 0.5f;
            const WaterWaveSegment::Vertex* face = &shortOne.GetVertices()[6 * 4 + i * 9 * 6];
            for (unsigned j = 0; j <= 8; ++j) {
                const float x = 3 * (moved.offset + moved.width * float(j) / 8), z = -3 * moved.position;
                const float across[6] = {-0.5f, -1 / 6.0f, 1 / 6.0f, 0.5f, 0.5f, 0.75f},
                            lifted[6] = {0, 1, 0.5f, 0, 0, 0};
                for (unsigned c = 0; c < 6; ++c) {
                    const WaterWaveSegment::Vertex& v = c < 4 ? face[j * 4 + c] : face[9 * 4 + j * 2 + c - 4];
                    const Vec3 expected(x, 2.1f + lift * lifted[c], z - across[c]);
                    EXPECT_NEAR((v.position - expected).Length(), 0.0f, 1e-4f) << i << ", " << j << ": " << c;
                    EXPECT_EQ(v.colour >> 24, uint32_t((1 - std::pow(std::fabs(moved.position), 7.0f)) * 255));
                }
            }
        }
    }

    // Every pass's draws read the shared indices inside their segment's vertices.
    static uint16_t indices[WaterWaveSegment::kNumIndices];
    WaterWaveSegment::WriteIndexPattern(indices);
    for (const WaterWaveSegment* segment : {&shortOne, &longOne}) {
        const size_t before = Draws(device).size();
        for (int pass = 0; pass < 3; ++pass) segment->Render(device, pass);
        const std::vector<DrawCall> draws = Draws(device);
        EXPECT_EQ(draws.size() - before, segment->HasRollers() ? 9u : 1u);
        EXPECT_EQ(draws.back().primitives, segment->GetNumBands() * 2);  // two triangles a band
        EXPECT_EQ(draws[before].primitives, segment->HasRollers() ? segment->GetNumRollerSteps() * 2 : 200u);
        for (size_t d = before; d < draws.size(); ++d) {
            const DrawCall& draw = draws[d];
            const unsigned count = draw.type == 0 ? draw.primitives * 3 : draw.primitives + 2;
            ASSERT_LE(draw.startIndex + count, WaterWaveSegment::kNumIndices);
            ASSERT_LE(draw.base + int(draw.vertexCount), int(segment->GetVertices().size()));
            for (unsigned i = draw.startIndex; i < draw.startIndex + count; ++i) ASSERT_LT(indices[i], draw.vertexCount);
        }
    }

    // The same height rebuilds nothing (the moving vertices stay, no buffer is made); another
    // rebuilds every segment there. A roller pushed out by a negative speed keeps a sane fade.
    const size_t made = device.CountCalls("CreateVertexBuffer");
    const mem::vector<WaterWaveSegment::Vertex> moving = shortOne.GetVertices();
    ASSERT_NE(moving[0].position, Vec3());
    waves.UpdateHeight(2.0f);
    EXPECT_EQ(device.CountCalls("CreateVertexBuffer"), made);
    ASSERT_EQ(shortOne.GetVertices().size(), moving.size());
    EXPECT_EQ(std::memcmp(shortOne.GetVertices().data(), moving.data(), moving.size() * sizeof(moving[0])), 0);
    waves.UpdateHeight(2.5f);
    EXPECT_EQ(device.CountCalls("CreateVertexBuffer"), made + 2);
    EXPECT_NEAR(shortOne.GetBoundingBox().centre.y, 2.6f, 1e-6f);
    waves.GetWaveParams().rollerSpeed = -400.0f;
    waves.UpdateWaves(1000);
    EXPECT_EQ(shortOne.GetVertices().back().colour >> 24, 0u);
    waves.RemoveEndControlPoint();
    EXPECT_EQ(waves.GetNumSegments(), 1u);

    // The record round trip; a stored spacing is held within [1, 10] (NaN too).
    waves.AddControlPoint(Point(9, 4, 1, 1, 2));
    waves.GetWaveParams().rollerHeight = 0.75f;
    waves.GetWaveParams().drawFlags = 1;
    for (const auto& [stored, held] : {std::pair{25.0f, 10.0f}, {0.25f, 1.0f}, {NAN, 1.0f}, {4.0f, 4.0f}}) {
        waves.GetWaveParams().waveSpacing = stored;
        BinaryWriter writer(512);
        waves.Save(writer);
        WaterWaveSet loaded(2, tree, &device, nullptr);
        BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
        ASSERT_TRUE(loaded.Load(reader, 2));
        const WaveParams& params = loaded.GetWaveParams();
        EXPECT_EQ(std::tuple(params.waveSpacing, params.rollerSpeed, params.rollerHeight, params.drawFlags,
                             loaded.GetHeight()),
                  std::tuple(held, -400.0f, 0.75f, 1u, 2.5f))
            << stored;
        ASSERT_EQ(loaded.GetNumSegments(), 2u);
        EXPECT_EQ(std::memcmp(&loaded.GetControlPoint(2), &waves.GetControlPoint(2), sizeof(ControlPoint)), 0);
        EXPECT_EQ(loaded.GetSegment(1).GetLength(), waves.GetSegment(1).GetLength());
    }
}

// The editor's curves through the water: made by kind, picked (paths first), moved, drawn,
// mirrored (diagonally first, then in x, then in z), rebuilt or dropped with their type, and
// dropped when too short to show.
TEST_F(WaterCurveTest, TheEditorPicksMovesDrawsMirrorsAndDropsCurves) {
    using Type = WaterCurve::CurveType;
    using Selection = WaterCurve::SelectionType;
    Water water(nullptr);
    water.Initialize(64, 64, nullptr, &device);
    WaterCurve* river = water.AddWaterCurve("River", 3.0f, Point(10, 20, 4, 1, 2), Type::Path);
    WaterCurve* waves = water.AddWaterCurve("", 1.0f, Point(50, 30, 0, 4, 1), Type::WaveSet);
    ASSERT_NE(river, nullptr);
    ASSERT_NE(waves, nullptr);
    EXPECT_EQ(river->GetCurveType(), Type::Path);
    EXPECT_EQ(waves->GetCurveType(), Type::WaveSet);
    EXPECT_EQ(water.AddWaterCurve("River", 0.0f, Point(0, 0, 1, 0, 1), Type(2)), nullptr);
    river->AddControlPoint(Point(30, 20, 4, 0, 2));
    river->AddControlPoint(Point(50, 30, 4, 0, 2));
    waves->AddControlPoint(Point(50, 50, 0, 4, 1));
    const WaterPath& path = static_cast<const WaterPath&>(*river);

    const auto down = [](float x, float z) { return Ray{Vec3(x, 50, z), Vec3(0, -1, 0)}; };
    const WorldCoords camera;
    Selection selection = Selection::Point;
    struct Pick {
        float x, z;
        const WaterCurve* curve;
        Selection selection;
        unsigned current;
    };
    for (const Pick& pick :
         {Pick{50, 30.2f, river, Selection::Point, 2}, Pick{50, 50.3f, waves, Selection::Point, 1},
          Pick{20, 5, nullptr, Selection::Nothing, 0}, Pick{30.2f, 20, river, Selection::Point, 1}}) {
        EXPECT_EQ(water.SelectCurve(down(pick.x, pick.z), selection, camera), pick.curve) << pick.x << ", " << pick.z;
        EXPECT_EQ(selection, pick.selection) << pick.x << ", " << pick.z;
        if (pick.curve) {
            EXPECT_EQ(pick.curve->GetCurrentControlPointIndex(), pick.current);
        }
    }
    // The picked point moved: both stretches it joins meet it there.
    river->GetCurrentControlPoint()->z = 26.0f;
    river->UpdateCurrentControlPoint();
    for (unsigned s = 0; s < 2; ++s) {
        const auto& v = path.GetSegment(s).GetVertices();
        const unsigned row = s == 0 ? path.GetSegment(0).GetNumSteps() * WaterPathSegment::kAcross : 0;
        const Vec3 middle = (v[row].position + v[row + WaterPathSegment::kAcross - 1].position) * 0.5f;
        EXPECT_NEAR(middle.x, 30.0f, 1e-3f) << s;
        EXPECT_NEAR(middle.z, 26.0f, 1e-3f) << s;
    }

    // Selection points: two circles of 19 segments (radius 0.5 and 1) and a cross at each point.
    const Vec3 offset(100, 10, 200);
    for (const WaterCurve* curve : {river, waves}) {
        const std::vector<PrimitiveVertex> lines = DrawnLines(device, [&](GraphicsPrimitiveDrawer& d) {
            water.DrawCurveSelectionPoints(d, offset, curve->GetCurveType());
        });
        ASSERT_EQ(lines.size(), curve->GetNumControlPoints() * 80u);
        for (unsigned p = 0; p < curve->GetNumControlPoints(); ++p) {
            const ControlPoint& point = curve->GetControlPoint(p);
            const Vec3 c = Vec3(point.x, curve->GetHeight(), point.z) + offset;
            const PrimitiveVertex* ends = &lines[p * 80];
            ExpectOnCircle(ends, 38, c, 0.5f);
            ExpectOnCircle(ends + 38, 38, c, 1.0f);
            for (const auto& [k, end] : {std::pair{76, c - Vec3(0.5f, 0, 0)}, {77, c + Vec3(0.5f, 0, 0)},
                                         {78, c - Vec3(0, 0, 0.5f)}, {79, c + Vec3(0, 0, 0.5f)}}) {
                EXPECT_NEAR((ends[k].position - end).Length(), 0.0f, 1e-4f) << k;
            }
        }
    }
    // Editing: each stretch's centre line through its steps in white, then each point's handle in
    // blue with a circle of 15 segments half a unit beyond either end.
    const std::vector<PrimitiveVertex> lines =
        DrawnLines(device, [&](GraphicsPrimitiveDrawer& d) { river->DrawEditing(d, offset); });
    size_t at = 0;
    for (unsigned s = 0; s < 2; ++s) {
        const unsigned n = path.GetSegment(s).GetNumSteps();
        ASSERT_GE(lines.size(), at + 2 * n);
        for (unsigned i = 0; i < 2 * n; ++i, ++at) {
            const Vec2 b =
                GetBezierPoint(river->GetControlPoint(s), river->GetControlPoint(s + 1), float((i + 1) / 2) / float(n));
            EXPECT_NEAR((lines[at].position - (Vec3(b.x, 3, b.y) + offset)).Length(), 0.0f, 1e-3f) << s << ": " << i;
            EXPECT_EQ(lines[at].color, Color(1, 1, 1, 0.9f).ToPacked());
        }
    }
    ASSERT_EQ(lines.size(), at + 3 * 62);
    for (unsigned p = 0; p < 3; ++p, at += 62) {
        const ControlPoint& point = river->GetControlPoint(p);
        const Vec3 c = Vec3(point.x, 3, point.z) + offset, tangent(point.tangentX, 0, point.tangentZ);
        EXPECT_NEAR((lines[at].position - (c - tangent)).Length(), 0.0f, 1e-4f);
        EXPECT_NEAR((lines[at + 1].position - (c + tangent)).Length(), 0.0f, 1e-4f);
        EXPECT_EQ(lines[at].color, Color(0, 0, 1, 1).ToPacked());
        ExpectOnCircle(&lines[at + 2], 30, c + tangent + tangent.Unit() * 0.5f, 0.5f);
        ExpectOnCircle(&lines[at + 32], 30, c - tangent - tangent.Unit() * 0.5f, 0.5f);
    }

    // Mirrored diagonally, then in x about 32: (10, 20) with handle (4, 1) goes to (20, 10) with
    // (1, 4), then to (44, 10) with (-1, 4). The stretches follow; the lake turns within its own
    // 64 units, from (10, 40) to (40, 10) and (23, 10).
    WaterLayer* lake = water.AddWaterLayer("River", 1.0f);
    lake->UpdateArea(Vec3(10, 0, 40), 2.0f, true);
    water.Mirror(Vec3(32, 0, 24), true, false, true);
    const ControlPoint& mirrored = river->GetControlPoint(0);
    const float root17 = std::sqrt(17.0f);
    for (const auto& [got, expected] : {std::pair{mirrored.x, 44.0f}, {mirrored.z, 10.0f}, {mirrored.tangentX, -1.0f},
                                        {mirrored.tangentZ, 4.0f}, {mirrored.normalX, -4 / root17},
                                        {mirrored.normalZ, -1 / root17}})
        EXPECT_NEAR(got, expected, 1e-5f);
    EXPECT_NEAR(path.GetSegment(0).GetVertices()[0].position.x, 44.0f + 2.0f * mirrored.normalX, 1e-4f);
    EXPECT_FLOAT_EQ(waves->GetControlPoint(0).x, 34.0f);
    EXPECT_FLOAT_EQ(waves->GetControlPoint(0).tangentX, -4.0f);
    EXPECT_TRUE(lake->IsPointInLayer(Vec3(23, 0, 10)));
    EXPECT_FALSE(lake->IsPointInLayer(Vec3(10, 0, 40)));
    water.Mirror(Vec3(32, 0, 24), false, true, false);
    EXPECT_FLOAT_EQ(river->GetControlPoint(0).z, 38.0f);
    EXPECT_FLOAT_EQ(river->GetControlPoint(0).tangentZ, -4.0f);
    EXPECT_NEAR(path.GetSegment(0).GetVertices()[0].position.z, 38.0f - 2.0f / std::sqrt(17.0f), 1e-4f);
    EXPECT_TRUE(lake->IsPointInLayer(Vec3(23, 0, 53)));

    // A type change rebuilds what uses it; removing the type drops its layer and path.
    const WaterType* type = river->GetWaterType();
    WaterType* other = WaterTypeManager::Get().CreateWaterType("Other");
    const size_t made = device.CountCalls("CreateVertexBuffer");
    EXPECT_FALSE(water.UpdateWaterType(other));
    EXPECT_FALSE(water.IsWaterTypeUsed(other));
    EXPECT_EQ(device.CountCalls("CreateVertexBuffer"), made);
    EXPECT_TRUE(water.UpdateWaterType(type));
    EXPECT_EQ(device.CountCalls("CreateVertexBuffer"), made + 2);
    EXPECT_TRUE(water.IsWaterTypeUsed(type));
    water.RemoveWaterType(type);
    EXPECT_FALSE(water.IsWaterTypeUsed(type));
    EXPECT_EQ(water.GetPath(0), nullptr);
    EXPECT_EQ(water.GetLayer(0), nullptr);
    EXPECT_EQ(water.GetWaveSet(0), waves);
    WaterTypeManager::Get().ReleaseWaterType(other);

    // Curves of one point and layers without water go.
    WaterCurve* lone = water.AddWaterCurve("River", 0.0f, Point(5, 5, 1, 0, 1), Type::Path);
    WaterCurve* loneWaves = water.AddWaterCurve("", 0.0f, Point(5, 5, 1, 0, 1), Type::WaveSet);
    ASSERT_NE(water.AddWaterLayer("River", 0.0f), nullptr);
    EXPECT_EQ(water.GetPath(0), lone);
    EXPECT_EQ(water.GetWaveSet(1), loneWaves);
    water.Cleanup();
    EXPECT_EQ(water.GetPath(0), nullptr);
    EXPECT_EQ(water.GetWaveSet(1), nullptr);
    EXPECT_EQ(water.GetLayer(0), nullptr);
    EXPECT_EQ(water.GetWaveSet(0), waves);
    water.RemoveWaterCurve(waves);
    EXPECT_EQ(water.GetNumWaveSets(), 0u);
}

}  // namespace
}  // namespace GAME
