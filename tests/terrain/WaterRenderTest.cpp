// The water drawn through the scene renderer on the GL device with the sample data's water
// shaders, and read back: a lake covers the basin it lies over and nothing where the ground rises
// above it, a river shows all along its course, a ripple rings where it started and fades as it
// grows, shore waves move between frames while the water around them stays, and a box above the
// lake shows in its reflection.

#include "TestTerrain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "SampleMeshShaders.h"
#include "SampleNoise.h"
#include "SampleScene.h"
#include "SampleWater.h"
#include "core/Frustum.h"
#include "core/Mat4.h"
#include "core/Random.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsNoiseGen.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsNormalRenderer.h"
#include "scene/GraphicsReflectionManager.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"
#include "support/OneRegionScene.h"
#include "support/PlainSceneRenderer.h"
#include "terrain/Water.h"
#include "terrain/WaterLayer.h"
#include "terrain/WaterPath.h"
#include "terrain/WaterType.h"
#include "terrain/WaterWaveSet.h"
#include "terrain/WaterTypeManager.h"
#include "world/Region.h"

namespace GAME::test {
namespace {

constexpr int kWidth = GLEngineBed::kWidth;
// Colours without the destination alpha, which the blending changes.
constexpr uint32_t kBlack = Rgba(0, 0, 0, 0);
constexpr uint32_t kBlue = Rgba(0, 0, 255, 0);

// Ground 3 below the lake's surface (height 0) over samples 8-24 both ways, 5 above it elsewhere.
float Basin(unsigned x, unsigned z) { return x >= 8 && x <= 24 && z >= 8 && z <= 24 ? -3.0f : 5.0f; }

// Seen from above: x 0..32 across the window (4 pixels a unit), z 0..32 down it (2 a unit).
const Mat4 kFromAbove(0.0625f, 0, 0, -1, 0, 0, -0.0625f, 1, 0, -0.01f, 0, 0.5f, 0, 0, 0, 1);

void MakeType(const char* name, const Color& colour) {
    WaterType::Settings& s = WaterTypeManager::Get().CreateWaterType(name)->EditSettings();
    s.WaterColor = colour;
    s.MinDepthOpacity = 1.0f;  // opaque at every depth, so only coverage and dry ground leave gaps
    s.MaxDepthOpacity = 1.0f;
}

class WaterRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        ASSERT_TRUE(sample::WriteWater(bed.Files()));
        bed.WriteFile(GraphicsNoiseGen::kShaderFile, sample::MakeNoiseShaderFile());
        ASSERT_TRUE(ground.Make(33, 33, Basin));
        MakeType("Lake", Color(0, 0, 1, 1));
        MakeType("River", Color(0, 1, 0, 1));
        water->Initialize(32, 32, &ground, &bed.Device());
    }
    void TearDown() override {
        water.reset();  // gives the types back
        for (const char* name : {"Lake", "River"}) {
            WaterTypeManager::Get().ReleaseWaterType(WaterTypeManager::Get().GetWaterType(name));
        }
        WaterTypeManager::Destroy();
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    }
    std::vector<uint32_t> Draw() {
        bed.Clear();
        PlainSceneRenderer renderer;
        renderer.SetWorldToScreenMatrix(kFromAbove);
        water->AddToScene(renderer, Frustum::FromBox(ABBox(Vec3(16, 0, 16), Vec3(100, 100, 100))));
        renderer.RenderStyle(bed.Canvas(), SceneStyleNames::Get().emissive);
        return bed.ReadPixels();
    }
    // The colour over the point (x, z) of the ground.
    static uint32_t At(const std::vector<uint32_t>& pixels, float x, float z) {
        return pixels[size_t(z * 2.0f) * kWidth + size_t(x * 4.0f)] & Rgba(255, 255, 255, 0);
    }
    // The point of the ground under the centre of pixel i.
    static Vec2 Ground(size_t i) { return Vec2((float(i % kWidth) + 0.5f) / 4.0f, (float(i / kWidth) + 0.5f) / 2.0f); }
    // The lake over the basin.
    void Lake() {
        WaterLayer* lake = water->AddWaterLayer("Lake", 0.0f);
        ASSERT_NE(lake, nullptr);
        lake->UpdateArea(Vec3(16, 0, 16), 40.0f, true);
    }

