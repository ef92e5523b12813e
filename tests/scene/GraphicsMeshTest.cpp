#include "scene/GraphicsMesh.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "MeshTestData.h"
#include "core/Mat4.h"
#include "core/MathExpect.h"
#include "files/BaseResourceManager.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/ShaderFileWriter.h"
#include "scene/MeshFileWriter.h"
#include "scene/SkeletalPose.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/RecordingResources.h"

namespace GAME {
namespace {

using Contents = MeshFileWriter::Contents;
using test::ExpectNear;
using test::RecordingIndexBuffer;
using test::RecordingVertexBuffer;

struct BoneSpec {
    const char* name;
    int parent;  // -1 for a root
    Coords relative;
};

struct VertexSpec {
    Vec3 position;
    float weights[4];
    uint8_t slots[4];
};

// Bones in the given order (each bone's children must follow one another), vertices of weights,
// position (not first) and palette slots, and face sets of {bones, first face, face count}.
Contents SkinnedMesh(const std::vector<BoneSpec>& bones, const std::vector<VertexSpec>& vertices,
                     const std::vector<uint16_t>& indices, const std::vector<GraphicsMesh::FaceSet>& sets) {
    Contents contents;
    contents.attributes = {5, 0, 6};
    contents.stride = 16 + 12 + 4;
    for (const VertexSpec& vertex : vertices) {
        const auto append = [&](const void* data, size_t size) {
            const uint8_t* bytes = static_cast<const uint8_t*>(data);
            contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + size);
        };
        append(vertex.weights, 16);
        append(&vertex.position, 12);
        append(vertex.slots, 4);
    }
    contents.indices.assign(indices.begin(), indices.end());
    contents.faceSets.assign(sets.begin(), sets.end());
    for (size_t b = 0; b < bones.size(); ++b) {
        GraphicsMesh::Bone bone;
        bone.nameText = bones[b].name;
        bone.relativeCoords = bones[b].relative;
        for (size_t c = b + 1; c < bones.size(); ++c) {
            if (bones[c].parent != int(b)) continue;
            if (bone.childCount == 0) bone.firstChild = uint32_t(c);
            ++bone.childCount;
        }
        contents.bones.push_back(bone);
    }
    contents.bounds = ABBox(Vec3(), Vec3(4, 4, 4));
    contents.materials.emplace_back().shaderName = "Shaders/Skinned.ssh";
    return contents;
}

GraphicsMesh::FaceSet MakeSet(std::vector<uint32_t> bones, uint32_t firstFace, uint32_t faceCount) {
    GraphicsMesh::FaceSet set;
    set.bones.assign(bones.begin(), bones.end());
    set.firstFace = firstFace;
    set.faceCount = faceCount;
    return set;
}

std::vector<uint8_t> Bytes(const Contents& contents) {
    BinaryWriter writer;
    EXPECT_TRUE(MeshFileWriter::Write(writer, contents));
    const uint8_t* data = static_cast<const uint8_t*>(writer.GetBuffer());
    return std::vector<uint8_t>(data, data + writer.GetPosition());
}

Vec3 Apply(const Mat4& m, const Vec3& p) {
    return Vec3(m(0, 0) * p.x + m(0, 1) * p.y + m(0, 2) * p.z + m(0, 3),
                m(1, 0) * p.x + m(1, 1) * p.y + m(1, 2) * p.z + m(1, 3),
                m(2, 0) * p.x + m(2, 1) * p.y + m(2, 2) * p.z + m(2, 3));
}

// A four-bone creature: Root with Spine and Tail, Spine with Hand; rotated and moved frames.
const std::vector<BoneSpec> kCreature = {
    {"Root", -1, Coords::RotationZ(0.3f) * Coords::Translation(Vec3(1, 0, 0))},
    {"Spine", 0, Coords::RotationX(0.5f) * Coords::Translation(Vec3(0, 1, 0))},
    {"Tail", 0, Coords::Translation(Vec3(0, -1, 0))},
    {"Hand", 1, Coords::RotationY(-0.4f) * Coords::Translation(Vec3(0, 0, 1))},
};

Contents Creature() {
    // The palette lists the bones out of order, so that slots and bones differ.
    const std::vector<VertexSpec> vertices = {
        {Vec3(1, 2, 3), {1, 0, 0, 0}, {0, 0, 0, 0}},
        {Vec3(-1, 0.5f, 2), {0.25f, 0.75f, 0, 0}, {1, 2, 0, 0}},
        {Vec3(0, -2, 1), {0.5f, 0.2f, 0.2f, 0.1f}, {3, 2, 1, 0}},
        {Vec3(2, 2, -1), {0, 0, 1, 0}, {0, 0, 2, 0}},
    };
    Contents contents = SkinnedMesh(kCreature, vertices, {0, 1, 2, 1, 2, 3}, {MakeSet({3, 0, 1, 2}, 0, 2)});
    contents.descriptionText =
        "AttachPoint { name = \"Grip\" parent = \"Hand\" origin = (0.5, 0, 0) xAxis = (0, 1, 0) "
        "yAxis = (-1, 0, 0) zAxis = (0, 0, 1) }";
    GraphicsMesh::HitBox box;
    box.nameText = "Palm";
    box.extents = Vec3(0.5f, 0.25f, 0.125f);
    box.coords = Coords::RotationZ(0.2f) * Coords::Translation(Vec3(0, 0, 1));
    box.bone = 3;
    contents.hitBoxes.push_back(box);
    return contents;
}

// World frames and skinning matrices computed with 4 x 4 matrices, bone by bone from the specs.
struct ReferenceSkeleton {
    ReferenceSkeleton(const std::vector<BoneSpec>& bones, const SkeletalPose& pose) {
        for (const BoneSpec& bone : bones) {
            const Mat4 parentWorld = bone.parent < 0 ? Mat4() : world[size_t(bone.parent)];
            const Mat4 parentBind = bone.parent < 0 ? Mat4() : bind[size_t(bone.parent)];
            world.push_back(parentWorld * Mat4(bone.relative) * Mat4(pose.GetBoneCoords(Name::Create(bone.name))));
            bind.push_back(parentBind * Mat4(bone.relative));
            skin.push_back(world.back() * bind.back().Inverse());
        }
    }
    std::vector<Mat4> world, bind, skin;
};

SkeletalPose CreaturePose() {
    SkeletalPose pose;
    pose.SetBoneCoords(Name::Create("Root"), Coords::RotationZ(0.7f) * Coords::Translation(Vec3(0.2f, 0, 0)));
    pose.SetBoneCoords(Name::Create("Spine"), Coords::RotationX(-0.6f));
    pose.SetBoneCoords(Name::Create("Hand"), Coords::RotationY(1.1f) * Coords::Translation(Vec3(0, 0.3f, 0)));
    return pose;
}

class GraphicsMeshTest : public test::MeshFixture {
protected:
    const GraphicsMesh* LoadContents(const std::string& name, const Contents& contents) {
        const std::vector<uint8_t> bytes = Bytes(contents);
        return LoadBytes(name, bytes.data(), uint32_t(bytes.size()));
    }
};

TEST_F(GraphicsMeshTest, PosedMeshPutsVerticesAttachPointsAndHitBoxesWhereTheBonesSay) {
    Contents contents = Creature();
    contents.hitBoxes.push_back(contents.hitBoxes[0]);  // the same box on the first bone
    contents.hitBoxes.back().bone = 0;
    const GraphicsMesh* mesh = LoadContents("Meshes/Creature.msh", contents);
    ASSERT_EQ(mesh->GetNumBones(), 4);
    const SkeletalPose pose = CreaturePose();
    const ReferenceSkeleton reference(kCreature, pose);

    Coords skin[4];
    mesh->GetAbsCoords(pose, skin);
    Vec3 skinned[4];
    mesh->SkinPositions(skin, skinned);
    const uint32_t palette[4] = {3, 0, 1, 2};
    for (int v = 0; v < 4; ++v) {
        const uint8_t* vertex = contents.vertexData.data() + v * contents.stride;
        Vec3 position;
        float weights[4];
        std::memcpy(&position, vertex + 16, 12);
        std::memcpy(weights, vertex, 16);
        Vec3 expected;
        for (int k = 0; k < 4; ++k) expected += Apply(reference.skin[palette[vertex[28 + k]]], position) * weights[k];
        SCOPED_TRACE(v);
        ExpectNear(skinned[v], expected, 1e-4f);
    }

    for (int b = 0; b < 4; ++b) {
        ExpectNear(Mat4(mesh->GetAbsCoords(pose, b)), reference.world[size_t(b)], 1e-4f);
    }
    ExpectNear(Mat4(mesh->GetAbsCoords(pose, Name::Create("Hand"))), reference.world[3], 1e-4f);
    ExpectNear(mesh->GetAbsCoords(pose, 4), Coords::Identity);
    ExpectNear(mesh->GetAbsCoords(pose, -1), Coords::Identity);
    ExpectNear(mesh->GetAbsCoords(pose, Name::Create("Wing")), Coords::Identity);

    const Coords grip(Vec3(0, 1, 0), Vec3(-1, 0, 0), Vec3(0, 0, 1), Vec3(0.5f, 0, 0));
    Coords attached;
    mesh->GetAttachedCoords(pose, Name::Create("Grip"), attached);
    ExpectNear(Mat4(attached), reference.world[3] * Mat4(grip), 1e-4f);
    mesh->GetAttachedCoords(pose, Name::Create("Nowhere"), attached);
    ExpectNear(attached, Coords::Identity);

    // A rigid pose keeps the box's sizes; a bone scaled 2 along x stretches the box's x.
    const GraphicsMesh::HitBox placed = mesh->GetHitBox(0, pose);
    ExpectNear(Mat4(placed.coords), reference.world[3] * Mat4(contents.hitBoxes[0].coords), 1e-4f);
    ExpectNear(Mat4(mesh->GetHitBox(1, pose).coords), reference.world[0] * Mat4(contents.hitBoxes[0].coords), 1e-4f);
    ExpectNear(placed.extents, Vec3(0.5f, 0.25f, 0.125f), 1e-5f);
    SkeletalPose scaled;
    SkeletalPose::AffineParts parts;
    parts.scale = Vec3(2, 1, 1);
    scaled.SetBone(Name::Create("Hand"), parts);
    const GraphicsMesh::HitBox stretched = mesh->GetHitBox(0, scaled);
    const float length = std::sqrt(std::pow(2 * std::cos(0.2f), 2.0f) + std::pow(std::sin(0.2f), 2.0f));
    EXPECT_NEAR(stretched.extents.x, 0.5f * length, 1e-4f);
    EXPECT_NEAR(stretched.coords.xAxis.Length(), 1.0f, 1e-5f);
    parts.scale = Vec3(0, 0, 0);  // a bone scaled to nothing: the axes stay as they are
    scaled.SetBone(Name::Create("Hand"), parts);
    EXPECT_TRUE(std::isfinite(mesh->GetHitBox(0, scaled).coords.xAxis.Length()));
}

TEST_F(GraphicsMeshTest, WornMeshFollowsItsWearersBones) {
    const GraphicsMesh* creature = LoadContents("Meshes/Creature.msh", Creature());
    const SkeletalPose creaturePose = CreaturePose();
    const ReferenceSkeleton creatureReference(kCreature, creaturePose);

    // A sleeve bound where the creature's spine is bound, with a cuff below it, and a cape that
    // the creature has no bone for.
    const Mat4 spineBind = creatureReference.bind[1];
    Coords spineBindCoords;
    spineBindCoords.xAxis = Vec3(spineBind(0, 0), spineBind(1, 0), spineBind(2, 0));
    spineBindCoords.yAxis = Vec3(spineBind(0, 1), spineBind(1, 1), spineBind(2, 1));
    spineBindCoords.zAxis = Vec3(spineBind(0, 2), spineBind(1, 2), spineBind(2, 2));
    spineBindCoords.origin = Vec3(spineBind(0, 3), spineBind(1, 3), spineBind(2, 3));
    const std::vector<BoneSpec> sleeveBones = {
        {"Spine", -1, spineBindCoords},
        {"Cape", -1, Coords::RotationY(0.3f) * Coords::Translation(Vec3(0, 0, 2))},
        {"Cuff", 0, Coords::RotationZ(-0.2f) * Coords::Translation(Vec3(0, 0.5f, 0))},
    };
    const std::vector<VertexSpec> vertices = {
        {Vec3(1, 1, 1), {1, 0, 0, 0}, {0, 0, 0, 0}},
        {Vec3(0, 2, 1), {1, 0, 0, 0}, {1, 0, 0, 0}},
        {Vec3(2, 0, 1), {1, 0, 0, 0}, {2, 0, 0, 0}},
    };
    const GraphicsMesh* sleeve =
        LoadContents("Meshes/Sleeve.msh", SkinnedMesh(sleeveBones, vertices, {0, 1, 2}, {MakeSet({0, 2, 1}, 0, 1)}));
    SkeletalPose sleevePose;
    sleevePose.SetBoneCoords(Name::Create("Spine"), Coords::RotationX(1.0f));  // ignored: the wearer moves it
    sleevePose.SetBoneCoords(Name::Create("Cuff"), Coords::RotationZ(0.4f));
    sleevePose.SetBoneCoords(Name::Create("Cape"), Coords::Translation(Vec3(0, 0, 0.5f)));

    Coords skin[3];
    sleeve->GetAbsCoords(sleevePose, skin, creature, creaturePose);
    Vec3 skinned[3];
    sleeve->SkinPositions(skin, skinned);

    const Mat4 spineWorld = creatureReference.world[1];
    const Mat4 cuffBind = spineBind * Mat4(sleeveBones[2].relative);
    const Mat4 cuffWorld =
        spineWorld * Mat4(sleeveBones[2].relative) * Mat4(sleevePose.GetBoneCoords(Name::Create("Cuff")));
    const Mat4 capeBind(sleeveBones[1].relative);
    const Mat4 capeWorld = capeBind * Mat4(sleevePose.GetBoneCoords(Name::Create("Cape")));
    // The sleeve's spine vertex moves exactly as the creature's spine skins it.
    ExpectNear(skinned[0], Apply(creatureReference.skin[1], Vec3(1, 1, 1)), 1e-4f);
    ExpectNear(skinned[1], Apply(cuffWorld * cuffBind.Inverse(), Vec3(0, 2, 1)), 1e-4f);
    ExpectNear(skinned[2], Apply(capeWorld * capeBind.Inverse(), Vec3(2, 0, 1)), 1e-4f);
}

TEST_F(GraphicsMeshTest, MeshWithoutSkinGivesItsPositionsAndNoMatrices) {
    const GraphicsMesh* mesh = LoadContents("Meshes/Quad.msh", [] {
        Contents contents = test::SkinnedQuad();
        contents.attributes = {0, 4};
        contents.stride = 20;
        contents.vertexData.clear();
        for (int v = 0; v < 4; ++v) {
            const float vertex[5] = {float(v), 2.0f * float(v), 3.0f, 0.0f, 0.0f};
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(vertex);
            contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + sizeof(vertex));
        }
        contents.bones.clear();
        contents.hitBoxes.clear();
        contents.faceSets[0].bones.clear();
        return contents;
    }());
    EXPECT_EQ(mesh->GetRootMotionBone(), Name::noName);
    Vec3 positions[4];
    mesh->SkinPositions(nullptr, positions);
    ExpectNear(positions[3], Vec3(3, 6, 3));
}

