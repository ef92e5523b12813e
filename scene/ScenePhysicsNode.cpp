#include "scene/ScenePhysicsNode.h"

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "physics/PhysicsMeshWriter.h"

namespace GAME {

namespace {

using TreeNode = ScenePhysicsNode::TreeNode;

std::unique_ptr<TreeNode> CopyTree(const TreeNode* node) {
    if (!node) return nullptr;
    auto copy = std::make_unique<TreeNode>();
    copy->centre = node->centre;
    copy->halfSize = node->halfSize;
    copy->firstFace = node->firstFace;
    copy->faceCount = node->faceCount;
    copy->child0 = CopyTree(node->child0.get());
    copy->child1 = CopyTree(node->child1.get());
    return copy;
}

// The linked form of node index of the writer's tree (whose depth the writer bounds).
std::unique_ptr<TreeNode> LinkTree(const mem::vector<PhysicsMesh::Node>& nodes, int index) {
    if (index < 0) return nullptr;
    const PhysicsMesh::Node& node = nodes[size_t(index)];
    auto linked = std::make_unique<TreeNode>();
    linked->centre = node.box.centre;
    linked->halfSize = node.box.halfSize;
    linked->firstFace = node.firstFace;
    linked->faceCount = node.faceCount;
    linked->child0 = LinkTree(nodes, node.child0);
    linked->child1 = LinkTree(nodes, node.child1);
    return linked;
}

}  // namespace

ScenePhysicsNode::ScenePhysicsNode(const ScenePhysicsNode& other)
    : SceneModelNode(other), faces_(other.faces_), vertices_(other.vertices_), root_(CopyTree(other.root_.get())) {}

ScenePhysicsNode& ScenePhysicsNode::operator=(const ScenePhysicsNode& other) {
    if (this != &other) {
        SceneModelNode::operator=(other);
        faces_ = other.faces_;
        vertices_ = other.vertices_;
        root_ = CopyTree(other.root_.get());
    }
    return *this;
}

bool ScenePhysicsNode::Read(BinaryReader& reader) {
    if (!SceneModelNode::Read(reader)) return false;
    const uint32_t faceCount = reader.ReadUInt32();
    const uint32_t vertexCount = reader.ReadUInt32();
    if (reader.Failed() || uint64_t(faceCount) * 16 + uint64_t(vertexCount) * 12 > reader.GetRemaining()) return false;
    faces_.resize(faceCount);
    for (Face& face : faces_) {
        for (uint32_t& index : face.vertices) index = reader.ReadUInt32();
        face.surface = static_cast<PhysicsSurface>(reader.ReadInt32());
    }
    vertices_.resize(vertexCount);
    for (Vec3& v : vertices_) v = reader.ReadVec3();
    return !reader.Failed();
}

bool ScenePhysicsNode::Write(BinaryWriter& writer) const {
    SceneModelNode::Write(writer);
    writer.Write(static_cast<unsigned int>(faces_.size()));
    writer.Write(static_cast<unsigned int>(vertices_.size()));
    for (const Face& face : faces_) {
        for (const uint32_t index : face.vertices) writer.Write(static_cast<unsigned int>(index));
        writer.Write(static_cast<int>(face.surface));
    }
    for (const Vec3& v : vertices_) writer.Write(v);
    return !writer.Failed();
}

bool ScenePhysicsNode::BuildTree() {
    root_.reset();
    mem::vector<PhysicsMesh::Node> nodes;
    if (!PhysicsMeshWriter::BuildTree(faces_, vertices_, nodes)) return false;
    if (!nodes.empty()) root_ = LinkTree(nodes, 0);
    return true;
}

bool ScenePhysicsNode::WriteCollisionBuffer(BinaryWriter& writer) const {
    return PhysicsMeshWriter::Write(writer, faces_, vertices_);
}

}  // namespace GAME
