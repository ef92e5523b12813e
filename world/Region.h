#pragma once
// Region: one part of the world, with its own space. Positions inside a region are relative to it,
// and the region lies at a whole-unit offset from the world origin, so coordinates stay small
// however large the world is. A region has a name, a RegionId, a bounding box in its own space,
// its portals to other regions, the regions whose boxes touch it, a zone record and an icon.
//
// Between regions, shapes move two ways: by the difference of the regions' offsets (any two
// regions), or through a portal's frame (regions joined by a doorway, which need not share axes).
//
// The World owns the regions and gives each its index; a region reaches its world through the
// WorldQueries interface (null for a region outside any world). The region owns its level while
// one is loaded and tells the world when it comes and goes.
//
// Streaming: every frame the world walks the regions its viewers see (Update): a region in view is
// marked used and has its level loaded (the viewer's own region at once, the others through the
// LevelLoadingThread), a region just out of view (within the engine's level-load inflation) is
// requested in the background, and the walk goes on through open portals (two hops at most) and
// to connected regions. A level loaded in the background waits on the world's pending list until
// the main thread finishes it (PostLoadLevel). A level unused for 600 to 622 frames (the count
// differs by region index so that unloads spread over frames) is unloaded; its entities' state is
// kept in memory (in the editor, in a temporary level file) and restored when it comes back.
//
// Fog of war: the region's grid is handed whole to the saving thread when the level unloads, so
// the thread never shares it with the main thread, and a region destroyed meanwhile leaves nothing
// behind that the thread would touch.
//
// Decisions on threads: the loading thread never touches the region's level pointer. It reads the
// level into a level of its own and hands the finished level over under the region lock; the main
// thread adopts it in PostLoadLevel, and loads render data there too. So a level the main thread
// uses is never being filled, and no level is freed while another thread reads it. The load flags
// are atomics; the queued flag is written under the loading thread's queue lock. A region waits
// for (or takes back) its request before it is destroyed. A level that fails to load is not asked
// for again by the streaming walk or the renderers (which would read and log the broken file every
// frame), only by an explicit LoadLevel or GuaranteedGetLevel.
//
// Threads: everything here runs on the main thread, except InternalLoadLevel (loading thread) and
// what the locks guard.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/ABBox.h"
#include "core/Color.h"
#include "core/Coords.h"
#include "core/CriticalSection.h"
#include "core/GeometryBus.h"
#include "core/IntVec3.h"
#include "core/Mem.h"
#include "core/Vec3.h"
#include "core/WorldVec3.h"
#include "world/RegionId.h"
#include "world/RegionImage.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class Entity;
class FogOfWar;
class Frustum;
class Level;
class Portal;
class RenderTexture;
class WorldCoords;
class UniqueId;
class WorldFrustum;
class WorldQueries;
class WorldVec3;
struct Ray;
struct Sphere;

// The region's icon, as the mini-map renderer made it and the world file keeps it.
struct RegionIcon {
    uint32_t value = 0;                // kept and saved, not interpreted
    uint32_t width = 0;                // the image's size in pixels
    uint32_t height = 0;
    mem::vector<unsigned char> bytes;  // an image file held in memory; empty for no icon
};

class Region {
public:
    // Boxes closer than this on every axis (after offsets) make two regions connected.
    static constexpr float kConnectionDistance = 2.0f;
    // Streaming limits: frusta per walk, portals followed per region, portal hops from the root.
    static constexpr unsigned kMaxFrusta = 16;
    static constexpr int kMaxPortals = 32;
    static constexpr int kMaxPortalDepth = 2;
    // A level unused for more than kUnloadFrames + (index * 7) mod 23 frames is unloaded.
    static constexpr uint32_t kUnloadFrames = 600;

