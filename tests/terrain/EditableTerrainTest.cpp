// The editable terrain: its sizes, height edits and what they rebuild, and its ray and collision
// queries against testing every triangle of the ground.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>

#include "TestTerrain.h"

#include "core/IntersectionTests.h"
#include "core/Intersection.h"
#include "core/SimplePolygon.h"
#include "core/Vec2.h"
#include "engine/Entity.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionTests.h"
#include "support/LogCapture.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainBlock.h"
#include "world/TestShapes.h"

namespace GAME::test {
namespace {

TEST(EditableTerrainTest, SizesAreCellCountsAndHostileOnesAreRefused) {
    Terrain terrain(nullptr);
    ASSERT_TRUE(terrain.New(64, 16));
    EXPECT_EQ(std::tuple(terrain.GetNumXSamples(), terrain.GetNumYSamples(), terrain.GetNumBlocksX(),
                         terrain.GetNumBlocksY()), std::tuple(65u, 17u, 8u, 2u));
    EXPECT_FALSE(terrain.IsImpassable(63, 15));
    EXPECT_TRUE(terrain.IsImpassable(64, 0));  // the last sample column has no cell
    // The geometry bus takes no faces from the ground and keeps those it has.
    mem::vector<GeometryBus::SimpleFace> faces(1);
    terrain.GeometryBusStop(ABBox(Vec3(8, 0, 8), Vec3(100, 100, 100)), faces);
    EXPECT_EQ(faces.size(), 1u);

    for (const auto& [x, y] : {std::pair{3u, 4u}, {4u, 6u}, {Terrain::kMaxCells * 2, 1u}, {UINT_MAX, 0u}, {0u, UINT_MAX}}) {
        EXPECT_FALSE(terrain.New(x, y)) << x << " x " << y;
        EXPECT_EQ(terrain.GetNumXSamples(), 0u);
        EXPECT_EQ(terrain.GetNumBlocksX(), 0u);
    }

    // One sample: no cells, no layer, and nothing reads outside it.
    ASSERT_TRUE(terrain.New(0, 0));
    EXPECT_EQ(terrain.GetNumBlocksX(), 0u);
    EXPECT_FALSE(terrain.AddLayer("Records/Terrain/Grass.dbr"));
    EXPECT_TRUE(terrain.IsImpassable(0, 0));
    EXPECT_EQ(terrain.GetFastNormal(0, 0), Vec3(0, 1, 0));
    Intersection hit;
    terrain.GetIntersection(Ray(Vec3(0, 5, 0), Vec3(0, -1, 0)), hit, PhysicsSurface::None);
    EXPECT_EQ(hit.distance, Infinity);
    CollisionContact contacts[2];
    EXPECT_EQ(terrain.FindCollisions(OBBox(Vec3(1, 1, 1), Coords()), contacts, 2, PhysicsSurface::None), 0);
    // A line of samples still leans where its heights do.
    ASSERT_TRUE(terrain.New(4, 0));
    terrain.SetBaseHeight(1, 0, 2.0f);
    EXPECT_NEAR((terrain.GetNormalInterpolated(2, 0) - Vec3(1, 1, 0).Unit()).Length(), 0.0f, 1e-6f);
}

// One count set alone only while the terrain has no samples: its arrays are laid out for both.
TEST(EditableTerrainTest, ACountSetAloneWaitsForAnEmptyTerrain) {
    LogCapture log;
    Terrain terrain(nullptr);
    EXPECT_TRUE(terrain.SetNumXSamples(17) && terrain.SetNumYSamples(1));
    EXPECT_FALSE(terrain.SetNumXSamples(6) || terrain.SetNumYSamples(0));
    EXPECT_EQ(std::pair(terrain.GetNumXSamples(), terrain.GetNumYSamples()), std::pair(17u, 1u));
    ASSERT_TRUE(terrain.New(8, 8));
    EXPECT_FALSE(terrain.SetNumXSamples(17) || terrain.SetNumYSamples(33));
    EXPECT_EQ(std::pair(terrain.GetNumXSamples(), terrain.GetNumYSamples()), std::pair(9u, 9u));
    EXPECT_EQ(log.Count(LogPriority::Error), 4u);
    terrain.Unload();
    EXPECT_TRUE(terrain.SetNumYSamples(33));
}

// The rectangle helpers the editor marks its strokes with.
TEST(EditableTerrainTest, RectanglesBecomeBoxesBlocksAndMeetOutlines) {
    const ABBox box = Terrain::GetBoxForRect(DirtyRect(3, 10, 4, 6));
    EXPECT_EQ(box.centre, Vec3(5, 0, 13));
    EXPECT_EQ(box.halfSize, Vec3(2, 5, 3));

    Terrain terrain(nullptr);
    ASSERT_TRUE(terrain.New(64, 32));  // 8 x 4 blocks of 9 cells
    const auto blocks = [&](std::initializer_list<DirtyRect> rects) {
        DirtyRectSet set;
        for (const DirtyRect& rect : rects) set.AddRect(rect);
        mem::vector<int> out;
        terrain.GetBlocksInDirtySet(set, out);
        std::sort(out.begin(), out.end());
        return out;
    };
    // From the block of the sample before the rectangle to the block the sample after it ends
    // (rounded up): sample 9 is shared by blocks 0 and 1, sample 10 reaches block 2.
    EXPECT_EQ(blocks({DirtyRect(9, 0, 1, 1)}), (mem::vector<int>{0, 1, 2, 8, 9, 10}));
    EXPECT_EQ(blocks({DirtyRect(0, 9, 1, 1)}), (mem::vector<int>{0, 1, 8, 9, 16, 17}));
    EXPECT_EQ(blocks({DirtyRect(10, 10, 8, 8)}), (mem::vector<int>{9, 10, 17, 18}));
    EXPECT_EQ(blocks({DirtyRect(0, 0, 1, 1)}), (mem::vector<int>{0, 1, 8, 9}));
    // Clamped to the grid's last block; two rectangles over the same blocks name them once.
    EXPECT_EQ(blocks({DirtyRect(60, 30, 40, 40)}), (mem::vector<int>{30, 31}));
    EXPECT_EQ(blocks({DirtyRect(20, 20, 2, 2), DirtyRect(23, 23, 2, 2)}), (mem::vector<int>{18, 19, 26, 27}));

    // The samples around a box, one more on every side, clipped to end a sample short of the far
    // edges (the grid here is 65 x 33 samples).
    struct BoxRect {
        Vec3 centre, half;
        std::tuple<int, int, int, int> rect;
    };
    for (const BoxRect& c : {BoxRect{Vec3(20, 0, 10), Vec3(3, 1, 2), {15, 6, 10, 8}},
                             BoxRect{Vec3(1, 0, 2.6f), Vec3(1, 1, 1), {0, 0, 5, 6}},
                             BoxRect{Vec3(61, 0, 28), Vec3(1, 1, 1), {58, 25, 6, 6}},
                             BoxRect{Vec3(62, 0, 29), Vec3(1, 1, 1), {59, 26, 5, 6}},
                             BoxRect{Vec3(63, 0, 30), Vec3(1, 1, 1), {60, 27, 4, 5}},
                             BoxRect{Vec3(90, 0, 60), Vec3(1, 1, 1), {87, 57, 0, 0}}}) {
        const DirtyRect rect = terrain.GetRectForBox(ABBox(c.centre, c.half));
        EXPECT_EQ(std::tuple(rect.left, rect.top, rect.width, rect.height), c.rect) << c.centre.x;
    }

    DirtyRectSet set;
    set.AddRect(DirtyRect(20, 20, 5, 5));
    // The corners taken from the far one round (or from the near one), so the extent is found
    // over all of them.
    const auto outline = [](float x0, float z0, float x1, float z1, bool nearFirst = false) {
        mem::vector<SimplePolygon::Vertex> corners;
        for (const Vec2& p : {Vec2(x1, z1), Vec2(x0, z1), Vec2(x0, z0), Vec2(x1, z0)}) corners.push_back({p.x, p.y});
        if (nearFirst) std::rotate(corners.begin(), corners.begin() + 2, corners.end());
        return SimplePolygon(corners);
    };
    // Rounded up to touch, each axis on its own; beyond on x only, on z only; across it.
    for (const auto& [x0, z0, x1, z1, meets] :
         {std::tuple{22.0f, 22.0f, 23.0f, 23.0f, true}, {10.0f, 10.0f, 19.6f, 19.6f, true},
          {10.0f, 10.0f, 18.4f, 18.4f, false}, {40.0f, 40.0f, 50.0f, 50.0f, false}, {21.0f, 10.0f, 23.0f, 18.6f, true},
          {21.0f, 10.0f, 23.0f, 18.4f, false}, {10.0f, 21.0f, 18.6f, 23.0f, true}, {26.0f, 21.0f, 30.0f, 23.0f, false},
          {21.0f, 26.0f, 23.0f, 30.0f, false}, {21.0f, 2.0f, 23.0f, 40.0f, true}, {2.0f, 21.0f, 40.0f, 23.0f, true}}) {
        for (const bool nearFirst : {false, true}) {
            EXPECT_EQ(Terrain::Overlap(set, outline(x0, z0, x1, z1, nearFirst)), meets) << x0 << ", " << z0;
        }
    }
    // Far from the origin an outline spans only its own cells.
    DirtyRectSet origin;
    origin.AddRect(DirtyRect(0, 0, 2, 2));
    EXPECT_FALSE(Terrain::Overlap(origin, outline(40, 40, 50, 50)));
    EXPECT_FALSE(Terrain::Overlap(origin, SimplePolygon()));
}

// A 64 x 64-cell terrain with a patch raised in the middle of block (2, 3) and reaching into
// block (3, 3).
class TerrainEditTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(terrain.New(64, 64)); }

