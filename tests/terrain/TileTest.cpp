// Tiles: a Tile entity's mesh set into a terrain level's ground. The terrain tile follows the entity
// in and out of the level and wherever it moves; once the ground is rebuilt, the tile's outline is
// cut into the terrain, rays fall through the hole onto the tile, and plugs close the seam.

#include "SampleTiles.h"
#include "support/LogCapture.h"
#include "support/RecordingEngineTest.h"

#include "core/Intersection.h"
#include "core/Ray.h"
#include "core/SimplePolygon.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "scene/GraphicsMeshInstance.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainRT.h"
#include "terrain/TerrainTile.h"
#include "terrain/Tile.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace GAME::test {
namespace {

const Vec3 kDown(0, -1, 0);
constexpr float kGround = 1.0f;

// The height of the nearest thing a ray straight down from high above (x, z) meets in the
// terrain; NaN when it meets nothing.
float DropHeight(const TerrainBase& terrain, float x, float z) {
    Intersection hit;
    terrain.GetIntersection(Ray(Vec3(x, 20, z), kDown), hit, PhysicsSurface::None);
    return hit.distance < Infinity ? 20.0f - hit.distance : NAN;
}

// Every plug triangle of the terrain, in byte order.
mem::vector<TerrainPlug::Triangle> PlugTriangles(const TerrainBase& terrain) {
    mem::vector<TerrainObject*> objects;
    terrain.GetAllObjects(objects);
    mem::vector<TerrainPlug::Triangle> triangles;
    for (const TerrainObject* object : objects) {
        if (!object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) continue;
        const mem::vector<TerrainPlug::Triangle>& own = static_cast<const TerrainPlug*>(object)->GetTriangles();
        triangles.insert(triangles.end(), own.begin(), own.end());
    }
    std::sort(triangles.begin(), triangles.end(),
              [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof(a)) < 0; });
    return triangles;
}

// A flat 32 x 32-cell terrain level at height 1, and the sample tile's record.
class TileTest : public RecordingEngineTest {
protected:
    void SetUp() override {
        FileSystem writable;
        writable.AddDirectory(directory.GetPath(), true);
        ASSERT_TRUE(sample::WriteTiles(writable));
        StartEngine();

        region = world.GetRegion(world.AddRegion("ground", IntVec3(), ABBox(), RegionId()));
        auto ground = std::make_unique<Terrain>(region);
        ASSERT_TRUE(ground->New(32, 32));
        for (unsigned z = 0; z <= 32; ++z) {
            for (unsigned x = 0; x <= 32; ++x) ground->SetBaseHeight(x, z, kGround);
        }
        terrain = ground.get();
        auto level = std::make_unique<Level>(region);
        level->NewSpace(Vec2(20, 20));
        level->SetGround(std::move(ground));
        level->PostLoad(false);
        region->SetLevel(std::move(level));
        tile = Singleton<ObjectManager>::Get()->CreateObjectFromFile<Tile>(sample::kTileRecord);
        ASSERT_NE(tile, nullptr);
    }
    void TearDown() override {
        if (tile != nullptr && tile->IsInWorld()) TheLevel()->RemoveEntity(tile);
        if (tile != nullptr) Singleton<ObjectManager>::Get()->DestroyObjectEx(tile, __FILE__, __LINE__);
        world.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(1000);
        RecordingEngineTest::TearDown();
    }

    Level* TheLevel() const { return region->GetLevel(); }
    void Rebuild() { terrain->Update(nullptr, 0, 0); }

    World world;
    Region* region = nullptr;
    Terrain* terrain = nullptr;  // the level's
    Tile* tile = nullptr;
};

