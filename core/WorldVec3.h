#pragma once
// WorldVec3: a position in the world, as the region it lies in and a point relative to that region.
//
// Regions keep their own spaces (offset from the world by whole units), so positions are always
// carried with their region. Moving a position may take it into another region: through a portal
// it crosses, or into the region whose box holds its new place when it leaves its own (asked of
// the region's world).
//
// The type is core's, so that the services below the world (pathing, sound) can carry positions.
// Regions and portals live in the world folder above core, so the operations that walk them
// (operator-, MakeRelative, Translate, TranslateToFloor, PutOnFloor) are defined there, in
// world/WorldVec3.cpp; core itself calls none of them.

#include "core/Vec3.h"

namespace GAME {

class Region;

class WorldVec3 {
public:
    // No region: a position outside the world.
    WorldVec3() = default;
    WorldVec3(Region* region, const Vec3& position) : region_(region), position_(position) {}

    // Null for a position outside the world.
    Region* GetRegion() const { return region_; }
    // The position in its region's frame.
    const Vec3& GetRegionPosition() const { return position_; }

    // This position minus other, across regions: the difference of the region positions plus the
    // difference of the regions' offsets (a missing region counts as offset zero).
    Vec3 operator-(const WorldVec3& other) const;

    // Expresses the same place relative to region (by the offsets). Nothing changes when either
    // region is missing.
    void MakeRelative(Region* region);

    // Moves the position by delta without changing its region, even when it leaves the region's box.
    void TranslateInRegion(const Vec3& delta) { position_ += delta; }

    // Moves the position by delta. Unless noPortals, a move that crosses an open portal from its
    // front (within the segment's length) continues in the connected region, carried through the
    // portal's frame. Otherwise, when the new place lies outside the region's box, the region's
    // world is asked for the region that holds it, and the position is made relative to that one
    // when there is one. Nothing happens without a region.
    void Translate(const Vec3& delta, bool noPortals);

    // Translate(delta, false), then PutOnFloor; the result of PutOnFloor.
    bool TranslateToFloor(const Vec3& delta);
    // Drops (or lifts) the position onto the nearest floor below it, or above it when there is
    // none below, as the region's world finds it. False, and no change, when there is no floor,
    // no region or no world.
    bool PutOnFloor();

private:
    Region* region_ = nullptr;
    Vec3 position_;
};

// The shift that carries points of from's space into to's: from's offset minus to's, taken as
// whole numbers before it becomes a float. A null region counts as offset zero. Defined with the
// regions, in world/Region.cpp; declared here so that the drawing code below the world can place
// a region's points in a camera region's frame.
Vec3 GetOffsetDifference(const Region* from, const Region* to);

}  // namespace GAME
