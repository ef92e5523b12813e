#pragma once
// PhysicsMeshWriter: builds the box tree over a collision mesh's faces and writes the version-2
// buffer that PhysicsMesh::Initialize reads (the format is described there).
//
// The tree: the root covers all faces; a run of fewer than 10 faces stays a leaf; a longer run is
// split at the mean of its vertex coordinates along the axis of its box's largest half size (x,
// then y, then z on ties), trying the other two axes in turn when every face centroid falls on one
// side; a run that no axis splits stays a leaf. Faces are reordered so that each leaf owns a
// contiguous run. Nodes are numbered depth first: a node, its first subtree, its second subtree.
// A node on the last level the reader accepts (PhysicsMesh::kMaxTreeDepth) stays a leaf.

#include "core/Mem.h"
#include "core/Vec3.h"
#include "physics/PhysicsMesh.h"

namespace GAME {

class BinaryWriter;

class PhysicsMeshWriter {
public:
    // Builds the tree into nodes (replacing them), reordering faces. No faces give no nodes. False,
    // with the error logged and nothing built, when a face refers past the vertices or a vertex is
    // not a finite point (what the reader would refuse).
    static bool BuildTree(mem::vector<PhysicsMesh::Face>& faces, const mem::vector<Vec3>& vertices,
                          mem::vector<PhysicsMesh::Node>& nodes);

    // Builds the tree and writes the buffer. False when BuildTree fails or the writer does.
    static bool Write(BinaryWriter& writer, mem::vector<PhysicsMesh::Face> faces, const mem::vector<Vec3>& vertices);
};

}  // namespace GAME
