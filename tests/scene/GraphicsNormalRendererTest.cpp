// The normal renderer on the GL device, read back, with the sample data's standard shader and lit
// box; and the planar reflections drawn with it.

#include "scene/GraphicsNormalRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "MeshInstanceTestData.h"
#include "SampleData.h"
#include "SampleMeshShaders.h"
#include "SampleScene.h"
#include "core/Frustum.h"
#include "core/GameClock.h"
#include "core/MathExpect.h"
#include "core/OBBox.h"
#include "core/WorldCoords.h"
#include "engine/Actor.h"
#include "files/BaseResourceManager.h"
#include "files/FileSystem.h"
#include "files/Options.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsEngineSettings.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "render/GraphicsShader2.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsReflectionManager.h"
#include "scene/GraphicsRenderable.h"
#include "scene/GraphicsShadowMap.h"
#include "scene/GraphicsShadowMapRenderer.h"
#include "scene/SceneWorld.h"
#include "support/GLEngineBed.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/OffsetRegionsScene.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

constexpr int kWidth = test::GLEngineBed::kWidth;
constexpr int kHeight = test::GLEngineBed::kHeight;

struct Rgb {
    int r, g, b;
};

Rgb At(const std::vector<uint32_t>& pixels, const Vec2& p) {
    const uint32_t c = pixels[size_t(int(p.y)) * kWidth + size_t(int(p.x))];
    return {int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)};
}

bool Near(const Rgb& c, int r, int g, int b, int tolerance) {
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

class NormalRendererPixelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        bed.WriteFile(sample::kStandardShader, sample::MakeMeshShaderFile(sample::MeshShaderKind::Standard, false));
        bed.WriteFile(sample::kPortalMaskShader, sample::MakePortalMaskShaderFile());
        bed.WriteFile(GraphicsNormalRenderer::kInvTransparencyMaskTexture, sample::MakeInvTransparencyMaskFile());
        bed.WriteFile(sample::kLitBoxMesh, sample::MakeLitBoxMeshFile());
        GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 256, 128);
        GraphicsSceneRenderer::CreateResources(bed.Graphics());
    }
    void TearDown() override {
        GraphicsSceneRenderer::DestroyResources(bed.Graphics());
        GraphicsNormalRenderer::DestroyRenderTargets(bed.Graphics());
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    }

    // A lit box of the colour, scaled and placed in the fake region.
    void Box(GraphicsMeshInstance& instance, const Vec3& position, float scale, const Color& color) {
        instance.SetMesh(sample::kLitBoxMesh);
        ASSERT_NE(instance.GetMesh(), nullptr);
        instance.GetMesh()->EnsureAvailable();
        instance.SetScale(Vec3(scale, scale, scale));
        instance.SetObjectToRegionCoords(Coords::Translation(position));
        instance.SetDiffuseColor(color);
    }
    Region* FakeRegion() { return reinterpret_cast<Region*>(&regionKey); }
    void View(GraphicsNormalRenderer& renderer, const Vec3& eye, const Vec3& target) {
        camera.SetCoords(Coords::LookAt(eye, target, Vec3(0.0f, 1.0f, 0.0f)));
        renderer.SetViewer(nullptr, camera, Viewport(0, 0, kWidth, kHeight), camera.GetFrustum(Viewport(0, 0, kWidth, kHeight)));
    }
    std::vector<uint32_t> Draw(GraphicsNormalRenderer& renderer) {
        renderer.Render(bed.Canvas(), false, false);
        return bed.ReadPixels();
    }
    Vec2 Project(const Vec3& point) const { return camera.Project(point, Viewport(0, 0, kWidth, kHeight)); }

    test::LogCapture log;
    test::GLEngineBed bed;
    Camera camera;
    int regionKey = 0;
};

// Seen from (-4, 0, -4), the box shows its -x face (lit by a red sun shining along +x and a green
// point light at (-3, 0, 0)) and its -z face, turned away from both: ambient grey only.
TEST_F(NormalRendererPixelTest, LitBoxShowsTheLightsOnFacesTurnedToThemAndAmbientElsewhere) {
    GraphicsMeshInstance box;
    Box(box, Vec3(), 2.0f, Color(1.0f, 1.0f, 1.0f, 1.0f));
    GraphicsNormalRenderer renderer;
    View(renderer, Vec3(-4.0f, 0.0f, -4.0f), Vec3());
    renderer.SetSkyAmbientColor(Color(0.2f, 0.2f, 0.2f, 1.0f));
    renderer.SetGroundAmbientColor(Color(0.2f, 0.2f, 0.2f, 1.0f));
    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    sun.SetColor(Color(0.8f, 0.0f, 0.0f, 1.0f));
    sun.SetObjectToWorldCoords(WorldCoords(nullptr, Coords::LookIn(Vec3(), Vec3(1, 0, 0), Vec3(0, 1, 0))));
    renderer.AddLight(sun);
    GraphicsLight lamp;
    lamp.SetColor(Color(0.0f, 0.6f, 0.0f, 1.0f));
    lamp.SetRadius(10.0f);
    lamp.SetObjectToWorldCoords(WorldCoords(nullptr, Coords::Translation(Vec3(-3.0f, 0.0f, 0.0f))));
    renderer.AddLight(lamp);
    // A lamp wholly behind the camera covers nothing and is dropped.
    GraphicsLight behind = lamp;
    behind.SetRadius(1.0f);
    behind.SetObjectToWorldCoords(WorldCoords(nullptr, Coords::Translation(Vec3(-20.0f, 0.0f, -20.0f))));
    renderer.AddLight(behind);
    renderer.AddRenderable(&box, FakeRegion());
    mem::vector<GraphicsNormalRenderer::LightRecord> records;
    renderer.BuildLightRecords(records);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].light->GetType(), GraphicsLight::Type::Directional);  // both light the whole view

    const std::vector<uint32_t> pixels = Draw(renderer);
    const Rgb litFace = At(pixels, Project(Vec3(-1.0f, 0.0f, -0.3f)));
    const Rgb darkFace = At(pixels, Project(Vec3(-0.3f, 0.0f, -1.0f)));
    EXPECT_TRUE(Near(darkFace, 51, 51, 51, 3)) << darkFace.r << " " << darkFace.g << " " << darkFace.b;
    EXPECT_GE(litFace.r, 250);
    EXPECT_GT(litFace.g, 51 + 40);  // ambient and the lamp at about 2 units
    EXPECT_LE(litFace.g, 51 + 160);
    EXPECT_NEAR(litFace.b, 51, 3);

    // Without lighting only the ambient passes draw: both faces grey.
    GraphicsNormalRenderer unlit;
    View(unlit, Vec3(-4.0f, 0.0f, -4.0f), Vec3());
    unlit.SetSkyAmbientColor(Color(0.2f, 0.2f, 0.2f, 1.0f));
    unlit.SetGroundAmbientColor(Color(0.2f, 0.2f, 0.2f, 1.0f));
    unlit.AddLight(sun);
    unlit.EnableLighting(false);
    unlit.AddRenderable(&box, FakeRegion());
    const std::vector<uint32_t> flat = Draw(unlit);
    EXPECT_TRUE(Near(At(flat, Project(Vec3(-1.0f, 0.0f, -0.3f))), 51, 51, 51, 3));
    EXPECT_TRUE(Near(At(flat, Project(Vec3(-0.3f, 0.0f, -1.0f))), 51, 51, 51, 3));

    // In low quality the lights that cast shadows go first.
    bed.Graphics().EnableShadows(true);
    bed.Graphics().UseLowQualityLighting(true);
    GraphicsNormalRenderer lowQuality;
    View(lowQuality, Vec3(-4.0f, 0.0f, -4.0f), Vec3());
    lowQuality.AddLight(sun);
    lamp.SetCastsShadows(true);
    lowQuality.AddLight(lamp);
    lowQuality.BuildLightRecords(records);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].light->GetType(), GraphicsLight::Type::Point);
}

// Show lights draws each light's reach (the circles and axes of its sphere) and the outline of
// its marker in white, the marker itself in the light's colour, and nothing else.
TEST_F(NormalRendererPixelTest, ShowLightsDrawsTheReachInWhiteAndTheMarkerInTheLightsColour) {
    GraphicsNormalRenderer renderer;
    View(renderer, Vec3(0.0f, 2.0f, -4.0f), Vec3());
    renderer.ShowLights(true);
    GraphicsLight lamp;
    lamp.SetColor(Color(1.0f, 0.0f, 0.0f, 1.0f));
    lamp.SetRadius(3.0f);
    renderer.AddLight(lamp);
    // A smaller green light above and before it, drawn after the red one.
    const Vec3 smallAt(1.3f, 1.6f, -0.5f);
    GraphicsLight small = lamp;
    small.SetColor(Color(0.0f, 1.0f, 0.0f, 1.0f));
    small.SetRadius(0.8f);
    small.SetObjectToWorldCoords(WorldCoords(nullptr, Coords::Translation(smallAt)));
    renderer.AddLight(small);
    bed.Clear();
    const std::vector<uint32_t> pixels = Draw(renderer);
    // Whether the pixel of the point or one next to it has the colour.
    const auto near = [&](const Vec3& point, uint32_t colour) {
        const Vec2 p = Project(point);
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if ((pixels[size_t(int(p.y) + dy) * kWidth + size_t(int(p.x) + dx)] | 0xFF000000u) == colour)
                    return true;
            }
        }
        return false;
    };
    constexpr uint32_t kWhite = 0xFFFFFFFFu;
    // Corners of the circles in the x-y plane (32 segments), the x axis, and the marker's outline
    // on its upper right edge (facing the camera on one side only).
    const float angle = 6.2831853f / 32.0f;
    for (const Vec3& p : {Vec3(3.0f * std::cos(angle), 3.0f * std::sin(angle), 0.0f),
                          Vec3(-3.0f * std::cos(angle), -3.0f * std::sin(angle), 0.0f),
                          smallAt - Vec3(0.8f, 0.0f, 0.0f), Vec3(1.5f, 0.0f, 0.0f), Vec3(0.25f, 0.25f, 0.0f)})
        EXPECT_TRUE(near(p, kWhite)) << p.x << " " << p.y;
    // The markers in their lights' colours; nothing between the red one and its circle.
    EXPECT_TRUE(Near(At(pixels, Project(Vec3(0.15f, 0.1f, -0.1f))), 255, 0, 0, 0));
    EXPECT_TRUE(Near(At(pixels, Project(Vec3(-0.15f, 0.1f, -0.1f))), 255, 0, 0, 0));
    EXPECT_TRUE(Near(At(pixels, Project(smallAt + Vec3(0.15f, 0.1f, -0.1f))), 0, 255, 0, 0));
    EXPECT_TRUE(Near(At(pixels, Project(Vec3(1.2f, 0.6f, 0.0f))), 0, 0, 0, 0));
    EXPECT_TRUE(Near(At(pixels, Project(Vec3(0.7f, -0.5f, 0.0f))), 0, 0, 0, 0));
}

