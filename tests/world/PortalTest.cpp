#include "world/Portal.h"

#include "FakeWorld.h"
#include "TestShapes.h"
#include "core/MathExpect.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/Sphere.h"
#include "core/WorldCoords.h"
#include "core/WorldVec3.h"
#include "pathing/PathFinder.h"
#include "pathing/PathGrid.h"
#include "pathing/PathMesh.h"
#include "world/PortalPathLinker.h"
#include "world/Region.h"
#include "world/World.h"

#include <gtest/gtest.h>

namespace GAME {
namespace {

using test::ExpectNear;

using test::Doorway;

Coords Placement(float yaw, const Vec3& origin) {
    Coords coords = Coords::RotationY(yaw);
    coords.origin = origin;
    return coords;
}

// Two regions joined by a doorway: near's portal faces into near (its +z side in doorway space),
// far's portal faces into far (the -z side). The two sides are placed with different turns and
// offsets, so only the portal frames can carry positions between them.
class PortalTest : public ::testing::Test {
protected:
    PortalTest() {
        near = world.Add("near", ABBox(Vec3(0, 0, 0), Vec3(20, 20, 20)), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0));
        far = world.Add("far", ABBox(Vec3(0, 0, 0), Vec3(20, 20, 20)), IntVec3(500, 0, 0), RegionId(2, 0, 0, 0));
        front = near->CreatePortal();
        front->SetTriangles(Doorway(true));
        front->SetCoords(Placement(0.5f, Vec3(5, 0, 3)));
        back = far->CreatePortal();
        back->SetTriangles(Doorway(false));
        back->SetCoords(Placement(-1.2f, Vec3(-2, 1, 8)));
        Join(front, far, back);
        Join(back, near, front);
    }
    ~PortalTest() override { Singleton<PathFinder>::Destroy(); }

    static void Join(Portal* portal, const Region* region, const Portal* other) {
        portal->SetConnectedRegionId(region->GetId());
        portal->SetConnectedPortalId(other->GetId());
    }
    // The choke frames: doorway space to each region.
    Coords NearChoke() const { return front->GetChokePoint().GetRegionCoords(); }
    Coords FarChoke() const { return back->GetChokePoint().GetRegionCoords(); }

