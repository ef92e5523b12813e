// Rag dolls driven by the physics engine over flat ground: bodies placed from the pose and the
// pose given back, a chain that falls and settles, breakable joints, a mesh without bodies.

#include "core/GameClock.h"
#include "core/OBBox.h"
#include "core/Random.h"
#include "core/Singleton.h"
#include "engine/CollisionData.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionTests.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysicsRagDoll.h"
#include "physics/PhysicsWorld.h"
#include "physics/RagDollSkeleton.h"
#include "render/DebugRenderManager.h"
#include "support/FlatGround.h"
#include "support/LogCapture.h"
#include "world/Region.h"

#include <gtest/gtest.h>
#include <ode/ode.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>

namespace GAME {

// What a skeleton was told; it outlives the rag doll that owns the skeleton.
struct SkeletonRecord {
    std::map<Name, Coords> posed;  // the last pose
    int poses = 0;
    int stops = 0;
};

// A chain of bones b0, b1, ... one unit apart along x in object space, a body between each bone
// and the next, and a ball joint at each bone between two bodies.
class ChainSkeleton : public RagDollSkeleton {
public:
    ChainSkeleton(int bodies, const Vec3& scale, std::shared_ptr<SkeletonRecord> record = std::make_shared<SkeletonRecord>())
        : record_(std::move(record)), scale_(scale) {
        for (int i = 0; i <= bodies; ++i) bones_[BoneName(i)] = Coords::Translation(Vec3(float(i), 0, 0));
        for (int i = 0; i < bodies; ++i) {
            RigidBodyDescription body;
            body.parentNameText = "b" + std::to_string(i);
            body.parentName = BoneName(i);
            body.childNameText = "b" + std::to_string(i + 1);
            body.childName = BoneName(i + 1);
            body.parentCoords = Coords::Translation(Vec3(-0.5f, 0, 0));
            body.childCoords = Coords::Translation(Vec3(0.5f, 0, 0));
            body.extents = Vec3(0.5f, 0.1f, 0.1f);
            body.collides = true;
            bodies_.push_back(body);
        }
        for (int i = 0; i + 1 < bodies; ++i) {
            JointDescription joint;
            joint.rigidBody0 = i;
            joint.rigidBody1 = i + 1;
            joint.jointType = JointDescription::kBall;
            joint.jointConnection = 1;  // at the first body's child bone
            joints_.push_back(joint);
        }
    }
    static Name BoneName(int index) { return Name::Create(("b" + std::to_string(index)).c_str()); }

    int GetNumRigidBodies() const override { return int(bodies_.size()); }
    const RigidBodyDescription& GetRigidBody(int index) const override { return bodies_[size_t(index)]; }
    int GetNumJoints() const override { return int(joints_.size()); }
    const JointDescription& GetJoint(int index) const override { return joints_[size_t(index)]; }
    Coords GetBoneCoords(const Name& bone) const override {
        auto found = bones_.find(bone);
        return found != bones_.end() ? found->second : Coords();
    }
    void SetPose(const mem::vector<Bone>& bones) override {
        ++record_->poses;
        record_->posed.clear();
        for (const Bone& bone : bones) record_->posed[bone.name] = bone.coords;
    }
    Vec3 GetScale() const override { return scale_; }
    OBBox GetRegionSpaceBox() const override { return OBBox(); }
    std::string GetMeshName() const override { return "chain.msh"; }
    void StopAnimations() override { ++record_->stops; }

    mem::vector<RigidBodyDescription> bodies_;
    mem::vector<JointDescription> joints_;
    std::map<Name, Coords> bones_;

private:
    std::shared_ptr<SkeletonRecord> record_;
    Vec3 scale_;
};

// An entity that falls as a rag doll of the skeleton it is given.
class RagDollTestEntity : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    void CreatePhysicsObject(PhysicsEngine& engine) override {
        SetPhysicsObject(std::make_unique<PhysicsRagDoll>(this, std::move(skeleton), engine));
    }
    void CollisionCallback(const CollisionData& collision) override {
        ++collisions;
        if (collision.flag) cues.push_back(collision.surface);
    }
    PhysicsRagDoll* GetRagDoll() const { return static_cast<PhysicsRagDoll*>(GetPhysicsObject()); }

