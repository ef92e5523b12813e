#pragma once
// Level: the loaded content of one Region: its entities, kept in a loose quadtree (EntitySpace),
// its navigation mesh, its sector layers and its network update list. A region owns at most one
// level. The level is made and filled on the level loading thread (Load, RestoreState), finished
// on the main thread in steps (PostLoad), updated each frame while its region is in view, and torn
// down in steps (Unload).
//
// The ground of a terrain level is an editable or a run-time terrain (LevelGround.h), read from the
// ground chunk and written back by Save; a ground that cannot be made or read fails the level's
// load. With a ground, the level's box and ground height are the ground's and rays hit it; without
// one the box is the entity tree's and the ground height 0. An interior level's ground is its grid
// (GridRegion, ground kind 1). The water (LevelWater.h) is made after the chunk walk, sized to the
// ground, and read from the water chunk; a water block that cannot be read leaves the level
// without water (logged) rather than failing it. Rays, collisions and disturbances reach the water
// too. The decals join the level with their subsystem; until then the file reader passes over
// their chunk with a warning, so a level file that has them still loads.
//
// In the editor, Load and the post-load step after the entities join run the ground's deferred
// rebuild (LevelGround::ProcessDirtyRects): a level shows its tiles cut in before its first frame.
//
// Entity tree: made by Load (centred on the level's box) or NewSpace. Entities enter through
// AddEntity (or the loaders), leave through RemoveEntity or DestroyAllEntities, and are re-placed
// by MoveEntity and by Update when they moved more than kReplaceDistance along some axis.
//
// Level file ("LVL"), little-endian: "LVL", a signed version byte (14 written; 10 to 14 read),
// then chunks {u32 id, u32 length, payload} to the end of the data:
//   5  entities: the record-name table (StringTable), u32 count N, then N entries: u32 name index,
//      the region-space Coords (12 f32), and from version 12 on u32 has-unique-id and, when 1, the
//      UniqueId (stream form);
//   20 per-entity extra data: records {u32 entry index, u32 length, bytes of Entity::Write} for
//      the entries that wrote something;
//   6  ground: u32 kind (absent in version 10) and the ground block (empty: no ground);
//   9  water; 10 the path mesh (PathMesh); 3 passability (ImpassableData, read only, handed to
//      the ground);
//   23 sector layers (SectorLayers).
// Every chunk is read through its own bounded reader, so a block reader that stops early or
// reads too far cannot move the chunk walk. Chunks 5 and 20 are read after the walk, once the
// entity tree exists. Every level writes chunks 5, 20, 6 (empty without a ground) and 23; a file
// without one that its version always holds (from version 14 on all four, before it chunk 6
// alone) lost it, or was cut between two chunks, and fails to load, naming the chunk. So do a
// chunk cut short (its header or its payload runs past the data), bad magic, an unsupported
// version or a damaged entity chunk: an error naming the file (the region's) is logged and the
// level is left empty and unloaded, never half filled. An older file that ends between two chunks
// after its ground chunk loads the chunks before the end.
//
// Entity drop rules on loading: a server drops the entities that keep their own state when it
// restores a region, a client drops the ones the server spawns, and a single player (not in
// the editor) drops, when restoring, the ones that keep their own state. Entities that keep their
// state come back from the saved state (SaveState / RestoreState); a client receives the rest from
// the server.
//
// Saved state (kept in memory by the streaming code, never in a file): chunk 5 of records {object
// name, u32 object id, Coords, u32 has-unique-id [, UniqueId], u32 length, bytes of
// Entity::SaveState}. The length lets a record whose entity cannot be made be passed over without
// losing the records after it.
//
// Threads: Load and RestoreState run on the level loading thread under the region lock; all else
// on the main thread. An entity that is unique by name and already exists is restored on the main
// thread, in PostLoad, since the existing one belongs to the main thread.

#include <cstdint>
#include <memory>
#include <string>

