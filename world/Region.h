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
// one is loaded and tells the world when it comes and goes; streaming the level in and out, and the
// fog of war, are the streaming and fog code's, under the two locks kept here.
//
// Threads: everything here runs on the main thread, except what the locks guard.

#include <memory>
#include <string>

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/CriticalSection.h"
#include "core/IntVec3.h"
#include "core/Mem.h"
#include "core/Vec3.h"
#include "core/WorldVec3.h"
#include "world/RegionId.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class Entity;
class Frustum;
class Level;
class Portal;
class WorldCoords;
class UniqueId;
class WorldQueries;
class WorldVec3;
struct Ray;

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

    // An invalid id is replaced by a new unique one.
    Region(WorldQueries* world, int index, const std::string& name, const ABBox& box, const IntVec3& offset,
           const RegionId& id);
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

    // The level. The region owns it; null while none is loaded.
    Level* GetLevel() const { return level_.get(); }
    // The level is there, loaded and post-loaded: entities may enter it.
    bool IsLevelLoaded() const;
    // Replaces the level (the old one is destroyed with its entities), takes its box and tells the
    // world whether a loaded level is now there. The id stays: portals of other regions lead here
    // by it.
    void SetLevel(std::unique_ptr<Level> level);

    // Entities.
    // Places the entity into the level at the coordinates (which must be in this region) and, with
    // updateNow, gives it an update of 0 ms. False for a null entity, coordinates of another
    // region, or a level that is not loaded: then an entity that asks for it is destroyed, with
    // the error logged.
    bool AddEntity(Entity* entity, const WorldCoords& coords, bool updateNow);
    // Takes the entity out of the network list and the level and leaves it outside the world.
    void RemoveEntity(Entity* entity);
    // The entities of the loaded levels inside the frustum (region space): this region's, and
    // with followPortals those seen through its open portals, region after region, each region
    // visited once per query so that rings of doorways end. Each entity once.
    void GetEntitiesInFrustum(mem::vector<Entity*>& out, const Frustum& frustum, bool useAlternateBox,
                              bool followPortals) const;

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
    // False, with the error logged and the icon left empty, when the record runs past the data.
    bool LoadRegionIcon(BinaryReader& reader);
    const RegionIcon& GetIconData() const { return icon_; }

    // Guards the level pointer and the loading flags against the level loading thread; the main
    // thread only try-enters it to unload. Taken before the world's locks.
    CriticalSection& GetRegionLock() const { return regionLock_; }
    // Guards the region's fog of war against the thread that saves it.
    CriticalSection& GetFogLock() const { return fogLock_; }

private:
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
    ABBox box_;
    mem::vector<std::unique_ptr<Portal>> portals_;
    std::string zoneRecord_;
    mem::vector<Region*> connectedRegions_;
    mutable CriticalSection fogLock_;
    RegionIcon icon_;
};


}  // namespace GAME
