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
    // Narrows [tNear, tFar] to the ray's span inside one slab. A direction component of (almost)
    // zero never divides: the ray then stays inside the slab for all t when its origin lies between
    // the faces or on one, and never enters it otherwise (no 0 * inf = NaN). Selects, not branches.
    static void Clip(float origin, float direction, float centre, float halfSize, float& tNear, float& tFar) {
        constexpr float tiny = 1e-30f;
        const bool parallel = !(std::fabs(direction) > tiny);
        const float inverse = 1.0f / (parallel ? 1.0f : direction);
        const float t0 = (centre - halfSize - origin) * inverse;
        const float t1 = (centre + halfSize - origin) * inverse;
        const float parallelNear = (t0 <= 0.0f && t1 >= 0.0f) ? -Infinity : Infinity;
        tNear = std::max(tNear, parallel ? parallelNear : std::min(t0, t1));
        tFar = std::min(tFar, parallel ? -parallelNear : std::max(t0, t1));
    }
};

}  // namespace GAME
