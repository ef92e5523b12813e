// The terrain's object queries against scanning every object: boxes, view frusta (one and
// several), objects that move and leave, and the contact budget of the oriented-box query.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>

#include "TestTerrain.h"
#include "core/IntersectionTests.h"
#include "core/OBBox.h"
#include "physics/CollisionContact.h"
#include "terrain/TerrainBlock.h"
#include "world/TestShapes.h"

namespace GAME::test {
namespace {

using ObjectList = mem::vector<TerrainObject*>;

ObjectList Sorted(ObjectList list) {
    std::sort(list.begin(), list.end());
    return list;
}

// A hilly 129 x 129 terrain with markers of many sizes on it, some beyond its edges.
class TerrainQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(terrain.Make(129, 129, [](unsigned x, unsigned z) {
            return 8.0f * std::sin(float(x) * 0.11f) * std::cos(float(z) * 0.07f) + 0.05f * float(x);
        }));
        for (int i = 0; i < 400; ++i) markers.emplace_back(RandomMarkerBox());
        for (Marker& marker : markers) terrain.AddObjectToSpace(&marker);
    }

    ABBox RandomMarkerBox() {
        const float size = shapes.Uniform(0.0f, 1.0f) < 0.1f ? shapes.Uniform(5.0f, 40.0f) : shapes.Uniform(0.0f, 3.0f);
        return ABBox(shapes.Point(Vec3(-20, -10, -20), Vec3(150, 25, 150)),
                     Vec3(shapes.Uniform(0.0f, size), shapes.Uniform(0.0f, size), shapes.Uniform(0.0f, size)));
    }
    ABBox RandomQueryBox() {
        return ABBox(shapes.Point(Vec3(-30, -15, -30), Vec3(160, 30, 160)),
                     Vec3(shapes.Uniform(0.0f, 30.0f), shapes.Uniform(0.0f, 15.0f), shapes.Uniform(0.0f, 30.0f)));
    }
    Frustum RandomFrustum() { return shapes.ViewFrustum(Vec3(-20, -5, -20), Vec3(150, 40, 150), 120.0f); }

    // Every object the terrain holds: its blocks and the markers in the tree.
    ObjectList Everything() {
        ObjectList all;
        for (uint32_t row = 0; row < terrain.GetNumBlocksY(); ++row) {
            for (uint32_t column = 0; column < terrain.GetNumBlocksX(); ++column) {
                all.push_back(terrain.GetBlock(column, row));
            }
        }
        for (Marker& marker : markers) {
            if (marker.IsInSpace()) all.push_back(&marker);
        }
        return all;
    }
    template <class Meets>
    ObjectList Scan(const Meets& meets) {
        ObjectList found;
        for (TerrainObject* object : Everything()) {
            if (meets(object->GetBoundingBox())) found.push_back(object);
        }
        return Sorted(found);
    }
    ObjectList InBox(const ABBox& box) {
        ObjectList found;
        terrain.GetObjectsInBox(found, box);
        return Sorted(found);
    }
    void ExpectBoxQueriesMatchScanning(int count) {
        for (int i = 0; i < count; ++i) {
            const ABBox box = RandomQueryBox();
            ASSERT_EQ(InBox(box), Scan([&box](const ABBox& bounds) { return TestIntersection(box, bounds); }))
                << "query " << i;
        }
    }

    Shapes shapes{2027};
    std::deque<Marker> markers;  // outlive the terrain, which takes them out of its tree when it goes
    TestTerrain terrain;
};

TEST_F(TerrainQueryTest, BoxQueriesMatchScanning) {
    ExpectBoxQueriesMatchScanning(400);
    // Touching counts: a box whose face lies on a block's face finds it.
    const ABBox& block = terrain.GetBlock(3, 4)->GetBoundingBox();
    const ABBox touching(block.centre + Vec3(block.halfSize.x + 1.0f, 0, 0), Vec3(1.0f, 0.1f, 0.1f));
    const ObjectList found = InBox(touching);
    EXPECT_TRUE(std::binary_search(found.begin(), found.end(), static_cast<TerrainObject*>(terrain.GetBlock(3, 4))));
}

TEST_F(TerrainQueryTest, FrustumQueriesMatchScanning) {
    for (int i = 0; i < 200; ++i) {
        const Frustum frustum = RandomFrustum();
        ObjectList found;
        mem::vector<bool> inFirst;
        terrain.GetObjectsInFrustum(found, &frustum, 1, &inFirst);
        EXPECT_EQ(inFirst, mem::vector<bool>(found.size(), true));
        ASSERT_EQ(Sorted(found), Scan([&frustum](const ABBox& bounds) { return frustum.TestABBox(bounds); }))
            << "query " << i;
    }
}