    mem::vector<ABBox> BlockBounds() const {
        mem::vector<ABBox> bounds;
        for (unsigned row = 0; row < terrain.GetNumBlocksY(); ++row) {
            for (unsigned column = 0; column < terrain.GetNumBlocksX(); ++column)
                bounds.push_back(terrain.GetBlock(column, row)->GetBoundingBox());
        }
        return bounds;
    }

    Terrain terrain{nullptr};
};

TEST_F(TerrainEditTest, EditsRebuildHeightsNormalsAndBlockBoundsWhereMarked) {
    const mem::vector<ABBox> before = BlockBounds();
    // Samples 24..27 x 30..32: x 24..26 lie in block column 2 (samples 18..27), 27 in columns 2 and 3.
    for (unsigned z = 30; z <= 32; ++z) {
        for (unsigned x = 24; x <= 27; ++x) terrain.SetBaseHeight(x, z, 4.0f + float(x - 24));
    }
    EXPECT_EQ(terrain.GetHeight(27, 31), 7.0f);
    EXPECT_EQ(terrain.GetBaseHeight(27, 31), 7.0f);
    EXPECT_EQ(BlockBounds(), before) << "nothing is rebuilt before the marks are processed";

    terrain.AddDirtyRect(DirtyRect(24, 30, 4, 3));
    terrain.AddDirtyRect(DirtyRect(60, 60, 100, 100));  // clipped to the grid
    terrain.ProcessDirtyRects();
    EXPECT_EQ(terrain.GetDirtyRects().GetNumRects(), 0);

    const mem::vector<ABBox> after = BlockBounds();
    for (unsigned row = 0; row < terrain.GetNumBlocksY(); ++row) {
        for (unsigned column = 0; column < terrain.GetNumBlocksX(); ++column) {
            const size_t i = row * terrain.GetNumBlocksX() + column;
            if (row == 3 && (column == 2 || column == 3)) {
                EXPECT_EQ(after[i].GetMin().y, 0.0f);
                EXPECT_EQ(after[i].GetMax().y, 7.0f) << column;
                EXPECT_EQ(after[i].GetMin().x, before[i].GetMin().x);
            } else {
                EXPECT_EQ(after[i], before[i]) << column << ", " << row;
            }
        }
    }
    // The tree finds the blocks by their new heights.
    mem::vector<TerrainObject*> found;
    terrain.GetObjectsInBox(found, ABBox(Vec3(25, 6.5f, 31), Vec3(0.1f, 0.1f, 0.1f)));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], terrain.GetBlock(2, 3));

    // Normals tilt only at the patch and the samples next to it.
    for (unsigned z = 0; z < terrain.GetNumYSamples(); ++z) {
        for (unsigned x = 0; x < terrain.GetNumXSamples(); ++x) {
            const bool near = x >= 23 && x <= 28 && z >= 29 && z <= 33;
            const Vec3 normal = terrain.GetFastNormal(x, z);
            if (!near) {
                EXPECT_EQ(normal, Vec3(0, 1, 0)) << x << ", " << z;
            }
        }
    }
    EXPECT_NE(terrain.GetFastNormal(23, 31), Vec3(0, 1, 0));
    EXPECT_NEAR(terrain.GetHeightInterpolated(26.5f, 31.0f), 6.5f, 1e-5f);
    EXPECT_EQ(terrain.GetHeightInterpolated(-3.0f, 1e9f), terrain.GetHeight(0, 64));
}

