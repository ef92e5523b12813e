// Terrain types: records read with and without their keys, the surface names, the blade
// variation choice, creation through the object manager, the textures with and without a
// graphics engine, and the shader parameters the textures and blade height reach the device as.

#include <gtest/gtest.h>

#include "TestTerrain.h"

#include <memory>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/BaseResourceManager.h"
#include "files/FileSystem.h"
#include "files/Options.h"
#include "files/ResourceLoader.h"
#include "files/TableDepot.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsEngineSettings.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "support/GraphicsTestBed.h"
#include "support/RecordingDevice.h"
#include "support/TempDirectory.h"
#include "terrain/TerrainType.h"
#include "world/Level.h"
#include "world/World.h"

namespace GAME::test {
namespace {

constexpr const char* kGrass = "Records/Terrain/Grass.dbr";
constexpr const char* kBare = "Records/Terrain/Bare.dbr";
constexpr const char* kOdd = "Records/Terrain/Odd.dbr";
constexpr const char* kNotAType = "Records/Terrain/NotAType.dbr";

constexpr const char* kParameterShader = "Shaders/TerrainParameters.ssh";

// A shader whose style puts "baseTexture" and "bumpTexture" in texture stages 0 and 1 and
// "bladeHeight" in vertex register 0.
ShaderFileSection MakeParameterShaderSection() {
    ShaderFileSection section;
    section.generation = "GeForce6";  // the recording device's
    section.values = {ShaderFileValue::VertexProgram("vertex program", {{0, 1, false, 2}})};
    section.parameters = {{"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
                          {"bumpTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
                          {"bladeHeight", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault}};
    section.styles = {{"normal",
                       0,
                       {{ShaderStateCode::VertexProgram, 0, true, 0},
                        {ShaderStateCode::Texture, 0, false, 0},
                        {ShaderStateCode::Texture, 1, false, 1}}}};
    return section;
}

// Records in a temporary directory, read through an object manager of the test's own.
class TerrainTypeTest : public ::testing::Test {
protected:
    TerrainTypeTest() {
        directory.WriteFile(kGrass,
                            "Class,TerrainType,\n"
                            "TextureFileName1,Terrain/Grass.tex,\n"
                            "BumpMapFileName1,Terrain/GrassBump.tex,\n"
                            "BladeTextureFileName,Terrain/Blades.tex,\n"
                            "ActorName,Records/Effects/Dust.dbr,\n"
                            "minimapRed,255,\nminimapGreen,51,\nminimapBlue,0,\n"
                            "VariationProbability,1;0;3,\n"
                            "VariationClumpiness,0.5;0.25;1,\n"
                            "NoiseScale,2;4;8,\n"
                            "MinimumBladeOpacity,50,\n"
                            "BladeSpacing,4,\n"
                            "BladeVariations,3,\n"
                            "BladeWidth,0.75,\n"
                            "BladeHeight,2.5,\n"
                            "surfaceType,Grass,\n");
        directory.WriteFile(kBare, "Class,TerrainType,\n");
        directory.WriteFile(kOdd,
                            "Class,TerrainType,\n"
                            "surfaceType,grass,\n"
                            "BladeVariations,-2,\n"
                            "BladeSpacing,-7,\n"
                            "MinimumBladeOpacity,-50,\n"
                            "VariationProbability,5;x;2,\n");
        directory.WriteFile(kNotAType, "Class,Entity,\n");
        // The textures kGrass names, each its own device texture, and a shader for their parameters.
        for (const char* name : {"Terrain/Grass.tex", "Terrain/GrassBump.tex", "Terrain/Blades.tex"}) {
            const std::vector<uint8_t> dds = MakeDdsFile(4, 4);
            directory.WriteFile(name, std::string(dds.begin(), dds.end()));
        }
        const std::vector<uint8_t> shader = MakeShaderFile({MakeParameterShaderSection()});
        directory.WriteFile(kParameterShader, std::string(shader.begin(), shader.end()));
        fileSystem.AddDirectory(directory.GetPath());
        depot = std::make_unique<TableDepot>(fileSystem);
        objects.SetTableDepot(depot.get());
    }

    TerrainType* Create(const char* record) { return objects.CreateObjectFromFile<TerrainType>(record); }
    // A type read straight from a record's text.
    static std::unique_ptr<TerrainType> FromText(const std::string& text) {
        LoadTable table("records/terrain/inline.dbr");
        table.Parse(text.data(), uint32_t(text.size()));
        auto type = std::make_unique<TerrainType>();
        EXPECT_TRUE(type->Load(table));
        return type;
    }

    TempDirectory directory;
    FileSystem fileSystem;
    std::unique_ptr<TableDepot> depot;
    ObjectManager objects;
};

TEST_F(TerrainTypeTest, AFullRecordSetsEveryField) {
    const TerrainType* type = Create(kGrass);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->GetObjectName(), "records/terrain/grass.dbr");
    EXPECT_EQ(type->GetSurface(), PhysicsSurface::Grass);
    EXPECT_EQ(type->GetActorName(), "Records/Effects/Dust.dbr");
    EXPECT_FLOAT_EQ(type->GetMiniMapColor().r, 255 * 0.00392157f);
    EXPECT_FLOAT_EQ(type->GetMiniMapColor().g, 51 * 0.00392157f);
    EXPECT_FLOAT_EQ(type->GetMiniMapColor().b, 0.0f);
    EXPECT_FLOAT_EQ(type->GetMiniMapColor().a, 1.0f);
    EXPECT_EQ(type->GetVariationProbabilities(), (mem::vector<int>{1, 0, 3}));
    EXPECT_EQ(type->GetVariationClumpiness(), (mem::vector<float>{0.5f, 0.25f, 1.0f}));
    EXPECT_EQ(type->GetNoiseScale(), (mem::vector<float>{2, 4, 8}));
    EXPECT_EQ(std::tuple(type->GetMinimumBladeOpacity(), type->GetBladeSpacing(), type->GetNumBladeVariations(),
                         type->GetBladeWidth(), type->GetBladeHeight()),
              std::tuple(127u, 4u, 3u, 0.75f, 2.5f));
    // Reading the record loads no texture.
    EXPECT_EQ(std::tuple(type->GetNumTextures(), type->GetNumBumpMapTextures(), type->GetBladeTexture()),
              std::tuple(0u, 0u, nullptr));
}

TEST_F(TerrainTypeTest, MissingKeysGiveTheDefaultsAndNegativeCountsReadAsZero) {
    const TerrainType* bare = Create(kBare);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(std::pair(bare->GetSurface(), bare->GetActorName()), std::pair(PhysicsSurface::None, std::string()));
    EXPECT_EQ(bare->GetMiniMapColor(), Color(0, 0, 0, 1));
    EXPECT_TRUE(bare->GetVariationProbabilities().empty() && bare->GetVariationClumpiness().empty() &&
                bare->GetNoiseScale().empty());
    EXPECT_EQ(std::tuple(bare->GetMinimumBladeOpacity(), bare->GetBladeSpacing(), bare->GetNumBladeVariations(),
                         bare->GetBladeWidth(), bare->GetBladeHeight(), bare->GetRandomTexture(12345)),
              std::tuple(0u, 0u, 1u, 1.0f, 1.5f, 0));

    const TerrainType* odd = Create(kOdd);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->GetSurface(), PhysicsSurface::None);  // names are case-sensitive
    EXPECT_EQ(odd->GetNumBladeVariations() + odd->GetBladeSpacing() + odd->GetMinimumBladeOpacity(), 0u);
    EXPECT_EQ(odd->GetVariationProbabilities(), (mem::vector<int>{5, 2}));
    // Two probabilities for no variations: r modulo 0 variations is 0.
    EXPECT_EQ(odd->GetRandomTexture(9), 0);
}

TEST_F(TerrainTypeTest, SurfaceNamesMapExactly) {
    const char* names[] = {"Unwalkable", "Grass", "Dirt", "Sand", "Snow", "Stone", "Wood", "Water"};
    const auto surface = [](const std::string& name) { return FromText("surfaceType," + name + ",\n")->GetSurface(); };
    for (int i = 0; i < 8; ++i) EXPECT_EQ(surface(names[i]), PhysicsSurface(i)) << names[i];
    for (const char* other : {"STONE", "Metal", "100", ""}) EXPECT_EQ(surface(other), PhysicsSurface::None) << other;
}

TEST_F(TerrainTypeTest, BladeVariationsFollowTheirProbabilities) {
    const std::unique_ptr<TerrainType> weighted = FromText("BladeVariations,3,\nVariationProbability,1;0;3,\n");
    EXPECT_EQ(weighted->GetRandomTexture(5), 2);  // 5 mod 4 = 1: past variation 0's share of 1
    EXPECT_EQ(weighted->GetRandomTexture(4), 0);
    EXPECT_EQ(weighted->GetRandomTexture(7), 2);
    // A negative number still picks a valid variation.
    const int fromNegative = weighted->GetRandomTexture(-1);
    EXPECT_TRUE(fromNegative == 0 || fromNegative == 2);

    // Without one probability per variation the number is taken modulo the variations.
    EXPECT_EQ(FromText("BladeVariations,4,\nVariationProbability,1;1,\n")->GetRandomTexture(6), 2);
    // Probabilities that sum to 0 choose the first.
    EXPECT_EQ(FromText("BladeVariations,2,\nVariationProbability,0;0,\n")->GetRandomTexture(6), 0);
    // Huge probabilities do not overflow their sum.
    const std::unique_ptr<TerrainType> huge =
        FromText("BladeVariations,2,\nVariationProbability,2000000000;2000000000,\n");
    EXPECT_EQ(huge->GetRandomTexture(2100000000), 1);
}

TEST_F(TerrainTypeTest, OnlyTerrainTypeRecordsMakeTypesAndWithoutGraphicsTheyHoldNoTexture) {
    EXPECT_EQ(Create(kNotAType), nullptr);
    EXPECT_EQ(Create("Records/Terrain/Missing.dbr"), nullptr);
    EXPECT_EQ(objects.GetNumObjects(), 0);
    TerrainType* type = Create(kGrass);
    ASSERT_NE(type, nullptr);
    type->LoadTextures();
    type->ReloadBumpmaps();
    type->PreLoad(true);
    type->SetShaderParams(nullptr, 0);
    type->SetGrassShaderParams(nullptr);
    EXPECT_EQ(type->GetNumTextures() + type->GetNumBumpMapTextures(), 0u);
    EXPECT_EQ(type->GetTexture(0), nullptr);
    EXPECT_EQ(type->GetBladeTexture(), nullptr);
}

// The same records with the engine started headless on the recording device.
class TerrainTypeGraphicsTest : public TerrainTypeTest {
protected:
    void SetUp() override {
        RenderDevice::SetDeviceDirectory(GAME_TEST_DEVICE_DIRECTORY);
        GraphicsEngineSettings settings;
        settings.deviceName = "RecordingDevice";
        engine.SetLogPath(directory.Join("Logs"));
        // The device's own generation, whose pixel shaders take bump maps.
        engine.GetOptions()->SetQuality(Options::QualityName::detailLevel, 2);
        ASSERT_TRUE(engine.Initialize(nullptr, settings, true, false, &fileSystem));
        graphics = engine.GetGraphicsEngine();
        ASSERT_NE(graphics, nullptr);
        textures = graphics->GetTextureResourceManager();
        // Requests stay queued, so the test can count them.
        engine.GetResourceLoader()->StopThread();
        texturesBefore = textures->GetNumResources();
    }
    void TearDown() override {
        objects.DestroyPendingObjects(-1);
        engine.Shutdown();
        // Later tests of the process load the engine's own devices.
        RenderDevice::SetDeviceDirectory(nullptr);
    }

