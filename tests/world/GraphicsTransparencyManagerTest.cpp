#include "world/GraphicsTransparencyManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "LevelFixture.h"
#include "core/Singleton.h"
#include "pathing/PathFinder.h"
#include "world/Level.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {
namespace {

class TransparencyManagerTest : public ::testing::Test {
protected:
    ~TransparencyManagerTest() override {
        world.Unload();
        Singleton<PathFinder>::Destroy();
    }
    Region* AddRegion(const std::string& name, int x) {
        return test::AddLoadedRegion(world, name, IntVec3(x, 0, 0), 10.0f);
    }
    void Expect(float a, float b, float c) {
        EXPECT_NEAR(manager.GetRegionBlendAmount(first), a, 1e-5f);
        EXPECT_NEAR(manager.GetRegionBlendAmount(neighbour), b, 1e-5f);
        EXPECT_NEAR(manager.GetRegionBlendAmount(other), c, 1e-5f);
    }

    World world;
    Region* first = AddRegion("first", 0);
    Region* neighbour = AddRegion("neighbour", 100);
    Region* other = AddRegion("other", 200);
    GraphicsTransparencyManager manager;
};

// The target's region and the regions its portals lead to fade in over 350 ms; the others fade
// out as fast once the target leaves.
TEST_F(TransparencyManagerTest, RegionsFadeInNearTheTargetAndOutAwayFromIt) {
    first->CreatePortal()->SetConnectedRegionId(neighbour->GetId());
    EXPECT_EQ(manager.GetRegionBlendAmount(first), 0.0f);  // nothing updated yet

    for (const auto& [target, ms, a, b, c] : {std::tuple{first, 175, 0.5f, 0.5f, 0.0f},
                                              {first, 350, 1.0f, 1.0f, 0.0f},
                                              {other, 175, 0.5f, 0.5f, 0.5f},
                                              {other, 1000, 0.0f, 0.0f, 1.0f},
                                              {nullptr, 175, 0.0f, 0.0f, 1.0f}}) {  // no target region: as it was
        manager.SetTargetPosition(WorldVec3(target, Vec3()));
        manager.UpdateBlendAmounts(world, ms);
        Expect(a, b, c);
    }
    // No region, a region the amounts do not reach yet.
    EXPECT_EQ(manager.GetRegionBlendAmount(nullptr), 0.0f);
    EXPECT_EQ(manager.GetRegionBlendAmount(AddRegion("late", 300)), 0.0f);
}

// A target whose level is not loaded makes the frame as underground does: only its own region
// fades in.
TEST_F(TransparencyManagerTest, WithoutAnOutdoorLevelOnlyTheTargetRegionFadesIn) {
    first->CreatePortal()->SetConnectedRegionId(neighbour->GetId());
    Region* bare = world.GetRegion(world.AddRegion("bare", IntVec3(400, 0, 0), ABBox(), RegionId()));
    bare->CreatePortal()->SetConnectedRegionId(first->GetId());
    manager.SetTargetPosition(WorldVec3(bare, Vec3()));
    manager.UpdateBlendAmounts(world, 175);
    EXPECT_NEAR(manager.GetRegionBlendAmount(bare), 0.5f, 1e-5f);
    Expect(0.0f, 0.0f, 0.0f);
}

}  // namespace
}  // namespace GAME
