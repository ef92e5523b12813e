// 200 unit boxes and 10 rag dolls (chains of three bodies joined by two ball joints) dropped a
// little onto flat ground and stepped for ten 0.02 s steps: through the physics engine (entities,
// rigid bodies with merged contacts, rag dolls with collision boxes) against the same bodies,
// joints and ground contacts driven by direct library calls. The ratio is the engine's overhead
// per body and step.

#include "core/OBBox.h"
#include "core/Singleton.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionTests.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysicsRagDoll.h"
#include "physics/PhysicsWorld.h"
#include "physics/RagDollSkeleton.h"
#include "support/FlatGround.h"
#include "world/Region.h"

#include <benchmark/benchmark.h>
#include <ode/ode.h>

#include <memory>
#include <string>
#include <vector>

namespace GAME {

// Three bodies along x, each a unit long between two bones, joined by ball joints at the bones.
class BenchSkeleton : public RagDollSkeleton {
public:
    static constexpr int kBodies = 3;
    BenchSkeleton() {
        for (int i = 0; i < kBodies; ++i) {
            RigidBodyDescription body;
            body.parentName = Name::Create(("b" + std::to_string(i)).c_str());
            body.childName = Name::Create(("b" + std::to_string(i + 1)).c_str());
            body.parentCoords = Coords::Translation(Vec3(-0.5f, 0, 0));
            body.childCoords = Coords::Translation(Vec3(0.5f, 0, 0));
            body.extents = Vec3(0.5f, 0.1f, 0.1f);
            body.collides = true;
            bodies_.push_back(body);
            if (i + 1 < kBodies) {
                JointDescription joint;
                joint.rigidBody0 = i;
                joint.rigidBody1 = i + 1;
                joint.jointType = JointDescription::kBall;
                joint.jointConnection = 1;
                joints_.push_back(joint);
            }
        }
    }
    int GetNumRigidBodies() const override { return kBodies; }
    const RigidBodyDescription& GetRigidBody(int index) const override { return bodies_[size_t(index)]; }
    int GetNumJoints() const override { return int(joints_.size()); }
    const JointDescription& GetJoint(int index) const override { return joints_[size_t(index)]; }
    Coords GetBoneCoords(const Name& bone) const override {
        for (int i = 0; i < kBodies; ++i) {
            if (bodies_[size_t(i)].parentName == bone) return Coords::Translation(Vec3(float(i), 0, 0));
            if (bodies_[size_t(i)].childName == bone) return Coords::Translation(Vec3(float(i + 1), 0, 0));
        }
        return Coords();
    }
    void SetPose(const mem::vector<Bone>&) override {}
    Vec3 GetScale() const override { return Vec3(1, 1, 1); }
    OBBox GetRegionSpaceBox() const override { return OBBox(); }
    std::string GetMeshName() const override { return "bench"; }
    void StopAnimations() override {}

private:
    mem::vector<RigidBodyDescription> bodies_;
    mem::vector<JointDescription> joints_;
};

class BenchRagDoll : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    void CreatePhysicsObject(PhysicsEngine& engine) override {
        SetPhysicsObject(std::make_unique<PhysicsRagDoll>(this, std::make_unique<BenchSkeleton>(), engine));
    }
};
GAME_RTTI_DEFINE_CLASS(BenchRagDoll, Entity);

namespace {

constexpr int kBoxes = 200;
constexpr int kRagDolls = 10;
const Vec3 kLimbHalfSize(0.5f, 0.1f, 0.1f);

// The first bone of a rag doll, resting its chain just on the ground beyond the boxes.
Vec3 RagDollPosition(int index) { return Vec3(static_cast<float>(index) * 4.0f, 0.095f, 25.0f); }
constexpr int kSteps = 10;
constexpr int kMaxContacts = 16;
const Vec3 kHalfSize(0.5f, 0.5f, 0.5f);

Vec3 BoxPosition(int index) { return Vec3(static_cast<float>(index % 20) * 2.0f, 0.55f, static_cast<float>(index / 20) * 2.0f); }

int GroundContacts(const OBBox& box, CollisionContact* contacts, int max = kMaxContacts) {
    return test::FlatGroundContacts(box, contacts, max);
}

class GroundWorld : public PhysicsWorld {
public:
    int FindCollisions(Entity* entity, const WorldVec3&, CollisionContact* contacts, int) override {
        return GroundContacts(OBBox{kHalfSize, entity->GetCoords().GetRegionCoords()}, contacts);
    }
    int FindCollisions(Entity*, const OBBox& box, const WorldVec3&, CollisionContact* contacts, int max) override {
        return GroundContacts(box, contacts, max);
    }
    void FindCollisions(Entity*, mem::vector<CollisionBox>& boxes, const WorldVec3&) override {
        for (CollisionBox& box : boxes) {
            CollisionContact contacts[kMaxContacts];
            const int count = GroundContacts(box.GetOBBox(), contacts);
            for (int i = 0; i < count; ++i) box.AddContact(contacts[i]);
        }
    }
    void SetCoords(Entity* entity, const WorldCoords& coords) override { entity->SetCoords(coords); }
    void CreatePointDisturbance(const WorldVec3&, float, float, int) override {}
};

void BM_EngineBoxes(benchmark::State& state) {
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    Region region(nullptr, 0, "Bench", ABBox(Vec3(-100, -100, -100), Vec3(100, 100, 100)), IntVec3(), RegionId(1, 0, 0, 0));
    const WorldVec3 centre(&region, Vec3());
    GroundWorld ground;
    PhysicsEngine engine;
    engine.Initialize(&ground);
    engine.Simulate(centre, 0.0f);
    std::vector<Entity*> boxes;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kBoxes; ++i) {
            auto* box = static_cast<Entity*>(objects->CreateObject("Entity"));
            box->SetCoords(WorldCoords(&region, Coords::Translation(BoxPosition(i))));
            box->SetPhysicsType(Entity::PhysicsType::RigidBody);
            boxes.push_back(box);
        }
        for (int i = 0; i < kRagDolls; ++i) {
            auto* doll = static_cast<Entity*>(objects->CreateObject("BenchRagDoll"));
            doll->SetCoords(WorldCoords(&region, Coords::Translation(RagDollPosition(i))));
            doll->SetPhysicsType(Entity::PhysicsType::RagDoll);
            boxes.push_back(doll);
        }
        state.ResumeTiming();
        for (Entity* box : boxes) engine.AddEntityToSimulation(box);
        for (int step = 0; step < kSteps; ++step) engine.Simulate(centre, engine.GetStepSize());
        engine.RemoveAllEntities();
        state.PauseTiming();
        for (Entity* box : boxes) objects->DestroyObjectEx(box, __FILE__, __LINE__);
        objects->DestroyPendingObjects(kBoxes + kRagDolls);
        boxes.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (kBoxes + kRagDolls * BenchSkeleton::kBodies) * kSteps);
}
BENCHMARK(BM_EngineBoxes)->Unit(benchmark::kMillisecond);

