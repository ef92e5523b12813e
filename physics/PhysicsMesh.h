#pragma once
// PhysicsMesh: the collision shape of a mesh. Triangles with a surface each, their vertices, the
// bounds of the vertices and a tree of axis-aligned boxes over the faces, read from the collision
// buffer of a mesh file. It answers the nearest ray hit and the contacts of an oriented box, both
// in mesh space, by descending the tree.
//
// Buffer (little-endian), version 1 or 2; PhysicsMeshWriter writes version 2:
//   u32 version, u32 faceCount, u32 vertexCount, u32 nodeCount (version 2 only),
//   faceCount x {u32 vertex index x 3, u32 surface},
//   vertexCount x {f32 x, y, z},
//   nodeCount x {f32 centre x, y, z, f32 half size x, y, z, u32 firstFace, u32 faceCount,
//                i32 child0, i32 child1}                     (40 bytes; version 2 only)
// Node 0 is the root. A version-1 mesh gets one root leaf over all faces.
//
// The buffer comes from files, so Initialize trusts none of it: counts are checked against the
// bytes present, every vertex index, face range and child index against its array, and the tree
// must be a tree (no node reached twice, so no cycles) no deeper than kMaxTreeDepth, because the
// queries recurse once per level. Vertices and node boxes must be finite.

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/Intersection.h"
#include "core/Mem.h"
#include "core/OBBox.h"
#include "core/PhysicsSurface.h"
#include "core/Ray.h"
#include "core/Vec3.h"

#include <cstdint>

namespace GAME {

class Region;
struct CollisionContact;

class PhysicsMesh {
public:
    // A collision triangle.
    struct Face {
        uint32_t vertices[3] = {0, 0, 0};             // indices of its corners in the vertex array
        PhysicsSurface surface = PhysicsSurface::None;  // what the triangle is made of
    };

    // A node of the box tree.
    struct Node {
        ABBox box;          // bounds of every face below the node
        int child0 = -1;    // index of the first child node, -1 for none
        int child1 = -1;    // index of the second child node, -1 for none
        int firstFace = 0;  // a leaf owns faces firstFace .. firstFace + faceCount - 1
        int faceCount = 0;  // above 0 makes the node a leaf; otherwise its faces are in its children
    };

    // The version PhysicsMeshWriter writes.
    static constexpr uint32_t kVersion = 2;
    // Levels below the root, the root being level 0; a node on the last level must be a leaf.
    static constexpr int kMaxTreeDepth = 256;

    // Reads a collision buffer, replacing what the mesh held. On a bad version, a buffer that ends
    // early or any data that fails the checks above, the error is logged, the mesh is left empty
    // and the result is false.
    bool Initialize(const void* buffer, int size);

    // The box of all vertices; an empty box at the origin when there are none.
    const ABBox& GetBoundingBox() const { return boundingBox_; }

    int GetNumFaces() const { return static_cast<int>(faces_.size()); }
    int GetNumVertices() const { return static_cast<int>(vertices_.size()); }
    int GetNumNodes() const { return static_cast<int>(nodes_.size()); }
    // Indices must be in range.
    const Face& GetFace(int index) const { return faces_[index]; }
    const Vec3& GetVertex(int index) const { return vertices_[index]; }
    const Node& GetNode(int index) const { return nodes_[index]; }

    // Bytes reserved by the face, node and vertex arrays.
    unsigned int GetAllocatedSize() const;

    // The nearest hit of a mesh-space ray. The result starts at distance +infinity and surface None;
    // a hit sets its distance, point and surface (the face's). Faces of the excluded surface are
    // skipped; None excludes nothing.
    void GetIntersection(const Ray& ray, Intersection& result, PhysicsSurface excluded) const;

    // The contacts of a mesh-space oriented box with the faces, at most max; returns how many were
    // written. Faces of the excluded surface are skipped (None excludes nothing). The contacts carry
    // surface None and no entity.
    int FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface excluded) const;

    // The same for a mesh placed by frame (a rigid frame, mesh to the caller's space): the ray or
    // box is in the caller's space, and so are the hit point and the contacts' positions and normals.
    void GetIntersection(const Coords& frame, const Ray& ray, Intersection& result, PhysicsSurface excluded) const;
    int FindCollisions(const Coords& frame, const OBBox& box, CollisionContact* contacts, int max,
                       PhysicsSurface excluded) const;

    // Draws every node's box, placed by the frame (mesh to region space), in the region through the
    // debug render manager.
    void DebugRender(Region* region, const Coords& frame) const;

private:
    void Clear();
    // Every face's corners are vertices, every vertex and node box is finite, and the nodes
    // reached from the root form a tree of at most kMaxTreeDepth levels.
    bool Validate() const;
    void InitializeBoundingBox();

    // The recursive forms start at a node and keep to its subtree.
    void GetIntersection(int node, const Ray& ray, Intersection& result, PhysicsSurface excluded) const;
    int FindCollisions(int node, const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface excluded) const;
    void DebugRender(int node, Region* region, const Coords& frame) const;

    mem::vector<Face> faces_;
    mem::vector<Vec3> vertices_;
    mem::vector<Node> nodes_;
    ABBox boundingBox_;
};

}  // namespace GAME
