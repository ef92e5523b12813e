// The generated sample meshes, loaded as mesh resources: what each one carries and that its
// collision mesh and skin fit the geometry; drawn on the GL device with the standard shader, they
// show their outsides.

#include "SampleData.h"
#include "SampleGrid.h"
#include "SampleMeshBuilder.h"
#include "SampleMeshShaders.h"
#include "SampleMeshes.h"
#include "SampleScene.h"
#include "SampleTiles.h"

#include "core/MathExpect.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "render/Camera.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsNormalRenderer.h"
#include "world/GridSystem.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
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
    EXPECT_TRUE(hit.distance > 5.0f - 1e-4f && hit.distance < 5.0f + 1e-4f && hit.surface == PhysicsSurface::Grass) << hit.distance;

    const GraphicsMesh& doorway = Load(sample::kDoorwayMesh);
    for (const GraphicsMesh* mesh : {&Load(sample::kWallMesh), &doorway}) {
        ExpectNear(mesh->GetBoundingBox().halfSize, Vec3(2, 1.5f, 0.125f));
        EXPECT_NE(mesh->GetPhysicsMesh(), nullptr);
    }
    ASSERT_EQ(doorway.GetNumPortals(), 1);
    EXPECT_EQ(doorway.GetPortal(0).points.size(), 2u);
    ASSERT_NE(doorway.GetAttachPoint(Name::Create("ChokePoint")), nullptr);
    // Nothing blocks a ray through the opening; the lintel stops one above it.
    Intersection through, above;
    doorway.GetPhysicsMesh()->GetIntersection(Ray(Vec3(0, 1, -5), Vec3(0, 0, 1)), through, PhysicsSurface::None);
    doorway.GetPhysicsMesh()->GetIntersection(Ray(Vec3(0, 2.5f, -5), Vec3(0, 0, 1)), above, PhysicsSurface::None);
    EXPECT_FALSE(through.distance < 100.0f);
    EXPECT_NEAR(above.distance, 4.875f, 1e-4f);
    // Each grid piece keeps within its cell's square: neighbours' walls never share a plane to fight in.
    for (char piece = 'A'; piece < 'A' + GridSystem::kNumConfigurations; ++piece) {
        const ABBox bounds = Load(("Meshes/Grid/Base" + std::string(1, piece) + ".msh").c_str()).GetBoundingBox();
        EXPECT_EQ(bounds.halfSize.x + bounds.halfSize.z, sample::kGridCellWidth) << piece;  // the floor's, no more
    }

    // The paving slab draws its sides; its top, blended, goes with the ground, and rays meet it.
    const GraphicsMesh& tile = Load(sample::kTileMesh);
    EXPECT_EQ(tile.GetNumFaces(), 8u);
    EXPECT_EQ(tile.GetNumBlendedFaces(), 2u);
    ExpectNear(tile.GetBoundingBox().halfSize, Vec3(sample::kTileHalfSize, 0.5f * sample::kTileTopHeight, sample::kTileHalfSize));
    for (const float x : {-1.5f, 1.5f}) {
        Intersection top;
        tile.GetPhysicsMesh()->GetIntersection(Ray(Vec3(x, 5, -x), Vec3(0, -1, 0)), top, PhysicsSurface::None);
        EXPECT_NEAR(top.distance, 5.0f - sample::kTileTopHeight, 1e-4f) << x;
    }
    Intersection side;  // low on the side facing -z
    tile.GetPhysicsMesh()->GetIntersection(Ray(Vec3(1, 0.1f, -5), Vec3(0, 0, 1)), side, PhysicsSurface::None);
    EXPECT_NEAR(side.distance, 5.0f - sample::kTileHalfSize, 1e-4f);
}