    // An invalid id is replaced by a new unique one.
    Region(WorldQueries* world, int index, const std::string& name, const ABBox& box, const IntVec3& offset,
           const RegionId& id);
    // A region outside any world (the editor's): index 0, no offset, a new id, and an empty level
    // sized from the box, made and post-loaded at once.
    explicit Region(const ABBox& box);
    // Destroys the level with its entities, and leaves the world's loaded list.
    virtual ~Region();
    Region(const Region&) = delete;
    Region& operator=(const Region&) = delete;

    // Identity and placement.
    const RegionId& GetId() const { return id_; }
    void SetId(const RegionId& id) { id_ = id; }
    void CreateUniqueId() { id_ = RegionId::CreateUnique(); }
    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    WorldQueries* GetWorld() const { return world_; }
    // The region's index in its world's region list.
    int GetIndex() const { return index_; }
    void SetIndex(int index) { index_ = index; }
    const IntVec3& GetOffsetFromWorld() const { return offset_; }
    void SetOffsetFromWorld(const IntVec3& offset) { offset_ = offset; }
    // In the region's space.
    const ABBox& GetBoundingBox() const { return box_; }
    // Takes the level's box (main thread, once the level is loaded).
    void UpdateBoundingBox();
    void SetZoneRecord(const std::string& zoneRecord) { zoneRecord_ = zoneRecord; }
    const std::string& GetZoneRecord() const { return zoneRecord_; }
    // The key colour of the region's zone (ZoneManager), alpha 1; opaque black for a zone without
    // data.
    Color GetTintColor() const;

    // The position in this region's space (shifted by the offset difference of the regions).
    Vec3 GetRelativePosition(const WorldVec3& position) const;
    // The frame that carries points of this region's space into other's.
    Coords GetRelativeTransformation(const Region* other) const;
    // Replaces out by the six inward-facing planes of the box: +x through its low x face, -x
    // through its high x face, then +y, -y, +z, -z likewise.
    void GetEnclosingFrustum(Frustum& out) const;

    // Where the region's level file and mini-map image lie in the world's map file (position 0:
    // none there).
    void SetLevelData(uint32_t position, uint32_t size) {
        levelDataPosition_ = position;
        levelDataSize_ = size;
    }
    uint32_t GetLevelDataPosition() const { return levelDataPosition_; }
    uint32_t GetLevelDataSize() const { return levelDataSize_; }
    void SetMinimapData(uint32_t position, uint32_t size) {
        minimapPosition_ = position;
        minimapSize_ = size;
    }
    uint32_t GetMinimapPosition() const { return minimapPosition_; }
    uint32_t GetMinimapSize() const { return minimapSize_; }
    // The mini-map texture; when there is none and load is set, it is first read from the map
    // file. Null when the region has no mini-map image or it cannot be made.
    RenderTexture* GetMinimapImage(bool load);
    void ReleaseMinimapImage() { minimapImage_.Release(); }
    // The icon texture, made from the icon's bytes when they were loaded; null without an icon.
    RenderTexture* GetIcon() const { return iconImage_.GetTexture(); }

    // Device resets (under the region lock): the mini-map and icon textures are released, the
    // icon's made again afterwards (the mini-map's when next asked for); the level and both fog
    // grids are told.
    void PreDeviceReset();
    void PostDeviceReset();
    // The graphics generation changed (under the region lock): the level is told.
    void ReloadGenerationDependentData();

