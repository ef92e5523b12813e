#pragma once
// RenderDebugger: an overlay widget for stepping through the draw calls of a frame. It shows the
// frame's statistics (the graphics engine's), limits drawing to the first n draw calls (keys and a slider), names the
// shader, style and object of the last call drawn with its info lines, and switches the device's
// debug modes. Every frame it first puts the device's debug switches back to normal (except the
// grey textures), so a hidden debugger leaves drawing as it is; visible, it then sets them from
// its own state for the next frame.
//
// Keys (while visible): held ']' steps to the next draw call, '[' back, Home to none, End to all,
// faster while left Shift is held; A alpha off, P flat pixel programs, T grey textures, C cull
// pixels, U cull primitives (which also culls pixels). The slider's thumb drags the limit. The
// limit and switches a frame's Render pushes apply to the next frame, which the debugger must
// see whole: it is the display's front widget, drawn last. The engine makes one at start-up
// (Engine::ShowRenderDebugger shows it). Main thread only.

#include "render/DisplayWidget.h"
#include "core/SystemTimer.h"
#include "render/RenderDevice.h"

#include <cstdint>

namespace GAME {

class RenderDebugger final : public DisplayWidget {
public:
    // Key codes of the input device: ']', '[', Home, End, left Shift, A, P, T, C, U.
    static constexpr unsigned kNextKey = 27;
    static constexpr unsigned kPreviousKey = 26;
    static constexpr unsigned kFirstKey = 120;
    static constexpr unsigned kAllKey = 125;
    static constexpr unsigned kFastKey = 42;
    static constexpr unsigned kAlphaKey = 30;
    static constexpr unsigned kPixelShadersKey = 25;
    static constexpr unsigned kTexturesKey = 20;
    static constexpr unsigned kCullPixelsKey = 46;
    static constexpr unsigned kCullPrimitivesKey = 22;
    // Milliseconds between repeats of a held stepping key, with and without kFastKey.
    static constexpr int kFastRepeatMs = 20;
    static constexpr int kRepeatMs = 80;
    static constexpr int kThumbWidth = 15;

    void SetVisible(bool visible) { visible_ = visible; }
    bool IsVisible() const { return visible_; }
    // The draw calls let through: RenderDevice::kNoDrawCallLimit for all.
    uint32_t GetDrawCallLimit() const { return limit_; }

    void Update() override;
    void Render(GraphicsCanvas& canvas) const override;
    bool HandleKeyEvent(const InputDevice::ButtonEvent& event) override;
    bool HandleMouseEvent(const InputDevice::MouseEvent& event) override;

private:
    // The draw-call limit's slider, placed along the bottom of the screen by Render.
    struct Slider {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        bool dragging = false;
        uint32_t value = 0;
        uint32_t maximum = 0;
    };

    void RenderSlider(GraphicsCanvas& canvas) const;
    // The thumb's left edge from the slider's.
    int ThumbOffset() const;

    bool visible_ = false;
    mutable uint32_t total_ = 0;  // draw calls of the last frame drawn
    mutable uint32_t limit_ = RenderDevice::kNoDrawCallLimit;
    SystemTimer repeatTimer_;
    mutable Slider slider_;
    bool alpha_ = false;
    bool pixelShaders_ = false;
    bool textures_ = false;
    bool cullPixels_ = false;
    bool cullPrimitives_ = false;
};

}  // namespace GAME