// A graphics engine over the recording device: meshes with device buffers, shaders and palette
// reduction.
class GraphicsMeshDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bed.Start()); }
    void TearDown() override { bed.GetLoader().StopThread(); }

    const GraphicsMesh* Load(const std::string& name, const Contents& contents) {
        bed.WriteFile(name, Bytes(contents));
        const GraphicsMesh* mesh = bed.Graphics().LoadMesh(name);
        mesh->EnsureAvailable();
        return mesh;
    }

    test::GraphicsTestBed bed;
};

TEST_F(GraphicsMeshDeviceTest, PaletteReductionKeepsEveryDrawWithinTheLimitAndTheSkinnedPositions) {
    // Root; its children P0..P26 and L0..L28; each Pi with one child Qi.
    std::vector<BoneSpec> bones = {{"Root", -1, Coords::Translation(Vec3(0, 0, 1))}};
    const auto name = [](char letter, int i) { return std::string(1, letter) + std::to_string(i); };
    std::vector<std::string> names;
    for (int i = 0; i < 27; ++i) names.push_back(name('P', i));
    for (int i = 0; i < 29; ++i) names.push_back(name('L', i));
    for (int i = 0; i < 27; ++i) names.push_back(name('Q', i));
    for (size_t i = 0; i < names.size(); ++i) {
        const int parent = i < 56 ? 0 : int(i) - 55;
        bones.push_back({names[i].c_str(), parent,
                         Coords::RotationZ(0.01f * float(i)) * Coords::Translation(Vec3(0.1f * float(i), 0, 0))});
    }
    // Set A lists Root and the 29 leaves L (3 over the limit of 27); set B lists Root, every P and
    // every Q (28 over), so that P0 folds into Root after its child Q0 folded into it.
    std::vector<uint32_t> listA = {0}, listB = {0};
    for (uint32_t i = 0; i < 29; ++i) listA.push_back(28 + i);
    for (uint32_t i = 0; i < 27; ++i) listB.push_back(1 + i);
    for (uint32_t i = 0; i < 27; ++i) listB.push_back(57 + i);
    std::vector<VertexSpec> vertices;
    std::vector<uint16_t> indices;
    for (const std::vector<uint32_t>* list : {&listA, &listB}) {
        const size_t first = vertices.size();
        for (size_t slot = 0; slot < list->size(); ++slot) {
            const uint8_t other = uint8_t((slot + 1) % list->size());
            vertices.push_back(
                {Vec3(float(slot), 1.0f, float(first)), {0.75f, 0.25f, 0, 0}, {uint8_t(slot), other, 0, 0}});
        }
        while ((vertices.size() - first) % 3 != 0) vertices.push_back({Vec3(), {1, 0, 0, 0}, {0, 0, 0, 0}});
        for (size_t v = first; v < vertices.size(); ++v) indices.push_back(uint16_t(v));
    }
    const uint32_t facesA = 10;
    const Contents contents =
        SkinnedMesh(bones, vertices, indices,
                    {MakeSet(listA, 0, facesA), MakeSet(listB, facesA, uint32_t(indices.size() / 3) - facesA)});
    const GraphicsMesh* reduced = Load("Meshes/Many.msh", contents);
    // The same file loaded without a graphics engine is not reduced.
    ResourceManager<GraphicsMesh> dataOnly(bed.GetLoader());
    const GraphicsMesh& plain = *dataOnly.LoadResource("Meshes/Many.msh");
    ASSERT_EQ(plain.GetFaceSet(1).bones.size(), 55u);

    ASSERT_EQ(reduced->GetNumFaceSets(), 2);
    const uint32_t limit = uint32_t(bed.Graphics().GetMaxNumBones());
    const uint32_t offset = reduced->GetAttributeOffset(GraphicsMesh::kAttributeSkinBones);
    const auto& data = static_cast<const RecordingVertexBuffer*>(reduced->GetVertexBuffer())->GetData();
    ASSERT_EQ(data, reduced->GetVertexData());
    for (int s = 0; s < 2; ++s) {
        const GraphicsMesh::FaceSet& set = reduced->GetFaceSet(s);
        EXPECT_EQ(set.bones.size(), limit);
        for (uint32_t i = set.firstFace * 3; i < (set.firstFace + set.faceCount) * 3; ++i) {
            for (int k = 0; k < 4; ++k) EXPECT_LT(data[reduced->GetIndices()[i] * contents.stride + offset + k], limit);
        }
    }
    EXPECT_EQ(reduced->GetFaceSet(0).bones[1], 31u);  // L0, L1 and L2 folded into Root
    EXPECT_EQ(data[4 * contents.stride + offset], 1);  // L3's vertex
    EXPECT_EQ(data[4 * contents.stride + offset + 1], 2);
    EXPECT_EQ(reduced->GetFaceSet(1).bones[1], 2u);   // P0 folded into Root
    // Q0 folded into P0, which folded into Root: Q0's vertex takes Root's slot.
    const size_t q0Vertex = 30 + 28;
    EXPECT_EQ(data[q0Vertex * contents.stride + offset], 0);

    // Under a pose that moves only the bones kept, every vertex skins to the same place.
    SkeletalPose pose;
    pose.SetBoneCoords(Name::Create("Root"), Coords::RotationX(0.8f) * Coords::Translation(Vec3(1, 2, 3)));
    for (int i = 1; i < 27; ++i)
        pose.SetBoneCoords(Name::Create(name('P', i).c_str()), Coords::RotationY(0.1f * float(i)));
    std::vector<Coords> skinReduced(bones.size()), skinPlain(bones.size());
    reduced->GetAbsCoords(pose, skinReduced.data());
    plain.GetAbsCoords(pose, skinPlain.data());
    std::vector<Vec3> positionsReduced(vertices.size()), positionsPlain(vertices.size());
    reduced->SkinPositions(skinReduced.data(), positionsReduced.data());
    plain.SkinPositions(skinPlain.data(), positionsPlain.data());
    for (size_t v = 0; v < vertices.size(); ++v) {
        SCOPED_TRACE(v);
        ExpectNear(positionsReduced[v], positionsPlain[v], 1e-4f);
    }
    bed.Graphics().UnloadMesh(reduced);
    dataOnly.UnloadResource(&plain);
}

