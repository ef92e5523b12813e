// Model-file nodes: every kind and the material through one stream, the corner word order, the
// exporter's extra parameter types, streams cut at every byte, and the physics node's box tree
// with the collision buffer it writes.

#include <gtest/gtest.h>

#include <cstring>

#include "core/MathExpect.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "physics/PhysicsMeshWriter.h"
#include "scene/SceneDummyNode.h"
#include "scene/SceneHitBoxNode.h"
#include "scene/SceneMeshNode.h"
#include "scene/SceneModelMaterial.h"
#include "scene/ScenePhysicsNode.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using test::ExpectNear;

SceneMeshNode MakeMeshNode() {
    SceneMeshNode node;
    node.SetName("Body");
    node.SetParentName("Root");
    node.SetUserData("lod=0");
    SceneMeshNode::Face face;
    for (uint32_t c = 0; c < 3; ++c) {
        for (uint32_t w = 0; w < 5; ++w) face.corners[c][w] = 10 * c + w;
    }
    face.material = 1;
    face.extra = 77;
    node.AppendFace(face);
    node.AppendFace(SceneMeshNode::Face());
    node.SetNumVertices(3);
    node.SetVertex(2, Vec3(1, 2, 3));
    node.SetNumNormals(1);
    node.SetNormal(0, Vec3(0, 0, 1));
    node.SetNumTextureCoords(2);
    node.SetTextureCoord(1, Vec2(0.5f, 0.25f));
    node.SetNumInfluences(2);
    node.SetInfluences(1, {{4, 0.75f}, {5, 0.25f}});
    node.SetNumColors(1);
    node.SetColor(0, Color(1, 0.5f, 0, 1));
    return node;
}

ScenePhysicsNode MakePhysicsNode(int faceCount) {
    ScenePhysicsNode node;
    node.SetName("Collision");
    node.SetNumVertices(3 * faceCount);
    node.SetNumFaces(faceCount);
    for (int f = 0; f < faceCount; ++f) {
        const float x = float(f * 7 % 13);
        const float y = float(f * 5 % 11);
        node.SetVertex(3 * f, Vec3(x, y, 0));
        node.SetVertex(3 * f + 1, Vec3(x + 1, y, 0));
        node.SetVertex(3 * f + 2, Vec3(x, y + 1, float(f % 3)));
        ScenePhysicsNode::Face face;
        face.vertices[0] = uint32_t(3 * f);
        face.vertices[1] = uint32_t(3 * f + 1);
        face.vertices[2] = uint32_t(3 * f + 2);
        face.surface = static_cast<PhysicsSurface>(f % 4);
        node.SetFace(f, face);
    }
    return node;
}

SceneModelMaterial MakeMaterial() {
    SceneModelMaterial material;
    material.SetShaderName("Shaders/Skin.ssh");
    material.SetNumParameters(5);
    material.GetParameter(0) = {"diffuse", 7, "Textures/Skin.tex", false, 0, {}};
    material.GetParameter(1) = {"lit", 1, "", true, 0, {}};
    material.GetParameter(2) = {"tint", 12, "", false, 0, {0.5f, 0.25f, 0.125f}};
    material.GetParameter(3) = {"later", 14, "", false, 0, {}};
    material.GetParameter(4) = {"glow", 13, "", false, 0, {1, 2, 3, 4}};
    return material;
}