TEST_F(TerrainQueryTest, SeveralFrustaListEachObjectOnceAndFlagWhatTheFirstSees) {
    for (int i = 0; i < 60; ++i) {
        const Frustum frusta[3] = {RandomFrustum(), RandomFrustum(), i % 4 == 0 ? Frustum() : RandomFrustum()};
        ObjectList found;
        mem::vector<bool> inFirst;
        terrain.GetObjectsInFrustum(found, frusta, 3, &inFirst);
        ASSERT_EQ(inFirst.size(), found.size());
        ASSERT_EQ(Sorted(found), Scan([&frusta](const ABBox& bounds) {
                      return frusta[0].TestABBox(bounds) || frusta[1].TestABBox(bounds) || frusta[2].TestABBox(bounds);
                  }));
        for (size_t k = 0; k < found.size(); ++k) {
            ASSERT_EQ(inFirst[k], frusta[0].TestABBox(found[k]->GetBoundingBox())) << "query " << i;
        }
    }
}

TEST_F(TerrainQueryTest, TwoIdenticalFrustaSeeEachObjectOnceAndFrustaWithoutPlanesNothing) {
    const Frustum frustum = MakeViewFrustum(Vec3(64, 30, -10), Vec3(0, -0.3f, 1).Unit(), 1.2f, 200.0f);
    const Frustum frusta[2] = {frustum, frustum};
    ObjectList once, twice;
    mem::vector<bool> inFirst;
    terrain.GetObjectsInFrustum(once, &frustum, 1, nullptr);
    terrain.GetObjectsInFrustum(twice, frusta, 2, &inFirst);
    ASSERT_FALSE(once.empty());
    EXPECT_EQ(Sorted(once), twice);
    EXPECT_EQ(inFirst, mem::vector<bool>(twice.size(), true));

    const Frustum empty[2];
    ObjectList none;
    terrain.GetObjectsInFrustum(none, empty, 2, &inFirst);
    terrain.GetObjectsInFrustum(none, empty, 1, nullptr);
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(inFirst.empty());
}

TEST_F(TerrainQueryTest, MovedAndRemovedObjectsAreFoundWhereTheyAreNow) {
    for (size_t i = 0; i < markers.size(); i += 2) {
        markers[i].MoveTo(RandomMarkerBox());
        terrain.UpdateObjectInSpace(&markers[i]);
    }
    for (size_t i = 1; i < markers.size(); i += 3) terrain.RemoveObjectFromSpace(&markers[i]);
    ExpectBoxQueriesMatchScanning(300);
    ObjectList all;
    terrain.GetAllObjects(all);
    EXPECT_EQ(Sorted(all), Sorted(Everything()));
    EXPECT_EQ(all.size(), 15u * 15u + markers.size() - (markers.size() + 1) / 3);
}

TEST_F(TerrainQueryTest, OrientedBoxesAskTheObjectsUnderThemWithTheRoomLeft) {
    std::deque<Marker> givers;
    const ABBox spot(Vec3(200, 0, 200), Vec3(1, 1, 1));
    givers.emplace_back(spot, 2);
    givers.emplace_back(spot, 2);
    for (Marker& giver : givers) terrain.AddObjectToSpace(&giver);

    CollisionContact contacts[8];
    const OBBox box(Vec3(0.5f, 0.5f, 0.5f), Coords::Translation(Vec3(200.5f, 0, 200)));
    EXPECT_EQ(terrain.FindCollisions(box, contacts, 3, PhysicsSurface::None), 3);
    // The tree lists the later insertion first.
    EXPECT_EQ(givers[1].roomAsked, (mem::vector<int>{3}));
    EXPECT_EQ(givers[0].roomAsked, (mem::vector<int>{1}));
    EXPECT_EQ(contacts[2].position, Vec3(200.5f, 0, 200));

    EXPECT_EQ(terrain.FindCollisions(box, contacts, 0, PhysicsSurface::None), 0);
    const OBBox nowhere(Vec3(1, 1, 1), Coords::Translation(Vec3(500, 0, 500)));
    EXPECT_EQ(terrain.FindCollisions(nowhere, contacts, 8, PhysicsSurface::None), 0);
    EXPECT_EQ(givers[0].roomAsked.size(), 1u);
    // An oriented box is gathered by its axis-aligned bounds: rotated by 45 degrees about y, a
    // box 0.4 units from the spot reaches it.
    OBBox moved(Vec3(1, 1, 1), Coords::RotationY(0.785398f));
    moved.coords.origin = Vec3(202.4f, 0, 200);
    EXPECT_EQ(terrain.FindCollisions(moved, contacts, 8, PhysicsSurface::None), 4);
    for (Marker& giver : givers) terrain.RemoveObjectFromSpace(&giver);
}

}  // namespace
}  // namespace GAME::test
