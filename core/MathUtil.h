#pragma once
// Scalar helpers and the few free functions of the math library that belong to no one type.

#include "core/Vec3.h"

#include <cmath>
#include <limits>

namespace GAME {

// +infinity: the "no hit" distance of every ray query and the start value of empty bounds.
inline constexpr float Infinity = std::numeric_limits<float>::infinity();

inline constexpr float Pi = 3.14159265358979f;

constexpr float DegreesToRadians(float degrees) { return degrees * 0.017453292f; }

inline float Tan(float radians) { return std::tan(radians); }
inline float Sqrt(float value) { return std::sqrt(value); }

constexpr float Min(float a, float b) { return a < b ? a : b; }
constexpr float Max(float a, float b) { return a > b ? a : b; }

// Component-wise minimum and maximum.
constexpr Vec3 Min(const Vec3& a, const Vec3& b) { return Vec3(Min(a.x, b.x), Min(a.y, b.y), Min(a.z, b.z)); }
constexpr Vec3 Max(const Vec3& a, const Vec3& b) { return Vec3(Max(a.x, b.x), Max(a.y, b.y), Max(a.z, b.z)); }

// The value wrapped into [min, max) by whole periods (floor-based, so negative values wrap from the
// top: WrapToRange(-1, 0, 24) is 23). An empty or inverted range gives min.
float WrapToRange(float value, float min, float max);

// The value truncated toward zero after clamping into [low, high], so that no float, however large
// (or NaN, which gives low), reaches an int conversion out of range.
constexpr int TruncateClamped(float value, int low, int high) {
    if (!(value > float(low))) return low;
    if (value >= float(high)) return high;
    return int(value);
}

// (n & -n) == n: true for the powers of two and, on purpose, for 0 (readers test sizes minus one).
constexpr bool IsPowerOfTwo(unsigned n) { return (n & (0u - n)) == n; }

// True when a sphere (point, size) meets the cone at apex around direction. angle is the full
// aperture in radians (half of it on each side of the direction); a direction of any length.
bool IsInCone(const Vec3& apex, const Vec3& direction, float angle, const Vec3& point, float size);

}  // namespace GAME