    std::unique_ptr<RagDollSkeleton> skeleton;
    int collisions = 0;
    std::vector<PhysicsSurface> cues;  // the surfaces of the collisions that cued a sound
};
GAME_RTTI_DEFINE_CLASS(RagDollTestEntity, Entity);

namespace {

// Flat ground at y = 0; the simulation centre is the region's origin.
class GroundWorld : public PhysicsWorld {
public:
    int FindCollisions(Entity*, const WorldVec3&, CollisionContact*, int) override { return 0; }
    int FindCollisions(Entity*, const OBBox& box, const WorldVec3&, CollisionContact* contacts, int max) override {
        ++boxQueries;
        return test::FlatGroundContacts(box, contacts, std::min(max, 1));  // one contact is a touch
    }
    void FindCollisions(Entity*, mem::vector<CollisionBox>& boxes, const WorldVec3&) override {
        for (CollisionBox& box : boxes) {
            CollisionContact found[8];
            const int count = test::FlatGroundContacts(box.GetOBBox(), found, 8);
            for (int i = 0; i < count; ++i) {
                if (water) found[i].surface = PhysicsSurface::Water;
                if (depth >= 0.0f) found[i].depth = depth;
                found[i].entity = other;
                box.AddContact(found[i]);
            }
        }
    }
    void SetCoords(Entity* entity, const WorldCoords& coords) override {
        ++refiled;
        entity->SetCoords(coords);
    }
    void CreatePointDisturbance(const WorldVec3&, float, float strength, int splash) override {
        splashes.push_back(splash);
        strengths.push_back(strength);
    }

    std::vector<int> splashes;  // of each disturbance
    std::vector<float> strengths;
    int boxQueries = 0;
    int refiled = 0;  // entities placed again in their level
    bool water = false;   // the ground is a water surface
    float depth = -1.0f;  // when not negative, the depth of every contact of a body's box
    Entity* other = nullptr;  // what every contact of a body's box touches
};

class PhysicsRagDollTest : public testing::Test {
protected:
    void SetUp() override {
        engine.Initialize(&ground);
        engine.Simulate(centre, 0.0f);
        GameClock::Get().Reset();
    }
    void TearDown() override {
        engine.RemoveAllEntities();
        for (Entity* entity : created) {
            entity->CleanupPhysicsObjects();
            Singleton<ObjectManager>::Get()->DestroyObjectEx(entity, __FILE__, __LINE__);
        }
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(1000);
    }

    // A rag doll of the skeleton, its actor at the frame.
    RagDollTestEntity* Start(std::unique_ptr<ChainSkeleton> skeleton, const Coords& frame) {
        auto* actor = static_cast<RagDollTestEntity*>(Singleton<ObjectManager>::Get()->CreateObject("RagDollTestEntity"));
        created.push_back(actor);
        actor->skeleton = std::move(skeleton);
        actor->SetCoords(WorldCoords(&region, frame));
        actor->SetPhysicsType(Entity::PhysicsType::RagDoll);
        EXPECT_TRUE(engine.AddEntityToSimulation(actor));
        return actor;
    }
    void Step() {
        GameClock::Get().AdvanceBy(20.0);
        engine.Simulate(centre, engine.GetStepSize());
    }
    int Run(const Entity* actor) {
        int steps = 0;
        for (; actor->IsSimulationEnabled() && steps < 2000; ++steps) Step();
        return steps;
    }

