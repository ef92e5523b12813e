// Particles drawn on the GL device: quads around each particle's position, textured by the
// particle's frame (one draw per frame in use), fading with the alpha curve until the last dies;
// and emitter lights that fade in with the emitter and out with their entity.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "SampleEffects.h"
#include "core/GameClock.h"
#include "effects/Effect.h"
#include "effects/EffectData.h"
#include "effects/EffectEntity.h"
#include "effects/EmitterData.h"
#include "effects/EmitterLight.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "effects/EffectResource.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/RenderDevice.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/GLEngineBed.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/PlainSceneRenderer.h"
#include "support/RecordingEngineTest.h"
#include "support/RecordingResources.h"
#include "support/TempDirectory.h"
#include "files/FileSystem.h"
#include "world/AmbianceManager.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {
namespace {

constexpr int kWidth = test::GLEngineBed::kWidth;
constexpr int kHeight = test::GLEngineBed::kHeight;

void SetConstant(EmitterData& data, int slot, float y) { data.GetCurve(slot)->SetPoints({{0.0f, y}, {1.0f, y}}); }

// Particles of life 1 s born 10 a second (of emitter time, which runs at most 0.1 s an update) at one point, rising at 8 units a second, 0.4 units
// across each side of their centre, white, their alpha falling from 1 to 0 over their life; the
// texture's frames follow at 4 a second. The emitter runs for 10 s.
EmitterData RisingParticles() {
    EmitterData data;
    data.SetTextureName("Textures/Frames.tex");
    data.SetInteger(EmitterData::Integer_Shape, 99);
    data.SetInteger(EmitterData::Integer_FramesPerSecond, 4);
    data.SetBoolean(EmitterData::Bool_OrientVertically, true);  // upright already: no change to the camera's
    data.SetFloat(EmitterData::Float_Life, 1.0f);
    data.GetCurve(EmitterData::Curve_Radius)->SetDomain(10.0f);
    SetConstant(data, EmitterData::Curve_Rate, 10.0f);
    SetConstant(data, EmitterData::Curve_Speed, 8.0f);
    SetConstant(data, EmitterData::Curve_Spread, 0.0f);
    SetConstant(data, EmitterData::Curve_Size, 0.4f);
    for (int slot : {EmitterData::Curve_Red, EmitterData::Curve_Green, EmitterData::Curve_Blue})
        SetConstant(data, slot, 1.0f);
    data.GetCurve(EmitterData::Curve_Alpha)->SetPoints({{0.0f, 1.0f}, {1.0f, 0.0f}});
    return data;
}

class ParticleRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        GameClock::Get().Reset();
        const sample::ParticleBlend additive = sample::ParticleBlend::Additive;
        bed.WriteFile(sample::ParticleShaderName(additive), sample::MakeParticleShaderFile(additive));
        // Frames 0 to 3: red, green, blue, white.
        bed.WriteFile("Textures/Frames.tex",
                      test::MakeTexFile(0, {test::MakeDdsFile(4, 4, 0xFFFF0000u), test::MakeDdsFile(4, 4, 0xFF00FF00u),
                                            test::MakeDdsFile(4, 4, 0xFF0000FFu), test::MakeDdsFile(4, 4, 0xFFFFFFFFu)}));
        // 4 pixels a unit, looking along +z from z = -10; the region sits 6 units down in the scene,
        // so particles stay in view for their whole life.
        camera.SetType(CameraType::Orthographic);
        camera.SetWidth(32.0f);
        camera.SetHeight(16.0f);
        camera.SetCoords(Coords::Translation(Vec3(0.0f, 0.0f, -10.0f)));
        parent.SetCoords(WorldCoords(&region, Coords::Translation(Vec3(2.0f, 0.0f, 0.0f))));
        held = bed.HeldResources();
    }
    void TearDown() override {
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
        EXPECT_EQ(bed.HeldResources(), held);  // every emitter gave its texture and shader back
    }

    // Puts the emitter on the parent with its shader and texture ready to draw.
    void Ready(Emitter& emitter) {
        emitter.SetParentEntity(&parent);
        emitter.GetShader()->EnsureAvailable();
        emitter.GetTexture()->EnsureAvailable();
    }
    // One game update of ms and a frame of the emitter drawn; the draw calls it took.
    uint32_t Step(Emitter& emitter, const EmitterData& data, double ms) {
        Update(emitter, data, ms);
        return Draw(emitter);
    }
    void Update(Emitter& emitter, const EmitterData& data, double ms) {
        GameClock::Get().AdvanceBy(ms);
        ABBox box;
        emitter.Update(parent.GetCoords(), box, data, nullptr);
    }
    uint32_t Draw(Emitter& emitter) {
        bed.Clear();
        test::PlainSceneRenderer renderer;
        renderer.SetViewer(nullptr, camera, Viewport(0, 0, kWidth, kHeight), Frustum());
        renderer.SetRegionToSceneCoords(&region, Coords::Translation(Vec3(0.0f, -6.0f, 0.0f)));
        emitter.AddToScene(renderer, nullptr);
        const uint32_t before = bed.Device().GetNumDrawCalls();
        renderer.RenderStyle(bed.Canvas(), Name::Create("emissiveStyle"));
        return bed.Device().GetNumDrawCalls() - before;
    }
    // The pixel at scene point (x, y) (bytes R, G, B, A).
    uint32_t PixelAt(const std::vector<uint32_t>& pixels, float x, float y) const {
        const int column = int(32.0f - 4.0f * x) + 32;
        const int row = int(32.0f - 4.0f * y);
        return pixels[size_t(row) * kWidth + size_t(column)];
    }
    // The colours of the six youngest particles, 0.12 s apart from the youngest ('r', 'g', 'b' for a
    // dominant red, green or blue).
    std::string Colours(const std::vector<uint32_t>& pixels) const {
        std::string colours;
        for (int i = 1; i <= 6; ++i) colours += Dominant(PixelAt(pixels, 2.0f, -6.0f + 8.0f * 0.12f * float(i)));
        return colours;
    }
    static char Dominant(uint32_t pixel) {
        const uint32_t r = pixel & 0xFF, g = pixel >> 8 & 0xFF, b = pixel >> 16 & 0xFF;
        return r > 2 * (g + b) ? 'r' : g > 2 * (r + b) ? 'g' : b > 2 * (r + g) ? 'b' : '-';
    }
    static uint64_t Brightness(const std::vector<uint32_t>& pixels) {
        uint64_t sum = 0;
        for (uint32_t p : pixels) sum += (p & 0xFF) + (p >> 8 & 0xFF) + (p >> 16 & 0xFF);
        return sum;
    }

    test::GLEngineBed bed;
    test::LogCapture log;
    Camera camera;
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    Entity parent;
    std::pair<int, int> held;
};

