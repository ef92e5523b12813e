#pragma once
// WorldVec3: a position in the world, as the region it lies in and a point relative to that region.
//
// Regions keep their own frames (offset from the world by whole units), so positions are always
// carried with their region. This is the value type alone; the operations that need Region's
// definition (differences across regions, portal-crossing translation, dropping onto the floor)
// belong with Region.

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

    // Moves the position by delta without changing its region, even when it leaves the region's box.
    void TranslateInRegion(const Vec3& delta) { position_ += delta; }

private:
    Region* region_ = nullptr;
    Vec3 position_;
};

}  // namespace GAME
