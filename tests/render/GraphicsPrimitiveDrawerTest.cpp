// The primitive drawer on the GL device, read back: 2-D mode in pixels, a box and a sphere under
// known cameras (placed by Camera::Project, an independent path from the drawer's matrix), region
// offsets; batching by draw-call counts; buffers that cannot be locked.

#include "render/GraphicsPrimitiveDrawer.h"

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/MathUtil.h"
#include "core/OBBox.h"
#include "core/Sphere.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "support/GLEngineBed.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"
#include "support/RecordingDevice.h"
#include "support/RecordingResources.h"
#include "world/Region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <tuple>
#include <vector>

namespace GAME::test {
namespace {

using Type = GraphicsPrimitiveDrawer::PrimitiveType;

constexpr uint32_t kBlack = Rgba(0, 0, 0);
constexpr int kWidth = GLEngineBed::kWidth;
constexpr int kHeight = GLEngineBed::kHeight;
const Viewport kWhole(0, 0, kWidth, kHeight);
const Color kWhite(1.0f, 1.0f, 1.0f, 1.0f);

class GraphicsPrimitiveDrawerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        ASSERT_NE(bed.Graphics().GetBasicShader(), nullptr);
        bed.Clear();
    }
    void TearDown() override { EXPECT_EQ(log.Count(LogPriority::Error), 0u); }

    uint32_t At(int x, int y) const { return bed.ReadPixels()[size_t(y) * kWidth + x]; }
    uint32_t DrawCalls() const { return bed.Device().GetNumDrawCalls(); }

    // The pixel rectangle {left, top, right, bottom} around the projections of the points.
    static std::vector<int> ProjectedBounds(const Camera& camera, const std::vector<Vec3>& points) {
        float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
        for (const Vec3& point : points) {
            const Vec2 p = camera.Project(point, kWhole);
            left = std::min(left, p.x);
            top = std::min(top, p.y);
            right = std::max(right, p.x);
            bottom = std::max(bottom, p.y);
        }
        return {int(std::lround(left)), int(std::lround(top)), int(std::lround(right)), int(std::lround(bottom))};
    }

    // An orthographic camera at the origin looking along +z, the given units wide over the view
    // (and half that high).
    static Camera Orthographic(float width) {
        Camera camera;
        camera.SetType(CameraType::Orthographic);
        camera.SetWidth(width);
        camera.SetHeight(width * 0.5f);
        return camera;
    }

    static void ExpectNear(const std::vector<int>& actual, const std::vector<int>& expected, int tolerance) {
        ASSERT_EQ(actual.size(), 4u);
        for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "edge " << i;
    }

    LogCapture log;
    GLEngineBed bed;
};

TEST_F(GraphicsPrimitiveDrawerTest, TwoDModeDrawsInViewportPixels) {
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(kWhole);
        EXPECT_TRUE(drawer.Is2DMode());
        // Two triangles covering pixels 10..29 x 10..19, in red.
        drawer.SetColor(Color(1.0f, 0.0f, 0.0f, 1.0f));
        drawer.Begin(Type::Triangles);
        for (const Vec2& p : {Vec2(10, 10), Vec2(30, 10), Vec2(30, 20), Vec2(10, 10), Vec2(30, 20), Vec2(10, 20)})
            drawer.SetVertex(p);
        drawer.End();
        drawer.Flush();
    }
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{10, 10, 30, 20}));
    EXPECT_EQ(At(10, 10), Rgba(255, 0, 0));
    EXPECT_EQ(At(29, 19), Rgba(255, 0, 0));

    bed.Clear();
    {
        // A horizontal line through the centres of row 40, then a vertical one through column 100.
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(kWhole);
        drawer.SetColor(Color(0.0f, 1.0f, 0.0f, 1.0f));
        drawer.Begin(Type::Lines);
        drawer.SetVertex(Vec2(50.0f, 40.5f));
        drawer.SetVertex(Vec2(90.0f, 40.5f));
        drawer.SetVertex(Vec2(100.5f, 5.0f));
        drawer.SetVertex(Vec2(100.5f, 30.0f));
        drawer.End();
    }  // the destructor draws
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{50, 5, 101, 41}));
    EXPECT_EQ(At(70, 40), Rgba(0, 255, 0));
    EXPECT_EQ(At(100, 20), Rgba(0, 255, 0));
    EXPECT_EQ(At(70, 39), kBlack);
}

