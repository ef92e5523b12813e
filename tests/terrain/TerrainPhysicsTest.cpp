// Rigid bodies in a real world: the world finds their contacts with a terrain level's ground and
// with each other's collision boxes, and places them through its levels.

#include "TestTerrain.h"

#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/OBBox.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/Sphere.h"
#include "engine/CollisionData.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/FilterFunction.h"
#include "engine/ObjectManager.h"
#include "physics/CollisionContact.h"
#include "physics/PhysicsEngine.h"
#include "support/BoxHit.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFrustum.h"
#include "world/WorldIntersection.h"
#include "world/WorldRay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <utility>

namespace GAME::test {

// A unit crate: its box is its collision proxy; it counts the collisions reported to it.
class PhysicsCrate : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool GetCollisionProxy(OBBox& box) const override {
        box = OBBox(Vec3(0.5f, 0.5f, 0.5f), GetCoords().GetRegionCoords());
        return true;
    }
    void UpdateBoundingBox() override {
        OBBox box;
        GetCollisionProxy(box);
        SetRegionBoundingBox(ABBox(box), false);
    }
    bool GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface) override {
        return HitBox(GetRegionBoundingBox(false), ray, hit);
    }
    bool CanCollide(const Entity*) const override { return collides; }
    void CollisionCallback(const CollisionData& collision) override {
        (collision.other != nullptr ? withEntities : withGround)++;
    }

    int withGround = 0;
    int withEntities = 0;
    bool collides = true;  // whether it meets other entities
};
GAME_RTTI_DEFINE_CLASS(PhysicsCrate, Entity);

namespace {

// Heights of the sloping terrain, 3 at x = 0 rising 0.1 per unit.
float Slope(float x) { return 3.0f + 0.1f * x; }

class TerrainPhysicsTest : public testing::Test {
protected:
    void SetUp() override {
        // The terrain's region lies far from the viewer's, which is the simulation centre.
        viewer = world.GetRegion(world.AddRegion("viewer", IntVec3(-500, 0, 0), ABBox(Vec3(), Vec3(10, 10, 10)), RegionId()));
        auto level = std::make_unique<Level>(viewer);
        level->NewSpace(Vec2(10, 10));
        level->PostLoad(false);
        viewer->SetLevel(std::move(level));

        ground = world.GetRegion(world.AddRegion("ground", IntVec3(), ABBox(), RegionId()));
        auto terrain = std::make_unique<TestTerrain>();
        ASSERT_TRUE(terrain->Make(33, 33, [](unsigned x, unsigned) { return Slope(float(x)); }));
        level = std::make_unique<Level>(ground);
        level->NewSpace(Vec2(20, 20));
        level->SetGround(std::move(terrain));
        level->PostLoad(false);
        ground->SetLevel(std::move(level));
        world.UpdateRegionBoundingBox(ground->GetLevel());

        centre = WorldVec3(viewer, Vec3());
        physics.Initialize(&world);
        physics.Simulate(centre, 0.0f);
    }
    void TearDown() override {
        physics.RemoveAllEntities();
        world.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(1000);
    }

    // A crate placed in the ground's level (after its first update), simulated when asked.
    PhysicsCrate* Drop(const Vec3& position, bool simulate = true) {
        auto* crate = static_cast<PhysicsCrate*>(Singleton<ObjectManager>::Get()->CreateObject("PhysicsCrate"));
        EXPECT_TRUE(world.AddEntity(crate, WorldCoords(ground, Coords::Translation(position))));
        crate->SetPhysicsType(Entity::PhysicsType::RigidBody);
        if (simulate) {
            EXPECT_TRUE(physics.AddEntityToSimulation(crate));
        }
        return crate;
    }
    // Steps until every crate has come to rest; returns the number of steps.
    int Settle(std::initializer_list<const Entity*> crates) {
        int steps = 0;
        auto moving = [&] {
            for (const Entity* crate : crates)
                if (crate->IsSimulationEnabled()) return true;
            return false;
        };
        for (; moving() && steps < 1000; ++steps) physics.Simulate(centre, physics.GetStepSize());
        return steps;
    }
    static Vec3 Position(const Entity* entity) { return entity->GetCoords().GetRegionCoords().origin; }
    // The upper crate rests on the lower one: on top, not inside it nor knocked off it, and both
    // were told they met.
    static void ExpectStacked(const PhysicsCrate* lower, const PhysicsCrate* upper) {
        const Vec3 gap = Position(upper) - Position(lower);
        EXPECT_TRUE(gap.y > 0.9f && gap.y < 1.3f && std::hypot(gap.x, gap.z) < 0.6f) << gap.x << ", " << gap.y;
        EXPECT_TRUE(upper->withEntities > 0 && lower->withEntities > 0);
    }

