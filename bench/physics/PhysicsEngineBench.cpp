// 200 unit boxes dropped a little onto flat ground and stepped for ten 0.02 s steps: through the
// physics engine (entities, rigid bodies, merged contacts) against the same bodies and ground
// contacts driven by direct library calls. The ratio is the engine's overhead per body and step.

#include "core/OBBox.h"
#include "core/Singleton.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "physics/CollisionTests.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysicsWorld.h"
#include "world/Region.h"

#include <benchmark/benchmark.h>
#include <ode/ode.h>

#include <vector>

namespace GAME {
namespace {

constexpr int kBoxes = 200;
constexpr int kSteps = 10;
constexpr int kMaxContacts = 16;
const Vec3 kHalfSize(0.5f, 0.5f, 0.5f);

Vec3 BoxPosition(int index) { return Vec3(static_cast<float>(index % 20) * 2.0f, 0.55f, static_cast<float>(index / 20) * 2.0f); }

int GroundContacts(const OBBox& box, CollisionContact* contacts) {
    static const Vec3 ground[2][3] = {{Vec3(-10, 0, -10), Vec3(-10, 0, 50), Vec3(50, 0, 50)},
                                      {Vec3(-10, 0, -10), Vec3(50, 0, 50), Vec3(50, 0, -10)}};
    int count = 0;
    for (const auto& triangle : ground) count += CollideTriangleOBBox(triangle, box, contacts + count, kMaxContacts - count);
    return count;
}

class GroundWorld : public PhysicsWorld {
public:
    int FindCollisions(Entity* entity, const WorldVec3&, CollisionContact* contacts, int) override {
        return GroundContacts(OBBox{kHalfSize, entity->GetCoords().GetRegionCoords()}, contacts);
    }
    int FindCollisions(Entity*, const OBBox&, const WorldVec3&, CollisionContact*, int) override { return 0; }
    void FindCollisions(Entity*, mem::vector<CollisionBox>&, const WorldVec3&) override {}
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
        state.ResumeTiming();
        for (Entity* box : boxes) engine.AddEntityToSimulation(box);
        for (int step = 0; step < kSteps; ++step) engine.Simulate(centre, engine.GetStepSize());
        engine.RemoveAllEntities();
        state.PauseTiming();
        for (Entity* box : boxes) objects->DestroyObjectEx(box, __FILE__, __LINE__);
        objects->DestroyPendingObjects(kBoxes);
        boxes.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBoxes * kSteps);
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
        for (int step = 0; step < kSteps; ++step) {
            for (dBodyID body : bodies) {
                Coords frame;
                PhysicsObject::GetBodyCoords(body, frame);
                CollisionContact contacts[kMaxContacts];
                const int count = GroundContacts(OBBox{kHalfSize, frame}, contacts);
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
            }
            dWorldQuickStep(world, 0.02);
            dJointGroupEmpty(contactGroup);
        }
        for (dBodyID body : bodies) dBodyDestroy(body);
        bodies.clear();
    }
    state.SetItemsProcessed(state.iterations() * kBoxes * kSteps);
    dJointGroupDestroy(contactGroup);
    dWorldDestroy(world);
    dCloseODE();
}
BENCHMARK(BM_RawBoxes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace GAME