    RecordingDevice& Device() { return *static_cast<RecordingDevice*>(graphics->GetRenderDevice()); }


    // Textures held by the types since SetUp.
    int HeldTextures() {
        textures->UnloadUnreferencedResources();
        return textures->GetNumResources() - texturesBefore;
    }

    Engine engine;
    GraphicsEngine* graphics = nullptr;
    BaseResourceManager* textures = nullptr;
    int texturesBefore = 0;
};

TEST_F(TerrainTypeGraphicsTest, TexturesLoadOnceAndAreGivenBackWithTheType) {
    TerrainType* type = Create(kGrass);
    ASSERT_NE(type, nullptr);
    ASSERT_GE(graphics->GetPixelShaderVersion(), TerrainType::kMinBumpMapShaderVersion);
    type->LoadTextures();
    EXPECT_EQ(type->GetNumTextures(), 1u);
    EXPECT_EQ(type->GetNumBumpMapTextures(), 1u);
    EXPECT_NE(type->GetTexture(0), nullptr);
    EXPECT_NE(type->GetBumpMapTexture(0), nullptr);
    EXPECT_EQ(type->GetTexture(1), nullptr);
    EXPECT_NE(type->GetBladeTexture(), nullptr);
    EXPECT_EQ(HeldTextures(), 3);
    // A type that names no texture holds none.
    TerrainType* bare = Create(kBare);
    bare->LoadTextures();
    EXPECT_EQ(bare->GetNumTextures() + bare->GetNumBumpMapTextures(), 0u);
    EXPECT_EQ(HeldTextures(), 3);

    // Loading again keeps one of each.
    type->LoadTextures();
    EXPECT_EQ(type->GetNumTextures(), 1u);
    type->ReloadBumpmaps();
    EXPECT_EQ(type->GetNumBumpMapTextures(), 1u);

    // The shader parameters reach the device as the textures and blade height of this type: the
    // ground texture in stage 0, the bump map in stage 1; for grass the blades in stage 0.
    const GraphicsShader2* shader = graphics->LoadShader2(kParameterShader);
    ASSERT_TRUE(shader->Begin(0));
    shader->Render("defaults");
    type->SetShaderParams(shader, 0);
    Device().ClearCalls();
    shader->Render("terrain");
    const std::string ground = Device().GetResourceName(type->GetTexture(0)->GetTexture());
    const std::string bump = Device().GetResourceName(type->GetBumpMapTexture(0)->GetTexture());
    EXPECT_NE(ground, bump);
    EXPECT_EQ(Device().GetCalls("SetTexture"),
              (std::vector<std::string>{"SetTexture(0, " + ground + ")", "SetTexture(1, " + bump + ")"}));
    type->SetGrassShaderParams(shader);
    Device().ClearCalls();
    shader->Render("grass");
    EXPECT_EQ(Device().GetCalls("SetTexture"),
              std::vector<std::string>{"SetTexture(0, " + Device().GetResourceName(type->GetBladeTexture()->GetTexture()) + ")"});
    EXPECT_EQ(Device().GetCalls("SetVertexShaderConstants"),
              std::vector<std::string>{"SetVertexShaderConstants(0, [2.5, 0, 0, 0], 1)"});
    shader->End();
    graphics->UnloadShader2(shader);

    // The type holds exactly one reference to each: destroying it frees them.
    objects.DestroyObjectEx(type, __FILE__, __LINE__);
    objects.DestroyPendingObjects(-1);
    EXPECT_EQ(HeldTextures(), 0);
}

TEST_F(TerrainTypeGraphicsTest, PreLoadQueuesEveryTextureOnlyWhenAsked) {
    TerrainType* type = Create(kGrass);
    ASSERT_NE(type, nullptr);
    type->LoadTextures();
    ResourceLoader& loader = *engine.GetResourceLoader();
    const int queuedBefore = loader.GetNumQueued();
    type->PreLoad(false);
    EXPECT_EQ(loader.GetNumQueued(), queuedBefore);
    type->PreLoad(true);
    EXPECT_EQ(loader.GetNumQueued(), queuedBefore + 3);
}

// A lower detail level takes the bump maps away from the ground of every loaded level (through
// the world, its regions and their levels) and a higher one brings them back.
TEST_F(TerrainTypeGraphicsTest, AGenerationChangeReachesTheLayersOfTheWorldsGround) {
    TerrainType* type = Create(kGrass);
    ASSERT_NE(type, nullptr);
    type->LoadTextures();
    ASSERT_EQ(type->GetNumBumpMapTextures(), 1u);
    auto ground = std::make_unique<TestTerrain>();
    ground->AddLayer([](unsigned, unsigned) { return uint8_t(255); }, type);
    ASSERT_TRUE(ground->Make(17, 17));
    const TestTerrain* layered = ground.get();
    auto level = std::make_unique<Level>(nullptr);
    level->SetGround(std::move(ground));
    engine.GetWorld()->AddRegion(std::move(level), IntVec3(0, 0, 0));

    graphics->SetGeneration("GeForce4");
    EXPECT_EQ(type->GetNumBumpMapTextures(), 0u);
    EXPECT_EQ(type->GetNumTextures(), 1u);
    graphics->SetGeneration("GeForce6");
    ASSERT_EQ(type->GetNumBumpMapTextures(), 1u);
    EXPECT_EQ(type->GetBumpMapTexture(0)->GetFileName(), "Terrain/GrassBump.tex");
    EXPECT_EQ(layered->GetOutOfGridReads(), 0);
    engine.GetWorld()->RemoveRegion(0);
}

TEST_F(TerrainTypeGraphicsTest, OlderHardwareGetsNoBumpMap) {
    graphics->SetGeneration("GeForce4");
    ASSERT_LT(graphics->GetPixelShaderVersion(), TerrainType::kMinBumpMapShaderVersion);
    // The generation's renderer targets hold a texture of their own.
    texturesBefore = HeldTextures() + texturesBefore;
    TerrainType* type = Create(kGrass);
    ASSERT_NE(type, nullptr);
    type->LoadTextures();
    EXPECT_EQ(type->GetNumTextures(), 1u);
    EXPECT_EQ(type->GetNumBumpMapTextures(), 0u);
    EXPECT_EQ(HeldTextures(), 2);

    // A newer generation brings the bump map back.
    graphics->SetGeneration("GeForce6");
    type->ReloadBumpmaps();
    EXPECT_EQ(type->GetNumBumpMapTextures(), 1u);
    EXPECT_EQ(HeldTextures(), 3);
}

}  // namespace
}  // namespace GAME::test