TEST_F(ParticleRenderTest, ParticlesAreDrawnAroundTheirPositionsByFrameAndFadeAsTheyDie) {
    const EmitterData data = RisingParticles();
    Emitter emitter(data);
    ASSERT_TRUE(emitter.GetShader() != nullptr && emitter.GetTexture() != nullptr);
    Ready(emitter);
    // An emitter without a parent is not drawn outside the particle-system editor.
    Emitter orphan(data);
    test::PlainSceneRenderer renderer;
    orphan.AddToScene(renderer, nullptr);
    EXPECT_EQ(renderer.GetNumPassesWithStyle(Name::Create("emissiveStyle")), 0);
    // One an effect gains after its parent is set is drawn under that parent.
    Effect effect(nullptr);
    effect.SetParentEntity(&parent);
    effect.AddEmitter(data);
    effect.AddToScene(renderer, nullptr);
    EXPECT_EQ(renderer.GetNumPassesWithStyle(Name::Create("emissiveStyle")), 1);
    EXPECT_EQ(emitter.GetNumRenderPasses(Name::Create("shadowStyle"), {}), 0);  // a style its shader lacks
    renderer.EnableEffects(false);  // nor is any without the renderer's effects
    emitter.AddToScene(renderer, nullptr);
    EXPECT_EQ(renderer.GetNumPassesWithStyle(Name::Create("emissiveStyle")), 1);

    uint32_t draws = 0;
    for (int step = 0; step < 6; ++step) draws = Step(emitter, data, 120.0);
    ASSERT_EQ(emitter.GetNumParticles(), 6);
    // Ages 0.12 to 0.72 s at 4 frames a second: frames 0, 0, 1, 1, 2, 2; frame 3 is not drawn.
    EXPECT_EQ(draws, 3u);
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    EXPECT_EQ(Colours(pixels), "rrggbb");
    // Nothing beside the column of particles, nor above the oldest.
    EXPECT_EQ((PixelAt(pixels, 4.0f, -3.0f) | PixelAt(pixels, 2.0f, 0.6f)) & 0xFFFFFF, 0u);
    const std::vector<int> drawn = bed.FindDrawn(0xFF000000u);
    EXPECT_TRUE(drawn[0] >= 56 - 3 && drawn[2] <= 56 + 3) << drawn[0] << " " << drawn[2];
    // Each of the four frames keeps a list long enough for every particle.
    EXPECT_EQ(emitter.CalculateMemoryUsage(),
              sizeof(Emitter) + size_t(emitter.GetCapacity()) * (sizeof(Particle) + 4 * sizeof(uint32_t)));

    // Stopped, the particles age out: the picture dims every frame until nothing is left.
    emitter.StopEmitting();
    uint64_t brightness = Brightness(bed.ReadPixels());
    int frames = 0;
    while (emitter.GetNumParticles() > 0 && frames < 20) {
        Step(emitter, data, 120.0);
        const uint64_t now = Brightness(bed.ReadPixels());
        EXPECT_LT(now, brightness);
        brightness = now;
        ++frames;
    }
    EXPECT_TRUE(emitter.IsComplete() && Step(emitter, data, 120.0) == 0u && Brightness(bed.ReadPixels()) == 0u);
}

