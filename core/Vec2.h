#pragma once
// Vec2: two floats, the engine's 2-D point (canvas positions, image coordinates, texture coordinates).

#include <cmath>

namespace GAME {

struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;

    constexpr Vec2() = default;
    constexpr Vec2(float x_, float y_) : x(x_), y(y_) {}

    constexpr Vec2 operator+(const Vec2& v) const { return Vec2(x + v.x, y + v.y); }
    constexpr Vec2 operator-(const Vec2& v) const { return Vec2(x - v.x, y - v.y); }
    constexpr Vec2 operator*(float s) const { return Vec2(x * s, y * s); }

    constexpr bool operator==(const Vec2&) const = default;

    float Length() const { return std::sqrt(x * x + y * y); }

    // The unit-length copy; the zero vector stays zero.
    Vec2 Unit() const {
        const float lengthSquared = x * x + y * y;
        return lengthSquared > 0.0f ? *this * (1.0f / std::sqrt(lengthSquared)) : Vec2();
    }
};

}  // namespace GAME
