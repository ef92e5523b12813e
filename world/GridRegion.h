#pragma once
// GridRegion: the ground of an interior level: an X x Y x Z grid of equal cells (Y floors) whose
// meshes are chosen from a tile set (GridSystem) by the posts and walls around each cell, or are
// hand-placed feature meshes.
//
// The lattice, (2X+1) x Y x (2Z+1) signed bytes indexed (i, j, k), describes walls. For cell
// (x, y, z): (2x+1, y, 2z+1) is its floor; its posts 0..3 are (2x, y, 2z), (2x+2, y, 2z),
// (2x+2, y, 2z+2), (2x, y, 2z+2); its walls 0..3 are (2x+1, y, 2z) between posts 0 and 1,
// (2x+2, y, 2z+1) between 1 and 2, (2x+1, y, 2z+2) between 2 and 3, (2x, y, 2z+1) between 3 and
// 0. Neighbouring cells share posts and walls. A cell centre lies at (sx (x + 0.5), sy y,
// sz (z + 0.5)) for the system's spacing (1, 1, 1 without a system).
//
// A cell's mesh: without a feature, the post name (the four posts as '0' + value) and the wall
// name (each wall '0' + value, or 'x' when its end posts differ or its first post is 0) select a
// configuration of the grid system, with or without floor; with feature n >= 1, the system's
// feature n - 1 turned by the feature's rotation (no mesh past the system's features). A mesh
// with exactly one portal gives the cell a portal in the region, placed at the cell's frame.
//
// Grid block (the level file's ground chunk of kind 1, after the kind word), little-endian:
// u32 version (2 written; 1 read too), then in version 2 chunks {u32 id, u32 size}:
//   1 lattice: string system name, u32 X, Y, Z, the lattice bytes (i outermost, then j, then k),
//     the feature cells (x outermost, then y, then z; feature byte, rotation byte);
//   2 portal records (written when a cell has a portal): u32 count, then per record the portal's
//     id and the connected portal's id (four u32 each, word 0 first), the connected RegionId and
//     the cell's x, y, z (u32 each);
// other chunks are skipped. Version 1 holds the lattice content alone, without framing.
// Sizes are checked before anything is allocated: each axis at most kMaxCells, and the lattice
// and features must lie within the block; a block that fails leaves an empty grid.
//
// Each cell that shows a mesh owns a GridCellMeshInstance placed at the cell's frame, and sits in
// the cell tree (a loose quadtree over the grid) by the instance's region-space box; drawing,
// frustum and box queries, rays and collisions find cells through the tree. Rays and collisions
// meet the cells' collision meshes (a cell whose mesh has none is passed through). The tree is
// built again whenever the grid's size, turn or spacing changes, since those move every cell.
// The wall transparency reaches each cell instance as its "wallTransparency": the transparency of
// its walls 0..3 as its mesh (turned by the cell's rotation) numbers them.
//
// Decisions on threads: a level is read on the loading thread, so cells get their meshes there
// but their portals only in PostLoad (main thread), where the file's portal records are applied;
// edits after that (the editor's) make portals at once.

#include <cstdint>
#include <memory>
#include <string>

#include "core/Coords.h"
#include "core/GeometryBus.h"
#include "core/Mem.h"
#include "core/UniqueId.h"
#include "core/Vec3.h"
#include "world/GridArray.h"
#include "world/GridCellMeshInstance.h"
#include "world/LevelGround.h"
#include "world/RegionId.h"
#include "world/SpaceLinks.h"

namespace GAME {

class CollisionBox;
class Entity;
class Frustum;
class GraphicsMesh;
class GridSystem;
class Portal;
class WorldVec3;

class GridRegion final : public LevelGround {
public:
    static constexpr const char* kDefaultSystem = "Records/Underground/Desert/DesertCrypt.dbr";
    static constexpr uint32_t kBlockVersion = 2;
    static constexpr uint32_t kChunkLattice = 1;
    static constexpr uint32_t kChunkPortals = 2;
    // The largest grid a block may describe, along each axis.
    static constexpr uint32_t kMaxCells = 1024;
    // Bytes of one portal record.
    static constexpr uint32_t kPortalRecordSize = 60;