TEST_F(TileTest, TheTileIsCutIntoTheGroundWhereItStandsAndPlugsCloseTheSeam) {
    // The slab sunk 2 units into the ground at (12, 12): its top lies 1.75 below the ground.
    const float sunk = kGround - 2.0f, top = sunk + sample::kTileTopHeight;
    ASSERT_TRUE(TheLevel()->AddEntity(tile, Coords::Translation(Vec3(12, sunk, 12))));
    const TerrainTile* terrainTile = tile->GetTerrainTile();
    ASSERT_NE(terrainTile, nullptr);
    EXPECT_TRUE(terrainTile->GetAttached());
    EXPECT_TRUE(terrainTile->IsInSpace());
    EXPECT_EQ(terrainTile->GetMesh(), tile->GetMeshInstance()->GetMesh());
    // Until the ground is rebuilt it covers the tile.
    EXPECT_FLOAT_EQ(DropHeight(*terrain, 12.5f, 12.5f), kGround);

    Rebuild();
    EXPECT_FALSE(PlugTriangles(*terrain).empty());
    // Through the hole onto the slab, wherever the slab is.
    for (const float x : {9.25f, 10.5f, 12.0f, 14.5f})
        for (const float z : {9.5f, 12.25f, 14.75f}) EXPECT_NEAR(DropHeight(*terrain, x, z), top, 1e-4f) << x << ", " << z;
    // Nothing falls through between the slab and the ground: every drop around the rim meets
    // ground or a plug between the rim's height and the ground's.
    for (float x = 6.25f; x < 18.0f; x += 0.5f) {
        for (float z = 6.25f; z < 18.0f; z += 0.5f) {
            const float height = DropHeight(*terrain, x, z);
            ASSERT_FALSE(std::isnan(height)) << x << ", " << z;
            EXPECT_GE(height, sunk - 1e-3f) << x << ", " << z;
            EXPECT_LE(height, kGround + 1e-3f) << x << ", " << z;
        }
    }
    // The ground next to the rim leans down to it: a sample on a contour point takes its height,
    // one 5 units or more from every point keeps its own.
    EXPECT_LT(DropHeight(*terrain, 12.5f, 16.5f), kGround - 0.1f);
    for (const auto& [got, expected] :
         {std::pair{terrain->GetHeight(9, 12), sunk}, {terrain->GetOffset()[12 * 33 + 9].blend, 1.0f},
          {terrain->GetHeight(20, 12), kGround}, {DropHeight(*terrain, 25.5f, 25.5f), kGround}})
        EXPECT_FLOAT_EQ(got, expected);
    // The pull of the nearest contour point d away is c^4, c = (cos(d^2 / 25 x pi) + 1) / 2; the
    // height moves that far from its own to the rim's.
    const auto pull = [](float d) { return std::pow((std::cos(d * d / 25.0f * Pi) + 1.0f) * 0.5f, 4.0f); };
    const auto offset = [&](unsigned x, unsigned z) { return terrain->GetOffset()[z * 33 + x]; };
    EXPECT_NEAR(offset(16, 12).blend, pull(1.0f), 1e-5f);
    EXPECT_NEAR(offset(19, 12).blend, pull(4.0f), 1e-6f);
    EXPECT_FLOAT_EQ(offset(19, 12).targetHeight, sunk);
    EXPECT_NEAR(terrain->GetHeight(19, 12), kGround + (sunk - kGround) * pull(4.0f), 1e-5f);
    // An edit keeps the pull: on a contour point the height stays the rim's, beside it it mixes.
    terrain->SetBaseHeight(9, 12, 7.0f);
    terrain->SetBaseHeight(16, 12, 7.0f);
    EXPECT_FLOAT_EQ(terrain->GetHeight(9, 12), sunk);
    EXPECT_NEAR(terrain->GetHeight(16, 12), 7.0f + (sunk - 7.0f) * offset(16, 12).blend, 1e-5f);
    terrain->SetBaseHeight(9, 12, kGround);
    terrain->SetBaseHeight(16, 12, kGround);

    // Rebuilding the same ground again gives the same plugs.
    const mem::vector<TerrainPlug::Triangle> built = PlugTriangles(*terrain);
    terrain->AddDirtyRect(DirtyRect(0, 0, 33, 33));
    Rebuild();
    const mem::vector<TerrainPlug::Triangle> again = PlugTriangles(*terrain);
    ASSERT_EQ(again.size(), built.size());
    EXPECT_EQ(std::memcmp(again.data(), built.data(), built.size() * sizeof(TerrainPlug::Triangle)), 0);
    // An edit three units off the rim takes down the plugs whose box it meets, and they are built
    // again over their whole area, not only where the edit was: the seam stays closed.
    terrain->AddDirtyRect(DirtyRect(18, 12, 1, 1));
    Rebuild();
    EXPECT_EQ(PlugTriangles(*terrain).size(), built.size());
    for (float x = 6.25f; x < 18.0f; x += 0.5f) {
        for (float z = 6.25f; z < 18.0f; z += 0.5f) ASSERT_FALSE(std::isnan(DropHeight(*terrain, x, z))) << x << ", " << z;
    }

    // A second slab across the first, turned: their outlines cross, and still nothing falls
    // through anywhere near them - not even on the cells' diagonals, over ground the blending
    // tilted.
    Tile* across = Singleton<ObjectManager>::Get()->CreateObjectFromFile<Tile>(sample::kTileRecord);
    ASSERT_TRUE(TheLevel()->AddEntity(across, Coords::Translation(Vec3(14, sunk + 0.5f, 13)) * Coords::RotationY(0.6f)));
    Rebuild();
    for (float x = 5.25f; x < 20.0f; x += 0.5f) {
        for (float z = 5.25f; z < 20.0f; z += 0.5f) ASSERT_FALSE(std::isnan(DropHeight(*terrain, x, z))) << x << ", " << z;
    }
    for (const TerrainPlug::Triangle& t : PlugTriangles(*terrain)) {
        for (const float f : {t.a.position[2], t.b.position[2], t.c.position[2]}) EXPECT_TRUE(std::isfinite(f));
    }
    TheLevel()->RemoveEntity(across);
    Singleton<ObjectManager>::Get()->DestroyObjectEx(across, __FILE__, __LINE__);
}

