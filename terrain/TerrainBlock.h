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
//
// The render data are its grass: for every layer whose TerrainType has a blade texture (in the low
// quality mode only types whose blades reach kLowQualityBladeHeight), up to maxNumGrassPlanes
// vertical quads on a grid of kGrassSpacing, each placed, sized, turned and textured by hashes of
// its position (GrassHash), never by a random generator, so rebuilt grass looks the same. A blade
// grows where the layer's opacity (half a cell back, covered by the layers above it) reaches the
// type's minimum, and stands that opacity's share of the type's width and height.
//
// The blades bend on a grid of kGrassNodes x kGrassNodes springs over the block: pushes
// (DisplaceGrass) and winds give nodes a velocity, Update integrates the nodes moving (the active
// rectangle) and writes each blade's tip offset, scaled by the blade height, into its record's
// displacement buffer. The grid exists only while the grass does, so after a rebuild the grass
// starts from rest.

#include <cstdint>

#include "core/Mem.h"
#include "terrain/TerrainBase.h"
#include "terrain/TerrainObject.h"

namespace GAME {

// Thomas Wang's 32-bit integer hash (the shift-multiply form).
uint32_t GrassHash(uint32_t key);

class TerrainBlock final : public TerrainObject {
    GAME_RTTI_DECLARE_CLASS()

public:
    // The spring grid: nodes a side, their spacing and its inverse (single-precision constants).
    static constexpr uint32_t kGrassNodes = 17;
    static constexpr float kGrassSpacing = 0.58f;
    static constexpr float kGrassInverseSpacing = 1.724138f;
    // In the low-quality mode shorter blades grow no grass and the rest grow half as tall.
    static constexpr float kLowQualityBladeHeight = 1.75f;
    static constexpr float kSpring = -50.0f;
    static constexpr float kDamping = 0.95f;
    static constexpr float kMaxTimeStep = 0.05f;  // seconds
    static constexpr float kMaxVelocity = 2.0f;
    // The active rectangle's empty form.
    static constexpr int32_t kNoActiveNode = 1000000;

    // The grass of one layer of the block.
    struct GrassRecord {
        uint32_t count = 0;                    // blades
        mem::vector<uint32_t> nodes;           // per vertex, its blade's grid node
        TerrainBase::GrassGeometry geometry;   // empty when the layer has no grass
    };

    TerrainBlock() = default;
    ~TerrainBlock() override;

    // Block (column, row) of the terrain, covering numXSamples x numYSamples samples from
    // (9 column, 9 row): its bounds come from the heights there, then its layers.
    void Initialize(TerrainBase& terrain, uint32_t column, uint32_t row, uint32_t numXSamples, uint32_t numYSamples);

    // Takes its bounds from the terrain's heights again; the terrain re-places the block in its
    // tree afterwards.
    void ComputeBounds();
    // Builds the render data when they are missing or were built for the other quality mode.
    void Prepare();
    // The grass of a layer showing inside the block; null for another layer or while there are
    // no render data.
    const GrassRecord* GetGrassRecord(unsigned layer) const;
    // A grid node's tip offset (x, z) and velocity; (0, 0) without a grid. c, r < kGrassNodes.
    void GetNodeMotion(unsigned c, unsigned r, float displacement[2], float velocity[2]) const;
    // The nodes in motion, inclusive; minColumn is kNoActiveNode when none are.
    void GetActiveRect(int32_t& minColumn, int32_t& maxColumn, int32_t& minRow, int32_t& maxRow) const;
    // Whether the layer shows inside the block.
    bool HasLayer(unsigned layer) const;

    // Integrates the grid nodes in motion and writes the blade tips.
    void Update(const TerrainBase& terrain, int elapsedMs) override;
    // Pushes the nodes within radius of (x, z) away from it (with a grid only).
    void DisplaceGrass(float x, float z, float radius, float strength) override;
    // Pushes the nodes within the wind's radius and ahead of it along its direction, harder
    // towards the rim (with a grid only).
    void CreateGrassWind(const PhysicsGrassWind& wind) override;
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
    // Writes the blades of every layer that got grass buffers.
    void GenerateGrass();
    // Blades of one layer into its record's buffers.
    void GenerateLayerGrass(size_t k, GrassRecord& record);
    // Widens the active rectangle by the nodes within radius of (x, z), clamped to the grid,
    // and returns them.
    void ActivateNodes(float x, float z, float radius, int& c0, int& c1, int& r0, int& r1);
    // The node's (x, z) position.
    float NodeX(int c) const;
    float NodeZ(int r) const;

    TerrainBase* terrain_ = nullptr;  // owner; not owned
    uint32_t column_ = 0;
    uint32_t row_ = 0;
    uint32_t numXSamples_ = 0;        // samples covered along x
    uint32_t numYSamples_ = 0;        // samples covered along z
    bool dirty_ = false;              // set by every release
    bool lowQuality_ = false;
    mem::vector<unsigned> layers_;
    mem::vector<GrassRecord> grass_;  // one per entry of layers_ while built
    mem::vector<float> displacement_; // per node (x, z); empty without render data
    mem::vector<float> velocity_;     // per node (x, z)
    int32_t minColumn_ = kNoActiveNode;
    int32_t maxColumn_ = 0;
    int32_t minRow_ = kNoActiveNode;
    int32_t maxRow_ = 0;
};

}  // namespace GAME
