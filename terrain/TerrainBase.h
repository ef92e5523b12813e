#pragma once
// TerrainBase: the abstract ground of one terrain region, a regular height field cut into square
// blocks, with every object that lies on the ground kept in one loose quadtree. The editable
// Terrain and the read-only run-time TerrainRT derive from it; the rest of the engine asks the
// ground everything (objects in a box or in view, contacts, heights, normals, layers) through
// this interface, so the two kinds are interchangeable for every caller.
//
// The sample grid: X x Y height samples, where X - 1 and Y - 1 are each zero or a power of two.
// Sample (x, z) lies at (x, height, z) in the region's space, one unit apart, stored at index
// z * X + x; the second count runs along z, the height is y. Cell (x, z) is the square to the next
// sample in x and z, stored at index z * (X - 1) + x. Blocks group 9 x 9 cells (blockSize samples
// a side), fewer in the last column and row; block (i, j) starts at sample (9i, 9j) and is stored
// at index j * numBlocksX + i.
//
// The tree holds the blocks, which the base makes, and the objects the concrete kinds add; those
// stay alive until they leave the tree or the terrain lets go of them (Unload, destruction). The
// base keeps the set of objects whose render data are built (the blocks register themselves when
// they build them); an object there that has not been used for kIdleFrames frames gives its
// render data back (UnloadOldObjects) and builds them again when it is next used.
//
// The concrete kinds own the heights, layers and device resources; the base reaches them through
// the virtual operations. The interpolated height, normal and opacity helpers are written once
// here over the per-sample and per-cell accessors, and never read outside the grid: coordinates
// are clamped to it, and an axis of one sample has no slope along it.
//
// Threads: a terrain is made and filled on the thread that loads its level, then used on the main
// thread only. It takes no lock.

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/ABBox.h"
#include "core/MathUtil.h"
#include "core/Mem.h"
#include "core/PhysicsSurface.h"
#include "core/Plane.h"
#include "core/Vec3.h"
#include "terrain/HeightField.h"
#include "terrain/TerrainSpace.h"
#include "world/LevelGround.h"

namespace GAME {

class BinaryReader;
class CollisionBox;
class Entity;
class Frustum;
class GraphicsMesh;
class GraphicsSceneRenderer;
class Level;
class Region;
class RenderDevice;
class RenderTexture;
class RenderVertexBuffer;
class TerrainBlock;
class TerrainObject;
class TerrainRenderInterfaceBase;
class TerrainTile;
class TerrainType;
struct CollisionContact;
struct Coords;
struct Intersection;
struct OBBox;
struct PhysicsGrassWind;
struct Ray;

class TerrainBase : public LevelGround {
public:
    enum class TerrainBaseType : int {
        Editable = 0,  // Terrain, made and changed by the editor
        RunTime = 1,   // TerrainRT, read from the run-time block
    };

    // The most samples along either side of a terrain.
    static constexpr uint32_t kMaxSamples = 4097;
    // Samples a block spans along each axis (9 cells).
    static constexpr uint32_t blockSize = 10;
    static constexpr uint32_t kBlockCells = blockSize - 1;
    // Frames an object with built render data may stay unused before it gives them back.
    static constexpr uint32_t kIdleFrames = 11;
    // The vertical centre and half size GetBoundingBox reports while there is no tree.
    static constexpr float kNoTreeHeight = 12.0f;

    // One triangle for ray tests: its corners, then its plane.
    struct IntersectionFace {
        Vec3 a;
        Vec3 b;
        Vec3 c;
        Plane plane;
    };

    // The pair of buffers one layer's grass in one block draws from: kGrassVertexSize-byte blade
    // vertices and kGrassDisplacementSize-byte tip offsets, four of each a blade.
    struct GrassGeometry {
        RenderVertexBuffer* vertices = nullptr;
        RenderVertexBuffer* displacements = nullptr;
    };
    // Blades at most per layer and block.
    static constexpr uint32_t maxNumGrassPlanes = 350;
    static constexpr uint32_t kGrassVertexSize = 32;       // position, normal, u, v
    static constexpr uint32_t kGrassDisplacementSize = 8;  // x, z
    // Bytes of one vertex of the ground mesh: position, then normal (three floats each).
    static constexpr uint32_t kGroundVertexSize = 24;

    TerrainBase(TerrainBaseType type, Region* region);
    // Takes every object out of the tree, then deletes the tree and the blocks.
    virtual ~TerrainBase();
    TerrainBase(const TerrainBase&) = delete;
    TerrainBase& operator=(const TerrainBase&) = delete;

    // -- The kind's life ---------------------------------------------------------------------------

