// Rigid bodies against the terrain's own collision contacts: a box dropped on a sloping terrain
// comes to rest on its surface.

#include "TestTerrain.h"

#include "core/OBBox.h"
#include "core/Singleton.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysicsWorld.h"
#include "world/Region.h"

#include <gtest/gtest.h>

namespace GAME::test {
namespace {

// The terrain is the whole world; the simulation centre is the region's origin.
class TerrainWorld : public PhysicsWorld {
public:
    explicit TerrainWorld(const TerrainBase& terrain) : terrain_(terrain) {}
    int FindCollisions(Entity* entity, const WorldVec3&, CollisionContact* contacts, int max) override {
        const OBBox box{Vec3(0.5f, 0.5f, 0.5f), entity->GetCoords().GetRegionCoords()};
        return terrain_.FindCollisions(box, contacts, max, PhysicsSurface::None);
    }
    void SetCoords(Entity* entity, const WorldCoords& coords) override { entity->SetCoords(coords); }
    void CreatePointDisturbance(const WorldVec3&, float, float, int) override {}

private:
    const TerrainBase& terrain_;
};

TEST(TerrainPhysics, ABoxDroppedOnASlopeComesToRestOnTheSurface) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(33, 33, [](unsigned x, unsigned) { return 3.0f + 0.1f * float(x); }));
    TerrainWorld world(terrain);
    Region region(nullptr, 0, "Terrain", ABBox(Vec3(-100, -100, -100), Vec3(100, 100, 100)), IntVec3(), RegionId(1, 0, 0, 0));
    const WorldVec3 centre(&region, Vec3());
    PhysicsEngine engine;
    engine.Initialize(&world);
    engine.Simulate(centre, 0.0f);

    ObjectManager* objects = Singleton<ObjectManager>::Get();
    auto* box = static_cast<Entity*>(objects->CreateObject("Entity"));
    box->SetCoords(WorldCoords(&region, Coords::Translation(Vec3(16, 8, 16))));
    box->SetPhysicsType(Entity::PhysicsType::RigidBody);
    ASSERT_TRUE(engine.AddEntityToSimulation(box));
    int steps = 0;
    for (; box->IsSimulationEnabled() && steps < 500; ++steps) engine.Simulate(centre, engine.GetStepSize());
    EXPECT_FALSE(box->IsSimulationEnabled());
    const Vec3 rest = box->GetCoords().GetRegionCoords().origin;
    const float surface = 3.0f + 0.1f * rest.x;
    // Resting on a face or tipped onto an edge, the centre is half a side to half a diagonal up.
    EXPECT_GT(rest.y - surface, 0.45f);
    EXPECT_LT(rest.y - surface, 0.75f);

    box->CleanupPhysicsObjects();
    objects->DestroyObjectEx(box, __FILE__, __LINE__);
    objects->DestroyPendingObjects(1);
}

}  // namespace
}  // namespace GAME::test
