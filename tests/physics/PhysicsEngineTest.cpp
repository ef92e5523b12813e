// The physics engine stepping rigid bodies: fixed steps, contact merging, free fall, coming to rest
// on the ground, and entities joining and leaving around the steps.

#include "physics/PhysicsEngine.h"

#include "core/GameClock.h"
#include "core/OBBox.h"
#include "core/Singleton.h"
#include "engine/CollisionData.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "physics/CollisionTests.h"
#include "physics/PhysicsRigidBody.h"
#include "physics/PhysicsWorld.h"
#include "render/DebugRenderManager.h"
#include "support/FlatGround.h"
#include "support/LogCapture.h"
#include "world/Region.h"
#include "world/WorldFrustum.h"

#include <gtest/gtest.h>
#include <ode/ode.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <tuple>
#include <vector>

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
    Vec3 GetCenterOfMass() const override { return centreOfMass; }
    void CollisionCallback(const CollisionData& collision) override { collisions.push_back(collision); }
    void UpdateSelf(int elapsedMs) override {
        Entity::UpdateSelf(elapsedMs);
        ++updates;
    }
    Vec3 halfSize{0.5f, 0.5f, 0.5f};
    Vec3 centreOfMass;
    int fallLimits = 0;
    int updates = 0;
    std::vector<CollisionData> collisions;
};
GAME_RTTI_DEFINE_CLASS(ProxyEntity, Entity);

}  // namespace test

namespace {

constexpr float kGravity = 9.81f;

// Flat ground at y = 0 under every entity; entities are placed directly. Contacts are found in
// the region and handed back relative to the simulation centre, unless the test scripted an
// entity's contacts.
class GroundWorld : public PhysicsWorld {
public:
    int FindCollisions(Entity* entity, const WorldVec3& centre, CollisionContact* contacts, int max) override {
        if (const auto found = scripted.find(entity); found != scripted.end()) {
            const int count = std::min(max, int(found->second.size()));
            std::copy_n(found->second.begin(), count, contacts);
            return count;
        }
        const int count = test::FlatGroundContacts(OBBox{Vec3(0.5f, 0.5f, 0.5f), entity->GetCoords().GetRegionCoords()},
                                                   contacts, max);
        for (int i = 0; i < count; ++i) contacts[i].position -= centre.GetRegionPosition();
        return count;
    }
    int FindCollisions(Entity*, const OBBox&, const WorldVec3&, CollisionContact*, int) override { return 0; }
    void FindCollisions(Entity*, mem::vector<CollisionBox>&, const WorldVec3&) override {}
    void SetCoords(Entity* entity, const WorldCoords& coords) override {
        EXPECT_FALSE(entity->IsDestroyed()) << "a destroyed entity is never placed";
        entity->SetCoords(coords);
        if (placed) placed(entity);
    }
    void CreatePointDisturbance(const WorldVec3& at, float radius, float strength, int splash) override {
        EXPECT_EQ(radius, 1.0f);
        disturbances.push_back({at, strength, splash});
    }

    std::vector<std::tuple<WorldVec3, float, int>> disturbances;  // place, strength, splash
    std::map<const Entity*, std::vector<CollisionContact>> scripted;
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
    static PhysicsObject::Body BodyOf(const Entity* entity) {
        return static_cast<const PhysicsRigidBody*>(entity->GetPhysicsObject())->GetBody();
    }
    // The entity's contacts in a step of their own, as scripted: the body at the other end of each
    // joint they made (null: the surroundings); its collisions are those reported.
    std::vector<PhysicsObject::Body> Collide(test::ProxyEntity* entity, std::vector<CollisionContact> contacts) {
        ground.scripted[entity] = std::move(contacts);
        entity->collisions.clear();
        entity->GetPhysicsObject()->FindCollisions();
        std::vector<PhysicsObject::Body> tied;
        for (int i = 0; i < dBodyGetNumJoints(BodyOf(entity)); ++i)
            tied.push_back(dJointGetBody(dBodyGetJoint(BodyOf(entity), i), 1));
        dJointGroupEmpty(engine.GetContactGroup());
        return tied;
    }

