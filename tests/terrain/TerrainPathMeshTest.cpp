// The terrain's navigation mesh: it covers exactly the passable cells, is made again for the
// terrain's level whenever the ground or its passability changes, and comes out the same every
// time it is made.

#include <gtest/gtest.h>

#include <cmath>

#include "core/Singleton.h"
#include "core/WorldVec3.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "pathing/Path.h"
#include "pathing/PathFinder.h"
#include "pathing/PathMesh.h"
#include "physics/PhysicsMesh.h"
#include "physics/PhysicsMeshWriter.h"
#include "render/DirtyRect.h"
#include "support/LogCapture.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPathMeshCalculator.h"
#include "terrain/TerrainRT.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME::test {
namespace {

float GroundArea(const PathMesh& mesh) {
    float area = 0.0f;
    for (uint32_t i = 0; i < mesh.GetNumTriangles(); ++i) {
        const PathMesh::Triangle& t = mesh.GetTriangle(i);
        const Vec3 a = mesh.GetVertex(t.vertex[0]), b = mesh.GetVertex(t.vertex[1]), c = mesh.GetVertex(t.vertex[2]);
        area += ((b.x - a.x) * (c.z - a.z) - (b.z - a.z) * (c.x - a.x)) * 0.5f;
    }
    return area;
}

// A sloping 32 x 32-cell terrain, the editor's new terrain of a level in a world region: the
// terrain's update after an edit gives the level a new navigation mesh, which the level keeps
// registered with the path finder.
class TerrainPathMeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        region = world.GetRegion(world.AddRegion("ground", IntVec3(), ABBox(), RegionId()));
        auto level = std::make_unique<Level>(region);
        ASSERT_TRUE(level->NewTerrain(33, 33));
        terrain = level->GetEditableTerrain();
        for (unsigned z = 0; z < 33; ++z) {
            for (unsigned x = 0; x < 33; ++x) terrain->SetBaseHeight(x, z, 0.25f * float(x) + 0.1f * float(z));
        }
        terrain->AddDirtyRect(DirtyRect(0, 0, 33, 33));
        region->SetLevel(std::move(level));
        Rebuild();
    }
    void TearDown() override { world.Unload(); }

    PathMesh& Mesh() const { return region->GetLevel()->GetPathMesh(); }

    // The edits so far reach the level's mesh with the terrain's next update.
    void Rebuild() {
        terrain->Update(nullptr, 0, 0);
        registered = finder.GetNumMeshes() == 1;
    }
    std::unique_ptr<Path> Find(float x0, float z0, float x1, float z1) {
        return world.FindPath(0, WorldVec3(region, Vec3(x0, 0, z0)), WorldVec3(region, Vec3(x1, 0, z1)), Vec3(), 0, 0,
                              0, 0, 0);
    }
    void Wall(unsigned x0, unsigned x1, unsigned z0, unsigned z1) {
        for (unsigned z = z0; z <= z1; ++z) {
            for (unsigned x = x0; x <= x1; ++x) terrain->SetPassable(x, z, 2);
        }
        Rebuild();
    }

    World world;
    Region* region = nullptr;
    Terrain* terrain = nullptr;  // the level's
    PathFinder& finder = *Singleton<PathFinder>::Get();
    bool registered = false;
};

TEST_F(TerrainPathMeshTest, CoversThePassableCellsAtTheirHeights) {
    ASSERT_TRUE(registered);
    EXPECT_NEAR(GroundArea(Mesh()), 32.0f * 32.0f, 1e-2f);
    // The open area is cut into bounded triangles whose corners are samples of the ground.
    for (uint32_t i = 0; i < Mesh().GetNumVertices(); ++i) {
        const Vec3& v = Mesh().GetVertex(i);
        EXPECT_FLOAT_EQ(v.y, terrain->GetHeight(unsigned(v.x), unsigned(v.z)));
    }
    for (uint32_t i = 0; i < Mesh().GetNumTriangles(); ++i) {
        const PathMesh::Triangle& t = Mesh().GetTriangle(i);
        for (int k = 0; k < 3; ++k) {
            const Vec3 edge = Mesh().GetVertex(t.vertex[k]) - Mesh().GetVertex(t.vertex[(k + 1) % 3]);
            EXPECT_LE(std::hypot(edge.x, edge.z), std::sqrt(2.0f) * TerrainPathMeshCalculator::kSubdivision + 1e-3f);
        }
    }

    Wall(10, 13, 4, 7);
    EXPECT_NEAR(GroundArea(Mesh()), 32.0f * 32.0f - 16.0f, 1e-2f);
    EXPECT_EQ(Mesh().FindTriangle(Vec3(11.5f, 3.0f, 5.5f)), -1);
    EXPECT_GE(Mesh().FindTriangle(Vec3(9.5f, 3.0f, 5.5f)), 0);
    EXPECT_FALSE(Mesh().IsLineWalkable(Vec3(2, 0, 5.5f), Vec3(20, 0, 5.5f)));
}

