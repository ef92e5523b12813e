// The debug render manager on the GL device: shapes land over the scene where the camera puts
// them, in their regions; requests from two threads are each drawn once and freed; text needs a
// font and a place in front of the camera; disabled and region-less requests queue nothing.

#include "render/DebugRenderManager.h"

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/Frustum.h"
#include "core/OBBox.h"
#include "core/Singleton.h"
#include "core/Sphere.h"
#include "render/Camera.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "render/StyleManager.h"
#include "support/GLEngineBed.h"
#include "support/GLGraphicsBed.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"
#include "world/Region.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace GAME::test {
namespace {

constexpr uint32_t kBlack = Rgba(0, 0, 0);
constexpr int kWidth = GLEngineBed::kWidth;
constexpr int kHeight = GLEngineBed::kHeight;
const Viewport kWhole(0, 0, kWidth, kHeight);
const Color kRed(1.0f, 0.0f, 0.0f, 1.0f);

// Lines on pixel edges may land on either side.
void ExpectNear(const std::vector<int>& actual, const std::vector<int>& expected) {
    ASSERT_EQ(actual.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(actual[i], expected[i], 1) << "edge " << i;
}

class DebugRenderManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        bed.Clear();
        // 4 pixels a unit, looking along +z from z = -10.
        camera.SetType(CameraType::Orthographic);
        camera.SetWidth(32.0f);
        camera.SetHeight(16.0f);
        camera.SetCoords(Coords::Translation(Vec3(0.0f, 0.0f, -10.0f)));
    }
    void TearDown() override { EXPECT_EQ(log.Count(LogPriority::Error), 0u); }

    void Flush(Region* cameraRegion = nullptr) { manager.Flush(bed.Canvas(), cameraRegion, camera, kWhole); }
    // A grey wall across the whole view at z = 0, written into the depth buffer.
    void DrawScene() {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.SetCamera(nullptr, camera, kWhole);
        drawer.SetColor(Color(0.5f, 0.5f, 0.5f, 1.0f));
        DrawSolidBox(drawer, ABBox(Vec3(), Vec3(100.0f, 100.0f, 0.1f)));
    }
    uint32_t At(int x, int y) const { return bed.ReadPixels()[size_t(y) * kWidth + x]; }
    uint32_t Faces() const { return bed.Device().GetNumFacesRendered(); }

    LogCapture log;
    GLEngineBed bed;
    Camera camera;
    DebugRenderManager manager;
};

TEST_F(DebugRenderManagerTest, ShapesDrawOverTheSceneInTheCameraRegionsFrame) {
    Region cameraRegion(nullptr, 0, "camera", ABBox(), IntVec3(10, 0, 0), RegionId(1, 0, 0, 0));
    Region boxRegion(nullptr, 1, "box", ABBox(), IntVec3(12, 1, 0), RegionId(2, 0, 0, 0));
    DrawScene();
    const uint32_t grey = At(0, 0);
    // Behind the wall, at (2, 1, 5) of the camera region: 8 pixels left and 4 up of the centre.
    manager.RenderBox(&boxRegion, ABBox(Vec3(0.0f, 0.0f, 5.0f), Vec3(2.0f, 1.0f, 1.0f)), kRed);
    Flush(&cameraRegion);
    const std::vector<int> box = bed.FindDrawn(grey);
    ExpectNear(box, {64 - 8 - 8, 32 - 4 - 4, 64 - 8 + 8, 32 - 4 + 4});
    EXPECT_EQ(At(64 - 8, box[1]), Rgba(255, 0, 0));

    // A frustum (the box x in -5..5, y in -3..3, z in 1..20) is outlined face by face: seen along z,
    // its rectangle.
    bed.Clear();
    Camera viewed;
    viewed.SetType(CameraType::Orthographic);
    viewed.SetWidth(10.0f);
    viewed.SetHeight(6.0f);
    viewed.SetFarPlane(20.0f);
    const uint32_t faces = Faces();
    manager.RenderFrustum(&cameraRegion, viewed.GetFrustum(kWhole), kRed);
    Flush(&cameraRegion);
    EXPECT_EQ(Faces() - faces, 6u * 4u);
    const std::vector<int> outline = bed.FindDrawn(kBlack);
    ExpectNear(outline, {64 - 20, 32 - 12, 64 + 20, 32 + 12});
    // Only the outline: every face is a rectangle seen edge on or head on, nothing crosses it.
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    int inside = 0;
    for (int y = outline[1] + 2; y < outline[3] - 2; ++y)
        for (int x = outline[0] + 2; x < outline[2] - 2; ++x) inside += pixels[size_t(y) * kWidth + x] != kBlack;
    EXPECT_EQ(inside, 0);

    // A sphere of radius 2 spans 16 pixels around its centre.
    bed.Clear();
    manager.RenderSphere(&cameraRegion, Sphere(Vec3(), 2.0f), kRed);
    Flush(&cameraRegion);
    ExpectNear(bed.FindDrawn(kBlack), {64 - 8, 32 - 8, 64 + 8, 32 + 8});
}

