#pragma once
// World: the owner of every Region of the running game or editor. It keeps the region list (a
// region's index in it is its world index) with an index by RegionId, the list of regions whose
// level is loaded, the regions' connectivity and a grid of cells over the region boxes that speeds
// up region queries. It places entities into the levels of their regions, moves them between
// regions, and answers the spatial questions that cross region borders (regions, entities, rays,
// distances, heights), handing the per-entity work to each candidate region's Level.
//
// Every query takes its shape relative to one region and moves it into each candidate region by
// the difference of the regions' whole-unit offsets; the candidate's box is tested first, and only
// then its level asked.
//
// The region index is keyed by each region's own id, read back from the region after it was made,
// so a record without an id (which the region replaces by a new one) is still found by it. Removing
// a region re-indexes the regions after it and rebuilds the grid.
//
// Files: the editor's world file ".wrl" (WorldFile) and the compiled map file (LoadMap), which
// stays open under its lock for the regions' later ranged reads of their level data.
//
// Threads: everything runs on the main thread, except LockMapFile / UnlockMapFile and
// AddPendingPostLoadRegion, which the level loading thread uses. Lock order: a region's lock, then
// the map-file lock or the pending lock; PostLoadPass takes a copy of the pending list and leaves
// the pending lock before it enters any region's lock, so no thread takes them the other way.

#include <memory>
#include <string>

#include "core/ABBox.h"
#include "core/CriticalSection.h"
#include "core/GeometryBus.h"
#include "core/IntVec3.h"
#include "core/Mem.h"
#include "core/WorldCoords.h"
#include "physics/PhysicsWorld.h"
#include "world/Level.h"
#include "world/RegionId.h"
#include "world/WorldQueries.h"

namespace GAME {

class DecalType;
class Entity;
class BinaryReader;
class File;
class Frustum;
class InstanceGroupStore;
class MapChunkCallback;
struct Path;
class Portal;
class Region;
class WorldFrustum;
class WorldGrid;
struct PhysicsGrassWind;
struct Ray;
struct Sphere;
struct WorldIntersection;
struct WorldRay;
template <class T>
class FilterFunction;

class World : public WorldQueries, public PhysicsWorld {
public:
    using EntityListType = Level::EntityListType;

    // The event (type and id) sent through the event manager once a world or map file has loaded.
    static constexpr unsigned kWorldLoadedEvent = 4;
    // The world file is put together in memory before it is written.
    static constexpr uint32_t kSaveBufferSize = 1u << 20;
    // GetRegionsInFrustum accepts a connected region this many connectivity steps away.
    static constexpr int kFrustumConnectionDepth = 8;
    // GetNearestFloorHeight casts its rays from this far above (then below) the position.
    static constexpr float kFloorRayLift = 2.5f;
    // GetHighestTerrainHeight's answer where no region lies under the point.
    static constexpr float kNoTerrainHeight = -9999999.0f;
    // The half size of the box in which fog-of-war queries and stamps find their regions.
    static constexpr float kFogReach = 30.0f;

    World();
    virtual ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // Life cycle.
    // Unloads, then reads a map file (version 5 and later, 6 and later when strict; connectivity
    // and the grid are built when asked) or a world file with its sector data beside it, then sends
    // kWorldLoadedEvent. A save of the pair that a crash stopped once it was decided is finished
    // first (FileSystem::FinishSave). False leaves the world empty.
    bool Load(const char* fileName, bool buildConnectivity, bool strictMapVersion);
    // Destroys every region with its level and entities; closes the map file; resets the ambiance.
    void Unload();
    // Writes the world file and the sector data file beside it as one save (FileSystem::SaveFiles):
    // the pair on the disk is the old one or the new one, also after a crash at any point of it.
    // False when they could not be written.
    bool Save() const;
    void SetFileName(const std::string& fileName) { fileName_ = fileName; }
    const std::string& GetFileName() const { return fileName_; }
    // The name of the sector data file beside a world file: the extension of the file's own name
    // (not of a directory) replaced by ".sd", or ".sd" appended when it has none.
    static std::string GetSectorDataFileName(const std::string& worldFileName);
    // "WRL" (any version) / "MAP" of version 5 and later, 6 and later when strict: four bytes.
    static bool IsValidWorldFile(const char* header);
    static bool IsValidMapFile(const char* header, bool strict);
    // The map file version of the first release.
    static char GetCV1MapFileVersionNumber() { return 5; }
    // Hands the host's reader of a map-file chunk to the engine (Engine::InstallMapChunkCallback),
    // which owns it from then on; false for a second reader of a chunk id (it stays the caller's).
    static bool InstallMapChunkCallback(MapChunkCallback* callback);
    // Reads the open map file's chunk area (MapFile.h): regions, spawn points, sector data,
    // mini-map index, quest files, instance groups and the host's chunks. False, with the error
    // logged, for a file that is not a map of version 4 or later, or that is cut or damaged.
    bool LoadMap();
    // The instance-group manager's reader and writer of chunk 17; not owned, null to keep the
    // chunk's bytes as read.
    void SetInstanceGroupStore(InstanceGroupStore* store) { instanceGroups_ = store; }
    InstanceGroupStore* GetInstanceGroupStore() const { return instanceGroups_; }