    Engine engine;  // counts the frames the physics step reads
    World world;
    Region* viewer = nullptr;
    Region* ground = nullptr;
    WorldVec3 centre;
    PhysicsEngine physics;
};

TEST_F(TerrainPhysicsTest, ABoxDroppedOnASlopeComesToRestOnTheSurface) {
    PhysicsCrate* crate = Drop(Vec3(16, 8, 16));
    EXPECT_LT(Settle({crate}), 1000);
    EXPECT_FALSE(crate->IsSimulationEnabled());
    const Vec3 rest = Position(crate);
    // Resting on a face or tipped onto an edge, the centre is half a side to half a diagonal up.
    EXPECT_GT(rest.y - Slope(rest.x), 0.45f);
    EXPECT_LT(rest.y - Slope(rest.x), 0.75f);
    EXPECT_GT(crate->withGround, 0);
    EXPECT_EQ(ground->GetLevel()->GetNumEntities(), 1);
}

TEST_F(TerrainPhysicsTest, ABoxDroppedOnARestingBoxComesToRestOnTopOfIt) {
    PhysicsCrate* below = Drop(Vec3(16, Slope(16) + 3.0f, 16));
    Settle({below});
    ASSERT_FALSE(below->IsSimulationEnabled());
    const Vec3 base = Position(below);

    PhysicsCrate* above = Drop(base + Vec3(0, 1.2f, 0));
    EXPECT_LT(Settle({above}), 1000);
    ExpectStacked(below, above);
}

// Two crates dropped together over one spot, the upper one landing while the lower one settles:
// it rests on top whichever of the two lies first in memory.
TEST_F(TerrainPhysicsTest, ACrateLandingOnASettlingCrateRestsOnItInEitherOrderInMemory) {
    PhysicsCrate* crates[4];
    for (PhysicsCrate*& crate : crates) crate = Drop(Vec3(), false);
    std::sort(std::begin(crates), std::end(crates), std::less<const PhysicsCrate*>());
    // [lower, upper]: first the one earlier in memory below, then the one earlier in memory above.
    const std::pair<PhysicsCrate*, PhysicsCrate*> pairs[2] = {{crates[0], crates[1]}, {crates[3], crates[2]}};
    for (int i = 0; i < 2; ++i) {
        const Vec3 spot(10.0f + 8.0f * float(i), 0.0f, 16.0f);
        const auto [lower, upper] = pairs[i];
        world.SetCoords(lower, WorldCoords(ground, Coords::Translation(spot + Vec3(0, Slope(spot.x) + 2.0f, 0))));
        world.SetCoords(upper, WorldCoords(ground, Coords::Translation(spot + Vec3(0.1f, Slope(spot.x) + 3.5f, 0))));
        ASSERT_TRUE(physics.AddEntityToSimulation(lower));
        ASSERT_TRUE(physics.AddEntityToSimulation(upper));
    }
    EXPECT_LT(Settle({crates[0], crates[1], crates[2], crates[3]}), 1000);
    for (const auto& [lower, upper] : pairs) {
        EXPECT_NEAR(Position(lower).y - Slope(Position(lower).x), 0.5f, 0.1f);
        ExpectStacked(lower, upper);
    }
}

// A crate high in the air, above the top of the region's box: the world's entity queries from
// the viewer's region find it, and a crate falling onto it meets it.
TEST_F(TerrainPhysicsTest, ACrateHighAboveTheGroundIsFoundAndMet) {
    const Vec3 spot(16, Slope(16) + Level::kTerrainBoxRise + 20.0f, 16);
    ASSERT_GT(spot.y - 0.5f, ground->GetBoundingBox().GetMax().y);
    PhysicsCrate* crate = Drop(spot, false);
    PhysicsCrate* falling = Drop(spot + Vec3(0.2f, 0.9f, 0), false);
    crate->SetRegionBoundingBox(ABBox(spot + Vec3(0, 0, 5), Vec3(0.5f, 0.5f, 0.5f)), true);  // not asked for
    const Vec3 seen = spot + Vec3(500, 0, 0);  // in the viewer's region
    const ABBox around(seen - Vec3(0, 0.3f, 0), Vec3(0.1f, 0.1f, 0.1f));
    mem::vector<Entity*> found;
    world.GetEntitiesInBox(found, around, viewer, false);
    EXPECT_EQ(found, mem::vector<Entity*>{crate});
    found.clear();
    world.GetEntitiesInSphere(found, viewer, Sphere(around.centre, 0.1f), false);
    EXPECT_EQ(found, mem::vector<Entity*>{crate});
    found.clear();
    world.GetEntitiesInFrustum(found, WorldFrustum(viewer, Frustum::FromBox(around)), false, false, true);
    EXPECT_EQ(found, mem::vector<Entity*>{crate});

    // Queries from no region find nothing, not even what lies there in the world's own space.
    found.clear();
    const ABBox inWorld(spot - Vec3(0, 0.3f, 0), Vec3(0.1f, 0.1f, 0.1f));
    world.GetEntitiesInBox(found, inWorld, nullptr, false);
    world.GetEntitiesInFrustum(found, WorldFrustum(nullptr, Frustum::FromBox(inWorld)), false, false, true);
    EXPECT_TRUE(found.empty());

    const WorldRay ray(WorldVec3(viewer, seen - Vec3(0, 0.3f, 5)), Vec3(0, 0, 1));
    EXPECT_EQ(world.PickEntity(ray), crate);
    struct Anything final : FilterFunction<Entity> {
        bool operator()(const Entity*) const override { return true; }
    };
    EXPECT_EQ(world.PickEntity(ray, Anything()), crate);
    found.clear();
    world.PickEntities(ray, found);
    EXPECT_EQ(found, mem::vector<Entity*>{crate});
    found.clear();
    world.GetAllIntersections(ray, found, false, 10.0f);
    EXPECT_EQ(found, mem::vector<Entity*>{crate});
    WorldIntersection hit;
    world.GetIntersection(ray, hit, PhysicsSurface::None, false);
    EXPECT_EQ(hit.entity, crate);
    EXPECT_NEAR(hit.distance, 4.5f, 1e-3f);

    CollisionContact contacts[64];
    const int count =
        world.FindCollisions(falling, contacts, 64, centre, World::EntityListType::Updated, PhysicsSurface::None);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) EXPECT_EQ(contacts[i].entity, crate);
}