TEST_F(DebugRenderManagerTest, RequestsFromTwoThreadsAreEachDrawnOnceAndFreed) {
    Region region(nullptr, 0, "region", ABBox(), IntVec3(), RegionId(1, 0, 0, 0));
    constexpr int kRequests = 300;
    const auto request = [&](float y) {
        for (int i = 0; i < kRequests; ++i)
            manager.RenderLine(&region, Vec3(-1.0f, y, 0.0f), Vec3(1.0f, y, 0.0f), kRed, nullptr);
    };
    std::thread first(request, 1.0f);
    std::thread second(request, -1.0f);
    first.join();
    second.join();
    EXPECT_EQ(manager.GetNumQueued(), size_t(2 * kRequests));
    const uint32_t faces = Faces();
    Flush();
    EXPECT_EQ(Faces() - faces, uint32_t(2 * kRequests));
    EXPECT_EQ(manager.GetNumQueued(), 0u);
    Flush();
    EXPECT_EQ(Faces() - faces, uint32_t(2 * kRequests));

    // Every kind draws its lines: box 12, arrow 3, cone 30, sphere 16 rings of 32.
    manager.RenderBox(&region, OBBox(Vec3(1.0f, 1.0f, 1.0f), Coords()), kRed);
    manager.RenderArrow(&region, Vec3(), Vec3(1.0f, 0.0f, 0.0f), kRed);
    manager.RenderCone(&region, Vec3(), Vec3(0.0f, 0.0f, 2.0f), 0.5f, kRed);
    manager.RenderSphere(&region, Sphere(Vec3(), 1.0f), kRed);
    Flush();
    EXPECT_EQ(Faces() - faces, uint32_t(2 * kRequests + 12 + 3 + 30 + 16 * 32));
}

TEST_F(DebugRenderManagerTest, DisabledAndRegionlessRequestsQueueNothingAndKeepTheDepth) {
    Region region(nullptr, 0, "region", ABBox(), IntVec3(), RegionId(1, 0, 0, 0));
    manager.RenderText("label", Vec3(), kRed);
    manager.RenderBox(OBBox(), kRed);
    manager.RenderBox(ABBox(), kRed);
    manager.RenderSphere(Sphere(), kRed);
    manager.RenderFrustum(Frustum(), kRed);
    manager.RenderArrow(Vec3(), Vec3(1.0f, 0.0f, 0.0f), kRed);
    manager.RenderCone(Vec3(), Vec3(1.0f, 0.0f, 0.0f), 0.5f, kRed);
    manager.Disable();
    manager.RenderBox(&region, ABBox(Vec3(), Vec3(1.0f, 1.0f, 1.0f)), kRed);
    manager.RenderText("label", Vec2(10.0f, 10.0f), kRed);
    EXPECT_EQ(manager.GetNumQueued(), 0u);

    // A flush with nothing queued leaves the scene's depth: a box behind the wall stays hidden.
    DrawScene();
    const uint32_t grey = At(0, 0);
    Flush();
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.SetCamera(nullptr, camera, kWhole);
        DrawSolidBox(drawer, ABBox(Vec3(0.0f, 0.0f, 5.0f), Vec3(1.0f, 1.0f, 1.0f)));
    }
    EXPECT_EQ(bed.FindDrawn(grey), (std::vector<int>{0, 0, 0, 0}));
    manager.Enable();
    manager.RenderBox(&region, ABBox(Vec3(), Vec3(1.0f, 1.0f, 1.0f)), kRed);
    EXPECT_EQ(manager.GetNumQueued(), 1u);
}