    Region region{nullptr, 0, "Physics", ABBox(Vec3(-1000, -1000, -1000), Vec3(1000, 1000, 1000)), IntVec3(),
                  RegionId(1, 0, 0, 0)};
    WorldVec3 centre{&region, Vec3()};
    GroundWorld ground;
    PhysicsEngine engine;
    std::vector<Entity*> created;
};

TEST(PhysicsEngineSteps, WholeStepsAreBoundedAndARemainderTakesAFullStep) {
    for (const auto& [elapsed, steps] : {std::pair{0.0f, 0}, {0.02f, 1}, {0.033f, 2}, {1.0f, 6}})
        EXPECT_EQ(PhysicsEngine::CountSteps(elapsed, 0.02f, 5), steps) << elapsed;
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
    EXPECT_NEAR(merged[0].contact.position.x, 1.01f, 1e-5f);
    EXPECT_TRUE(merged[0].count == 2 && merged[0].contact.depth == 0.2f && merged[0].contact.normal == up);
    EXPECT_TRUE(merged[1].count == 1 && merged[1].contact.position == Vec3(5, 0, 0));

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
    ASSERT_TRUE(engine.AddEntityToSimulation(box) && box->IsSimulationEnabled());
    engine.AddForceToEntity(box, Vec3(1, 0, 0), WorldVec3(&region, Vec3(0, 100, 0)));  // at its centre: no turn
    const float step = engine.GetStepSize();
    const int steps = static_cast<int>(1.0f / step + 0.5f);
    // A first frame three and a half steps long takes four whole steps; then one step a frame.
    engine.Simulate(centre, 3.5f * step);
    for (int i = 4; i < steps; ++i) engine.Simulate(centre, step);
    // The stepper integrates velocity first, so it leads the closed form by g h t / 2.
    const float time = static_cast<float>(steps) * step;
    EXPECT_NEAR(Height(box), 100.0f - 0.5f * kGravity * time * time, 0.5f * kGravity * step * time + 1e-3f);
    EXPECT_NEAR(engine.GetEntityLinearVelocity(box).y, -kGravity * time, 1e-3f);
    EXPECT_LT((box->GetCoords().GetRegionCoords().xAxis - Vec3(1, 0, 0)).Length(), 1e-4f);
    // Twice its weight upwards for a step lifts a body as its weight alone pulls it down; a spin
    // turns the entity about its centre of mass, where the body sits.
    test::ProxyEntity* lifted = MakeBox(Vec3(5, 50, 0));
    lifted->centreOfMass = Vec3(0, 0, 1);
    Coords turned = Coords::RotationY(0.5f * 3.1415927f);  // its z axis along x
    turned.origin = Vec3(5, 50, 0);
    lifted->SetCoords(WorldCoords(&region, turned));
    ASSERT_TRUE(engine.AddEntityToSimulation(lifted));
    engine.Simulate(centre, 0.0f);
    engine.AddForceToEntity(lifted, Vec3(0, 2.0f * 12.5f * kGravity, 0));
    engine.SetEntityAngularVelocity(lifted, Vec3(0, 5, 0));  // turning a tenth of a radian a step
    engine.Simulate(centre, step);
    const Coords placed = lifted->GetCoords().GetRegionCoords();
    EXPECT_NEAR(Dot(placed.zAxis, Vec3(std::cos(0.1f), 0, -std::sin(0.1f))), 1.0f, 1e-5f);
    EXPECT_NEAR(engine.GetEntityLinearVelocity(lifted).y, kGravity * step, 1e-4f);
    EXPECT_LT((placed.origin + placed.zAxis - Vec3(6, 50 + kGravity * step * step, 0)).Length(), 1e-4f);
    // New constants reach the world with the next frame's step.
    engine.SetConstants(0.01f, 0.3f, 1e-4f, 4);
    engine.Simulate(centre, 0.01f);
    EXPECT_TRUE(engine.GetStepSize() == 0.01f && dWorldGetERP(engine.GetWorld()) == dReal(0.3f) &&
                dWorldGetCFM(engine.GetWorld()) == dReal(1e-4f) &&
                dWorldGetQuickStepNumIterations(engine.GetWorld()) == 4);
    EXPECT_TRUE(ground.disturbances.empty());
}

// The same drop about a simulation centre at the region's origin and about one elsewhere: bodies
// live relative to the centre, the box lands where it was dropped either way.
TEST_F(PhysicsEngineTest, ABoxDroppedOnTheGroundComesToRestAndLeavesTheSimulation) {
    for (const Vec3& at : {Vec3(), Vec3(30, 5, -20)}) {
        SCOPED_TRACE(at.x);
        GameClock::Get().Reset();
        ground.disturbances.clear();
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
        EXPECT_LT((box->GetCoords().GetRegionCoords().origin - Vec3(1.0f, 0.5f, 3.0f)).Length(), 0.05f);
        EXPECT_EQ(engine.GetNumEntities(), 0);
        // Touching the ground disturbs it, at most once per interval.
        EXPECT_GE(ground.disturbances.size(), 1u);
        EXPECT_LE(int(ground.disturbances.size()),
                  steps * 20 / static_cast<int>(PhysicsObject::kDisturbanceInterval) + 1);
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
    EXPECT_TRUE(falling->fallLimits == 1 && !falling->IsSimulationEnabled());
    // Nor does the drifting one, until its two thousandth step is done.
    int steps = 16;
    for (; drifting->IsSimulationEnabled() && steps < 3000; ++steps) engine.Simulate(centre, engine.GetStepSize());
    EXPECT_EQ(steps, PhysicsRigidBody::kMaxSteps + 1);
}

TEST_F(PhysicsEngineTest, EntitiesAddedRemovedOrDestroyedAroundAStepAreHandled) {
    PhysicsEngine fresh;
    fresh.Initialize(nullptr);
    Entity* early = MakeBox(Vec3(0, 10, 0));
    EXPECT_FALSE(fresh.AddEntityToSimulation(early) || early->IsSimulationEnabled());  // no frame gave it a centre yet
    // With no world to collide with or to place it, a body falls freely and moves its entity itself.
    fresh.Simulate(centre, 0.0f);
    ASSERT_TRUE(fresh.AddEntityToSimulation(early));
    fresh.Simulate(centre, fresh.GetStepSize());
    EXPECT_LT(Height(early), 10.0f);
    fresh.RemoveEntityFromSimulation(early);
    early->CleanupPhysicsObjects();  // its body goes before the world it lives in

    Entity* removed = MakeBox(Vec3(0, 10, 0));
    Entity* destroyed = MakeBox(Vec3(5, 10, 0));
    Entity* kept = MakeBox(Vec3(-5, 10, 0));
    Entity* still = MakeBox(Vec3(0, 20, 0));
    still->SetPhysicsType(Entity::PhysicsType::None);  // not simulated: a velocity is not set
    engine.SetEntityLinearVelocity(still, Vec3(1, 0, 0));
    engine.SetEntityAngularVelocity(still, Vec3(1, 0, 0));  // nor a spin or a force
    engine.AddForceToEntity(still, Vec3(1, 0, 0));
    engine.AddForceToEntity(still, Vec3(1, 0, 0), WorldVec3(&region, Vec3()));
    EXPECT_FALSE(still->IsSimulationEnabled());
    for (Entity* entity : {removed, destroyed, kept}) ASSERT_TRUE(engine.AddEntityToSimulation(entity));
    // Added entities wait for the next frame.
    EXPECT_EQ(engine.GetNumEntities(), 0);
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_EQ(engine.GetNumEntities(), 3);

    engine.RemoveEntityFromSimulation(removed);
    // Out of the id look-ups at once, deleted later (with its body) by the object manager.
    Objects()->DestroyObjectEx(destroyed, __FILE__, __LINE__);
    created.erase(std::find(created.begin(), created.end(), destroyed));
    engine.EnableDebugging(true);  // a frame of no steps draws the others, passing over it
    engine.Simulate(centre, 0.0f);
    const float keptHeight = Height(kept);
    const float removedHeight = Height(removed);
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_TRUE(engine.GetNumEntities() == 1 && Height(kept) < keptHeight);
    EXPECT_TRUE(Height(removed) == removedHeight && !removed->IsSimulationEnabled());
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
    // Frames by the engine's own clock: 15 ms of game time since the last frame take one step.
    engine.Update(centre);
    const float speed = engine.GetEntityLinearVelocity(late).y;
    GameClock::Get().AdvanceBy(15.0);
    engine.Update(centre);
    EXPECT_NEAR(engine.GetEntityLinearVelocity(late).y - speed, -kGravity * engine.GetStepSize(), 1e-4f);
}

// A callback may destroy an entity in the middle of a step: the rest of the step leaves it where
// it was, and it leaves the simulation at the step's end; so does, with its body, an entity whose
// placing takes it out of every region.
TEST_F(PhysicsEngineTest, AnEntityDestroyedOrPlacedOutOfTheWorldInAStepLeaves) {
    Entity* first = MakeBox(Vec3(0, 10, 0));
    Entity* second = MakeBox(Vec3(5, 10, 0));
    Entity* leaving = MakeBox(Vec3(10, 10, 0));
    Entity* doomed = MakeBox(Vec3(15, 10, 0));  // destroyed by its own placing
    for (Entity* entity : {first, second, leaving, doomed}) ASSERT_TRUE(engine.AddEntityToSimulation(entity));
    engine.Simulate(centre, engine.GetStepSize());
    ground.placed = [&](Entity* entity) {
        if (entity == leaving) entity->SetCoords(WorldCoords(nullptr, entity->GetCoords().GetRegionCoords()));
        Entity* const victim = entity == first ? second : entity == doomed ? doomed : nullptr;
        if (victim == nullptr || victim->IsDestroyed()) return;
        Objects()->DestroyObjectEx(victim, __FILE__, __LINE__);
        created.erase(std::find(created.begin(), created.end(), victim));
    };
    const float firstHeight = Height(first);
    const float secondHeight = Height(second);
    engine.Simulate(centre, engine.GetStepSize());
    ground.placed = nullptr;
    EXPECT_LT(Height(first), firstHeight);
    EXPECT_EQ(Height(second), secondHeight);
    EXPECT_TRUE(engine.GetNumEntities() == 1 && !leaving->IsSimulationEnabled() && first->IsSimulationEnabled());
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

// A body weighs what a box of density 100 weighs whose sides are the proxy's half sizes; a proxy of
// no size or not finite makes it the unit box, which falls like any other.
TEST_F(PhysicsEngineTest, ABodyWeighsItsProxysBoxAndOneOfNoSizeOrNotFiniteIsTheUnitBox) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vec3 unit(0.5f, 0.5f, 0.5f);
    std::vector<Entity*> bodies;
    for (const auto& [half, side] : {std::pair{Vec3(0.5f, 1, 2), Vec3(0.5f, 1, 2)},
                                     {Vec3(), unit},
                                     {Vec3(0.5f, 0, 0.5f), unit},
                                     {Vec3(nan, 0.5f, 0.5f), unit}}) {
        test::ProxyEntity* body = MakeBox(Vec3(float(bodies.size()) * 5.0f, 100.0f, 0.0f));
        body->halfSize = half;
        ASSERT_TRUE(engine.AddEntityToSimulation(body));
        bodies.push_back(body);
        dMass mass;
        dBodyGetMass(BodyOf(body), &mass);
        EXPECT_FLOAT_EQ(float(mass.mass), 100.0f * side.x * side.y * side.z);
        EXPECT_FLOAT_EQ(float(mass.I[0] - mass.I[10]), float(mass.mass) / 12.0f * (side.z * side.z - side.x * side.x));
    }
    for (int step = 0; step < 10; ++step) engine.Simulate(centre, engine.GetStepSize());
    for (const Entity* body : bodies)
        EXPECT_TRUE(body->GetCoords().GetRegionCoords().origin.IsValid() && Height(body) < 100.0f);
}

// A body moving into a simulated rigid body ties it into the contact's joint, so the blow moves it;
// at rest it holds itself out of what it touches as out of the ground. A contact a quarter deep or
// deeper makes no joint. Each run of contacts with one entity and surface is one collision, told to
// both; a run with the ground disturbs it where the body is, by the body's speed, once an interval,
// splashing in water.
TEST_F(PhysicsEngineTest, AMovingBodyTiesWhatItStrikesIntoItsJointAndEachRunOfContactsIsOneCollision) {
    test::ProxyEntity* mover = MakeBox(Vec3(0, 5, 0));
    test::ProxyEntity* crate = MakeBox(Vec3(0, 4, 0));
    test::ProxyEntity* ghost = MakeBox(Vec3(3, 4, 0));  // a rigid body, not simulated
    test::ProxyEntity* doll = MakeBox(Vec3(6, 4, 0));
    for (Entity* entity : {mover, crate, doll}) ASSERT_TRUE(engine.AddEntityToSimulation(entity));
    doll->SetPhysicsType(Entity::PhysicsType::RagDoll);  // simulated, but not as a rigid body
    GameClock::Get().Reset();                            // too early to disturb the ground
    using Tied = std::vector<PhysicsObject::Body>;       // the other end of each joint; null: the surroundings
    for (const auto& [other, depth, speed, tied] : {std::tuple{crate, 0.1f, 3.0f, Tied{BodyOf(crate)}},
                                                    {crate, 0.1f, 0.0f, Tied{nullptr}},
                                                    {ghost, 0.1f, 3.0f, Tied{nullptr}},
                                                    {doll, 0.1f, 3.0f, Tied{nullptr}},
                                                    {nullptr, 0.1f, 3.0f, Tied{nullptr}},
                                                    {crate, 0.25f, 3.0f, Tied{}},
                                                    {crate, 0.3f, 3.0f, Tied{}}}) {
        engine.SetEntityLinearVelocity(mover, Vec3(0, -speed, 0));
        mover->GetPhysicsObject()->UpdateSimulationFromGameObject(centre);
        crate->collisions.clear();
        EXPECT_EQ(Collide(mover, {{Vec3(), Vec3(0, 1, 0), depth, PhysicsSurface::Wood, other}}), tied)
            << depth << speed;
        ASSERT_EQ(mover->collisions.size(), 1u);
        const CollisionData& seen = mover->collisions[0];
        EXPECT_TRUE(seen.other == other && seen.surface == PhysicsSurface::Wood && seen.normal == Vec3(0, 1, 0) &&
                    seen.flag);
        EXPECT_EQ(crate->collisions.size(), other == crate ? 1u : 0u);
    }

    engine.SetEntityLinearVelocity(mover, Vec3(3, -4, 0));
    engine.SetEntityAngularVelocity(mover, Vec3(0, 0, 12));
    GameClock::Get().AdvanceBy(1000.0);
    const auto touching = [](Entity* other, PhysicsSurface surface) {
        return CollisionContact{Vec3(), Vec3(0, 1, 0), 0.1f, surface, other};
    };
    const PhysicsSurface none = PhysicsSurface::None, water = PhysicsSurface::Water, grass = PhysicsSurface::Grass;
    crate->collisions.clear();
    Collide(mover, {touching(crate, none), touching(crate, none), touching(nullptr, water), touching(nullptr, water),
                    touching(nullptr, grass), touching(crate, grass)});
    std::vector<std::pair<Entity*, PhysicsSurface>> seen;
    for (const CollisionData& collision : mover->collisions) seen.push_back({collision.other, collision.surface});
    EXPECT_EQ(seen, (decltype(seen){{crate, none}, {nullptr, water}, {nullptr, grass}, {crate, grass}}));
    EXPECT_EQ(crate->collisions.size(), 2u);
    ASSERT_EQ(ground.disturbances.size(), 1u);  // the grass came within the interval
    const auto& [at, strength, splash] = ground.disturbances[0];
    EXPECT_TRUE(at.GetRegion() == &region && (at.GetRegionPosition() - Vec3(0, 5, 0)).Length() < 1e-5f);
    EXPECT_FLOAT_EQ(strength, 13.0f);
    EXPECT_EQ(splash, 2);
    for (const auto& [ms, disturbances] : {std::pair{250.0, 1u}, {1.0, 2u}}) {
        GameClock::Get().AdvanceBy(ms);
        Collide(mover, {touching(nullptr, grass)});
        EXPECT_EQ(ground.disturbances.size(), disturbances);
    }
    EXPECT_EQ(std::get<2>(ground.disturbances.back()), 0);
}

// The physics step moves on an entity the world did not update in this frame or the last (it is
// out of sight), and no other. With debugging and statistics on, each step reports every entity
// and their number.
TEST_F(PhysicsEngineTest, AnEntityTheWorldLeftForAFrameIsUpdatedByTheStep) {
    Engine host;  // counts the frames and takes the statistics
    test::ProxyEntity* box = MakeBox(Vec3(0, 10, 0));
    box->SetGravityEnabled(false);
    ASSERT_TRUE(engine.AddEntityToSimulation(box));
    box->Update(16);  // by the world, in frame 0
    for (const auto& [frames, updates] : {std::pair{0, 1}, {1, 1}, {1, 2}, {0, 2}, {1, 2}, {1, 3}}) {
        for (int frame = 0; frame < frames; ++frame) host.Update(WorldFrustum(), false);
        engine.Simulate(centre, engine.GetStepSize());
        EXPECT_EQ(box->updates, updates) << host.GetFrameCount();
    }
    EXPECT_TRUE(host.GetStatisticText().empty());  // statistics wait to be asked for
    engine.EnableDebugging(true);
    engine.EnableStats(true);
    host.Update(WorldFrustum(), false);
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_FALSE(Singleton<DebugRenderManager>::HasInstantiated()) << "drawn only where the host draws";
    EXPECT_EQ(host.GetStatisticText(),
              (mem::vector<std::string>{box->GetObjectName() + " (0.00 10.00 0.00) <0.000 0.000 0.000>",
                                        "1 entities in physics simulation"}));
}

// Starting again lets go of the first world and its contact group.
TEST(PhysicsEngineLife, ASecondInitializeFreesTheFirstWorld) {
    static int frees = 0;
    PhysicsEngine engine;
    engine.Initialize(nullptr);
    dFreeFunction* const previous = dGetFreeHandler();
    dSetFreeHandler([](void* block, dsizeint) {
        ++frees;
        std::free(block);
    });
    engine.Initialize(nullptr);
    dSetFreeHandler(previous);
    EXPECT_GE(frees, 2);
    engine.Shutdown();  // the destructor's own then has nothing left to free
    EXPECT_TRUE(engine.GetWorld() == nullptr && engine.GetContactGroup() == nullptr);
}

// At rest: disabled, slower than both limits (strictly), or falling too fast to be saved.
TEST(PhysicsRestingBodies, ABodyRestsBelowBothLimitsWhenDisabledOrFallingTooFast) {
    PhysicsEngine engine;
    engine.Initialize(nullptr);
    const PhysicsObject::Body body = dBodyCreate(engine.GetWorld());
    for (const auto& [linear, angular, disabled, rests] :
         {std::tuple{Vec3(0.79f, 0, 0), Vec3(0, 4.99f, 0), false, true},
          {Vec3(0, 0, 0.8f), Vec3(), false, false},
          {Vec3(0.5f, 0.5f, 0.4f), Vec3(), false, false},
          {Vec3(), Vec3(0, 0, 5), false, false},
          {Vec3(), Vec3(3, 3, 3), false, false},
          {Vec3(9, -150.01f, 0), Vec3(), false, true},
          {Vec3(0, -150, 0), Vec3(), false, false},
          {Vec3(9, 9, 9), Vec3(9, 9, 9), true, true}}) {
        dBodySetLinearVel(body, linear.x, linear.y, linear.z);
        dBodySetAngularVel(body, angular.x, angular.y, angular.z);
        disabled ? dBodyDisable(body) : dBodyEnable(body);
        EXPECT_EQ(PhysicsObject::IsRigidBodyAtRest(body, 0.8f, 5.0f), rests) << linear.x << " " << angular.z;
    }
}

}  // namespace
}  // namespace GAME
