#pragma once
// OffscreenDevice: the GL render device on a hidden SDL window, for tests that look at pixels.
//
// One window, context and device serve a whole test program (contexts are slow to make on a
// software renderer); it is made at the first Get and destroyed at exit. Tests run with
// SDL_VIDEODRIVER=offscreen, so no display is needed. Each test should put back what it changes
// (targets, programs, states), or call ResetState.

#include "render/RenderDevice.h"
#include "support/OffscreenWindow.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace GAME::test {

class OffscreenDevice {
public:
    static constexpr int kWidth = 64;   // the window and primary surface
    static constexpr int kHeight = 64;

    // The shared device; null when none can be made (the caller should skip or fail).
    static OffscreenDevice* Get();

    RenderDevice* GetDevice() const { return device_; }
    RenderSurface* GetPrimary() const { return primary_; }

    // Draws into the primary surface again with the default state: no programs or textures, no
    // blending, depth test less-equal with writes, alpha test off, no culling, full viewport.
    void ResetState();

    // The surface's top-left width x height pixels, rows top first, as 0xAABBGGRR words (bytes
    // R, G, B, A in memory).
    static std::vector<uint32_t> Read(const RenderSurface* surface, int width, int height);

private:
    OffscreenDevice() = default;
    static void Shutdown();

    std::unique_ptr<OffscreenWindow> window_;
    RenderDevice* device_ = nullptr;
    RenderSurface* primary_ = nullptr;
};

// Packs bytes R, G, B, A as Read returns them.
constexpr uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) {
    return r | g << 8 | b << 16 | a << 24;
}

}  // namespace GAME::test
