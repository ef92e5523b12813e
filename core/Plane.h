#pragma once
// Plane: the points p with Dot(normal, p) + d == 0. Frustum planes face inward: a point is inside
// when Dot(normal, p) + d >= 0. Normals are unit length wherever a distance is read from them.

#include "core/Ray.h"
#include "core/Vec3.h"

namespace GAME {

struct Plane {
    Vec3 normal;
    float d = 0.0f;

    constexpr Plane() = default;
    constexpr Plane(const Vec3& normal_, float d_) : normal(normal_), d(d_) {}
    // The plane through three points: unit normal of (b - a) x (c - a), d = -Dot(normal, a).
    // Collinear points give a zero normal.
    Plane(const Vec3& a, const Vec3& b, const Vec3& c);

    constexpr bool operator==(const Plane&) const = default;

    // Signed distance of a point: positive on the side the normal points to.
    constexpr float GetDistance(const Vec3& point) const { return Dot(normal, point) + d; }

    // The normal's dot product with a vector (the distance term is not added).
    constexpr float DotNormal(const Vec3& v) const { return Dot(normal, v); }

    // t along the ray where it crosses the plane: -(n·o + d) / (n·r); +infinity when the ray runs
    // parallel to the plane or the crossing lies behind the origin.
    float GetRayDistance(const Ray& ray) const;
};

}  // namespace GAME