// Two see-through boxes of one material, the near green one queued first, overlap on the screen.
// The material draws no depth first: each box blends half over what lies behind it and hides
// what it is drawn before. Far to near, the red shows through the green in the overlap.
TEST_F(NormalRendererPixelTest, SeeThroughPassesOfOneMaterialBlendFarToNear) {
    // The flat shader's colour at alpha one half.
    std::string halfAlpha = test::kFlatVertexProgram;
    halfAlpha.replace(halfAlpha.find("2.0, 1.0"), 8, "2.0, 0.5");
    ShaderFileSection glass;
    glass.generation = "GeForce6";
    glass.values = {ShaderFileValue::VertexProgram(halfAlpha, {{0, 4, false, 0}, {4, 1, false, 1}}),
                    ShaderFileValue::PixelProgram(test::kColorPixelProgram, {}),
                    ShaderFileValue::Int(int32_t(RenderBlendFactor::SourceAlpha)),
                    ShaderFileValue::Int(int32_t(RenderBlendFactor::InverseSourceAlpha)), ShaderFileValue::Int(1)};
    glass.parameters = {{"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
                        {"diffuseColor", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault}};
    glass.styles = {{"ambientLightStyle",
                     GraphicsNormalRenderer::kTransparentSortOrder,
                     {{ShaderStateCode::VertexProgram, 0, true, 0},
                      {ShaderStateCode::PixelProgram, 0, true, 1},
                      {ShaderStateCode::SourceBlend, 0, true, 2},
                      {ShaderStateCode::DestinationBlend, 0, true, 3},
                      {ShaderStateCode::CullMode, 0, true, 4}}}};
    bed.WriteFile("Shaders/Glass.ssh", test::MakeShaderFile({glass}));
    BinaryWriter writer;
    ASSERT_TRUE(MeshFileWriter::Write(writer, test::Boxes({Vec3()}, false, {}, "Shaders/Glass.ssh")));
    bed.WriteFile("Meshes/Glass.msh",
                  std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()));
    GraphicsMeshInstance nearBox, farBox;
    for (GraphicsMeshInstance* box : {&nearBox, &farBox}) {
        box->SetMesh("Meshes/Glass.msh");
        ASSERT_NE(box->GetMesh(), nullptr);
        box->GetMesh()->EnsureAvailable();
    }
    nearBox.SetDiffuseColor(Color(0.0f, 1.0f, 0.0f, 1.0f));
    farBox.SetDiffuseColor(Color(1.0f, 0.0f, 0.0f, 1.0f));
    // The camera 6 before the pair, on either side of the scene's origin.
    for (const float z : {2.0f, -3.75f}) {
        const Vec3 eye(0.0f, 0.0f, z);
        nearBox.SetObjectToRegionCoords(Coords::Translation(eye + Vec3(-0.3f, 0.0f, 6.0f)));
        farBox.SetObjectToRegionCoords(Coords::Translation(eye + Vec3(0.3f, 0.0f, 7.5f)));
        GraphicsNormalRenderer renderer;
        View(renderer, eye, eye + Vec3(0.0f, 0.0f, 1.0f));
        renderer.AddRenderable(&nearBox, FakeRegion());
        renderer.AddRenderable(&farBox, FakeRegion());
        const std::vector<uint32_t> pixels = Draw(renderer);
        // Each box is drawn twice (with the alpha mask and without); the far one is hidden behind
        // the near one the second time: in the overlap red 1/2, then 1/4 and 1/8 under green 1/2
        // and 3/4.
        EXPECT_TRUE(Near(At(pixels, Project(eye + Vec3(0.0f, 0.0f, 5.5f))), 32, 191, 0, 3)) << z;
        EXPECT_TRUE(Near(At(pixels, Project(eye + Vec3(-0.5f, 0.0f, 5.5f))), 0, 191, 0, 3)) << z;
        EXPECT_TRUE(Near(At(pixels, Project(eye + Vec3(0.4f, 0.0f, 5.5f))), 191, 0, 0, 3)) << z;
    }
}

// Elements standing in a box of a region (across a portal) come from the world with the box's
// planes, the region placed as given; without a world only the region is placed.
TEST(NormalRendererRegions, ElementsInABoxComeFromTheWorldWithTheBoxesPlanes) {
    int keys[2] = {};
    Region* region = reinterpret_cast<Region*>(&keys[0]);
    std::vector<Frustum> asked;
    test::OffsetRegionsScene world(nullptr, nullptr,
                                   [&](GraphicsSceneRenderer&, Region* shown, const Frustum& frustum) {
                                       EXPECT_EQ(shown, region);
                                       asked.push_back(frustum);
                                   });
    GraphicsNormalRenderer renderer(&world);
    const Coords toScene = Coords::Translation(Vec3(0.0f, 0.0f, 30.0f));
    renderer.AddElementsInBox(region, OBBox(Vec3(1.0f, 2.0f, 3.0f), Coords::Translation(Vec3(5.0f, 0.0f, 0.0f))),
                              toScene);
    test::ExpectNear(renderer.GetRegionToSceneCoords(region), toScene);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].TestSphere(Sphere(Vec3(5.9f, 1.9f, -2.9f), 0.0f)));
    EXPECT_FALSE(asked[0].TestSphere(Sphere(Vec3(6.1f, 0.0f, 0.0f), 0.0f)));
    EXPECT_FALSE(asked[0].TestSphere(Sphere(Vec3(5.0f, 0.0f, 3.1f), 0.0f)));

    GraphicsNormalRenderer alone;
    Region* other = reinterpret_cast<Region*>(&keys[1]);
    alone.AddRegionToScene(other, toScene, nullptr);
    alone.AddElementsInBox(region, OBBox(Vec3(1.0f, 1.0f, 1.0f), Coords()), toScene);
    alone.BuildScene(true);
    test::ExpectNear(alone.GetRegionToSceneCoords(region), toScene);
    test::ExpectNear(alone.GetRegionToSceneCoords(other), toScene);
}

// White boxes in white light under black depth fog from 0 to 20: each darkens by its distance.
TEST_F(NormalRendererPixelTest, FogDarkensWithDistanceAsItsParametersSay) {
    GraphicsMeshInstance nearBox, farBox;
    Box(nearBox, Vec3(-1.5f, 0.0f, 6.0f), 1.0f, Color(1.0f, 1.0f, 1.0f, 1.0f));
    Box(farBox, Vec3(4.0f, 0.0f, 16.0f), 3.0f, Color(1.0f, 1.0f, 1.0f, 1.0f));
    const Vec3 nearFace(-1.5f, 0.0f, 5.5f);
    const Vec3 farFace(4.0f, 0.0f, 14.5f);
    const auto draw = [&](float amount) {
        GraphicsNormalRenderer renderer;
        View(renderer, Vec3(), Vec3(0.0f, 0.0f, 1.0f));
        renderer.SetSkyAmbientColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
        renderer.SetGroundAmbientColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
        renderer.EnableFog(true);
        renderer.SetFogColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
        renderer.SetDepthFogParams(0.0f, 20.0f, amount);
        renderer.AddRenderable(&nearBox, FakeRegion());
        renderer.AddRenderable(&farBox, FakeRegion());
        return Draw(renderer);
    };
    const std::vector<uint32_t> fogged = draw(1.0f);
    const auto expected = [](const Vec3& point) { return int(std::lround(255.0f * (1.0f - point.Length() / 20.0f))); };
    EXPECT_NEAR(At(fogged, Project(nearFace)).g, expected(nearFace), 8);
    EXPECT_NEAR(At(fogged, Project(farFace)).g, expected(farFace), 8);

    // No fog amount: no fog passes.
    const std::vector<uint32_t> clear = draw(0.0f);
    EXPECT_TRUE(Near(At(clear, Project(nearFace)), 255, 255, 255, 1));
    EXPECT_TRUE(Near(At(clear, Project(farFace)), 255, 255, 255, 1));
}