    GLEngineBed bed;
    LogCapture log;
    TestTerrain ground;
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    std::unique_ptr<Water> water = std::make_unique<Water>(&region);
};

TEST_F(WaterRenderTest, ALakeCoversItsBasinAndNotTheGroundAboveIt) {
    WaterLayer* lake = water->AddWaterLayer("Lake", 0.0f);
    ASSERT_NE(lake, nullptr);
    lake->UpdateArea(Vec3(16, 0, 16), 40.0f, true);  // painted everywhere the ground allows
    ASSERT_GT(lake->GetNumBlocks(), 0u);
    const std::vector<uint32_t> pixels = Draw();
    for (float z = 0.5f; z < 32.0f; z += 1.0f) {
        for (float x = 0.5f; x < 32.0f; x += 1.0f) {
            const bool wet = x > 8.0f && x < 24.0f && z > 8.0f && z < 24.0f;
            const bool dry = x < 7.0f || x > 25.0f || z < 7.0f || z > 25.0f;  // clear of the shore's blend
            if (wet) {
                EXPECT_EQ(At(pixels, x, z), kBlue) << x << ", " << z;
            } else if (dry) {
                EXPECT_EQ(At(pixels, x, z), kBlack) << x << ", " << z;
            }
        }
    }
    // The shore fades: partly blue between the last dry and the first wet sample.
    const uint32_t shore = At(pixels, 7.5f, 16.5f);
    EXPECT_GT(shore >> 16 & 0xFF, 0u);
    EXPECT_LT(shore >> 16 & 0xFF, 255u);
}

TEST_F(WaterRenderTest, ARiverShowsAllAlongItsCourse) {
    ControlPoint first{2, 28, 10, 0, 0, 0, 2};
    first.UpdateNormal();
    ControlPoint last{30, 28, 10, 0, 0, 0, 2};
    last.UpdateNormal();
    WaterPath* river = water->AddWaterPath("River", 6.0f, first);
    ASSERT_NE(river, nullptr);
    river->AddControlPoint(last);
    const std::vector<uint32_t> pixels = Draw();
    // No gap along the course; full strength away from the ends, which fade in.
    for (float x = 3.5f; x < 28.5f; x += 0.25f) {
        const uint32_t green = At(pixels, x, 28.0f) >> 8 & 0xFF;
        EXPECT_GT(green, 0u) << x;
        if (x > 10.0f && x < 22.0f) {
            EXPECT_EQ(green, 255u) << x;
        }
    }
    EXPECT_EQ(At(pixels, 16.0f, 16.0f), kBlack);  // nothing but the river
    EXPECT_EQ(At(pixels, 16.0f, 31.5f), kBlack);
}

TEST_F(WaterRenderTest, ARippleRingsWhereItStartedAndFadesAsItGrows) {
    Lake();
    SeedRand15(3);
    WaterRippleSet& ripples = water->GetRipples();
    ASSERT_TRUE(ripples.CreateRipple(Vec3(16, 0, 16), 4.0f, 12.0f));
    const WaterRippleSet::Ripple& ripple = ripples.GetRipple(0);
    const float x = ripple.position.x;
    const float z = ripple.position.z;
    // The white ring is the only red on the blue lake: inside the ripple's quad, at 0.8 of its half
    // size, not at its centre; its strongest red.
    const auto check = [&]() {
        const std::vector<uint32_t> pixels = Draw();
        const float r = ripple.radius;
        uint32_t strongest = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            const uint32_t red = pixels[i] & 0xFF;
            if (red == 0) continue;
            const Vec2 p = Ground(i);
            EXPECT_LT(std::fabs(p.x - x), r + 0.25f) << p.x << ", " << p.y;
            EXPECT_LT(std::fabs(p.y - z), r + 0.5f) << p.x << ", " << p.y;
            strongest = std::max(strongest, red);
        }
        for (const Vec2 d : {Vec2(1, 0), Vec2(-1, 0), Vec2(0, 1), Vec2(0, -1)}) {
            EXPECT_GT(At(pixels, x + d.x * 0.8f * r, z + d.y * 0.8f * r) & 0xFF, 0u) << d.x << ", " << d.y;
        }
        EXPECT_EQ(At(pixels, x, z), kBlue);
        return strongest;
    };
    water->Update(16);
    const uint32_t young = check();
    water->Update(5000);
    ASSERT_GT(ripple.radius, 8.5f);
    const uint32_t old = check();
    EXPECT_LT(old, young / 2);
    // Grown to its final radius it is drawn fully faded, then freed.
    water->Update(10000);
    EXPECT_EQ(ripples.GetNumRipplesWritten(), 1u);
    for (const uint32_t pixel : Draw()) ASSERT_EQ(pixel & 0xFF, 0u);
    water->Update(16);
    EXPECT_EQ(ripples.GetNumRipplesWritten(), 0u);
    EXPECT_FALSE(ripple.active);
}