    // Regions.
    int GetNumRegions() const { return static_cast<int>(regions_.size()); }
    // Null for an index outside the list.
    Region* GetRegion(int index) const;
    // -1 when the region is not in the world.
    int GetRegionIndex(const Region* region) const;
    int GetRegionIndex(const RegionId& id) const;
    Region* GetRegionById(const RegionId& id) override;
    // The world index of the level's region; -1 without one.
    int GetLevelRegion(const Level* level) const;
    // The level of the region at the index; null for -1 or a region without a level.
    Level* GetRegionLevel(int index) const;
    // The same, loaded now when need be (Region::GuaranteedGetLevel); null for an index outside
    // the list or a level that cannot be loaded.
    Level* GuaranteedGetRegionLevel(int index) const;
    // The name of the region at the index; empty for an index outside the list.
    std::string GetRegionName(int index) const;
    void SetRegionName(int index, const std::string& name);
    // Unloads the level of the region at the index, keeping its entities' state when asked.
    void UnloadLevel(int index, bool keepState);
    // Editor: a region around the level (box from the level, or half size 100 at the origin
    // without one), named "Unnamed". Returns its index.
    int AddRegion(std::unique_ptr<Level> level, const IntVec3& offset);
    // A region without a level; an invalid id is replaced by a new one. Returns its index.
    int AddRegion(const std::string& name, const IntVec3& offset, const ABBox& box, const RegionId& id);
    // A region whose level is the level file of the name, loaded now (the region takes the
    // level's box). When the level cannot be loaded the region is removed again (the error logged)
    // and the answer is -1.
    int AddRegion(const std::string& name, const IntVec3& offset);
    // Destroys the region at the index (with its level and entities); the regions after it move up.
    void RemoveRegion(int index);
    // The regions whose level is loaded, in the order they became loaded.
    const mem::vector<Region*>& GetLoadedRegions() const { return loadedRegions_; }
    // Called by regions as their level comes and goes; null is ignored.
    void SetRegionLoaded(const Region* region, bool loaded) override;
    // Warm-up: a region a RegionLoader brought in (its level and resources, while the host shows
    // its loading screen) is drawn once offscreen on the engine's canvas (GraphicsWarmUp). Off by
    // default: a host that shows the world turns it on before loading.
    void EnableWarmUp(bool enable) { warmUp_ = enable; }
    // Draws the region offscreen when warm-up is on, and logs how long that took.
    void WarmUp(Region& region) const;
    // The first region whose level is the level takes the level's box.
    void UpdateRegionBoundingBox(const Level* level);
    // Connected regions for every region, then the grid; both are made again after regions change.
    void BuildConnectivity();
    bool IsConnectivityBuilt() const { return connectivityBuilt_; }
    // True once a map file's region table was read.
    bool RegionsLoaded() const { return regionsLoaded_; }
    // The grid over the world box (the union of the region boxes in world space).
    void CreateWorldGrid();
    const ABBox& GetWorldBox() const { return worldBox_; }
    // How soft the renderers make shadows (1.5 unless set).
    float GetShadowSoftness() const { return shadowSoftness_; }
    void SetShadowSoftness(float softness) { shadowSoftness_ = softness; }
    const WorldGrid* GetWorldGrid() const { return grid_.get(); }

    // Entities.
    // Places the entity into the level of the coordinates' region; false when the coordinates have
    // no region, the entity is already in one, or the region refused it.
    bool AddEntity(Entity* entity, const WorldCoords& coords, bool updateNow = true);
    // Takes the entity out of the world (network list, level, physics); nothing outside the world.
    void RemoveEntity(Entity* entity);
    // Moves the entity, within its region's level or into another region's. A target level that is
    // not loaded is loaded now; an entity that asks to be deleted on entering an unloaded level is
    // destroyed instead (warned), and one whose target level cannot be loaded stays where it was.
    void SetCoords(Entity* entity, const WorldCoords& coords) override;
    void AddEntityToNetworkList(Entity* entity);
    void RemoveEntityFromNetworkList(Entity* entity);
    void DestroyAllEntities();