// Seen from above and in front of the plane y = 0, a red box at height 1 shows in the reflection
// where its mirror image at height -1 lies in the view (the surface upside down); a green box
// below the plane is clipped away; a plane whose water lies out of view gets no surface. The red
// box stands in the neighbouring region, 64 units to the -x side, at its own x = 64: the
// reflection shows it where it is, above the water's middle.
TEST_F(NormalRendererPixelTest, ABoxAboveThePlaneShowsMirroredAndWhatLiesBelowIsClipped) {
    Region* region = FakeRegion();
    int neighbourKey = 0;
    Region* neighbour = reinterpret_cast<Region*>(&neighbourKey);
    GraphicsMeshInstance red, green;
    Box(red, Vec3(64.0f, 1.0f, 0.0f), 1.0f, Color(1.0f, 0.0f, 0.0f, 1.0f));
    Box(green, Vec3(2.0f, -1.0f, 0.0f), 1.0f, Color(0.0f, 1.0f, 0.0f, 1.0f));
    GraphicsReflectionPlane water{Plane(Vec3(0.0f, 1.0f, 0.0f), 0.0f), ABBox(Vec3(), Vec3(6, 0, 6)), region};
    GraphicsReflectionPlane aside{Plane(Vec3(0.0f, 1.0f, 0.0f), -5.0f), ABBox(Vec3(300, 5, 0), Vec3(2, 0, 2)), region};
    test::OffsetRegionsScene world(
        [&](GraphicsSceneRenderer& renderer, Region* shown, const Frustum&) {
            renderer.AddRenderable(shown == neighbour ? &red : &green, shown);
        },
        [&](GraphicsReflectionManager& manager, Region* shown, const Frustum&) {
            if (shown != region) return;
            for (GraphicsReflectionPlane* plane : {&water, &aside}) {
                manager.AddReflectionPlane(*plane);
                manager.UpdatePlaneElementBounds(plane, plane->box);
            }
        });
    world.AddRegion(region, IntVec3(1000, 0, 0));
    world.AddRegion(neighbour, IntVec3(1000 - 64, 0, 0));

    camera.SetCoords(Coords::LookAt(Vec3(0.0f, 2.0f, -6.0f), Vec3(0.0f, -0.5f, 0.0f), Vec3(0.0f, 1.0f, 0.0f)));
    const Viewport viewport(0, 0, kWidth, kHeight);
    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    sun.SetColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    const Color ambient(0.5f, 0.5f, 0.5f, 1.0f);
    GraphicsReflectionManager manager(&world);
    GraphicsReflectionManager::RenderSet set{&camera, region, viewport, &sun, &ambient, &ambient};
    EXPECT_EQ(manager.RenderReflections(bed.Canvas(), {}), 0);  // no camera, nothing drawn
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

// -- The order of a frame's steps, on the recording device -------------------------------------

// A box of passes at fixed sort orders, drawn for any style, that writes "style@sortOrder" into a
// shared list when drawn.
class TracedRenderable : public GraphicsRenderable {
public:
    TracedRenderable(const GraphicsShader2* shader, std::vector<int> sortOrders, std::vector<std::string>& trace)
        : shader_(shader), sortOrders_(std::move(sortOrders)), trace_(trace) {}

    int GetNumRenderPasses(const Name&, RenderGenerationId) const override { return int(sortOrders_.size()); }
    const ABBox& GetRenderPassBoundingBox() const override { return box; }
    int GetRenderPassSortOrder(int pass, const Name&, RenderGenerationId) const override {
        return sortOrders_[size_t(pass)];
    }
    const GraphicsShader2* GetShader2(int, const Name& style) const override {
        const auto found = shaders.find(StyleText(style));
        return found != shaders.end() ? found->second : shader_;
    }
    const Name& GetShaderStyle(int, const Name& style, RenderGenerationId, const GraphicsLight*) const override {
        return style;
    }
    const GraphicsTexture* GetTexture(int, const Name&) const override { return nullptr; }
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer&) const override {
        pass.shader->Render("traced");  // sends the renderer's constants
        trace_.push_back(StyleText(style) + "@" + std::to_string(pass.sortOrder));
        if (states != nullptr)
            states->push_back(static_cast<test::RecordingDevice&>(canvas.GetRenderDevice()).GetState());
    }
    void LogInfo() const override {}
    bool GetCastsShadows() const override { return castsShadows; }

    static const std::vector<std::string>& StyleTexts() {
        static const std::vector<std::string> texts = {"ambientLightStyle",
                                                       "dLightDiffuseAmbientStyle",
                                                       "dLightDiffuseStyle",
                                                       "pLightDiffuseAmbientStyle",
                                                       "pLightDiffuseStyle",
                                                       "pLightSimpleStyle",
                                                       "pLightSimpleAmbientStyle",
                                                       "emissiveStyle",
                                                       "fogStyle",
                                                       "depthStyle",
                                                       "transparencyMaskStyle",
                                                       "postRenderStyle",
                                                       "shadow",
                                                       "pLightShadowStyle"};
        return texts;
    }
    static std::string StyleText(const Name& style) {
        for (const std::string& text : StyleTexts()) {
            if (Name::Create(text.c_str()) == style) return text;
        }
        return "?";
    }

    ABBox box{Vec3(0.0f, 0.0f, 10.0f), Vec3(1.0f, 1.0f, 1.0f)};
    std::vector<test::RecordingDeviceState>* states = nullptr;  // the device's at each draw, when set
    bool castsShadows = false;
    std::map<std::string, const GraphicsShader2*> shaders;  // by style, in place of the box's shader

private:
    const GraphicsShader2* shader_;
    std::vector<int> sortOrders_;
    std::vector<std::string>& trace_;
};

// The frame's constants the traced shader's vertex program reads, one a register from 0 in this
// order, with their float counts ("worldToShadowMatrix" four registers); its textures go to stages
// 0 to 2.
constexpr const char* kConstants[] = {"heightFogParams",      "cameraOrigin",       "time",
                                      "cameraDirection",      "fogColor",           "depthFogParams",
                                      "transparencyHeight",   "skyAmbientColor",    "groundAmbientColor",
                                      "lightColor",           "lightPosition",      "lightMaxDistance",
                                      "lightShadowIntensity", "lightDirection",     "shadowBluriness",
                                      "alphaMaskFactor",      "screenTextureScale", "worldToShadowMatrix"};
constexpr int kConstantFloats[] = {3, 3, 1, 3, 4, 3, 1, 4, 4, 4, 3, 1, 1, 3, 1, 4, 2, 16};

// A shader with every style TracedRenderable draws, reading kConstants and the textures (bar the
// shadow map's matrix and texture when not asked for).
std::vector<uint8_t> TracedShaderFile(bool readsShadowMatrix = true, bool readsShadows = true) {
    ShaderFileSection section;
    section.generation = "GeForce6";
    std::vector<ShaderBinding> bindings;
    const ShaderValueType types[] = {ShaderValueType::Float, ShaderValueType::Float2, ShaderValueType::Float3,
                                     ShaderValueType::Float4, ShaderValueType::Float4x4};
    for (uint32_t i = 0; i + (readsShadowMatrix ? 0 : 1) < std::size(kConstants); ++i) {
        bindings.push_back({i, kConstantFloats[i] == 16 ? 4u : 1u, false, i});
        section.parameters.push_back(
            {kConstants[i], types[std::min(kConstantFloats[i], 5) - 1], 1, ShaderFileParameter::kNoDefault});
    }
    section.values = {ShaderFileValue::VertexProgram("vertex", bindings), ShaderFileValue::PixelProgram("pixel", {})};
    std::vector<ShaderStateRecord> programs = {ShaderStateRecord{ShaderStateCode::VertexProgram, 0, true, 0},
                                               ShaderStateRecord{ShaderStateCode::PixelProgram, 0, true, 1}};
    for (const char* texture : {"shadowTexture", "alphaMaskTexture", "screenTexture"}) {
        if (!readsShadows && texture == std::string_view("shadowTexture")) continue;
        programs.push_back(
            {ShaderStateCode::Texture, uint32_t(programs.size() - 2), false, uint32_t(section.parameters.size())});
        section.parameters.push_back({texture, ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault});
    }
    for (const std::string& style : TracedRenderable::StyleTexts()) section.styles.push_back({style, 0, programs});
    return test::MakeShaderFile({section});
}

class NormalRendererStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.Start());
        bed.WriteFile("Shaders/Traced.ssh", TracedShaderFile());
        shader = bed.Graphics().LoadShader2("Shaders/Traced.ssh");
        shader->EnsureAvailable();
        camera.SetCoords(Coords::LookAt(Vec3(), Vec3(0.0f, 0.0f, 1.0f), Vec3(0.0f, 1.0f, 0.0f)));
    }
    void TearDown() override {
        GraphicsNormalRenderer::DestroyRenderTargets(bed.Graphics());
        bed.Graphics().UnloadShader2(shader);
    }

    // The passes of sort order 1000 drawn in a frame lit by the lights in the order given.
    std::vector<std::string> Frame(const std::vector<GraphicsLight>& lights) {
        std::vector<std::string> trace;
        TracedRenderable box(shader, {0, 1000}, trace);
        GraphicsNormalRenderer renderer;
        const Viewport viewport(0, 0, 640, 480);
        renderer.SetViewer(FakeRegion(), camera, viewport, camera.GetFrustum(viewport));
        for (const GraphicsLight& light : lights) renderer.AddLight(light);
        renderer.AddRenderable(&box, FakeRegion());
        renderer.Render(*bed.Graphics().GetCanvas(), false, false);
        std::erase_if(trace, [](const std::string& e) { return !e.ends_with("@1000") || e.starts_with("post"); });
        return trace;
    }
    Region* FakeRegion() { return reinterpret_cast<Region*>(&regionKey); }
    // A point light just before the box, its sphere reaching a small part of the view.
    static GraphicsLight Lamp() {
        GraphicsLight lamp;
        lamp.SetRadius(1.5f);
        lamp.SetObjectToWorldCoords(WorldCoords(nullptr, Coords::Translation(Vec3(0.0f, 0.0f, 8.0f))));
        return lamp;
    }
    static GraphicsLight Sun() {
        GraphicsLight sun;
        sun.SetType(GraphicsLight::Type::Directional);
        return sun;
    }

    test::GraphicsTestBed bed;
    const GraphicsShader2* shader = nullptr;
    Camera camera;
    int regionKey = 0;
};