    // Load (the ground block of the level file, version: the level file's), LoadRenderData and
    // Update (for the count frusta the viewer sees; the kinds run UpdateObjects and
    // UnloadOldObjects) are the level's (LevelGround.h).
    // Loads ahead what the objects inside the frusta will need.
    void PreLoad(int priority, const Frustum* frusta, unsigned count) override = 0;
    // With a region and objects in the frustum: each object that is ready is touched and adds
    // itself, then the render interface takes them (Update) and is queued for the region.
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum& frustum) override;
    // Whether the plugs add themselves to the scene (the editor may hide them).
    virtual bool DrawsPlugs() const { return true; }
    // The terrain's renderable; null for a kind that draws nothing.
    virtual TerrainRenderInterfaceBase* GetRenderInterface() const { return nullptr; }
    // Back to the empty state: every object leaves the tree, the blocks, the plugs and the tree are
    // deleted and the sample and block counts become 0. Objects owned elsewhere survive, out of
    // any tree.
    virtual void Unload();
    // Tell every object of the tree, in tree order.
    void PreDeviceReset() override;
    void PostDeviceReset() override;
    // The graphics generation changed: every layer's type loads its bump maps again (they need a
    // capable generation).
    void ReloadGenerationDependentData() override;

    // -- Heights and normals -----------------------------------------------------------------------

    // The height of a sample; x < X and z < Y.
    virtual float GetHeight(unsigned x, unsigned z) const = 0;
    // Bilinear over the cell holding (x, z), clamped to the grid (NaN reads as 0); 0 on a terrain
    // without samples.
    float GetHeightInterpolated(float x, float z) const override;
    // The unit normal at a sample from the height differences to its neighbours, 2 units apart:
    // (h(x-1) - h(x+1), 2, h(z-1) - h(z+1)) normalised. At an edge, and along an axis of one
    // sample, the difference across it is 0. Indices are clamped to the grid; (0, 1, 0) without
    // samples.
    virtual Vec3 GetFastNormal(unsigned x, unsigned z) const;
    // The fast normals of the cell's corners blended bilinearly and normalised, clamped as heights.
    virtual Vec3 GetNormalInterpolated(float x, float z) const;

    // True when the sample is hidden (its cells are cut out of the ground under a tile); false
    // outside the grid.
    virtual bool IsInvisible(int x, int z) const = 0;

    // Counts the changes to which cells the ground draws: a block takes its layers again or is
    // invalidated (every edit of heights, hidden samples or layer opacity does one or the other
    // to the blocks it touches), or a sample is hidden or shown. The render interface keeps its
    // cell lists while the count stays.
    uint32_t GetGroundRevision() const { return groundRevision_.load(std::memory_order_relaxed); }
    void MarkGroundChanged() { groundRevision_.fetch_add(1, std::memory_order_relaxed); }

    // -- Cell-range queries (the ground blocks call them with their own cells) -------------------

    // The nearest ray hit with the cells of the inclusive rectangle: replaces hit.distance when
    // nearer and reports the cell hit; the caller starts hit.distance. Both kinds walk their
    // height field (SetHeightField).
    virtual void GetIntersection(const Ray& ray, int x0, int z0, int x1, int z1, Intersection& hit, int& cellX,
                                 int& cellZ) const;
    // Offers the box the contacts of the rectangle's cells.
    virtual void FindCollisions(CollisionBox& box, int x0, int z0, int x1, int z1, PhysicsSurface surface) const;
    // Writes at most max contacts of the box with the rectangle's cells; returns their number.
    virtual int FindCollisions(const OBBox& box, int x0, int z0, int x1, int z1, CollisionContact* contacts, int max,
                               PhysicsSurface surface) const;
    // The heights and hidden samples as the queries see them.
    const HeightField& GetHeightField() const { return heightField_; }

    // -- Layers ------------------------------------------------------------------------------------

    virtual unsigned GetNumTextureLayers() const = 0;
    // The type of a layer; null for a layer without one.
    virtual TerrainType* GetLayerTerrainType(unsigned layer) = 0;
    virtual const TerrainType* GetLayerTerrainType(unsigned layer) const = 0;
    // The layer's opacity on the device; null without one.
    virtual const RenderTexture* GetLayerOpacityTexture(unsigned layer) const = 0;
    // The opacity 0-255 of a layer in a cell; x < X - 1 and z < Y - 1.
    virtual uint8_t GetLayerOpacity(unsigned layer, unsigned x, unsigned z) const = 0;
    // Bilinear over the cell opacities from the cell holding (x, z): its indices are clamped to
    // the cells, the fractions are not (a point just before the first cell extrapolates from it),
    // and the result is clamped to 0-255 (NaN reads as 0); 0 on a terrain without cells.
    virtual uint8_t GetLayerOpacityInterpolated(unsigned layer, float x, float z) const;
    // Replaces out with the layers that show inside the box, ascending.
    virtual void GetLayersInBox(mem::vector<unsigned>& out, const ABBox& box) const = 0;
    // True while the terrain draws in its low-quality mode.
    virtual bool LowQuality() const = 0;

