// The life of terrain objects: render data given back after 11 idle frames and remade on use,
// the frame's update and preload of what the frusta see, device resets, and a terrain that
// unloads, destroys or remakes its blocks while other objects are in its tree.

#include <gtest/gtest.h>

#include "TestTerrain.h"
#include "core/MathExpect.h"
#include "engine/Engine.h"
#include "terrain/TerrainBlock.h"
#include "world/Level.h"
#include "world/TestShapes.h"
#include "world/WorldFrustum.h"

namespace GAME::test {
namespace {

class TerrainObjectLifeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(terrain.Make(33, 33)); }

    void Frames(int count) {
        for (int i = 0; i < count; ++i) engine.Update(WorldFrustum(), false);
    }
    // Touch and prepare, as drawing does.
    static void Draw(TerrainBlock& block) {
        block.Touch();
        block.Prepare();
    }

    Engine engine;  // counts the frames
    TestTerrain terrain;
};

TEST_F(TerrainObjectLifeTest, RenderDataGoBackAfterElevenIdleFramesAndAreRemadeOnUse) {
    TerrainBlock& block = *terrain.GetBlock(1, 2);
    TerrainBlock& used = *terrain.GetBlock(0, 0);
    EXPECT_TRUE(block.IsDirty());
    Frames(3);
    Draw(block);
    Draw(used);
    EXPECT_FALSE(block.IsDirty());
    EXPECT_TRUE(terrain.IsObjectLoaded(&block));
    for (int idle = 1; idle <= 10; ++idle) {
        Frames(1);
        Draw(used);
        terrain.UnloadOldObjects();
        ASSERT_TRUE(terrain.IsObjectLoaded(&block) && !block.IsDirty()) << "after " << idle << " idle frames";
    }
    Frames(1);
    Draw(used);
    terrain.UnloadOldObjects();
    EXPECT_FALSE(terrain.IsObjectLoaded(&block));
    EXPECT_TRUE(block.IsDirty());
    EXPECT_EQ(terrain.GetNumLoadedObjects(), 1u);  // the block drawn every frame stays

    Draw(block);
    EXPECT_FALSE(block.IsDirty());
    EXPECT_TRUE(terrain.IsObjectLoaded(&block));
}

TEST_F(TerrainObjectLifeTest, QualityChangesLayerRefreshesAndDeviceResetsRebuild) {
    TerrainBlock& block = *terrain.GetBlock(1, 1);
    Draw(block);
    terrain.SetLowQuality(true);
    Draw(block);
    EXPECT_TRUE(block.IsLowQuality());
    EXPECT_FALSE(block.IsDirty());

    terrain.PreDeviceReset();
    EXPECT_TRUE(block.IsDirty());
    Draw(block);
    block.RefreshLayers();
    EXPECT_TRUE(block.IsDirty());

    // Giving the render data back leaves the load state alone.
    block.Load(0, true);
    Draw(block);
    block.Unload();
    EXPECT_TRUE(block.IsDirty());
    EXPECT_TRUE(block.IsLoaded(true));
}

TEST_F(TerrainObjectLifeTest, UpdateAndPreLoadServeWhatTheFrustaSee) {
    Marker ahead(ABBox(Vec3(16, 0, 30), Vec3(1, 1, 1)));
    Marker aside(ABBox(Vec3(-30, 0, 16), Vec3(1, 1, 1)));
    Marker away(ABBox(Vec3(16, 0, -60), Vec3(1, 1, 1)));
    for (Marker* marker : {&ahead, &aside, &away}) terrain.AddObjectToSpace(marker);
    terrain.AddLoadedObject(&away);
    const Frustum frusta[2] = {MakeViewFrustum(Vec3(16, 5, 10), Vec3(0, 0, 1), 0.5f, 40.0f),
                               MakeViewFrustum(Vec3(0, 5, 16), Vec3(-1, 0, 0), 0.5f, 40.0f)};

    Frames(11);
    terrain.Update(frusta, 2, 16);
    EXPECT_EQ(std::tuple(ahead.updates, ahead.lastElapsedMs, aside.updates, away.updates, away.unloads),
              std::tuple(1, 16, 1, 0, 1));
    EXPECT_FALSE(terrain.IsObjectLoaded(&away));

    // The run-time terrain preloads what the first frustum sees, and loads what the others see.
    terrain.PreLoad(1, frusta, 2);
    EXPECT_EQ(std::vector({ahead.IsLoaded(true), aside.IsLoaded(false), aside.IsLoaded(true), away.IsLoaded(false)}),
              std::vector({true, true, false, false}));

    terrain.PreDeviceReset();
    terrain.PostDeviceReset();
    EXPECT_EQ(away.preResets + away.postResets, 2);
    for (Marker* marker : {&ahead, &aside, &away}) terrain.RemoveObjectFromSpace(marker);
}