    struct Cell {
        std::unique_ptr<GridCellMeshInstance> instance;  // null when the cell shows nothing
        int rotation = 0;                                // quarter turns about y
        Portal* portal = nullptr;                        // made through the region
        SpaceLinks<Cell> links;                          // in the cell tree while it shows a mesh
        ABBox box;                                       // the instance's region-space box
    };
    struct FeatureCell {
        int8_t feature = 0;   // 0 none, n: the system's feature n - 1
        int8_t rotation = 0;  // quarter turns
        bool operator==(const FeatureCell&) const = default;
    };
    struct PortalRecord {
        UniqueId id;
        UniqueId connectedId;
        RegionId connectedRegion;
        uint32_t x = 0;
        uint32_t y = 0;
        uint32_t z = 0;
    };

    // An empty grid with the default grid system.
    explicit GridRegion(Region* region);
    ~GridRegion() override;
    GridRegion(const GridRegion&) = delete;
    GridRegion& operator=(const GridRegion&) = delete;

    // Replaces the grid system by the one the record makes (none when the record is missing or
    // makes no GridSystem) and rebuilds every cell.
    void SetSystem(const std::string& recordName);
    const GridSystem* GetSystem() const { return system_; }
    const std::string& GetSystemFileName() const { return systemName_; }
    Region* GetRegion() const { return region_; }

    int GetXNumCells() const { return cells_.GetX(); }
    int GetYNumCells() const { return cells_.GetY(); }
    int GetZNumCells() const { return cells_.GetZ(); }
    // Valid indices only.
    const Cell& GetCell(int x, int y, int z) const { return cells_.At(x, y, z); }
    int8_t GetLatticeValue(int i, int j, int k) const { return lattice_.At(i, j, k); }
    int8_t GetCellFloor(int x, int y, int z) const { return lattice_.At(2 * x + 1, y, 2 * z + 1); }
    const FeatureCell& GetCellFeature(int x, int y, int z) const { return features_.At(x, y, z); }
    bool CellContainsFeature(int x, int y, int z) const { return features_.At(x, y, z).feature != 0; }
    int GetHighestVisibleFloor() const { return highestVisibleFloor_; }
    void SetHighestVisibleFloor(int floor) { highestVisibleFloor_ = floor; }
    const mem::vector<PortalRecord>& GetPortalRecords() const { return portalRecords_; }
    // Connects the portal of a cell as the record says once the grid is post-loaded (for tools
    // that write levels without meshes: a grid not post-loaded writes back the records it holds).
    void AddPortalRecord(const PortalRecord& record) { portalRecords_.push_back(record); }

    Vec3 GetCellSpacing() const;
    Vec3 GetCellCenter(int x, int y, int z) const;
    // The translation to the cell centre times a turn of rotation quarter turns about y.
    Coords GetCellCoords(int x, int y, int z, int rotation) const;

    // Edits; each rebuilds the cells it touches. A lattice point outside the lattice is ignored.
    void Resize(int x, int y, int z);
    void SetLatticeValue(int i, int j, int k, int8_t value);
    void SetCellFloor(int x, int y, int z, int8_t value);
    // Rebuilds the cell and its eight neighbours on the floor.
    void SetCellFeature(int x, int y, int z, int8_t feature, int8_t rotation);
    // A quarter turn of the whole grid about y; each feature turns with it.
    void Rotate();
    // The post and wall names of the cell (four characters and a terminator each).
    void GetCellNames(int x, int y, int z, char base[5], char mid[5]) const;
    // Chooses the cell's mesh and makes its portal (see above); nothing without a grid system.
    void UpdateCell(int x, int y, int z);

    // Appends the instances of the cells whose boxes meet one of the count frusta (region space),
    // each once.
    void GetMeshesInFrustum(mem::vector<GridCellMeshInstance*>& out, const Frustum* frusta, unsigned count) const;
    // Appends the instances of the cells whose boxes meet the box (region space).
    void GetCellMeshesInBox(const ABBox& box, mem::vector<GridCellMeshInstance*>& out) const;
    // Editor display through the debug render manager: a white box of half size 1 at the lattice
    // point and its indices and value ("(i, k) - value"; 0 for a floor point) above it.
    void RenderLattice() const;
    void RenderLattice(int i, int j, int k) const;

