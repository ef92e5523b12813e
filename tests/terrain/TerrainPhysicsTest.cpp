// Rigid bodies in a real world: the world finds their contacts with a terrain level's ground and
// with each other's collision boxes, and places them through its levels.

#include "TestTerrain.h"

#include "core/OBBox.h"
#include "core/Singleton.h"
#include "engine/CollisionData.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "physics/CollisionContact.h"
#include "physics/PhysicsEngine.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cmath>

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
    void CollisionCallback(const CollisionData& collision) override {
        (collision.other != nullptr ? withEntities : withGround)++;
    }

    int withGround = 0;
    int withEntities = 0;
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
    // On top of the lower box, not inside it nor knocked off it.
    const Vec3 gap = Position(above) - base;
    EXPECT_GT(gap.y, 0.85f);
    EXPECT_LT(gap.y, 1.3f);
    EXPECT_LT(std::hypot(gap.x, gap.z), 0.6f);
    EXPECT_GT(above->withEntities, 0);
    EXPECT_GT(below->withEntities, 0);
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

    neighbour->SetPhysicsType(Entity::PhysicsType::NotCollided);
    const int alone = world.FindCollisions(crate, contacts, 64, centre, World::EntityListType::Updated, PhysicsSurface::None);
    EXPECT_EQ(alone, count - withNeighbour);
    for (int i = 0; i < alone; ++i) EXPECT_EQ(contacts[i].entity, nullptr);
}

}  // namespace
}  // namespace GAME::test
