// The editable terrain's layers: the layer stack, painting and the visibility it leads to, the
// layers the blocks and boxes see, and the surface a ray reports.

#include <gtest/gtest.h>

#include <memory>

#include "core/Intersection.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainBlock.h"
#include "terrain/TerrainType.h"

namespace GAME::test {
namespace {

constexpr const char* kGrass = "Records/Terrain/Grass.dbr";
constexpr const char* kStone = "Records/Terrain/Stone.dbr";
constexpr const char* kNotAType = "Records/Terrain/NotAType.dbr";

// A 32 x 32-cell terrain whose layer records come through the engine's object manager.
class TerrainLayersTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory.WriteFile(kGrass, "Class,TerrainType,\nsurfaceType,Grass,\n");
        directory.WriteFile(kStone, "Class,TerrainType,\nsurfaceType,Stone,\n");
        directory.WriteFile(kNotAType, "Class,Entity,\n");
        fileSystem.AddDirectory(directory.GetPath());
        depot = std::make_unique<TableDepot>(fileSystem);
        Singleton<ObjectManager>::Get()->SetTableDepot(depot.get());
        ASSERT_TRUE(terrain.New(32, 32));
    }
    void TearDown() override {
        terrain.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
    }

    // Paints a layer over a rectangle of cells as the editor does, then runs the frame's rebuild.
    void Paint(unsigned layer, int x0, int z0, int width, int height, uint8_t value) {
        for (int z = z0; z < z0 + height; ++z) {
            for (int x = x0; x < x0 + width; ++x) terrain.SetLayerOpacity(layer, unsigned(x), unsigned(z), value);
        }
        terrain.UpdateLayerOpacity(layer);
        terrain.AddOpacityDirtyRect(DirtyRect(x0, z0, width, height));
        terrain.Update(nullptr, 0, 0);
    }
    // Each cell's state as a letter: C covered, T transparent, B blended, O opaque.
    std::string Row(unsigned layer, unsigned z, unsigned x0, unsigned x1) const {
        std::string row;
        for (unsigned x = x0; x <= x1; ++x) row += "CTBO"[terrain.GetLayerVisibility(layer, x, z)];
        return row;
    }
    mem::vector<unsigned> LayersInBox(const ABBox& box) const {
        mem::vector<unsigned> layers{99};
        terrain.GetLayersInBox(layers, box);
        return layers;
    }
    PhysicsSurface SurfaceAt(float x, float z) const {
        Intersection hit;
        terrain.GetIntersection(Ray(Vec3(x, 10, z), Vec3(0, -1, 0)), hit, PhysicsSurface::None);
        EXPECT_FLOAT_EQ(hit.distance, 10.0f);
        return hit.surface;
    }

    TempDirectory directory;
    FileSystem fileSystem;
    std::unique_ptr<TableDepot> depot;
    Terrain terrain{nullptr};
};

TEST_F(TerrainLayersTest, PaintingShowsALayerWhereAndOnlyWhereItIsPainted) {
    ASSERT_TRUE(terrain.AddLayer(kGrass));
    EXPECT_EQ(terrain.GetLayerOpacity(0, 31, 31), 255);
    EXPECT_EQ(Row(0, 0, 0, 31), std::string(32, 'O'));
    {
        LogCapture log;
        EXPECT_FALSE(terrain.AddLayer(kNotAType));
        EXPECT_FALSE(terrain.AddLayer("Records/Terrain/Missing.dbr"));
    }
    ASSERT_TRUE(terrain.AddLayer(kStone));
    ASSERT_EQ(terrain.GetNumTextureLayers(), 2u);
    EXPECT_EQ(terrain.GetLayerOpacity(1, 5, 5), 0);
    EXPECT_EQ(Row(1, 5, 0, 31), std::string(32, 'T'));
    EXPECT_EQ(Row(0, 5, 0, 31), std::string(32, 'O'));
    EXPECT_EQ(SurfaceAt(11.5f, 11.5f), PhysicsSurface::Grass);

    // A 3 x 3 patch of cells 10..12: opaque only in its middle, blended one cell around it and
    // beyond (the cells next to a painted one change too); the base is covered only in the middle.
    Paint(1, 10, 10, 3, 3, 255);
    terrain.SetLayerOpacity(0, 0, 0, 7);  // the base layer is not painted
    EXPECT_EQ(terrain.GetLayerOpacity(0, 0, 0), 255);
    EXPECT_EQ(terrain.GetLayerOpacity(1, 12, 12), 255);
    for (const auto& [layer, z, row] : {std::tuple{1u, 8u, "TTTTTTTTT"}, {1u, 9u, "TTBBBBBTT"}, {1u, 11u, "TTBBOBBTT"},
                                        {1u, 13u, "TTBBBBBTT"}, {0u, 11u, "OOOOCOOOO"}, {0u, 10u, "OOOOOOOOO"}})
        EXPECT_EQ(Row(layer, z, 7, 15), row) << layer << ", " << z;

    // What the blocks (9 cells a side) and boxes see, and what a ray stands on.
    EXPECT_EQ(terrain.GetBlock(1, 1)->GetLayers(), (mem::vector<unsigned>{0, 1}));
    EXPECT_EQ(terrain.GetBlock(2, 0)->GetLayers(), (mem::vector<unsigned>{0}));
    EXPECT_EQ(terrain.GetBlock(3, 3)->GetLayers(), (mem::vector<unsigned>{0}));
    EXPECT_EQ(LayersInBox(ABBox(Vec3(11.2f, 0, 11.2f), Vec3(0.1f, 1, 0.1f))), (mem::vector<unsigned>{1}));
    EXPECT_EQ(LayersInBox(ABBox(Vec3(20, 0, 20), Vec3(2, 1, 2))), (mem::vector<unsigned>{0}));
    EXPECT_EQ(LayersInBox(ABBox(Vec3(11, 0, 11), Vec3(3, 1, 3))), (mem::vector<unsigned>{0, 1}));
    using enum PhysicsSurface;
    for (const auto& [x, z, surface] :
         {std::tuple{11.5f, 11.5f, Stone}, {10.2f, 12.9f, Stone}, {14.5f, 14.5f, Grass}, {2.5f, 2.5f, Grass}})
        EXPECT_EQ(SurfaceAt(x, z), surface) << x << ", " << z;
    // Painted past half, the stone outweighs the grass, which takes what the stone leaves; short of
    // half the grass wins.
    Paint(1, 14, 14, 1, 1, 128);
    EXPECT_EQ(SurfaceAt(14.5f, 14.5f), PhysicsSurface::Stone);
    Paint(1, 14, 14, 1, 1, 100);
    EXPECT_EQ(SurfaceAt(14.5f, 14.5f), PhysicsSurface::Grass);
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(1, 13.5f, 14.0f), 50);
}

