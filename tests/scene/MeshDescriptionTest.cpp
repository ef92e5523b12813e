// Mesh description text: every block and key on good text, the passes over unknown words, keys
// and separators, the two failures, blocks left open at the end, and the mesh's queries over it.

#include "scene/MeshDescription.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MeshTestData.h"
#include "core/MathExpect.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using test::ExpectNear;

bool Parse(MeshDescription& description, const std::string& text) {
    return description.Parse(text.data(), static_cast<uint32_t>(text.size()), "Meshes/Test.msh");
}

const char* const kFullText = R"(
// A creature.
Unrelated words "and a quoted one" 12
CreateEntity { entity = "Records/Fx/Smoke.dbr" attach = "Mouth" colour = (1, 2, 3) }
CreateEntity { attach = "Tail" entity = "Records/Fx/Sparks.dbr" }
SkeletonEmitterBones { Bone01 Bone02 }
SkeletonEmitterBones { "Bip01 Spine" Bone03 }
AttachPoint {
    name = "Hand" parent = "Arm"
    origin = (1, 2, 3) xAxis = (0, 1, 0) yAxis = (-1, 0, 0) zAxis = (0, 0, 1)
    glow = (9, 9, 9) unknown = "x"
}
AttachPoint { parent = "Arm" origin = (5, 5, 5) }
AttachPoint { name = "Head" origin = (0, 0, garbage) }
RigidBodyDescription {
    parentName = "Root" childName = "Arm"
    parentOrigin = (0, 0, 1) childXAxis = (0, 0, -1) childOrigin = (0.5, 0, 0)
    extents = (0.25, 0.5, 1) collides = "true" density = "2.5" playFallSound = "True"
    FusedBone { name = "Finger" origin = (1, 0, 0) zAxis = (0, 1, 0) }
    FusedBone { name = "Thumb" }
}
JointDescription {
    rigidBody0 : "1" rigidBody1 = 2 jointType = "hinge" jointConnection = "3"
    jointAxis0 = "z" loStop0 = "-0.5" hiStop0 = "0.75" jointAxis1 = "w"
    loStop1 = "-1" hiStop1 = "1" breakable = "true" breakChance = "40%"
}
JointDescription { jointType = "rope" }
)";

TEST(MeshDescriptionTest, FullTextFillsEveryList) {
    test::LogCapture log;
    MeshDescription description;
    ASSERT_TRUE(Parse(description, kFullText));
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);

    // Each key appends to its own list, whatever the order inside the block.
    EXPECT_EQ(description.creationEntities,
              (mem::vector<std::string>{"Records/Fx/Smoke.dbr", "Records/Fx/Sparks.dbr"}));
    EXPECT_EQ(description.creationAttaches, (mem::vector<std::string>{"Mouth", "Tail"}));
    EXPECT_EQ(description.skeletonEmitterBones, (mem::vector<std::string>{"Bip01 Spine", "Bone03"}));

    // The point without a name is not stored; a vector that does not read keeps what it had.
    EXPECT_EQ(description.attachPoints.GetCount(), 2);
    const MeshDescription::AttachPoint* hand = description.attachPoints.Get(Name::Create("Hand"));
    ASSERT_NE(hand, nullptr);
    EXPECT_EQ(hand->parentName, Name::Create("Arm"));
    EXPECT_EQ(hand->parentNameText, "Arm");
    ExpectNear(hand->coords.origin, Vec3(1, 2, 3));
    ExpectNear(hand->coords.yAxis, Vec3(-1, 0, 0));
    const MeshDescription::AttachPoint* head = description.attachPoints.Get(Name::Create("Head"));
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->parentName, Name::noName);
    ExpectNear(head->coords.origin, Vec3(0, 0, 0));

    ASSERT_EQ(description.rigidBodies.size(), 1u);
    const RigidBodyDescription& body = description.rigidBodies[0];
    EXPECT_EQ(body.parentName, Name::Create("Root"));
    EXPECT_EQ(body.childNameText, "Arm");
    ExpectNear(body.parentCoords.origin, Vec3(0, 0, 1));
    ExpectNear(body.parentCoords.xAxis, Vec3(1, 0, 0));
    ExpectNear(body.childCoords.xAxis, Vec3(0, 0, -1));
    ExpectNear(body.childCoords.origin, Vec3(0.5f, 0, 0));
    ExpectNear(body.extents, Vec3(0.25f, 0.5f, 1));
    EXPECT_TRUE(body.collides);
    EXPECT_FLOAT_EQ(body.density, 2.5f);
    EXPECT_FALSE(body.playFallSound);  // only the exact text "true"
    ASSERT_EQ(body.fusedBones.size(), 2u);
    EXPECT_EQ(body.fusedBones[0].name, Name::Create("Finger"));
    ExpectNear(body.fusedBones[0].coords.origin, Vec3(1, 0, 0));
    ExpectNear(body.fusedBones[0].coords.zAxis, Vec3(0, 1, 0));
    EXPECT_EQ(body.fusedBones[1].nameText, "Thumb");

    // The colon after rigidBody0 is passed over like "="; unknown names give the first value.
    ASSERT_EQ(description.joints.size(), 2u);
    const JointDescription& joint = description.joints[0];
    EXPECT_TRUE(joint.rigidBody0 == 1 && joint.rigidBody1 == 2 && joint.jointType == JointDescription::kHinge &&
                joint.jointConnection == 3 && joint.jointAxis0 == JointDescription::kAxisZ && joint.loStop0 == -0.5f &&
                joint.hiStop0 == 0.75f && joint.jointAxis1 == JointDescription::kAxisX && joint.loStop1 == -1.0f &&
                joint.hiStop1 == 1.0f && joint.breakable && joint.breakChance == 40);
    EXPECT_EQ(description.joints[1].jointType, JointDescription::kNone);

    // A second parse replaces everything.
    ASSERT_TRUE(Parse(description, "JointDescription { jointType = \"ball\" }"));
    EXPECT_TRUE(description.rigidBodies.empty() && description.creationEntities.empty() && description.attachPoints.IsEmpty());
    ASSERT_EQ(description.joints.size(), 1u);
    EXPECT_EQ(description.joints[0].jointType, JointDescription::kBall);
    EXPECT_EQ(description.GetAllocatedSize(), description.joints.capacity() * sizeof(JointDescription));
}