TEST_F(WaterRenderTest, ShoreWavesMoveBetweenFramesAndNothingElseChanges) {
    // Rollers take their widths and phases from the shared random sequence: seed it so the
    // picture does not depend on which tests ran before in the same process.
    SeedRand15(1);
    Lake();
    ControlPoint first{10, 12, 4, 0, 0, 0, 3};
    first.UpdateNormal();
    ControlPoint last{22, 12, 4, 0, 0, 0, 3};
    last.UpdateNormal();
    WaterWaveSet* waves = water->AddWaveSet(0.0f, first);
    ASSERT_NE(waves, nullptr);
    waves->AddControlPoint(last);
    ASSERT_EQ(waves->GetNumSegments(), 1u);
    const WaterWaveSegment& segment = waves->GetSegment(0);
    ASSERT_TRUE(segment.HasRollers());
    // Where the waves lie in either frame, in x and z.
    Vec2 low(Infinity, Infinity);
    Vec2 high(-Infinity, -Infinity);
    const auto frame = [&](int elapsedMs) {
        water->Update(elapsedMs);
        for (const WaterWaveSegment::Vertex& v : segment.GetVertices()) {
            low = Vec2(std::min(low.x, v.position.x), std::min(low.y, v.position.z));
            high = Vec2(std::max(high.x, v.position.x), std::max(high.y, v.position.z));
        }
        return Draw();
    };
    const std::vector<uint32_t> before = frame(100);
    const std::vector<uint32_t> after = frame(700);
    size_t changed = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) continue;
        ++changed;
        const Vec2 p = Ground(i);
        EXPECT_TRUE(p.x > low.x - 0.25f && p.x < high.x + 0.25f && p.y > low.y - 0.5f && p.y < high.y + 0.5f)
            << p.x << ", " << p.y;
    }
    EXPECT_GT(changed, 50u);
    EXPECT_EQ(At(after, 16.0f, 22.0f), kBlue);  // the lake away from the waves
}