TEST_F(TerrainLayersTest, TheStackReordersAndTheBaseStaysOpaque) {
    ASSERT_TRUE(terrain.AddLayer(kGrass));
    ASSERT_TRUE(terrain.AddLayer(kStone));
    Paint(1, 0, 0, 32, 32, 255);
    EXPECT_EQ(Row(0, 16, 0, 31), std::string(32, 'C'));
    EXPECT_EQ(terrain.GetBlock(2, 2)->GetLayers(), (mem::vector<unsigned>{1}));

    // Stone to the bottom: the grass, all opaque, now covers it.
    terrain.MoveUpLayer(1);
    EXPECT_EQ(terrain.GetLayerTerrainType(0)->GetSurface(), PhysicsSurface::Stone);
    EXPECT_EQ(Row(0, 16, 0, 31), std::string(32, 'C'));
    EXPECT_EQ(Row(1, 16, 0, 31), std::string(32, 'O'));
    EXPECT_EQ(terrain.GetBlock(2, 2)->GetLayers(), (mem::vector<unsigned>{1}));
    terrain.MoveUpLayer(0);
    terrain.MoveDownLayer(1);
    EXPECT_EQ(terrain.GetLayerTerrainType(1)->GetSurface(), PhysicsSurface::Grass);

    // The grass clears where painted 0; deleting the stone base leaves the grass the base,
    // opaque everywhere.
    Paint(1, 4, 4, 8, 8, 0);
    EXPECT_EQ(Row(0, 8, 0, 15), "CCCOOOOOOOOOOCCC");
    terrain.DeleteLayer(0);
    ASSERT_EQ(terrain.GetNumTextureLayers(), 1u);
    EXPECT_EQ(terrain.GetLayerOpacity(0, 8, 8), 255);
    EXPECT_EQ(Row(0, 8, 0, 31), std::string(32, 'O'));
    EXPECT_EQ(SurfaceAt(8.5f, 8.5f), PhysicsSurface::Grass);

    terrain.SetLayerTerrainType(0, kStone);
    EXPECT_EQ(SurfaceAt(8.5f, 8.5f), PhysicsSurface::Stone);
    LogCapture log;
    terrain.SetLayerTerrainType(0, kNotAType);
    EXPECT_EQ(SurfaceAt(8.5f, 8.5f), PhysicsSurface::Stone);
}

// Four layers: an opaque top layer covers every layer under it, however clear each of them is,
// and a layer is opaque from 250 all around and clear below 6 all around.
TEST_F(TerrainLayersTest, CoverReachesDownTheWholeStackAndTheThresholdsHold) {
    for (const char* record : {kGrass, kStone, kGrass, kStone}) ASSERT_TRUE(terrain.AddLayer(record));
    Paint(3, 10, 10, 3, 3, 255);
    EXPECT_EQ(Row(3, 11, 9, 13), "BBOBB");
    EXPECT_EQ(Row(2, 11, 9, 13), "TTCTT");
    EXPECT_EQ(Row(1, 11, 9, 13), "TTCTT");
    EXPECT_EQ(Row(0, 11, 9, 13), "OOCOO");

    // At the thresholds, on layer 1 away from the patch.
    Paint(1, 20, 20, 3, 3, 250);
    Paint(1, 25, 20, 3, 3, 249);
    EXPECT_EQ(Row(1, 21, 20, 27), "BOBBBBBB");
    EXPECT_EQ(Row(0, 21, 20, 27), "OCOOOOOO");
    Paint(1, 20, 20, 3, 3, 5);
    Paint(1, 25, 20, 3, 3, 6);
    EXPECT_EQ(Row(1, 21, 20, 27), "TTTTBBBB");
}

}  // namespace
}  // namespace GAME::test