#include "core/Color.h"
#include "core/Coords.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "core/Vec2.h"
#include "pathing/PathMesh.h"
#include "world/EntitySpace.h"
#include "world/LevelDecals.h"
#include "world/LevelGround.h"
#include "world/LevelWater.h"
#include "world/SectorLayers.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class Frustum;
class GraphicsPrimitiveDrawer;
class GraphicsReflectionManager;
class GridRegion;
class Terrain;
class TerrainBase;
class Region;
class StringTable;
struct ABBox;
struct Intersection;
struct Ray;
struct Sphere;
template <class T>
class FilterFunction;

class Level {
public:
    // What the entity queries keep (the multi-frustum query keeps all).
    enum class EntityListType : int {
        All = 0,
        Updated = 2,              // entities whose first update ran
        UpdatedPartOfLevel = 3,   // and that belong to the level file
    };

    static constexpr char kMagic[3] = {'L', 'V', 'L'};
    static constexpr int kVersion = 14;
    static constexpr int kOldestVersion = 10;
    // Chunk ids of the level file.
    static constexpr uint32_t kChunkPassability = 3;
    static constexpr uint32_t kChunkEntities = 5;
    static constexpr uint32_t kChunkGround = 6;
    static constexpr uint32_t kChunkWater = 9;
    static constexpr uint32_t kChunkPathMesh = 10;
    static constexpr uint32_t kChunkEntityData = 20;
    static constexpr uint32_t kChunkSectorLayers = 23;
    // The saved state's one chunk.
    static constexpr uint32_t kChunkState = 5;

    // A terrain's box reaches this much higher and lower in the level's box, to hold what stands
    // on the ground.
    static constexpr float kTerrainBoxRise = 30.0f;
    // The colour RenderPathMeshes draws in.
    static constexpr Color kPathMeshColor{0.0f, 1.0f, 1.0f, 1.0f};
    // A moving entity is re-placed in the tree only when it moved further than this along an axis.
    static constexpr float kReplaceDistance = 1.0f;
    // Entities destroyed per Unload step.
    static constexpr int kEntitiesPerUnloadStep = 8;
    // Preloading takes one tenth of the entities per call.
    static constexpr int kPreLoadTurns = 10;
    // Records whose entities are players; the network list logs them.
    static constexpr const char* kPlayerRecords[2] = {"Records/Addon/Creatures/PC/FemalePC01.dbr",
                                                      "Records/Addon/Creatures/PC/MalePC01.dbr"};

    // Makes the editor's stand-in for an entity whose record is missing, named after the record
    // (the effects folder installs one when the engine library loads: a billboard).
    using MissingRecordMaker = Entity* (*)(const std::string& recordName);
    static void SetMissingRecordMaker(MissingRecordMaker maker);

    // An empty level of the region: no tree, not loaded.
    explicit Level(Region* region);
    // Destroys what Unload has not: the entities still in the tree are handed to the object
    // manager for destruction.
    virtual ~Level();
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

