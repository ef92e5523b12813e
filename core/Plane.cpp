#include "core/Plane.h"

#include "core/MathUtil.h"

namespace GAME {

Plane::Plane(const Vec3& a, const Vec3& b, const Vec3& c)
    : normal(Cross(b - a, c - a).Unit()), d(-Dot(normal, a)) {}

float Plane::GetRayDistance(const Ray& ray) const {
    const float along = Dot(normal, ray.direction);
    if (along == 0.0f) {
        return Infinity;
    }
    const float t = -GetDistance(ray.origin) / along;
    return t >= 0.0f ? t : Infinity;  // also rejects NaN
}

}  // namespace GAME