// A tilted slab's rim points stand at different heights: each sample near them is pulled to their
// mean weighted by c^8 (c the point's fall-off at its distance), as far as the largest c^4.
// The editor shows a level read from its file with its tiles already cut in; the game leaves that
// to the first frame. Either way loading a tile marks its mesh used in the frame.
TEST_F(TileTest, InTheEditorALoadedLevelComesWithItsTilesCutIn) {
    ASSERT_TRUE(TheLevel()->AddEntity(tile, Coords::Translation(Vec3(16, kGround, 16))));
    BinaryWriter file(1 << 16);
    TheLevel()->Save(file, false);
    for (const bool editor : {false, true}) {
        engine.editor = editor;
        Level loaded(region);
        ASSERT_TRUE(loaded.Load(file.GetBuffer(), file.GetPosition(), false));
        loaded.PostLoad(false);
        EXPECT_EQ(loaded.GetEditableTerrain()->IsInvisible(16, 16), editor);
        EXPECT_FALSE(loaded.GetEditableTerrain()->IsInvisible(8, 8));
        loaded.Unload(false);
    }
    engine.Update(WorldFrustum(), false);
    tile->GetTerrainTile()->Load(0, false);
    EXPECT_EQ(tile->GetTerrainTile()->GetMesh()->GetLastFrameUsed(), engine.GetFrameCount());
}

TEST_F(TileTest, ATiltedRimPullsTheGroundToTheWeightedMeanOfItsPoints) {
    ASSERT_TRUE(TheLevel()->AddEntity(tile, Coords::Translation(Vec3(16, kGround, 16)) * Coords::RotationX(0.3f)));
    Rebuild();
    const SimplePolygon rim = tile->GetTerrainTile()->GetContour(0);
    int checked = 0;
    for (unsigned z = 10; z <= 22; ++z) {
        for (unsigned x = 10; x <= 22; x += 3) {
            double sum = 0.0, weighted = 0.0, pull = 0.0;
            for (size_t k = 0; k < rim.Size(); ++k) {
                const double dx = rim[k].x - double(x), dz = rim[k].z - double(z);
                const double f = std::max(1.0 - (dx * dx + dz * dz) / 25.0, 0.0);
                const double c = (std::cos((1.0 - f) * Pi) + 1.0) * 0.5;
                sum += std::pow(c, 8.0);
                weighted += std::pow(c, 8.0) * rim[k].height;
                pull = std::max(pull, std::pow(c, 4.0));
            }
            const Terrain::Offset& offset = terrain->GetOffset()[z * 33 + x];
            if (sum == 0.0) continue;
            EXPECT_NEAR(offset.targetHeight, weighted / sum, 1e-3) << x << ", " << z;
            EXPECT_NEAR(offset.blend, pull, 1e-4) << x << ", " << z;
            ++checked;
        }
    }
    EXPECT_GT(checked, 30);
}