    // Decals.
    // A decal of the type in the decals of the level of the coordinates' region (at the
    // coordinates in that region's space), unless the coordinates have no region, the options
    // turn detail objects off, or the region's level is not loaded or keeps no decals.
    void PlaceDecal(const WorldCoords& coords, const DecalType* type, uint32_t flags);
    // As PlaceDecal, with the origin first moved down onto the floor and then 0.25 up.
    void PlaceDecalOnGround(const WorldCoords& coords, const DecalType* type, uint32_t flags);

    // World-wide operations, forwarded to the regions' levels.
    void ValidateSectorLayers();
    // Every region releases its device resources before a device reset and makes them again
    // after it (the engine forwards its resets here).
    void PreDeviceReset();
    void PostDeviceReset();
    // Every region's level rebuilds what depends on the graphics generation (the graphics engine
    // changed it: the detail level changed at run time).
    void ReloadGenerationDependentData();
    // Every region lets its mini-map texture go (it is read again when next asked for).
    void ReleaseMinimapImages();

    // Grass and water disturbances (WorldCollisions.cpp has the point form).
    // Point disturbances of radius 1 a unit apart along the line from a towards b (the last one
    // short of b); nothing for a line shorter than 1.
    void CreateLineDisturbance(const WorldVec3& a, const WorldVec3& b, float strength, int splash);
    // Blows the wind (whose position is in its region's space) over the grass of every loaded
    // region, each given the wind relative to itself; nothing for a wind without a region.
    void CreateGrassWind(const PhysicsGrassWind& wind);
    void RemoveGrassWind();

    // Paths: the path finder's answer for the same arguments (PathFinder::FindPath); null when
    // there is no way.
    std::unique_ptr<Path> FindPath(int agent, const WorldVec3& start, const WorldVec3& goal, const Vec3& size, float a,
                                   float b, float c, float d, unsigned flags);

    // The world keeps no pathing of its own: nothing to invalidate, and its stop of the geometry
    // bus adds no face (the levels build their navigation meshes, Level::CreatePathMesh).
    void InvalidateAllPathing() {}
    void GeometryBusStop(const ABBox&, mem::vector<GeometryBus::SimpleFace>&) {}

    // Debugging: with it on, each Update adds the engine's statistics lines: the first viewer's
    // region ("^bCurrent region %s"), with connections also the regions connected to it
    // (" -> %s"), then every loaded region with its frames unused (": %s (%i)", "^k: %s (%i)"
    // for a level without its render data).
    void EnableDebugging(bool enable) { debugging_ = enable; }
    void ShowConnections(bool show) { showConnections_ = show; }

    // Fog of war, over the regions whose boxes meet a box of half size kFogReach around the
    // position. Hidden unless one of them has uncovered it (hidden too where no region is).
    bool IsInFog(const WorldVec3& position);
    // Stamps each such region's two grids together (StampFogPair); the integer has no effect.
    void AddFOWVisibility(const WorldVec3& position, int);
    // Hands the fog of every region without a loaded level to the saving thread (a map closes).
    void UnloadFOWForMapClose();

    // Quest files and spawn points.
    unsigned GetNumQuestFiles() const { return unsigned(questFiles_.size()); }
    void SetNumQuestFiles(unsigned count) { questFiles_.resize(count); }
    const std::string& GetQuestFile(unsigned index) const { return questFiles_[index]; }
    void SetQuestFile(unsigned index, const std::string& file) { questFiles_[index] = file; }
    void RemoveAllQuestFiles() { questFiles_.clear(); }
    // The point at index modulo their count; a frame outside the world when there are none.
    WorldCoords GetPlayerSpawnPoint(unsigned index) const;
    unsigned GetNumPlayerSpawnPoints() const { return unsigned(spawnPoints_.size()); }
    // Appended when it has a region.
    void SetPlayerSpawnPoint(const WorldCoords& coords);

    // The map file, for a region's ranged reads of its level data and mini-map image. Null when no
    // map file is open, or when this thread already holds it (then it must not read). Every
    // LockMapFile is paired with one UnlockMapFile, also when it returned null.
    File* LockMapFile() const override;
    void UnlockMapFile() const override;