TEST_F(TerrainPathMeshTest, PathsGoAroundANewObstacleAndNeverThroughIt) {
    const std::unique_ptr<Path> before = Find(2, 16, 28, 16);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->points.size(), 2u);
    world.InvalidateAllPathing();  // the world keeps no pathing of its own: the level's mesh stays
    EXPECT_TRUE(Find(2, 16, 28, 16));

    Wall(14, 16, 0, 27);  // a wall with a gap at the top
    const std::unique_ptr<Path> around = Find(2, 16, 28, 16);
    ASSERT_TRUE(around);
    EXPECT_GT(around->points.size(), 2u);
    for (size_t i = 1; i < around->points.size(); ++i) {
        const Vec3 a = around->points[i - 1].GetRegionPosition(), b = around->points[i].GetRegionPosition();
        EXPECT_TRUE(Mesh().IsLineWalkable(a, b)) << i;
    }
    EXPECT_FALSE(Find(2, 16, 15.5f, 16));  // inside the wall

    Wall(14, 16, 28, 31);  // closed
    EXPECT_FALSE(Find(2, 16, 28, 16));
    EXPECT_TRUE(Find(2, 16, 2, 30));

    // Everything impassable: no mesh.
    Wall(0, 31, 0, 31);
    EXPECT_FALSE(registered);
    EXPECT_FALSE(Mesh().HasMesh());
}

TEST_F(TerrainPathMeshTest, MakingTheMeshTwiceGivesTheSameMesh) {
    Wall(5, 9, 3, 20);
    Wall(20, 20, 20, 20);
    // A height edit reaches the level's mesh too.
    terrain->SetBaseHeight(24, 8, 9.0f);
    terrain->AddDirtyRect(DirtyRect(24, 8, 1, 1));
    Rebuild();
    bool raised = false;
    for (uint32_t i = 0; i < Mesh().GetNumVertices(); ++i) raised = raised || Mesh().GetVertex(i) == Vec3(24, 9, 8);
    EXPECT_TRUE(raised);
    PathMesh again;
    ASSERT_TRUE(TerrainPathMeshCalculator(*terrain).CreateNavigationMesh(again));
    ASSERT_EQ(again.GetNumVertices(), Mesh().GetNumVertices());
    ASSERT_EQ(again.GetNumTriangles(), Mesh().GetNumTriangles());
    for (uint32_t i = 0; i < Mesh().GetNumVertices(); ++i) EXPECT_EQ(again.GetVertex(i), Mesh().GetVertex(i));
    for (uint32_t i = 0; i < Mesh().GetNumTriangles(); ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(again.GetTriangle(i).vertex[k], Mesh().GetTriangle(i).vertex[k]);
    }
    // Ground that nobody can walk makes no mesh, and the one made before goes.
    for (unsigned cell = 0; cell < 64u * 64u; ++cell) terrain->SetPassable(cell % 64, cell / 64, 2);
    EXPECT_FALSE(TerrainPathMeshCalculator(*terrain).CreateNavigationMesh(again));
    EXPECT_EQ(again.GetNumVertices(), 0u);
}

// An entity standing on a slab one unit above the ground: its collision mesh is in the way.
class SlabEntity : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    SlabEntity() {
        const mem::vector<Vec3> corners{Vec3(0, 1, 0), Vec3(4, 1, 0), Vec3(4, 1, 4), Vec3(0, 1, 4)};
        mem::vector<PhysicsMesh::Face> faces(2);
        faces[0].vertices[0] = 0, faces[0].vertices[1] = 1, faces[0].vertices[2] = 2;
        faces[1].vertices[0] = 0, faces[1].vertices[1] = 2, faces[1].vertices[2] = 3;
        BinaryWriter writer;
        PhysicsMeshWriter::Write(writer, faces, corners);
        slab_.Initialize(writer.GetBuffer(), int(writer.GetPosition()));
    }
    const PhysicsMesh* GetPhysicsMesh() const override { return &slab_; }

private:
    PhysicsMesh slab_;
};
GAME_RTTI_DEFINE_CLASS(SlabEntity, Entity);

