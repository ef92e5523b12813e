// PathFinder: registration, straight and detouring paths, unreachable goals and portal links.

#include <gtest/gtest.h>

#include <cmath>

#include "core/WorldVec3.h"
#include "pathing/PathFinder.h"
#include "pathing/PathFunnel.h"
#include "pathing/PathMesh.h"
#include "pathing/PathPortalLinker.h"
#include "tests/pathing/PathGrid.h"

namespace GAME {
namespace {

// Stand-ins for regions and portals, which the search only compares by address.
alignas(16) char gRegionA[16], gRegionB[16], gPortal[16], gSecondPortal[16];
Region* const kRegionA = reinterpret_cast<Region*>(gRegionA);
Region* const kRegionB = reinterpret_cast<Region*>(gRegionB);
Portal* const kPortal = reinterpret_cast<Portal*>(gPortal);
Portal* const kSecondPortal = reinterpret_cast<Portal*>(gSecondPortal);

std::unique_ptr<Path> Find(PathFinder& finder, const WorldVec3& from, const WorldVec3& to) {
    return finder.FindPath(0, from, to, Vec3(), 0.0f, 0.0f, 0.0f, 0.0f, 0);
}

mem::vector<Vec3> Positions(const Path& path) {
    mem::vector<Vec3> positions;
    for (const WorldVec3& point : path.points) positions.push_back(point.GetRegionPosition());
    return positions;
}

float Length(const Path& path) {
    float length = 0.0f;
    for (size_t i = 1; i < path.points.size(); ++i)
        length += (path.points[i].GetRegionPosition() - path.points[i - 1].GetRegionPosition()).Length();
    return length;
}

// Every point of every leg lies on the mesh.
void ExpectOnMesh(const PathMesh& mesh, const Path& path) {
    for (size_t i = 1; i < path.points.size(); ++i) {
        const Vec3 a = path.points[i - 1].GetRegionPosition(), b = path.points[i].GetRegionPosition();
        for (int s = 0; s <= 100; ++s)
            EXPECT_GE(mesh.FindTriangle(a + (b - a) * (float(s) / 100.0f)), 0) << "leg " << i << " step " << s;
    }
}

class PathFinderTest : public testing::Test {
protected:
    void Build(PathMesh& target, Region* region, int size, const std::function<bool(int, int)>& walkable = {}) {
        ASSERT_TRUE(target.Create(test::GridFaces(size, size, 0.0f, walkable), {}));
        target.SetRegion(region);
        finder.AddMesh(&target);
    }

