// PathMesh: building from faces and obstacles, the chunk 10 round trip, hostile blocks, point
// location and debug drawing.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "core/Coords.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "pathing/FaceGrid.h"
#include "pathing/PathDebugDrawer.h"
#include "pathing/PathMesh.h"
#include "pathing/SnapGrid.h"
#include "support/LogCapture.h"
#include "tests/pathing/PathGrid.h"

namespace GAME {
namespace {

std::vector<unsigned char> Saved(const PathMesh& mesh) {
    BinaryWriter writer;
    mesh.Save(writer);
    return std::vector<unsigned char>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

bool LoadBytes(PathMesh& mesh, const std::vector<unsigned char>& bytes) {
    BinaryReader reader(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return mesh.Load(reader);
}

uint32_t CountLinks(const PathMesh& mesh) {
    uint32_t links = 0;
    for (uint32_t t = 0; t < mesh.GetNumTriangles(); ++t)
        for (int32_t n : mesh.GetTriangle(t).neighbour) links += n >= 0;
    return links;
}

TEST(PathMesh, CreateWeldsOrdersAndLinks) {
    PathMesh mesh;
    EXPECT_FALSE(mesh.HasMesh());
    ASSERT_TRUE(mesh.Create(test::GridFaces(3, 2, 2.0f), {}));
    EXPECT_EQ(mesh.GetNumVertices(), 12u);
    EXPECT_EQ(mesh.GetNumTriangles(), 12u);
    // Interior edges: 6 diagonals, 4 vertical and 3 horizontal cell edges, each linked both ways.
    EXPECT_EQ(CountLinks(mesh), 2u * (6u + 4u + 3u));
    for (uint32_t t = 0; t < mesh.GetNumTriangles(); ++t) {
        const PathMesh::Triangle& tri = mesh.GetTriangle(t);
        const Vec3 &a = mesh.GetVertex(tri.vertex[0]), &b = mesh.GetVertex(tri.vertex[1]), &c = mesh.GetVertex(tri.vertex[2]);
        EXPECT_GT((b.x - a.x) * (c.z - a.z) - (b.z - a.z) * (c.x - a.x), 0.0f);
        for (int i = 0; i < 3; ++i) {
            if (tri.neighbour[i] < 0) continue;
            // The neighbour runs the shared edge the other way.
            const PathMesh::Triangle& other = mesh.GetTriangle(static_cast<uint32_t>(tri.neighbour[i]));
            bool reversed = false;
            for (int j = 0; j < 3; ++j)
                reversed |= other.vertex[j] == tri.vertex[(i + 1) % 3] && other.vertex[(j + 1) % 3] == tri.vertex[i];
            EXPECT_TRUE(reversed);
        }
    }
}

TEST(PathMesh, CreateSkipsUnusableFaces) {
    mem::vector<PathFace> faces{PathFace{{Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 0, 1)}},  // sharing their first edges
                                PathFace{{Vec3(1, 0, 0), Vec3(0, 0, 0), Vec3(0, 0, -1)}}};
    faces.push_back(PathFace{{Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(1, 5, 0)}});             // vertical wall
    faces.push_back(PathFace{{Vec3(0, 0, 0), Vec3(NAN, 0, 0), Vec3(1, 0, 1)}});           // not finite
    faces.push_back(PathFace{{Vec3(5, 0, 5), Vec3(5.0004f, 0, 5), Vec3(5, 0, 5.0004f)}}); // welds to a point
    PathMesh mesh;
    ASSERT_TRUE(mesh.Create(faces, {}));
    EXPECT_EQ(std::pair(mesh.GetNumTriangles(), CountLinks(mesh)), std::pair(2u, 2u));
    EXPECT_FALSE(mesh.Create({}, {}));
    EXPECT_FALSE(mesh.HasMesh());
}

TEST(PathMesh, ObstaclesRemoveTheFacesTheyStandOn) {
    // A wall across x = 3 (a vertical face, a segment seen from above) touching both cells, a canopy high above
    // cell (0, 0), a block's top resting on cell (4, 0) and a small one on the upper-left half of
    // cell (1, 0), apart from the other half along the cell's diagonal only.
    const mem::vector<PathFace> obstacles = {
        PathFace{{Vec3(NAN, 0.0f, 0.0f), Vec3(1.0f, 0.0f, 0.0f), Vec3(1.0f, 0.0f, 1.0f)}},  // not finite: ignored
        PathFace{{Vec3(3.0f, -0.5f, 0.0f), Vec3(3.0f, -0.5f, 1.0f), Vec3(3.0f, 3.0f, 0.5f)}},
        PathFace{{Vec3(0.1f, 10.0f, 0.1f), Vec3(0.9f, 10.0f, 0.1f), Vec3(0.5f, 10.0f, 0.9f)}},
        PathFace{{Vec3(4.2f, 1.0f, 0.2f), Vec3(4.8f, 1.0f, 0.2f), Vec3(4.5f, 1.0f, 0.8f)}},
        PathFace{{Vec3(1.2f, 1.0f, 0.7f), Vec3(1.3f, 1.0f, 0.7f), Vec3(1.2f, 1.0f, 0.8f)}},
    };
    PathMesh mesh;
    ASSERT_TRUE(mesh.Create(test::GridFaces(5, 1, 0.0f), obstacles));
    EXPECT_GE(mesh.FindTriangle(Vec3(0.5f, 0.0f, 0.5f)), 0);   // under the canopy: clear
    EXPECT_GE(mesh.FindTriangle(Vec3(1.8f, 0.0f, 0.2f)), 0);
    for (const float x : {2.3f, 2.7f, 3.5f, 4.5f})  // the wall's cells and the block's are gone
        EXPECT_LT(mesh.FindTriangle(Vec3(x, 0.0f, 0.5f)), 0) << x;
    EXPECT_LT(mesh.FindTriangle(Vec3(1.2f, 0.0f, 0.8f)), 0);
}

// A flat floor under a ramp of cells 2 wide rising 1 + x / 2 + z / 4: a point takes the floor
// nearer its height.
TEST(PathMesh, FindTriangleTakesTheNearestFloor) {
    mem::vector<PathFace> faces = test::GridFaces(4, 4, 0.0f), ramp = test::GridFaces(2, 2, 0.0f);
    for (PathFace& face : ramp) {
        for (Vec3& corner : face.corner) corner = Vec3(corner.x * 2, 1 + corner.x + corner.z * 0.5f, corner.z * 2);
    }
    faces.insert(faces.end(), ramp.begin(), ramp.end());
    PathMesh mesh;
    ASSERT_TRUE(mesh.Create(faces, {}));
    for (const auto& [x, z] : {std::pair{0.6f, 1.2f}, {1.8f, 0.4f}, {2.8f, 3.8f}, {3.6f, 1.4f}, {1.2f, 2.6f}}) {
        for (const float share : {0.45f, 0.55f}) {  // of the ramp's height there
            const int32_t t = mesh.FindTriangle(Vec3(x, share * (1.0f + x * 0.5f + z * 0.25f), z));
            ASSERT_GE(t, 0);
            EXPECT_EQ(mesh.GetVertex(mesh.GetTriangle(t).vertex[0]).y > 0.0f, share > 0.5f) << x << ", " << z;
        }
    }
    EXPECT_GE(mesh.FindTriangle(Vec3(4.0f, 0.0f, 4.0f)), 0);  // on the outer corner
    EXPECT_LT(mesh.FindTriangle(Vec3(4.1f, 0.0f, 1.0f)), 0);
    EXPECT_EQ(mesh.FindTriangle(Vec3(NAN, 0.0f, 1.0f)), -1);
}

// Straight lines over a 6 x 6 floor with two cells missing, against samples along each line: a
// line is walkable when every sample lies on the mesh. A line through a vertex inside the floor
// passes; one through the corner where the holes meet (the floor pinched to a point) does not.
TEST(PathMesh, LinesAreWalkableExactlyWhereTheyStayOnTheMesh) {
    PathMesh mesh;
    ASSERT_TRUE(mesh.Create(
        test::GridFaces(6, 6, 0.0f, [](int x, int z) { return !(x == 2 && z == 2) && !(x == 3 && z == 3); }), {}));
    uint32_t seed = 7;
    const auto random = [&seed](float range) {
        seed = seed * 1103515245u + 12345u;
        return range * float((seed >> 8) & 0xffff) / 65536.0f;
    };
    int walkable = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const Vec3 from(random(6), 0, random(6)), to(random(6), 0, random(6));
        if (mesh.FindTriangle(from) < 0) continue;
        bool expected = true;
        for (int s = 0; s <= 2000 && expected; ++s)
            expected = mesh.FindTriangle(from + (to - from) * (float(s) / 2000.0f)) >= 0;
        EXPECT_EQ(mesh.IsLineWalkable(from, to), expected) << from.x << " " << from.z << " -> " << to.x << " " << to.z;
        walkable += expected;
    }
    EXPECT_GT(walkable, 100);
    EXPECT_TRUE(mesh.IsLineWalkable(Vec3(0.25f, 0, 1.75f), Vec3(1.75f, 0, 0.25f)));
    EXPECT_FALSE(mesh.IsLineWalkable(Vec3(2.5f, 0, 3.5f), Vec3(3.5f, 0, 2.5f)));
    for (const float x : {2.0f, 3.0f})  // from a corner of a hole along its sides
        EXPECT_TRUE(mesh.IsLineWalkable(Vec3(x, 0, 2), Vec3(x, 0, 2.5f)) &&
                    mesh.IsLineWalkable(Vec3(x, 0, 3), Vec3(x, 0, 2.5f)));
    EXPECT_FALSE(mesh.IsLineWalkable(Vec3(1.5f, 0, 2.5f), Vec3(3.5f, 0, 2.5f)));
    EXPECT_TRUE(mesh.IsLineWalkable(Vec3(1, 0, 1), Vec3(1, 0, 1)));
    EXPECT_TRUE(mesh.IsLineWalkable(Vec3(0, 0, 0), Vec3(1.5f, 0, 0)));  // along the floor's edge
    EXPECT_FALSE(mesh.IsLineWalkable(Vec3(-1, 0, 1), Vec3(1, 0, 1)));  // from off the mesh
    // The edges' tolerance grows with the triangles: cells 100 wide keep an end 1e-3 past the edge.
    PathMesh large;
    mem::vector<PathFace> faces = test::GridFaces(2, 1, 0.0f);
    for (PathFace& face : faces)
        for (Vec3& corner : face.corner) corner = corner * 100.0f;
    ASSERT_TRUE(large.Create(faces, {}));
    EXPECT_TRUE(large.IsLineWalkable(Vec3(50, 0, 50), Vec3(150, 0, 100.001f)));
    EXPECT_GE(large.FindTriangle(Vec3(150, 0, 100.001f)), 0);
    EXPECT_FALSE(large.IsLineWalkable(Vec3(50, 0, 50), Vec3(150, 0, 100.1f)));
}

// Grid cells follow the items' mean size; an item over many cells is visited by every query. On a
// lattice of 1 x 2 items far from the origin, under one item over them all, a point on an item
// visits the wide item and that one, and a point between them the wide one alone. Items far apart
// share a grid of few cells; every item whose bounds meet the query's is visited.
TEST(FaceGrid, QueriesVisitEveryItemTheirBoundsMeet) {
    FaceGrid grid;
    const auto visitsAt = [&grid](float x, float z) {
        std::vector<uint32_t> visited;
        grid.ForEach(FaceGrid::Bounds{x, z, x, z}, [&visited](uint32_t item) { visited.push_back(item); });
        return visited;
    };
    mem::vector<FaceGrid::Bounds> lattice{{1000, -500, 1017, -466}};
    for (int i = 0; i < 25; ++i) {
        const float x = 1000.0f + float(4 * (i % 5)), z = -500.0f + float(8 * (i / 5));
        lattice.push_back(FaceGrid::Bounds{x, z, x + 1, z + 2});
    }
    grid.Build(lattice);
    for (uint32_t i = 1; i <= 25; ++i)
        EXPECT_EQ(visitsAt(lattice[i].minX + 0.5f, lattice[i].minZ + 1), (std::vector<uint32_t>{0, i})) << i;
    EXPECT_EQ(visitsAt(1002.5f, -496), std::vector<uint32_t>{0});

    mem::vector<FaceGrid::Bounds> items;
    uint32_t seed = 3;
    const auto random = [&seed](float range) {
        seed = seed * 1103515245u + 12345u;
        return range * float((seed >> 8) & 0xffff) / 65536.0f;
    };
    for (int i = 0; i < 200; ++i) {
        const float x = random(100), z = random(100), w = random(i % 50 == 0 ? 80.0f : 3.0f), d = random(3);
        items.push_back(FaceGrid::Bounds{x, z, x + w, z + d});
    }
    items.push_back(FaceGrid::Bounds{5000, -7000, 5001, -6999});  // far out
    grid.Build(items);
    for (int trial = 0; trial < 300; ++trial) {
        const float x = trial == 0 ? 5000.5f : random(110) - 5, z = trial == 0 ? -6999.5f : random(110) - 5;
        const FaceGrid::Bounds query{x, z, x + random(4), z + random(4)};
        std::vector<bool> visited(items.size(), false);
        grid.ForEach(query, [&visited](uint32_t item) { visited[item] = true; });
        for (uint32_t i = 0; i < items.size(); ++i) {
            const FaceGrid::Bounds& b = items[i];
            const bool meets =
                b.minX <= query.maxX && query.minX <= b.maxX && b.minZ <= query.maxZ && query.minZ <= b.maxZ;
            EXPECT_TRUE(visited[i] || !meets) << trial << " " << i;
        }
    }
    grid.Clear();
    EXPECT_TRUE(visitsAt(5000.5f, -6999.5f).empty());
}

// Welding: the nearest stored point within the tolerance, the first of equals; a
// tolerance of 0 (or a bad one) merges exact copies only; a new tolerance re-files the points.
TEST(SnapGrid, FindsTheNearestPointWithinTheTolerance) {
    SnapGrid grid(0.5);
    EXPECT_EQ(grid.FindOrAdd(Vec3(0, 3, 0)), 0u);
    EXPECT_EQ(grid.FindOrAdd(Vec3(-0.8f, 3, 0)), 1u);
    EXPECT_EQ(grid.FindOrAdd(Vec3(0.3f, 3.1f, 0)), 0u);
    // At (-0.4, 3, 0) 0.4 from both: the first, though met second.
    for (const auto& [point, found] : {std::pair{Vec3(-0.5f, 3, 0), 1u}, {Vec3(-0.4f, 3, 0), 0u},
                                       {Vec3(0, 3.5f, 0), 0u}, {Vec3(0, 3.51f, 0), SnapGrid::kNotFound},
                                       {Vec3(0, 3, -0.49f), 0u}})
        EXPECT_EQ(grid.Find(point), found) << point.x << ", " << point.y << ", " << point.z;
    EXPECT_EQ(grid.GetPoint(1), Vec3(-0.8f, 3, 0));
    grid.SetTolerance(std::nan(""));
    EXPECT_EQ(grid.GetTolerance(), 0.0);
    EXPECT_EQ(grid.Find(Vec3(-0.8f, 3, 0)), 1u);
    EXPECT_EQ(grid.Find(Vec3(-0.80001f, 3, 0)), SnapGrid::kNotFound);
    grid.SetTolerance(2.0);
    EXPECT_EQ(grid.Find(Vec3(-1.5f, 4, 0.5f)), 1u);
    EXPECT_EQ(grid.GetNumPoints(), 2u);
}

TEST(PathMesh, SaveAndLoadRoundTrip) {
    PathMesh original;
    ASSERT_TRUE(original.Create(test::GridFaces(4, 3, 1.5f, [](int x, int z) { return x != 1 || z != 1; }), {}));
    const std::vector<unsigned char> bytes = Saved(original);
    ASSERT_EQ(std::memcmp(bytes.data(), "PMSH", 4), 0);
    EXPECT_EQ(bytes.size(), 4u + 4u + 4u + 12u * original.GetNumVertices() + 4u + 12u * original.GetNumTriangles());

    PathMesh copy;
    ASSERT_TRUE(LoadBytes(copy, bytes));
    EXPECT_EQ(original.GetVertex(0), Vec3(0, 1.5f, 0));
    // The copy saves the same bytes; the neighbour links, which are not stored, are rebuilt alike.
    EXPECT_EQ(Saved(copy), bytes);
    ASSERT_EQ(copy.GetNumTriangles(), original.GetNumTriangles());
    for (uint32_t t = 0; t < copy.GetNumTriangles(); ++t)
        for (int i = 0; i < 3; ++i) EXPECT_EQ(copy.GetTriangle(t).neighbour[i], original.GetTriangle(t).neighbour[i]);

    copy.Clear();
    EXPECT_FALSE(copy.HasMesh());
    EXPECT_EQ(copy.FindTriangle(Vec3(0.5f, 1.5f, 0.5f)), -1);
}

TEST(PathMesh, EveryTruncationFailsAndLogs) {
    PathMesh original;
    ASSERT_TRUE(original.Create(test::GridFaces(2, 1, 0.0f), {}));
    const std::vector<unsigned char> bytes = Saved(original);
    for (size_t size = 0; size < bytes.size(); ++size) {
        test::LogCapture log;
        PathMesh mesh;
        EXPECT_FALSE(LoadBytes(mesh, std::vector<unsigned char>(bytes.begin(), bytes.begin() + size))) << size;
        EXPECT_FALSE(mesh.HasMesh());
        EXPECT_EQ(log.Count(LogPriority::Error), 1u) << size;
    }
}

TEST(PathMesh, RefusesCorruptBlocks) {
    PathMesh original;
    ASSERT_TRUE(original.Create(test::GridFaces(1, 1, 0.0f), {}));
    const std::vector<unsigned char> good = Saved(original);
    // Offsets: magic 0, version 4, vertex count 8, vertices 12..59, triangle count 60, indices 64..87.
    const auto patched = [&good](size_t offset, uint32_t word) {
        std::vector<unsigned char> bytes = good;
        std::memcpy(bytes.data() + offset, &word, 4);
        return bytes;
    };
    const float nan = NAN;
    uint32_t nanWord = 0;
    std::memcpy(&nanWord, &nan, 4);

    struct Case {
        std::vector<unsigned char> bytes;
        const char* message;
    };
    const Case cases[] = {
        {patched(0, 0x4853454d), "PMSH"},        // wrong magic
        {patched(4, 2), "version"},              // unknown version
        {patched(8, 0x40000000), "vertices"},    // vertex count past the data
        {patched(16, nanWord), "not finite"},    // a vertex coordinate
        {patched(60, 0xffffffff), "triangles"},  // triangle count past the data
        {patched(64, 4), "refers to a vertex"},  // index == vertex count
        {patched(68, 4), "refers to a vertex"},  // the second corner's
        {patched(72, 4), "refers to a vertex"},  // the third corner's
        {patched(68, 0), "no area"},             // two corners on one vertex
    };
    for (const Case& c : cases) {
        test::LogCapture log;
        PathMesh mesh;
        EXPECT_FALSE(LoadBytes(mesh, c.bytes)) << c.message;
        EXPECT_FALSE(mesh.HasMesh());
        EXPECT_EQ(mesh.GetNumVertices(), 0u) << c.message;
        EXPECT_TRUE(log.Contains(LogPriority::Error, c.message)) << c.message;
    }
}

TEST(PathMesh, DebugRenderDrawsEachEdgeOnceInWorldSpace) {
    struct Recorder : PathDebugDrawer {
        std::vector<std::pair<Vec3, Vec3>> lines;
        void DrawLine(const Vec3& from, const Vec3& to) override { lines.emplace_back(from, to); }
    } recorder;
    PathMesh mesh;
    ASSERT_TRUE(mesh.Create(test::GridFaces(1, 1, 0.0f), {}));
    mesh.DebugRender(recorder, Coords::Translation(Vec3(100.0f, 0.0f, 0.0f)));
    // The cell's four sides and its diagonal, moved by 100 along x.
    std::set<std::pair<std::pair<float, float>, std::pair<float, float>>> edges;
    for (const auto& [a, b] : recorder.lines) edges.insert(std::minmax(std::pair{a.x, a.z}, std::pair{b.x, b.z}));
    using E = std::pair<std::pair<float, float>, std::pair<float, float>>;
    EXPECT_EQ(recorder.lines.size(), 5u);
    EXPECT_EQ(edges, (std::set<E>{E{{100, 0}, {101, 0}}, E{{101, 0}, {101, 1}}, E{{100, 1}, {101, 1}},
                                  E{{100, 0}, {100, 1}}, E{{100, 0}, {101, 1}}}));
}

}  // namespace
}  // namespace GAME
