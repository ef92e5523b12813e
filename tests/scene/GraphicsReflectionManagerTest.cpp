// The grouping of reflection planes (the reflections drawn are read back in the normal renderer's
// tests).

#include "scene/GraphicsReflectionManager.h"

#include <gtest/gtest.h>

#include <cmath>

namespace GAME {
namespace {

Region* FakeRegion(int& key) { return reinterpret_cast<Region*>(&key); }

GraphicsReflectionPlane Horizontal(Region* region, float height, const Vec3& centre, const Vec3& halfSize) {
    GraphicsReflectionPlane plane;
    plane.plane = Plane(Vec3(0.0f, 1.0f, 0.0f), -height);
    plane.box = ABBox(Vec3(centre.x, height, centre.z), halfSize);
    plane.region = region;
    return plane;
}

TEST(GraphicsReflectionManager, PlanesMergeWhenTheyLieInOnePlane) {
    int key = 0;
    GraphicsReflectionPlane a = Horizontal(FakeRegion(key), 10.0f, Vec3(), Vec3(1, 0, 1));
    GraphicsReflectionPlane b = Horizontal(FakeRegion(key), 10.2f, Vec3(5, 0, 0), Vec3(1, 0, 1));
    GraphicsReflectionPlane c = Horizontal(FakeRegion(key), 10.3f, Vec3(), Vec3(1, 0, 1));
    GraphicsReflectionManager close;
    // c is too far above a alone, but near the middle of the group's box once b has grown it.
    for (GraphicsReflectionPlane* plane : {&a, &b, &c}) close.AddReflectionPlane(*plane);
    ASSERT_EQ(close.GetNumGroups(), 1);
    EXPECT_EQ(close.GetGroupPlanes(0), (mem::vector<GraphicsReflectionPlane*>{&a, &b, &c}));

    GraphicsReflectionPlane tilted = Horizontal(FakeRegion(key), 10.0f, Vec3(), Vec3(1, 0, 1));
    tilted.plane.normal = Vec3(0.0f, 0.95f, std::sqrt(1.0f - 0.95f * 0.95f));  // dot exactly 0.95
    GraphicsReflectionPlane homeless = Horizontal(nullptr, 0.0f, Vec3(), Vec3(1, 0, 1));
    GraphicsReflectionManager apart;
    for (GraphicsReflectionPlane* plane : {&a, &c, &tilted, &homeless}) apart.AddReflectionPlane(*plane);
    ASSERT_EQ(apart.GetNumGroups(), 3);
    EXPECT_EQ(apart.GetGroupPlanes(1), (mem::vector<GraphicsReflectionPlane*>{&c}));
    EXPECT_EQ(apart.GetGroupPlanes(2), (mem::vector<GraphicsReflectionPlane*>{&tilted}));
}

}  // namespace
}  // namespace GAME