    PathFinder finder;
    PathMesh mesh;
};

TEST_F(PathFinderTest, OpenGroundGivesAStraightLine) {
    Build(mesh, kRegionA, 10);
    const WorldVec3 start(kRegionA, Vec3(0.5f, 0.0f, 0.5f)), goal(kRegionA, Vec3(9.5f, 0.0f, 7.25f));
    const std::unique_ptr<Path> path = Find(finder, start, goal);
    ASSERT_TRUE(path);
    EXPECT_EQ(Positions(*path), (mem::vector<Vec3>{start.GetRegionPosition(), goal.GetRegionPosition()}));
    EXPECT_EQ(path->points[1].GetRegion(), kRegionA);

    // Start and goal in one triangle.
    const std::unique_ptr<Path> short_ = Find(finder, start, WorldVec3(kRegionA, Vec3(0.75f, 0.0f, 0.5f)));
    EXPECT_EQ(short_ ? short_->points.size() : 0u, 2u);
}

// The corridor of a search, straightened, appends its corners after what the list held. A small
// block takes the lower right half of cell (1, 2), so the way over the wall below it turns at (2, 3)
// alone, its legs mirrored about the x axis.
TEST_F(PathFinderTest, AStraightenedCorridorIsAppended) {
    const PathFace block{{Vec3(1.8f, 0, 2.1f), Vec3(1.9f, 0, 2.1f), Vec3(1.9f, 0, 2.2f)}};
    ASSERT_TRUE(mesh.Create(test::GridFaces(4, 4, 0.0f, [](int x, int z) { return x != 1 || z > 1; }), {block}));
    const Vec3 from(0.5f, 0, 2.25f), to(3.5f, 0, 2.25f);
    PathSearch search;
    mem::vector<PathSearch::Step> corridor;
    ASSERT_TRUE(search.Find({&mesh}, {}, PathSearch::Location{0, uint32_t(mesh.FindTriangle(from))}, from,
                            PathSearch::Location{0, uint32_t(mesh.FindTriangle(to))}, to, corridor));
    mem::vector<Vec3> points{Vec3(9, 9, 9)};
    StraightenPath(mesh, corridor.data(), corridor.size(), from, to, points);
    EXPECT_EQ(points, (mem::vector<Vec3>{Vec3(9, 9, 9), Vec3(2, 0, 3), to}));
}

TEST_F(PathFinderTest, PathTurnsAtTheCornersOfAnObstacle) {
    // A wall of missing cells at x = 5 for z < 8.
    Build(mesh, kRegionA, 10, [](int x, int z) { return x != 5 || z >= 8; });
    std::unique_ptr<Path> path =
        Find(finder, WorldVec3(kRegionA, Vec3(2.5f, 0.0f, 2.5f)), WorldVec3(kRegionA, Vec3(8.5f, 0.0f, 2.5f)));
    ASSERT_TRUE(path);
    EXPECT_EQ(Positions(*path),
              (mem::vector<Vec3>{Vec3(2.5f, 0, 2.5f), Vec3(5, 0, 8), Vec3(6, 0, 8), Vec3(8.5f, 0, 2.5f)}));
    EXPECT_NEAR(Length(*path), 2.0f * std::sqrt(2.5f * 2.5f + 5.5f * 5.5f) + 1.0f, 1e-4f);
    ExpectOnMesh(mesh, *path);
    // Past the wall's end, even a few degrees behind it (the first goal), the path turns there, either
    // way round; from starts on edges between triangles (the last three) it goes straight where it can.
    const Vec3 end(5, 0, 8);
    const struct {
        Vec3 from, to;
        mem::vector<Vec3> points;
    } cases[] = {{Vec3(2.5f, 0, 2.5f), Vec3(5.05f, 0, 8.09f), {end}},
                 {Vec3(), Vec3(6.6f, 0, 9.55f), {end}},
                 {Vec3(6.6f, 0, 9.55f), Vec3(), {end}},
                 {Vec3(1, 0, 7.5f), Vec3(7, 0, 8), {end}},
                 {Vec3(1.5f, 0, 4.5f), Vec3(6.5f, 0, 9.5f), {}},
                 {Vec3(4.5f, 0, 8), Vec3(9.5f, 0, 7), {Vec3(6, 0, 8)}},
                 {Vec3(2.5f, 0, 8), Vec3(8.5f, 0, 8), {}}};
    for (const auto& c : cases) {
        path = Find(finder, WorldVec3(kRegionA, c.from), WorldVec3(kRegionA, c.to));
        ASSERT_TRUE(path);
        mem::vector<Vec3> points{c.from};
        points.insert(points.end(), c.points.begin(), c.points.end());
        points.push_back(c.to);
        EXPECT_EQ(Positions(*path), points) << c.to.x;
    }
}

TEST_F(PathFinderTest, WindingCorridorStaysOnTheMesh) {
    // A serpentine: walls from alternate sides every other column.
    Build(mesh, kRegionA, 12, [](int x, int z) {
        if (x % 4 == 1) return z >= 10;
        if (x % 4 == 3) return z < 2;
        return true;
    });
    const std::unique_ptr<Path> path =
        Find(finder, WorldVec3(kRegionA, Vec3(0.5f, 0.0f, 0.5f)), WorldVec3(kRegionA, Vec3(11.5f, 0.0f, 0.5f)));
    ASSERT_TRUE(path);
    EXPECT_GE(path->points.size(), 7u);
    ExpectOnMesh(mesh, *path);
}

TEST_F(PathFinderTest, NoPathWhenTheGoalIsEnclosedOrOffTheMesh) {
    // A ring of missing cells around cell (5, 5).
    Build(mesh, kRegionA, 10, [](int x, int z) { return std::max(std::abs(x - 5), std::abs(z - 5)) != 1; });
    const WorldVec3 start(kRegionA, Vec3(0.5f, 0.0f, 0.5f));
    // Enclosed, open, off the mesh, in a region without one, outside the world.
    for (const auto& [region, x, z, found] : {std::tuple{kRegionA, 5.5f, 5.5f, false}, {kRegionA, 8.5f, 8.5f, true},
                                              {kRegionA, 20.0f, 0.5f, false}, {kRegionB, 8.5f, 8.5f, false},
                                              {static_cast<Region*>(nullptr), 8.5f, 8.5f, false}})
        EXPECT_EQ(bool(Find(finder, start, WorldVec3(region, Vec3(x, 0.0f, z)))), found) << x << ", " << z;

    finder.RemoveMesh(&mesh);
    EXPECT_FALSE(Find(finder, start, WorldVec3(kRegionA, Vec3(8.5f, 0.0f, 8.5f))));
}

TEST_F(PathFinderTest, RegistrationCountsEachOnce) {
    Build(mesh, kRegionA, 2);
    finder.AddMesh(&mesh);
    finder.AddMesh(nullptr);
    EXPECT_EQ(finder.GetNumMeshes(), 1u);
    for (int twice = 0; twice < 2; ++twice) finder.AddPortal(kPortal);
    EXPECT_EQ(finder.GetNumPortals(), 1u);
    // A portal that moves is removed and added again.
    for (int twice = 0; twice < 2; ++twice) finder.RemovePortal(kPortal);
    EXPECT_EQ(finder.GetNumPortals(), 0u);
    EXPECT_FALSE(finder.IsDebuggingEnabled());
    finder.SetDebuggingEnabled(true);
    EXPECT_TRUE(finder.IsDebuggingEnabled());
}

TEST_F(PathFinderTest, PortalsLinkRegionsThroughTheLinker) {
    // Region B lies east of region A; the portal joins A's (4, z) edge to B's (0, z) edge. A wall
    // in B, cells (1, 0) to (1, 2), turns the way on in B at (1, 3).
    struct Linker : PathPortalLinker {
        bool GetCrossing(const Portal& portal, WorldVec3& front, WorldVec3& back) const override {
            if (&portal != kPortal) return false;
            front = WorldVec3(kRegionA, Vec3(3.9f, 0.0f, 2.0f));
            back = WorldVec3(kRegionB, Vec3(0.1f, 0.0f, 2.0f));
            return true;
        }
    } linker;
    PathMesh other;
    Build(mesh, kRegionA, 4);
    Build(other, kRegionB, 4, [](int x, int z) { return x != 1 || z > 2; });
    finder.AddPortal(kPortal);
    const WorldVec3 start(kRegionA, Vec3(0.5f, 0.0f, 0.5f)), goal(kRegionB, Vec3(3.5f, 0.0f, 3.5f));

    EXPECT_FALSE(Find(finder, start, goal));  // no linker: regions stay apart

    finder.SetPortalLinker(&linker);
    std::unique_ptr<Path> path = Find(finder, start, goal);
    ASSERT_TRUE(path);
    EXPECT_EQ(Positions(*path), (mem::vector<Vec3>{Vec3(0.5f, 0, 0.5f), Vec3(3.9f, 0, 2), Vec3(0.1f, 0, 2),
                                                   Vec3(1, 0, 3), Vec3(3.5f, 0, 3.5f)}));
    EXPECT_EQ(
        (std::vector<Region*>{path->points[1].GetRegion(), path->points[2].GetRegion(), path->points[3].GetRegion()}),
        (std::vector<Region*>{kRegionA, kRegionB, kRegionB}));

    // Back the other way.
    path = Find(finder, goal, start);
    EXPECT_EQ(path ? path->points.back().GetRegion() : nullptr, kRegionA);

    // A second doorway, from A's far corner into B, makes the shorter way from (3, 3.5) of A to
    // (0.6, 2) of B: 1.28 against 2.25 through the first.
    struct TwoDoors : Linker {
        bool GetCrossing(const Portal& portal, WorldVec3& front, WorldVec3& back) const override {
            if (&portal != kSecondPortal) return Linker::GetCrossing(portal, front, back);
            front = WorldVec3(kRegionA, Vec3(3.9f, 0.0f, 3.9f));
            back = WorldVec3(kRegionB, Vec3(0.6f, 0.0f, 2.3f));
            return true;
        }
    } twoDoors;
    finder.SetPortalLinker(&twoDoors);
    finder.AddPortal(kSecondPortal);
    path = Find(finder, WorldVec3(kRegionA, Vec3(3.0f, 0.0f, 3.5f)), WorldVec3(kRegionB, Vec3(0.6f, 0.0f, 2.0f)));
    ASSERT_TRUE(path);
    EXPECT_EQ(Positions(*path),
              (mem::vector<Vec3>{Vec3(3, 0, 3.5f), Vec3(3.9f, 0, 3.9f), Vec3(0.6f, 0, 2.3f), Vec3(0.6f, 0, 2)}));
    finder.RemovePortal(kSecondPortal);
    finder.SetPortalLinker(&linker);

    finder.RemovePortal(kPortal);
    EXPECT_FALSE(Find(finder, start, goal));
}

}  // namespace
}  // namespace GAME
