#pragma once
// WorldFrustum: a view volume in the world: a Frustum expressed in the space of a region. The
// viewer's frustum reaches the engine's frame update as one.

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
    // The frustum in region's space, moved by the difference of the two regions' offsets; a
    // frustum without planes when either region is missing.
    void GetRelativeFrustum(const Region* region, Frustum& out) const;

private:
    Region* region_ = nullptr;
    Frustum frustum_;
};

}  // namespace GAME
