// The world camera: the orbit offset, easing (a share of the way under ten units, a jump beyond),
// the camera offset after easing, a target outside every region, and the projection and picking
// ray of the region camera pointing at the target.

#include "world/WorldCamera.h"

#include "FakeWorld.h"
#include "core/MathUtil.h"
#include "core/Singleton.h"
#include "render/Viewport.h"
#include "sound/SoundManager.h"

#include <gtest/gtest.h>

#include <tuple>

namespace GAME {
namespace {

class TestCamera : public WorldCamera {
public:
    WorldVec3 GetTargetPosition() const override { return target; }
    void ProcessInput() override {}
    Vec3 Position() const { return GetRegionCamera().GetCoords().origin; }

    WorldVec3 target;
};

void ExpectNear(const Vec3& a, const Vec3& b, float tolerance = 1e-3f) { EXPECT_LE((a - b).Length(), tolerance); }

class WorldCameraTest : public ::testing::Test {
protected:
    test::FakeWorld world;
    Region* region = world.Add("Field", ABBox(Vec3(), Vec3(500, 500, 500)), IntVec3());
    TestCamera camera;
};

TEST_F(WorldCameraTest, OrbitOffsetFollowsYawAndPitch) {
    camera.SetCameraDistance(20.0f);
    for (const auto& [yaw, pitch, offset] :  // degrees
         {std::tuple{0.0f, 0.0f, Vec3(0, 0, 20)}, {0.0f, 90.0f, Vec3(0, 20, 0)}, {90.0f, 0.0f, Vec3(20, 0, 0)}}) {
        camera.SetCameraYaw(DegreesToRadians(yaw));
        camera.SetCameraPitch(DegreesToRadians(pitch));
        ExpectNear(camera.GetOffsetFromTarget(), offset);
    }
}

TEST_F(WorldCameraTest, EasingMovesAShareOfTheWayUnderTenUnitsAndJumpsBeyond) {
    camera.SetCameraDistance(20.0f);
    camera.SetCameraYaw(0.0f);
    camera.SetCameraPitch(0.0f);
    camera.target = WorldVec3(region, Vec3(0, 0, 0));
    camera.Update();  // no acceleration: at the view position at once
    ExpectNear(camera.Position(), Vec3(0, 0, 20));

    camera.SetAcceleration(0.5f);
    for (const auto& [x, seen] : {std::pair{4.0f, 2.0f}, {12.0f, 12.0f}}) {  // half way; from 10 away, a jump
        camera.target = WorldVec3(region, Vec3(x, 0, 0));
        camera.Update();
        ExpectNear(camera.Position(), Vec3(seen, 0, 20));
    }

    // The offset comes after easing: the eased position moves by it whole.
    camera.GetCameraOffset() = Vec3(0, 5, 0);
    camera.target = WorldVec3(region, Vec3(18, 0, 0));
    camera.Update();
    ExpectNear(camera.Position(), Vec3(15, 5, 20));
}

TEST_F(WorldCameraTest, TargetWithoutRegionOnlyUpdatesTheProjection) {
    camera.target = WorldVec3(region, Vec3(1, 2, 3));
    camera.Update();
    const Vec3 before = camera.Position();
    camera.target = WorldVec3();
    camera.SetCameraFOV(1.0f);
    camera.SetCameraFarPlane(99.0f);
    camera.Update();
    ExpectNear(camera.Position(), before);
    EXPECT_EQ(camera.GetRegionCamera().GetFOV(), 1.0f);
    EXPECT_EQ(camera.GetRegionCamera().GetFarPlane(), 99.0f);
}

TEST_F(WorldCameraTest, TheViewCentreLooksAtTheTarget) {
    camera.target = WorldVec3(region, Vec3(10, 3, -7));
    camera.Update();
    const Viewport viewport(0, 0, 640, 480);
    const Vec2 centre = camera.Project(camera.target, viewport);
    ExpectNear(Vec3(centre.x, centre.y, 0.0f), Vec3(320, 240, 0), 0.5f);
    const WorldRay ray = camera.GetRayThroughImagePoint(Vec2(0.5f, 0.5f), viewport);  // image coordinates 0..1
    ExpectNear(ray.direction, (Vec3(10, 3, -7) - camera.Position()).Unit());
    EXPECT_EQ(camera.GetFrustum(viewport).GetRegion(), region);
    EXPECT_EQ(camera.GetSubFrustum(Vec2(0.25f, 0.25f), Vec2(0.5f, 0.5f), viewport).GetRegion(), region);
    EXPECT_EQ(camera.GetCoords().GetRegion(), region);
    EXPECT_EQ(camera.GetCoords().GetOrigin().GetRegionPosition(), camera.Position());

    // The listener stands at the target raised by the sound manager's lift, facing the view
    // along the ground.
    SoundManager& sound = *Singleton<SoundManager>::Get();
    sound.SetCameraLerp(2.0f);
    camera.SetListenerPosition();
    EXPECT_EQ(sound.GetEarsPosition().GetRegion(), region);
    ExpectNear(sound.GetEarsPosition().GetRegionPosition(), Vec3(10, 5, -7));
    Vec3 ahead = Vec3(10, 3, -7) - camera.Position();
    ahead.y = 0.0f;
    ExpectNear(sound.GetEarsForward(), ahead.Unit());
    ExpectNear(sound.GetEarsUp(), Vec3(0, -1, 0));
    Singleton<SoundManager>::Destroy();
}

// A view position a subclass gives in another region is placed in the target's region.
TEST_F(WorldCameraTest, AViewPositionElsewhereIsSeenFromTheTargetsRegion) {
    struct Elsewhere : TestCamera {
        WorldVec3 CalculateViewPosition(const WorldVec3&) const override { return WorldVec3(other, Vec3(1, 2, 3)); }
        Region* other = nullptr;
    } elsewhere;
    elsewhere.other = world.Add("Hill", ABBox(Vec3(), Vec3(500, 500, 500)), IntVec3(100, 0, 0));
    elsewhere.target = WorldVec3(region, Vec3(0, 0, 0));
    elsewhere.Update();
    ExpectNear(elsewhere.Position(), Vec3(101, 2, 3));
}

}  // namespace
}  // namespace GAME
