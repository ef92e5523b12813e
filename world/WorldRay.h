#pragma once
// WorldRay: a ray in the world: an origin relative to its region and a direction in that region's
// space. World ray queries (intersections, picking, portal tracing) take one.

#include "core/Vec3.h"
#include "core/WorldVec3.h"

namespace GAME {

struct WorldRay {
    WorldVec3 origin;  // where the ray starts, and the region whose space it is given in
    Vec3 direction;    // need not be unit length: hits are reported in multiples of it

    WorldRay() = default;
    WorldRay(const WorldVec3& origin_, const Vec3& direction_) : origin(origin_), direction(direction_) {}
};

}  // namespace GAME