    // Content.
    // Replaces any content by an empty entity tree centred at the origin with the half size, and
    // marks the level loaded with its render data.
    void NewSpace(const Vec2& halfSize);
    // New grounds (the editor's). Each replaces the content (its unload steps run to their end)
    // by the ground, an empty entity tree over the ground's area (square, centred on it, half the
    // longer side) and sector layers of that area, and marks the level loaded, with its render
    // data, and post-loads it as a loaded level is (so the path finder takes the mesh the level
    // builds later, and a grid's cells make their portals).
    // A flat editable terrain of xSamples x ySamples heights, each 1 more than 0 or a power of
    // two; false (logged), with the content kept, for another size. Defined beside the terrains
    // (terrain/LevelTerrain.cpp), as are the terrain getters below.
    bool NewTerrain(unsigned xSamples, unsigned ySamples);
    // An empty interior grid of x cells by y floors by z cells.
    void NewGrid(int x, int y, int z);
    // Resizes the grid (nothing without one): the region takes the level's new box; floors added
    // (at the bottom) raise every entity with the floors it stood on; the sector layers are made
    // anew over the grid's new area.
    void ResizeGrid(int x, int y, int z);
    // Makes the sector layers cover the ground's area (cleared) unless they already do; nothing
    // without ground.
    void ResizeSectorLayers();
    Region* GetRegion() const { return region_; }
    // The ground; null for a level without one. The terrain kinds derive from LevelGround.
    LevelGround* GetGround() const { return ground_.get(); }
    // Replaces the ground (the sample-data generator's); the sector layers lie on it.
    void SetGround(std::unique_ptr<LevelGround> ground);
    // The ground as its kind: null for a ground of another kind or none. GetTerrain answers both
    // terrain kinds, GetEditableTerrain only the editor's (never a run-time terrain).
    TerrainBase* GetTerrain() const;
    Terrain* GetEditableTerrain() const;
    GridRegion* GetGridRegion() const;
    // The decals placed in the level (World::PlaceDecal); null when no maker is installed.
    LevelDecals* GetDecalSet() const { return decals_.get(); }
    // The water; null for a level without one.
    LevelWater* GetWater() const { return water_.get(); }
    // Replaces the water by a new, empty one sized to the ground (its box, truncated) on the
    // graphics engine's device; null (and no water) when no water can be made.
    LevelWater* NewWater();
    // Replaces the water (the sample-data generator's, a tool's own).
    void SetWater(std::unique_ptr<LevelWater> water) { water_ = std::move(water); }
    // Adds the reflection planes of the water the frustum (the region's space) sees.
    void AddReflectionPlanes(GraphicsReflectionManager& manager, const Frustum& frustum);
    PathMesh& GetPathMesh() { return pathMesh_; }
    // Replaces the navigation mesh by one built from the walkable faces (the ground's, after an
    // edit) without what the obstacles cover; true when it holds a triangle. The level keeps its
    // mesh registered with the path finder from its post-load to its unload; the mesh leaves the
    // finder while it changes and returns when it holds a triangle.
    bool RebuildPathMesh(const mem::vector<PathFace>& walkable, const mem::vector<PathFace>& obstacles = {});
    // Builds the navigation mesh across region borders: the walkable ground of every region the
    // level's box meets (levels not loaded are loaded for the while and unloaded again, without
    // keeping state), with the collision meshes of their entities as obstacles, all carried into
    // this region's space. True when a mesh was made, or when there was no walkable ground (then
    // there is no mesh).
    bool CreatePathMesh();
    // Draws the navigation mesh's edges (region space carried by toWorld) in the overlay shader.
    void RenderPathMeshes(GraphicsPrimitiveDrawer& drawer, const Coords& toWorld) const;
    SectorLayers& GetSectorLayers() { return sectorLayers_; }
    const SectorLayers& GetSectorLayers() const { return sectorLayers_; }
    bool IsLoaded() const { return loaded_; }
    bool HasLoadedRenderData() const { return renderDataLoaded_; }
    bool GetPostLoadCalled() const { return postLoadCalled_; }
    // True for a level whose ground is an interior grid; a level without ground is not.
    bool IsUnderground() const;
    // The ground's box, a terrain's (any ground but a grid) kTerrainBoxRise higher and lower;
    // without ground the entity tree's; without a tree, a box at the origin of half size 100.
    ABBox GetBoundingBox() const;
    // The box that holds every entity placed in the level (the entity tree's: its square on x/z,
    // on y everything placed in it and 0); false when the level has no entity. Entities above the
    // ground lie outside the level's box.
    bool GetEntityBoundingBox(ABBox& box) const;
    // The ground's height at (x, z); 0 without ground.
    float GetGroundHeight(float x, float z) const;
    // Makes the ground's render data and marks the render data loaded; the ground's result.
    bool LoadRenderData();