    Region region{nullptr, 0, "RagDoll", ABBox(Vec3(), Vec3(1000, 1000, 1000)), IntVec3(), RegionId(1, 0, 0, 0)};
    WorldVec3 centre{&region, Vec3()};
    GroundWorld ground;
    PhysicsEngine engine;
    std::vector<Entity*> created;
};

TEST(PhysicsRagDollNames, JointTypesAndAxesReadAndWriteTheirNames) {
    for (const char* name : {"ball", "hinge", "fixed", "universal"})
        EXPECT_STREQ(PhysicsRagDoll::ToText(PhysicsRagDoll::ToJointType(name)), name);
    for (const char* name : {"Ball", static_cast<const char*>(nullptr)})
        EXPECT_EQ(PhysicsRagDoll::ToJointType(name), JointDescription::kNone);
    EXPECT_EQ(PhysicsRagDoll::ToJointAxis("z"), JointDescription::kAxisZ);
    EXPECT_EQ(PhysicsRagDoll::ToJointAxis("w"), JointDescription::kAxisX);
    EXPECT_STREQ(PhysicsRagDoll::ToText(static_cast<JointDescription::Axis>(7)), "x");
    EXPECT_STREQ(PhysicsRagDoll::ToText(static_cast<JointDescription::Type>(7)), "none");
}

TEST(PhysicsRagDollFrames, ABodyTakesItsParentsAxesHalfWayAndIsNeverMirrored) {
    Coords parent = Coords::RotationY(0.5f);
    parent.origin = Vec3(1, 2, 3);
    parent.zAxis = -parent.zAxis;  // mirrored
    const Coords frame = PhysicsRagDoll::GetRigidBodyCoords(parent, Coords::Translation(Vec3(3, 2, 1)));
    EXPECT_FALSE(frame.IsMirrored());
    EXPECT_EQ(frame.origin, Vec3(2, 2, 2));
    EXPECT_EQ(frame.xAxis, parent.xAxis);
    EXPECT_EQ(frame.yAxis, -parent.yAxis);
}

// A description made from the chain's pose under a moved, turned mesh is the one the chain was
// written with, and its frame is where the rag doll puts that body.
TEST(RigidBodyDescriptionInit, ABodyDescribedFromAPoseSpansItsBones) {
    ChainSkeleton skeleton(1, Vec3(1, 1, 1));
    Coords mesh = Coords::RotationY(0.7f);
    mesh.origin = Vec3(4, 20, -3);
    RigidBodyDescription description;
    description.parentName = ChainSkeleton::BoneName(0);
    description.childName = ChainSkeleton::BoneName(1);
    Coords body;
    description.Init(mesh, skeleton, body);
    EXPECT_LT((body.origin - mesh.TransformPoint(Vec3(0.5f, 0, 0))).Length(), 1e-5f);
    EXPECT_LT((body.xAxis - mesh.xAxis).Length(), 1e-5f);
    const RigidBodyDescription& written = skeleton.bodies_[0];
    EXPECT_LT((description.parentCoords.origin - written.parentCoords.origin).Length(), 1e-5f);
    EXPECT_LT((description.childCoords.origin - written.childCoords.origin).Length(), 1e-5f);
    EXPECT_LT((description.childCoords.xAxis - Vec3(1, 0, 0)).Length(), 1e-5f);
    EXPECT_TRUE((description.extents - Vec3(0.5f, 0.15f, 0.15f)).Length() < 1e-6f && description.collides);
}

// The turn between two frames as headings of the second one's x axis in the first one's planes.
TEST(RigidBodyDescriptionAngles, TurnsAreReadInTheFirstFramesPlanesAndSmallLeansAreNone) {
    Coords a = Coords::RotationX(0.3f);
    a.origin = Vec3(5, 6, 7);
    const auto angles = [&a](const Coords& turn) { return RigidBodyDescription::GetRotationAngles(a, a * turn); };
    // Each heading takes the sign of the turned axis' lean out of a's x axis.
    const Vec3 aboutY = angles(Coords::RotationY(0.5f));
    const Vec3 leanY = Coords::RotationY(0.5f).xAxis;
    EXPECT_NEAR(aboutY.y, std::copysign(0.5f, leanY.z), 1e-4f);
    EXPECT_EQ(aboutY.z, 0.0f);
    const Vec3 aboutZ = angles(Coords::RotationZ(-0.4f));
    EXPECT_NEAR(aboutZ.z, std::copysign(0.4f, Coords::RotationZ(-0.4f).xAxis.y), 1e-4f);
    EXPECT_EQ(aboutZ.y, 0.0f);
    EXPECT_EQ(angles(Coords::RotationY(2.5f)).y, std::copysign(2.5f, Coords::RotationY(2.5f).xAxis.z));
    // A lean under 0.1 counts as none; an axis straight across a plane has no heading in it.
    EXPECT_EQ(angles(Coords::RotationY(0.05f)), Vec3());
    const Vec3 across = angles(Coords::RotationZ(1.5707964f));
    EXPECT_EQ(across.y, 0.0f);
    EXPECT_NEAR(std::fabs(across.z), 1.5707964f, 1e-3f);
    EXPECT_EQ(angles(Coords::RotationX(1.0f)), Vec3());  // a turn about x moves no x axis
    Coords upright;                                      // x axis exactly along y: nothing of it in the x-z plane
    upright.xAxis = Vec3(0, 1, 0);
    upright.yAxis = Vec3(-1, 0, 0);
    const Vec3 straightUp = RigidBodyDescription::GetRotationAngles(Coords::Identity, upright);
    EXPECT_EQ(straightUp.y, 0.0f);
    EXPECT_NEAR(straightUp.z, 1.5707964f, 1e-5f);
}

TEST_F(PhysicsRagDollTest, ThePoseComesBackAsItWentInUnderARotatedScaledActor) {
    auto record = std::make_shared<SkeletonRecord>();
    auto skeleton = std::make_unique<ChainSkeleton>(3, Vec3(2, 3, 4), record);
    skeleton->joints_[1].jointConnection = 0;  // at its first body's parent bone
    const std::map<Name, Coords> bones = skeleton->bones_;
    Coords frame = Coords::RotationY(0.7f);
    frame.origin = Vec3(4, 20, -3);
    RagDollTestEntity* actor = Start(std::move(skeleton), frame);
    EXPECT_EQ(record->stops, 1);
    PhysicsRagDoll& doll = *actor->GetRagDoll();
    ASSERT_EQ(doll.GetRigidBodies().size(), 3u);
    EXPECT_EQ(doll.GetNumJoints(), 2);
    EXPECT_LT((doll.GetRigidBodies()[0].description.extents - Vec3(1.0f, 0.3f, 0.4f)).Length(), 1e-6f);
    // The first body lies between the first two bones, scaled, in the actor's region.
    EXPECT_LT((doll.GetRigidBodyPosition(0) - frame.TransformPoint(Vec3(1, 0, 0))).Length(), 1e-4f);
    // Both joints sit at the bone b1 their bodies share (the first's child, the second's parent).
    for (const dBodyID body : {doll.GetRigidBodies()[0].body, doll.GetRigidBodies()[2].body}) {
        dVector3 anchor;
        dJointGetBallAnchor(dBodyGetJoint(body, 0), anchor);
        EXPECT_LT((Vec3(float(anchor[0]), float(anchor[1]), float(anchor[2])) - frame.TransformPoint(Vec3(2, 0, 0))).Length(), 1e-4f);
    }

    doll.UpdateGameObjectFromSimulation();
    ASSERT_EQ(record->posed.size(), 4u);
    for (const auto& [bone, coords] : bones) {
        const Coords& back = record->posed.at(bone);
        for (const auto& [a, b] : {std::pair{back.origin, coords.origin}, std::pair{back.xAxis, coords.xAxis},
                                   std::pair{back.zAxis, coords.zAxis}})
            EXPECT_LT((a - b).Length(), 1e-4f);
    }
    // A body gone to no finite place is reported, and its bones hang off the actor's box instead.
    dBodySetPosition(doll.GetRigidBodies()[0].body, NAN, NAN, NAN);
    test::LogCapture log;
    doll.UpdateGameObjectFromSimulation();
    EXPECT_TRUE(log.Contains(LogPriority::Info,
                             "Invalid rigid body data in rag doll. Body 0 of chain.msh: <nan, nan, nan>\n "
                             "b0: <-1.000000, 0.000000, 0.000000>\n b1: <1.000000, 0.000000, 0.000000>\n"));
    EXPECT_TRUE(record->posed.at(ChainSkeleton::BoneName(0)).origin.IsValid());
}

TEST_F(PhysicsRagDollTest, AThreeBodyChainFallsTouchesOnceAndSettlesWithAFinitePose) {
    auto record = std::make_shared<SkeletonRecord>();
    auto skeleton = std::make_unique<ChainSkeleton>(3, Vec3(1, 1, 1), record);
    Coords frame = Coords::Rotation(Vec3(1, 0, 1) * (1.0f / std::sqrt(2.0f)), 0.6f);
    frame.origin = Vec3(0, 3, 0);
    RagDollTestEntity* actor = Start(std::move(skeleton), frame);
    const PhysicsRagDoll& doll = *actor->GetRagDoll();

    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_FALSE(doll.HasCollided());  // still falling: one box query a step, no contacts
    EXPECT_EQ(ground.refiled, 1);      // its level files it again where its bodies went
    const int steps = Run(actor) + 1;
    EXPECT_LT(steps, 1000);
    // Touching the ground disturbs it, at most once in an interval.
    EXPECT_GE(ground.splashes.size(), 1u);
    EXPECT_LE(ground.splashes.size(), size_t(steps) * 20 / PhysicsObject::kDisturbanceInterval + 1);
    EXPECT_EQ(ground.splashes, std::vector<int>(ground.splashes.size(), 0));
    EXPECT_TRUE(!actor->IsSimulationEnabled() && actor->collisions > 0 && record->poses > 0);
    for (const auto& [bone, coords] : record->posed) {
        EXPECT_TRUE(coords.origin.IsValid());
        // In the actor's space: the bones lie on the ground, 3 below the actor, within a box's height.
        const float height = frame.TransformPoint(coords.origin).y;
        EXPECT_TRUE(height > -0.05f && height < 0.35f) << height;
    }
    // The joints held: neighbouring bones written by two bodies stay a unit apart.
    for (int i = 0; i < 3; ++i) {
        const float gap = (record->posed.at(ChainSkeleton::BoneName(i + 1)).origin - record->posed.at(ChainSkeleton::BoneName(i)).origin).Length();
        EXPECT_NEAR(gap, 1.0f, 0.05f);
    }
}

TEST_F(PhysicsRagDollTest, DebuggingDrawsEachBodyWithItsAxesAndTheContactsOnceTouching) {
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    engine.EnableDebugging(true);
    RagDollTestEntity* actor = Start(std::make_unique<ChainSkeleton>(3, Vec3(1, 1, 1)), Coords::Translation(Vec3(0, 1, 0)));
    size_t before = debug.GetNumQueued();
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_EQ(debug.GetNumQueued() - before, 3u * 4u);  // a box and three axes a body, no contacts yet
    for (int steps = 0; !actor->GetRagDoll()->HasCollided() && steps < 100; ++steps)
        engine.Simulate(centre, engine.GetStepSize());
    before = debug.GetNumQueued();
    engine.Simulate(centre, engine.GetStepSize());
    EXPECT_GT(debug.GetNumQueued() - before, 3u * 4u);
    Singleton<DebugRenderManager>::Destroy();
}

TEST_F(PhysicsRagDollTest, ABreakableJointIsMadeAsItsChanceSays) {
    SeedRand15(7);
    for (const auto& [chance, joints] : {std::pair{100, 0}, std::pair{0, 2}}) {
        auto skeleton = std::make_unique<ChainSkeleton>(3, Vec3(1, 1, 1));
        for (JointDescription& joint : skeleton->joints_) {
            joint.breakable = true;
            joint.breakChance = chance;
        }
        EXPECT_EQ(Start(std::move(skeleton), Coords::Translation(Vec3(0, 5, 0)))->GetRagDoll()->GetNumJoints(), joints);
    }
    // A half chance over many joints leaves out some and keeps some.
    auto skeleton = std::make_unique<ChainSkeleton>(41, Vec3(1, 1, 1));
    for (JointDescription& joint : skeleton->joints_) {
        joint.breakable = true;
        joint.breakChance = 50;
    }
    const int made = Start(std::move(skeleton), Coords::Translation(Vec3(0, 5, 0)))->GetRagDoll()->GetNumJoints();
    EXPECT_TRUE(made > 5 && made < 35) << made;
}

// A two-body chain high in the air whose second body is kicked: a ball joint lets it bend, while
// a hinge, a universal joint and a fixed joint hold their initial angle (and a fixed one its length).
TEST_F(PhysicsRagDollTest, JointsOtherThanBallsHoldTheirInitialAngle) {
    struct Case {
        JointDescription::Type type;
        bool holds;
    };
    for (const Case& test : {Case{JointDescription::kBall, false}, Case{JointDescription::kHinge, true},
                             Case{JointDescription::kUniversal, true}, Case{JointDescription::kFixed, true}}) {
        SCOPED_TRACE(PhysicsRagDoll::ToText(test.type));
        auto skeleton = std::make_unique<ChainSkeleton>(2, Vec3(1, 1, 1));
        skeleton->joints_[0].jointType = test.type;
        skeleton->joints_[0].jointAxis0 = JointDescription::kAxisY;
        RagDollTestEntity* actor = Start(std::move(skeleton), Coords::Translation(Vec3(0, 50, 0)));
        PhysicsRagDoll& doll = *actor->GetRagDoll();
        ASSERT_EQ(doll.GetNumJoints(), 1);
        if (test.type == JointDescription::kHinge) {  // it turns about its first body's y axis, as described
            dVector3 along;
            dJointGetHingeAxis(dBodyGetJoint(doll.GetRigidBodies()[0].body, 0), along);
            Coords body;
            PhysicsObject::GetBodyCoords(doll.GetRigidBodies()[0].body, body);
            EXPECT_LT((Vec3(float(along[0]), float(along[1]), float(along[2])) - body.yAxis).Length(), 1e-4f);
        }
        // Pulled away and spun about y and z (a push at a body's centre alone would turn the
        // pair as one).
        doll.SetLinearVelocity(1, Vec3(2, 0, 0));
        EXPECT_TRUE(doll.GetLinearVelocity(ChainSkeleton::BoneName(2)) == Vec3(2, 0, 0) &&
                    doll.GetLinearVelocity(Name()) == Vec3());
        dBodySetAngularVel(doll.GetRigidBodies()[1].body, 0, 3, 3);
        for (int step = 0; step < 25; ++step) engine.Simulate(centre, engine.GetStepSize());
        Coords first, second;
        PhysicsObject::GetBodyCoords(doll.GetRigidBodies()[0].body, first);
        PhysicsObject::GetBodyCoords(doll.GetRigidBodies()[1].body, second);
        const float turn = Dot(first.xAxis, second.xAxis);
        const float length = (second.origin - first.origin).Length();
        EXPECT_TRUE(test.holds ? turn > 0.999f && std::fabs(length - 1.0f) < 0.01f : turn < 0.99f) << turn << " " << length;
        engine.RemoveEntityFromSimulation(actor);
    }
}

// Water stops no rag doll: its contacts call back (for splashes) but make no joint.
TEST_F(PhysicsRagDollTest, ARagDollSinksThroughWaterAndIsToldItTouchedIt) {
    ground.water = true;
    RagDollTestEntity* actor =
        Start(std::make_unique<ChainSkeleton>(3, Vec3(1, 1, 1)), Coords::Translation(Vec3(0, 1, 0)));
    int touchedAt = -1;
    for (int step = 0; step < 60; ++step) {
        const int before = actor->collisions;
        Step();
        // A body's contacts with one surface make one collision a step, however many there are.
        EXPECT_LE(actor->collisions - before, 3) << step;
        if (touchedAt < 0 && actor->collisions > 0) touchedAt = step;
    }
    ASSERT_TRUE(actor->IsSimulationEnabled());  // still falling, not at rest on the surface
    EXPECT_TRUE(actor->GetRagDoll()->HasCollided() && touchedAt >= 0);
    EXPECT_LT(actor->GetRagDoll()->GetRigidBodyPosition(0).y, -2.0f);
    EXPECT_TRUE(!ground.splashes.empty() && ground.splashes == std::vector<int>(ground.splashes.size(), 3));
}

// A rag doll that never comes to rest (drifting where nothing pulls it) ends after its thousandth
// step; one whose bodies once fell too fast to be saved counts them at rest from then on.
TEST_F(PhysicsRagDollTest, ARagDollThatNeverRestsEndsAfterAThousandSteps) {
    for (const auto& [fall, steps] : {std::pair{0.0f, 1001}, {-31.0f, PhysicsRagDoll::kRestSteps}}) {
        RagDollTestEntity* actor =
            Start(std::make_unique<ChainSkeleton>(3, Vec3(1, 1, 1)), Coords::Translation(Vec3(0, 50, 0)));
        actor->SetGravityEnabled(false);
        actor->GetRagDoll()->SetLinearVelocity(Vec3(0, fall, 0));
        Step();
        actor->GetRagDoll()->SetLinearVelocity(Vec3(0, 0, 5));
        EXPECT_EQ(Run(actor) + 1, steps) << fall;
    }
}

// Bodies that play a fall sound cue it at the rag doll's first touch of the ground, and a splash at
// its first touch of water, even after the fall; nothing more however often they touch.
TEST_F(PhysicsRagDollTest, AFallAndASplashAreEachCuedOnce) {
    auto skeleton = std::make_unique<ChainSkeleton>(3, Vec3(1, 1, 1));
    for (RigidBodyDescription& body : skeleton->bodies_) body.playFallSound = true;
    RagDollTestEntity* actor = Start(std::move(skeleton), Coords::Translation(Vec3(0, 1, 0)));
    for (int step = 0; step < 100 && actor->collisions == 0; ++step) engine.Simulate(centre, engine.GetStepSize());
    for (int step = 0; step < 5; ++step) engine.Simulate(centre, engine.GetStepSize());
    EXPECT_EQ(actor->cues, std::vector<PhysicsSurface>{PhysicsSurface::None});
    ground.water = true;
    for (int step = 0; step < 10; ++step) engine.Simulate(centre, engine.GetStepSize());
    EXPECT_EQ(actor->cues, (std::vector<PhysicsSurface>{PhysicsSurface::None, PhysicsSurface::Water}));
}

// A contact a quarter deep, the deepest a body's box keeps, makes no joint; a shallower one does.
// Touching the ground disturbs it by the first body's speeds, once an interval; touching another
// entity does not.
TEST_F(PhysicsRagDollTest, AContactAQuarterDeepMakesNoJoint) {
    PhysicsRagDoll& doll =
        *Start(std::make_unique<ChainSkeleton>(1, Vec3(1, 1, 1)), Coords::Translation(Vec3(0, 0.05f, 0)))->GetRagDoll();
    doll.SetLinearVelocity(0, Vec3(3, 0, 0));
    doll.SetAngularVelocity(Vec3(0, 0, 4));
    GameClock::Get().AdvanceBy(1000.0);
    for (const auto& [depth, joined] : {std::pair{0.25f, false}, {0.2f, true}}) {
        ground.depth = depth;
        doll.FindCollisions();
        EXPECT_EQ(dBodyGetNumJoints(doll.GetRigidBodies()[0].body), joined ? 4 : 0) << depth;  // one a corner
        dJointGroupEmpty(engine.GetContactGroup());
    }
    Entity stone;
    ground.other = &stone;
    GameClock::Get().AdvanceBy(1000.0);
    doll.FindCollisions();
    EXPECT_EQ(ground.strengths, std::vector<float>{5.0f});
}

TEST_F(PhysicsRagDollTest, AMeshWithoutBodiesRestsAtOnceAndEndsAfterTheRestSteps) {
    RagDollTestEntity* actor = Start(std::make_unique<ChainSkeleton>(0, Vec3(1, 1, 1)), Coords::Translation(Vec3(0, 5, 0)));
    EXPECT_TRUE(actor->GetRagDoll()->WasMaxFallVelocityReached());
    EXPECT_EQ(Run(actor), PhysicsRagDoll::kRestSteps);
    EXPECT_EQ(ground.boxQueries, 0);
    // Nor does one whose bodies collide with nothing touch the ground it lies on.
    auto ghost = std::make_unique<ChainSkeleton>(1, Vec3(1, 1, 1));
    ghost->bodies_[0].collides = false;
    PhysicsRagDoll& lying = *Start(std::move(ghost), Coords::Translation(Vec3(0, 0.05f, 0)))->GetRagDoll();
    lying.FindCollisions();
    EXPECT_FALSE(lying.HasCollided());
}

}  // namespace
}  // namespace GAME