TEST_F(GraphicsPrimitiveDrawerTest, SolidBoxLandsWhereThePerspectiveCameraProjectsIt) {
    // A turned, lifted camera, so a wrong matrix order or handedness moves the box.
    Camera camera;
    camera.SetCoords(Coords::LookAt(Vec3(2.0f, 1.0f, -3.0f), Vec3(0.5f, 0.0f, 10.0f), Vec3(0.0f, 1.0f, 0.0f)));
    const ABBox box(Vec3(-1.0f, 0.5f, 9.0f), Vec3(1.5f, 1.0f, 2.0f));
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.SetCamera(nullptr, camera, kWhole);
        drawer.SetColor(kWhite);
        DrawSolidBox(drawer, box);
    }
    Vec3 corners[8];
    box.GetCorners(corners);
    ExpectNear(bed.FindDrawn(kBlack), ProjectedBounds(camera, {corners, corners + 8}), 1);
}

TEST_F(GraphicsPrimitiveDrawerTest, RegionGeometryIsDrawnInTheCameraRegionsFrame) {
    const Region cameraRegion(nullptr, 0, "camera", ABBox(), IntVec3(100, 0, -50), RegionId(1, 0, 0, 0));
    const Region boxRegion(nullptr, 1, "box", ABBox(), IntVec3(103, 1, -40), RegionId(2, 0, 0, 0));
    Camera camera;  // at the camera region's origin, looking along +z
    const OBBox box(Vec3(1.0f, 1.0f, 1.0f), Coords::Translation(Vec3(-3.0f, -1.0f, 0.0f)));
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        // Without a camera region, a region changes nothing.
        drawer.SetRegion(&boxRegion);
        drawer.SetCamera(&cameraRegion, camera, kWhole);
        EXPECT_EQ(drawer.GetCameraRegion(), &cameraRegion);
        drawer.SetRegion(&boxRegion);
        DrawWireframeBox(drawer, box);
    }
    // The box sits at (0, 0, 10) of the camera region: centred on the view.
    const OBBox moved(box.halfSize, Coords::Translation(Vec3(0.0f, 0.0f, 10.0f)));
    Vec3 corners[8];
    moved.GetCorners(corners);
    ExpectNear(bed.FindDrawn(kBlack), ProjectedBounds(camera, {corners, corners + 8}), 1);
}

TEST_F(GraphicsPrimitiveDrawerTest, AxisSphereFillsItsOrthographicExtent) {
    // 4 pixels a unit; the sphere of radius 3 spans 24 pixels around the view's centre.
    const Camera camera = Orthographic(32.0f);
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.SetCamera(nullptr, camera, kWhole);
        DrawAxisSphere(drawer, Vec3(2.0f, -1.0f, 10.0f), 3.0f, 65);
    }
    // x = 2 lies 8 pixels left of the centre (camera x maps to -u), y = -1 4 pixels down.
    ExpectNear(bed.FindDrawn(kBlack), {64 - 8 - 12, 32 + 4 - 12, 64 - 8 + 12, 32 + 4 + 12}, 1);

    // The solid circle of radius 10 pixels: filled to its rim.
    bed.Clear();
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(kWhole);
        DrawSolidCircle(drawer, Vec3(64.0f, 0.0f, 32.0f), 10.0f, 33);
    }
    ExpectNear(bed.FindDrawn(kBlack), {54, 22, 74, 42}, 1);
    for (const auto& [x, y] :
         {std::pair(64, 32), std::pair(56, 32), std::pair(71, 32), std::pair(64, 24), std::pair(64, 39)})
        EXPECT_EQ(At(x, y), Rgba(255, 255, 255)) << x << ", " << y;
    EXPECT_EQ(At(55, 23), kBlack);  // outside the rim, inside its box
}

