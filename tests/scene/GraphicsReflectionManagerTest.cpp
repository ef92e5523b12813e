// Planar reflections: the grouping of planes, and on the GL device a red box above a plane drawn
// mirrored into the reflection surface, read back, with what lies below the plane clipped away.

#include "scene/GraphicsReflectionManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SampleMeshShaders.h"
#include "SampleScene.h"
#include "core/Frustum.h"
#include "core/WorldCoords.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/RenderDevice.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsNormalRenderer.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "support/OneRegionScene.h"

namespace GAME {
namespace {

constexpr int kWidth = test::GLEngineBed::kWidth;
constexpr int kHeight = test::GLEngineBed::kHeight;

Region* FakeRegion(int& key) { return reinterpret_cast<Region*>(&key); }

GraphicsReflectionPlane Horizontal(Region* region, float height, const Vec3& centre, const Vec3& halfSize) {
    GraphicsReflectionPlane plane;
    plane.plane = Plane(Vec3(0.0f, 1.0f, 0.0f), -height);
    plane.box = ABBox(Vec3(centre.x, height, centre.z), halfSize);
    plane.region = region;
    return plane;
}

TEST(GraphicsReflectionManager, PlanesMergeWhenTheyLieInOnePlane) {
    int key = 0;
    GraphicsReflectionPlane a = Horizontal(FakeRegion(key), 0.0f, Vec3(), Vec3(1, 0, 1));
    GraphicsReflectionPlane b = Horizontal(FakeRegion(key), 0.2f, Vec3(5, 0, 0), Vec3(1, 0, 1));
    GraphicsReflectionManager close;
    close.AddReflectionPlane(a);
    close.AddReflectionPlane(b);
    ASSERT_EQ(close.GetNumGroups(), 1);
    EXPECT_EQ(close.GetGroupPlanes(0), (mem::vector<GraphicsReflectionPlane*>{&a, &b}));

    GraphicsReflectionPlane c = Horizontal(FakeRegion(key), 0.3f, Vec3(), Vec3(1, 0, 1));
    GraphicsReflectionPlane tilted = Horizontal(FakeRegion(key), 0.0f, Vec3(), Vec3(1, 0, 1));
    tilted.plane.normal = Vec3(0.0f, 0.95f, std::sqrt(1.0f - 0.95f * 0.95f));  // dot exactly 0.95
    GraphicsReflectionPlane homeless = Horizontal(nullptr, 0.0f, Vec3(), Vec3(1, 0, 1));
    GraphicsReflectionManager apart;
    for (GraphicsReflectionPlane* plane : {&a, &c, &tilted, &homeless}) apart.AddReflectionPlane(*plane);
    ASSERT_EQ(apart.GetNumGroups(), 3);
    EXPECT_EQ(apart.GetGroupPlanes(1), (mem::vector<GraphicsReflectionPlane*>{&c}));
    EXPECT_EQ(apart.GetGroupPlanes(2), (mem::vector<GraphicsReflectionPlane*>{&tilted}));
}

class ReflectionPixelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        bed.WriteFile(sample::kStandardShader, sample::MakeMeshShaderFile(sample::MeshShaderKind::Standard, false));
        bed.WriteFile(sample::kPortalMaskShader, sample::MakePortalMaskShaderFile());
        bed.WriteFile(GraphicsNormalRenderer::kInvTransparencyMaskTexture, sample::MakeInvTransparencyMaskFile());
        bed.WriteFile(sample::kLitBoxMesh, sample::MakeLitBoxMeshFile());
        GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 64, 64);
        GraphicsSceneRenderer::CreateResources(bed.Graphics());
    }
    void TearDown() override {
        GraphicsSceneRenderer::DestroyResources(bed.Graphics());
        GraphicsNormalRenderer::DestroyRenderTargets(bed.Graphics());
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    }
    void Box(GraphicsMeshInstance& instance, const Vec3& position, const Color& color) {
        instance.SetMesh(sample::kLitBoxMesh);
        ASSERT_NE(instance.GetMesh(), nullptr);
        instance.GetMesh()->EnsureAvailable();
        instance.SetObjectToRegionCoords(Coords::Translation(position));
        instance.SetDiffuseColor(color);
    }

    test::LogCapture log;
    test::GLEngineBed bed;
    int regionKey = 0;
};