// The second opaque band under a first light that is a point light: the ambient passes first, then
// every light without ambient. Lights go by the screen area they light, the largest first, so a
// sun added after a lamp lights first and brings the ambient.
TEST_F(NormalRendererStepTest, SecondOpaqueBandTakesItsAmbientFromTheFirstLightUnlessThatIsAPointLight) {
    GraphicsLight wideLamp = Lamp();
    wideLamp.SetRadius(20.0f);  // around the camera: the whole view
    EXPECT_EQ(Frame({wideLamp, Sun()}), (std::vector<std::string>{"ambientLightStyle@1000", "pLightDiffuseStyle@1000",
                                                                  "dLightDiffuseStyle@1000", "emissiveStyle@1000"}));
    EXPECT_EQ(Frame({Lamp(), Sun()}), (std::vector<std::string>{"dLightDiffuseAmbientStyle@1000",
                                                                "pLightDiffuseStyle@1000", "emissiveStyle@1000"}));
    // Without lights only the ambient passes light the band.
    EXPECT_EQ(Frame({}), (std::vector<std::string>{"ambientLightStyle@1000", "emissiveStyle@1000"}));
}

// A point light lights the screen rectangle its sphere (one unit larger) covers in either view: the
// bounds of the sphere's points projected, clamped to the viewport; the whole viewport around the camera, none
// behind it. The clipping plane reaches the device in clip space: the plane's points stay on it.
TEST_F(NormalRendererStepTest, PointLightRectanglesBoundTheirSpheresAndTheClippingPlaneGoesToClipSpace) {
    GraphicsNormalRenderer renderer;
    const Viewport viewport(20, 10, 640, 480);
    camera.SetCoords(Coords::LookAt(Vec3(1.0f, 2.0f, -3.0f), Vec3(2.0f, 1.5f, 6.0f), Vec3(0.0f, 1.0f, 0.0f)));
    const Coords& eye = camera.GetCoords();
    const auto at = [&](float x, float y, float z) { return eye.TransformPoint(Vec3(x, y, z)); };
    const Sphere spheres[] = {Sphere(at(-1.5f, -2.0f, 12.0f), 1.0f), Sphere(at(3.0f, 1.0f, 9.0f), 2.5f),
                              Sphere(at(0.0f, 0.0f, 20.0f), 0.5f),   Sphere(at(9.0f, -1.0f, 8.0f), 1.0f),
                              Sphere(at(-2.0f, 3.5f, 9.0f), 2.0f),   Sphere(at(2.5f, 0.0f, 3.5f), 1.0f)};
    for (const CameraType type : {CameraType::Orthographic, CameraType::Perspective}) {
        camera.SetType(type);
        renderer.SetViewer(FakeRegion(), camera, viewport, camera.GetFrustum(viewport));
        for (const Sphere& sphere : spheres) {
            float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
            for (int i = 0; i < 200; ++i) {
                for (int j = 0; j <= 100; ++j) {
                    const float a = 6.2831853f * float(i) / 200.0f, b = 3.1415927f * float(j) / 100.0f;
                    const Vec3 d(std::cos(a) * std::sin(b), std::sin(a) * std::sin(b), std::cos(b));
                    const Vec2 corner(20.0f, 10.0f);  // the viewport's
                    const Vec2 pixel = camera.Project(sphere.centre + d * (sphere.radius + 1.0f), viewport) + corner;
                    left = std::min(left, pixel.x), right = std::max(right, pixel.x);
                    top = std::min(top, pixel.y), bottom = std::max(bottom, pixel.y);
                }
            }
            const Rect rect = renderer.GetLightScissorRect(sphere);
            EXPECT_NEAR(rect.x, std::clamp(left, 20.0f, 660.0f), 0.5f);
            EXPECT_NEAR(rect.y, std::clamp(top, 10.0f, 490.0f), 0.5f);
            EXPECT_NEAR(rect.x + rect.width, std::clamp(right, 20.0f, 660.0f), 0.5f);
            EXPECT_NEAR(rect.y + rect.height, std::clamp(bottom, 10.0f, 490.0f), 0.5f);
        }
        // Seen orthographically, a sphere reaching past the near plane still lights its square.
        EXPECT_TRUE(type != CameraType::Orthographic ||
                    renderer.GetLightScissorRect(Sphere(at(0.0f, 0.0f, -1.0f), 1.5f)).width > 0.0f);
    }
    const Rect around = renderer.GetLightScissorRect(Sphere(at(0.0f, 0.0f, 2.0f), 1.5f));
    EXPECT_EQ(around, Rect(20.0f, 10.0f, 640.0f, 480.0f));
    const Rect behind = renderer.GetLightScissorRect(Sphere(at(0.0f, 0.0f, -3.0f), 1.5f));
    EXPECT_EQ(behind.width * behind.height, 0.0f);

    const Plane plane(Vec3(0.48f, 0.6f, 0.64f), -2.0f);
    renderer.SetClippingPlane(plane);
    renderer.SetCanvasClippingPlane(*bed.Graphics().GetCanvas());
    const Plane& clip = bed.Device().GetState().clipPlanes[0];
    const Mat4& toScreen = renderer.GetWorldToScreenMatrix();
    const auto side = [&](const Vec3& p) {
        float sum = clip.d * (toScreen(3, 0) * p.x + toScreen(3, 1) * p.y + toScreen(3, 2) * p.z + toScreen(3, 3));
        for (int row = 0; row < 3; ++row) {
            const float c = toScreen(row, 0) * p.x + toScreen(row, 1) * p.y + toScreen(row, 2) * p.z + toScreen(row, 3);
            sum += (row == 0 ? clip.normal.x : row == 1 ? clip.normal.y : clip.normal.z) * c;
        }
        return sum;
    };
    for (const Vec3& onPlane :
         {Vec3(2.0f / 0.48f, 0.0f, 0.0f), Vec3(0.0f, 0.0f, 2.0f / 0.64f), Vec3(-1.0f, 2.0f, 2.0f)})
        EXPECT_NEAR(side(onPlane), 0.0f, 1e-3f);
    EXPECT_GT(side(Vec3(3.0f, 3.0f, 3.0f)), 0.1f);
}

// The shared targets at their sizes and formats: the shadow surfaces in 16-bit colour where the
// device has it, except for the generation that samples shadow colour, whose point surfaces each
// have their own texture instead of sharing their group's first. The no-shadow surface is cleared
// to white. All go again with DestroyRenderTargets.
TEST_F(NormalRendererStepTest, SharedTargetsAreMadeAtTheirSizesAndFormatsAndGoAgain) {
    test::LogCapture log;
    test::RecordingDevice& device = bed.Device();
    device.Script().supports16bitColorWithDepth = true;
    const size_t live = device.GetNumLiveResources();
    BaseResourceManager& textures = *bed.Graphics().GetTextureResourceManager();
    const int loaded = textures.GetNumResources();
    int surfaces = 0;  // made so far, in all
    for (const RenderGenerationId generation : {RenderGenerationId::GeForce6, RenderGenerationId::R200}) {
        const bool own = generation == RenderGenerationId::R200;
        const std::string shadow = own ? "2" : "10";
        const auto surface = [&](int size, const std::string& colour, int depth) {
            ++surfaces;
            return "CreateRenderSurface(" + std::to_string(size) + ", " + std::to_string(size) + ", " + colour + ", " +
                   std::to_string(depth) + ")";
        };
        std::vector<std::string> expected = {"CreateRenderSurface(1024, 768, 2, 8)"};
        ++surfaces;
        expected.push_back(surface(256, shadow, 7));
        for (int i = 0; i < 8; ++i) {
            const std::string first = "surface" + std::to_string(surfaces + 1 - i % 4) + ".color";
            expected.push_back(surface(i < 4 ? 128 : 64, i % 4 == 0 || own ? shadow : first, 7));
        }
        expected.push_back(surface(16, shadow, 7));
        const std::string noShadow = "surface" + std::to_string(surfaces);
        expected.insert(expected.end(),
                        {"SetTargetSurface(0, " + noShadow + ")", "SetClearColor((1, 1, 1, 1))", "Clear(33, 1)",
                         "SetTargetSurface(0, primarySurface1)", "CreateRenderSurface(1024, 768, 2, 7)",
                         "CreateRenderSurface(512, 512, 2, 0)"});
        surfaces += 2;
        device.Script().generation = generation;
        device.ClearCalls();
        GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 256, 128);
        std::vector<std::string> calls = device.GetCalls();
        std::erase_if(calls,
                      [](const std::string& call) { return call.starts_with("Get") || call.starts_with("Supports"); });
        EXPECT_EQ(calls, expected);
        GraphicsNormalRenderer::DestroyRenderTargets(bed.Graphics());
        EXPECT_EQ(device.CountCalls("DestroyRenderSurface"), 13u);
        EXPECT_EQ(device.GetNumLiveResources(), live);
        bed.Graphics().UnloadUnreferencedResources();
        EXPECT_EQ(textures.GetNumResources(), loaded);  // the mask texture released
    }
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);  // and released once
    // That generation also loads the depth lookup texture of the shadow maps (not in this data), once.
    bed.Graphics().SetGeneration(RenderGenerationId::R200);
    const int held = textures.GetNumResources();
    for (int i = 0; i < 2; ++i) GraphicsShadowMapRenderer::CreateResources(bed.Graphics());
    EXPECT_EQ(textures.GetNumResources(), held + 1);
    GraphicsShadowMapRenderer::DestroyResources(bed.Graphics());
    bed.Graphics().UnloadUnreferencedResources();
    EXPECT_EQ(textures.GetNumResources(), held);
    GraphicsEngine idle;  // without a device it has no canvas, and makes no targets
    GraphicsNormalRenderer::CreateRenderTargets(idle, 256, 128);
}

