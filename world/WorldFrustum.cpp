#include "world/WorldFrustum.h"

#include "world/Region.h"

namespace GAME {

void WorldFrustum::GetRelativeFrustum(const Region* region, Frustum& out) const {
    out = Frustum();
    if (!region || !region_) return;
    out = frustum_;
    out.Translate(GetOffsetDifference(region_, region));
}

}  // namespace GAME