    // Wall transparency (1 opaque): once a frame the walls and floors move back towards opaque by
    // elapsed x 0.0025, then the wall runs standing between from (the camera) and to (the focus),
    // starting at the focus cell's walls facing the camera, fade by twice that, never below the
    // system's minimum wall opacity; a run goes on through plain posts and stops where a
    // perpendicular wall meets it (unless the piece is one face of a closed cell), and fades the
    // perpendicular pieces at its ends that stand between the two. Each post then takes the
    // smallest transparency around it. Nothing without a region.
    void UpdateTransparency(const WorldVec3& from, const WorldVec3& to, int elapsedMs);
    // Marks the sections of the cells in the frustum (region space) that fade, as SetTransparency
    // does, with the colour (0.9, 0.3, 0.5) (SetTransparency's is (1, 0.5, 0.8)).
    void UpdateTransparency(const Frustum& frustum);
    void ClearTransparency() { transparency_.Fill(1.0f); }
    float GetWallTransparency(int i, int j, int k) const { return transparency_.At(i, j, k); }

    // Adds no face: the cells' collision meshes are not navigation geometry.
    void GeometryBusStop(const ABBox&, mem::vector<GeometryBus::SimpleFace>&) const {}
    // The contacts of the entity's collision proxy (in its own region's space), moved into
    // region's space, with the cells (the oriented-box form below); 0 for an entity without one.
    int FindCollisions(const Entity* entity, CollisionContact* contacts, int max, const Region* region,
                       PhysicsSurface surface) const;

    // The grid block (see above). LoadBlock fails (logged) on a bad version or a cut or hostile
    // block, leaving an empty grid.
    bool LoadBlock(BinaryReader& reader);
    void SaveBlock(BinaryWriter& writer) const;

    // LevelGround.
    bool Load(BinaryReader& reader, int version) override;
    bool LoadRenderData() override { return true; }
    // The cells in the frusta fade their marked sections towards the minimum wall opacity, and
    // take their walls' transparency.
    void Update(const Frustum* frusta, unsigned count, int elapsedMs) override;
    // Queues every mesh of the grid system with the resource loader (whatever the frusta see: the
    // system is shared by all the cells).
    void PreLoad(int priority, const Frustum* frusta, unsigned count) override;
    // The kind word and the grid block.
    void Write(BinaryWriter& writer, bool runTime) const override;
    // Makes the cells' portals and gives them the file's ids.
    void PostLoad() override;
    // With the grid-tiles render flag, the cells in the frustum, prepared, for the region.
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum& frustum) override;
    // Marks the sections of the cells in the frustum that fade this frame.
    void SetTransparency(const Frustum& frustum) override;
    // The cells' extent, (0, 0, 0) to (X sx, Y sy, Z sz), widened by the cells' collision meshes;
    // worked out again after a change.
    ABBox GetBoundingBox() const override;
    // X sx by Z sz, truncated.
    Area GetArea() const override;
    float GetHeightInterpolated(float, float) const override { return 0.0f; }
    // The nearest hit with the cells' collision meshes.
    void GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface surface) const override;
    int FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface surface) const override;
    // Each box of the list takes up to 32 contacts from each cell it meets.
    void FindCollisions(mem::vector<CollisionBox>& boxes, const ABBox& bounds, PhysicsSurface surface) const override;

private:
    class CellSpace;
    static constexpr int kCellContacts = 32;

    void ReleaseCell(Cell& cell);
    void DestroyCells();
    // Empties every cell, makes a cell tree over the grid's extent and rebuilds every cell.
    void RebuildCells();
    void UpdateAllCells();
    bool ReadLattice(BinaryReader& reader);
    bool ReadPortalRecords(BinaryReader& reader);
    void MakePortal(int x, int y, int z);
    // Hands the frustum and the colour to each cell instance in the frustum.
    void MarkSeeThrough(const Frustum& frustum, const Color& color);
    // Fades the wall piece and spreads along and across its run (region space positions).
    void SpreadTransparency(const Vec3& from, const Vec3& to, int i, int j, int k, float amount);

    Region* region_;
    std::unique_ptr<CellSpace> space_;  // made by the constructor's first rebuild: never null after
    std::string systemName_;
    GridSystem* system_ = nullptr;
    GridArray<Cell> cells_;
    GridArray<int8_t> lattice_;
    GridArray<FeatureCell> features_;
    GridArray<float> transparency_;  // over the lattice
    GridArray<uint8_t> visited_;     // over the lattice, for one spreading pass
    int highestVisibleFloor_ = 0;
    float minWallOpacity_ = 0.0f;
    mem::vector<PortalRecord> portalRecords_;
    bool portalsMade_ = false;  // post-loaded: cells make their portals as they change
    mutable ABBox box_;
    mutable bool boxValid_ = false;
    mutable mem::vector<Cell*> scratch_;  // the cells a query gathers
};

}  // namespace GAME