// ---------------------------------------------------------------------------------------------
// Queries against every triangle
// ---------------------------------------------------------------------------------------------

// A random 65 x 65 height field with a few hidden samples.
class TerrainBruteForceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(terrain.New(64, 64));
        for (unsigned z = 0; z < 65; ++z) {
            for (unsigned x = 0; x < 65; ++x) terrain.SetBaseHeight(x, z, shapes.Uniform(-3.0f, 3.0f));
        }
        for (int i = 0; i < 40; ++i)
            terrain.SetInvisible(int(shapes.Uniform(0, 64.99f)), int(shapes.Uniform(0, 64.99f)), true);
        // Heights change bounds; the rebuild also clears hidden flags, so they are set after it.
        terrain.AddDirtyRect(DirtyRect(0, 0, 65, 65));
        const mem::vector<uint8_t> hidden = Hidden();
        terrain.ProcessDirtyRects();
        for (int z = 0; z < 65; ++z) {
            for (int x = 0; x < 65; ++x) terrain.SetInvisible(x, z, hidden[size_t(z * 65 + x)] != 0);
        }
    }

    mem::vector<uint8_t> Hidden() const {
        mem::vector<uint8_t> hidden;
        for (int z = 0; z < 65; ++z) {
            for (int x = 0; x < 65; ++x) hidden.push_back(terrain.IsInvisible(x, z));
        }
        return hidden;
    }

    // The cell's two triangles, written out here rather than taken from the terrain.
    void Triangles(int x, int z, Vec3 a[3], Vec3 b[3]) const {
        const auto p = [this](int i, int j) { return Vec3(float(i), terrain.GetHeight(unsigned(i), unsigned(j)), float(j)); };
        a[0] = p(x, z), a[1] = p(x, z + 1), a[2] = p(x + 1, z + 1);
        b[0] = p(x + 1, z + 1), b[1] = p(x + 1, z), b[2] = p(x, z);
    }

    // The nearest front-side hit over every cell whose first corner is visible (the cells drawn).
    float BruteRay(const Ray& ray) const {
        float best = Infinity;
        for (int z = 0; z < 64; ++z) {
            for (int x = 0; x < 64; ++x) {
                if (terrain.IsInvisible(x, z)) continue;
                Vec3 triangles[2][3];
                Triangles(x, z, triangles[0], triangles[1]);
                for (const Vec3* t : triangles) {
                    if (Dot(Cross(t[1] - t[0], t[2] - t[0]), ray.direction) >= 0.0f) continue;
                    best = std::min(best, IntersectRayTriangle(ray, t[0], t[1], t[2]));
                }
            }
        }
        return best;
    }

    // Every contact of every cell whose first corner is visible.
    mem::vector<CollisionContact> BruteContacts(const OBBox& box) const {
        mem::vector<CollisionContact> all;
        for (int z = 0; z < 64; ++z) {
            for (int x = 0; x < 64; ++x) {
                if (terrain.IsInvisible(x, z)) continue;
                Vec3 triangles[2][3];
                Triangles(x, z, triangles[0], triangles[1]);
                for (const Vec3* t : triangles) {
                    CollisionContact found[16];
                    const int count = CollideTriangleOBBox(t, box, found, 16);
                    all.insert(all.end(), found, found + count);
                }
            }
        }
        return all;
    }

    OBBox RandomBox() {
        const Coords frame = Coords::Rotation(shapes.Direction(), shapes.Uniform(0.0f, 3.14f));
        OBBox box(shapes.Point(Vec3(0.2f, 0.2f, 0.2f), Vec3(3, 3, 3)), frame);
        box.coords.origin = shapes.Point(Vec3(-3, -4, -3), Vec3(67, 4, 67));
        return box;
    }

    static mem::vector<std::tuple<float, float, float, float>> Keys(const CollisionContact* contacts, size_t count) {
        mem::vector<std::tuple<float, float, float, float>> keys;
        for (size_t i = 0; i < count; ++i)
            keys.emplace_back(contacts[i].position.x, contacts[i].position.y, contacts[i].position.z, contacts[i].depth);
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    Terrain terrain{nullptr};
    Shapes shapes{35};
};

