// The physics engine stepping rigid bodies: fixed steps, contact merging, free fall, coming to rest
// on the ground, and entities joining and leaving around the steps.

#include "physics/PhysicsEngine.h"

#include "core/GameClock.h"
#include "core/OBBox.h"
#include "core/Singleton.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "physics/CollisionTests.h"
#include "physics/PhysicsRigidBody.h"
#include "physics/PhysicsWorld.h"
#include "support/FlatGround.h"
#include "support/LogCapture.h"
#include "world/Region.h"

#include <gtest/gtest.h>
#include <ode/ode.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>

namespace GAME {
namespace test {

// An entity whose collision proxy is whatever the test sets (an actor's mesh still loading has a
// box of size 0).
class ProxyEntity : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool GetCollisionProxy(OBBox& box) const override {
        box = OBBox{halfSize, GetCoords().GetRegionCoords()};
        return true;
    }
    void HitMaxFallVelocityCallback() override { ++fallLimits; }
    Vec3 halfSize{0.5f, 0.5f, 0.5f};
    int fallLimits = 0;
};
GAME_RTTI_DEFINE_CLASS(ProxyEntity, Entity);

}  // namespace test

namespace {

constexpr float kGravity = 9.81f;

// Flat ground at y = 0 under every entity; entities are placed directly. Contacts are found in
// the region and handed back relative to the simulation centre.
class GroundWorld : public PhysicsWorld {
public:
    int FindCollisions(Entity* entity, const WorldVec3& centre, CollisionContact* contacts, int max) override {
        const int count = test::FlatGroundContacts(OBBox{Vec3(0.5f, 0.5f, 0.5f), entity->GetCoords().GetRegionCoords()},
                                                   contacts, max);
        for (int i = 0; i < count; ++i) contacts[i].position -= centre.GetRegionPosition();
        return count;
    }
    int FindCollisions(Entity*, const OBBox&, const WorldVec3&, CollisionContact*, int) override { return 0; }
    void FindCollisions(Entity*, mem::vector<CollisionBox>&, const WorldVec3&) override {}
    void SetCoords(Entity* entity, const WorldCoords& coords) override {
        entity->SetCoords(coords);
        if (placed) placed(entity);
    }
    void CreatePointDisturbance(const WorldVec3&, float, float, int) override { ++disturbances; }

    int disturbances = 0;
    std::function<void(Entity*)> placed;  // called after each placement, as a game's callback
};

class PhysicsEngineTest : public testing::Test {
protected:
    void SetUp() override {
        engine.Initialize(&ground);
        engine.Simulate(centre, 0.0f);  // gives the simulation its centre
    }
    void TearDown() override {
        engine.RemoveAllEntities();
        for (Entity* entity : created) {
            entity->CleanupPhysicsObjects();
            Objects()->DestroyObjectEx(entity, __FILE__, __LINE__);
        }
        Objects()->DestroyPendingObjects(1000);
    }
    static ObjectManager* Objects() { return Singleton<ObjectManager>::Get(); }

    // A simulated entity (a unit box) resting unrotated at the position.
    test::ProxyEntity* MakeBox(const Vec3& position) {
        auto* entity = static_cast<test::ProxyEntity*>(Objects()->CreateObject("ProxyEntity"));
        entity->SetCoords(WorldCoords(&region, Coords::Translation(position)));
        entity->SetPhysicsType(Entity::PhysicsType::RigidBody);
        created.push_back(entity);
        return entity;
    }
    float Height(const Entity* entity) const { return entity->GetCoords().GetRegionCoords().origin.y; }

