#pragma once
// Sphere: a centre and a radius; bounds of lights, decals and entities, and a ray target.

#include "core/MathUtil.h"
#include "core/Ray.h"
#include "core/Vec3.h"

namespace GAME {

struct Sphere {
    Vec3 centre;
    float radius = 0.0f;

    constexpr Sphere() = default;
    constexpr Sphere(const Vec3& centre_, float radius_) : centre(centre_), radius(radius_) {}

    // The nearest t at which the ray meets the sphere; 0 when the origin is inside (or on) it;
    // +infinity when the ray misses it or the sphere lies behind the origin.
    float GetIntersection(const Ray& ray) const {
        const Vec3 offset = ray.origin - centre;
        const float c = offset.LengthSquared() - radius * radius;
        if (c <= 0.0f) {
            return 0.0f;
        }
        const float b = Dot(offset, ray.direction);
        const float a = ray.direction.LengthSquared();
        const float discriminant = b * b - a * c;
        // Hit only when moving towards the centre (b < 0, so the direction is not zero) along a
        // line that meets the sphere; written positively so that NaN input misses.
        if (!(b < 0.0f && discriminant >= 0.0f)) {
            return Infinity;
        }
        return (-b - std::sqrt(discriminant)) / a;
    }
};

}  // namespace GAME