TEST_F(SampleMeshesTest, TheCreatureIsSkinnedToItsBonesWithHitBoxesAndARagDoll) {
    const GraphicsMesh& creature = Load(sample::kCreatureMesh);
    ASSERT_EQ(creature.GetNumBones(), 5);
    ExpectNear(creature.GetBoundingBox().centre, Vec3(0, 0.95f, 0));  // feet on the ground, 1.9 tall
    ExpectNear(creature.GetBoundingBox().halfSize, Vec3(0.25f, 0.95f, 0.15f));
    EXPECT_EQ(creature.GetRootMotionBone(), Name::Create("Root"));
    ExpectNear(creature.GetBone(creature.GetBoneIndex(Name::Create("Head"))).absoluteCoords.origin, Vec3(0, 1.6f, 0));
    ExpectNear(creature.GetBone(creature.GetBoneIndex(Name::Create("LegR"))).absoluteCoords.origin,
               Vec3(0.15f, 0.8f, 0));
    ASSERT_TRUE(creature.GetNumFaceSets() == 1 && creature.GetFaceSet(0).bones.size() == 5u);

    // Every vertex follows one bone of the list, and lies in that bone's region of the body.
    const uint32_t stride = creature.GetVertexStride();
    const uint32_t boneOffset = creature.GetAttributeOffset(GraphicsMesh::kAttributeSkinBones);
    ASSERT_LT(boneOffset, stride);
    for (uint32_t v = 0; v < creature.GetNumVertices(); ++v) {
        const uint8_t* vertex = creature.GetVertexData().data() + v * stride;
        const uint8_t slot = vertex[boneOffset];
        float y;
        std::memcpy(&y, vertex + 4, sizeof(y));
        EXPECT_TRUE(slot < 5 && (slot == 4 ? y >= 1.6f - 1e-4f : slot < 2 || y <= 0.8f + 1e-4f)) << v;
    }

    ASSERT_EQ(creature.GetNumHitBoxes(), 2);
    EXPECT_TRUE(creature.GetHitBox(1).name == Name::Create("Head") && creature.GetHitBox(1).bone == 4);
    const GraphicsMesh::AttachPoint* mouth = creature.GetAttachPoint(Name::Create("Mouth"));
    EXPECT_TRUE(mouth != nullptr && creature.GetBoneIndex(mouth->parentName) == 4);
    std::string entity, attach;
    ASSERT_TRUE(creature.GetCreationData(0, entity, attach));
    EXPECT_TRUE(entity == sample::kEntityRecord && creature.GetAttachPoint(Name::Create(attach.c_str())) != nullptr);
    ASSERT_TRUE(creature.GetNumRigidBodyDescriptions() == 3 && creature.GetNumJointDescriptions() == 2);
    for (int j = 0; j < creature.GetNumJointDescriptions(); ++j) {
        const JointDescription& joint = creature.GetJointDescription(j);
        // The hips, to the spine and the head.
        EXPECT_TRUE(joint.rigidBody0 == 0 && joint.rigidBody1 == j + 1 && joint.jointType != JointDescription::kNone) << j;
    }
    for (int b = 0; b < creature.GetNumRigidBodyDescriptions(); ++b)
        EXPECT_GE(creature.GetBoneIndex(creature.GetRigidBodyDescription(b).childName), 0);
}

// A closed box seen from above shows its top, in the sky colour the standard shader gives faces
// turned up, and not the inside of its bottom, in the ground colour: the boxes the mesh builder
// makes and the lit box alike.
TEST(SampleMeshWindingTest, BoxesShowTheirOutsideFacesWithTheStandardShader) {
    LogCapture log;
    GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    bed.WriteFile(sample::kStandardShader, sample::MakeMeshShaderFile(sample::MeshShaderKind::Standard, false));
    bed.WriteFile(sample::kPortalMaskShader, sample::MakePortalMaskShaderFile());
    bed.WriteFile(GraphicsNormalRenderer::kInvTransparencyMaskTexture, sample::MakeInvTransparencyMaskFile());
    bed.WriteFile(sample::kLitBoxMesh, sample::MakeLitBoxMeshFile());
    sample::MeshBuilder builder(false);
    builder.AddBox(Vec3(), Vec3(0.5f, 0.5f, 0.5f));
    MeshFileWriter::Contents& built = builder.Finish();
    built.materials[0].parameters.clear();  // untextured: the lighting alone
    ASSERT_TRUE(sample::WriteMesh(bed.Files(), "Meshes/BuiltBox.msh", built));
    GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 64, 64);
    GraphicsSceneRenderer::CreateResources(bed.Graphics());

    Camera camera;
    camera.SetCoords(Coords::LookAt(Vec3(0.0f, 4.0f, 0.0f), Vec3(), Vec3(0.0f, 0.0f, 1.0f)));
    const Viewport view(0, 0, GLEngineBed::kWidth, GLEngineBed::kHeight);
    const Vec2 centre = camera.Project(Vec3(), view);
    int regionKey = 0;
    for (const char* mesh : {"Meshes/BuiltBox.msh", sample::kLitBoxMesh}) {
        GraphicsMeshInstance box;
        box.SetMesh(mesh);
        ASSERT_NE(box.GetMesh(), nullptr) << mesh;
        box.GetMesh()->EnsureAvailable();
        box.SetScale(Vec3(2.0f, 2.0f, 2.0f));
        GraphicsNormalRenderer renderer;
        renderer.SetViewer(nullptr, camera, view, camera.GetFrustum(view));
        renderer.SetSkyAmbientColor(Color(1.0f, 0.0f, 0.0f, 1.0f));
        renderer.SetGroundAmbientColor(Color(0.0f, 0.0f, 1.0f, 1.0f));
        renderer.AddRenderable(&box, reinterpret_cast<Region*>(&regionKey));
        renderer.Render(bed.Canvas(), false, false);
        const uint32_t pixel = bed.ReadPixels()[size_t(int(centre.y)) * GLEngineBed::kWidth + size_t(int(centre.x))];
        EXPECT_TRUE(int(pixel & 0xFF) >= 250 && int(pixel >> 16 & 0xFF) <= 5) << mesh << " " << std::hex << pixel;
    }
    GraphicsSceneRenderer::DestroyResources(bed.Graphics());
    GraphicsNormalRenderer::DestroyRenderTargets(bed.Graphics());
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

}  // namespace
}  // namespace GAME::test