// Every pass gets the frame's constants, and while a light draws that light's: a sun of another
// region, turned a quarter, shines along its direction turned into the scene; a lamp at its
// position. Transparent passes read the transparency mask with factor 1, then draw once more with
// factor 0; the passes after them read no mask.
TEST_F(NormalRendererStepTest, EachPassGetsTheFramesConstantsAndItsLightsOnes) {
    std::vector<std::string> trace;
    std::vector<test::RecordingDeviceState> states;
    TracedRenderable box(shader, {0, 10000}, trace);
    box.states = &states;
    int sunKey = 0;
    Region* sunRegion = reinterpret_cast<Region*>(&sunKey);
    const float time = float(GameClock::Get().GetMilliseconds()) * 0.001f;
    GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 256, 128);
    // The viewer's region lies 8 up: the height fog starts 8 lower in its space.
    test::OffsetRegionsScene world(
        [&](GraphicsSceneRenderer& renderer, Region* region, const Frustum&) { renderer.AddRenderable(&box, region); });
    world.AddRegion(FakeRegion(), IntVec3(100, 8, -30));
    GraphicsNormalRenderer renderer(&world);
    const Viewport viewport(0, 0, 640, 480);
    camera.SetCoords(Coords::LookAt(Vec3(1.0f, 2.0f, -3.0f), Vec3(0.0f, 0.0f, 10.0f), Vec3(0.0f, 1.0f, 0.0f)));
    renderer.SetViewer(FakeRegion(), camera, viewport, camera.GetFrustum(viewport));
    renderer.SetHeightFogParams(10.0f, 20.0f, 0.5f);
    renderer.SetRegionToSceneCoords(sunRegion, Coords::RotationY(1.5707964f));
    renderer.SetSkyAmbientColor(Color(0.1f, 0.2f, 0.3f, 1.0f));
    renderer.SetGroundAmbientColor(Color(0.3f, 0.2f, 0.1f, 0.5f));
    renderer.SetFogColor(Color(0.4f, 0.5f, 0.6f, 0.7f));
    renderer.SetDepthFogParams(2.0f, 12.0f, 0.5f);
    renderer.SetTransparency(nullptr, Frustum(), 3.5f);
    renderer.SetShadowSoftness(4.0f);
    GraphicsLight sun = Sun();
    sun.SetColor(Color(0.8f, 0.6f, 0.4f, 1.0f));
    sun.SetObjectToWorldCoords(WorldCoords(sunRegion, Coords::LookIn(Vec3(), Vec3(0.6f, -0.8f, 0.0f), Vec3(0, 1, 0))));
    GraphicsLight lamp = Lamp();
    lamp.SetColor(Color(0.5f, 0.25f, 0.125f, 1.0f));
    lamp.SetShadowIntensity(0.4f);
    renderer.AddLight(lamp);
    renderer.AddLight(sun);
    renderer.BuildScene(false);
    renderer.Render(*bed.Graphics().GetCanvas(), false, false);
    // The mask first; the opaque passes lit by the sun with ambient, then the lamp; emissive; the
    // transparent run's depth and lit passes, lit again without the mask; late emissive.
    ASSERT_EQ(trace, (std::vector<std::string>{
                         "transparencyMaskStyle@0", "transparencyMaskStyle@10000", "dLightDiffuseAmbientStyle@0",
                         "pLightDiffuseStyle@0", "emissiveStyle@0", "postRenderStyle@0", "postRenderStyle@10000",
                         "depthStyle@10000", "dLightDiffuseAmbientStyle@10000", "pLightDiffuseStyle@10000",
                         "dLightDiffuseAmbientStyle@10000", "pLightDiffuseStyle@10000", "emissiveStyle@10000"}));

    const auto expect = [&](const std::string& entry, int which, int reg, std::vector<float> values) {
        int seen = 0;
        for (size_t i = 0; i < trace.size(); ++i) {
            if (trace[i] != entry || seen++ != which) continue;
            for (size_t c = 0; c < values.size(); ++c)
                EXPECT_NEAR(states[i].vertexConstants[reg][c], values[c], 1e-5f) << entry << " " << kConstants[reg];
            return;
        }
        ADD_FAILURE() << entry << " " << which << " not drawn";
    };
    const Vec3& z = camera.GetCoords().zAxis;
    for (const char* entry : {"dLightDiffuseAmbientStyle@0", "pLightDiffuseStyle@0", "emissiveStyle@10000"}) {
        expect(entry, 0, 0, {2.0f, 0.1f, 0.5f});
        expect(entry, 0, 1, {1.0f, 2.0f, -3.0f});
        expect(entry, 0, 2, {time});
        expect(entry, 0, 3, {z.x, z.y, z.z});
        expect(entry, 0, 4, {0.4f, 0.5f, 0.6f, 0.7f});
        expect(entry, 0, 5, {2.0f, 0.1f, 0.5f});
        expect(entry, 0, 6, {3.5f});
        expect(entry, 0, 7, {0.1f, 0.2f, 0.3f, 1.0f});
        expect(entry, 0, 8, {0.3f, 0.2f, 0.1f, 0.5f});
        expect(entry, 0, 16, {1.0f / 512.0f, 1.0f / 512.0f});
    }
    expect("dLightDiffuseAmbientStyle@0", 0, 9, {0.8f, 0.6f, 0.4f, 1.0f});
    expect("dLightDiffuseAmbientStyle@0", 0, 13, {0.0f, -0.8f, -0.6f});
    expect("dLightDiffuseAmbientStyle@0", 0, 14, {4.0f / 16.0f});  // the no-shadow surface
    expect("dLightDiffuseAmbientStyle@0", 0, 15, {1.0f, 1.0f, 1.0f, 1.0f});
    expect("pLightDiffuseStyle@0", 0, 9, {0.5f, 0.25f, 0.125f, 1.0f});
    expect("pLightDiffuseStyle@0", 0, 10, {0.0f, 0.0f, 8.0f});
    expect("pLightDiffuseStyle@0", 0, 11, {1.5f});
    expect("pLightDiffuseStyle@0", 0, 12, {0.4f});
    expect("pLightDiffuseStyle@0", 0, 13, {0.0f, 0.0f, 0.0f});
    expect("pLightDiffuseStyle@10000", 0, 15, {1.0f, 1.0f, 1.0f, 1.0f});
    expect("pLightDiffuseStyle@10000", 1, 15, {0.0f, 0.0f, 0.0f, 0.0f});
    expect("emissiveStyle@10000", 0, 15, {1.0f, 1.0f, 1.0f, 1.0f});
    for (size_t i = 0; i < trace.size(); ++i) {
        EXPECT_NE(states[i].textures[2], nullptr) << trace[i];                      // the frame copy
        EXPECT_EQ(states[i].textures[1] != nullptr, i >= 7 && i <= 11) << trace[i];  // the transparency mask
        if (trace[i].starts_with("dLight") || trace[i].starts_with("pLight")) {
            EXPECT_NE(states[i].textures[0], nullptr) << trace[i];  // the no-shadow surface's depth
        }
    }
}

// Each rectangle drawn, with the target and the state it was drawn in: colour, alpha and depth
// writes, the depth test, the blend factors (source, destination) and clipping plane 0.
std::vector<std::string> RectanglesDrawn(const std::vector<std::string>& calls) {
    std::map<std::string, std::string> state;
    std::vector<std::string> drawn;
    for (const std::string& call : calls) {
        const size_t open = call.find('(');
        const std::string operation = call.substr(0, open), arguments = call.substr(open + 1, call.size() - open - 2);
        if (operation.starts_with("Set")) state[operation] = arguments;
        if (operation.ends_with("ClipPlane")) state["clip"] = operation == "SetClipPlane" ? "1" : "0";
        if (!operation.starts_with("Draw") || operation == "DrawIndexedPrimitive") continue;
        drawn.push_back(call + " " + state["SetTargetSurface"] + " writes " + state["SetColorWriteMode"] +
                        state["SetAlphaWriteMode"] + state["SetDepthWriteMode"] + " test " +
                        state["SetDepthTestFunction"] + " blend " + state["SetSourceBlendFactor"] + " " +
                        state["SetDestinationBlendFactor"] + " clip " + state["clip"] +
                        (operation == "DrawTexturedRect" ? " alpha " + state["SetAlphaTestFunction"] : ""));
    }
    return drawn;
}