TEST_F(GraphicsPrimitiveDrawerTest, PrimitivesOfOneKindBatchUntilTheStateChangesOrTheBatchIsFull) {
    GraphicsPrimitiveDrawer drawer(bed.Canvas());
    drawer.Enable2DMode(kWhole);
    const auto line = [&](float y) {
        drawer.Begin(Type::Lines);
        drawer.SetVertex(Vec2(0.0f, y));
        drawer.SetVertex(Vec2(10.0f, y));
        drawer.End();
    };
    const uint32_t start = DrawCalls();
    // 400 lines: one batch of 800 vertices, drawn by Flush in one call.
    for (int i = 0; i < 400; ++i) line(float(i % 60) + 0.5f);
    EXPECT_EQ(DrawCalls(), start);
    drawer.Flush();
    EXPECT_EQ(DrawCalls(), start + 1);
    // 500 lines fill a batch exactly: still one call.
    for (int i = 0; i < 500; ++i) line(float(i % 60) + 0.5f);
    drawer.Flush();
    EXPECT_EQ(DrawCalls(), start + 2);

    // 400 more, then a primitive of 300 vertices: the 800 are drawn first.
    for (int i = 0; i < 400; ++i) line(0.5f);
    drawer.Begin(Type::Lines);
    for (int i = 0; i < 300; ++i) drawer.SetVertex(Vec2(float(i % 100), 1.5f));
    drawer.End();
    EXPECT_EQ(DrawCalls(), start + 3);
    // Vertices beyond 1000 in one primitive are dropped; the batch of 300 is drawn first.
    drawer.Begin(Type::Lines);
    for (int i = 0; i < 1200; ++i) drawer.SetVertex(Vec2(float(i % 100), 2.5f));
    drawer.End();
    drawer.Flush();
    EXPECT_EQ(DrawCalls(), start + 5);

    // A change of kind, texture or shader draws what came before.
    const RenderTexture* texture = bed.Graphics().GetDefaultTexture();
    line(3.5f);
    drawer.Begin(Type::Triangles);  // kind
    EXPECT_EQ(DrawCalls(), start + 6);
    line(4.5f);
    drawer.SetTexture0(texture);  // texture
    line(5.5f);
    drawer.SetTexture0(texture);  // unchanged: no draw
    line(6.5f);
    drawer.SetShader(bed.Graphics().GetOverlayShader());  // shader
    line(7.5f);
    drawer.SetShader(bed.Graphics().GetOverlayShader());
    EXPECT_EQ(DrawCalls(), start + 8);
    drawer.Flush();
    drawer.Flush();  // nothing left
    EXPECT_EQ(DrawCalls(), start + 9);
}

TEST_F(GraphicsPrimitiveDrawerTest, WithoutAShaderTheBatchWaitsAndWhatCannotJoinItIsDropped) {
    GraphicsPrimitiveDrawer drawer(bed.Canvas());
    drawer.Enable2DMode(kWhole);
    const GraphicsShader2* const basic = drawer.GetShader();
    drawer.SetShader(nullptr);
    const uint32_t start = DrawCalls();
    // 400 lines (800 vertices) wait in the batch, in columns 0..9 of rows 0..59.
    for (int i = 0; i < 400; ++i) {
        drawer.Begin(Type::Lines);
        drawer.SetVertex(Vec2(0.0f, float(i % 60) + 0.5f));
        drawer.SetVertex(Vec2(10.0f, float(i % 60) + 0.5f));
        drawer.End();
    }
    // 300 more vertices would not fit and the batch cannot be drawn: they are dropped, as is a
    // triangle, which is of the other kind.
    drawer.Begin(Type::Lines);
    for (int i = 0; i < 300; ++i) drawer.SetVertex(Vec2(float(60 + i % 40), 20.5f));
    drawer.End();
    drawer.Begin(Type::Triangles);
    for (const Vec2& p : {Vec2(110, 10), Vec2(120, 10), Vec2(120, 20)}) drawer.SetVertex(p);
    drawer.End();
    EXPECT_EQ(DrawCalls(), start);
    // With a shader the waiting lines are drawn, in one call.
    drawer.SetShader(basic);
    drawer.Flush();
    EXPECT_EQ(DrawCalls(), start + 1);
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{0, 0, 10, 60}));
}

TEST_F(GraphicsPrimitiveDrawerTest, PrimitivesThatCannotBeStoredAreDroppedAndTheBuffersHandedBack) {
    RenderDynamicVertexBuffer* vertices = bed.Canvas().GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer* indices = bed.Canvas().GetDynamicIndexBuffer();
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(kWhole);
        // Another user holds the vertex buffer: the primitive is dropped.
        ASSERT_NE(vertices->Lock(64), nullptr);
        DrawAxisLines(drawer, Vec3(20.0f, 0.0f, 20.0f), 5.0f);
        vertices->Unlock();
        // ... or the index buffer: the vertex lock that succeeded is handed back.
        ASSERT_NE(indices->Lock(16), nullptr);
        DrawAxisLines(drawer, Vec3(20.0f, 0.0f, 20.0f), 5.0f);
        indices->Unlock();
        // Circles of fewer than two points draw nothing (and do not run for ever).
        DrawWireframeCircle(drawer, Vec3(40.0f, 0.0f, 30.0f), 10.0f, 0);
        DrawSolidCircle(drawer, Vec3(40.0f, 0.0f, 30.0f), 10.0f, 1);
        drawer.Flush();
    }
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{0, 0, 0, 0}));
    // Each refused lock is reported (the teardown then expects no other error).
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);
    for (const char* refused : {"Dynamic vertex buffer lock of 36000 bytes refused (already locked).",
                                "Dynamic index buffer lock of 1000 indices refused (already locked)."})
        EXPECT_TRUE(log.Contains(LogPriority::Error, refused)) << refused;
    log.Clear();
    {
        // Without a shader the batch waits; the destructor drops it and hands the locks back.
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(kWhole);
        drawer.SetShader(nullptr);
        DrawAxisLines(drawer, Vec3(20.0f, 0.0f, 20.0f), 5.0f);
        drawer.Flush();
    }
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{0, 0, 0, 0}));
    ASSERT_NE(vertices->Lock(64), nullptr);
    vertices->Unlock();
    ASSERT_NE(indices->Lock(16), nullptr);
    indices->Unlock();
}

