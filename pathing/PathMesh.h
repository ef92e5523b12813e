#pragma once
// PathMesh: the navigation mesh of one region's level: walkable triangles in the region's frame,
// linked to their neighbours across shared edges. The path finder searches it; the level loads it
// from its file (chunk 10), builds it from collected geometry, and registers it.
//
// Stored form (little-endian), written by Save and read back by Load:
//   "PMSH", u32 version (1), u32 vertex count, the vertices (3 f32 each),
//   u32 triangle count, the triangles (3 u32 vertex indices each).
// The neighbour links are not stored: Load rebuilds them, so a file cannot make them inconsistent.
// Load refuses counts that run past the data, non-finite vertices, indices out of range and
// triangles without area on the ground plane.
//
// Triangles are counter-clockwise on the ground plane (x to the right, z up); edge i runs from
// vertex i to vertex (i + 1) % 3, with the triangle on its left.
//
// A mesh is changed (Load, Create, Clear) only while it is not registered with the path finder.

#include <cstdint>

#include "core/Mem.h"
#include "core/Vec3.h"
#include "pathing/FaceGrid.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class PathDebugDrawer;
class Region;
struct Coords;

// A triangle of walkable or obstacle geometry collected for PathMesh::Create, in the frame of the
// mesh's region.
struct PathFace {
    Vec3 corner[3];  // the triangle's corners, in either winding
};

class PathMesh {
public:
    struct Triangle {
        uint32_t vertex[3];    // indices into the vertices, counter-clockwise
        int32_t neighbour[3];  // the triangle across edge i, -1 for a boundary edge
    };

    // Vertices closer than this are welded when a mesh is built.
    static constexpr float kWeldTolerance = 0.001f;
    // An obstacle blocks a walkable face when it reaches below this height above the face.
    static constexpr float kObstacleClearance = 2.0f;

    // The region whose level owns the mesh, set by the level; the path finder finds a position's
    // mesh by it. Not owned.
    void SetRegion(Region* region) { region_ = region; }
    Region* GetRegion() const { return region_; }

    bool HasMesh() const { return !triangles_.empty(); }
    void Clear();

    // Reads the stored form; on failure the error is logged and the mesh is left empty.
    bool Load(BinaryReader& reader);
    void Save(BinaryWriter& writer) const;

    // Builds the mesh from walkable faces, without the parts that obstacles cover: a walkable face
    // is dropped when an obstacle face overlaps it on the ground plane and reaches into the space
    // from the face up to kObstacleClearance above it. Faces that are vertical or degenerate, or
    // have a non-finite corner, are skipped. True when the mesh holds a triangle.
    bool Create(const mem::vector<PathFace>& walkable, const mem::vector<PathFace>& obstacles);

    // Draws every edge once, carried into world space by toWorld.
    void DebugRender(PathDebugDrawer& drawer, const Coords& toWorld) const;

    uint32_t GetNumVertices() const { return static_cast<uint32_t>(vertices_.size()); }
    const Vec3& GetVertex(uint32_t index) const { return vertices_[index]; }
    uint32_t GetNumTriangles() const { return static_cast<uint32_t>(triangles_.size()); }
    const Triangle& GetTriangle(uint32_t index) const { return triangles_[index]; }

    // The triangle under a point: among those containing it on the ground plane (edges included),
    // the one whose surface lies nearest to it in height; -1 when there is none.
    int32_t FindTriangle(const Vec3& point) const;
    // True when the straight line from one point to another on the ground plane stays on the mesh:
    // it walks the triangles the line crosses, from the one the line leaves `from` through, and
    // fails at a boundary edge. A line through a vertex passes where the triangles around it lead
    // on; where two parts of the mesh touch at a vertex alone, it stops there.
    bool IsLineWalkable(const Vec3& from, const Vec3& to) const;

private:
    // Orders the triangles counter-clockwise, links neighbours and files them for FindTriangle.
    void Finish();

    Region* region_ = nullptr;
    mem::vector<Vec3> vertices_;
    mem::vector<Triangle> triangles_;
    FaceGrid locator_;
};

}  // namespace GAME