    // The level. The region owns it; null while none is loaded. No lock, no mark (GetLevelPtr is
    // the same).
    Level* GetLevel() const { return level_.get(); }
    Level* GetLevelPtr() const { return level_.get(); }
    // The level, marking the region used unless doNotMarkUsed; null while it is loading.
    Level* GetLevel(bool doNotMarkUsed);
    // Loads the level now when need be (LoadLevel) and returns it, marked used; null when it
    // cannot be loaded.
    Level* GuaranteedGetLevel(bool loadRenderData);
    // As GuaranteedGetLevel, but a level whose last load failed is not read again (null): the
    // callers of every frame (the streaming walk, the renderers, portals) leave a broken level
    // alone until someone asks for it explicitly.
    Level* GetLevelUnlessFailed(bool loadRenderData);
    // The level is there, loaded and post-loaded: entities may enter it.
    bool IsLevelLoaded() const;
    // Whether the level (loaded now when need be, unless its last load failed) is an interior;
    // false without a level.
    bool IsUnderground();
    // Replaces the level (the old one is destroyed with its entities), takes its box and tells the
    // world whether a loaded level is now there. The id stays: portals of other regions lead here
    // by it.
    void SetLevel(std::unique_ptr<Level> level);

    // The level was last read from the map file (else from the level file named like the region).
    bool GetLoadedFromMap() const { return loadedFromMap_; }

    // Streaming (main thread unless said otherwise).
    // The per-frame walk, from the root region through this one (see above); frusta are up to
    // kMaxFrusta viewers, the first the local viewer's (only it loads render data).
    void Update(Region* root, const WorldFrustum* frusta, unsigned count, int elapsed, bool followConnected,
                Region* cameFrom, int depth);
    // The walk of this region alone, seen whole.
    void Update(int elapsed);
    // Preloads the entities near the frusta (region space) of a loaded level.
    void PreLoad(int priority, const Frustum* frusta, unsigned count, bool immediate);
    void PreLoad(int priority, bool immediate);
    // Queues a load of the level (or of its render data) unless it is there, already asked for,
    // or failed last time.
    void BackgroundLoadLevel(bool loadRenderData);
    // Loads the level (and render data) now on this thread, taking back a queued request or
    // waiting for the one being served, and finishes it. True when the level is loaded.
    bool LoadLevel(bool loadRenderData);
    // Loading thread: reads the level into a level of its own and hands it over; false (logged)
    // when it cannot be read, and then the region keeps no level.
    bool InternalLoadLevel(bool loadRenderData);
    // Adopts a level the loading thread handed over, loads asked-for render data, and post-loads
    // (one step when incremental). True when nothing is left to do.
    bool PostLoadLevel(bool incremental);
    // Once a frame: counts the frames the level went unused and unloads it past the threshold.
    void UpdateUsage();
    // keepState saves the entities' state (or, in the editor, the level to a temporary file) for
    // the next load; forgetSavedState drops a state kept from before.
    void UnloadLevel(bool keepState, bool forgetSavedState);
    void MarkAsUsedThisFrame() { framesNotUpdated_ = 0; }
    // The level counts as unused for kUnloadFrames - 1 frames (unless it has been for longer: a
    // count is never set back, or asking every few frames would keep a level forever), so it
    // goes at its threshold unless it is used meanwhile.
    void PrepareUnload() { framesNotUpdated_ = std::max(framesNotUpdated_, kUnloadFrames - 1); }
    uint32_t GetFramesNotUpdated() const { return framesNotUpdated_; }
    // A request is queued or being served (any thread).
    bool IsLevelLoading() const { return queued_.load(std::memory_order_acquire); }
    // The level is there and no load of it is asked for (it may still wait for its post-load).
    bool IsLoadingFinished() const { return level_ && !levelLoading_; }
    // The last load failed (only an explicit load asks again).
    bool GetLoadFailed() const { return loadFailed_.load(std::memory_order_acquire); }
    bool HasSavedState() const { return hasSavedState_; }
    // Returns once no load of this region is queued or running.
    void WaitForLoadingToFinish();
    // The file an unloaded level's edits are kept in (editor): in the temporary directory, named
    // by this region's address and the base name of the region, never the level's own file.
    std::string GetSavedStateFileName() const;
    // Under the region lock, destroys every entity of the level.
    void DestroyLevelEntities();
    // Set by the loading thread under its queue lock.
    void SetQueued(bool queued) { queued_.store(queued, std::memory_order_release); }