TEST_F(GraphicsPrimitiveDrawerTest, OrientedQuadTurnsItsTextureTowardsTheTarget) {
    // A texture white on top, black below, on a quad whose top points right (at the target).
    std::vector<uint32_t> texels(16, 0xFF000000u);
    std::fill(texels.begin(), texels.begin() + 8, 0xFFFFFFFFu);
    RenderTexture* texture = bed.Device().CreateTextureFromPixels(4, 4, texels.data(), 1, 0);
    ASSERT_NE(texture, nullptr);
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(kWhole);
        drawer.SetTexture0(texture);
        Draw2DOrientedQuad(drawer, Vec2(64.0f, 32.0f), Vec2(100.0f, 32.0f), Vec2(20.0f, 40.0f));
    }
    // 40 pixels along the arrow (x 44..83), 20 across (y 22..41); the target's half is white
    // (sampled between texel rows, away from the filtered middle and the wrapped ends).
    const uint32_t white = Rgba(255, 255, 255);
    for (const auto& [x, y, color] : {std::tuple(74, 32, white), std::tuple(74, 22, white), std::tuple(74, 41, white),
                                      std::tuple(74, 21, kBlack), std::tuple(74, 42, kBlack),
                                      std::tuple(54, 32, kBlack)})
        EXPECT_EQ(At(x, y), color) << x << ", " << y;
    bed.Device().DestroyTexture(texture);
}

// An arrow flat across the view, 8 pixels a unit: its shaft a triangle from a base one unit wide
// to the tip, its head a triangle one unit wide whose base lies back from the tip by a fifth of
// the arrow's length. Just tip-side of that base the head is wide, just behind it only the thin
// shaft is there.
TEST_F(GraphicsPrimitiveDrawerTest, AnArrowsHeadIsAFifthOfItsLength) {
    const Camera camera = Orthographic(16.0f);
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.SetCamera(nullptr, camera, kWhole);
        // Outlines transparent: only the fill shows. The tip at x = 5, the head's base at x = 3
        // (pixel column 40; world x runs to the left on the screen).
        DrawArrow(drawer, Vec3(-5.0f, 0.0f, 5.0f), Vec3(5.0f, 0.0f, 5.0f), kWhite, Color(0.0f, 0.0f, 0.0f, 0.0f),
                  Vec3(0.0f, 0.0f, -1.0f));
    }
    const auto rows = [&](int x) {
        int count = 0;
        for (int y = 0; y < kHeight; ++y) count += At(x, y) != kBlack ? 1 : 0;
        return count;
    };
    const std::vector<int> drawn = bed.FindDrawn(kBlack);
    EXPECT_NEAR(drawn[0], 24, 3);  // the tip (a point: its last pixels stay empty)
    EXPECT_EQ(drawn[2], 104);      // the shaft's base
    EXPECT_GE(rows(39), 7);        // the head, almost a unit wide
    EXPECT_LE(rows(41), 3);        // the shaft, a fifth of a unit
    EXPECT_GE(rows(101), 7);       // the shaft's base, a unit wide
}