TEST_F(TileTest, TheTerrainTileMovesWithTheTileAndLeavesWithIt) {
    // A tile marks the samples within 5 units of its outline (3 units around it), clipped to the
    // grid, and again as it leaves.
    for (const auto& [at, marked] :
         {std::pair{Vec3(16, kGround, 5), std::tuple(8, 0, 17, 17)}, {Vec3(5, kGround, 27), std::tuple(0, 19, 17, 14)}}) {
        for (int leaving = 0; leaving < 2; ++leaving) {
            if (leaving) {
                TheLevel()->RemoveEntity(tile);
            } else {
                ASSERT_TRUE(TheLevel()->AddEntity(tile, Coords::Translation(at)));
            }
            ASSERT_EQ(terrain->GetDirtyRects().GetNumRects(), 1);
            const DirtyRect& rect = terrain->GetDirtyRects().GetRect(0);
            EXPECT_EQ(std::tuple(rect.left, rect.top, rect.width, rect.height), marked) << at.x << ", " << at.z;
            Rebuild();
        }
    }
    ASSERT_TRUE(TheLevel()->AddEntity(tile, Coords::Translation(Vec3(8, kGround, 8))));
    Rebuild();
    const float top = kGround + sample::kTileTopHeight;
    EXPECT_NEAR(DropHeight(*terrain, 8.5f, 8.5f), top, 1e-4f);

    // Turned a quarter about y and moved: the collision mesh follows, the old hole closes.
    TheLevel()->MoveEntity(tile, Coords::Translation(Vec3(20, kGround + 1, 20)) * Coords::RotationY(0.5f * Pi));
    ASSERT_NE(tile->GetTerrainTile(), nullptr);
    EXPECT_EQ(tile->GetTerrainTile()->GetCoords().origin, Vec3(20, kGround + 1, 20));
    Rebuild();
    EXPECT_NEAR(DropHeight(*terrain, 22.5f, 17.5f), top + 1, 1e-4f);
    EXPECT_NEAR(DropHeight(*terrain, 8.5f, 8.5f), kGround, 1e-4f);
    EXPECT_FALSE(terrain->IsInvisible(8, 8));
    EXPECT_TRUE(terrain->IsInvisible(20, 20));
    // Contours turn with the tile: the first point of the sample's outline, (-3, 0, 3), turned a
    // quarter about y lies at (3, 0, 3) from the tile's origin.
    const SimplePolygon contour = tile->GetTerrainTile()->GetContour(0);
    EXPECT_NEAR(contour[0].x, 23.0f, 1e-4f);
    EXPECT_NEAR(contour[0].z, 23.0f, 1e-4f);
    EXPECT_NEAR(contour[0].height, kGround + 1, 1e-4f);
    EXPECT_NEAR(contour[0].extra[1], 1.0f, 1e-5f);

    // Too near the edge to be joined to the ground: still met by rays, but no hole.
    TheLevel()->MoveEntity(tile, Coords::Translation(Vec3(30, kGround, 16)));
    EXPECT_FALSE(tile->GetTerrainTile()->GetAttached());
    Rebuild();
    EXPECT_FALSE(terrain->IsInvisible(20, 20));
    EXPECT_FALSE(terrain->IsInvisible(30, 16));
    EXPECT_NEAR(DropHeight(*terrain, 29.5f, 16.5f), top, 1e-4f);

    // Removed: no terrain tile, nothing cut, no plugs.
    TheLevel()->MoveEntity(tile, Coords::Translation(Vec3(16, kGround, 16)));
    Rebuild();
    EXPECT_TRUE(terrain->IsInvisible(16, 16));
    TheLevel()->RemoveEntity(tile);
    EXPECT_EQ(tile->GetTerrainTile(), nullptr);
    terrain->AddTile(nullptr);  // nothing to add or destroy
    terrain->DestroyTile(nullptr);
    Rebuild();
    EXPECT_FALSE(terrain->IsInvisible(16, 16));
    EXPECT_TRUE(PlugTriangles(*terrain).empty());
    EXPECT_NEAR(DropHeight(*terrain, 16.5f, 16.5f), kGround, 1e-4f);
}

