// The life of terrain objects: render data given back after 11 idle frames and remade on use,
// the frame's update and preload of what the frusta see, device resets, and a terrain that
// unloads, destroys or remakes its blocks while other objects are in its tree.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "TestTerrain.h"
#include "core/MathExpect.h"
#include "engine/Engine.h"
#include "terrain/TerrainBlock.h"
#include "world/TestShapes.h"
#include "world/WorldFrustum.h"

namespace GAME::test {
namespace {

class TerrainObjectLifeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(terrain.Make(33, 33)); }

    // One engine frame.
    void Frame(int count = 1) {
        for (int i = 0; i < count; ++i) engine.Update(WorldFrustum(), false);
    }
    // Touch and prepare, as drawing does.
    static void Draw(TerrainBlock& block) {
        block.Touch();
        block.Prepare();
    }

    Engine engine;
    TestTerrain terrain;
};

TEST_F(TerrainObjectLifeTest, RenderDataGoBackAfterElevenIdleFramesAndAreRemadeOnUse) {
    TerrainBlock& block = *terrain.GetBlock(1, 2);
    EXPECT_TRUE(block.IsDirty());
    EXPECT_EQ(terrain.GetNumLoadedObjects(), 0u);
    Frame(3);
    Draw(block);
    EXPECT_FALSE(block.IsDirty());
    EXPECT_TRUE(terrain.IsObjectLoaded(&block));

    for (int idle = 1; idle <= 10; ++idle) {
        Frame();
        terrain.UnloadOldObjects();
        ASSERT_TRUE(terrain.IsObjectLoaded(&block)) << "after " << idle << " idle frames";
        ASSERT_FALSE(block.IsDirty());
    }
    Frame();
    terrain.UnloadOldObjects();
    EXPECT_FALSE(terrain.IsObjectLoaded(&block));
    EXPECT_TRUE(block.IsDirty());

    Draw(block);
    EXPECT_FALSE(block.IsDirty());
    EXPECT_TRUE(terrain.IsObjectLoaded(&block));
}

TEST_F(TerrainObjectLifeTest, ObjectsUsedEveryFrameStayLoaded) {
    TerrainBlock& used = *terrain.GetBlock(0, 0);
    TerrainBlock& idle = *terrain.GetBlock(3, 3);
    Draw(used);
    Draw(idle);
    for (int i = 0; i < 40; ++i) {
        Frame();
        Draw(used);
        terrain.UnloadOldObjects();
    }
    EXPECT_TRUE(terrain.IsObjectLoaded(&used));
    EXPECT_FALSE(terrain.IsObjectLoaded(&idle));
    EXPECT_EQ(terrain.GetNumLoadedObjects(), 1u);
}

TEST_F(TerrainObjectLifeTest, QualityChangesLayerRefreshesAndDeviceResetsRebuild) {
    TerrainBlock& block = *terrain.GetBlock(1, 1);
    Draw(block);
    EXPECT_FALSE(block.IsLowQuality());
    terrain.SetLowQuality(true);
    EXPECT_FALSE(block.IsDirty());
    Draw(block);
    EXPECT_TRUE(block.IsLowQuality());
    EXPECT_FALSE(block.IsDirty());

    terrain.PreDeviceReset();
    EXPECT_TRUE(block.IsDirty());
    Draw(block);
    block.RefreshLayers();
    EXPECT_TRUE(block.IsDirty());
    Draw(block);
    EXPECT_FALSE(block.IsDirty());
}

TEST_F(TerrainObjectLifeTest, LoadStatesTellPreloadingApart) {
    Marker marker(ABBox(Vec3(5, 0, 5), Vec3(1, 1, 1)));
    EXPECT_FALSE(marker.IsLoaded(false));
    marker.Load(0, false);
    EXPECT_TRUE(marker.IsLoaded(false));
    EXPECT_FALSE(marker.IsLoaded(true));
    marker.Load(0, true);
    EXPECT_TRUE(marker.IsLoaded(false));
    EXPECT_TRUE(marker.IsLoaded(true));
    marker.Unload();
    EXPECT_FALSE(marker.IsLoaded(false));

    // A block keeps its load state when it gives its render data back.
    TerrainBlock& block = *terrain.GetBlock(0, 1);
    block.Load(0, true);
    Draw(block);
    block.Unload();
    EXPECT_TRUE(block.IsDirty());
    EXPECT_TRUE(block.IsLoaded(true));
}

TEST_F(TerrainObjectLifeTest, UpdateRunsWhatTheFrustaSeeAndUnloadsTheIdle) {
    Marker seen(ABBox(Vec3(16, 0, 30), Vec3(1, 1, 1)));
    Marker unseen(ABBox(Vec3(16, 0, -40), Vec3(1, 1, 1)));
    terrain.AddObjectToSpace(&seen);
    terrain.AddObjectToSpace(&unseen);
    terrain.AddLoadedObject(&unseen);
    const Frustum view = MakeViewFrustum(Vec3(16, 5, 10), Vec3(0, 0, 1), 1.0f, 100.0f);

    Frame(11);
    terrain.Update(&view, 1, 16);
    EXPECT_EQ(seen.updates, 1);
    EXPECT_EQ(seen.lastElapsedMs, 16);
    EXPECT_EQ(unseen.updates, 0);
    EXPECT_EQ(unseen.unloads, 1);
    EXPECT_FALSE(terrain.IsObjectLoaded(&unseen));
    terrain.RemoveObjectFromSpace(&seen);
    terrain.RemoveObjectFromSpace(&unseen);
}