// In a loading warm-up an emitter with no live particle draws its pass all the same, covering no
// pixel, and is left as it was: not marked drawn, so its next update simulates nothing.
TEST_F(ParticleRenderTest, AnEmptyEmitterDrawsItsPassUnseenInAWarmUpOnly) {
    const EmitterData data = RisingParticles();
    Emitter emitter(data);
    Ready(emitter);
    Update(emitter, data, 0.0);  // its first step, with no particle yet
    bed.Canvas().SetWarmingUp(true);
    EXPECT_EQ(Draw(emitter), 1u);
    bed.Canvas().SetWarmingUp(false);
    EXPECT_EQ(Brightness(bed.ReadPixels()), 0u);
    Update(emitter, data, 120.0);
    EXPECT_TRUE(emitter.GetNumParticles() == 0 && Draw(emitter) == 0u);
    Update(emitter, data, 120.0);
    EXPECT_EQ(emitter.GetNumParticles(), 1);
}

// Emitting locally, particles live in the emitter's space and are drawn through its parent's
// frame: under a parent turned a quarter about z they rise along -x, frames in the same order.
TEST_F(ParticleRenderTest, LocalParticlesAreDrawnThroughTheirParentsFrame) {
    EmitterData data = RisingParticles();
    data.SetBoolean(EmitterData::Bool_EmitLocally, true);
    Coords turned = Coords::RotationZ(0.5f * 3.1415927f);
    turned.origin = Vec3(2.0f, 0.0f, 0.0f);
    parent.SetCoords(WorldCoords(&region, turned));
    Emitter emitter(data);
    Ready(emitter);
    for (int step = 0; step < 6; ++step) Step(emitter, data, 120.0);
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    std::string colours;
    for (int i = 1; i <= 6; ++i) colours += Dominant(PixelAt(pixels, 2.0f - 8.0f * 0.12f * float(i), -6.0f));
    EXPECT_EQ(colours, "rrggbb");
    EXPECT_LT((emitter.GetRenderPassBoundingBox().centre - Vec3(-1.36f, 0.0f, 0.0f)).Length(), 0.2f);  // turned too
    // Seen from high above, its upright quads (not turned to the camera) are foreshortened to two rows.
    camera.SetCoords(Coords::Translation(Vec3(0.0f, -6.0f, 0.0f)) * Coords::RotationX(1.2f) *
                     Coords::Translation(Vec3(0.0f, 0.0f, -10.0f)));
    Draw(emitter);
    const std::vector<int> seen = bed.FindDrawn(0xFF000000u);
    EXPECT_TRUE(seen[3] > seen[1] && seen[3] - seen[1] <= 2) << seen[3] - seen[1];
    data.SetTextureName("");  // with its shader but no texture it draws nothing
    emitter.Reset(data);
    EXPECT_EQ(Draw(emitter), 0u);
    data.SetShaderName("");  // without names it lets go of its shader and texture at once
    emitter.Reset(data);
}

