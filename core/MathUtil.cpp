#include "core/MathUtil.h"

namespace GAME {

float WrapToRange(float value, float min, float max) {
    const float range = max - min;
    if (!(range > 0.0f)) {
        return min;
    }
    const float wrapped = value - range * std::floor((value - min) / range);
    // Rounding can land a tiny negative offset exactly on max (e.g. -1e-8 in [0, 24)).
    return wrapped < max ? wrapped : min;
}

bool IsInCone(const Vec3& apex, const Vec3& direction, float angle, const Vec3& point, float size) {
    const float radius = Max(size, 0.0f);
    const Vec3 toPoint = point - apex;
    const float distanceSquared = toPoint.LengthSquared();
    if (distanceSquared <= radius * radius) {
        return true;  // the sphere holds the apex
    }
    // The sphere meets the cone when the angle between the axis and the point is at most the
    // half aperture plus the angle the sphere subtends from the apex.
    const float distance = std::sqrt(distanceSquared);
    const float limit = 0.5f * angle + std::asin(radius / distance);
    if (limit >= Pi) {
        return true;
    }
    return Dot(toPoint, direction.Unit()) >= distance * std::cos(limit);
}

}  // namespace GAME