// A level's preload reaches its ground as the ground's own preload does.
TEST_F(TerrainObjectLifeTest, ALevelPreloadsWhatItsGroundShowsInTheFrusta) {
    Marker ahead(ABBox(Vec3(16, 0, 30), Vec3(1, 1, 1)));
    Marker aside(ABBox(Vec3(-30, 0, 16), Vec3(1, 1, 1)));
    Marker away(ABBox(Vec3(16, 0, -60), Vec3(1, 1, 1)));
    auto ground = std::make_unique<TestTerrain>();
    ASSERT_TRUE(ground->Make(33, 33));
    for (Marker* marker : {&ahead, &aside, &away}) ground->AddObjectToSpace(marker);
    Level level(nullptr);
    level.SetGround(std::move(ground));
    const Frustum frusta[2] = {MakeViewFrustum(Vec3(16, 5, 10), Vec3(0, 0, 1), 0.5f, 40.0f),
                               MakeViewFrustum(Vec3(0, 5, 16), Vec3(-1, 0, 0), 0.5f, 40.0f)};
    level.PreLoad(1, frusta, 2, false);
    EXPECT_EQ(std::vector({ahead.IsLoaded(true), aside.IsLoaded(false), aside.IsLoaded(true), away.IsLoaded(false)}),
              std::vector({true, true, false, false}));
}

TEST_F(TerrainObjectLifeTest, UnloadEmptiesTheTerrainAndLeavesOtherObjectsOutOfAnyTree) {
    Marker tile(ABBox(Vec3(10, 0, 10), Vec3(2, 1, 2)));
    terrain.AddObjectToSpace(&tile);
    terrain.AddLoadedObject(&tile);
    Draw(*terrain.GetBlock(0, 0));

    terrain.Unload();
    EXPECT_EQ(terrain.GetNumXSamples() + terrain.GetNumYSamples() + terrain.GetNumBlocksX(), 0u);
    EXPECT_TRUE(terrain.GetBlock(0, 0) == nullptr && terrain.GetNumLoadedObjects() == 0 && !tile.IsInSpace());
    mem::vector<TerrainObject*> all;
    terrain.GetAllObjects(all);
    EXPECT_TRUE(all.empty());
    ExpectNear(terrain.GetBoundingBox().halfSize, Vec3(0, 12, 0), 0);

    // Without a tree the bookkeeping does nothing; made again, the terrain takes objects back.
    terrain.RemoveObjectFromSpace(&tile);
    terrain.AddObjectToSpace(&tile);
    terrain.AddLoadedObject(&tile);
    EXPECT_FALSE(tile.IsInSpace());
    EXPECT_EQ(terrain.GetNumLoadedObjects(), 0u);
    ASSERT_TRUE(terrain.Make(17, 17));
    terrain.AddObjectToSpace(&tile);
    EXPECT_TRUE(tile.IsInSpace());
    terrain.RemoveObjectFromSpace(&tile);
}

TEST_F(TerrainObjectLifeTest, DestroyingTheBlocksTakesEveryBlockOutOfTheTree) {
    Marker plug(ABBox(Vec3(12, 0, 12), Vec3(1, 1, 1)));
    terrain.AddObjectToSpace(&plug);
    terrain.AddLoadedObject(&plug);
    Draw(*terrain.GetBlock(0, 0));  // built and loaded; the others are not

    terrain.DestroyTerrainBlocks();
    EXPECT_EQ(terrain.GetMapGeometryDestroyed(), 1);
    EXPECT_EQ(terrain.GetBlock(0, 0), nullptr);
    mem::vector<TerrainObject*> all;
    terrain.GetAllObjects(all);
    EXPECT_EQ(all, mem::vector<TerrainObject*>{&plug});
    EXPECT_EQ(terrain.GetNumLoadedObjects(), 1u);

    // Blocks made again replace the tree.
    terrain.InitializeBlocks(false);
    all.clear();
    terrain.GetAllObjects(all);
    EXPECT_EQ(all.size(), 16u);
    EXPECT_FALSE(plug.IsInSpace());
    EXPECT_EQ(terrain.GetMapGeometryCreated(), 1);
}

}  // namespace
}  // namespace GAME::test