TEST_F(TerrainPhysicsTest, WorldContactsAreRelativeToTheCentreAndLeaveOutStaticEntities) {
    PhysicsCrate* crate = Drop(Vec3(16, Slope(16) + 0.4f, 16), false);
    PhysicsCrate* neighbour = Drop(Vec3(16.9f, Slope(16) + 0.4f, 16), false);
    CollisionContact contacts[64];
    const int count = world.FindCollisions(crate, contacts, 64, centre, World::EntityListType::Updated, PhysicsSurface::None);
    ASSERT_GT(count, 0);
    int withNeighbour = 0;
    for (int i = 0; i < count; ++i) {
        // The centre's region lies 500 units to the -x of the ground's.
        const Vec3 at = contacts[i].position - Vec3(500, 0, 0);
        EXPECT_NEAR(at.x, 16.0f, 0.6f);
        EXPECT_NEAR(at.z, 16.0f, 0.6f);
        if (contacts[i].entity == neighbour) {
            ++withNeighbour;
        } else {
            EXPECT_NEAR(at.y, Slope(at.x), 0.15f);
        }
    }
    EXPECT_GT(withNeighbour, 0);

    // Either of the two refusing the other keeps them apart.
    for (PhysicsCrate* refusing : {neighbour, crate}) {
        refusing->collides = false;
        const int apart =
            world.FindCollisions(crate, contacts, 64, centre, World::EntityListType::Updated, PhysicsSurface::None);
        EXPECT_EQ(apart, count - withNeighbour);
        refusing->collides = true;
    }
    neighbour->SetPhysicsType(Entity::PhysicsType::NotCollided);
    const int alone = world.FindCollisions(crate, contacts, 64, centre, World::EntityListType::Updated, PhysicsSurface::None);
    EXPECT_EQ(alone, count - withNeighbour);
    for (int i = 0; i < alone; ++i) EXPECT_EQ(contacts[i].entity, nullptr);
}

}  // namespace
}  // namespace GAME::test