void BM_RawBoxes(benchmark::State& state) {
    dInitODE2(0);
    dWorldID world = dWorldCreate();
    dJointGroupID contactGroup = dJointGroupCreate(0);
    dWorldSetGravity(world, 0.0, -9.81, 0.0);
    dWorldSetERP(world, 0.2);
    dWorldSetCFM(world, 1e-5);
    dWorldSetQuickStepNumIterations(world, 8);
    std::vector<dBodyID> bodies;
    std::vector<dBodyID> limbs;
    dJointGroupID dollJoints = dJointGroupCreate(0);
    auto ground = [&](dBodyID body, const Vec3& halfSize) {
        Coords frame;
        PhysicsObject::GetBodyCoords(body, frame);
        CollisionContact contacts[kMaxContacts];
        const int count = GroundContacts(OBBox{halfSize, frame}, contacts);
        for (int c = 0; c < count; ++c) {
            dContact joint{};
            joint.surface.mu = dInfinity;
            for (int k = 0; k < 3; ++k) {
                joint.geom.pos[k] = (&contacts[c].position.x)[k];
                joint.geom.normal[k] = (&contacts[c].normal.x)[k];
            }
            joint.geom.depth = contacts[c].depth;
            dJointAttach(dJointCreateContact(world, contactGroup, &joint), body, nullptr);
        }
    };
    for (auto _ : state) {
        for (int i = 0; i < kBoxes; ++i) {
            dBodyID body = dBodyCreate(world);
            dMass mass;
            dMassSetBox(&mass, 100.0, 0.5, 0.5, 0.5);
            dBodySetMass(body, &mass);
            const Vec3 position = BoxPosition(i);
            dBodySetPosition(body, position.x, position.y, position.z);
            bodies.push_back(body);
        }
        for (int i = 0; i < kRagDolls; ++i) {
            for (int b = 0; b < BenchSkeleton::kBodies; ++b) {
                dBodyID limb = dBodyCreate(world);
                dMass mass;
                dMassSetBox(&mass, 100.0, 0.5, 0.1, 0.1);
                dBodySetMass(limb, &mass);
                const Vec3 position = RagDollPosition(i) + Vec3(float(b) + 0.5f, 0, 0);
                dBodySetPosition(limb, position.x, position.y, position.z);
                if (b > 0) {
                    dJointID joint = dJointCreateBall(world, dollJoints);
                    dJointAttach(joint, limbs.back(), limb);
                    dJointSetBallAnchor(joint, position.x - 0.5f, position.y, position.z);
                }
                limbs.push_back(limb);
            }
        }
        for (int step = 0; step < kSteps; ++step) {
            for (dBodyID body : bodies) ground(body, kHalfSize);
            for (dBodyID limb : limbs) ground(limb, kLimbHalfSize);
            dWorldQuickStep(world, 0.02);
            dJointGroupEmpty(contactGroup);
        }
        for (dBodyID body : bodies) dBodyDestroy(body);
        for (dBodyID limb : limbs) dBodyDestroy(limb);
        dJointGroupEmpty(dollJoints);
        bodies.clear();
        limbs.clear();
    }
    state.SetItemsProcessed(state.iterations() * (kBoxes + kRagDolls * BenchSkeleton::kBodies) * kSteps);
    dJointGroupDestroy(dollJoints);
    dJointGroupDestroy(contactGroup);
    dWorldDestroy(world);
    dCloseODE();
}
BENCHMARK(BM_RawBoxes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace GAME
