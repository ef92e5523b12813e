// A region's map data drawn from above on the GL device: the picture shows the region's water and
// the entities that belong on a mini-map where they lie (a neighbour's too where they reach over),
// red where nothing is, and the map builder compiles it into the map file as the region's mini-map.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestTerrain.h"

#include "MapBuilder.h"
#include "SampleMeshShaders.h"
#include "SampleNoise.h"
#include "SampleScene.h"
#include "SampleTerrain.h"
#include "SampleWater.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsNoiseGen.h"
#include "render/Image.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsNormalRenderer.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "terrain/Water.h"
#include "terrain/WaterLayer.h"
#include "terrain/WaterType.h"
#include "terrain/WaterTypeManager.h"
#include "world/Level.h"
#include "world/MapDataBuilder.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFile.h"

namespace GAME {
namespace test {

// A lit green box, on the mini-map or not.
class MapBoxEntity : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    void Make() {
        box.SetMesh(sample::kLitBoxMesh);
        box.GetMesh()->EnsureAvailable();
        box.SetScale(Vec3(4, 4, 4));
        box.SetDiffuseColor(Color(0.25f, 0.5f, 0.125f, 1));
    }
    void UpdateBoundingBox() override {
        SetRegionBoundingBox(ABBox(GetCoords().GetOrigin().GetRegionPosition(), Vec3(2, 2, 2)), false);
    }
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum*) override {
        drawnForMap = gEngine->IsMapRendering();
        box.SetObjectToRegionCoords(GetCoords().GetRegionCoords());
        renderer.AddRenderable(&box, GetCoords().GetRegion());
    }
    bool IncludeInMinimap() const override { return onMap; }

    GraphicsMeshInstance box;
    bool onMap = true;
    static inline bool drawnForMap = false;  // the engine said it draws a map when a box was last drawn
};
GAME_RTTI_DEFINE_CLASS(MapBoxEntity, Entity);

}  // namespace test

namespace {

constexpr const char* kRegionName = "Levels/Lake.lvl";

class MapDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        ASSERT_TRUE(sample::WriteWater(bed.Files()));
        bed.WriteFile(GraphicsNoiseGen::kShaderFile, sample::MakeNoiseShaderFile());
        bed.WriteFile(sample::kStandardShader,
                      sample::MakeMeshShaderFile(sample::MeshShaderKind::Standard, false));
        bed.WriteFile(GraphicsNormalRenderer::kInvTransparencyMaskTexture, sample::MakeInvTransparencyMaskFile());
        bed.WriteFile(sample::kLitBoxMesh, sample::MakeLitBoxMeshFile());
        bed.WriteFile("Shaders/Terrain/TerrainStandard.ssh", sample::MakeTerrainShaderFile());
        bed.WriteFile("Shaders/Terrain/TerrainLowQuality.ssh", sample::MakeTerrainShaderFile());
        bed.WriteFile("Shaders/Grass.ssh", sample::MakeGrassShaderFile());
        GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 64, 64);
        GraphicsSceneRenderer::CreateResources(bed.Graphics());
        WaterType::Settings& lake = WaterTypeManager::Get().CreateWaterType("Lake")->EditSettings();
        lake.WaterColor = Color(0, 0, 1, 1);
        lake.MinDepthOpacity = 1.0f;
        lake.MaxDepthOpacity = 1.0f;
    }
    void TearDown() override {
        world.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        WaterType* lake = WaterTypeManager::Get().GetWaterType("Lake");
        WaterTypeManager::Get().ReleaseWaterType(lake);
        EXPECT_TRUE(WaterTypeManager::Get().ReleaseWaterType(lake));  // the unloaded lake held none
        WaterTypeManager::Destroy();
        GraphicsSceneRenderer::DestroyResources(bed.Graphics());
        GraphicsNormalRenderer::DestroyRenderTargets(bed.Graphics());
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    }

    test::MapBoxEntity* AddBox(Region* region, const Vec3& at, bool onMap) {
        auto* box = static_cast<test::MapBoxEntity*>(Singleton<ObjectManager>::Get()->CreateObject("MapBoxEntity"));
        box->Make();
        box->onMap = onMap;
        EXPECT_TRUE(world.AddEntity(box, WorldCoords(region, Coords::Translation(at)), false));
        return box;
    }
    // A region 32 x 32 with a round lake around (8, 8) and green boxes at (24, 8) (on the
    // mini-map) and (8, 24) (not on it); east of it a neighbour with a box reaching over the
    // shared edge at z = 16.
    Region* MakeRegion() {
        Region* east = world.GetRegion(
            world.AddRegion("Levels/East.lvl", IntVec3(132, 0, 0), ABBox(Vec3(16, 0, 16), Vec3(16, 8, 16)), RegionId()));
        auto eastLevel = std::make_unique<Level>(east);
        eastLevel->NewSpace(Vec2(16, 16));
        eastLevel->PostLoad(false);
        east->SetLevel(std::move(eastLevel));
        AddBox(east, Vec3(1, 2, 16), true);
        Region* region = world.GetRegion(
            world.AddRegion(kRegionName, IntVec3(100, 0, 0), ABBox(Vec3(16, 0, 16), Vec3(16, 8, 16)), RegionId()));
        auto level = std::make_unique<Level>(region);
        level->NewSpace(Vec2(16, 16));
        // Flat ground at 0 gives the region its box over (0, 0) - (32, 32).
        auto ground = std::make_unique<test::TestTerrain>();
        EXPECT_TRUE(ground->Make(33, 33));
        auto water = std::make_unique<Water>(region);
        water->Initialize(32, 32, ground.get(), &bed.Device());
        WaterLayer* lake = water->AddWaterLayer("Lake", 1.0f);
        lake->UpdateArea(Vec3(8, 1, 8), 5.0f, true);
        level->SetGround(std::move(ground));
        level->SetWater(std::move(water));
        level->PostLoad(false);
        region->SetLevel(std::move(level));
        AddBox(region, Vec3(24, 2, 8), true);
        AddBox(region, Vec3(8, 2, 24), false);
        world.UpdateRegionBoundingBox(region->GetLevel());
        world.BuildConnectivity();
        return region;
    }

    test::LogCapture log;
    test::GLEngineBed bed;
    World& world = *bed.GetEngine().GetWorld();
};

