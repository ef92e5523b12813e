#pragma once
// Color: red, green, blue and alpha as floats, handed by value through the canvas and the scene.
// Channels are nominally 0..1 but may leave that range (lighting sums, bloom).

#include <cmath>
#include <cstdint>

namespace GAME {

struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    constexpr Color() = default;
    constexpr Color(float r_, float g_, float b_, float a_) : r(r_), g(g_), b(b_), a(a_) {}

    constexpr bool operator==(const Color&) const = default;

    // Perceived brightness: 0.3 r + 0.59 g + 0.11 b (alpha ignored).
    constexpr float GetLuminance() const { return 0.3f * r + 0.59f * g + 0.11f * b; }

    // The packed form handed to render devices: 0xAARRGGBB, each channel rint(channel x 255),
    // clamped to 0..255 so that a channel out of range cannot spill into its neighbour.
    uint32_t ToPacked() const {
        return PackChannel(a) << 24 | PackChannel(r) << 16 | PackChannel(g) << 8 | PackChannel(b);
    }

    // Clamps all four channels into [min, max].
    constexpr void Clamp(float min, float max) {
        r = ClampChannel(r, min, max);
        g = ClampChannel(g, min, max);
        b = ClampChannel(b, min, max);
        a = ClampChannel(a, min, max);
    }

    // from + (to - from) * t per channel; t is not clamped.
    static constexpr Color Lerp(const Color& from, const Color& to, float t) {
        return Color(from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t,
                     from.b + (to.b - from.b) * t, from.a + (to.a - from.a) * t);
    }

private:
    static uint32_t PackChannel(float value) {
        return static_cast<uint32_t>(std::lrint(ClampChannel(value, 0.0f, 1.0f) * 255.0f));
    }
    static constexpr float ClampChannel(float value, float min, float max) {
        return value < min ? min : (value > max ? max : value);
    }
};

}  // namespace GAME