TEST(MeshDescriptionTest, BrokenTextFailsOrStopsAtItsEnd) {
    test::LogCapture log;
    MeshDescription description;
    EXPECT_FALSE(Parse(description, "CreateEntity { entity : \"Records/A.dbr\" }"));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Meshes/Test.msh - CreateEntity key 'entity' is not followed by '='"));
    EXPECT_FALSE(Parse(description, "AttachPoint name = \"Hand\" }"));
    EXPECT_FALSE(Parse(description, "JointDescription"));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "JointDescription is not followed by '{'"));

    // Only unknown words: success with every list empty.
    ASSERT_TRUE(Parse(description, "Nothing { here = \"at all\" } // CreateEntity {"));
    EXPECT_TRUE(description.creationEntities.empty());
    EXPECT_TRUE(description.attachPoints.IsEmpty());

    // Blocks left open at the end of the text are dropped; the parse does not loop and succeeds.
    for (const char* text : {"AttachPoint { name = \"Hand\"", "RigidBodyDescription { FusedBone { name = \"A\"",
                             "JointDescription { breakable = \"true\" rigidBody0 =", "SkeletonEmitterBones { A B",
                             "AttachPoint { origin = (1, 2"}) {
        ASSERT_TRUE(Parse(description, text)) << text;
        EXPECT_TRUE(description.attachPoints.IsEmpty()) << text;
        EXPECT_TRUE(description.rigidBodies.empty()) << text;
        EXPECT_TRUE(description.joints.empty()) << text;
    }
    EXPECT_EQ(description.skeletonEmitterBones.size(), 0u);
    ASSERT_TRUE(Parse(description, "SkeletonEmitterBones { A B"));
    EXPECT_EQ(description.skeletonEmitterBones.size(), 2u);
}

using MeshDescriptionLoadTest = test::MeshFixture;

TEST_F(MeshDescriptionLoadTest, TheMeshAnswersFromItsTextAndFailsWithIt) {
    MeshFileWriter::Contents contents = test::SkinnedQuad();
    contents.descriptionText = kFullText;
    BinaryWriter writer;
    ASSERT_TRUE(MeshFileWriter::Write(writer, contents));
    const GraphicsMesh* mesh = Load("Meshes/Creature.msh", writer);
    ASSERT_EQ(mesh->GetInitResult(), Resource::InitResult::Success);
    EXPECT_NE(mesh->GetAttachPoint(Name::Create("Hand")), nullptr);
    EXPECT_EQ(mesh->GetAttachPoint(Name::Create("Foot")), nullptr);
    mem::vector<Name> points{Name::Create("Kept")};
    mesh->GetAllAttachedPoints(points);
    ASSERT_EQ(points.size(), 3u);
    // Table order: ascending slots.
    EXPECT_LT(mesh->GetMIFData().attachPoints.Find(points[1]), mesh->GetMIFData().attachPoints.Find(points[2]));
    std::string entity, attach;
    ASSERT_EQ(mesh->GetNumCreationData(), 2);
    ASSERT_TRUE(mesh->GetCreationData(1, entity, attach));
    EXPECT_EQ(entity, "Records/Fx/Sparks.dbr");
    EXPECT_EQ(attach, "Tail");
    EXPECT_FALSE(mesh->GetCreationData(2, entity, attach));
    EXPECT_FALSE(mesh->GetCreationData(-1, entity, attach));
    EXPECT_EQ(mesh->GetSkeletonEmitterBone(1), "Bone03");
    EXPECT_TRUE(mesh->HasRigidBodyData());
    EXPECT_EQ(mesh->GetRigidBodyDescription(0).fusedBones.size(), 2u);
    ASSERT_EQ(mesh->GetNumJointDescriptions(), 2);
    EXPECT_EQ(mesh->GetJointDescription(0).breakChance, 40);

    test::LogCapture log;
    contents.descriptionText = "CreateEntity { entity : \"Records/A.dbr\" }";
    BinaryWriter broken;
    ASSERT_TRUE(MeshFileWriter::Write(broken, contents, 8));
    EXPECT_EQ(Read(broken.GetBuffer(), broken.GetPosition()), Resource::InitResult::InvalidData);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "memory.msh - CreateEntity key"));
}

}  // namespace
}  // namespace GAME