    // -- Grass -------------------------------------------------------------------------------------

    // A pair of grass buffers (from the kind's pool) and its return; a pair without buffers is
    // ignored.
    virtual GrassGeometry CreateGrassGeometry() = 0;
    virtual void DestroyGrassGeometry(GrassGeometry& geometry) = 0;
    // Pushes the grass of the objects within radius of (x, z) away from it.
    void DisplaceGrass(float x, float z, float radius, float strength) override;
    // Blows the wind over the grass of the objects under it.
    void CreateGrassWind(const PhysicsGrassWind& wind) override;
    void RemoveGrassWind() override;

    // -- The grid ----------------------------------------------------------------------------------

    // The running engine's render device, which terrains make their resources on; null without one
    // (a headless engine).
    static RenderDevice* GetRenderDevice();

    // X (or Y) is a valid sample count when X - 1 is zero or a power of two, up to kMaxSamples.
    static bool IsValidSampleCount(uint32_t samples) {
        return samples != 0 && samples <= kMaxSamples && IsPowerOfTwo(samples - 1);
    }

    TerrainBaseType GetTerainType() const { return type_; }
    // The terrain a level stands on; null for a level (or none) whose ground is no terrain.
    static TerrainBase* GetLevelTerrain(const Level* level);
    // The region the ground belongs to; null for a terrain made without one.
    Region* GetRegion() const { return region_; }
    unsigned GetNumXSamples() const { return numXSamples_; }
    unsigned GetNumYSamples() const { return numYSamples_; }
    unsigned GetNumBlocksX() const { return numBlocksX_; }
    unsigned GetNumBlocksY() const { return numBlocksY_; }
    // Block (column, row); null outside the block grid.
    TerrainBlock* GetBlock(unsigned column, unsigned row) const;
    // The grid's extent on x and z; vertically the tree's (kNoTreeHeight both ways without a tree).
    ABBox GetBoundingBox() const override;
    // One unit a cell: (X - 1) x (Y - 1); 0 x 0 without samples.
    Area GetArea() const override;

    // -- Objects -----------------------------------------------------------------------------------

    // Each does nothing without a tree or for a null object. Update re-places an object whose
    // bounds changed.
    void AddObjectToSpace(TerrainObject* object);
    void RemoveObjectFromSpace(TerrainObject* object);
    void UpdateObjectInSpace(TerrainObject* object);
    // Enters an object that built its render data into the loaded set.
    void AddLoadedObject(TerrainObject* object);
    bool IsObjectLoaded(const TerrainObject* object) const;
    size_t GetNumLoadedObjects() const { return loadedObjects_.size(); }
    // Calls Unload of every object of the loaded set unused for kIdleFrames frames or more (the
    // engine's frame count minus its last use) and takes it out of the set.
    void UnloadOldObjects();
    // Gathers the objects inside the frusta and updates each.
    void UpdateObjects(const Frustum* frusta, unsigned count, int elapsedMs);

    // -- Tiles -------------------------------------------------------------------------------------
    // A Tile entity owns its TerrainTile through these calls. A tile is attached - joined to the
    // ground - when no contour point lies within a unit of the grid's edge or beyond it (the
    // run-time terrain asks this of the tile's box, with 2 units: IsTileOverlapping); the ground
    // under an attached tile is marked for rebuilding when it arrives and again when it leaves.

    // A tile of the mesh at coords (in the terrain's region), added as by AddTile.
    TerrainTile* CreateTile(const Coords& coords, const GraphicsMesh* mesh);
    // Removes the tile as by RemoveTile and deletes it.
    void DestroyTile(TerrainTile* tile);
    // Removes the tile, places it at coords and adds it again (attachment is decided anew).
    void MoveTile(TerrainTile* tile, const Coords& coords);
    // Puts the tile in the tree, takes the layers under it and decides whether it is attached.
    void AddTile(TerrainTile* tile);
    // Marks the ground under an attached tile, detaches it and takes it out of the tree.
    void RemoveTile(TerrainTile* tile);

    // -- Queries (each appends; nothing without a tree) --------------------------------------------