// Seen from above and in front of the plane y = 0, a red box at height 1 shows in the reflection
// where its mirror image at height -1 lies in the view (the surface upside down); a green box
// below the plane is clipped away; a plane whose water lies out of view gets no surface.
TEST_F(ReflectionPixelTest, ABoxAboveThePlaneShowsMirroredAndWhatLiesBelowIsClipped) {
    Region* region = FakeRegion(regionKey);
    GraphicsMeshInstance red, green;
    Box(red, Vec3(0.0f, 1.0f, 0.0f), Color(1.0f, 0.0f, 0.0f, 1.0f));
    Box(green, Vec3(2.0f, -1.0f, 0.0f), Color(0.0f, 1.0f, 0.0f, 1.0f));
    GraphicsReflectionPlane water = Horizontal(region, 0.0f, Vec3(), Vec3(6, 0, 6));
    GraphicsReflectionPlane aside = Horizontal(region, 5.0f, Vec3(300, 0, 0), Vec3(2, 0, 2));
    test::OneRegionScene world(
        region,
        [&](GraphicsSceneRenderer& renderer, const Frustum&) {
            renderer.AddRenderable(&red, region);
            renderer.AddRenderable(&green, region);
        },
        [&](GraphicsReflectionManager& manager, const Frustum&) {
            for (GraphicsReflectionPlane* plane : {&water, &aside}) {
                manager.AddReflectionPlane(*plane);
                manager.UpdatePlaneElementBounds(plane, plane->box);
            }
        });

    Camera camera;
    camera.SetCoords(Coords::LookAt(Vec3(0.0f, 2.0f, -6.0f), Vec3(0.0f, -0.5f, 0.0f), Vec3(0.0f, 1.0f, 0.0f)));
    const Viewport viewport(0, 0, kWidth, kHeight);
    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    sun.SetColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    const Color ambient(0.5f, 0.5f, 0.5f, 1.0f);
    GraphicsReflectionManager manager(&world);
    GraphicsReflectionManager::RenderSet set{&camera, region, viewport, &sun, &ambient, &ambient};
    EXPECT_EQ(manager.RenderReflections(bed.Canvas(), set), 1);
    ASSERT_NE(water.surface, nullptr);
    EXPECT_EQ(aside.surface, nullptr);

    // The surface stretched over the window: what the main view shows at (u, v) lies at (u, 1 - v).
    bed.Clear();
    const Rect whole(0.0f, 0.0f, float(kWidth), float(kHeight));
    const float size = float(GraphicsReflectionManager::kSurfaceSize);
    bed.Canvas().RenderRect(whole, Rect(0.0f, 0.0f, size, size), water.surface->GetTexture(), RenderBlendFactor::One,
                            RenderBlendFactor::Zero, Color(1.0f, 1.0f, 1.0f, 1.0f), false);
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    const auto at = [&](const Vec3& point) {
        const Vec2 p = camera.Project(point, viewport);
        const uint32_t c = pixels[size_t(kHeight - 1 - int(p.y)) * kWidth + size_t(int(p.x))];
        return Vec3(float(c & 0xFF), float(c >> 8 & 0xFF), float(c >> 16 & 0xFF));
    };
    // The red box's mirror image: its top face (mirrored to y -1.5) and front face.
    for (const Vec3& p : {Vec3(0.0f, -1.0f, -0.5f), Vec3(0.3f, -0.7f, -0.5f), Vec3(-0.3f, -1.3f, -0.5f)}) {
        EXPECT_GT(at(p).x, 100.0f) << p.x << " " << p.y;
        EXPECT_LT(at(p).y, 30.0f);
    }
    // Beside and above the image (the unmirrored box's place) nothing was drawn.
    for (const Vec3& p : {Vec3(-1.2f, -1.0f, -0.5f), Vec3(0.0f, 1.0f, -0.5f), Vec3(1.2f, -1.0f, -0.5f)}) {
        EXPECT_LT(at(p).x, 30.0f) << p.x << " " << p.y;
    }
    // The green box below the plane would show beside the image at height 1 (and -1): clipped.
    EXPECT_LT(at(Vec3(2.0f, 1.0f, -0.5f)).y, 30.0f);
    EXPECT_LT(at(Vec3(2.0f, -1.0f, -0.5f)).y, 30.0f);
}

}  // namespace
}  // namespace GAME