TEST_F(TerrainBruteForceTest, RayHitsAgreeWithEveryTriangle) {
    int hits = 0;
    for (int i = 0; i < 400; ++i) {
        // Rays from above and below, steep and grazing, some starting outside the terrain; every
        // other one aimed at the ground.
        const Vec3 origin = shapes.Point(Vec3(-10, -6, -10), Vec3(74, 12, 74));
        const Vec3 target = shapes.Point(Vec3(0, -3, 0), Vec3(64, 3, 64));
        const Vec3 direction = i % 2 ? shapes.Direction() : (target - origin).Unit();
        const Ray ray(origin, direction * shapes.Uniform(0.5f, 20.0f));
        Intersection hit, ranged;
        terrain.GetIntersection(ray, hit, PhysicsSurface::Grass);
        const float expected = BruteRay(ray);
        // A cell range past the grid on every side is the whole grid.
        int cellX = -1, cellZ = -1;
        terrain.GetIntersection(ray, -5, -5, 100, 100, ranged, cellX, cellZ);
        if (expected == Infinity) {
            EXPECT_EQ(hit.distance, Infinity) << i;
            EXPECT_EQ(ranged.distance, Infinity) << i;
            continue;
        }
        ++hits;
        ASSERT_NEAR(hit.distance, expected, 1e-4f * std::max(1.0f, expected)) << i;
        EXPECT_NEAR(ranged.distance, expected, 1e-4f * std::max(1.0f, expected)) << i;
        EXPECT_NEAR(hit.point.y, ray.GetPoint(expected).y, 1e-3f);
        EXPECT_EQ(hit.surface, PhysicsSurface::None);  // no layers
    }
    EXPECT_GT(hits, 200);
}

