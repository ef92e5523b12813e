#pragma once
// Rect: a floating-point rectangle as corner (x, y) and size, a value type of the canvas.

namespace GAME {

struct Rect {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;

    constexpr Rect() = default;
    constexpr Rect(float x_, float y_, float width_, float height_)
        : x(x_), y(y_), width(width_), height(height_) {}

    constexpr bool operator==(const Rect&) const = default;
};

}  // namespace GAME
