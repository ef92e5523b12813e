#pragma once
// WorldCoords: a frame in the world: three axes and an origin that is a WorldVec3, so the frame is
// relative to the origin's region. Entities keep their placement as one.
//
// This is the value type alone; operations that need Region's definition (carrying a frame into
// another region) belong with Region.

#include "core/Coords.h"
#include "core/Vec3.h"
#include "core/WorldVec3.h"

namespace GAME {

class Region;

class WorldCoords {
public:
    // Identity axes at the origin of no region: a frame outside the world.
    WorldCoords() = default;
    // Identity axes at the origin of the region.
    explicit WorldCoords(Region* region) : origin_(region, Vec3()) {}
    // The frame relative to the region.
    WorldCoords(Region* region, const Coords& coords)
        : xAxis_(coords.xAxis), yAxis_(coords.yAxis), zAxis_(coords.zAxis), origin_(region, coords.origin) {}

    // Null for a frame outside the world.
    Region* GetRegion() const { return origin_.GetRegion(); }
    const WorldVec3& GetOrigin() const { return origin_; }
    // The frame in its region's space.
    Coords GetRegionCoords() const { return Coords(xAxis_, yAxis_, zAxis_, origin_.GetRegionPosition()); }

    // Moves the frame to the position (and its region), keeping the axes.
    void SetOrigin(const WorldVec3& origin) { origin_ = origin; }
    // Moves the origin by delta in its region's space, keeping the region.
    void Translate(const Vec3& delta) { origin_.TranslateInRegion(delta); }

private:
    Vec3 xAxis_{1.0f, 0.0f, 0.0f};
    Vec3 yAxis_{0.0f, 1.0f, 0.0f};
    Vec3 zAxis_{0.0f, 0.0f, 1.0f};
    WorldVec3 origin_;
};

}  // namespace GAME