    // Entities.
    // Places the entity at the coordinates (region space), recomputes its box, and adds it to the
    // tree; then OnAddToLevel. False, with an error, when the level has no tree or the entity is
    // already in one.
    bool AddEntity(Entity* entity, const Coords& coords);
    // OnRemoveFromLevel, takes it out of the tree, and leaves it outside the world.
    void RemoveEntity(Entity* entity);
    // Moves the entity within the level and re-places it in the tree; then OnMoveInLevel.
    void MoveEntity(Entity* entity, const Coords& coords);
    // Whether an entity of the same object name is in the level.
    bool HasEntity(const Entity& entity) const;
    int GetNumEntities() const { return numEntities_; }
    // Destroys up to max entities (every one for a negative max): see Unload. A limited call
    // returns false while it destroyed any, true once it found none; an unlimited call true.
    bool DestroyAllEntities(int max);

    // Queries: region space; results are appended.
    void GetEntities(mem::vector<Entity*>& out, EntityListType type = EntityListType::All) const;
    void GetEntities(mem::vector<Entity*>& out, const FilterFunction<Entity>& filter,
                     EntityListType type = EntityListType::All) const;
    void GetEntitiesInSphere(mem::vector<Entity*>& out, const Sphere& sphere, bool useAlternateBox,
                             EntityListType type = EntityListType::All) const;
    void GetEntitiesInBox(mem::vector<Entity*>& out, const ABBox& box, bool useAlternateBox,
                          EntityListType type = EntityListType::All) const;
    // Each entity once; no list-type filter.
    void GetEntitiesInFrustum(mem::vector<Entity*>& out, const Frustum* frusta, unsigned count,
                              bool useAlternateBox, bool exact) const;
    // The nearest entity the ray hits; null when none.
    Entity* PickEntity(const Ray& ray) const;
    Entity* PickEntity(const Ray& ray, const FilterFunction<Entity>& filter) const;
    // Every entity the ray hits (only in a loaded level).
    void PickEntities(const Ray& ray, mem::vector<Entity*>& out, bool useAlternateBox) const;
    // Every entity the ray hits nearer than maxDistance.
    void GetAllIntersections(const Ray& ray, mem::vector<Entity*>& out, bool useAlternateBox, float maxDistance) const;
    // The nearest hit of the level's content nearer than intersection.distance, written there
    // (entities unless skipEntities). False when nothing is nearer.
    bool GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface excluded, bool skipEntities) const;

    // The entities replicated from this level.
    void AddEntityToNetworkList(Entity* entity);
    void RemoveEntityFromNetworkList(Entity* entity);
    bool IsInNetworkList(const Entity* entity) const;

    // Frame work (main thread).
    // Preloads the ground inside the frusta, then the entities there: every entity when immediate,
    // else the tenth whose object id mod 10 is this call's turn. Entities in the first frustum are
    // marked as seen.
    void PreLoad(int priority, const Frustum* frusta, unsigned count, bool immediate);
    // Updates the ground, the water, the decals and the entities inside the frusta pushed out by
    // the engine's entity update inflation. While the path finder's debugging is on, the
    // navigation mesh's edges go to the frame's debug lines (DebugRenderManager) in the region, in
    // kPathMeshColor. With no time elapsed (0 or less) the entities are not updated; the rest is,
    // a negative time counting as 0.
    void Update(const Frustum* frusta, unsigned count, int elapsedMs);
    // The ground's and the water's device resources go before a device reset and come back after
    // it, when every entity is placed again at its own coordinates so that its render state is
    // made anew.
    void PreDeviceReset();
    void PostDeviceReset();
    // The ground rebuilds what depends on the graphics generation.
    void ReloadGenerationDependentData();

    // Loading and saving.
    // Parses a level file image (see above); restoring selects the drop rules of a region whose
    // saved state follows. On failure the level is left empty and unloaded.
    bool Load(const void* data, uint32_t size, bool restoring);
    // Loads the file through the engine's file system.
    bool Load(const char* fileName, bool restoring);
    // Writes the level file atomically through the engine's file system (the previous file stays
    // whole when the save fails). runTimeFormat asks for the run-time ground block.
    bool Save(const char* fileName, bool runTimeFormat) const;
    // The level file image.
    void Save(BinaryWriter& writer, bool runTimeFormat) const;
    // The entity chunk after its name table: creates, places and adds the entities; created gets
    // one pointer per entry, null for entries skipped or dropped. False, with an error, when the
    // chunk is cut short or damaged (the entities made so far stay, for the caller to destroy).
    bool LoadEntities(BinaryReader& reader, const StringTable& names, bool restoring, bool hasUniqueIds,
                      mem::vector<Entity*>& created);

    // The entities that keep their own state.
    bool SaveState(BinaryWriter* writer) const;
    // False when a record's entity could not be made (logged; the other records are restored).
    bool RestoreState(const void* data, uint32_t size);

    // Steps (see the source): one step per call when incremental, all remaining steps otherwise.
    // PostLoad returns whether post-load is done; Unload whether the level is no longer loaded.
    bool PostLoad(bool incremental);
    bool Unload(bool incremental);

