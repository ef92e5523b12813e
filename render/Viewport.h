#pragma once
// Viewport: the integer rectangle of the render target that a camera draws into, in pixels with
// (0, 0) at the top-left corner of the target. A plain value type.

#include "core/Rect.h"
#include "core/Vec2.h"

#include <cstdint>

namespace GAME {

struct Viewport {
    // Zero rather than unset: nothing may depend on an uninitialised rectangle.
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    constexpr Viewport() = default;
    constexpr Viewport(int32_t x_, int32_t y_, int32_t width_, int32_t height_)
        : x(x_), y(y_), width(width_), height(height_) {}

    constexpr bool operator==(const Viewport&) const = default;

    constexpr int32_t GetWidth() const { return width; }
    constexpr int32_t GetHeight() const { return height; }
    constexpr float GetAspectRatio() const { return float(width) / float(height); }
    constexpr Rect GetRect() const { return Rect(float(x), float(y), float(width), float(height)); }

    // A target pixel position as -1..1 across the viewport (left/top -1, right/bottom +1; y is not
    // flipped).
    constexpr Vec2 ConvertFromDeviceCoords(const Vec2& p) const {
        return Vec2(2.0f * (p.x - float(x)) / float(width) - 1.0f, 2.0f * (p.y - float(y)) / float(height) - 1.0f);
    }
};

}  // namespace GAME