// A region drawn blended makes its mask in the frame surface (alpha cleared, the inverse mask
// where nothing was drawn), then lays the previous region's mask over it by the blend (above 1,
// the excess first and the mask added) and the frame over the target by the frame's alpha; all
// unclipped, though the region's passes are clipped.
TEST_F(NormalRendererStepTest, TheMaskAndTheBlendOverThePreviousRegionDrawInTheirStates) {
    GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 256, 128);
    GraphicsCanvas& canvas = *bed.Graphics().GetCanvas();
    RenderSurface* previous = canvas.CreateTextureSurface(32, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    const std::string frame = " 0, surface1 writes 010 ", whole = "(0, 0, 640, 480)";
    const std::vector<std::string> mask = {
        "DrawRect(" + whole + ", 0x00000000, 0)" + frame + "test 3 blend 0 1 clip 0",
        "DrawTexturedRect((0, 0, 1, 1), " + whole + ", 0xffffffff, 1)" + frame + "test 6 blend 6 8 clip 0 alpha 7"};
    const std::string over = "DrawTexturedRect((0, 0, 0.625, 0.625), " + whole +
                             ", 0xffffffff, 0) 0, primarySurface1 writes 101 test 7 blend 8 6 clip 0 alpha 7";
    const auto previousMask = [&](const char* colour, const char* blend) {
        return "DrawTexturedRect((0, 0, 1, 1), " + whole + ", " + colour + ", 0)" + frame + "test 7 blend " + blend +
               " clip 0 alpha 7";
    };
    const struct {
        float blend;
        RenderTexture* previous;
        std::vector<std::string> composite;
    } cases[] = {
        {0.25f, nullptr, {"DrawRect(" + whole + ", 0x00ffffff, 0)" + frame + "test 7 blend 0 1 clip 0"}},
        {0.25f, previous->GetTexture(), {previousMask("0x40ffffff", "0 1")}},
        {1.5f,
         previous->GetTexture(),
         {"DrawRect(" + whole + ", 0x80ffffff, 0)" + frame + "test 7 blend 0 1 clip 0",
          previousMask("0xffffffff", "0 0")}},
    };
    for (const auto& [blend, texture, composite] : cases) {
        GraphicsNormalRenderer renderer;
        const Viewport viewport(0, 0, 640, 480);
        renderer.SetViewer(FakeRegion(), camera, viewport, camera.GetFrustum(viewport));
        renderer.SetClippingPlane(Plane(Vec3(0.0f, 0.0f, -1.0f), 20.0f));
        canvas.SetViewport(Viewport(0, 0, 16, 16));
        bed.Device().ClearCalls();
        renderer.Render(canvas, blend, texture, true, true, canvas.GetTargetSurface(), false);
        // The frame surface is cleared over the whole viewport.
        const std::vector<std::string> calls = bed.Device().GetCalls();
        const auto clear = std::find(calls.begin(), calls.end(), "Clear(33, 1)");
        ASSERT_NE(clear, calls.end());
        EXPECT_EQ(*std::find_if(std::make_reverse_iterator(clear), calls.rend(),
                                [](const std::string& call) { return call.starts_with("SetViewport"); }),
                  "SetViewport((0, 0, 640, 480))");
        std::vector<std::string> expected = mask;
        expected.insert(expected.end(), composite.begin(), composite.end());
        expected.push_back(over);
        EXPECT_EQ(RectanglesDrawn(bed.Device().GetCalls()), expected) << blend;
        EXPECT_EQ(bed.Device().CountCalls("SetClipPlane"), 2u);  // for the passes and the portal mask
    }
    // The frame copy takes the viewport of a target with a texture, and nothing of one without.
    bed.Device().ClearCalls();
    for (RenderSurface* target : {previous, canvas.GetPrimarySurface()}) {
        canvas.SetTargetSurface(target);
        canvas.SetViewport(Viewport(0, 0, 32, 16));
        GraphicsNormalRenderer::UpdateFrameBufferCopy(canvas);
    }
    const std::vector<std::string> copies = bed.Device().GetCalls("CopyToTexture");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(copies[0].starts_with(bed.Device().GetResourceName(previous))) << copies[0];
    EXPECT_NE(copies[0].find("(0, 0, 32, 16)"), std::string::npos) << copies[0];
    canvas.DestroySurface(previous);
}

// An engine started on the recording device, whose graphics engine the renderers find: shadows,
// their display for debugging and the light counts.
class NormalRendererEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(files.AddDirectory(directory.GetPath(), true));
        engine.SetLogPath(directory.Join("Logs"));
        engine.GetOptions()->SetQuality(Options::QualityName::detailLevel, 2);  // the device's generation
        RenderDevice::SetDeviceDirectory(GAME_TEST_DEVICE_DIRECTORY);
        GraphicsEngineSettings settings;
        settings.deviceName = "RecordingDevice";
        ASSERT_TRUE(engine.Initialize(nullptr, settings, true, false, &files));
        const std::vector<uint8_t> bytes = TracedShaderFile();
        ASSERT_TRUE(sample::WriteBytes(files, "Shaders/Traced.ssh", bytes.data(), uint32_t(bytes.size())));
        shader = Graphics().LoadShader2("Shaders/Traced.ssh");
        shader->EnsureAvailable();
    }
    void TearDown() override {
        Graphics().UnloadShader2(shader);
        engine.Shutdown();
        RenderDevice::SetDeviceDirectory(nullptr);
    }
    GraphicsEngine& Graphics() { return *engine.GetGraphicsEngine(); }
    test::RecordingDevice& Device() { return static_cast<test::RecordingDevice&>(*Graphics().GetRenderDevice()); }

    test::TempDirectory directory;
    FileSystem files;
    Engine engine;
    const GraphicsShader2* shader = nullptr;
};

// With shadows on, shadow-casting lights take the shadow surfaces in the order of their records:
// the first sun the directional one, the lamps the eight point ones, each its own; the second sun
// and the ninth lamp the no-shadow surface. A lamp's map draws the casters within three quarters
// of its reach. Debugging shadows shows the sun's map and the first and fifth point maps.
TEST_F(NormalRendererEngineTest, ShadowCastingLightsTakeTheShadowSurfacesInTurn) {
    Graphics().EnableShadows(true);
    Graphics().SetShadowDebugging(true);
    for (const int lamps : {9, 5, 4}) {
        std::vector<std::string> trace;
        std::vector<test::RecordingDeviceState> states;
        TracedRenderable box(shader, {0}, trace);
        box.states = &states;
        box.castsShadows = true;
        int regionKey = 0;
        Region* region = reinterpret_cast<Region*>(&regionKey);
        GraphicsNormalRenderer renderer;
        Camera camera;
        camera.SetCoords(Coords::LookAt(Vec3(), Vec3(0.0f, 0.0f, 1.0f), Vec3(0.0f, 1.0f, 0.0f)));
        const Viewport viewport(0, 0, 800, 600);
        renderer.SetViewer(region, camera, viewport, camera.GetFrustum(viewport));
        GraphicsLight sun;
        sun.SetType(GraphicsLight::Type::Directional);
        sun.SetCastsShadows(true);
        sun.SetObjectToWorldCoords(WorldCoords(region, Coords::LookIn(Vec3(), Vec3(0.6f, -0.8f, 0.0f), Vec3(0, 1, 0))));
        renderer.AddLight(sun);
        renderer.AddLight(sun);
        // Lamps around the camera, lighting the whole view, 7 units from the box: the last one's
        // shorter reach meets the box, three quarters of it not.
        for (int i = 0; i < lamps; ++i) {
            GraphicsLight lamp;
            lamp.SetRadius(i + 1 < lamps ? 30.0f : 8.0f);
            lamp.SetCastsShadows(true);
            lamp.SetObjectToWorldCoords(WorldCoords(nullptr, Coords::Translation(Vec3(0.0f, 0.0f, 2.0f))));
            renderer.AddLight(lamp);
        }
        renderer.AddRenderable(&box, region);
        for (int frame = 0; frame < 2; ++frame) {  // the second frame takes the surfaces as the first did
            trace.clear();
            states.clear();
            Device().ClearCalls();
            renderer.Render(*Graphics().GetCanvas(), false, false);
        }

        std::vector<std::string> lit;
        std::vector<const RenderTexture*> shadows;
        for (size_t i = 0; i < trace.size(); ++i) {
            if (trace[i].find("LightDiffuse") == std::string::npos) continue;
            lit.push_back(trace[i]);
            shadows.push_back(states[i].textures[0]);
        }
        std::vector<std::string> expected = {"dLightDiffuseAmbientStyle@0", "dLightDiffuseStyle@0"};
        expected.insert(expected.end(), size_t(lamps), "pLightDiffuseStyle@0");
        ASSERT_EQ(lit, expected);
        EXPECT_EQ(std::count(trace.begin(), trace.end(), "shadow@0"), 1);
        // The maps' constants: the sun's direction, a lamp's place and reach.
        const auto drawn = [&](const char* entry) -> const test::RecordingDeviceState& {
            return states[size_t(std::ranges::find(trace, entry) - trace.begin())];
        };
        const float* direction = drawn("shadow@0").vertexConstants[13];
        EXPECT_NEAR(direction[0], 0.6f, 1e-5f);
        EXPECT_NEAR(direction[1], -0.8f, 1e-5f);
        EXPECT_EQ(drawn("pLightShadowStyle@0").vertexConstants[10][2], 2.0f);
        EXPECT_EQ(drawn("pLightShadowStyle@0").vertexConstants[11][0], 30.0f);
        EXPECT_EQ(std::count(trace.begin(), trace.end(), "postRenderStyle@0"), 1);  // the one pass there is
        EXPECT_EQ(std::count(trace.begin(), trace.end(), "pLightShadowStyle@0"), std::min(lamps - 1, 8));
        // The sun's, the no-shadow surface and the point surfaces used.
        const std::set<const RenderTexture*> distinct(shadows.begin(), shadows.end());
        EXPECT_EQ(distinct.size(), size_t(2 + std::min(lamps, 8))) << lamps;
        EXPECT_NE(shadows[0], shadows[1]);
        EXPECT_EQ(shadows.back() == shadows[1], lamps == 9);

        std::vector<std::string> shown;
        for (const std::string& rectangle : RectanglesDrawn(Device().GetCalls())) {
            if (rectangle.find(", 64, 256, 256)") != std::string::npos) shown.push_back(rectangle);
        }
        EXPECT_EQ(shown.size(), lamps > 4 ? 3u : 2u);
        GraphicsStats stats;
        Graphics().GetStats(stats);
        EXPECT_EQ(stats.lights, 2 * (2 + lamps));
        EXPECT_EQ(stats.shadowCastingLights, 2 * (2 + lamps));
        Graphics().Update(false);
    }
}