    // Entities.
    // Places the entity into the level at the coordinates (which must be in this region) and, with
    // updateNow, gives it an update of 0 ms. A level that is not loaded is loaded now, unless the
    // entity asks to be destroyed on entering an unloaded level: then it is, with the error logged.
    // False for a null entity, coordinates of another region, a destroyed entity, or a level that
    // cannot be loaded.
    bool AddEntity(Entity* entity, const WorldCoords& coords, bool updateNow);
    // Takes the entity out of the network list and the level and leaves it outside the world.
    void RemoveEntity(Entity* entity);
    // The entities of the loaded levels inside the frustum (region space): this region's, and
    // with followPortals those seen through its open portals, region after region, each region
    // visited once per query so that rings of doorways end. Each entity once.
    void GetEntitiesInFrustum(mem::vector<Entity*>& out, const Frustum& frustum, bool useAlternateBox,
                              bool followPortals) const;
    // The entities of the loaded level inside the sphere (region space).
    void GetEntitiesInSphere(mem::vector<Entity*>& out, const Sphere& sphere, bool useAlternateBox) const;
    // The regions of the world whose boxes meet the frustum (region space); none without a world.
    void GetRegionsInFrustum(mem::vector<Region*>& out, const Frustum& frustum) const;
    // Under the region lock, the faces of the level's grid inside the box (region space); a level
    // of another ground gives none.
    void GeometryBusStop(const ABBox& box, mem::vector<GeometryBus::SimpleFace>& faces) const;

    // Portals. The region owns its portals; each knows the region.
    Portal* CreatePortal();
    // Nothing for a portal the region does not own.
    void DestroyPortal(Portal* portal);
    int GetNumPortals() const { return static_cast<int>(portals_.size()); }
    Portal* GetPortal(int index) const { return portals_[index].get(); }
    // The portal with the id; null when the region has none.
    Portal* GetPortal(const UniqueId& id) const;
    // A portal of this region leads to the region.
    bool IsNeighbor(const Region* region) const;
    // The open portal that the ray meets first nearer than distance (which becomes its hit
    // distance); null when there is none. twoSided as for Portal::GetIntersection.
    Portal* TraceSegmentAgainstPortals(const Ray& ray, float& distance, bool twoSided) const;

    // Connected regions: the regions of all (this one and null entries aside) whose box, moved into
    // this region's space, overlaps this region's box grown by kConnectionDistance on every axis.
    // Replaces the earlier list.
    void BuildRegionConnectivity(const mem::vector<Region*>& all);
    const mem::vector<Region*>& GetConnectedRegions() const { return connectedRegions_; }
    // For a region leaving the world.
    void RemoveConnectedRegion(const Region* region);

    // The region's record of the world file (see RegionRecord).
    void Save(BinaryWriter& writer) const;
    // The icon record: u32 value, u32 width, u32 height, i32 byte count n, then n bytes when n is
    // positive (n of 0 or less: no icon).
    void SaveRegionIcon(BinaryWriter& writer) const;
    // Editor: draws the region's map data from above (MapDataBuilder, 2 pixels a unit, 4 for an
    // interior) with the neighbours that meet its box: the picture becomes the icon (and its
    // texture) and is saved in GetMapDataFileName(name), which the map builder compiles into the map
    // file as the region's mini-map. The level is loaded for it and stays; neighbours loaded for
    // it are unloaded again. False when the level cannot be had; a picture that cannot be made or
    // saved is logged.
    bool RebuildMapData();
    // The file a region's map data picture is saved in: its name without the extension, plus
    // ".tga".
    static std::string GetMapDataFileName(const std::string& regionName);
    // False, with the error logged and the icon left empty, when the record runs past the data.
    bool LoadRegionIcon(BinaryReader& reader);
    const RegionIcon& GetIconData() const { return icon_; }