    Region region{nullptr, 0, "Physics", ABBox(Vec3(-1000, -1000, -1000), Vec3(1000, 1000, 1000)), IntVec3(),
                  RegionId(1, 0, 0, 0)};
    WorldVec3 centre{&region, Vec3()};
    GroundWorld ground;
    PhysicsEngine engine;
    std::vector<Entity*> created;
};

TEST(PhysicsEngineSteps, WholeStepsAreBoundedAndARemainderTakesAFullStep) {
    EXPECT_EQ(PhysicsEngine::CountSteps(0.0f, 0.02f, 5), 0);
    EXPECT_EQ(PhysicsEngine::CountSteps(0.02f, 0.02f, 5), 1);
    EXPECT_EQ(PhysicsEngine::CountSteps(0.033f, 0.02f, 5), 2);
    EXPECT_EQ(PhysicsEngine::CountSteps(1.0f, 0.02f, 5), 6);
}

TEST(PhysicsContactMerging, NearbyContactsWithCloseNormalsMergeAndWaterIsLeftOut) {
    const Vec3 up(0, 1, 0);
    const Vec3 tilted995(0.0998749f, 0.995f, 0.0f);  // unit length, dot product 0.995 with up
    const Vec3 tilted98(0.198997f, 0.98f, 0.0f);
    CollisionContact contacts[4];
    contacts[0] = {Vec3(1, 0, 0), up, 0.1f, PhysicsSurface::None, nullptr};
    contacts[1] = {Vec3(1.02f, 0, 0), tilted995, 0.2f, PhysicsSurface::None, nullptr};
    contacts[2] = {Vec3(1.01f, 0, 0), up, 0.5f, PhysicsSurface::Water, nullptr};
    contacts[3] = {Vec3(5, 0, 0), up, 0.05f, PhysicsSurface::None, nullptr};
    PhysicsObject::MergedContact merged[4];
    ASSERT_EQ(PhysicsObject::MergeContacts(contacts, 4, merged, 4), 2);
    EXPECT_EQ(merged[0].count, 2);
    EXPECT_NEAR(merged[0].contact.position.x, 1.01f, 1e-5f);
    EXPECT_FLOAT_EQ(merged[0].contact.depth, 0.2f);
    EXPECT_EQ(merged[0].contact.normal, up);
    EXPECT_EQ(merged[1].count, 1);
    EXPECT_EQ(merged[1].contact.position, Vec3(5, 0, 0));

    // A group grows around its mean: 1.04 is beyond the reach of 1.00 but within that of 1.01,
    // the mean of the first two, and the three meet at 1.02.
    CollisionContact row[3] = {contacts[0], contacts[0], contacts[0]};
    row[1].position.x = 1.02f;
    row[2].position.x = 1.04f;
    ASSERT_EQ(PhysicsObject::MergeContacts(row, 3, merged, 4), 1);
    EXPECT_EQ(merged[0].count, 3);
    EXPECT_NEAR(merged[0].contact.position.x, 1.02f, 1e-5f);

    contacts[1].normal = tilted98;
    EXPECT_EQ(PhysicsObject::MergeContacts(contacts, 2, merged, 4), 2);
    // A full list drops further groups rather than overrunning.
    EXPECT_EQ(PhysicsObject::MergeContacts(contacts, 4, merged, 1), 1);
}

TEST_F(PhysicsEngineTest, FreeFallFollowsTheClosedFormOverASecond) {
    Entity* box = MakeBox(Vec3(0, 100, 0));
    ASSERT_TRUE(engine.AddEntityToSimulation(box));
    ASSERT_TRUE(box->IsSimulationEnabled());
    const float step = engine.GetStepSize();
    const int steps = static_cast<int>(1.0f / step + 0.5f);
    // A first frame three and a half steps long takes four whole steps; then one step a frame.
    engine.Simulate(centre, 3.5f * step);
    for (int i = 4; i < steps; ++i) engine.Simulate(centre, step);
    // The stepper integrates velocity first, so it leads the closed form by g h t / 2.
    const float time = static_cast<float>(steps) * step;
    EXPECT_NEAR(Height(box), 100.0f - 0.5f * kGravity * time * time, 0.5f * kGravity * step * time + 1e-3f);
    EXPECT_NEAR(engine.GetEntityLinearVelocity(box).y, -kGravity * time, 1e-3f);
    EXPECT_EQ(ground.disturbances, 0);
}

// The same drop about a simulation centre at the region's origin and about one elsewhere: bodies
// live relative to the centre, the box lands where it was dropped either way.
TEST_F(PhysicsEngineTest, ABoxDroppedOnTheGroundComesToRestAndLeavesTheSimulation) {
    for (const Vec3& at : {Vec3(), Vec3(30, 5, -20)}) {
        SCOPED_TRACE(at.x);
        GameClock::Get().Reset();
        ground.disturbances = 0;
        const WorldVec3 around(&region, at);
        engine.Simulate(around, 0.0f);
        Entity* box = MakeBox(Vec3(1, 2, 3));
        ASSERT_TRUE(engine.AddEntityToSimulation(box));
        int steps = 0;
        while (box->IsSimulationEnabled() && steps < 500) {
            GameClock::Get().AdvanceBy(20.0);
            engine.Simulate(around, engine.GetStepSize());
            ++steps;
        }
        EXPECT_FALSE(box->IsSimulationEnabled());
        EXPECT_LT(steps, 200);
        const Vec3 rest = box->GetCoords().GetRegionCoords().origin;
        EXPECT_NEAR(rest.y, 0.5f, 0.05f);
        EXPECT_NEAR(rest.x, 1.0f, 0.05f);
        EXPECT_NEAR(rest.z, 3.0f, 0.05f);
        EXPECT_EQ(engine.GetNumEntities(), 0);
        // Touching the ground disturbs it, at most once per interval.
        EXPECT_GE(ground.disturbances, 1);
        EXPECT_LE(ground.disturbances, steps * 20 / static_cast<int>(PhysicsObject::kDisturbanceInterval) + 1);
    }
}

// A body that does not move rests from its first step and leaves after its sixteenth; one falling
// past its fall limit is told so once and leaves in that step.
TEST_F(PhysicsEngineTest, ABodyLeavesAfterSixteenStepsAtRestOrOnceItFallsTooFast) {
    test::ProxyEntity* still = MakeBox(Vec3(0, 50, 0));
    still->SetGravityEnabled(false);
    test::ProxyEntity* falling = MakeBox(Vec3(10, 50, 0));
    falling->SetGravityEnabled(false);  // falls only as fast as it is sent
    ASSERT_TRUE(engine.AddEntityToSimulation(still));
    ASSERT_TRUE(engine.AddEntityToSimulation(falling));
    engine.SetEntityMaxFallVelocity(falling, -20.0f);
    engine.SetEntityLinearVelocity(falling, Vec3(0, -19, 0));
    // Drifting just faster than the rest speed, a body never rests.
    test::ProxyEntity* drifting = MakeBox(Vec3(-10, 50, 0));
    drifting->SetGravityEnabled(false);
    ASSERT_TRUE(engine.AddEntityToSimulation(drifting));
    engine.SetEntityLinearVelocity(drifting, Vec3(0.9f, 0, 0));  // the rest speed is 0.8
    for (int step = 1; step <= 15; ++step) {
        engine.Simulate(centre, engine.GetStepSize());
        EXPECT_TRUE(still->IsSimulationEnabled()) << step;
    }
    EXPECT_EQ(falling->fallLimits, 0);
    engine.SetEntityLinearVelocity(falling, Vec3(0, -25, 0));
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_FALSE(still->IsSimulationEnabled());
    EXPECT_EQ(falling->fallLimits, 1);
    EXPECT_FALSE(falling->IsSimulationEnabled());
    for (int step = 0; step < 20; ++step) engine.Simulate(centre, engine.GetStepSize());
    EXPECT_TRUE(drifting->IsSimulationEnabled());
}

TEST_F(PhysicsEngineTest, EntitiesAddedRemovedOrDestroyedAroundAStepAreHandled) {
    PhysicsEngine fresh;
    fresh.Initialize(nullptr);
    Entity* early = MakeBox(Vec3(0, 10, 0));
    EXPECT_FALSE(fresh.AddEntityToSimulation(early));  // no frame has given it a centre yet
    EXPECT_FALSE(early->IsSimulationEnabled());

    Entity* removed = MakeBox(Vec3(0, 10, 0));
    Entity* destroyed = MakeBox(Vec3(5, 10, 0));
    Entity* kept = MakeBox(Vec3(-5, 10, 0));
    for (Entity* entity : {removed, destroyed, kept}) ASSERT_TRUE(engine.AddEntityToSimulation(entity));
    // Added entities wait for the next frame.
    EXPECT_EQ(engine.GetNumEntities(), 0);
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_EQ(engine.GetNumEntities(), 3);

    engine.RemoveEntityFromSimulation(removed);
    // Out of the id look-ups at once, deleted later (with its body) by the object manager.
    Objects()->DestroyObjectEx(destroyed, __FILE__, __LINE__);
    created.erase(std::find(created.begin(), created.end(), destroyed));
    const float keptHeight = Height(kept);
    const float removedHeight = Height(removed);
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_EQ(engine.GetNumEntities(), 1);
    EXPECT_LT(Height(kept), keptHeight);
    EXPECT_EQ(Height(removed), removedHeight);
    EXPECT_FALSE(removed->IsSimulationEnabled());
}

// A callback may destroy an entity in the middle of a step: the rest of the step leaves it where
// it was, and it leaves the simulation at the step's end.
TEST_F(PhysicsEngineTest, AnEntityDestroyedWhileAStepPlacesAnotherIsNotPlacedAndLeaves) {
    Entity* first = MakeBox(Vec3(0, 10, 0));
    Entity* second = MakeBox(Vec3(5, 10, 0));
    for (Entity* entity : {first, second}) ASSERT_TRUE(engine.AddEntityToSimulation(entity));
    engine.Simulate(centre, engine.GetStepSize());
    ground.placed = [&](Entity* entity) {
        if (entity != first || second->IsDestroyed()) return;
        Objects()->DestroyObjectEx(second, __FILE__, __LINE__);
        created.erase(std::find(created.begin(), created.end(), second));
    };
    const float firstHeight = Height(first);
    const float secondHeight = Height(second);
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_LT(Height(first), firstHeight);
    EXPECT_EQ(Height(second), secondHeight);
    EXPECT_EQ(engine.GetNumEntities(), 1);
    ground.placed = nullptr;
}

// Entities leaving the list in the middle of a frame's steps, and joining it in the next frame, keep
// stepping their own bodies: two boxes let go together fall together throughout.
TEST_F(PhysicsEngineTest, EntitiesLeavingAndJoiningBetweenStepsKeepTheirOwnBodies) {
    Entity* removed = MakeBox(Vec3(0, 10, 0));
    Entity* first = MakeBox(Vec3(5, 10, 0));
    Entity* second = MakeBox(Vec3(10, 10, 0));
    for (Entity* entity : {removed, first, second}) ASSERT_TRUE(engine.AddEntityToSimulation(entity));
    engine.Simulate(centre, engine.GetStepSize());
    engine.RemoveEntityFromSimulation(removed);
    engine.Simulate(centre, 3.0f * engine.GetStepSize());
    EXPECT_EQ(engine.GetNumEntities(), 2);
    EXPECT_LT(Height(first), 10.0f);
    EXPECT_NEAR(Height(first), Height(second), 1e-5f);

    Entity* late = MakeBox(Vec3(15, 10, 0));
    ASSERT_TRUE(engine.AddEntityToSimulation(late));
    const float before = Height(first);
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_LT(Height(first), before);
    EXPECT_NEAR(Height(first), Height(second), 1e-5f);
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_LT(Height(late), 10.0f);
}

// An entity whose placing takes it out of every region leaves the simulation with its body.
TEST_F(PhysicsEngineTest, AnEntityPlacedOutOfTheWorldLeavesWithItsBody) {
    Entity* leaving = MakeBox(Vec3(0, 10, 0));
    Entity* staying = MakeBox(Vec3(5, 10, 0));
    for (Entity* entity : {leaving, staying}) ASSERT_TRUE(engine.AddEntityToSimulation(entity));
    engine.Simulate(centre, engine.GetStepSize());
    ground.placed = [&](Entity* entity) {
        if (entity == leaving) entity->SetCoords(WorldCoords(nullptr, entity->GetCoords().GetRegionCoords()));
    };
    engine.Simulate(centre, engine.GetStepSize());
    ground.placed = nullptr;
    EXPECT_EQ(engine.GetNumEntities(), 1);
    EXPECT_FALSE(leaving->IsSimulationEnabled());
    EXPECT_TRUE(staying->IsSimulationEnabled());
}

// The library's step fails when it cannot get working memory: the frame says so once, takes no more
// steps and moves nothing; the next frame steps again.
TEST_F(PhysicsEngineTest, AFailedStepIsLoggedAndMovesNothing) {
    Entity* box = MakeBox(Vec3(0, 100, 0));
    ASSERT_TRUE(engine.AddEntityToSimulation(box));
    engine.Simulate(centre, engine.GetStepSize());
    const float height = Height(box);
    // The library takes its islands' memory first and its stepper's next; a null islands block
    // would crash the library itself, so only the second request fails.
    static int requests = 0;
    requests = 0;
    dWorldStepMemoryFunctionsInfo noMemory{};
    noMemory.struct_size = sizeof(noMemory);
    noMemory.alloc_block = [](dsizeint size) { return ++requests == 1 ? std::malloc(size) : nullptr; };
    noMemory.shrink_block = [](void* block, dsizeint, dsizeint) { return block; };
    noMemory.free_block = [](void* block, dsizeint) { std::free(block); };
    ASSERT_TRUE(dWorldSetStepMemoryManager(engine.GetWorld(), &noMemory));
    dWorldCleanupWorkingMemory(engine.GetWorld());  // what the first step kept
    {
        test::LogCapture log;
        engine.Simulate(centre, 1.0f);
        EXPECT_EQ(log.Count(LogPriority::Error), 1u);
        EXPECT_TRUE(log.Contains(LogPriority::Error, "Physics step failed"));
    }
    EXPECT_EQ(Height(box), height);
    EXPECT_TRUE(box->IsSimulationEnabled());
    dWorldCleanupWorkingMemory(engine.GetWorld());
    ASSERT_TRUE(dWorldSetStepMemoryManager(engine.GetWorld(), nullptr));
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_LT(Height(box), height);
}

TEST_F(PhysicsEngineTest, ABoxOfNoSizeOrNotFiniteFallsAsTheUnitBox) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vec3 halfSizes[3] = {Vec3(0, 0, 0), Vec3(0.5f, 0.0f, 0.5f), Vec3(nan, 0.5f, 0.5f)};
    std::vector<Entity*> bodies;
    for (int i = 0; i < 3; ++i) {
        auto* body = static_cast<test::ProxyEntity*>(Objects()->CreateObject("ProxyEntity"));
        body->halfSize = halfSizes[i];
        body->SetCoords(WorldCoords(&region, Coords::Translation(Vec3(float(i) * 5.0f, 100.0f, 0.0f))));
        body->SetPhysicsType(Entity::PhysicsType::RigidBody);
        created.push_back(body);
        bodies.push_back(body);
        ASSERT_TRUE(engine.AddEntityToSimulation(body));
    }
    for (int step = 0; step < 10; ++step) engine.Simulate(centre, engine.GetStepSize());
    for (const Entity* body : bodies) {
        EXPECT_TRUE(body->GetCoords().GetRegionCoords().origin.IsValid());
        EXPECT_LT(Height(body), 100.0f);
    }
}

}  // namespace
}  // namespace GAME