// A red box at height 1.5 over the middle of the lake, seen from above its south shore: the lake
// shows it mirrored (half reflection, half water colour) where its image at -1.5 lies, and its own
// colour where it reflects nothing; the box itself covers the water in front of it.
TEST_F(WaterRenderTest, ABoxAboveTheLakeShowsInItsReflection) {
    bed.WriteFile(sample::kStandardShader, sample::MakeMeshShaderFile(sample::MeshShaderKind::Standard, false));
    bed.WriteFile(sample::kLitBoxMesh, sample::MakeLitBoxMeshFile());
    GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 64, 64);
    bed.Graphics().EnableReflections(true);
    Lake();
    GraphicsMeshInstance box;
    box.SetMesh(sample::kLitBoxMesh);
    ASSERT_NE(box.GetMesh(), nullptr);
    box.GetMesh()->EnsureAvailable();
    box.SetObjectToRegionCoords(Coords::Translation(Vec3(16.0f, 1.5f, 16.0f)));
    box.SetDiffuseColor(Color(1.0f, 0.0f, 0.0f, 1.0f));
    // A green beam high beyond the lake, along z 40-60 at height 8.
    GraphicsMeshInstance beam;
    beam.SetMesh(sample::kLitBoxMesh);
    beam.SetObjectToRegionCoords(Coords(Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 20), Vec3(16.0f, 8.0f, 50.0f)));
    beam.SetDiffuseColor(Color(0.0f, 1.0f, 0.0f, 1.0f));
    OneRegionScene scene(
        &region,
        [&](GraphicsSceneRenderer& renderer, const Frustum& frustum) {
            renderer.AddRenderable(&box, &region);
            renderer.AddRenderable(&beam, &region);
            water->AddToScene(renderer, frustum);
        },
        [&](GraphicsReflectionManager& manager, const Frustum& frustum) {
            water->AddReflectionPlanes(manager, &region, frustum);
        });

    Camera camera;
    camera.SetCoords(Coords::LookAt(Vec3(16.0f, 12.0f, 2.0f), Vec3(16.0f, 0.0f, 15.0f), Vec3(0.0f, 1.0f, 0.0f)));
    const Viewport viewport(0, 0, kWidth, GLEngineBed::kHeight);
    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    sun.SetColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    const Color ambient(1.0f, 1.0f, 1.0f, 1.0f);
    GraphicsReflectionManager reflections(&scene);
    ASSERT_EQ(reflections.RenderReflections(bed.Canvas(), {&camera, &region, viewport, &sun, &ambient, &ambient}), 1);
    RenderSurface* const surface = water->GetLayer(0)->GetReflectionPlane().surface;
    ASSERT_NE(surface, nullptr);
    // The surface holds the beam's image where the lake reads it, also near its far side (point 48
    // of the beam lies over z 29.6), and stays clear where no water reads it (point 58 over z 36).
    constexpr int kSize = GraphicsReflectionManager::kSurfaceSize;
    std::vector<uint32_t> image(size_t(kSize) * kSize);
    ASSERT_TRUE(surface->ReadPixels(image.data(), kSize, kSize, RenderTextureFormat::RGBA));
    const auto reflected = [&](float z) {
        const Vec2 uv = camera.ProjectToImageSpace(Vec3(16.0f, -8.0f, z), viewport);
        return image[size_t((1.0f - uv.y) * kSize) * kSize + size_t(uv.x * kSize)];
    };
    EXPECT_EQ(reflected(48.0f), Rgba(0, 255, 0, 255));
    EXPECT_EQ(reflected(58.0f), 0u);

    GraphicsNormalRenderer renderer(&scene);
    renderer.SetViewer(&region, camera, viewport, camera.GetFrustum(viewport));
    renderer.SetSkyAmbientColor(ambient);
    renderer.SetGroundAmbientColor(ambient);
    renderer.BuildScene(false);
    renderer.Render(bed.Canvas(), false, false);
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    GraphicsNormalRenderer::DestroyRenderTargets(bed.Graphics());
    const auto at = [&](const Vec3& point) {
        const Vec2 p = camera.Project(point, viewport);
        return pixels[size_t(p.y) * kWidth + size_t(p.x)];
    };
    const auto red = [](uint32_t c) { return int(c & 0xFF); };
    const auto blue = [](uint32_t c) { return int(c >> 16 & 0xFF); };
    // The box's image below the surface: its front face, top face and middle.
    for (const Vec3& p : {Vec3(16.0f, -1.5f, 15.5f), Vec3(16.2f, -2.0f, 16.0f), Vec3(15.8f, -1.2f, 15.5f)}) {
        EXPECT_NEAR(red(at(p)), 128, 24) << p.x << " " << p.y << " " << p.z;
        EXPECT_NEAR(blue(at(p)), 128, 24);
    }
    // Water away from the image reflects nothing; the box itself is plain red.
    for (const Vec3& p : {Vec3(12.0f, 0.0f, 12.0f), Vec3(20.0f, 0.0f, 20.0f), Vec3(16.0f, 0.0f, 22.0f)}) {
        EXPECT_LT(red(at(p)), 8) << p.x << " " << p.z;
        EXPECT_GT(blue(at(p)), 240);
    }
    EXPECT_GT(red(at(Vec3(16.0f, 1.5f, 15.5f))), 240);
    EXPECT_LT(blue(at(Vec3(16.0f, 1.5f, 15.5f))), 8);
}

}  // namespace
}  // namespace GAME::test