TEST_F(MapDataTest, TheRegionIsDrawnFromAboveWhereItsContentLies) {
    Region* region = MakeRegion();
    Intersection lake;  // the ground lies under the water
    EXPECT_TRUE(
        region->GetLevel()->GetIntersection(Ray(Vec3(8, 5, 8), Vec3(0, -1, 0)), lake, PhysicsSurface::None, true));
    EXPECT_NEAR(lake.distance, 4.0f, 1e-4f);
    const int reduction = bed.Graphics().GetTextureReduction();
    bed.Graphics().EnableReflections(true);
    bed.Graphics().EnableShadows(true);
    ASSERT_TRUE(region->RebuildMapData());
    EXPECT_EQ(bed.Graphics().GetTextureReduction(), reduction);
    EXPECT_EQ(bed.GetEngine().GetEntityRenderFilter(), nullptr);
    // Reflections are off while the map is drawn, then back.
    EXPECT_TRUE(!bed.GetEngine().IsMapRendering() && test::MapBoxEntity::drawnForMap &&
                bed.Graphics().AreReflectionsEnabled());
    GraphicsStats stats;
    bed.Graphics().GetStats(stats);  // lit by the sun, which casts shadows
    EXPECT_EQ(std::pair(stats.lights, stats.shadowCastingLights), std::pair(1, 1));

    // Two pixels a unit; the icon is the picture.
    const RegionIcon& icon = region->GetIconData();
    EXPECT_EQ(std::pair(icon.width, icon.height), std::pair(64u, 64u));
    EXPECT_NE(region->GetIcon(), nullptr);
    File* file = bed.Files().OpenFile("Levels/Lake.tga", FileMode::Read);
    ASSERT_NE(file, nullptr);
    const auto* saved = static_cast<const unsigned char*>(file->Lock());
    EXPECT_EQ(mem::vector<unsigned char>(saved, saved + file->GetLength()), icon.bytes);
    file->Unlock();
    bed.Files().CloseFile(file);

    Image image;
    ASSERT_EQ(image.Load(icon.bytes.data(), uint32_t(icon.bytes.size()), Image::Format::RGB), Image::Error::None);
    // The colour over (x, z): columns run along x, rows (top first) along z.
    const auto at = [&](float x, float z) {
        const uint8_t* p = image.GetBuffer() + (size_t(z * 2.0f) * 64 + size_t(x * 2.0f)) * 3;
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(at(8, 8), (std::vector<int>{0, 0, 255})) << "the lake";
    // The boxes on the mini-map, lit in the colour of the sun at the map's hour.
    EXPECT_EQ(at(24, 8), (std::vector<int>{70, 138, 34})) << "a box on the mini-map";
    EXPECT_EQ(at(31.5f, 16), (std::vector<int>{92, 175, 41})) << "the neighbour's box reaching over the edge";
    for (const auto& [x, z] : {std::pair(8.0f, 24.0f), std::pair(24.0f, 24.0f), std::pair(16.0f, 8.0f)}) {
        EXPECT_EQ(at(x, z), (std::vector<int>{255, 0, 0})) << x << ", " << z << ": nothing drawn there";
    }

    // The map builder takes the picture as the region's mini-map.
    BinaryWriter worldFile;
    WorldFile::Write(worldFile, {}, {RegionRecord{kRegionName, "", region->GetBoundingBox(), IntVec3(), RegionId(1, 2, 3, 4)}},
                     [&](BinaryWriter& out) { region->SaveRegionIcon(out); }, [](BinaryWriter&) {});
    bed.WriteFile("Levels/Lake.wrl", std::vector<uint8_t>(worldFile.GetBuffer(), worldFile.GetBuffer() + worldFile.GetPosition()));
    MapBuilder map(bed.Files());
    ASSERT_TRUE(map.ReadWorld("Levels/Lake.wrl"));
    EXPECT_EQ(log.Count(LogPriority::Warning), 1u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "MapBuilder: region Levels/Lake.lvl has no level file"));
    ASSERT_EQ(map.GetContents().regions.size(), 1u);
    EXPECT_EQ(map.GetContents().regions[0].minimap, icon.bytes);

    // A builder lets go of its picture on request: nothing is left to take then.
    MapDataBuilder builder;
    ASSERT_TRUE(builder.Build(region, {}, Vec3(2, 0, 3), Vec3(10, 8, 4), 1.0f));  // a picture one pixel high
    EXPECT_EQ(std::pair(builder.GetWidth(), builder.GetHeight()), std::pair(8, 1));
    builder.ReleaseResult();
    unsigned width = 0, height = 0;
    mem::vector<unsigned char> bytes;
    EXPECT_FALSE(builder.TakeResult(width, height, bytes));
    EXPECT_TRUE(bytes.empty());
}

}  // namespace
}  // namespace GAME