TEST_F(TerrainBruteForceTest, BoxContactsAgreeWithEveryTriangle) {
    int touching = 0;
    for (int i = 0; i < 300; ++i) {
        const OBBox box = RandomBox();
        const mem::vector<CollisionContact> expected = BruteContacts(box);
        CollisionContact contacts[512];
        const int count = terrain.FindCollisions(box, contacts, 512, PhysicsSurface::None);
        ASSERT_EQ(Keys(contacts, size_t(count)), Keys(expected.data(), expected.size())) << i;
        EXPECT_EQ(terrain.FindCollisions(box, -5, -5, 100, 100, contacts, 512, PhysicsSurface::None), count);
        for (int c = 0; c < count; ++c) EXPECT_EQ(contacts[c].entity, nullptr);
        if (count == 0) continue;
        ++touching;
        // A budget stops the walk with exactly that many.
        const int budget = std::max(1, count / 2);
        EXPECT_EQ(terrain.FindCollisions(box, contacts, budget, PhysicsSurface::None), budget);
        EXPECT_EQ(terrain.FindCollisions(box, contacts, 0, PhysicsSurface::None), 0);

        // The list form keeps each box's deepest contacts.
        mem::vector<CollisionBox> boxes{CollisionBox(box, 100.0f), CollisionBox(RandomBox(), 100.0f)};
        ABBox bounds = ABBox::Union(boxes[0].GetABBox(), boxes[1].GetABBox());
        terrain.FindCollisions(boxes, bounds, PhysicsSurface::None);
        mem::vector<float> depths;
        for (const CollisionContact& contact : expected) depths.push_back(contact.depth);
        std::sort(depths.rbegin(), depths.rend());
        depths.resize(std::min<size_t>(depths.size(), CollisionBox::kMaxContacts));
        mem::vector<float> kept;
        for (int c = 0; c < boxes[0].GetNumContacts(); ++c) kept.push_back(boxes[0].GetContact(c).depth);
        std::sort(kept.rbegin(), kept.rend());
        EXPECT_EQ(kept, depths) << i;
    }
    EXPECT_GT(touching, 50);
}


