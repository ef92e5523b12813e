// Water types: the record's byte form, the opacity ramp and sharing through the manager.

#include <gtest/gtest.h>

#include "core/GameClock.h"
#include "core/IntVec3.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/Options.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsNoiseGen.h"
#include "render/GraphicsShader2.h"
#include "render/NoiseTexture.h"
#include "render/ShaderFileWriter.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/RecordingDevice.h"
#include "support/RecordingEngineTest.h"
#include "terrain/WaterType.h"
#include "terrain/WaterTypeManager.h"
#include "world/WorldFrustum.h"

namespace GAME {
namespace {

WaterType MakeLake() {
    WaterType type("Lake");
    WaterType::Settings& s = type.EditSettings();
    s.MinDepthOpacity = 0.1f;
    s.MaxDepthOpacity = 0.9f;
    s.MinDepth = 2.0f;
    s.MaxDepth = 2.5f;
    s.ScrollSpeed = -3.0f;
    s.Smoothness = 5.0f;
    s.Specularity = 50.0f;
    s.Reflectivity = 0.5f;
    s.Direction = 90.0f;
    s.TextureScale = Vec2(8.0f, 4.0f);
    s.WaterColor = Color(0.2f, 0.3f, 0.4f, 0.5f);
    s.SkyMapFilename = "Sky.tex";
    s.NoiseTextureName = "Noise.dbr";
    return type;
}

TEST(WaterType, RecordReadsToItsValuesAndKeepsTheReadersAlpha) {
    BinaryWriter writer;
    MakeLake().Save(writer);
    ASSERT_EQ(writer.GetPosition(), 60u + 8u + 11u + 13u);

    WaterType loaded;
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    ASSERT_TRUE(loaded.Load(reader));
    EXPECT_TRUE(reader.IsAtEnd());
    const WaterType::Settings& s = loaded.GetSettings();
    EXPECT_EQ(std::tuple(loaded.GetTypeName(), s.SkyMapFilename, s.NoiseTextureName),
              std::tuple("Lake", "Sky.tex", "Noise.dbr"));
    EXPECT_EQ(std::vector({s.MinDepthOpacity, s.MaxDepth, s.ScrollSpeed, s.Direction, s.TextureScale.y,
                           s.WaterColor.b}),
              std::vector({0.1f, 2.5f, -3.0f, 90.0f, 4.0f, 0.4f}));
    EXPECT_EQ(s.WaterColor.a, 1.0f);  // not stored

    // Cut inside the floats: the fields not reached keep their values, and a zero scale read
    // from a record cannot reach the divisions.
    BinaryWriter cut;
    cut.Write(1u);
    for (float value : {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}) cut.Write(value);
    WaterType partial("Kept");
    BinaryReader cutReader(cut.GetBuffer(), cut.GetPosition());
    EXPECT_TRUE(partial.Load(cutReader));
    EXPECT_EQ(partial.GetTypeName(), "Kept");
    EXPECT_EQ(partial.GetSettings().TextureScale.y, 16.0f);
    EXPECT_GT(partial.GetSettings().TextureScale.x, 0.0f);
    EXPECT_EQ(partial.GetSettings().Specularity, 0.0f);
}

TEST(WaterType, OpacityRampNeverDividesBelowOne) {
    const WaterType lake = MakeLake();  // depths 2 .. 2.5, opacities 0.1 .. 0.9
    EXPECT_FLOAT_EQ(lake.CalculateOpacity(2.25f), 0.75f * 0.1f + 0.25f * 0.9f);
    EXPECT_EQ(lake.CalculateOpacity(100.0f), 0.9f);
    EXPECT_EQ(lake.CalculateOpacity(-1.0f), 0.1f);
    const Vec2 drift = lake.CalculateVelocity();
    EXPECT_NEAR(drift.x, 0.0f, 1e-5f);
    EXPECT_NEAR(drift.y, -3.0f, 1e-5f);
}

TEST(WaterTypeManager, SharesTypesByNameAndFreesThemAtZero) {
    WaterTypeManager manager;
    WaterType* lake = manager.CreateWaterType("Lake");
    ASSERT_NE(lake, nullptr);
    EXPECT_EQ(manager.GetWaterType("LAKE"), lake);
    EXPECT_EQ(manager.CreateWaterType("lake"), lake);
    EXPECT_EQ(manager.GetReferenceCount("Lake"), 3);
    EXPECT_EQ(manager.AddWaterType(WaterType("lAKE")), nullptr);
    EXPECT_EQ(manager.GetWaterType("Sea"), nullptr);

    WaterType seaSource = MakeLake();
    seaSource.SetTypeName("Sea");
    WaterType* sea = manager.AddWaterType(seaSource);
    ASSERT_NE(sea, nullptr);
    EXPECT_TRUE(manager.RenameWaterType("Lake", "Pond"));
    EXPECT_FALSE(manager.RenameWaterType("Pond", "Pond"));
    EXPECT_FALSE(manager.IsWaterType("Lake"));

    EXPECT_FALSE(manager.ReleaseWaterType(lake));
    EXPECT_FALSE(manager.ReleaseWaterType(lake));
    EXPECT_TRUE(manager.ReleaseWaterType(lake));
    EXPECT_FALSE(manager.IsWaterType("Pond"));
    EXPECT_FALSE(manager.ReleaseWaterType(nullptr));

    // The freed slot comes first again; the other type keeps its place.
    manager.CreateWaterType("River");
    mem::vector<std::string> names{"stale"};
    manager.GetWaterTypeNames(names);
    EXPECT_EQ(names, (mem::vector<std::string>{"River", "Sea"}));
    EXPECT_EQ(manager.GetWaterType("sea")->GetSettings().MaxDepth, 2.5f);
}

// With a graphics engine the water type's noise record becomes its bump texture, shared through
// the noise generator; the engine's shutdown destroys the manager and what it still holds.
class WaterTypeEngineTest : public test::RecordingEngineTest {
protected:
    void SetUp() override {
        directory.WriteFile("Noise.dbr", "Class,NoiseTexture,\nsize,16,\nlevels,1;0;0;0,\n");
        // A shader that puts "textureScale", "depthParams" and "textureOffset" in vertex registers 0-2.
        ShaderFileSection section;
        section.generation = "GeForce6";
        section.values = {
            ShaderFileValue::VertexProgram("vertex program", {{0, 1, false, 0}, {1, 1, false, 1}, {2, 1, false, 2}})};
        for (const auto& [name, type] : {std::pair{"textureScale", ShaderValueType::Float2},
                                         {"depthParams", ShaderValueType::Float4},
                                         {"textureOffset", ShaderValueType::Float2}})
            section.parameters.push_back({name, type, 1, ShaderFileParameter::kNoDefault});
        section.styles = {{"normal", 0, {{ShaderStateCode::VertexProgram, 0, true, 0}}}};
        const std::vector<uint8_t> shader = test::MakeShaderFile({section});
        directory.WriteFile("Water.ssh", std::string(shader.begin(), shader.end()));
        engine.GetOptions()->SetQuality(Options::QualityName::detailLevel, 2);  // the device's own generation
        StartEngine();
    }
};

TEST_F(WaterTypeEngineTest, TheNoiseRecordIsSharedAndTheManagerGoesAtShutdown) {
    test::LogCapture log;
    WaterType* lake = WaterTypeManager::Get().AddWaterType(MakeLake());
    ASSERT_NE(lake, nullptr);
    EXPECT_EQ(lake->GetNoiseTexture(), nullptr);  // the main thread acquires it
    lake->Update();
    const NoiseTexture* noise = lake->GetNoiseTexture();
    ASSERT_NE(noise, nullptr);
    GraphicsNoiseGen& generator = *Singleton<GraphicsNoiseGen>::Get();
    NoiseTexture* shared = generator.AcquireNoiseTexture("noise.DBR");
    EXPECT_EQ(shared, noise);
    generator.ReleaseNoiseTexture(shared);
    lake->ReloadNoise();
    EXPECT_EQ(lake->GetNoiseTexture(), nullptr);
    lake->Update();
    EXPECT_NE(lake->GetNoiseTexture(), nullptr);
    // A type that goes gives its noise back: the last user's release destroys the texture.
    WaterType pondSource("Pond");
    pondSource.EditSettings().NoiseTextureName = "Noise.dbr";
    WaterType* pond = WaterTypeManager::Get().AddWaterType(pondSource);
    pond->Update();
    lake->ReloadNoise();  // the lake lets go until its next update
    ObjectManager& objects = *Singleton<ObjectManager>::Get();
    const int live = objects.GetNumObjects();
    WaterTypeManager::Get().ReleaseWaterType(pond);
    objects.DestroyPendingObjects(-1);
    EXPECT_EQ(objects.GetNumObjects(), live - 1);

    // Still referenced at shutdown: destroyed with a warning, and a later Get starts empty.
    engine.Shutdown();
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "removing water type 'Lake' with '1' references remaining"));
    EXPECT_EQ(WaterTypeManager::Get().GetReferenceCount("Lake"), 0);
    WaterTypeManager::Destroy();
}