TEST_F(DebugRenderManagerTest, TextNeedsAFontAndAPlaceInFrontOfTheCamera) {
    Region cameraRegion(nullptr, 0, "camera", ABBox(), IntVec3(0, 0, 100), RegionId(1, 0, 0, 0));
    Region labelRegion(nullptr, 1, "label", ABBox(), IntVec3(0, 0, 90), RegionId(2, 0, 0, 0));
    manager.RenderText("ab", Vec2(10.0f, 20.0f), kRed);  // no font yet
    Flush();
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{0, 0, 0, 0}));

    const GraphicsFont* font = bed.Graphics().LoadFont(GLEngineBed::kBlockFont);
    manager.SetFont(font);
    // Screen text in the utility style: two blocks one pixel below the pen.
    manager.RenderText("ab", Vec2(10.0f, 20.0f), kRed);
    Flush();
    EXPECT_EQ(bed.FindDrawn(kBlack),
              (std::vector<int>{10, 21, 10 + 2 * BlockFont::kGlyphWidth, 21 + BlockFont::kGlyphHeight}));

    // World text at the projected point: (-2, 1, 15) of the label region is (-2, 1, 5) of the
    // camera region, 8 pixels right of and 4 above the centre. Behind the camera: nothing.
    bed.Clear();
    manager.RenderText("ab", &labelRegion, Vec3(-2.0f, 1.0f, 15.0f), kRed);
    manager.RenderText("ab", &labelRegion, Vec3(0.0f, 0.0f, -5.0f), kRed);
    Flush(&cameraRegion);
    EXPECT_EQ(bed.FindDrawn(kBlack),
              (std::vector<int>{72, 29, 72 + 2 * BlockFont::kGlyphWidth, 29 + BlockFont::kGlyphHeight}));
    // In a viewport over part of the target, 2 pixels a unit from (16, 8): 4 right of and 2 above its centre.
    bed.Clear();
    manager.RenderText("ab", &labelRegion, Vec3(-2.0f, 1.0f, 15.0f), kRed);
    manager.Flush(bed.Canvas(), &cameraRegion, camera, Viewport(16, 8, 64, 32));
    EXPECT_EQ(bed.FindDrawn(kBlack),
              (std::vector<int>{52, 23, 52 + 2 * BlockFont::kGlyphWidth, 23 + BlockFont::kGlyphHeight}));
    bed.Graphics().UnloadFont(font);
}

// Seen along their axes the shapes show their measures: a cone's base circle has the radius
// of its length times the tangent of its angle, an arrow's head strokes reach aside a tenth of
// its length.
TEST_F(DebugRenderManagerTest, ConesAndArrowsHaveTheirMeasures) {
    // Each in its region, (2, 1, 0) from the camera's: 8 pixels left of and 4 above the centre.
    Region region(nullptr, 0, "region", ABBox(), IntVec3(), RegionId(1, 0, 0, 0));
    Region cameraRegion(nullptr, 1, "camera", ABBox(), IntVec3(-2, -1, 0), RegionId(2, 0, 0, 0));
    // Length 2 at 0.9 radians: radius 2 tan(0.9) = 2.52 units, about 10 pixels.
    manager.RenderCone(&region, Vec3(0.0f, 0.0f, 0.0f), Vec3(0.0f, 0.0f, 2.0f), 0.9f, kRed);
    Flush(&cameraRegion);
    const std::vector<int> cone = bed.FindDrawn(kBlack);
    const float radius = 2.0f * std::tan(0.9f) * 4.0f;
    for (int edge : {0, 1}) EXPECT_NEAR(float(cone[size_t(edge)]), (edge == 0 ? 56 : 28) - radius, 1.5f) << edge;
    for (int edge : {2, 3}) EXPECT_NEAR(float(cone[size_t(edge)]), (edge == 2 ? 56 : 28) + radius, 1.5f) << edge;

    // An arrow 12 units long across the view: strokes 1.2 units (4.8 pixels) either side.
    bed.Clear();
    manager.RenderArrow(&region, Vec3(-6.0f, 0.0f, 0.0f), Vec3(6.0f, 0.0f, 0.0f), kRed);
    Flush(&cameraRegion);
    ExpectNear(bed.FindDrawn(kBlack), {56 - 24, 28 - 5, 56 + 24, 28 + 5});
}

// The engine's own debug renderer writes world text from the start: the engine hands it its
// default font, and takes it back (with the renderer) at shutdown.
TEST_F(DebugRenderManagerTest, TheRunningEnginesRendererDrawsWorldText) {
    ASSERT_TRUE(Singleton<DebugRenderManager>::HasInstantiated());
    DebugRenderManager& engines = *Singleton<DebugRenderManager>::Get();
    Region region(nullptr, 0, "region", ABBox(), IntVec3(), RegionId(1, 0, 0, 0));
    // (-2, 1, 5) in front of the camera: 8 pixels right of and 4 above the centre.
    engines.RenderText("ab", &region, Vec3(-2.0f, 1.0f, 5.0f), kRed);
    engines.Flush(bed.Canvas(), &region, camera, kWhole);
    EXPECT_EQ(bed.FindDrawn(kBlack),
              (std::vector<int>{72, 29, 72 + 2 * BlockFont::kGlyphWidth, 29 + BlockFont::kGlyphHeight}));
    EXPECT_EQ(At(72, 29), Rgba(255, 0, 0));
    bed.GetEngine().Shutdown();
    EXPECT_FALSE(Singleton<DebugRenderManager>::HasInstantiated());
}

}  // namespace
}  // namespace GAME::test
