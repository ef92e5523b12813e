// The terrain's navigation mesh: it covers exactly the passable cells, follows edits of the
// passability, and comes out the same every time it is made.

#include <gtest/gtest.h>

#include <cmath>

#include "core/WorldVec3.h"
#include "pathing/Path.h"
#include "pathing/PathFinder.h"
#include "pathing/PathMesh.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPathMeshCalculator.h"

namespace GAME::test {
namespace {

alignas(16) char gRegion[16];  // the search compares regions by address only
Region* const kRegion = reinterpret_cast<Region*>(gRegion);

float GroundArea(const PathMesh& mesh) {
    float area = 0.0f;
    for (uint32_t i = 0; i < mesh.GetNumTriangles(); ++i) {
        const PathMesh::Triangle& t = mesh.GetTriangle(i);
        const Vec3 a = mesh.GetVertex(t.vertex[0]), b = mesh.GetVertex(t.vertex[1]), c = mesh.GetVertex(t.vertex[2]);
        area += ((b.x - a.x) * (c.z - a.z) - (b.z - a.z) * (c.x - a.x)) * 0.5f;
    }
    return area;
}

// A sloping 32 x 32-cell terrain whose navigation mesh is registered with a path finder.
class TerrainPathMeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(terrain.New(32, 32));
        for (unsigned z = 0; z < 33; ++z) {
            for (unsigned x = 0; x < 33; ++x) terrain.SetBaseHeight(x, z, 0.25f * float(x) + 0.1f * float(z));
        }
        Rebuild();
    }
    void TearDown() override {
        if (registered) finder.RemoveMesh(&mesh);
    }

    void Rebuild() {
        if (registered) finder.RemoveMesh(&mesh);
        registered = TerrainPathMeshCalculator(terrain).CreateNavigationMesh(mesh);
        mesh.SetRegion(kRegion);
        if (registered) finder.AddMesh(&mesh);
    }
    std::unique_ptr<Path> Find(float x0, float z0, float x1, float z1) {
        return finder.FindPath(0, WorldVec3(kRegion, Vec3(x0, 0, z0)), WorldVec3(kRegion, Vec3(x1, 0, z1)), Vec3(), 0, 0,
                               0, 0, 0);
    }
    void Wall(unsigned x0, unsigned x1, unsigned z0, unsigned z1) {
        for (unsigned z = z0; z <= z1; ++z) {
            for (unsigned x = x0; x <= x1; ++x) terrain.SetPassable(x, z, 2);
        }
        Rebuild();
    }

    Terrain terrain{nullptr};
    PathMesh mesh;
    PathFinder finder;
    bool registered = false;
};

TEST_F(TerrainPathMeshTest, CoversThePassableCellsAtTheirHeights) {
    ASSERT_TRUE(registered);
    EXPECT_NEAR(GroundArea(mesh), 32.0f * 32.0f, 1e-2f);
    // The open area is cut into bounded triangles whose corners are samples of the ground.
    for (uint32_t i = 0; i < mesh.GetNumVertices(); ++i) {
        const Vec3& v = mesh.GetVertex(i);
        EXPECT_FLOAT_EQ(v.y, terrain.GetHeight(unsigned(v.x), unsigned(v.z)));
    }
    for (uint32_t i = 0; i < mesh.GetNumTriangles(); ++i) {
        const PathMesh::Triangle& t = mesh.GetTriangle(i);
        for (int k = 0; k < 3; ++k) {
            const Vec3 edge = mesh.GetVertex(t.vertex[k]) - mesh.GetVertex(t.vertex[(k + 1) % 3]);
            EXPECT_LE(std::hypot(edge.x, edge.z), std::sqrt(2.0f) * TerrainPathMeshCalculator::kSubdivision + 1e-3f);
        }
    }

    Wall(10, 13, 4, 7);
    EXPECT_NEAR(GroundArea(mesh), 32.0f * 32.0f - 16.0f, 1e-2f);
    EXPECT_EQ(mesh.FindTriangle(Vec3(11.5f, 3.0f, 5.5f)), -1);
    EXPECT_GE(mesh.FindTriangle(Vec3(9.5f, 3.0f, 5.5f)), 0);
    EXPECT_FALSE(mesh.IsLineWalkable(Vec3(2, 0, 5.5f), Vec3(20, 0, 5.5f)));
}

TEST_F(TerrainPathMeshTest, PathsGoAroundANewObstacleAndNeverThroughIt) {
    const std::unique_ptr<Path> before = Find(2, 16, 28, 16);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->points.size(), 2u);

    Wall(14, 16, 0, 27);  // a wall with a gap at the top
    const std::unique_ptr<Path> around = Find(2, 16, 28, 16);
    ASSERT_TRUE(around);
    EXPECT_GT(around->points.size(), 2u);
    for (size_t i = 1; i < around->points.size(); ++i) {
        const Vec3 a = around->points[i - 1].GetRegionPosition(), b = around->points[i].GetRegionPosition();
        EXPECT_TRUE(mesh.IsLineWalkable(a, b)) << i;
    }
    EXPECT_FALSE(Find(2, 16, 15.5f, 16));  // inside the wall

    Wall(14, 16, 28, 31);  // closed
    EXPECT_FALSE(Find(2, 16, 28, 16));
    EXPECT_TRUE(Find(2, 16, 2, 30));

    // Everything impassable: no mesh.
    Wall(0, 31, 0, 31);
    EXPECT_FALSE(registered);
    EXPECT_FALSE(mesh.HasMesh());
}

TEST_F(TerrainPathMeshTest, MakingTheMeshTwiceGivesTheSameMesh) {
    Wall(5, 9, 3, 20);
    Wall(20, 20, 20, 20);
    PathMesh again;
    ASSERT_TRUE(TerrainPathMeshCalculator(terrain).CreateNavigationMesh(again));
    ASSERT_EQ(again.GetNumVertices(), mesh.GetNumVertices());
    ASSERT_EQ(again.GetNumTriangles(), mesh.GetNumTriangles());
    for (uint32_t i = 0; i < mesh.GetNumVertices(); ++i) EXPECT_EQ(again.GetVertex(i), mesh.GetVertex(i));
    for (uint32_t i = 0; i < mesh.GetNumTriangles(); ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(again.GetTriangle(i).vertex[k], mesh.GetTriangle(i).vertex[k]);
    }
}

}  // namespace
}  // namespace GAME::test