// The positions a drawing leaves in the canvas's vertex buffer: without a graphics engine the
// drawer has no shader, so its primitives wait in one batch (at most kMaxVertices).
std::vector<Vec3> Staged(const std::function<void(GraphicsCanvas&, GraphicsPrimitiveDrawer&)>& draw) {
    RecordingDevice device;
    RenderSurface* primary = device.CreatePrimarySurface(nullptr, RenderDeviceSettings());
    std::vector<Vec3> points;
    {
        GraphicsCanvas canvas(device, primary);
        GraphicsPrimitiveDrawer drawer(canvas);
        draw(canvas, drawer);
        const auto& buffer = static_cast<const RecordingDynamicVertexBuffer&>(*canvas.GetDynamicVertexBuffer());
        const auto* v = reinterpret_cast<const PrimitiveVertex*>(buffer.GetData().data() + buffer.GetLockOffset());
        for (size_t n = 0; n < GraphicsPrimitiveDrawer::kMaxVertices && v[n].color != 0; ++n)
            points.push_back(v[n].position);
    }
    device.DestroyRenderSurface(primary);
    return points;
}

// Solid shapes are closed and wound alike, counter-clockwise seen from outside: every edge of a
// triangle is met once the other way round by another, and the signed volume is the shape's.
TEST(PrimitiveShapesTest, SolidShapesAreClosedAndWoundAlike) {
    const auto volume = [](const std::vector<Vec3>& v) {
        const auto key = [](const Vec3& p) { return std::tuple(p.x, p.y, p.z); };
        std::map<std::pair<std::tuple<float, float, float>, std::tuple<float, float, float>>, int> edges;
        float signedVolume = 0.0f;
        for (size_t t = 0; t + 2 < v.size(); t += 3) {
            for (size_t i = 0; i < 3; ++i) ++edges[{key(v[t + i]), key(v[t + (i + 1) % 3])}];
            signedVolume += Dot(v[t], Cross(v[t + 1], v[t + 2])) / 6.0f;
        }
        for (const auto& [edge, times] : edges) {
            EXPECT_EQ(times, 1);
            EXPECT_EQ(edges.count({edge.second, edge.first}), 1u);
        }
        return std::pair(v.size(), signedVolume);
    };
    EXPECT_EQ(volume(Staged([](auto&, auto& d) { DrawSolidBox(d, ABBox(Vec3(1, 2, 3), Vec3(1, 2, 3))); })),
              std::pair(size_t(36), 48.0f));
    EXPECT_EQ(volume(Staged([](auto&, auto& d) { DrawSolidTetrahedron(d, Vec3(1, 2, 3), 3.0f); })),
              std::pair(size_t(24), 36.0f));
}

// Circles close: every vertex is met by another (no loose line end, no gap in a disc's rim), and
// every point lies on the radius; so do the debug renderer's sphere and cone, drawn through the drawer.
TEST(PrimitiveShapesTest, CirclesAndSpheresClose) {
    const Vec3 centre(1.0f, 2.0f, 3.0f);
    DebugRenderManager debug;
    const auto flush = [&debug](GraphicsCanvas& canvas) { debug.Flush(canvas, nullptr, Camera(), kWhole); };
    const struct {
        const char* name;
        std::function<void(GraphicsCanvas&, GraphicsPrimitiveDrawer&)> draw;
        size_t vertices;
        bool onRadius;  // every point (a disc's centre and a cone's apex are not)
    } shapes[] = {
        {"circle", [&](auto&, auto& d) { DrawWireframeCircle(d, centre, 2.0f, 9); }, 16, true},
        {"disc", [&](auto&, auto& d) { DrawSolidCircle(d, centre, 2.0f, 9); }, 24, false},
        {"axis sphere", [&](auto&, auto& d) { DrawAxisSphere(d, centre, 2.0f, 7); }, 36, true},
        // 15 of its 16 rings fit in the batch.
        {"debug sphere", [&](auto& c, auto&) { debug.RenderSphere(nullptr, Sphere(centre, 2.0f), kWhite); flush(c); },
         960, true},
        {"debug cone",
         [&](auto& c, auto&) { debug.RenderCone(nullptr, centre, centre + Vec3(0, 0, 2), 0.5f, kWhite); flush(c); }, 60,
         false},
    };
    for (const auto& shape : shapes) {
        const std::vector<Vec3> points = Staged(shape.draw);
        EXPECT_EQ(points.size(), shape.vertices) << shape.name;
        for (size_t i = 0; i < points.size(); ++i) {
            const float radius = (points[i] - centre).Length();
            EXPECT_TRUE(!shape.onRadius || std::fabs(radius - 2.0f) < 1e-5f) << shape.name << " " << i << " " << radius;
            size_t met = 0;
            for (size_t j = 0; j < points.size(); ++j) met += j != i && (points[j] - points[i]).Length() < 1e-4f;
            EXPECT_GT(met, 0u) << shape.name << " point " << i;
        }
    }
}

}  // namespace
}  // namespace GAME::test
