#include "HostCamera.h"

#include <cmath>

#include "core/IntVec3.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {

WorldVec3 HostCamera::GetTargetPosition() const {
    Region* region = world_.GetRegionContainingPoint(
        IntVec3(int(std::floor(target_.x)), int(std::floor(target_.y)), int(std::floor(target_.z))));
    if (!region) return WorldVec3();
    const IntVec3& offset = region->GetOffsetFromWorld();
    return WorldVec3(region, target_ - Vec3(float(offset.x), float(offset.y), float(offset.z)));
}

}  // namespace GAME