// Without a frame rate a particle goes through the texture's frames once over its life: living 2 s
// with four frames, a frame every half second. Its first step drew with a texture of one frame:
// the lists by frame follow the new texture.
TEST_F(ParticleRenderTest, WithoutAFrameRateTheFramesSpanAParticlesLife) {
    EmitterData data = RisingParticles();
    data.SetInteger(EmitterData::Integer_FramesPerSecond, 0);
    data.SetFloat(EmitterData::Float_Life, 2.0f);
    bed.WriteFile("Textures/One.tex", test::MakeTexFile(0, {test::MakeDdsFile(4, 4, 0xFFFF0000u)}));
    data.SetTextureName("Textures/One.tex");
    Emitter emitter(data);
    Ready(emitter);
    uint32_t draws = Step(emitter, data, 120.0);
    data.SetTextureName("Textures/Frames.tex");
    for (int step = 1; step < 6; ++step) draws = Step(emitter, data, 120.0);
    EXPECT_EQ(draws, 2u);
    EXPECT_EQ(Colours(bed.ReadPixels()), "rrrrgg");
    // Back to one frame before they move on: the particles past it are drawn with it, logged once.
    data.SetTextureName("Textures/One.tex");
    emitter.Reset(data);
    EXPECT_TRUE(Draw(emitter) == 1u && Colours(bed.ReadPixels()) == "rrrrrr");
    EXPECT_EQ(log.Lines().size() == 1 ? log.Lines()[0].text : "", "Particle using invalid frame 1 of 1 frames.");
    log.Clear();
}

// An emitter updated without a step (it was not drawn since its last one) owes its particles the
// time since; one that time has aged to its life is drawn dark, the others as before.
TEST_F(ParticleRenderTest, AParticleDueToDieBeforeTheNextStepIsDrawnDark) {
    const EmitterData data = RisingParticles();
    Emitter emitter(data);
    Ready(emitter);
    for (int step = 0; step < 6; ++step) Step(emitter, data, 125.0);  // ages 0.125 to 0.75 s
    // A step of no time, then an update without a step (not drawn since).
    Update(emitter, data, 0.0);
    Update(emitter, data, 250.0);
    Draw(emitter);
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    EXPECT_EQ(PixelAt(pixels, 2.0f, -6.0f + 8.0f * 0.75f) & 0xFFFFFF, 0u);  // exactly 1 s: dying; 0.875 s not
    EXPECT_TRUE((PixelAt(pixels, 2.0f, -6.0f + 8.0f * 0.625f) & 0xFFFFFF) && (PixelAt(pixels, 2.0f, -6.0f + 8.0f * 0.125f) & 0xFFFFFF));
}

// Preloading an effect entity queues its file and, once its effect is made, its emitters' texture
// and shader, which the loader's thread then loads.
TEST_F(ParticleRenderTest, AnEffectEntityPreloadsItsEmittersTexturesAndShaders) {
    EffectData effectData;
    effectData.AddEmitterData(std::make_unique<EmitterData>(RisingParticles()));
    BinaryWriter writer;
    effectData.BinaryWrite(writer);
    bed.WriteFile("Effects/Rising.pfx",
                  std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()));
    EffectEntity entity;
    entity.SetCoords(WorldCoords(&region, Coords::Translation(Vec3(2.0f, 0.0f, 0.0f))));
    entity.Load("Effects/Rising.pfx");
    ASSERT_NE(entity.GetEffect(), nullptr);
    const Emitter& emitter = *entity.GetEffect()->GetEmitter(0);
    const Resource* resources[2] = {emitter.GetTexture(), emitter.GetShader()};
    for (const Resource* resource : resources)
        ASSERT_TRUE(resource != nullptr && resource->GetLoadedState() == Resource::LoadedState::NotLoaded);
    ASSERT_TRUE(entity.PreLoad(0, true));
    ResourceLoader& loader = *bed.GetEngine().GetResourceLoader();
    const uint32_t marker = loader.CreateMarker();
    for (int wait = 0; wait < 3000 && !loader.GetHasMarkerPast(marker); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (const Resource* resource : resources) EXPECT_EQ(resource->GetLoadedState(), Resource::LoadedState::Loaded);
}

