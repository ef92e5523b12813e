#pragma once
// TerrainPlug: a free triangle mesh that belongs to the ground, filling a seam between the height
// field and a mesh placed on it. The editable terrain builds plugs; the run-time block stores them
// and the run-time terrain reads them back into its tree.
//
// A stored vertex is 24 bytes: the position with the height last (x, z, y), then the normal
// (x, y, z); a triangle is three of them, a, b, c (72 bytes). The plug record of the run-time
// block: u32 triangle count T, the T triangles, u32 layer count N, N u32 terrain layer indices
// (the layers showing inside the plug, ascending).
//
// A plug is drawn like the ground around it (TerrainLayeredObject) from a vertex buffer of its
// triangles' vertices in region space (position, normal) and 16-bit indices 0, 1, 2, ..., made by
// CreateRenderData and made again after a device reset.
//
// Queries treat a plug as the ground: a ray hits a triangle only from the side its face normal
// (b - a) x (b - c) points to (a ray along the face counts), so triangles wound counter-clockwise
// in (x, z) - as the plug builder's triangulation gives them - are hit from above. Box contacts
// are taken with each triangle as (c, b, a), the winding the triangle-box test expects of a face
// seen from above.

#include <cstdint>

#include "core/Mem.h"
#include "core/Vec3.h"
#include "terrain/TerrainLayeredObject.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class RenderIndexBuffer;
class RenderVertexBuffer;
class RenderVertexDeclaration;

class TerrainPlug final : public TerrainLayeredObject {
    GAME_RTTI_DECLARE_CLASS()

public:
    // One stored vertex: position (x, z, height), then normal (x, y, z).
    struct Vertex {
        float position[3];
        float normal[3];
        // The position in the region's (x, height, z) order.
        Vec3 GetPoint() const { return Vec3(position[0], position[2], position[1]); }
    };
    struct Triangle {
        Vertex a, b, c;
    };
    static_assert(sizeof(Triangle) == 72, "a stored triangle is 72 bytes");
    // A directed edge between two stored vertices.
    struct Edge {
        Vertex from, to;
    };

    // The most triangles a plug holds: its vertices are drawn through 16-bit indices.
    static constexpr uint32_t kMaxTriangles = 65535 / 3;

    TerrainPlug() = default;
    // Releases the render data.
    ~TerrainPlug() override;

    void AddTriangle(const Triangle& triangle) { triangles_.push_back(triangle); }

    // Writes the plug record.
    void Write(BinaryWriter& writer) const;
    // Reads a plug record; false (nothing kept) for one that is cut short or holds more than
    // kMaxTriangles triangles. Layer indices of layers the terrain does not have are left out.
    bool Read(BinaryReader& reader, unsigned numTerrainLayers);
    // The bounds of the triangles' positions; a plug without triangles gets a box of 0.1 around
    // (0.1, 0.1, 0.1).
    void UpdateBounds();
    // Recomputes the open edges: every directed triangle edge p -> q whose reverse q -> p no
    // triangle has, in triangle order. Vertices are compared exactly, position then normal, so an
    // edge shared by two triangles wound alike is interior.
    void FindBoundaryEdges();
    const mem::vector<Edge>& GetBoundaryEdges() const { return boundaryEdges_; }
    // (Re)makes the vertex buffer, its declaration and the index buffer from the triangles, with
    // the running engine's render device (nothing without one), all three or none (logged); a
    // plug without triangles has none and bounds of 0.1 around (0.1, 0.1, 0.1). Off the main
    // thread it yields 1 ms after a build.
    void CreateRenderData();
    bool HasRenderData() const { return vertexBuffer_ != nullptr && indexBuffer_ != nullptr; }

    // TerrainObject
    void GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface surface) const override;
    int FindCollisions(const TerrainBase& terrain, const OBBox& box, CollisionContact* contacts, int max,
                       PhysicsSurface surface) const override;
    void FindCollisions(const TerrainBase& terrain, mem::vector<CollisionBox>& boxes,
                        PhysicsSurface surface) const override;
    // The render data go before a device reset and are made again after it.
    void PreDeviceReset() override;
    void PostDeviceReset() override;
    // Added as the other layered objects, while the terrain draws its plugs.
    void AddToScene(GraphicsSceneRenderer& renderer, const TerrainBase& terrain) override;

    // GraphicsRenderable
    // Draws the triangles in the pass's style ("TerrainPlug"), with the pass's layer; nothing
    // while the terrain has no ground mesh declaration (its render data not made, or given back
    // before a device reset), as the ground itself draws nothing then.
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;
    void LogInfo() const override;

    uint32_t GetNumTriangles() const { return uint32_t(triangles_.size()); }
    const mem::vector<Triangle>& GetTriangles() const { return triangles_; }

private:
    bool FogsSolidPass() const override { return true; }
    void ReleaseRenderData();

    // Writes at most max contacts of the box with the triangles, each marked as ground.
    int CollideTriangles(const OBBox& box, CollisionContact* contacts, int max) const;

    mem::vector<Edge> boundaryEdges_;  // built by FindBoundaryEdges
    uint32_t vertexCount_ = 0;         // drawn: 3 x triangleCount_
    uint32_t triangleCount_ = 0;
    RenderVertexBuffer* vertexBuffer_ = nullptr;            // position, normal (24 bytes) each
    RenderVertexDeclaration* vertexDeclaration_ = nullptr;
    RenderIndexBuffer* indexBuffer_ = nullptr;              // 16-bit, one per vertex
    mem::vector<Triangle> triangles_;
};

}  // namespace GAME