// A shadow-casting light draws no map that no pass drawn with its record bound reads: the sun's
// map is drawn only when a shader of a box's lit, emissive, post-render or transparent passes
// takes the map's matrix and texture, or the texture alone, one box's being enough.
TEST_F(NormalRendererEngineTest, LightsDrawNoShadowMapThatNoPassReads) {
    for (const auto& [name, bytes] : {std::pair{"Shaders/Unshadowed.ssh", TracedShaderFile(false, false)},
                                      {"Shaders/TextureOnly.ssh", TracedShaderFile(false, true)}})
        ASSERT_TRUE(sample::WriteBytes(files, name, bytes.data(), uint32_t(bytes.size())));
    const GraphicsShader2* unshadowed = Graphics().LoadShader2("Shaders/Unshadowed.ssh");
    const GraphicsShader2* textureOnly = Graphics().LoadShader2("Shaders/TextureOnly.ssh");
    Region* const region = reinterpret_cast<Region*>(&files);  // any address will do
    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    sun.SetCastsShadows(true);  // shining along +z, as the camera looks
    // The second box's shader reads the map, or else only its shader of the style read ("" none).
    for (const GraphicsShader2* second : {unshadowed, shader, textureOnly}) {
        for (const char* reading : {"", "emissiveStyle", "postRenderStyle", "ambientLightStyle"}) {
            std::vector<std::string> trace;
            TracedRenderable box(unshadowed, {0}, trace), other(second, {0, 10000}, trace);  // 10000: transparent
            other.shaders[reading] = shader;
            box.castsShadows = other.castsShadows = true;
            GraphicsNormalRenderer renderer;
            const Camera camera;  // at the origin looking along +z, at the boxes
            renderer.SetViewer(region, camera, Viewport(0, 0, 800, 600), camera.GetFrustum(Viewport(0, 0, 800, 600)));
            renderer.AddLight(sun);
            renderer.AddRenderable(&box, region);
            renderer.AddRenderable(&other, region);
            renderer.Render(*Graphics().GetCanvas(), false, false);
            EXPECT_EQ(std::ranges::count(trace, "shadow@0"), second != unshadowed || *reading ? 2 : 0) << reading;
        }
    }
    for (const GraphicsShader2* loaded : {unshadowed, textureOnly}) Graphics().UnloadShader2(loaded);
}

class ShadowPixelTest : public NormalRendererPixelTest {
protected:
    void SetUp() override {
        NormalRendererPixelTest::SetUp();
        // A white box two units high standing on a wide slab whose top is at y = 0.
        Box(box, Vec3(0.0f, 1.0f, 0.0f), 2.0f, Color(1.0f, 1.0f, 1.0f, 1.0f));
        Box(ground, Vec3(0.0f, -0.1f, 0.0f), 1.0f, Color(1.0f, 1.0f, 1.0f, 1.0f));
        ground.SetScale(Vec3(12.0f, 0.2f, 12.0f));
        ground.SetCastsShadows(false);
    }
    // The ground's grey level at the points (all inside the image), drawn with the light.
    std::vector<int> Ground(const GraphicsLight& light, bool shadows, const std::vector<Vec3>& points) {
        GraphicsNormalRenderer renderer;
        View(renderer, Vec3(-2.0f, 9.0f, -9.0f), Vec3(1.5f, 0.0f, 0.5f));
        renderer.SetSkyAmbientColor(Color(0.2f, 0.2f, 0.2f, 1.0f));
        renderer.SetGroundAmbientColor(Color(0.2f, 0.2f, 0.2f, 1.0f));
        renderer.EnableShadows(shadows);
        renderer.AddLight(light);
        renderer.AddRenderable(&box, FakeRegion());
        renderer.AddRenderable(&ground, FakeRegion());
        const std::vector<uint32_t> pixels = Draw(renderer);
        std::vector<int> levels;
        for (const Vec3& point : points) {
            const Vec2 at = Project(point);
            EXPECT_TRUE(at.x >= 0.0f && at.x < kWidth && at.y >= 0.0f && at.y < kHeight) << point.x << " " << point.z;
            levels.push_back(At(pixels, at).g);
        }
        return levels;
    }

    // A shadow-casting sun shining down at 45 degrees along +x.
    static GraphicsLight Sun() {
        GraphicsLight sun;
        sun.SetType(GraphicsLight::Type::Directional);
        sun.SetColor(Color(0.8f, 0.8f, 0.8f, 1.0f));
        sun.SetCastsShadows(true);
        sun.SetObjectToWorldCoords(
            WorldCoords(nullptr, Coords::LookIn(Vec3(), Vec3(1.0f, -1.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f))));
        return sun;
    }

    GraphicsMeshInstance box, ground;
};

// The sun shines down at 45 degrees along +x: the box's shadow reaches from its +x face to two
// units beyond it (its height), as wide as the box. The graphics engine takes the shared targets
// before a device reset and makes them again after it: the shadow is drawn as before.
TEST_F(ShadowPixelTest, SunShadowLiesOnTheFarSideOfTheBoxAsLongAsTheBoxIsHighAlsoAfterAReset) {
    const GraphicsLight sun = Sun();
    const std::vector<Vec3> shadowed = {Vec3(1.4f, 0.0f, 0.0f), Vec3(2.6f, 0.0f, 0.0f), Vec3(2.0f, 0.0f, 0.7f),
                                        Vec3(2.0f, 0.0f, -0.7f)};
    const std::vector<Vec3> lit = {Vec3(3.4f, 0.0f, 0.0f), Vec3(2.0f, 0.0f, 1.4f), Vec3(2.0f, 0.0f, -1.4f),
                                   Vec3(-1.6f, 0.0f, 0.0f), Vec3(5.0f, 0.0f, 3.0f)};
    const int ambient = 51;
    const int sunlit = 51 + int(0.8f * 0.7071f * 255.0f);
    for (const bool reset : {false, true}) {
        if (reset) bed.GetEngine().PreDeviceReset(), bed.GetEngine().PostDeviceReset();
        for (const int level : Ground(sun, true, shadowed)) EXPECT_NEAR(level, ambient, 4) << reset;
        for (const int level : Ground(sun, true, lit)) EXPECT_NEAR(level, sunlit, 4) << reset;
    }
    // Without shadows the same ground is lit.
    for (const int level : Ground(sun, false, shadowed)) EXPECT_NEAR(level, sunlit, 4);
}

// A lamp up and to the -x side of the box: the shadow falls on the +x side, away from it, and the
// ground beside the shadow and on the lamp's side stays lit.
TEST_F(ShadowPixelTest, PointLightShadowFallsAwayFromTheLight) {
    GraphicsLight lamp;
    lamp.SetColor(Color(0.8f, 0.8f, 0.8f, 1.0f));
    lamp.SetRadius(40.0f);  // the lighting is per vertex: the slab's corners must be lit
    lamp.SetCastsShadows(true);
    lamp.SetObjectToWorldCoords(WorldCoords(nullptr, Coords::Translation(Vec3(-2.0f, 4.0f, 0.0f))));
    const std::vector<Vec3> points = {Vec3(2.5f, 0.0f, 0.0f), Vec3(3.5f, 0.0f, 0.3f), Vec3(2.5f, 0.0f, 2.5f),
                                      Vec3(-3.5f, 0.0f, 0.0f), Vec3(-2.0f, 0.0f, -2.0f)};
    const std::vector<int> levels = Ground(lamp, true, points);
    for (size_t i = 0; i < points.size(); ++i)
        EXPECT_TRUE(i < 2 ? std::abs(levels[i] - 51) <= 4 : levels[i] > 51 + 35) << i;
    EXPECT_GT(Ground(lamp, false, points)[0], 51 + 35);
}