TEST_F(TerrainBruteForceTest, AnEntityCollidesThroughItsBox) {
    int touching = 0;
    for (int i = 0; i < 100; ++i) {
        const OBBox box = RandomBox();
        CollisionContact byBox[512], byEntity[512];
        const int count = terrain.FindCollisions(box, byBox, 512, PhysicsSurface::None);
        const Boxed entity(&box);
        ASSERT_EQ(terrain.FindCollisions(&entity, byEntity, 512, nullptr, PhysicsSurface::None), count);
        EXPECT_EQ(Keys(byEntity, size_t(count)), Keys(byBox, size_t(count)));
        touching += count > 0;
    }
    EXPECT_GT(touching, 20);
    const Boxed none(nullptr);
    CollisionContact contacts[4];
    EXPECT_EQ(terrain.FindCollisions(&none, contacts, 4, nullptr, PhysicsSurface::None), 0);
}

TEST(TerrainFaceTest, EdgesCountAndDegenerateFacesHoldNothing) {
    const Vec3 a(0, 0, 0), b(0, 0, 1), c(1, 0, 1);
    const TerrainBase::IntersectionFace face{a, b, c, Plane(a, b, c)};
    EXPECT_TRUE(TerrainBase::IsPointInFace(face, Vec3(0, 0, 0.5f)));
    EXPECT_TRUE(TerrainBase::IsPointInFace(face, c));
    EXPECT_FALSE(TerrainBase::IsPointInFace(face, Vec3(0.6f, 0, 0.5f)));
    const TerrainBase::IntersectionFace line{a, b, Vec3(0, 0, 2), Plane(a, b, Vec3(0, 0, 2))};
    EXPECT_FALSE(TerrainBase::IsPointInFace(line, Vec3(0, 0, 0.5f)));
    // Met from above, not from below.
    EXPECT_FLOAT_EQ(TerrainBase::GetFaceIntersection(face, Ray(Vec3(0.2f, 2, 0.7f), Vec3(0, -1, 0))), 2.0f);
    EXPECT_FLOAT_EQ(TerrainBase::GetFaceIntersection(face, Ray(Vec3(0, 2, 0.5f), Vec3(0, -1, 0))), 2.0f);  // on an edge
    EXPECT_EQ(TerrainBase::GetFaceIntersection(face, Ray(Vec3(0.2f, -2, 0.7f), Vec3(0, 1, 0))), Infinity);
}

}  // namespace
}  // namespace GAME::test
