// Collision boxes: the depth limit and the four-deepest rule.

#include "physics/CollisionBox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace GAME {
namespace {

CollisionContact Contact(float depth) {
    CollisionContact contact;
    contact.position = Vec3(depth, 0, 0);  // tells the contacts apart
    contact.normal = Vec3(0, 1, 0);
    contact.depth = depth;
    return contact;
}

TEST(CollisionBox, KeepsItsBoxAndBounds) {
    Coords frame = Coords::RotationY(0.5f);
    frame.origin = Vec3(1, 2, 3);
    const OBBox box(Vec3(0.5f, 1, 2), frame);
    const CollisionBox collisionBox(box, 0.25f);
    EXPECT_EQ(collisionBox.GetOBBox(), box);
    EXPECT_EQ(collisionBox.GetABBox(), ABBox(box));
    EXPECT_EQ(collisionBox.GetMaxDepth(), 0.25f);
    EXPECT_EQ(collisionBox.GetNumContacts(), 0);
}

TEST(CollisionBox, RefusesContactsDeeperThanItsLimit) {
    CollisionBox box(OBBox(), 0.25f);
    EXPECT_FALSE(box.AddContact(Contact(0.2501f)));
    EXPECT_FALSE(box.AddContact(Contact(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_TRUE(box.AddContact(Contact(0.25f)) && box.AddContact(Contact(0.0f))) << "the limit itself is allowed";
    EXPECT_EQ(box.GetNumContacts(), 2);
}

TEST(CollisionBox, KeepsTheFourDeepest) {
    CollisionBox box(OBBox(), 1.0f);
    for (const float depth : {0.3f, 0.1f, 0.4f, 0.2f}) EXPECT_TRUE(box.AddContact(Contact(depth)));
    ASSERT_EQ(box.GetNumContacts(), 4);

    // Not deeper than the shallowest held (0.1): refused, even when equal.
    for (const float depth : {0.05f, 0.1f}) EXPECT_FALSE(box.AddContact(Contact(depth))) << depth;
    // Deeper: takes the shallowest one's place, the others stay where they are.
    EXPECT_TRUE(box.AddContact(Contact(0.15f)));
    EXPECT_EQ(box.GetNumContacts(), 4);
    for (const auto& [i, depth] : {std::pair{0, 0.3f}, {1, 0.15f}, {2, 0.4f}, {3, 0.2f}})
        EXPECT_TRUE(box.GetContact(i).depth == depth && box.GetContact(i).position == Vec3(depth, 0, 0)) << i;
    // The next replacement goes for the new shallowest (0.15), a contact over the limit for none.
    EXPECT_TRUE(box.AddContact(Contact(0.9f)));
    EXPECT_EQ(box.GetContact(1).depth, 0.9f);
    EXPECT_FALSE(box.AddContact(Contact(1.5f)));
    float sum = 0;
    for (int i = 0; i < box.GetNumContacts(); ++i) sum += box.GetContact(i).depth;
    EXPECT_FLOAT_EQ(sum, 0.3f + 0.9f + 0.4f + 0.2f);
}

}  // namespace
}  // namespace GAME