// A shader of one style whose only parameter is a texture of the name.
std::vector<uint8_t> TextureShaderFile(const char* parameter) {
    ShaderFileSection section;
    section.generation = "GeForce6";
    section.values = {ShaderFileValue::VertexProgram("vertex", {}), ShaderFileValue::PixelProgram("pixel", {})};
    section.parameters = {{parameter, ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault}};
    section.styles = {{"normal",
                       0,
                       {ShaderStateRecord{ShaderStateCode::VertexProgram, 0, true, 0},
                        ShaderStateRecord{ShaderStateCode::PixelProgram, 0, true, 1}}}};
    return test::MakeShaderFile({section});
}

// Root's 30 children each head a chain of two more bones; a set listing Root and those children
// (4 over the limit) has no leaf and no bone one level above a leaf to fold: the children, two
// levels above the leaves, fold into Root.
TEST_F(GraphicsMeshDeviceTest, PaletteReductionFoldsBonesTwoLevelsAboveTheLeaves) {
    std::vector<BoneSpec> bones = {{"Root", -1, Coords()}};
    std::vector<std::string> names;
    for (const char letter : {'A', 'B', 'C'}) {
        for (int i = 0; i < 30; ++i) names.push_back(std::string(1, letter) + std::to_string(i));
    }
    for (size_t i = 0; i < names.size(); ++i) bones.push_back({names[i].c_str(), i < 30 ? 0 : int(i) - 29, Coords()});
    std::vector<uint32_t> list = {0};
    for (uint32_t i = 1; i <= 30; ++i) list.push_back(i);
    // Vertices skinned to A0 (folded), A4 (the first kept) and A29 (the last).
    const std::vector<VertexSpec> vertices = {{Vec3(0, 0, 0), {1, 0, 0, 0}, {1, 0, 0, 0}},
                                              {Vec3(1, 0, 0), {1, 0, 0, 0}, {5, 0, 0, 0}},
                                              {Vec3(0, 1, 0), {1, 0, 0, 0}, {30, 0, 0, 0}}};
    const Contents contents = SkinnedMesh(bones, vertices, {0, 1, 2}, {MakeSet(list, 0, 1)});
    const GraphicsMesh* mesh = Load("Meshes/Chains.msh", contents);
    ASSERT_EQ(mesh->GetNumBones(), 91);
    const mem::vector<uint32_t>& kept = mesh->GetFaceSet(0).bones;
    ASSERT_EQ(kept.size(), size_t(bed.Graphics().GetMaxNumBones()));
    EXPECT_EQ(kept[0], 0u);
    EXPECT_EQ(kept[1], 5u);
    EXPECT_EQ(kept.back(), 30u);
    const uint32_t offset = mesh->GetAttributeOffset(GraphicsMesh::kAttributeSkinBones);
    for (const auto& [vertex, slot] : {std::pair{0, 0}, std::pair{1, 1}, std::pair{2, 26}}) {
        EXPECT_EQ(mesh->GetVertexData()[size_t(vertex) * contents.stride + offset], slot) << vertex;
    }
    bed.Graphics().UnloadMesh(mesh);

    // A set listing a bone past 255 keeps its palette whole, with a warning; one at the limit has none.
    std::vector<std::string> leaves;
    for (int i = 0; i < 260; ++i) leaves.push_back("L" + std::to_string(i));
    std::vector<BoneSpec> wideBones = {{"Root", -1, Coords()}};
    for (const std::string& leaf : leaves) wideBones.push_back({leaf.c_str(), 0, Coords()});
    list.push_back(260);
    const std::vector<uint32_t> full(list.end() - bed.Graphics().GetMaxNumBones(), list.end());
    test::LogCapture log;
    const GraphicsMesh* wide = Load(
        "Meshes/Wide.msh", SkinnedMesh(wideBones, vertices, {0, 1, 2}, {MakeSet(list, 0, 1), MakeSet(full, 0, 1)}));
    EXPECT_EQ(wide->GetFaceSet(0).bones.size(), list.size());
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "bones past 255"));
    EXPECT_EQ(log.Count(LogPriority::Warning), 1u);
    bed.Graphics().UnloadMesh(wide);
}