TEST_F(TerrainPathMeshTest, TheMeshReachesIntoTheNeighboursWithTheirEntitiesInTheWay) {
    // A flat 16 x 32-cell neighbour east of the ground, the regions touching at x = 32.
    Region* east = world.GetRegion(world.AddRegion("east", IntVec3(32, 0, 0), ABBox(), RegionId()));
    auto neighbour = std::make_unique<Level>(east);
    ASSERT_TRUE(neighbour->NewTerrain(17, 33));
    Level* eastLevel = neighbour.get();
    east->SetLevel(std::move(neighbour));
    Level& level = *region->GetLevel();
    ASSERT_TRUE(level.CreatePathMesh());
    ASSERT_TRUE(registered);
    EXPECT_NEAR(GroundArea(Mesh()), 32.0f * 32.0f + 16.0f * 32.0f, 1e-1f);
    EXPECT_GE(Mesh().FindTriangle(Vec3(46.5f, 0.0f, 2.5f)), 0);
    EXPECT_EQ(finder.GetNumMeshes(), 1u);

    auto* slab = static_cast<SlabEntity*>(Singleton<ObjectManager>::Get()->CreateObject("SlabEntity"));
    ASSERT_TRUE(eastLevel->AddEntity(slab, Coords::Translation(Vec3(2, 0, 2))));
    ASSERT_TRUE(level.CreatePathMesh());
    EXPECT_LT(GroundArea(Mesh()), 32.0f * 32.0f + 16.0f * 32.0f - 15.0f);
    EXPECT_TRUE(Mesh().FindTriangle(Vec3(36, 0, 4)) == -1 && Mesh().FindTriangle(Vec3(20, 0, 20)) >= 0);
    world.Unload();
    Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
}

TEST(LevelTerrain, ANewTerrainIsTheLevelsGroundAndItsBoxReachesAboveAndBelow) {
    Region region(ABBox(Vec3(), Vec3(10, 10, 10)));
    Level level(&region);
    ASSERT_TRUE(level.NewTerrain(17, 9));
    Terrain* terrain = level.GetEditableTerrain();
    ASSERT_NE(terrain, nullptr);
    EXPECT_EQ(level.GetTerrain(), terrain);
    EXPECT_EQ(level.GetGridRegion(), nullptr);
    EXPECT_FALSE(level.IsUnderground());
    EXPECT_TRUE(level.IsLoaded() && level.HasLoadedRenderData() && level.GetPostLoadCalled());
    EXPECT_EQ(std::tuple(terrain->GetNumXSamples(), terrain->GetNumYSamples(), level.GetSectorLayers().GetWidth(),
                         level.GetSectorLayers().GetHeight()),
              std::tuple(17u, 9u, 16u, 8u));
    const ABBox ground = terrain->GetBoundingBox();
    const ABBox box = level.GetBoundingBox();
    EXPECT_EQ(box.centre, ground.centre);
    EXPECT_FLOAT_EQ(box.halfSize.x, ground.halfSize.x);
    EXPECT_FLOAT_EQ(box.halfSize.z, ground.halfSize.z);
    EXPECT_FLOAT_EQ(box.halfSize.y, ground.halfSize.y + Level::kTerrainBoxRise);
    // The sector layers lie on the terrain.
    terrain->SetBaseHeight(4, 2, 6.0f);
    terrain->AddDirtyRect(DirtyRect(4, 2, 1, 1));
    terrain->Update(nullptr, 0, 0);
    EXPECT_FLOAT_EQ(level.GetSectorLayers().GetGroundHeight(4.0f, 2.0f), terrain->GetHeight(4, 2));
    EXPECT_NE(terrain->GetHeight(4, 2), 0.0f);

    // A level read from its file lies its sector layers on its terrain once post-loaded.
    BinaryWriter file;
    level.Save(file, false);
    Level read(&region);
    ASSERT_TRUE(read.Load(file.GetBuffer(), file.GetPosition(), false));
    read.PostLoad(false);
    EXPECT_FLOAT_EQ(read.GetSectorLayers().GetGroundHeight(4.0f, 2.0f), terrain->GetHeight(4, 2));

    // A new terrain replaces everything the level held, its water too.
    ASSERT_NE(read.NewWater(), nullptr);
    ASSERT_TRUE(read.NewTerrain(9, 9));
    EXPECT_EQ(read.GetWater(), nullptr);
    EXPECT_EQ(read.GetEditableTerrain()->GetNumXSamples(), 9u);
    read.Unload(false);

    // A size that is no terrain's keeps the ground there is.
    LogCapture log;
    EXPECT_FALSE(level.NewTerrain(18, 9));
    EXPECT_FALSE(level.NewTerrain(0, 9));
    EXPECT_EQ(level.GetEditableTerrain(), terrain);
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);

    // A run-time terrain is a terrain, but not the editor's.
    level.SetGround(std::make_unique<TerrainRT>(&region));
    EXPECT_NE(level.GetTerrain(), nullptr);
    EXPECT_EQ(level.GetEditableTerrain(), nullptr);
    level.Unload(false);
    EXPECT_EQ(level.GetSectorLayers().GetGroundHeight(4.0f, 2.0f), 0.0f);
}

}  // namespace
}  // namespace GAME::test