private:
    // A restore of an entity that is unique by name and already exists, applied in PostLoad.
    struct PendingRestore {
        Name name;
        Coords coords;
        mem::vector<unsigned char> state;
    };

    // Keeps the entities of the list type, in order.
    static void FilterByType(mem::vector<Entity*>& entities, size_t from, EntityListType type);
    // Places a loaded or restored entity: coords, box, tree, count. No OnAddToLevel (PostLoad runs it).
    void InsertEntity(Entity* entity, const Coords& coords);
    // Makes and reads the ground of a ground chunk; false (logged) when it cannot.
    bool LoadGround(BinaryReader& chunk, int version);
    // The entity chunks of a file image, once the tree exists.
    bool LoadEntityChunks(BinaryReader* entities, BinaryReader* entityData, int version, bool restoring);
    // Back to an empty, unloaded level after a failed load.
    void DiscardLoad();
    // Appends the faces of the entities' collision meshes, region space moved by shift.
    void GetObstacleFaces(mem::vector<PathFace>& out, const Vec3& shift) const;
    // The content of NewTerrain and NewGrid.
    void NewGround(std::unique_ptr<LevelGround> ground);
    void UpdateEntity(Entity* entity, int elapsedMs);
    void ApplyPendingRestores();
    bool RunPostLoadStep();
    bool RunUnloadStep();

    Region* region_;
    std::unique_ptr<EntitySpace> space_;   // null until loaded or made
    std::unique_ptr<LevelGround> ground_;  // null without ground
    std::unique_ptr<LevelDecals> decals_;  // made with the level
    std::unique_ptr<LevelWater> water_;    // null without water
    PathMesh pathMesh_;
    bool pathMeshListed_ = false;          // the mesh belongs with the path finder (post-load to unload)
    bool loaded_ = false;
    bool renderDataLoaded_ = false;
    int numEntities_ = 0;                  // entities added to this level
    int preLoadTurn_ = 0;                  // 0 .. kPreLoadTurns - 1
    bool postLoadCalled_ = false;
    SectorLayers sectorLayers_;
    mem::vector<Entity*> scratch_;         // reused by the frame queries
    mem::vector<bool> scratchInFirst_;
    mem::vector<Entity*> networkList_;
    uint32_t lastNetworkTick_ = 0;
    bool postLoadInProgress_ = false;
    int postLoadStep_ = 0;
    bool unloading_ = false;
    int unloadStep_ = 0;
    mem::vector<PendingRestore> pendingRestores_;
};

}  // namespace GAME
