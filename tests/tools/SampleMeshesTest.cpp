// The generated sample meshes, loaded as mesh resources: what each one carries and that its
// collision mesh and skin fit the geometry.

#include "SampleData.h"
#include "SampleMeshes.h"

#include "core/MathExpect.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/GraphicsMesh.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace GAME::test {
namespace {

class SampleMeshesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sample::WriteSampleData(directory.GetPath()));
        files.AddDirectory(directory.GetPath(), false);
    }
    const GraphicsMesh& Load(const char* name) {
        const GraphicsMesh* mesh = manager.LoadResource(name);
        mesh->EnsureAvailable();
        EXPECT_EQ(mesh->GetInitResult(), Resource::InitResult::Success) << name;
        return *mesh;
    }

    TempDirectory directory;
    FileSystem files;
    ResourceLoader loader{files};
    ResourceManager<GraphicsMesh> manager{loader};
};

TEST_F(SampleMeshesTest, StaticMeshesCarryTheirBoxesCollisionAndPortal) {
    const GraphicsMesh& box = Load(sample::kBoxMesh);
    EXPECT_EQ(box.GetNumVertices(), 24u);
    EXPECT_EQ(box.GetNumFaces(), 12u);
    ExpectNear(box.GetBoundingBox().halfSize, Vec3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(box.GetMaterial(0).parameters[0].text, "Textures/Checker.dds");
    EXPECT_EQ(box.GetPhysicsMesh(), nullptr);

    // A ray down onto the ground slab hits its top at y = 0, on grass.
    const GraphicsMesh& ground = Load(sample::kGroundMesh);
    ASSERT_NE(ground.GetPhysicsMesh(), nullptr);
    EXPECT_GT(ground.GetPhysicsMesh()->GetNumNodes(), 1);
    Intersection hit;
    ground.GetPhysicsMesh()->GetIntersection(Ray(Vec3(3, 5, -2), Vec3(0, -1, 0)), hit, PhysicsSurface::None);
    EXPECT_NEAR(hit.distance, 5.0f, 1e-4f);
    EXPECT_EQ(hit.surface, PhysicsSurface::Grass);

    const GraphicsMesh& wall = Load(sample::kWallMesh);
    ExpectNear(wall.GetBoundingBox().halfSize, Vec3(2, 1.5f, 0.125f));
    EXPECT_NE(wall.GetPhysicsMesh(), nullptr);

    const GraphicsMesh& doorway = Load(sample::kDoorwayMesh);
    ASSERT_EQ(doorway.GetNumPortals(), 1);
    EXPECT_EQ(doorway.GetPortal(0).points.size(), 2u);
    ASSERT_NE(doorway.GetAttachPoint(Name::Create("ChokePoint")), nullptr);
    // Nothing blocks a ray through the opening; the lintel stops one above it.
    Intersection through, above;
    doorway.GetPhysicsMesh()->GetIntersection(Ray(Vec3(0, 1, -5), Vec3(0, 0, 1)), through, PhysicsSurface::None);
    doorway.GetPhysicsMesh()->GetIntersection(Ray(Vec3(0, 2.5f, -5), Vec3(0, 0, 1)), above, PhysicsSurface::None);
    EXPECT_FALSE(through.distance < 100.0f);
    EXPECT_NEAR(above.distance, 4.875f, 1e-4f);
}

TEST_F(SampleMeshesTest, TheCreatureIsSkinnedToItsBonesWithHitBoxesAndARagDoll) {
    const GraphicsMesh& creature = Load(sample::kCreatureMesh);
    ASSERT_EQ(creature.GetNumBones(), 5);
    EXPECT_EQ(creature.GetRootMotionBone(), Name::Create("Root"));
    ExpectNear(creature.GetBone(creature.GetBoneIndex(Name::Create("Head"))).absoluteCoords.origin, Vec3(0, 1.6f, 0));
    ExpectNear(creature.GetBone(creature.GetBoneIndex(Name::Create("LegR"))).absoluteCoords.origin,
               Vec3(0.15f, 0.8f, 0));
    ASSERT_EQ(creature.GetNumFaceSets(), 1);
    EXPECT_EQ(creature.GetFaceSet(0).bones.size(), 5u);

    // Every vertex follows one bone of the list, and lies in that bone's region of the body.
    const uint32_t stride = creature.GetVertexStride();
    const uint32_t boneOffset = creature.GetAttributeOffset(GraphicsMesh::kAttributeSkinBones);
    ASSERT_LT(boneOffset, stride);
    for (uint32_t v = 0; v < creature.GetNumVertices(); ++v) {
        const uint8_t* vertex = creature.GetVertexData().data() + v * stride;
        const uint8_t slot = vertex[boneOffset];
        ASSERT_LT(slot, 5u);
        float y;
        std::memcpy(&y, vertex + 4, sizeof(y));
        if (slot == 4) {
            EXPECT_GE(y, 1.6f - 1e-4f);
        } else if (slot == 2 || slot == 3) {
            EXPECT_LE(y, 0.8f + 1e-4f);
        }
    }

    ASSERT_EQ(creature.GetNumHitBoxes(), 2);
    EXPECT_EQ(creature.GetHitBox(1).name, Name::Create("Head"));
    EXPECT_EQ(creature.GetHitBox(1).bone, 4);
    const GraphicsMesh::AttachPoint* mouth = creature.GetAttachPoint(Name::Create("Mouth"));
    ASSERT_NE(mouth, nullptr);
    EXPECT_EQ(creature.GetBoneIndex(mouth->parentName), 4);
    std::string entity, attach;
    ASSERT_TRUE(creature.GetCreationData(0, entity, attach));
    EXPECT_EQ(entity, sample::kEntityRecord);
    EXPECT_NE(creature.GetAttachPoint(Name::Create(attach.c_str())), nullptr);
    ASSERT_EQ(creature.GetNumRigidBodyDescriptions(), 3);
    ASSERT_EQ(creature.GetNumJointDescriptions(), 2);
    for (int j = 0; j < creature.GetNumJointDescriptions(); ++j) {
        const JointDescription& joint = creature.GetJointDescription(j);
        EXPECT_LT(joint.rigidBody1, creature.GetNumRigidBodyDescriptions());
        EXPECT_NE(joint.jointType, JointDescription::kNone);
    }
    for (int b = 0; b < creature.GetNumRigidBodyDescriptions(); ++b) {
        EXPECT_GE(creature.GetBoneIndex(creature.GetRigidBodyDescription(b).childName), 0);
    }
}

}  // namespace
}  // namespace GAME::test