TEST_F(ParticleRenderTest, LightsFadeInWithTheEmitterAndOutWithTheirEntity) {
    EffectData effectData;
    {
        auto emitter = std::make_unique<EmitterData>(RisingParticles());
        emitter->SetBoolean(EmitterData::Bool_Light, true);
        SetConstant(*emitter, EmitterData::Curve_LightRed, 1.0f);
        SetConstant(*emitter, EmitterData::Curve_LightGreen, 0.5f);
        SetConstant(*emitter, EmitterData::Curve_LightBlue, 0.25f);
        SetConstant(*emitter, EmitterData::Curve_LightRadius, 6.0f);
        SetConstant(*emitter, EmitterData::Curve_OffsetY, 6.0f);  // centred: 1 up
        effectData.AddEmitterData(std::move(emitter));
    }
    BinaryWriter writer;
    effectData.BinaryWrite(writer);
    bed.WriteFile("Effects/Lit.pfx", std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()));

    EffectEntity entity;
    entity.SetCoords(WorldCoords(&region, Coords::Translation(Vec3(2.0f, 0.0f, 0.0f))));
    entity.Load("Effects/Lit.pfx");
    ASSERT_NE(entity.GetEffect(), nullptr);
    const auto lightAfter = [&](int updates) {
        for (int i = 0; i < updates; ++i) {
            GameClock::Get().AdvanceBy(100.0);
            entity.GetEffect()->MarkDrawn();
            entity.Update(100);
        }
        test::PlainSceneRenderer renderer;
        renderer.SetViewer(nullptr, camera, Viewport(0, 0, kWidth, kHeight), Frustum());
        entity.AddToScene(renderer, nullptr);
        return renderer.GetLights();
    };
    // The light fades in over two seconds of emitter time (a twentieth per 100 ms).
    auto lights = lightAfter(10);
    ASSERT_EQ(lights.size(), 1u);
    const Color colour = lights[0].GetColor();
    EXPECT_LT((Vec3(colour.r, colour.g, colour.b) - Vec3(0.5f, 0.25f, 0.125f)).Length(), 1e-4f);
    EXPECT_TRUE(lights[0].GetRadius() == 6.0f &&
                lights[0].GetObjectToWorldCoords().GetOrigin().GetRegionPosition() == Vec3(2.0f, 1.0f, 0.0f));
    // The entity's box reaches the light's radius.
    EXPECT_GE(entity.GetRegionBoundingBox(false).halfSize.x, 6.0f);
    lights = lightAfter(10);
    ASSERT_EQ(lights.size(), 1u);
    EXPECT_NEAR(lights[0].GetColor().r, 1.0f, 1e-4f);

    // Faded by the entity: half-way after half a second, gone (too dim to add) after one.
    entity.FadeLight();
    lights = lightAfter(5);
    ASSERT_EQ(lights.size(), 1u);
    EXPECT_NEAR(lights[0].GetColor().r, 0.5f, 1e-4f);
    EXPECT_TRUE(lightAfter(5).empty() && entity.GetLightMultiplier() == 0.0f);
}

// Each particle's four vertices carry what its shader turns and stretches its quad by: aligned to
// its velocity, the velocity as axis and no turn whatever the spin; else straight up, turned by the
// spin; the speed as length once the stretch passes a hundredth. The emitter's light shines at its
// multiplier, scaled for a night light outside the editor by the outdoor night-light scale.
class ParticleVertexTest : public test::RecordingEngineTest {};

