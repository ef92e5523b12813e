#pragma once
// WaterLayer: flat standing water at one height over part of a region (lakes, ponds, the sea). Its
// extent is painted, not modelled: the region is divided into blocks of blockSize (9) world units,
// and each block that holds water is a WaterBlock with its 10 x 10 coverage grid. Blocks are kept
// row-major (index bz x blocksX + bx, null where there is no water) and in the water's tree.
//
// Decisions made here:
// - Whether a block shows water is decided from its coverage and the ground under it, never from
//   its vertex buffer, so a block without geometry is not dropped by Cleanup.
// - The size is kept within the block grid (and finite), so the whole-layer coverage map of the
//   mirrors never reaches outside the grid.
// - MirrorXZ needs a square layer: exchanging the axes of a non-square one would no longer match
//   the water's block grid, which stored block indices are read with. It does nothing otherwise.

#include <cstdint>
#include <memory>

#include "core/Mem.h"
#include "core/Vec2.h"
#include "terrain/WaterBlock.h"

namespace GAME {

struct Ray;

class WaterLayer final : public WaterObject {
public:
    WaterLayer(unsigned index, unsigned blocksX, unsigned blocksZ, float blockSize, WaterSpace& tree,
               RenderDevice* device, Water* water);
    ~WaterLayer() override;

    // Drops every block, sets the height and size and takes the water type of that name. False
    // (logged) when there is no such type; the layer stays usable without one.
    bool Initialize(const char* typeName, float height, const Vec2& size);

    void Update() override;
    // The layer record: the type name, height, size x and z, u32 block count, then per block its
    // u32 index (bz x blocksX + bx) and its 100 coverage bytes. A block index outside the grid is
    // passed over; a count larger than the records left fails the reader.
    bool Load(BinaryReader& reader, unsigned version) override;
    void Save(BinaryWriter& writer) const override;
    // Mirrors within the layer's own extent; the axis is not used.
    void MirrorX(float axis) override;
    void MirrorZ(float axis) override;
    void MirrorXZ() override;

    // The editor's brush: adds water to (or, with add false, erases it from) every sample closer
    // than radius to the centre on x/z. Water is only added in blocks where some ground lies at or
    // below the surface; elsewhere the brush erases.
    void UpdateArea(const Vec3& centre, float radius, bool add);
    // Whether the coverage sample under p (x/z) is water.
    bool IsPointInLayer(const Vec3& p) const;
    // The distance along the ray to the surface where it is water, when below maxDistance;
    // +infinity otherwise.
    float RayIntersection(const Ray& ray, float maxDistance) const;
    // (vx, 0, vz) from the type's drift; v unchanged without a type.
    void CalcSurfaceVelocity(Vec3& v) const;
    // Removes every block that shows no water.
    void Cleanup();
    // Builds or gives back every block's vertex buffer (device reset).
    void ConstructBlockGeometry();
    void DestroyBlockGeometry();

    float GetHeight() const { return height_; }
    const Vec2& GetSize() const { return size_; }
    unsigned GetNumBlocks() const { return numBlocks_; }
    unsigned GetBlocksX() const { return blocksX_; }
    unsigned GetBlocksZ() const { return blocksZ_; }
    // Null outside the grid or where there is no water.
    const WaterBlock* GetBlock(unsigned bx, unsigned bz) const;

private:
    WaterBlock* EditBlock(unsigned bx, unsigned bz);
    // The existing block, or a new dry one in the tree (with geometry); null outside the grid.
    WaterBlock* AddBlock(unsigned bx, unsigned bz);
    void RemoveBlock(unsigned bx, unsigned bz);
    void DestroyBlocks();
    // Whether the ground lies at or below the surface at some sample of the block.
    bool TestBlockArea(unsigned bx, unsigned bz) const;
    void UpdateReflectionPlane();
    // The whole layer's coverage as trunc(size.x) x trunc(size.z) bytes, and back.
    void SaveToMap(mem::vector<uint8_t>& map, int width, int depth) const;
    void ConstructFromMap(const mem::vector<uint8_t>& map, int width, int depth);
    // SaveToMap, the change, ConstructFromMap, the plane.
    template <class Change>
    void Remap(Change change);

    unsigned blocksX_;
    unsigned blocksZ_;
    const float blockSize_;
    float height_ = 0.0f;
    Vec2 size_;
    unsigned numBlocks_ = 0;
    mem::vector<std::unique_ptr<WaterBlock>> blocks_;  // blocksX x blocksZ, row-major
};

}  // namespace GAME