TEST_F(GraphicsMeshDeviceTest, LoadsOnTheLoaderThreadAndDrawsOnTheMainThread) {
    Contents contents = Creature();
    contents.blendedIndices = {3, 2, 1};
    GraphicsMesh::Material plainShader, twoDots;
    plainShader.shaderName = "Shaders/Plain.ssh";
    twoDots.shaderName = "Shaders/Glass.v2.ssh";
    contents.materials = {test::SkinnedQuad().materials[0], plainShader, twoDots};  // Skinned.ssh with a texture
    // Textures the main shader samples, the 'T' one samples, and neither does.
    for (const auto& [name, file] :
         {std::pair{"glowTexture", "Textures/Glow.tex"}, std::pair{"dustTexture", "Textures/Dust.tex"}}) {
        GraphicsMesh::MaterialParameter texture = contents.materials[0].parameters[0];
        texture.nameText = name;
        texture.text = file;
        contents.materials[0].parameters.push_back(texture);
    }
    contents.faceSets.push_back(MakeSet({}, 1, 1));
    contents.faceSets[0].faceCount = 1;
    contents.faceSets[1].material = 2;
    bed.WriteFile("Shaders/Skinned.ssh", TextureShaderFile("baseTexture"));
    bed.WriteFile("Shaders/SkinnedT.ssh", TextureShaderFile("glowTexture"));
    bed.WriteFile("Shaders/Glass.v2T.ssh", {1});
    const int texturesBefore = bed.Graphics().GetTextureResourceManager()->GetNumResources();
    bed.WriteFile("Meshes/Creature.msh", Bytes(contents));

    const GraphicsMesh* mesh = bed.Graphics().LoadMesh("Meshes/Creature.msh");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetLoadedState(), Resource::LoadedState::NotLoaded);
    EXPECT_FALSE(mesh->GetIsReadyToUse(false));
    ASSERT_TRUE(bed.GetLoader().StartThread());
    bed.GetLoader().EnqueueResource(mesh, ResourcePriority::Normal, true, false);
    const uint32_t marker = bed.GetLoader().CreateMarker();
    for (int i = 0; i < 2000 && !bed.GetLoader().GetHasMarkerPast(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(mesh->GetLoadedState(), Resource::LoadedState::Loaded);
    bed.GetLoader().StopThread();

    // The device objects hold the file's vertices and triangles.
    const auto* vertices = static_cast<const RecordingVertexBuffer*>(mesh->GetVertexBuffer());
    ASSERT_NE(vertices, nullptr);
    EXPECT_EQ(vertices->GetData(), contents.vertexData);
    const auto* indices = static_cast<const RecordingIndexBuffer*>(mesh->GetIndexBuffer());
    ASSERT_NE(indices, nullptr);
    ASSERT_EQ(indices->GetCount(), 6u);
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(indices->GetIndex(i), contents.indices[i]);
    ASSERT_NE(mesh->GetVertexDeclaration(), nullptr);
    EXPECT_EQ(mesh->GetVertexDeclaration()->GetStride(), contents.stride);
    EXPECT_EQ(mesh->GetVideoMemoryUsage(), contents.vertexData.size() + (6 + 3) * sizeof(uint16_t));
    GraphicsMesh::MeshRenderInfo info;
    mesh->GetMeshRenderInfo(info);
    EXPECT_EQ(info.vertexBuffer, vertices);
    EXPECT_EQ(std::tuple(info.boneCount, info.vertexStride), std::tuple(4u, contents.stride));

    // 'T' shaders: beside the main one when the file exists (before the last dot), else the main
    // one again.
    ASSERT_EQ(mesh->GetNumMaterials(), 3);
    EXPECT_EQ(mesh->GetMaterial(0).secondShader->GetFileName(), "Shaders/SkinnedT.ssh");
    EXPECT_EQ(mesh->GetMaterial(1).secondShader, mesh->GetMaterial(1).shader);
    EXPECT_EQ(mesh->GetMaterial(2).secondShader->GetFileName(), "Shaders/Glass.v2T.ssh");
    // The texture neither shader samples is dropped, and its file never asked for.
    const mem::vector<GraphicsMesh::MaterialParameter>& parameters = mesh->GetMaterial(0).parameters;
    ASSERT_EQ(parameters.size(), 2u);
    ASSERT_NE(parameters[0].texture, nullptr);
    EXPECT_EQ(parameters[0].texture->GetFileName(), "Textures/Skin.tex");
    ASSERT_NE(parameters[1].texture, nullptr);
    EXPECT_EQ(parameters[1].texture->GetFileName(), "Textures/Glow.tex");
    EXPECT_EQ(bed.Graphics().GetTextureResourceManager()->GetNumResources(), texturesBefore + 2);
    EXPECT_TRUE(mesh->UsesShaderOfType("Shaders/"));
    EXPECT_FALSE(mesh->UsesShaderOfType("Skinned"));

    bed.Device().ClearCalls();
    mesh->RenderBlendedFaces(bed.Device(), *bed.Graphics().GetBasicShader());
    const std::vector<std::string> draws = bed.Device().GetCalls("DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0], "DrawIndexedPrimitive(0, 0, " + std::to_string(mesh->GetNumVertices()) + ", 1, 0, 0)");
    // The blended faces' own index buffer, one triangle.
    const auto* blended = static_cast<const RecordingIndexBuffer*>(bed.Device().GetState().indexBuffer);
    ASSERT_NE(blended, nullptr);
    EXPECT_NE(static_cast<const RenderIndexBuffer*>(blended), mesh->GetIndexBuffer());
    const auto& stream = bed.Device().GetState().streams[0];  // the mesh's vertices from their start
    EXPECT_EQ(std::tuple(stream.buffer, stream.offset, stream.stride),
              std::tuple(mesh->GetVertexBuffer(), 0u, uint32_t(contents.stride)));
    EXPECT_EQ(blended->GetIndex(0), 3u);
    EXPECT_EQ(bed.Device().GetState().streams[0].buffer, mesh->GetVertexBuffer());
    EXPECT_EQ(bed.Device().GetState().declaration, mesh->GetVertexDeclaration());

    // Unloading gives every device object, shader and texture back.
    const size_t live = bed.Device().GetNumLiveResources();
    bed.Graphics().UnloadMesh(mesh);
    bed.Graphics().UnloadUnreferencedResources();
    EXPECT_LE(bed.Device().GetNumLiveResources() + 4, live);
    EXPECT_EQ(bed.Graphics().GetMeshResourceManager()->GetMemoryUsage(), 0u);

    // Asked for its device objects or shaders, or drawn, first, a mesh loads.
    const std::function<bool(const GraphicsMesh&)> questions[] = {
        [](const GraphicsMesh& m) { return m.GetVertexBuffer() != nullptr; },
        [](const GraphicsMesh& m) { return m.GetIndexBuffer() != nullptr; },
        [](const GraphicsMesh& m) { return m.GetVertexDeclaration() != nullptr; },
        [](const GraphicsMesh& m) { return !m.UsesShaderOfType("Skinned"); },
        [&](const GraphicsMesh& m) {
            bed.Device().ClearCalls();
            m.RenderBlendedFaces(bed.Device(), *bed.Graphics().GetBasicShader());
            return bed.Device().CountCalls("DrawIndexedPrimitive") == 1;
        }};
    for (size_t i = 0; i < std::size(questions); ++i) {
        const GraphicsMesh* lazy = bed.Graphics().LoadMesh("Meshes/Creature.msh");
        ASSERT_EQ(lazy->GetLoadedState(), Resource::LoadedState::NotLoaded);
        EXPECT_TRUE(questions[i](*lazy)) << i;
        bed.Graphics().UnloadMesh(lazy);
        bed.Graphics().UnloadUnreferencedResources();
    }
}

TEST_F(GraphicsMeshDeviceTest, MaterialParametersReachTheShader) {
    // A shader whose pixel program reads "tint" from register 0, "gloss" from 1 and "offset" from 2.
    ShaderFileSection section;
    section.generation = "GeForce6";
    section.values = {ShaderFileValue::VertexProgram("vertex", {}),
                      ShaderFileValue::PixelProgram("pixel", {{0, 1, false, 0}, {1, 1, false, 1}, {2, 1, false, 2}})};
    section.parameters = {{"tint", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault},
                          {"gloss", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault},
                          {"offset", ShaderValueType::Float2, 1, ShaderFileParameter::kNoDefault}};
    section.styles = {{"normal",
                       0,
                       {ShaderStateRecord{ShaderStateCode::VertexProgram, 0, true, 0},
                        ShaderStateRecord{ShaderStateCode::PixelProgram, 0, true, 1}}}};
    bed.WriteFile("Shaders/Tinted.ssh", test::MakeShaderFile({section}));

    Contents contents = Creature();
    const auto parameter = [](const char* name, uint32_t type, std::vector<float> values) {
        GraphicsMesh::MaterialParameter result;
        result.nameText = name;
        result.type = type;
        std::memcpy(result.payload, values.data(), values.size() * sizeof(float));
        return result;
    };
    contents.materials[0].shaderName = "Shaders/Tinted.ssh";
    contents.materials[0].parameters = {parameter("tint", GraphicsMesh::kParamVec4, {0.25f, 0.5f, 0.75f, 1.0f}),
                                        parameter("gloss", GraphicsMesh::kParamFloat, {8.0f}),
                                        parameter("offset", GraphicsMesh::kParamVec2, {-1.0f, 2.0f})};
    const GraphicsMesh* mesh = Load("Meshes/Tinted.msh", contents);
    const GraphicsShader2& shader = *mesh->GetMaterial(0).shader;
    ASSERT_TRUE(shader.Begin(shader.FindStyleByName(Name::Create("normal"))));
    mesh->SetShaderParameters(shader, 0);
    shader.Render("Meshes/Tinted.msh");
    shader.End();
    const auto& constants = bed.Device().GetState().pixelConstants;
    EXPECT_EQ(std::vector<float>(constants[0], constants[0] + 4), (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
    EXPECT_EQ(constants[1][0], 8.0f);
    EXPECT_EQ(constants[2][0], -1.0f);
    EXPECT_EQ(constants[2][1], 2.0f);
    bed.Graphics().UnloadMesh(mesh);
}

// A vertex format without vertices (a mesh of collision or text only) still makes its
// declaration, but no vertex buffer; a vertex buffer the device refuses makes a partial load (the
// resource then stands in empty until it loads again).
TEST_F(GraphicsMeshDeviceTest, FormatWithoutVerticesMakesADeclarationAndARefusedBufferAPartLoad) {
    Contents contents;
    contents.attributes = {0, 1};
    contents.stride = 24;
    const GraphicsMesh* empty = Load("Meshes/Empty.msh", contents);
    EXPECT_EQ(empty->GetInitResult(), Resource::InitResult::Success);
    EXPECT_EQ(empty->GetNumVertices(), 0u);
    ASSERT_NE(empty->GetVertexDeclaration(), nullptr);
    EXPECT_EQ(empty->GetVertexDeclaration()->GetStride(), 24u);
    EXPECT_EQ(empty->GetVertexBuffer(), nullptr);
    bed.Graphics().UnloadMesh(empty);
    // One vertex is enough for a buffer.
    contents.vertexData.assign(24, 0);
    const GraphicsMesh* single = Load("Meshes/Single.msh", contents);
    EXPECT_NE(single->GetVertexBuffer(), nullptr);
    bed.Graphics().UnloadMesh(single);

    test::LogCapture log;
    contents.vertexData.clear();
    bed.Device().Script().failCreates = true;  // the declaration of a mesh without vertices
    const GraphicsMesh* undeclared = Load("Meshes/Undeclared.msh", contents);
    bed.Device().Script().failCreates = false;
    EXPECT_EQ(undeclared->GetInitResult(), Resource::InitResult::PartlyInitialized);
    bed.Graphics().UnloadMesh(undeclared);
    bed.Device().Script().failVertexBuffers = true;
    const GraphicsMesh* refused = Load("Meshes/Creature.msh", Creature());
    bed.Device().Script().failVertexBuffers = false;
    EXPECT_EQ(refused->GetInitResult(), Resource::InitResult::PartlyInitialized);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Meshes/Creature.msh"));
    bed.Graphics().UnloadMesh(refused);
}

TEST_F(GraphicsMeshDeviceTest, FileThatFailsValidationLoadsAsTheStandIn) {
    test::LogCapture log;
    Contents contents = Creature();
    std::vector<uint8_t> bytes = Bytes(contents);
    // Whole at first, then loaded again once cut short: nothing of the first load stays.
    const GraphicsMesh* mesh = Load("Meshes/Broken.msh", contents);
    bytes.resize(bytes.size() / 2);
    for (const char* name : {"Meshes/Broken.msh", "Meshes/Cutoff.msh"}) bed.WriteFile(name, bytes);
    bed.Graphics().GetMeshResourceManager()->ReloadAllResources(true);
    const GraphicsMesh* cut = bed.Graphics().LoadMesh("Meshes/Cutoff.msh");
    EXPECT_EQ(mesh->GetSystemMemoryUsage(), cut->GetSystemMemoryUsage());
    EXPECT_EQ(std::tuple(mesh->GetVertexStride(), mesh->GetRootMotionBone()), std::tuple(0u, Name::noName));
    EXPECT_EQ(mesh->GetNumVertices(), 0u);
    EXPECT_EQ(mesh->GetInitResult(), Resource::InitResult::InvalidData);
    EXPECT_EQ(mesh->GetLoadedState(), Resource::LoadedState::Loaded);
    ExpectNear(mesh->GetBoundingBox().centre, Vec3());
    ExpectNear(mesh->GetBoundingBox().halfSize, Vec3(1, 1, 1));
    ExpectNear(mesh->GetOBBox().halfSize, Vec3(1, 1, 1));
    EXPECT_EQ(mesh->GetVertexBuffer(), nullptr);
    EXPECT_EQ(mesh->GetNumBones(), 0);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Meshes/Broken.msh"));
    bed.Graphics().UnloadMesh(mesh);
    bed.Graphics().UnloadMesh(cut);
}

}  // namespace
}  // namespace GAME
