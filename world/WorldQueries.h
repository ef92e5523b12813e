#pragma once
// WorldQueries: what regions, portals and positions ask of the world that owns them: a region by
// its id, the region containing a point, the regions in a box or frustum, and the floor under a
// position; and what regions tell it. World implements it;
// each Region knows its world through it (null for a region outside any world).

#include "core/Mem.h"

namespace GAME {

struct ABBox;
class File;
class Frustum;
class Region;
class RegionId;
class WorldVec3;
struct Vec3;

class WorldQueries {
public:
    // The region with the id; null when the world has none.
    virtual Region* GetRegionById(const RegionId& id) = 0;
    // The first region whose box contains the point (given in ref's space, faces included); null
    // when none does.
    virtual Region* GetRegionContainingPoint(Region* ref, const Vec3& point) = 0;
    // Appends the regions (ref among them) whose boxes meet the box, given in ref's space.
    virtual void GetRegionsInBox(mem::vector<Region*>& out, Region* ref, const ABBox& box) = 0;
    // Appends the regions whose boxes meet the frustum, given in viewer's space; connectedOnly
    // keeps those connected to the viewer.
    virtual void GetRegionsInFrustum(mem::vector<Region*>& out, Region* viewer, const Frustum& frustum,
                                     bool connectedOnly) = 0;
    // The height, in the position's region, of the floor below the position (or, failing that,
    // above it); -infinity when there is none.
    virtual float GetNearestFloorHeight(const WorldVec3& position) = 0;
    // The region's level became loaded (true) or went away (false); the world keeps the list of
    // loaded regions that its queries search.
    virtual void SetRegionLoaded(const Region* region, bool loaded) = 0;
    // A level was read in the background and waits for the main thread's PostLoadPass; the
    // region leaves that list when its level goes. Both may come from any thread, and neither
    // lists a region twice.
    virtual void AddPendingPostLoadRegion(Region* region) = 0;
    virtual void RemovePendingPostLoadRegion(Region* region) = 0;
    // The open map file for a ranged read of a region's level; see World::LockMapFile.
    virtual File* LockMapFile() const = 0;
    virtual void UnlockMapFile() const = 0;

protected:
    ~WorldQueries() = default;
};

}  // namespace GAME