TEST_F(ParticleVertexTest, VerticesCarryTheAxisTurnAndLengthAndNightLightsDimByDay) {
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(directory.GetPath(), true));
    for (const auto& [name, bytes] :
         {std::pair{std::string(sample::ParticleShaderName(sample::ParticleBlend::Additive)),
                    sample::MakeParticleShaderFile(sample::ParticleBlend::Additive)},
          {std::string("Textures/Frames.tex"), test::MakeTexFile(0, {test::MakeDdsFile(4, 4)})}})
        ASSERT_TRUE(files.SaveFile(name, bytes.data(), uint32_t(bytes.size())));
    StartEngine();
    Region* region = engine.GetWorld()->GetRegion(engine.GetWorld()->AddRegion("r", IntVec3(), ABBox(), RegionId()));
    region->SetLevel(std::make_unique<Level>(region));
    region->GetLevel()->NewSpace(Vec2(16.0f, 16.0f));
    region->GetLevel()->PostLoad(false);
    AmbianceManager& ambiance = *engine.GetAmbianceManager();
    ambiance.SetTimeEnabled(false);
    ambiance.SetTime(2.75f);  // before dawn: night lights shine at part strength outdoors
    ambiance.SetTarget(WorldVec3(region, Vec3(8.0f, 0.0f, 8.0f)), WorldFrustum(region, Frustum()));
    ambiance.Update(0);
    const float night = ambiance.GetNightLightScale(SceneAmbiance::kOutdoor);
    ASSERT_TRUE(night > 0.1f && night < 0.9f && ambiance.GetNightLightScale(SceneAmbiance::kUnderground) == 1.0f);

    Entity parent;  // turned so the particles fly along -x, their spin turning at 90 degrees a second
    parent.SetCoords(WorldCoords(region, Coords::RotationZ(0.5f * 3.1415927f)));
    GraphicsCanvas& canvas = *engine.GetGraphicsEngine()->GetCanvas();
    const auto& vertices = static_cast<const test::RecordingDynamicVertexBuffer&>(*canvas.GetDynamicVertexBuffer());
    for (const auto& [aligned, stretch, nightLight, editor] :
         {std::tuple{true, 0.5f, true, false}, {false, 0.5f, true, true}, {true, 0.005f, false, false},
          {false, 0.02f, false, true}, {false, 0.0f, true, false}}) {
        EmitterData data = RisingParticles();
        data.SetBoolean(EmitterData::Bool_AlignToVelocity, aligned);
        data.SetBoolean(EmitterData::Bool_Light, true);
        data.SetBoolean(EmitterData::Bool_LightNightScale, nightLight);
        SetConstant(data, EmitterData::Curve_Stretch, stretch);
        SetConstant(data, EmitterData::Curve_Spin, 450.0f);
        engine.editor = editor;
        Emitter emitter(data);
        emitter.SetParentEntity(&parent);
        emitter.SetLightMultiplier(0.5f);
        for (int step = 0; step < 3; ++step) {
            GameClock::Get().AdvanceBy(120.0);
            ABBox box;
            emitter.Update(parent.GetCoords(), box, data, nullptr);
            emitter.MarkDrawn();
        }
        test::PlainSceneRenderer renderer;
        emitter.AddToScene(renderer, nullptr);
        renderer.RenderStyle(canvas, Name::Create("emissiveStyle"));
        EXPECT_FLOAT_EQ(emitter.GetLight()->GetIntensity(), nightLight && !editor ? 0.5f * night : 0.5f);
        ASSERT_EQ(emitter.GetNumParticles(), 3);
        const auto* v = reinterpret_cast<const ParticleVertex*>(vertices.GetData().data() + vertices.GetLockOffset());
        for (int i = 0; i < 3 * 4; ++i) {
            const Particle& p = emitter.GetParticles()[i / 4];
            ASSERT_TRUE(p.velocity.x < -7.9f && p.spin > 1.0f);
            const Vec3 axis = aligned ? p.velocity : Vec3(0.0f, 1.0f, 0.0f);
            EXPECT_EQ(std::vector<float>(v[i].axis, v[i].axis + 4), (std::vector<float>{axis.x, axis.y, axis.z, stretch}));
            EXPECT_FLOAT_EQ(v[i].shape[0], aligned ? 0.0f : p.spin * 3.1415927f * 0.0055555557f) << i;
            EXPECT_EQ(std::vector<float>(v[i].shape + 1, v[i].shape + 4),
                      (std::vector<float>{0.4f, stretch > 0.01f ? p.velocity.Length() : 0.0f, 0.0f}));
        }
    }
    engine.UnloadWorld();
}

}  // namespace
}  // namespace GAME
