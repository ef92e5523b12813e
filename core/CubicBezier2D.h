#pragma once
// CubicBezier2D: the point at t of the cubic Bezier curve of four 2-D points, in Bernstein form
// (1 - t)^3 p0 + 3 (1 - t)^2 t p1 + 3 (1 - t) t^2 p2 + t^3 p3. Water paths and wave sets lay their
// curves on the ground plane with it.

#include "core/Vec2.h"

namespace GAME {

constexpr Vec2 CubicBezier2D(const Vec2& p0, const Vec2& p1, const Vec2& p2, const Vec2& p3, float t) {
    const float s = 1.0f - t;
    return p0 * (s * s * s) + p1 * (3.0f * s * s * t) + p2 * (3.0f * s * t * t) + p3 * (t * t * t);
}

}  // namespace GAME