    // Streaming, once a frame on the main thread, in this order: the walk from the viewers'
    // regions (from every region while connectivity is not built), the usage count that unloads
    // what went unused, and the post-load pass that finishes the levels read in the background.
    // Update also loads the fog-of-war textures of the grids stamped since the last frame.
    void Update(const mem::vector<WorldFrustum>& frusta);
    void UpdateRegionUsage();
    void PostLoadPass();
    void AddPendingPostLoadRegion(Region* region) override;
    void RemovePendingPostLoadRegion(Region* region) override;
    // Regions with a load queued or running, and regions whose level is loaded.
    unsigned GetNumLevelsLoading() const;
    unsigned GetNumLevelsLoaded() const;
    // Every region's level goes at the next usage count unless it is used meanwhile.
    void UnloadExtraRegions();

    // Region queries (shapes in the reference region's space).
    // Regions whose boxes meet the frustum; connectedOnly keeps those connected to the viewer.
    void GetRegionsInFrustum(mem::vector<Region*>& out, Region* viewer, const Frustum& frustum,
                             bool connectedOnly) override;
    void GetRegionsInBox(mem::vector<Region*>& out, Region* ref, const ABBox& box) override;
    // The first region whose box holds the point, faces included; null when none does.
    Region* GetRegionContainingPoint(Region* ref, const Vec3& point) override;
    // The same for a position in world space, over the regions in index order.
    Region* GetRegionContainingPoint(const IntVec3& point);
    // Loaded regions whose boxes meet the frustum; neighboursOnly keeps the viewer's neighbours
    // through portals.
    void GetLoadedRegionsInFrustum(mem::vector<Region*>& out, Region* viewer, const Frustum& frustum,
                                   bool neighboursOnly);

    // Entity queries over the loaded regions; results are appended.
    void GetEntities(mem::vector<Entity*>& out, EntityListType type = EntityListType::All) const;
    void GetEntities(mem::vector<Entity*>& out, const FilterFunction<Entity>& filter,
                     EntityListType type = EntityListType::All) const;
    void GetEntitiesInSphere(mem::vector<Entity*>& out, Region* ref, const Sphere& sphere, bool useAlternateBox,
                             EntityListType type = EntityListType::All) const;
    // With loadLevels the levels of the regions the box meets are loaded now when need be;
    // without it only loaded levels are asked.
    void GetEntitiesInBox(mem::vector<Entity*>& out, const ABBox& box, Region* ref, bool loadLevels,
                          EntityListType type = EntityListType::All);
    // Each entity once, whichever regions it was found from.
    void GetEntitiesInFrustum(mem::vector<Entity*>& out, const WorldFrustum& frustum, bool useAlternateBox,
                              bool neighboursOnly, bool exact);
    // Replaces out by the entities of the sphere (apex, range) inside the cone, those most nearly
    // along the direction first. An angle at or below 0 counts as 0.01, one of 2 pi or more as
    // 2 pi - 0.01, and pi as pi - 0.01; angles above pi keep what lies outside the reversed cone.
    void GetEntitiesInCone(mem::vector<Entity*>& out, const WorldVec3& apex, const Vec3& direction, float angle,
                           float range, bool useAlternateBox, EntityListType type = EntityListType::All) const;

    // Rays and picking.
    // The nearest hit: first through the portal the ray meets in its own region (and in that
    // region before the portal); when nothing is hit that way, in every loaded region.
    void GetIntersection(const WorldRay& ray, WorldIntersection& out, PhysicsSurface excluded,
                         bool skipEntities) const;
    // The hit in the region before its nearest portal, or else behind that portal (one crossing).
    void GetIntersectionThroughPortals(Region* region, const Ray& ray, WorldIntersection& out,
                                       PhysicsSurface excluded) const;
    Entity* PickEntity(const WorldRay& ray) const;
    Entity* PickEntity(const WorldRay& ray, const FilterFunction<Entity>& filter) const;
    void PickEntities(const WorldRay& ray, mem::vector<Entity*>& out) const;
    void GetAllIntersections(const WorldRay& ray, mem::vector<Entity*>& out, bool useAlternateBox,
                             float maxDistance) const;
    // The index of the loaded region whose ground the ray hits first; -1 when none.
    int PickRegion(const WorldRay& ray) const;
    // The first portal a loaded region finds along the ray; distance becomes its hit distance.
    Portal* TraceRayAgainstPortals(const WorldRay& ray, float& distance, bool twoSided) const;