// The editable terrain joins a tile whose contour keeps more than a unit from its edge; the
// run-time terrain asks the tile's box to keep more than 2 units.
TEST_F(TileTest, TheRunTimeTerrainJoinsATileByItsBoxTwoUnitsInside) {
    // The slab's rim (and box) 1.5 units from the edge at x = 0.
    const Coords nearEdge = Coords::Translation(Vec3(sample::kTileHalfSize + 1.5f, kGround, 16));
    ASSERT_TRUE(TheLevel()->AddEntity(tile, nearEdge));
    EXPECT_TRUE(tile->GetTerrainTile()->GetAttached());
    TheLevel()->RemoveEntity(tile);

    BinaryWriter writer(4096);
    terrain->SaveRunTimeFormat(writer);
    auto runTime = std::make_unique<TerrainRT>(region);
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    ASSERT_TRUE(runTime->Load(reader, Level::kVersion));
    TheLevel()->SetGround(std::move(runTime));
    terrain = nullptr;
    ASSERT_TRUE(TheLevel()->AddEntity(tile, nearEdge));
    EXPECT_FALSE(tile->GetTerrainTile()->GetAttached());
    for (const Vec3 place : {Vec3(sample::kTileHalfSize + 2.5f, kGround, 16), Vec3(16, kGround, 16)}) {
        TheLevel()->MoveEntity(tile, Coords::Translation(place));
        EXPECT_TRUE(tile->GetTerrainTile()->GetAttached()) << place.x;
    }
    for (const Vec3 place : {Vec3(32 - sample::kTileHalfSize - 1.5f, kGround, 16), Vec3(16, kGround, 1.5f + sample::kTileHalfSize),
                             Vec3(16, kGround, 30.5f - sample::kTileHalfSize)}) {
        TheLevel()->MoveEntity(tile, Coords::Translation(place));
        EXPECT_FALSE(tile->GetTerrainTile()->GetAttached()) << place.x << ", " << place.z;
    }
}

TEST_F(TileTest, ATileOutlivesItsTerrainAndIsAnOrdinaryActorWithoutOne) {
    ASSERT_TRUE(TheLevel()->AddEntity(tile, Coords::Translation(Vec3(16, kGround, 16))));
    ASSERT_NE(tile->GetTerrainTile(), nullptr);
    // The level's ground goes first: leaving then calls no terrain, and the terrain tile is not lost
    // (the leak checker would tell).
    TheLevel()->SetGround(nullptr);
    terrain = nullptr;
    TheLevel()->MoveEntity(tile, Coords::Translation(Vec3(10, 0, 10)));
    TheLevel()->RemoveEntity(tile);
    EXPECT_EQ(tile->GetTerrainTile(), nullptr);

    ASSERT_TRUE(TheLevel()->AddEntity(tile, Coords::Translation(Vec3(10, 0, 10))));
    EXPECT_EQ(tile->GetTerrainTile(), nullptr);
    EXPECT_TRUE(!tile->OccludesPathing() && tile->IncludeInMinimap() && tile->GetIsPartOfLevel());
    EXPECT_EQ(tile->GetPhysicsType(), Entity::PhysicsType::None);
}

TEST(TerrainTileShapeTest, WithoutAMeshATileIsAPointThatNothingMeets) {
    LogCapture log;
    TerrainTile tile;
    tile.SetCoords(Coords::Translation(Vec3(4, 2, 7)));
    EXPECT_EQ(tile.GetBoundingBox(), ABBox(Vec3(4, 2, 7), Vec3()));
    EXPECT_EQ(tile.GetNumContours(), 0);
    EXPECT_FLOAT_EQ(tile.GetMaxDistance(), 5.0f);
    Intersection hit;
    tile.GetIntersection(Ray(Vec3(4, 10, 7), kDown), hit, PhysicsSurface::None);
    EXPECT_EQ(hit.distance, Infinity);
    tile.LogInfo();
    EXPECT_TRUE(log.Contains(LogPriority::Info, "   mesh: NULL"));
}

}  // namespace
}  // namespace GAME::test