    // Guards the level pointer and the loading flags against the level loading thread; the main
    // thread only try-enters it to unload. Taken before the world's locks.
    CriticalSection& GetRegionLock() const { return regionLock_; }
    // Guards the region's fog of war against the thread that saves it.
    CriticalSection& GetFogLock() const { return fogLock_; }

    // Fog of war. The region's grid is made on first use over its box and read from its file;
    // when the level unloads (or the region goes) the grid is handed to the FOWSavingThread,
    // which writes and destroys it, and the next use takes it back or reads the file again. With
    // blank, a second grid of the same extent kept by the region (never saved), which stamps
    // uncover together with the first. The pointer is valid until the level unloads.
    FogOfWar* GetFogOfWar(bool blank);
    // Whether the position (in any region) is hidden in this region's fog of war.
    bool IsInFog(const WorldVec3& position);
    // "fow/" + the region's name + ".fow", path separators in the name made '_'.
    std::string GetFOWFileName() const;
    // Hands the grid to the saving thread; nothing without one.
    void UnloadFOW();
    // Loads the textures of the grids stamped since the last call (the world asks once a frame).
    void UpdateFogTextures();

private:
    // Entity state survives unloading (not on a networked client, not in the editor).
    static bool CanRestoreLevelState();
    // The file the level is read from.
    std::string GetLoadFileName() const;
    // Reads the level's bytes from the world's map file into level; false (logged) when it cannot.
    bool LoadLevelFromMapFile(Level& level, bool restoring);
    // Copies size bytes at position of the world's map file; empty when they cannot be read.
    mem::vector<unsigned char> ReadMapFileRange(uint32_t position, uint32_t size) const;
    // The portal step of Update: follows the portals in or near view into the regions behind.
    void UpdatePortals(Region* root, const WorldFrustum* frusta, const Frustum* local, unsigned count, int elapsed,
                       bool followConnected, Region* cameFrom, int depth);
    // Calls visit on each grid there is (the region's, then the blank one), under the fog lock.
    template <class Visit>
    void ForEachFog(Visit&& visit);
    // One step of the portal walk of GetEntitiesInFrustum.
    void GatherEntitiesInFrustum(mem::vector<Entity*>& out, const Frustum& frustum, bool useAlternateBox,
                                 bool followPortals, mem::set<const Region*>& visited) const;

    mutable CriticalSection regionLock_;
    RegionId id_;
    WorldQueries* world_;
    int index_;
    IntVec3 offset_;
    std::string name_;
    std::unique_ptr<Level> level_;
    uint32_t levelDataPosition_ = 0;
    uint32_t levelDataSize_ = 0;
    uint32_t minimapPosition_ = 0;
    uint32_t minimapSize_ = 0;
    std::unique_ptr<Level> loadedLevel_;       // handed over by the loading thread, under the lock
    ABBox box_;
    uint32_t framesNotUpdated_ = 0;
    uint32_t lastUpdateFrame_ = UINT32_MAX;    // never a real frame, so the first frame counts
    std::atomic<bool> levelLoading_{false};    // a load that makes the level is asked for or running
    std::atomic<bool> renderDataLoading_{false};  // render data of the level are asked for
    std::atomic<bool> queued_{false};
    std::atomic<bool> loadFailed_{false};
    std::atomic<bool> loadedFromMap_{false};
    bool hasSavedState_ = false;               // under the lock
    std::unique_ptr<BinaryWriter> savedState_; // under the lock
    mem::vector<std::unique_ptr<Portal>> portals_;
    std::string zoneRecord_;
    mem::vector<Region*> connectedRegions_;
    mutable CriticalSection fogLock_;
    std::unique_ptr<FogOfWar> fog_;        // under the fog lock; null until used or once handed over
    std::unique_ptr<FogOfWar> blankFog_;   // main thread
    RegionIcon icon_;
    RegionImage iconImage_;
    RegionImage minimapImage_;
};


}  // namespace GAME