// A map with no casters is only cleared and keeps the caller's matrix; a drawn map keeps a
// one-texel border of the clear colour, so lookups past its edge find no shadow.
TEST_F(ShadowPixelTest, EmptyMapsAreClearedAndDrawnMapsKeepAWhiteBorder) {
    GraphicsCanvas& canvas = bed.Canvas();
    RenderSurface* target = canvas.CreateTextureSurface(32, 32, RenderTextureFormat::RGBA, RenderTextureFormat::D16);
    ASSERT_NE(target, nullptr);
    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    sun.SetObjectToWorldCoords(
        WorldCoords(nullptr, Coords::LookIn(Vec3(), Vec3(0.3f, -1.0f, 0.2f), Vec3(0.0f, 1.0f, 0.0f))));
    camera.SetCoords(Coords::LookAt(Vec3(0.0f, 6.0f, -6.0f), Vec3(), Vec3(0.0f, 1.0f, 0.0f)));
    const Frustum frustum = camera.GetFrustum(Viewport(0, 0, kWidth, kHeight));
    const auto texels = [&] {
        std::vector<uint32_t> pixels(32 * 32);
        EXPECT_TRUE(target->ReadPixels(pixels.data(), 32, 32, RenderTextureFormat::RGBA));
        return pixels;
    };
    canvas.ClearRenderSurface(target, Color(0.0f, 0.0f, 0.0f, 1.0f), RenderDevice::kClearColor);

    const Mat4 mark(2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
    Mat4 matrix = mark;
    GraphicsShadowMap empty(sun, FakeRegion());
    EXPECT_FALSE(empty.RenderDirectional(canvas, camera, frustum, 3, target, matrix));
    EXPECT_TRUE(empty.RenderDirectional(canvas, camera, frustum, GraphicsShadowMap::kOrthographic, target, matrix));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix.GetData()[i], mark.GetData()[i]);
    for (const uint32_t texel : texels()) ASSERT_EQ(texel | 0xFF000000u, 0xFFFFFFFFu);

    for (const int algorithm : {0, 1, 2}) {
        GraphicsShadowMap map(sun, FakeRegion());
        RenderablePass pass;
        pass.renderable = &box;
        pass.region = FakeRegion();
        pass.sceneBox = ABBox(Vec3(0.0f, 1.0f, 0.0f), Vec3(1.0f, 1.0f, 1.0f));
        ASSERT_TRUE(map.AddSurface(pass, true));
        pass.renderable = &ground;
        pass.sceneBox = ABBox(Vec3(0.0f, -0.1f, 0.0f), Vec3(6.0f, 0.1f, 6.0f));
        ASSERT_TRUE(map.AddSurface(pass, true));  // the slab fills the map to its edges
        ASSERT_TRUE(map.RenderDirectional(canvas, camera, frustum, algorithm, target, matrix));
        const std::vector<uint32_t> pixels = texels();
        int drawn = 0;
        int inside[4] = {};  // texels drawn next to the left, right, top and bottom border
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const bool border = x == 0 || y == 0 || x == 31 || y == 31;
                const bool white = (pixels[size_t(y * 32 + x)] & 0xFFFFFFu) == 0xFFFFFFu;
                if (border) {
                    EXPECT_TRUE(white) << algorithm << ": " << x << ", " << y;
                }
                drawn += white ? 0 : 1;
                for (const int edge : {x == 1 ? 0 : -1, x == 30 ? 1 : -1, y == 1 ? 2 : -1, y == 30 ? 3 : -1})
                    if (edge >= 0 && !white) ++inside[edge];
            }
        }
        EXPECT_GT(drawn, 200) << algorithm;
        // The caster reaches the inner edges (the orthographic fit's left one aside).
        for (int edge = algorithm == 0 ? 1 : 0; edge < 4; ++edge)
            EXPECT_GT(inside[edge], 0) << algorithm << " " << edge;
    }
    canvas.DestroySurface(target);
}

// One region holding one actor and the slab; the actor is every shadow caster the maps ask for.
class ActorWorld final : public SceneWorld {
public:
    ActorWorld(Actor& actor, GraphicsMeshInstance& ground) : actor_(actor), ground_(ground) {}

    void AddRegionContents(GraphicsSceneRenderer& renderer, Region* region, const Frustum& frustum, Region*,
                           const Frustum*) override {
        actor_.AddToScene(renderer, &frustum);
        renderer.AddRenderable(&ground_, region);
    }
    void GetRegionsInFrustum(mem::vector<Region*>&, Region*, const Frustum&, bool) override {}
    void AddElementsInFrustum(GraphicsSceneRenderer&, Region*, const Frustum&) override {}
    // A shadow-casting doorway standing upright across x = 3 (z -1 to 1, y 0 to 2) when asked for.
    void RenderPortals(GraphicsPrimitiveDrawer& drawer, Region*, const Coords& regionToScene,
                       bool shadowCastersOnly) override {
        if (!doorway || !shadowCastersOnly) return;
        drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Triangles);
        for (const Vec3& p : {Vec3(3, 0, -1), Vec3(3, 2, -1), Vec3(3, 2, 1), Vec3(3, 0, -1), Vec3(3, 2, 1), Vec3(3, 0, 1)}) {
            drawer.SetVertex(regionToScene.TransformPoint(p));
        }
        drawer.End();
    }
    void AddReflectionPlanes(GraphicsReflectionManager&, Region*, const Frustum&) override {}
    IntVec3 GetOffsetFromWorld(const Region*) const override { return IntVec3(0, 0, 0); }
    void GetEntitiesInSphere(mem::vector<Entity*>& out, Region*, const Sphere&) override {
        out.push_back(&actor_);
        ++queries;
    }
    void GetEntitiesInFrustum(mem::vector<Entity*>& out, Region*, const Frustum& frustum) override {
        if (frustum.TestABBox(actor_.GetRegionBoundingBox(false))) out.push_back(&actor_);
        ++queries;
    }
    Coords GetRegionToRegionCoords(const Region*, const Region*) const override { return Coords(); }

    int queries = 0;
    bool doorway = false;

private:
    Actor& actor_;
    GraphicsMeshInstance& ground_;
};

// With a world the casters are the world's entities: a unit actor on the slab shadows the ground
// beyond it under the sun, and nothing is shadowed once it is hidden; the world's shadow-casting
// portals shadow too.
TEST_F(ShadowPixelTest, WorldActorsCastTheShadows) {
    Region* region = FakeRegion();
    Actor actor;
    actor.SetCoords(WorldCoords(region, Coords::Translation(Vec3(0.0f, 0.5f, 0.0f))));
    actor.SetMesh(sample::kLitBoxMesh);
    ASSERT_NE(actor.GetMeshInstance(), nullptr);
    ASSERT_NE(actor.GetMeshInstance()->GetMesh(), nullptr);
    actor.GetMeshInstance()->GetMesh()->EnsureAvailable();
    actor.UpdateBoundingBox();
    ActorWorld world(actor, ground);
    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    sun.SetColor(Color(0.8f, 0.8f, 0.8f, 1.0f));
    sun.SetCastsShadows(true);
    sun.SetObjectToWorldCoords(
        WorldCoords(region, Coords::LookIn(Vec3(), Vec3(1.0f, -1.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f))));
    std::vector<Vec3> points = {Vec3(1.0f, 0.0f, 0.0f), Vec3(1.9f, 0.0f, 0.0f), Vec3(1.0f, 0.0f, 0.9f),
                                Vec3(-1.0f, 0.0f, 0.0f)};
    const auto draw = [&] {
        GraphicsNormalRenderer renderer(&world);
        camera.SetCoords(Coords::LookAt(Vec3(-2.0f, 6.0f, -6.0f), Vec3(0.5f, 0.0f, 0.5f), Vec3(0.0f, 1.0f, 0.0f)));
        renderer.SetViewer(region, camera, Viewport(0, 0, kWidth, kHeight),
                           camera.GetFrustum(Viewport(0, 0, kWidth, kHeight)));
        renderer.SetSkyAmbientColor(Color(0.2f, 0.2f, 0.2f, 1.0f));
        renderer.SetGroundAmbientColor(Color(0.2f, 0.2f, 0.2f, 1.0f));
        renderer.AddLight(sun);
        renderer.AddRegionToScene(region, Coords(), nullptr);
        const std::vector<uint32_t> pixels = Draw(renderer);
        std::vector<int> levels;
        for (const Vec3& point : points) {
            const Vec2 at = Project(point);
            const bool inside = at.x >= 0.0f && at.x < kWidth && at.y >= 0.0f && at.y < kHeight;
            EXPECT_TRUE(inside) << point.x << " " << point.z;
            levels.push_back(inside ? At(pixels, at).g : -1);
        }
        return levels;
    };
    const int ambient = 51;
    const int sunlit = 51 + int(0.8f * 0.7071f * 255.0f);
    const std::vector<int> levels = draw();
    EXPECT_NEAR(levels[0], ambient, 4);
    for (size_t i = 1; i < levels.size(); ++i) EXPECT_NEAR(levels[i], sunlit, 4) << i;
    EXPECT_GT(world.queries, 0);

    actor.SetVisible(false);
    EXPECT_NEAR(draw()[0], sunlit, 4);

    // A shadow-casting portal shadows like a wall: the doorway at x = 3, two high, darkens the
    // ground from x = 3 to 5.
    world.doorway = true;
    actor.SetVisible(true);
    points = {Vec3(4.0f, 0.0f, 0.0f), Vec3(5.5f, 0.0f, 0.0f), Vec3(2.5f, 0.0f, 0.0f)};
    const std::vector<int> doorway = draw();
    EXPECT_NEAR(doorway[0], ambient, 4);
    EXPECT_NEAR(doorway[1], sunlit, 4);
    EXPECT_NEAR(doorway[2], sunlit, 4);
}

}  // namespace
}  // namespace GAME
