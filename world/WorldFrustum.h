#pragma once
// WorldFrustum: a view volume in the world: a Frustum expressed in the space of a region. The
// viewer's frustum reaches the engine's frame update as one.
//
// This is the value type alone; carrying the frustum into another region's space needs Region's
// definition and belongs with Region.

#include "core/Frustum.h"

namespace GAME {

class Region;

class WorldFrustum {
public:
    // No region and no planes: a viewer that sees nothing.
    WorldFrustum() = default;
    WorldFrustum(Region* region, const Frustum& frustum) : region_(region), frustum_(frustum) {}

    void Initialize(Region* region, const Frustum& frustum) {
        region_ = region;
        frustum_ = frustum;
    }

    Region* GetRegion() const { return region_; }
    // The frustum in its region's space.
    const Frustum& GetRegionFrustum() const { return frustum_; }

private:
    Region* region_ = nullptr;
    Frustum frustum_;
};

}  // namespace GAME
