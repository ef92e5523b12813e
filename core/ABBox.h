#pragma once
// ABBox: an axis-aligned box as centre and half size; object and region bounds.
//
// Corners are numbered by bits: corner i lies at +halfSize.x when bit 0 of i is set (else
// -halfSize.x), at +halfSize.y with bit 1 and at +halfSize.z with bit 2. The edges therefore join
// the corners whose numbers differ in one bit.

#include "core/MathUtil.h"
#include "core/Ray.h"
#include "core/Vec3.h"

#include <cmath>

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

    // The squared distance from the point to the nearest point of the box; 0 inside.
    float GetSquaredDistance(const Vec3& point) const {
        const auto axis = [](float p, float c, float h) {
            const float d = std::fabs(p - c) - h;
            return d > 0.0f ? d * d : 0.0f;
        };
        return axis(point.x, centre.x, halfSize.x) + axis(point.y, centre.y, halfSize.y) +
               axis(point.z, centre.z, halfSize.z);
    }

    constexpr void Translate(const Vec3& offset) { centre += offset; }

    // True when the point lies in the box; its faces count as inside.
    bool Holds(const Vec3& point) const {
        const Vec3 gap = point - centre;
        return std::fabs(gap.x) <= halfSize.x && std::fabs(gap.y) <= halfSize.y && std::fabs(gap.z) <= halfSize.z;
    }

    // The smallest box holding both.
    static ABBox Union(const ABBox& a, const ABBox& b);

    // True when the boxes overlap on all three axes; touching counts.
    static bool Overlap(const ABBox& a, const ABBox& b) {
        return std::fabs(a.centre.x - b.centre.x) <= a.halfSize.x + b.halfSize.x &&
               std::fabs(a.centre.y - b.centre.y) <= a.halfSize.y + b.halfSize.y &&
               std::fabs(a.centre.z - b.centre.z) <= a.halfSize.z + b.halfSize.z;
    }

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
        return tNear <= tFar ? tNear : Infinity;
    }

private:
    // Narrows [tNear, tFar] to the ray's span inside one slab. The sign of the direction picks the
    // entry face, so no min/max is needed. A zero component gives infinite bounds (the ray is
    // inside the slab for all t or never), or NaN when the origin lies exactly on a face
    // (0 * inf); the comparisons are written so that NaN leaves the span unchanged: a ray running
    // along a face touches the box.
    static void Clip(float origin, float direction, float centre, float halfSize, float& tNear, float& tFar) {
        const float inverse = 1.0f / direction;
        const float tLow = (centre - halfSize - origin) * inverse;
        const float tHigh = (centre + halfSize - origin) * inverse;
        const bool backwards = std::signbit(direction);
        const float entry = backwards ? tHigh : tLow;
        const float exit = backwards ? tLow : tHigh;
        tNear = entry > tNear ? entry : tNear;
        tFar = exit < tFar ? exit : tFar;
    }
};

}  // namespace GAME