TEST(SceneModelNodeTest, EveryKindRoundTripsThroughOneStream) {
    SceneDummyNode dummy;
    dummy.SetName("Helper");
    dummy.SetCoords(Coords::RotationZ(0.5f) * Coords::Translation(Vec3(1, 2, 3)));
    SceneHitBoxNode hitBox;
    hitBox.SetName("Head");
    hitBox.SetExtents(Vec3(1, 2, 3));
    hitBox.SetCoords(Coords::Translation(Vec3(0, 0, 5)));
    const SceneMeshNode mesh = MakeMeshNode();
    const ScenePhysicsNode physics = MakePhysicsNode(3);
    const SceneModelMaterial material = MakeMaterial();

    BinaryWriter writer;
    ASSERT_TRUE(dummy.Write(writer));
    ASSERT_TRUE(hitBox.Write(writer));
    const uint32_t meshStart = writer.GetPosition();
    ASSERT_TRUE(mesh.Write(writer));
    ASSERT_TRUE(physics.Write(writer));
    ASSERT_TRUE(material.Write(writer));

    // The first face's first corner is streamed as words 0, 1, 2, 4, 3, after the base part and counts.
    uint32_t corner[5];
    std::memcpy(corner, writer.GetBuffer() + meshStart + 4 * 3 + 4 + 4 + 5 + 6 * 4, sizeof(corner));
    EXPECT_EQ(corner[3], 4u);
    EXPECT_EQ(corner[4], 3u);

    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    SceneDummyNode dummy2;
    SceneHitBoxNode hitBox2;
    SceneMeshNode mesh2;
    ScenePhysicsNode physics2;
    SceneModelMaterial material2;
    ASSERT_TRUE(dummy2.Read(reader));
    ASSERT_TRUE(hitBox2.Read(reader));
    ASSERT_TRUE(mesh2.Read(reader));
    ASSERT_TRUE(physics2.Read(reader));
    ASSERT_TRUE(material2.Read(reader));
    EXPECT_TRUE(reader.IsAtEnd());
    for (const int influences : {2, 0}) {  // a mesh node ending its buffer: its influences or its counts last
        SceneMeshNode last = mesh, read;
        last.SetNumColors(0);
        last.SetNumInfluences(influences);
        BinaryWriter alone;
        ASSERT_TRUE(last.Write(alone));
        BinaryReader whole(alone.GetBuffer(), alone.GetPosition());
        EXPECT_TRUE(read.Read(whole)) << influences;
    }

    EXPECT_TRUE(dummy2.GetType() == SceneModelNode::kDummy && dummy2.GetName() == "Helper" && dummy2.GetCoords() == dummy.GetCoords());
    EXPECT_TRUE(hitBox2.GetType() == SceneModelNode::kHitBox && hitBox2.GetExtents() == Vec3(1, 2, 3) &&
                hitBox2.GetCoords() == hitBox.GetCoords());

    EXPECT_TRUE(mesh2.GetType() == SceneModelNode::kMesh && mesh2.GetParentName() == "Root" && mesh2.GetUserData() == "lod=0");
    ASSERT_EQ(mesh2.GetNumFaces(), 2);
    EXPECT_EQ(0, std::memcmp(&mesh2.GetFace(0), &mesh.GetFace(0), sizeof(SceneMeshNode::Face)));
    EXPECT_EQ(mesh2.GetFace(1).material, SceneMeshNode::kNoMaterial);
    EXPECT_TRUE(mesh2.GetVertex(2) == Vec3(1, 2, 3) && mesh2.GetNumNormals() == 1 && mesh2.GetTextureCoord(1).y == 0.25f);
    ASSERT_EQ(mesh2.GetNumInfluences(), 2);
    EXPECT_TRUE(mesh2.GetInfluences(0).empty());
    ASSERT_EQ(mesh2.GetInfluences(1).size(), 2u);
    EXPECT_TRUE(mesh2.GetInfluences(1)[1].bone == 5u && mesh2.GetInfluences(1)[1].weight == 0.25f);
    EXPECT_TRUE(mesh2.GetColor(0) == Color(1, 0.5f, 0, 1) && !mesh2.CheckConsistency(1) && mesh2.CheckConsistency(2));

    EXPECT_EQ(physics2.GetType(), SceneModelNode::kPhysics);
    ASSERT_EQ(physics2.GetNumFaces(), 3);
    EXPECT_TRUE(physics2.GetFace(2).surface == physics.GetFace(2).surface && physics2.GetVertex(8) == physics.GetVertex(8) &&
                physics2.GetRootNode() == nullptr);

    // 12 reads back as 9 and 13 as 11 with their floats; 14 keeps its type and has no payload.
    EXPECT_EQ(material2.GetShaderName(), "Shaders/Skin.ssh");
    ASSERT_EQ(material2.GetNumParameters(), 5);
    EXPECT_TRUE(material2.GetParameter(0).text == "Textures/Skin.tex" && material2.GetParameter(1).boolean);
    EXPECT_TRUE(material2.GetParameter(2).type == 9u && material2.GetParameter(2).floats[2] == 0.125f &&
                material2.GetParameter(3).type == 14u && material2.GetParameter(4).type == 11u &&
                material2.GetParameter(4).floats[3] == 4.0f);

    // A stream cut anywhere fails the node it cuts.
    for (uint32_t cut = 0; cut < writer.GetPosition(); ++cut) {
        BinaryReader part(writer.GetBuffer(), cut);
        const bool whole = dummy2.Read(part) && hitBox2.Read(part) && mesh2.Read(part) && physics2.Read(part) &&
                           material2.Read(part);
        EXPECT_FALSE(whole) << "cut at " << cut;
    }
    // A hostile count fails before anything is reserved.
    BinaryWriter hostile;
    hostile.Write(std::string("Body"));
    hostile.Write(std::string());
    hostile.Write(std::string());
    for (int i = 0; i < 6; ++i) hostile.Write(0x40000000u);
    BinaryReader hostileReader(hostile.GetBuffer(), hostile.GetPosition());
    EXPECT_FALSE(mesh2.Read(hostileReader));
}

