#pragma once
// TerrainBlock: one square piece of a terrain's ground, 9 x 9 cells (TerrainBase::blockSize
// samples a side, fewer in the terrain's last column and row), made by the terrain with its other
// blocks and kept in the terrain's tree. It knows its bounds and the texture layers that show
// inside them.
//
// Its render data are built lazily: Prepare, called before the block is drawn, builds them when
// the block is dirty (new, or released since) and registers the block in the terrain's loaded
// set; releasing them (Unload after the terrain saw the block idle, a device reset, a change of
// layers or of the terrain's quality mode) marks it dirty again.

#include <cstdint>

#include "core/Mem.h"
#include "terrain/TerrainObject.h"

namespace GAME {

class TerrainBase;

class TerrainBlock final : public TerrainObject {
    GAME_RTTI_DECLARE_CLASS()

public:
    TerrainBlock() = default;

    // Block (column, row) of the terrain, covering numXSamples x numYSamples samples from
    // (9 column, 9 row): its bounds come from the heights there, then its layers.
    void Initialize(TerrainBase& terrain, uint32_t column, uint32_t row, uint32_t numXSamples, uint32_t numYSamples);

    // Takes its bounds from the terrain's heights again; the terrain re-places the block in its
    // tree afterwards.
    void ComputeBounds();
    // Builds the render data when they are missing or were built for the other quality mode.
    void Prepare();
    // Whether the layer shows inside the block.
    bool HasLayer(unsigned layer) const;

    // Releases the render data; the load state stays as it was.
    void Unload() override;
    // Records the load state and has the layers' terrain types queue their textures when preLoad.
    void Load(int priority, bool preLoad) override;
    // Takes the terrain's layers inside the bounds and releases the render data.
    void RefreshLayers() override;
    void PreDeviceReset() override;
    // Drops the render data so that the next Prepare builds them from the changed ground.
    void Invalidate() override;

    // The ground of the block's cells: the nearest ray hit, with the surface of the layer that
    // shows most at the cell hit (walking the layers from the top: each takes its opacity's share
    // of what the layer above left, and the walk stops once the best share exceeds what is left).
    void GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface surface) const override;
    // The box's contacts with the cells under its axis-aligned bounds, clamped to the block's.
    int FindCollisions(const TerrainBase& terrain, const OBBox& box, CollisionContact* contacts, int max,
                       PhysicsSurface surface) const override;
    // The same for each box of the list whose bounds meet the block's.
    void FindCollisions(const TerrainBase& terrain, mem::vector<CollisionBox>& boxes,
                        PhysicsSurface surface) const override;

    uint32_t GetColumn() const { return column_; }
    uint32_t GetRow() const { return row_; }
    uint32_t GetNumXSamples() const { return numXSamples_; }
    uint32_t GetNumYSamples() const { return numYSamples_; }
    // The layers showing inside the bounds, ascending.
    const mem::vector<unsigned>& GetLayers() const { return layers_; }
    // True while the render data must be built before the block is drawn.
    bool IsDirty() const { return dirty_; }
    // The terrain's quality mode when the render data were built.
    bool IsLowQuality() const { return lowQuality_; }

private:
    // The inclusive cell rectangle of the block under the box: its bounds truncated toward zero,
    // clamped to the block's cells.
    void GetCellsUnder(const ABBox& box, int& x0, int& z0, int& x1, int& z1) const;
    void ReleaseGeometry();

    TerrainBase* terrain_ = nullptr;  // owner; not owned
    uint32_t column_ = 0;
    uint32_t row_ = 0;
    uint32_t numXSamples_ = 0;        // samples covered along x
    uint32_t numYSamples_ = 0;        // samples covered along z
    bool dirty_ = false;              // set by every release
    bool lowQuality_ = false;
    mem::vector<unsigned> layers_;
};

}  // namespace GAME