    // The objects whose bounds meet the box (touching counts).
    void GetObjectsInBox(mem::vector<TerrainObject*>& out, const ABBox& box) const;
    void GetAllObjects(mem::vector<TerrainObject*>& out) const;
    // The objects whose bounds pass the plane test of any of count frusta, each once; frusta
    // without planes see nothing. inFirst, when given, tells which of them the first frustum saw.
    void GetObjectsInFrustum(mem::vector<TerrainObject*>& out, const Frustum* frusta, unsigned count,
                             mem::vector<bool>* inFirst) const;
    // The contacts of an oriented box with the objects under its axis-aligned bounds, asked in
    // tree order with the room left, at most max in all; returns their number.
    int FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface surface) const override;
    // The same for an entity's collision box (none: no contacts); the entity may stand in any
    // region, the terrain lies in region (null: the entity's).
    int FindCollisions(const Entity* entity, CollisionContact* contacts, int max, const Region* region,
                       PhysicsSurface surface) const;
    // Offers every box of the list the contacts of the objects under bounds, which enclose them all.
    void FindCollisions(mem::vector<CollisionBox>& boxes, const ABBox& bounds, PhysicsSurface surface) const override;
    // The nearest hit of the ray over every object, walking the tree nearest-first by box: out
    // starts at no hit (+infinity, surface None); of equal distances the first found stays.
    void GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface surface) const override;

    // The triangle tests of the cell-range ray walks. A point lies in a face when its barycentric
    // weights, taken in the plane of the two axes the face's normal leans on least, are all >= 0
    // (edges and corners count; a degenerate face holds no point).
    static bool IsPointInFace(const IntersectionFace& face, const Vec3& point);
    // The least of those weights (-infinity for a degenerate face or a NaN weight).
    static float GetLeastFaceWeight(const IntersectionFace& face, const Vec3& point);
    // t where the ray meets the face from its front, +infinity when it misses, runs parallel or
    // meets the back: the front is the side (b - a) x (c - a) points to.
    static float GetFaceIntersection(const IntersectionFace& face, const Ray& ray);
    // t where the ray meets the face's plane (+infinity when it runs parallel or away) and the
    // least weight of that point in the face; a hit when that is >= 0 and the ray meets the front.
    static float GetFacePlaneIntersection(const IntersectionFace& face, const Ray& ray, float& leastWeight);
    static bool MeetsFront(const IntersectionFace& face, const Ray& ray);

protected:
    // Sets the grid; false (and nothing changed) unless both counts are valid. The kinds set it
    // before InitializeBlocks.
    bool SetNumSamples(uint32_t numXSamples, uint32_t numYSamples);
    // One count alone; false (and nothing changed) unless it is valid.
    bool SetNumXSamples(uint32_t samples);
    bool SetNumYSamples(uint32_t samples);
    // Makes the ground mesh when asked (CreateMapGeometry), then the blocks and the tree
    // (replacing any there were).
    void InitializeBlocks(bool createMapGeometry);
    // Takes every block out of the tree and the loaded set, deletes them and the ground mesh.
    void DestroyTerrainBlocks();
    // Points the cell walks at the kind's arrays (an empty field while it has none).
    void SetHeightField(const HeightField& field) { heightField_ = field; }
    // Preloads the objects inside the frusta that are not loaded the way they are asked: in
    // advance for those the first frustum sees.
    void PreLoadObjects(int priority, const Frustum* frusta, unsigned count);
    // Writes the ground-mesh vertex of a sample: position (x, height, z), then its fast normal.
    void WriteGroundVertex(float* vertex, unsigned x, unsigned z) const;

private:
    // The ground mesh of the concrete kind.
    virtual void CreateMapGeometry() = 0;
    virtual void DestroyMapGeometry() = 0;
    // True when a contour point of the tile lies within 1 unit of the grid's edge or beyond it (a
    // tile without contours never does).
    virtual bool IsTileOverlapping(const TerrainTile* tile) const;
    // Marks the ground around the attached tile's contours for rebuilding; a kind that never
    // rebuilds its ground does nothing.
    virtual void AddTileDirtyRects(const TerrainTile*) {}

    // The contacts of box with the objects in query, in tree order with the room left.
    int CollideObjects(const ABBox& query, const OBBox& box, CollisionContact* contacts, int max,
                       PhysicsSurface surface) const;
    // Blocks over the grid, then a tree S = 9 x (the least power of two >= the larger block
    // count) units square with every block in it, in array order.
    void ConstructBlocks();
    // Every object out of the tree, then no loaded objects, no blocks, no tree.
    void DestroySpace();
    // Deletes the block array (its blocks must be out of the tree and the loaded set).
    void DeleteBlocks();

    const TerrainBaseType type_;
    Region* const region_;                       // not owned
    uint32_t numBlocksX_ = 0;
    uint32_t numBlocksY_ = 0;
    std::unique_ptr<TerrainSpace> space_;        // null until the blocks are made
    mem::set<TerrainObject*, std::less<>> loadedObjects_;  // objects whose render data are built; not owned
    std::unique_ptr<TerrainBlock[]> blocks_;     // numBlocksX x numBlocksY, row-major
    uint32_t numXSamples_ = 0;
    uint32_t numYSamples_ = 0;
    HeightField heightField_;                    // over the kind's heights and hidden flags
    // Blocks of a level loading on its thread report changes too.
    std::atomic<uint32_t> groundRevision_{0};
};

}  // namespace GAME