TEST(SceneModelNodeTest, BoxTreeIsTheCollisionWritersAndOwnedByTheNode) {
    // Fewer than 10 faces: one leaf.
    ScenePhysicsNode small = MakePhysicsNode(9);
    ASSERT_TRUE(small.BuildTree());
    ASSERT_NE(small.GetRootNode(), nullptr);
    EXPECT_EQ(small.GetRootNode()->child0, nullptr);
    EXPECT_EQ(small.GetRootNode()->faceCount, 9);

    // Faces whose centroids share every coordinate are not split.
    ScenePhysicsNode same = MakePhysicsNode(12);
    for (int f = 0; f < same.GetNumFaces(); ++f) same.SetFace(f, same.GetFace(0));
    ASSERT_TRUE(same.BuildTree());
    EXPECT_EQ(same.GetRootNode()->child0, nullptr);
    EXPECT_EQ(same.GetRootNode()->faceCount, 12);

    // A larger node: the linked tree is the collision writer's, node for node.
    ScenePhysicsNode node = MakePhysicsNode(60);
    mem::vector<PhysicsMesh::Face> faces;
    mem::vector<Vec3> vertices;
    for (int f = 0; f < node.GetNumFaces(); ++f) faces.push_back(node.GetFace(f));
    for (int v = 0; v < node.GetNumVertices(); ++v) vertices.push_back(node.GetVertex(v));
    mem::vector<PhysicsMesh::Node> nodes;
    ASSERT_TRUE(PhysicsMeshWriter::BuildTree(faces, vertices, nodes));
    ASSERT_TRUE(node.BuildTree());
    int visited = 0;
    const auto compare = [&](const auto& self, const ScenePhysicsNode::TreeNode* linked, int index) -> void {
        ++visited;
        const PhysicsMesh::Node& flat = nodes[size_t(index)];
        EXPECT_EQ(linked->centre, flat.box.centre);
        EXPECT_EQ(linked->halfSize, flat.box.halfSize);
        EXPECT_EQ(linked->firstFace, flat.firstFace);
        EXPECT_EQ(linked->faceCount, flat.faceCount);
        EXPECT_EQ(linked->child0 != nullptr, flat.child0 >= 0);
        if (linked->child0) self(self, linked->child0.get(), flat.child0);
        if (linked->child1) self(self, linked->child1.get(), flat.child1);
    };
    compare(compare, node.GetRootNode(), 0);
    EXPECT_EQ(visited, int(nodes.size()));
    EXPECT_GT(visited, 1);
    // The node's faces are reordered as the tree's leaves own them.
    for (int f = 0; f < node.GetNumFaces(); ++f) EXPECT_EQ(node.GetFace(f).vertices[0], faces[size_t(f)].vertices[0]);

    // The collision buffer reads back with the same tree.
    BinaryWriter buffer;
    ASSERT_TRUE(node.WriteCollisionBuffer(buffer));
    PhysicsMesh physicsMesh;
    ASSERT_TRUE(physicsMesh.Initialize(buffer.GetBuffer(), int(buffer.GetPosition())));
    EXPECT_EQ(physicsMesh.GetNumNodes(), int(nodes.size()));
    EXPECT_EQ(physicsMesh.GetNumFaces(), 60);

    // A copy, made or assigned, owns a tree of its own.
    ScenePhysicsNode copy = node, assigned = small;
    assigned = node;
    for (const ScenePhysicsNode* own : {&copy, &assigned}) {
        EXPECT_NE(own->GetRootNode(), node.GetRootNode());
        EXPECT_EQ(own->GetRootNode()->child1->halfSize, node.GetRootNode()->child1->halfSize);
    }

    // A face past the vertices builds nothing.
    test::LogCapture log;
    ScenePhysicsNode::Face bad;
    bad.vertices[2] = 1000;
    node.SetFace(0, bad);
    EXPECT_FALSE(node.BuildTree());
    EXPECT_EQ(node.GetRootNode(), nullptr);
    EXPECT_FALSE(node.WriteCollisionBuffer(buffer));
}

}  // namespace
}  // namespace GAME