// The texture drifts with game time along x, in repeats of the x texture scale, worked out once a
// frame.
TEST_F(WaterTypeEngineTest, TheDriftFollowsGameTimeOncePerFrame) {
    WaterType* lake = WaterTypeManager::Get().AddWaterType(MakeLake());  // speed -3, scale 8 x 4
    ASSERT_NE(lake, nullptr);
    engine.Update(WorldFrustum(), false);
    GameClock::Get().Reset();
    GameClock::Get().AdvanceBy(1000.0);
    lake->Update();
    EXPECT_FLOAT_EQ(lake->GetTextureOffset(), -3.0f / 8.0f);
    GameClock::Get().AdvanceBy(3000.0);
    lake->Update();
    EXPECT_FLOAT_EQ(lake->GetTextureOffset(), -3.0f / 8.0f) << "once a frame";
    // A type assigned over it works the drift out again in the same frame.
    WaterType faster = *lake;
    faster.EditSettings().ScrollSpeed = -4.5f;
    *lake = faster;
    lake->Update();
    EXPECT_FLOAT_EQ(lake->GetTextureOffset(), -0.25f);  // 4 s x -4.5 / 8
    engine.Update(WorldFrustum(), false);
    GameClock::Get().Reset();
    GameClock::Get().AdvanceBy(4000.0);
    lake->Update();
    EXPECT_FLOAT_EQ(lake->GetTextureOffset(), -0.25f);  // -18 / 8: whole repeats dropped
    // The shader reads the drift plus the fraction of a repeat where the water is drawn, in x and z.
    const GraphicsShader2* shader = engine.GetGraphicsEngine()->LoadShader2("Water.ssh");
    ASSERT_TRUE(shader->Begin(0));
    lake->SetShaderParams(shader, IntVec3(20, 3, -6));
    auto& device = *static_cast<test::RecordingDevice*>(engine.GetGraphicsEngine()->GetRenderDevice());
    device.ClearCalls();
    shader->Render("water");
    // 20 / 8 and -6 / 4 repeats in: 0.5 - 0.25 and -0.5.
    EXPECT_EQ(device.GetCalls("SetVertexShaderConstants"),
              (std::vector<std::string>{"SetVertexShaderConstants(0, [0.125, 0.25, 0, 0], 1)",
                                        "SetVertexShaderConstants(1, [2, 2.5, 0.1, 0.9], 1)",
                                        "SetVertexShaderConstants(2, [0.25, -0.5, 0, 0], 1)"}));
    shader->End();
    engine.GetGraphicsEngine()->UnloadShader2(shader);
    WaterTypeManager::Get().ReleaseWaterType(lake);
}

}  // namespace
}  // namespace GAME
