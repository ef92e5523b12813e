#pragma once
// TerrainPlug: a free triangle mesh that belongs to the ground, filling a seam between the height
// field and a mesh placed on it. The editable terrain builds plugs; the run-time block stores them
// and the run-time terrain reads them back into its tree.
//
// A stored vertex is 24 bytes: the position with the height last (x, z, y), then the normal
// (x, y, z); a triangle is three of them, a, b, c (72 bytes). The plug record of the run-time
// block: u32 triangle count T, the T triangles, u32 layer count N, N u32 terrain layer indices
// (the layers showing inside the plug, ascending).

#include <cstdint>

#include "core/Mem.h"
#include "core/Vec3.h"
#include "terrain/TerrainObject.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class TerrainBase;

class TerrainPlug final : public TerrainObject {
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

    // The most triangles a plug holds: its vertices are drawn through 16-bit indices.
    static constexpr uint32_t kMaxTriangles = 65535 / 3;

    TerrainPlug() = default;

    void SetTerrain(TerrainBase* terrain) { terrain_ = terrain; }
    TerrainBase* GetTerrain() const { return terrain_; }
    void AddTriangle(const Triangle& triangle) { triangles_.push_back(triangle); }

    // Writes the plug record.
    void Write(BinaryWriter& writer) const;
    // Reads a plug record; false (nothing kept) for one that is cut short or holds more than
    // kMaxTriangles triangles. Layer indices of layers the terrain does not have are left out.
    bool Read(BinaryReader& reader, unsigned numTerrainLayers);
    // The bounds of the triangles' positions; a plug without triangles gets a box of 0.1 around
    // (0.1, 0.1, 0.1).
    void UpdateBounds();

    uint32_t GetNumTriangles() const { return uint32_t(triangles_.size()); }
    const mem::vector<Triangle>& GetTriangles() const { return triangles_; }
    const mem::vector<unsigned>& GetLayers() const { return layers_; }
    void SetLayers(const mem::vector<unsigned>& layers) { layers_ = layers; }

private:
    TerrainBase* terrain_ = nullptr;  // not owned
    mem::vector<Triangle> triangles_;
    mem::vector<unsigned> layers_;    // terrain layers showing inside the bounds, ascending
};

}  // namespace GAME
