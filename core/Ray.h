#pragma once
// Ray: an origin and a direction. The direction need not be unit length; every ray query answers
// in multiples of it (t), so GetPoint(t) is the hit point.

#include "core/Vec3.h"

namespace GAME {

struct Ray {
    Vec3 origin;
    Vec3 direction;

    constexpr Ray() = default;
    constexpr Ray(const Vec3& origin_, const Vec3& direction_) : origin(origin_), direction(direction_) {}

    constexpr Vec3 GetPoint(float t) const { return origin + direction * t; }
};

}  // namespace GAME
