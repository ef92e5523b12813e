// Narrow-phase tests: triangles and boxes against oriented boxes.

#include "physics/CollisionTests.h"

#include "core/IntersectionTests.h"
#include "core/MathUtil.h"
#include "support/ConvexDistance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace GAME {
namespace {

constexpr float kTolerance = 1e-4f;

void ExpectNear(const Vec3& actual, const Vec3& expected, float tolerance = kTolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

OBBox Box(const Vec3& halfSize, const Vec3& centre, const Coords& rotation = Coords::Identity) {
    Coords frame = rotation;
    frame.origin = centre;
    return OBBox(halfSize, frame);
}

// A large triangle in the plane y = 0 facing +y, around the origin.
const Vec3 kGround[3] = {Vec3(-20, 0, -20), Vec3(-20, 0, 40), Vec3(40, 0, -20)};

// A box turned so that one corner points straight down: (1, 1, 1) onto (0, -1, 0).
Coords CornerDown() {
    return Coords::Rotation(Vec3(1, 0, -1).Unit(), std::acos(-1.0f / std::sqrt(3.0f)));
}

int Collide(const Vec3 triangle[3], const OBBox& box, std::vector<CollisionContact>& contacts, int max = 16) {
    contacts.assign(size_t(max), CollisionContact());
    const int count = CollideTriangleOBBox(triangle, box, contacts.data(), max);
    contacts.resize(size_t(count));
    return count;
}

TEST(CollideTriangleOBBox, BoxRestingOnItsFace) {
    std::vector<CollisionContact> contacts;
    ASSERT_EQ(Collide(kGround, Box(Vec3(1, 1, 1), Vec3(0, 0.9f, 0)), contacts), 4);
    std::vector<Vec3> corners;
    for (const CollisionContact& c : contacts) {
        ExpectNear(c.normal, Vec3(0, 1, 0));
        EXPECT_NEAR(c.depth, 0.1f, kTolerance);
        EXPECT_TRUE(c.surface == PhysicsSurface::None && c.entity == nullptr);
        EXPECT_NEAR(std::fabs(c.position.x), 1, kTolerance);
        EXPECT_NEAR(c.position.y, 0, kTolerance);
        EXPECT_NEAR(std::fabs(c.position.z), 1, kTolerance);
        corners.push_back(c.position);
    }
    // The four corners of the box's section, each once.
    for (size_t i = 0; i < corners.size(); ++i) {
        for (size_t j = i + 1; j < corners.size(); ++j) EXPECT_GT((corners[i] - corners[j]).Length(), 1.0f);
    }
}

TEST(CollideTriangleOBBox, BoxRestingOnAnEdge) {
    // Turned 45 degrees about z: the edge along z is lowest and 0.1 below the plane.
    const OBBox box = Box(Vec3(1, 1, 1), Vec3(0, std::sqrt(2.0f) - 0.1f, 0), Coords::RotationZ(0.25f * Pi));
    std::vector<CollisionContact> contacts;
    ASSERT_EQ(Collide(kGround, box, contacts), 4);
    for (const CollisionContact& c : contacts) {
        ExpectNear(c.normal, Vec3(0, 1, 0));
        EXPECT_NEAR(c.depth, 0.1f, kTolerance);
        EXPECT_NEAR(std::fabs(c.position.x), 0.1f, kTolerance) << "the strip under the edge";
        EXPECT_NEAR(std::fabs(c.position.z), 1, kTolerance);
    }
}

TEST(CollideTriangleOBBox, BoxRestingOnACorner) {
    const OBBox box = Box(Vec3(1, 1, 1), Vec3(0, std::sqrt(3.0f) - 0.1f, 0), CornerDown());
    std::vector<CollisionContact> contacts;
    ASSERT_EQ(Collide(kGround, box, contacts), 3) << "the small triangle cut off the corner";
    for (const CollisionContact& c : contacts) {
        ExpectNear(c.normal, Vec3(0, 1, 0));
        EXPECT_NEAR(c.depth, 0.1f, kTolerance);
        EXPECT_NEAR(c.position.y, 0, kTolerance);
        EXPECT_LT(Vec3(c.position.x, 0, c.position.z).Length(), 0.25f);
    }
}

TEST(CollideTriangleOBBox, TouchingOverlapsAndInFrontDoesNot) {
    std::vector<CollisionContact> contacts;
    // The box's bottom face on the plane: touching, depth 0.
    ASSERT_EQ(Collide(kGround, Box(Vec3(1, 1, 1), Vec3(0, 1, 0)), contacts), 4);
    EXPECT_EQ(contacts[0].depth, 0.0f);
    ExpectNear(contacts[0].normal, Vec3(0, 1, 0));
    // Wholly in front of or behind the plane.
    for (const float y : {1.01f, -1.01f}) EXPECT_EQ(Collide(kGround, Box(Vec3(1, 1, 1), Vec3(0, y, 0)), contacts), 0);
    // In front of a small triangle's plane while reaching past its edges seen from the side.
    const Vec3 small[3] = {Vec3(0, 0, 0), Vec3(0, 0, 1), Vec3(1, 0, 0)};
    EXPECT_EQ(Collide(small, Box(Vec3(3, 0.5f, 3), Vec3(0, 0.6f, 0)), contacts), 0);
    // Beside the triangle, crossing its plane.
    EXPECT_EQ(Collide(small, Box(Vec3(0.5f, 0.5f, 0.5f), Vec3(2, 0, 0)), contacts), 0);
    // Beside a box far out, nearer to it than the clip's tolerance there (0.1): still apart.
    const Vec3 beside[3] = {Vec3(1001.01f, 0, -0.5f), Vec3(1001.01f, 0, 0.5f), Vec3(1002, 0, 0)};
    EXPECT_EQ(Collide(beside, Box(Vec3(1, 1, 1), Vec3(1000, 0, 0)), contacts), 0);
    // A corner lying on a face of the box (a face plane through the origin) is a contact.
    const Vec3 onFace[3] = {Vec3(), Vec3(0.5f, -0.5f, 0.5f), Vec3(-0.5f, 0.5f, 0)};
    ASSERT_GT(Collide(onFace, Box(Vec3(1, 1, 1), Vec3(0, 1, 0)), contacts), 0);
    EXPECT_EQ(contacts[0].position, Vec3());
}

TEST(CollideTriangleOBBox, LargeBoxGivesTheTriangleCorners) {
    const Vec3 small[3] = {Vec3(0, 0, 0), Vec3(0, 0, 1), Vec3(1, 0, 0)};
    std::vector<CollisionContact> contacts;
    ASSERT_EQ(Collide(small, Box(Vec3(10, 10, 10), Vec3(0, 9, 0)), contacts), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(contacts[size_t(i)].position, small[i]);
        ExpectNear(contacts[size_t(i)].normal, Vec3(0, 1, 0));
        EXPECT_NEAR(contacts[size_t(i)].depth, 1.0f, kTolerance);
    }
    // With room for one contact only the first corner is written.
    CollisionContact one[2];
    one[1].depth = -7;
    EXPECT_EQ(CollideTriangleOBBox(small, Box(Vec3(10, 10, 10), Vec3(0, 9, 0)), one, 1), 1);
    EXPECT_EQ(one[0].position, small[0]);
    EXPECT_EQ(one[1].depth, -7) << "nothing written past max";
    EXPECT_EQ(CollideTriangleOBBox(small, Box(Vec3(10, 10, 10), Vec3(0, 9, 0)), one, 0), 0);
}

TEST(CollideTriangleOBBox, BoxFaceGivesTheShorterWayOut) {
    // A triangle tilted towards -x crossing the +x face of a large box near its edge (or, turned half a turn
    // about y, the -x face): leaving through that face (0.5) is shorter than along the triangle's normal (about
    // 11), and no edge lies along a box axis to offer it too. The box moves out on the triangle's front side.
    for (const float side : {1.0f, -1.0f}) {
        const float slope = std::tan(0.1f);
        auto onPlane = [&](float x, float z) { return Vec3(side * x, x * slope, side * z); };
        const Vec3 tilted[3] = {onPlane(9.5f, -1), onPlane(9.6f, 1), onPlane(10.5f, 0.1f)};
        std::vector<CollisionContact> contacts;
        ASSERT_EQ(Collide(tilted, Box(Vec3(10, 10, 10), Vec3()), contacts), 4) << "two corners and two cuts at x = 10";
        for (const CollisionContact& c : contacts) {
            ExpectNear(c.normal, Vec3(-side, 0, 0));
            EXPECT_NEAR(c.depth, 0.5f, kTolerance);
            // The clip keeps points up to 0.0001 of the face plane's offset (10) outside.
            EXPECT_LE(side * c.position.x, 10 + 0.0011f);
        }
    }
}

TEST(CollideTriangleOBBox, DegenerateTrianglesGiveNoContact) {
    std::vector<CollisionContact> contacts;
    const OBBox box = Box(Vec3(5, 5, 5), Vec3());
    const Vec3 degenerate[][3] = {{Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(2, 2, 2)},   // a line
                                  {Vec3(1, 0, 1), Vec3(1, 0, 1), Vec3(1, 0, 1)},   // a point
                                  {Vec3(0, 0, 0), Vec3(0, 0, 0), Vec3(1, 0, 0)}};  // a corner twice
    for (const auto& triangle : degenerate) EXPECT_EQ(Collide(triangle, box, contacts), 0);
}

TEST(CollideTriangleOBBox, RandomContactsAreConsistent) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    auto randomVec3 = [&] { return Vec3(unit(random), unit(random), unit(random)); };
    int touching = 0, apart = 0;
    for (int i = 0; i < 1200; ++i) {
        const Vec3 triangle[3] = {randomVec3() * 2.0f, randomVec3() * 2.0f, randomVec3() * 2.0f};
        const Vec3 halfSize = Vec3(1.1f, 1.1f, 1.1f) + randomVec3() * 0.9f;
        const OBBox box = Box(halfSize, randomVec3() * 2.5f, Coords::Rotation(randomVec3().Unit(), 3 * unit(random)));
        const Vec3 n = Cross(triangle[1] - triangle[0], triangle[2] - triangle[0]).Unit();
        std::vector<CollisionContact> contacts;
        const int count = Collide(triangle, box, contacts);

        const float distance = test::DistanceBetween(triangle, box);
        if (distance <= 1e-4f || distance >= 2e-2f) {
            EXPECT_EQ(count > 0, distance <= 1e-4f) << "case " << i << ", distance " << distance;
        }
        if (count == 0) {
            ++apart;
            continue;
        }
        ++touching;
        const Coords toBox = box.coords.Inverse();
        for (const CollisionContact& c : contacts) {
            EXPECT_NEAR(c.normal.Length(), 1.0f, kTolerance) << "case " << i;
            EXPECT_GE(Dot(c.normal, n), -kTolerance) << "never pushed through to the back, case " << i;
            EXPECT_GE(c.depth, 0.0f) << "case " << i;
            EXPECT_TRUE(c.normal == contacts[0].normal && c.depth == contacts[0].depth) << "case " << i;
            EXPECT_NEAR(Dot(n, c.position - triangle[0]), 0, 1e-3f) << "on the triangle's plane, case " << i;
            const Vec3 local = toBox.TransformPoint(c.position);
            EXPECT_LE(std::fabs(local.x), halfSize.x + 1e-3f) << "inside the box, case " << i;
            EXPECT_LE(std::fabs(local.y), halfSize.y + 1e-3f) << "inside the box, case " << i;
            EXPECT_LE(std::fabs(local.z), halfSize.z + 1e-3f) << "inside the box, case " << i;
        }
        // Moving the box out by the depth (and a little) along the normal separates the two.
        OBBox moved = box;
        moved.coords.origin += contacts[0].normal * (contacts[0].depth + 1e-3f);
        EXPECT_EQ(Collide(triangle, moved, contacts), 0) << "case " << i;
    }
    EXPECT_GT(touching, 200);
    EXPECT_GT(apart, 200);
}

TEST(CollideOBBoxOBBox, BoxRestingOnAFace) {
    CollisionContact contacts[8];
    for (CollisionContact& c : contacts) c.surface = PhysicsSurface::Grass;
    const OBBox below = Box(Vec3(1, 1, 1), Vec3());
    ASSERT_EQ(CollideOBBoxOBBox(Box(Vec3(1, 1, 1), Vec3(0.2f, 1.9f, -0.3f)), below, contacts, 8), 4);
    for (int i = 0; i < 4; ++i) {
        ExpectNear(contacts[i].normal, Vec3(0, 1, 0));
        EXPECT_NEAR(contacts[i].depth, 0.1f, kTolerance);
        EXPECT_EQ(contacts[i].surface, PhysicsSurface::None);
    }
    // The normal points from b to a: the other way round it points down.
    ASSERT_EQ(CollideOBBoxOBBox(below, Box(Vec3(1, 1, 1), Vec3(0.2f, 1.9f, -0.3f)), contacts, 8), 4);
    ExpectNear(contacts[0].normal, Vec3(0, -1, 0));
}

TEST(CollideOBBoxOBBox, BoxRestingOnAnEdgeOrACorner) {
    CollisionContact contacts[8];
    const OBBox below = Box(Vec3(2, 1, 2), Vec3());
    const OBBox onEdge = Box(Vec3(1, 1, 1), Vec3(0, 1 + std::sqrt(2.0f) - 0.1f, 0), Coords::RotationZ(0.25f * Pi));
    ASSERT_EQ(CollideOBBoxOBBox(onEdge, below, contacts, 8), 2);
    for (int i = 0; i < 2; ++i) {
        ExpectNear(contacts[i].normal, Vec3(0, 1, 0));
        EXPECT_NEAR(contacts[i].depth, 0.1f, kTolerance);
        EXPECT_NEAR(contacts[i].position.x, 0, kTolerance);
        EXPECT_NEAR(std::fabs(contacts[i].position.z), 1, kTolerance) << "the ends of the edge";
    }
    const OBBox onCorner = Box(Vec3(1, 1, 1), Vec3(0, 1 + std::sqrt(3.0f) - 0.1f, 0), CornerDown());
    ASSERT_EQ(CollideOBBoxOBBox(onCorner, below, contacts, 8), 1);
    ExpectNear(contacts[0].normal, Vec3(0, 1, 0));
    EXPECT_NEAR(contacts[0].depth, 0.1f, kTolerance);
    EXPECT_NEAR(contacts[0].position.x, 0, kTolerance);
    EXPECT_NEAR(contacts[0].position.z, 0, kTolerance);
}

TEST(CollideOBBoxOBBox, ApartOrNoRoomWritesNothing) {
    CollisionContact contacts[2];
    contacts[0].depth = -7;
    const OBBox below = Box(Vec3(1, 1, 1), Vec3());
    const OBBox above = Box(Vec3(1, 1, 1), Vec3(0, 1.9f, 0));
    EXPECT_EQ(CollideOBBoxOBBox(Box(Vec3(1, 1, 1), Vec3(0, 2.1f, 0)), below, contacts, 2), 0);
    for (const int max : {0, -1}) EXPECT_EQ(CollideOBBoxOBBox(above, below, contacts, max), 0);
    EXPECT_EQ(contacts[0].depth, -7) << "an empty array is never written";
    contacts[1].depth = -7;
    EXPECT_EQ(CollideOBBoxOBBox(above, below, contacts, 1), 1);
    EXPECT_EQ(contacts[1].depth, -7);
}

TEST(CollideOBBoxOBBox, RandomBoxesTouchWhenTheyOverlap) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    auto randomVec3 = [&] { return Vec3(unit(random), unit(random), unit(random)); };
    int touching = 0;
    for (int i = 0; i < 500; ++i) {
        const OBBox a = Box(Vec3(1, 1, 1) + randomVec3() * 0.8f, randomVec3() * 2.5f,
                            Coords::Rotation(randomVec3().Unit(), 3 * unit(random)));
        const OBBox b = Box(Vec3(1, 1, 1) + randomVec3() * 0.8f, randomVec3() * 2.5f,
                            Coords::Rotation(randomVec3().Unit(), 3 * unit(random)));
        CollisionContact contacts[8];
        const int count = CollideOBBoxOBBox(a, b, contacts, 8);
        const float distance = test::DistanceBetween(a, b);
        if (distance <= 1e-4f || distance >= 2e-2f) {
            EXPECT_EQ(count > 0, distance <= 1e-4f) << "case " << i << ", distance " << distance;
        }
        touching += count > 0;
        for (int j = 0; j < count; ++j) {
            EXPECT_NEAR(contacts[j].normal.Length(), 1.0f, kTolerance);
            EXPECT_EQ(contacts[j].normal, contacts[0].normal);
            EXPECT_GE(contacts[j].depth, 0.0f);
        }
        if (count > 0) {
            // The normal pushes a out of b: a moved away along it by the deepest depth and a little
            // no longer overlaps.
            float deepest = 0;
            for (int j = 0; j < count; ++j) deepest = std::max(deepest, contacts[j].depth);
            OBBox moved = a;
            moved.coords.origin += contacts[0].normal * (deepest + 1e-3f);
            EXPECT_FALSE(TestIntersection(moved, b)) << "case " << i;
        }
    }
    EXPECT_GT(touching, 100);
}

}  // namespace
}  // namespace GAME