    // Collisions (WorldCollisions.cpp). Shapes and contact positions are relative to the centre
    // (see PhysicsWorld.h). Contacts come from the ground of every loaded region the shape reaches,
    // then from the entities in its bounds that the entity may meet: each other entity's physics
    // mesh, or its collision proxy when it has no mesh. Each pair of simulated entities is reported
    // by one of the two only (the one stored first), so their contact is not counted twice.
    // The entity's collision proxy; 0 contacts for an entity without one.
    int FindCollisions(const Entity* entity, CollisionContact* contacts, int max, const WorldVec3& centre,
                       EntityListType type, PhysicsSurface excluded);
    // A box moving with the entity (null: with nothing); the entity itself is not met.
    int FindCollisions(const Entity* entity, const OBBox& box, CollisionContact* contacts, int max,
                       const WorldVec3& centre, EntityListType type, PhysicsSurface excluded);
    // Each collision box keeps its best contacts.
    void FindCollisions(const Entity* entity, mem::vector<CollisionBox>& boxes, const WorldVec3& centre,
                        EntityListType type, PhysicsSurface excluded);
    // The physics step's forms: rigid bodies meet updated entities, rag dolls those of the level file.
    int FindCollisions(Entity* entity, const WorldVec3& centre, CollisionContact* contacts, int max) override;
    int FindCollisions(Entity* entity, const OBBox& box, const WorldVec3& centre, CollisionContact* contacts,
                       int max) override;
    void FindCollisions(Entity* entity, mem::vector<CollisionBox>& boxes, const WorldVec3& centre) override;
    // Pushes the grass of every loaded region's ground within radius of the position away from it.
    void CreatePointDisturbance(const WorldVec3& position, float radius, float strength, int splash) override;

    // Distances and heights.
    // The squared distance, the shorter of the offset path and the way through a portal of a's
    // region into b's; +infinity when either has no region.
    float GetDistanceSquared(const WorldVec3& a, const WorldVec3& b) const;
    float GetDistance(const WorldVec3& a, const WorldVec3& b) const;
    // b - a along the shorter way (see GetDistanceSquared), in a's region's space.
    Vec3 GetDirection(const WorldVec3& a, const WorldVec3& b) const;
    float GetNearestFloorHeight(const WorldVec3& position) override;
    // The highest ground height, relative to ref, of the regions over (x, z) of ref's space; their
    // levels not loaded are loaded now (Region::GuaranteedGetLevel). -infinity when none of them
    // has ground.
    float GetHighestTerrainHeight(Region* ref, float x, float z);

private:
    // Destroys every region (with its level and entities), the grid and the index.
    void ClearRegions();
    // The world box: the union of the region boxes in world space.
    void CreateWorldBox();
    // Chunk 17 through the instance-group store, or kept as bytes without one.
    bool LoadInstanceGroups(BinaryReader& reader);
    bool LoadWorldFile(File* file);
    static void SendWorldLoaded();
    // Adds the region at the end of the list and indexes it by its own id.
    int AppendRegion(std::unique_ptr<Region> region);
    void RebuildIndex();
    // The statistics lines of EnableDebugging.
    void AddDebugStatistics(const mem::vector<WorldFrustum>& frusta) const;
    // The region's box in world space.
    static ABBox GetWorldSpaceBox(const Region* region);
    // The region's candidates for a shape whose world-space XZ rectangle is given: the grid's when
    // there is one, else every region.
    void GetCandidates(float x, float z, float width, float depth, mem::vector<Region*>& out) const;
    // The nearest hit of one region's level; out keeps the nearer of it and what it held.
    static void IntersectLevel(Region* region, const Ray& ray, WorldIntersection& out, PhysicsSurface excluded,
                               bool skipEntities);

    std::string fileName_;
    InstanceGroupStore* instanceGroups_ = nullptr;
    mem::vector<unsigned char> instanceData_;  // chunk 17 as read, when no store reads it
    mem::vector<std::string> questFiles_;
    ABBox worldBox_;
    float shadowSoftness_ = 1.5f;
    std::unique_ptr<WorldGrid> grid_;
    mem::vector<std::unique_ptr<Region>> regions_;
    mem::vector<Region*> loadedRegions_;
    mem::vector<WorldCoords> spawnPoints_;
    mem::map<RegionId, int> regionIndex_;
    bool regionsLoaded_ = false;
    bool warmUp_ = false;
    bool connectivityBuilt_ = false;
    bool debugging_ = false;
    bool showConnections_ = true;
    File* mapFile_ = nullptr;              // opened and closed through the engine's file system
    mutable CriticalSection mapFileLock_;
    mutable int mapFileUsers_ = 0;         // LockMapFile calls not yet unlocked, under the lock
    mem::vector<Region*> pendingPostLoad_; // under the pending lock
    mutable CriticalSection pendingLock_;
};

}  // namespace GAME
