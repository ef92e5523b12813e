#pragma once
// ABBox: an axis-aligned box as centre and half size; object and region bounds.
//
// Corners are numbered by bits: corner i lies at +halfSize.x when bit 0 of i is set (else
// -halfSize.x), at +halfSize.y with bit 1 and at +halfSize.z with bit 2. The edges therefore join
// the corners whose numbers differ in one bit.

#include "core/MathUtil.h"
#include "core/Ray.h"
#include "core/Vec3.h"

#include <algorithm>

namespace GAME {

struct Coords;
struct OBBox;

struct ABBox {
    Vec3 centre;
    Vec3 halfSize;

    constexpr ABBox() = default;
    constexpr ABBox(const Vec3& centre_, const Vec3& halfSize_) : centre(centre_), halfSize(halfSize_) {}
    // The smallest axis-aligned box around an oriented one: the same centre, each half extent
    // the sum of the absolute axis components times the half sizes.
    explicit ABBox(const OBBox& box);

    constexpr bool operator==(const ABBox&) const = default;

    constexpr Vec3 GetMin() const { return centre - halfSize; }
    constexpr Vec3 GetMax() const { return centre + halfSize; }

    void GetCorners(Vec3 corners[8]) const;

    constexpr void Translate(const Vec3& offset) { centre += offset; }

    // The smallest box holding both.
    static ABBox Union(const ABBox& a, const ABBox& b);

    // The oriented box with this box's half sizes, the frame's axes and the centre carried through
    // the frame.
    static OBBox Transform(const Coords& frame, const ABBox& box);

    // Slab test: the t at which the ray enters the box, 0 when its origin is inside (or on) the box,
    // +infinity on a miss or when the box lies behind. Touching an edge or face counts as a hit.
    float GetIntersection(const Ray& ray) const {
        float tNear = 0.0f;
        float tFar = Infinity;
        Clip(ray.origin.x, ray.direction.x, centre.x, halfSize.x, tNear, tFar);
        Clip(ray.origin.y, ray.direction.y, centre.y, halfSize.y, tNear, tFar);
        Clip(ray.origin.z, ray.direction.z, centre.z, halfSize.z, tNear, tFar);
        return tNear <= tFar ? tNear : Infinity;  // false for NaN input too
    }

private:
    // Narrows [tNear, tFar] to the ray's span inside one slab. A direction component below 1e-30
    // is taken as ±1e-30: a ray parallel to the slab then gets ±huge (never 0 * inf = NaN) bounds,
    // so it stays in when its origin lies between the faces (or on one) and misses otherwise.
    static void Clip(float origin, float direction, float centre, float halfSize, float& tNear, float& tFar) {
        constexpr float tiny = 1e-30f;
        const float inverse = 1.0f / (std::fabs(direction) > tiny ? direction : std::copysign(tiny, direction));
        const float t0 = (centre - halfSize - origin) * inverse;
        const float t1 = (centre + halfSize - origin) * inverse;
        tNear = std::max(tNear, std::min(t0, t1));
        tFar = std::min(tFar, std::max(t0, t1));
    }
};

}  // namespace GAME