TEST_F(TerrainObjectLifeTest, PreLoadLoadsWhatTheFrustaSeeInAdvanceOnlyForTheFirst) {
    Marker ahead(ABBox(Vec3(16, 0, 30), Vec3(1, 1, 1)));
    Marker aside(ABBox(Vec3(-30, 0, 16), Vec3(1, 1, 1)));
    Marker away(ABBox(Vec3(16, 0, -60), Vec3(1, 1, 1)));
    for (Marker* marker : {&ahead, &aside, &away}) terrain.AddObjectToSpace(marker);
    const Frustum frusta[2] = {MakeViewFrustum(Vec3(16, 5, 10), Vec3(0, 0, 1), 0.5f, 40.0f),
                               MakeViewFrustum(Vec3(0, 5, 16), Vec3(-1, 0, 0), 0.5f, 40.0f)};
    terrain.PreLoad(1, frusta, 2);
    EXPECT_TRUE(ahead.IsLoaded(true));
    EXPECT_TRUE(aside.IsLoaded(false));
    EXPECT_FALSE(aside.IsLoaded(true));
    EXPECT_FALSE(away.IsLoaded(false));
    for (Marker* marker : {&ahead, &aside, &away}) terrain.RemoveObjectFromSpace(marker);
}

TEST_F(TerrainObjectLifeTest, DeviceResetsReachEveryObjectOfTheTree) {
    Marker marker(ABBox(Vec3(100, 0, 100), Vec3(1, 1, 1)));
    terrain.AddObjectToSpace(&marker);
    terrain.PreDeviceReset();
    terrain.PostDeviceReset();
    EXPECT_EQ(marker.preResets, 1);
    EXPECT_EQ(marker.postResets, 1);
    for (uint32_t row = 0; row < terrain.GetNumBlocksY(); ++row) {
        for (uint32_t column = 0; column < terrain.GetNumBlocksX(); ++column) {
            EXPECT_TRUE(terrain.GetBlock(column, row)->IsDirty());
        }
    }
    terrain.RemoveObjectFromSpace(&marker);
}

TEST_F(TerrainObjectLifeTest, UnloadEmptiesTheTerrainAndLeavesOtherObjectsOutOfAnyTree) {
    Marker tile(ABBox(Vec3(10, 0, 10), Vec3(2, 1, 2)));
    terrain.AddObjectToSpace(&tile);
    terrain.AddLoadedObject(&tile);
    Draw(*terrain.GetBlock(0, 0));

    terrain.Unload();
    EXPECT_EQ(terrain.GetNumXSamples(), 0u);
    EXPECT_EQ(terrain.GetNumYSamples(), 0u);
    EXPECT_EQ(terrain.GetNumBlocksX(), 0u);
    EXPECT_EQ(terrain.GetBlock(0, 0), nullptr);
    EXPECT_EQ(terrain.GetNumLoadedObjects(), 0u);
    EXPECT_FALSE(tile.IsInSpace());
    mem::vector<TerrainObject*> all;
    terrain.GetAllObjects(all);
    EXPECT_TRUE(all.empty());
    ExpectNear(terrain.GetBoundingBox().halfSize, Vec3(0, 12, 0), 0.0f);
    EXPECT_EQ(terrain.GetHeightInterpolated(3, 3), 0.0f);

    // Without a tree the bookkeeping does nothing, and the surviving object can still be removed.
    terrain.RemoveObjectFromSpace(&tile);
    terrain.AddObjectToSpace(&tile);
    terrain.AddLoadedObject(&tile);
    EXPECT_FALSE(tile.IsInSpace());
    EXPECT_EQ(terrain.GetNumLoadedObjects(), 0u);

    // Made again, the terrain takes the object back.
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
    EXPECT_TRUE(terrain.IsObjectLoaded(&plug));

    // Blocks made again replace the tree.
    terrain.InitializeBlocks(false);
    all.clear();
    terrain.GetAllObjects(all);
    EXPECT_EQ(all.size(), 16u);
    EXPECT_FALSE(plug.IsInSpace());
    EXPECT_EQ(terrain.GetMapGeometryCreated(), 1);
}

TEST_F(TerrainObjectLifeTest, BookkeepingIgnoresNullObjects) {
    terrain.AddObjectToSpace(nullptr);
    terrain.RemoveObjectFromSpace(nullptr);
    terrain.UpdateObjectInSpace(nullptr);
    terrain.AddLoadedObject(nullptr);
    EXPECT_EQ(terrain.GetNumLoadedObjects(), 0u);
}

}  // namespace
}  // namespace GAME::test