    test::FakeWorld world;
    Region* near = nullptr;
    Region* far = nullptr;
    Portal* front = nullptr;
    Portal* back = nullptr;
};

TEST(Portal, TrianglesGiveAPaddedBoxAndAChokePointAtItsBottomCentre) {
    Portal portal;
    portal.SetTriangles({Portal::Triangle{{Vec3(0, 0, 0), Vec3(2, 0, 0), Vec3(0, 4, 0)}}});
    ExpectNear(portal.GetRegionBoundingBox().halfSize, Vec3(1.1f, 2.1f, 0.1f));
    ExpectNear(portal.GetRegionBoundingBox().coords, Coords::Translation(Vec3(1, 2, 0)));
    ExpectNear(portal.GetChokePoint().GetRegionCoords(), Coords::Translation(Vec3(1, -0.1f, 0)));
    EXPECT_EQ(portal.GetChokePoint().GetRegion(), nullptr);
    // The region box follows the placement; the choke point moves with it.
    portal.SetCoords(Placement(0.5f * Pi, Vec3(10, 0, 0)));
    ExpectNear(portal.GetRegionBoundingBox().coords.origin, Vec3(10, 2, -1));
    ExpectNear(portal.GetChokePoint().GetRegionCoords().origin, Vec3(10, -0.1f, -1));
    EXPECT_TRUE(portal.GetIsOpen());
    EXPECT_TRUE(portal.GetCastsShadows());
    EXPECT_FALSE(portal.GetId().IsNull());
    Singleton<PathFinder>::Destroy();
}

TEST(Portal, WithoutTrianglesNothingHitsIt) {
    Portal portal;
    EXPECT_EQ(portal.GetPlane(), Plane());
    EXPECT_FALSE(portal.IsFrontFacing(Vec3(0, 0, 1)));
    EXPECT_EQ(portal.GetIntersection(Ray(Vec3(0, 0, 1), Vec3(0, 0, -1)), true), Infinity);
    portal.SetTriangles(Doorway(true));
    portal.SetTriangles({});
    EXPECT_EQ(portal.GetIntersection(Ray(Vec3(0, 1, 1), Vec3(0, 0, -1)), true), Infinity);
}

TEST_F(PortalTest, PlacedPortalsAreRegisteredWithThePathFinder) {
    PathFinder* pathFinder = Singleton<PathFinder>::Get();
    EXPECT_EQ(pathFinder->GetNumPortals(), 2u);
    front->SetCoords(Placement(0.1f, Vec3(1, 2, 3)));  // moved: still registered once
    EXPECT_EQ(pathFinder->GetNumPortals(), 2u);
    near->CreatePortal();  // not placed yet
    EXPECT_EQ(pathFinder->GetNumPortals(), 2u);
    near->DestroyPortal(front);
    EXPECT_EQ(pathFinder->GetNumPortals(), 1u);
    EXPECT_EQ(near->GetNumPortals(), 1);
    world.Remove(far);
    EXPECT_EQ(pathFinder->GetNumPortals(), 0u);
}

TEST_F(PortalTest, TransformsRoundTripToIdentity) {
    Coords there, backAgain, reverse;
    Region* region = nullptr;
    ASSERT_TRUE(front->GetFrontToBackCoords(there, region));
    EXPECT_EQ(region, far);
    ASSERT_TRUE(back->GetFrontToBackCoords(backAgain, region));
    EXPECT_EQ(region, near);
    ExpectNear(backAgain * there, Coords::Identity);
    ExpectNear(there * backAgain, Coords::Identity);
    ASSERT_TRUE(front->GetBackToFrontCoords(reverse, region));
    EXPECT_EQ(region, far);  // the connected region, as the forward transform reports it
    ExpectNear(reverse, backAgain);

    // A point keeps its place relative to the two choke frames.
    const Vec3 inDoorway(0.3f, 1.2f, 2.5f);
    ExpectNear(there.TransformPoint(NearChoke().TransformPoint(inDoorway)), FarChoke().TransformPoint(inDoorway),
               1e-4f);
    const Vec3 start(3, 4, -5);
    ExpectNear(backAgain.TransformPoint(there.TransformPoint(start)), start, 1e-4f);
}

TEST_F(PortalTest, EqualChokeFramesGiveIdentityTransforms) {
    back->SetCoords(front->GetCoords());
    Coords there, backAgain;
    Region* region = nullptr;
    ASSERT_TRUE(front->GetFrontToBackCoords(there, region));
    ASSERT_TRUE(front->GetBackToFrontCoords(backAgain, region));
    ExpectNear(there, Coords::Identity);
    ExpectNear(backAgain, Coords::Identity);
}

TEST_F(PortalTest, MissingConnectionsFailWithoutTouchingTheOutputs) {
    Coords out = Coords::Translation(Vec3(1, 2, 3));
    Region* region = near;
    front->SetConnectedPortalId(UniqueId());
    EXPECT_EQ(front->GetConnectedRegion(), far);
    EXPECT_EQ(front->GetConnectedPortal(), nullptr);
    EXPECT_FALSE(front->GetFrontToBackCoords(out, region));
    front->SetConnectedRegionId(RegionId(77, 0, 0, 0));
    EXPECT_EQ(front->GetConnectedRegion(), nullptr);
    EXPECT_FALSE(front->GetBackToFrontCoords(out, region));
    EXPECT_EQ(out, Coords::Translation(Vec3(1, 2, 3)));
    EXPECT_EQ(region, near);
    Portal loose;  // no region, so no world to ask
    loose.SetConnectedRegionId(far->GetId());
    EXPECT_EQ(loose.GetConnectedRegion(), nullptr);
}

TEST_F(PortalTest, ARegionRemovedAndAddedAgainIsFoundByItsId) {
    const UniqueId backId = back->GetId();
    world.Remove(far);
    EXPECT_EQ(front->GetConnectedRegion(), nullptr);
    Region* again = world.Add("far", ABBox(Vec3(), Vec3(20, 20, 20)), IntVec3(500, 0, 0), RegionId(2, 0, 0, 0));
    Portal* side = again->CreatePortal();
    side->SetId(backId);
    EXPECT_EQ(front->GetConnectedRegion(), again);
    EXPECT_EQ(front->GetConnectedPortal(), side);
}

TEST_F(PortalTest, RaysHitOneSidedPortalsOnlyFromTheFront) {
    // In doorway space the ray starts 3 units in front and runs straight through the middle.
    const Coords choke = NearChoke();
    const Ray ray(choke.TransformPoint(Vec3(0, 1, 3)), choke.TransformVector(Vec3(0, 0, -2)));
    EXPECT_TRUE(front->IsFrontFacing(ray.origin));
    EXPECT_NEAR(front->GetIntersection(ray, false), 1.5f, 1e-5f);
    const Ray fromBehind(choke.TransformPoint(Vec3(0, 1, -3)), choke.TransformVector(Vec3(0, 0, 2)));
    EXPECT_FALSE(front->IsFrontFacing(fromBehind.origin));
    EXPECT_EQ(front->GetIntersection(fromBehind, false), Infinity);
    EXPECT_NEAR(front->GetIntersection(fromBehind, true), 1.5f, 1e-5f);
    // Beside the doorway.
    const Ray beside(choke.TransformPoint(Vec3(1.5f, 1, 3)), choke.TransformVector(Vec3(0, 0, -1)));
    EXPECT_EQ(front->GetIntersection(beside, true), Infinity);
}

TEST_F(PortalTest, ARayCarriedThroughThePortalHitsTheRightPointBehindIt) {
    // A target 4 units behind the doorway and 0.5 to the side, in the far region.
    const Vec3 targetInDoorway(0.5f, 1.0f, -4.0f);
    const Sphere target(FarChoke().TransformPoint(targetInDoorway), 0.25f);
    // A ray in the near region, aimed at the target's doorway position from 3 units in front.
    const Vec3 originInDoorway(-0.2f, 0.8f, 3.0f);
    const Coords choke = NearChoke();
    const Ray ray(choke.TransformPoint(originInDoorway), choke.TransformVector(targetInDoorway - originInDoorway));

    float distance = Infinity;
    const Portal* crossed = near->TraceSegmentAgainstPortals(ray, distance, false);
    ASSERT_EQ(crossed, front);
    EXPECT_NEAR(distance, 3.0f / 7.0f, 1e-5f);

    Coords frontToBack;
    Region* region = nullptr;
    ASSERT_TRUE(crossed->GetFrontToBackCoords(frontToBack, region));
    ASSERT_EQ(region, far);
    const Ray carried(frontToBack.TransformPoint(ray.origin), frontToBack.TransformVector(ray.direction));
    const float hit = target.GetIntersection(carried);
    const float length = (targetInDoorway - originInDoorway).Length();
    EXPECT_NEAR(hit, 1.0f - 0.25f / length, 1e-4f);
    ExpectNear(carried.GetPoint(1.0f), target.centre, 1e-4f);
}

TEST_F(PortalTest, TracingFindsTheNearestOpenPortal) {
    Portal* nearer = near->CreatePortal();
    nearer->SetTriangles(Doorway(true));
    Coords closer = front->GetCoords();
    closer.origin += closer.zAxis * 1.0f;  // one unit in front of the first doorway
    nearer->SetCoords(closer);
    const Coords choke = NearChoke();
    const Ray ray(choke.TransformPoint(Vec3(0, 1, 3)), choke.TransformVector(Vec3(0, 0, -1)));
    float distance = Infinity;
    EXPECT_EQ(near->TraceSegmentAgainstPortals(ray, distance, false), nearer);
    EXPECT_NEAR(distance, 2.0f, 1e-5f);
    nearer->SetIsOpen(false);
    distance = Infinity;
    EXPECT_EQ(near->TraceSegmentAgainstPortals(ray, distance, false), front);
    EXPECT_NEAR(distance, 3.0f, 1e-5f);
    distance = 2.5f;  // shorter than the way to the open doorway
    EXPECT_EQ(near->TraceSegmentAgainstPortals(ray, distance, false), nullptr);
    EXPECT_EQ(distance, 2.5f);
    EXPECT_TRUE(near->IsNeighbor(far));
    EXPECT_FALSE(far->IsNeighbor(far));
    EXPECT_EQ(near->GetPortal(nearer->GetId()), nearer);
}

TEST_F(PortalTest, FrustaMeetThePortalBoxExactly) {
    const Coords choke = NearChoke();
    Frustum looking = test::MakeViewFrustum(choke.TransformPoint(Vec3(0, 1, 5)), choke.TransformVector(Vec3(0, 0, -1)),
                                            0.6f, 50);
    EXPECT_TRUE(front->TestIntersection(looking));
    Frustum away = test::MakeViewFrustum(choke.TransformPoint(Vec3(0, 1, 5)), choke.TransformVector(Vec3(0, 0, 1)),
                                         0.6f, 50);
    EXPECT_FALSE(front->TestIntersection(away));
    EXPECT_FALSE(front->TestIntersection(Frustum()));
}

TEST_F(PortalTest, TranslateCarriesPositionsThroughPortalsAndAcrossRegionBoxes) {
    const Coords choke = NearChoke();
    // Through the doorway, from its front: the position continues behind the far side.
    WorldVec3 walker(near, choke.TransformPoint(Vec3(0.2f, 0.5f, 1)));
    walker.Translate(choke.TransformVector(Vec3(0, 0, -2)), false);
    EXPECT_EQ(walker.GetRegion(), far);
    ExpectNear(walker.GetRegionPosition(), FarChoke().TransformPoint(Vec3(0.2f, 0.5f, -1)), 1e-4f);

    // Back through the far side's doorway, again from its front; a move onto the floor crosses it
    // too (without a floor to drop onto).
    EXPECT_FALSE(walker.TranslateToFloor(FarChoke().TransformVector(Vec3(0, 0, 2))));
    EXPECT_EQ(walker.GetRegion(), near);
    ExpectNear(walker.GetRegionPosition(), choke.TransformPoint(Vec3(0.2f, 0.5f, 1)), 1e-4f);

    // The same move with portals ignored, or one that stops short, stays in the region.
    WorldVec3 ghost(near, choke.TransformPoint(Vec3(0.2f, 0.5f, 1)));
    ghost.Translate(choke.TransformVector(Vec3(0, 0, -2)), true);
    EXPECT_EQ(ghost.GetRegion(), near);
    WorldVec3 shortStep(near, choke.TransformPoint(Vec3(0.2f, 0.5f, 1)));
    shortStep.Translate(choke.TransformVector(Vec3(0, 0, -0.9f)), false);
    EXPECT_EQ(shortStep.GetRegion(), near);

    // From behind a one-sided doorway: no crossing.
    WorldVec3 behind(near, choke.TransformPoint(Vec3(0.2f, 0.5f, -1)));
    behind.Translate(choke.TransformVector(Vec3(0, 0, 2)), false);
    EXPECT_EQ(behind.GetRegion(), near);
}

TEST(WorldVec3, LeavingTheRegionBoxMovesIntoTheRegionHoldingThePoint) {
    test::FakeWorld world;
    Region* west = world.Add("west", ABBox(Vec3(), Vec3(10, 10, 10)), IntVec3(0, 0, 0));
    Region* east = world.Add("east", ABBox(Vec3(), Vec3(10, 10, 10)), IntVec3(20, 0, 0));
    WorldVec3 position(west, Vec3(9, 1, 2));
    position.Translate(Vec3(0.5f, 0, 0), false);  // still inside
    EXPECT_EQ(position.GetRegion(), west);
    position.Translate(Vec3(1.0f, 0, 0), false);  // x = 10.5: east's -9.5
    EXPECT_EQ(position.GetRegion(), east);
    ExpectNear(position.GetRegionPosition(), Vec3(-9.5f, 1, 2));
    position.Translate(Vec3(0, 0, 30), true);  // into no region: stays in east, outside its box
    EXPECT_EQ(position.GetRegion(), east);
    ExpectNear(position.GetRegionPosition(), Vec3(-9.5f, 1, 32));

    WorldVec3 nowhere;
    nowhere.Translate(Vec3(1, 2, 3), false);
    EXPECT_EQ(nowhere.GetRegionPosition(), Vec3());
    EXPECT_FALSE(nowhere.PutOnFloor());
}

TEST(WorldVec3, TranslateToFloorDropsOntoTheFloorTheWorldFinds) {
    test::FakeWorld world;
    Region* region = world.Add("a", ABBox(Vec3(), Vec3(10, 10, 10)), IntVec3());
    WorldVec3 position(region, Vec3(1, 5, 1));
    EXPECT_FALSE(position.TranslateToFloor(Vec3(1, 0, 0)));  // no floor: moved, not dropped
    ExpectNear(position.GetRegionPosition(), Vec3(2, 5, 1));
    world.SetFloor(-2.5f);
    EXPECT_TRUE(position.TranslateToFloor(Vec3(1, 0, 0)));
    ExpectNear(position.GetRegionPosition(), Vec3(3, -2.5f, 1));
}

TEST_F(PortalTest, PathsCrossTheDoorwayAtItsChokePoint) {
    // Each region has a 6 x 6 floor from its origin; the doorways stand on the floors.
    front->SetCoords(Placement(-0.5f * Pi, Vec3(5.9f, 0.1f, 3)));  // east edge of near, facing west
    back->SetCoords(Placement(Pi, Vec3(3, 0.1f, 0.1f)));          // south edge of far, facing north
    PathMesh nearFloor, farFloor;
    nearFloor.SetRegion(near);
    farFloor.SetRegion(far);
    ASSERT_TRUE(nearFloor.Create(test::GridFaces(6, 6, 0.0f), {}));
    ASSERT_TRUE(farFloor.Create(test::GridFaces(6, 6, 0.0f), {}));
    PathFinder* pathFinder = Singleton<PathFinder>::Get();
    pathFinder->AddMesh(&nearFloor);
    pathFinder->AddMesh(&farFloor);
    const PortalPathLinker linker;
    pathFinder->SetPortalLinker(&linker);

    WorldVec3 frontCrossing, backCrossing;
    ASSERT_TRUE(linker.GetCrossing(*front, frontCrossing, backCrossing));
    EXPECT_EQ(frontCrossing.GetRegion(), near);
    ExpectNear(frontCrossing.GetRegionPosition(), Vec3(5.9f, 0, 3), 1e-5f);
    EXPECT_EQ(backCrossing.GetRegion(), far);
    ExpectNear(backCrossing.GetRegionPosition(), Vec3(3, 0, 0.1f), 1e-5f);

    const WorldVec3 start(near, Vec3(0.5f, 0, 0.5f)), goal(far, Vec3(5.5f, 0, 5.5f));
    World paths;  // which asks the path finder
    std::unique_ptr<Path> path = paths.FindPath(0, start, goal, Vec3(), 0, 0, 0, 0, 0);
    ASSERT_TRUE(path);
    bool crossedNear = false, crossedFar = false;
    for (const WorldVec3& point : path->points) {
        if (point.GetRegion() == near && (point.GetRegionPosition() - Vec3(5.9f, 0, 3)).Length() < 1e-4f)
            crossedNear = true;
        if (point.GetRegion() == far && (point.GetRegionPosition() - Vec3(3, 0, 0.1f)).Length() < 1e-4f)
            crossedFar = true;
    }
    EXPECT_TRUE(crossedNear);
    EXPECT_TRUE(crossedFar);
    EXPECT_EQ(path->points.back().GetRegion(), far);

    // A closed doorway cannot be walked through.
    front->SetIsOpen(false);
    back->SetIsOpen(false);
    EXPECT_FALSE(linker.GetCrossing(*front, frontCrossing, backCrossing));
    EXPECT_FALSE(paths.FindPath(0, start, goal, Vec3(), 0, 0, 0, 0, 0));
    pathFinder->SetPortalLinker(nullptr);
    pathFinder->RemoveMesh(&nearFloor);
    pathFinder->RemoveMesh(&farFloor);
}

}  // namespace
}  // namespace GAME
