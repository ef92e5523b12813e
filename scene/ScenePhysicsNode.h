#pragma once
// ScenePhysicsNode: the collision triangles of a model, and the box tree over them that the
// collision buffer of a mesh file carries. Stream, after the base part: u32 face count, u32 vertex
// count, the faces (three vertex indices and the surface, 4 u32 each), the vertices (3 f32 each);
// the tree is not streamed, and reading does not build it.
//
// BuildTree is PhysicsMeshWriter's tree (described there), kept as linked nodes: it reorders the
// faces so that each leaf owns a run of them. WriteCollisionBuffer writes the buffer that
// PhysicsMesh reads. The node owns its tree: copying a node copies the tree.

#include <memory>

#include "core/Mem.h"
#include "core/Vec3.h"
#include "physics/PhysicsMesh.h"
#include "scene/SceneModelNode.h"

namespace GAME {

class ScenePhysicsNode : public SceneModelNode {
public:
    // Three vertex indices and the surface the triangle is made of.
    using Face = PhysicsMesh::Face;

    // A node of the box tree; a leaf has no children, only leaves keep faces.
    struct TreeNode {
        Vec3 centre;
        Vec3 halfSize;
        std::unique_ptr<TreeNode> child0;
        std::unique_ptr<TreeNode> child1;
        int firstFace = 0;
        int faceCount = 0;
    };

    ScenePhysicsNode() = default;
    ScenePhysicsNode(const ScenePhysicsNode& other);
    ScenePhysicsNode& operator=(const ScenePhysicsNode& other);

    Type GetType() const override { return kPhysics; }
    bool Read(BinaryReader& reader) override;
    bool Write(BinaryWriter& writer) const override;

    void SetNumFaces(int count) { faces_.resize(size_t(count)); }
    void SetFace(int index, const Face& face) { faces_[size_t(index)] = face; }
    const Face& GetFace(int index) const { return faces_[size_t(index)]; }
    int GetNumFaces() const { return static_cast<int>(faces_.size()); }
    void SetNumVertices(int count) { vertices_.resize(size_t(count)); }
    void SetVertex(int index, const Vec3& v) { vertices_[size_t(index)] = v; }
    const Vec3& GetVertex(int index) const { return vertices_[size_t(index)]; }
    int GetNumVertices() const { return static_cast<int>(vertices_.size()); }

    // Builds the tree over the faces, replacing the old one. False, with the error logged and no
    // tree, when a face names a vertex it does not have or a vertex is not finite. No faces give
    // no tree.
    bool BuildTree();
    // Null before BuildTree.
    const TreeNode* GetRootNode() const { return root_.get(); }
    // The version-2 collision buffer of the faces and vertices with their tree. False as BuildTree.
    bool WriteCollisionBuffer(BinaryWriter& writer) const;

private:
    mem::vector<Face> faces_;
    mem::vector<Vec3> vertices_;
    std::unique_ptr<TreeNode> root_;
};

}  // namespace GAME
