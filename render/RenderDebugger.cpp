#include "render/RenderDebugger.h"

#include "core/Color.h"
#include "core/Rect.h"
#include "engine/Engine.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace GAME {

namespace {

constexpr Color kPanel(0.0f, 0.0f, 0.0f, 0.5f);
constexpr Color kText(1.0f, 1.0f, 1.0f, 1.0f);
constexpr Color kTrack(1.0f, 1.0f, 1.0f, 0.5f);
constexpr Color kThumb(1.0f, 1.0f, 1.0f, 0.75f);
constexpr int kLineHeight = 20;

void Text(GraphicsCanvas& canvas, int x, int y, const char* text) {
    canvas.RenderColoredText(x, y, text, Engine::kUtilityFontStyle, kText);
}

}  // namespace

void RenderDebugger::Update() {
    // Hidden, the stepping keys are someone else's.
    const InputDevice* const input = gEngine != nullptr ? gEngine->GetInputDevice() : nullptr;
    if (input == nullptr || !visible_) return;
    repeatTimer_.Update(false);
    const int interval = input->IsKeyDown(kFastKey) ? kFastRepeatMs : kRepeatMs;
    if (repeatTimer_.GetTotalElapsedTime() <= interval) return;
    repeatTimer_.Reset();
    if (input->IsKeyDown(kPreviousKey)) {
        if (limit_ != 0) --limit_;
    } else if (input->IsKeyDown(kNextKey)) {
        ++limit_;
    } else if (input->IsKeyDown(kFirstKey)) {
        limit_ = 0;
    } else if (input->IsKeyDown(kAllKey)) {
        limit_ = RenderDevice::kNoDrawCallLimit;
    }
}

void RenderDebugger::Render(GraphicsCanvas& canvas) const {
    // Hidden, the debugger still puts drawing back to normal, except the grey textures.
    RenderDevice& device = canvas.GetRenderDevice();
    device.SetDrawCallLimit(RenderDevice::kNoDrawCallLimit);
    device.SetDebugAlpha(true);
    device.SetDebugPixelShaders(false);
    device.SetDebugCullPixels(false);
    device.SetDebugCullPrimitives(false);
    if (!visible_) return;

    total_ = device.GetNumDrawCalls();
    limit_ = std::min(limit_, total_);
    const uint32_t faces = device.GetNumFacesRendered();
    GraphicsStats stats;
    if (const GraphicsEngine* graphics = GetEngineGraphics()) graphics->GetStats(stats);

    const float width = float(canvas.GetWidth());
    canvas.RenderRect(Rect(5.0f, 5.0f, width - 10.0f, 65.0f), kPanel);
    char line[256];
    Text(canvas, 10, 10,
         "Render Debugger - Press key to toggle: (A)lpha, (P)ixel Shaders, (T)extures, (C)ull Pixels, C(u)ll "
         "Primitives");
    std::snprintf(line, sizeof(line), "%0.2f FPS, %d faces, %.2fM faces per second", double(stats.framesPerSecond),
                  int(faces), double(stats.facesPerSecond) * 1e-6);
    Text(canvas, 10, 30, line);
    std::snprintf(line, sizeof(line), "%0.2f MB video memory free",
                  double(unsigned(device.GetAvailableVideoMemory())) / 1048576.0);
    Text(canvas, 10, 50, line);

    const char* const shader = device.GetLastShaderName();
    const char* const style = device.GetLastStyleName();
    const char* const object = device.GetLastObjectName();
    const uint32_t infoLines = device.GetNumInfoLines();
    const bool hasShader = shader != nullptr && shader[0] != '\0';
    const bool hasObject = object != nullptr && object[0] != '\0';
    const int panelHeight = (hasShader ? 45 : 25) + (hasObject ? kLineHeight : 0) + kLineHeight * int(infoLines);
    canvas.RenderRect(Rect(5.0f, 75.0f, width - 10.0f, float(panelHeight)), kPanel);
    std::snprintf(line, sizeof(line), "Rendering %d out of %d draw calls", int(limit_), int(total_));
    Text(canvas, 10, 80, line);
    int y = 100;
    if (hasShader) {
        if (style != nullptr && style[0] != '\0') {
            std::snprintf(line, sizeof(line), "Shader: %s,  Style: %s", shader, style);
        } else {
            std::snprintf(line, sizeof(line), "Shader: %s", shader);
        }
        Text(canvas, 10, y, line);
        y += kLineHeight;
    }
    if (hasObject) {
        std::snprintf(line, sizeof(line), "Object: %s", object);
        Text(canvas, 10, y, line);
        y += kLineHeight;
    }
    for (uint32_t i = 0; i < infoLines; ++i) {
        const char* const info = device.GetInfoLine(i);
        if (info == nullptr) continue;
        Text(canvas, 20, y, info);
        y += kLineHeight;
    }

    slider_.x = 5;
    slider_.y = canvas.GetHeight() - 30;
    slider_.width = canvas.GetWidth() - 10;
    slider_.height = 25;
    slider_.value = limit_;
    slider_.maximum = total_;
    RenderSlider(canvas);

    device.SetDrawCallLimit(limit_);
    device.SetDebugAlpha(alpha_);
    device.SetDebugPixelShaders(pixelShaders_);
    device.SetDebugTextures(textures_);
    device.SetDebugCullPixels(cullPixels_ || cullPrimitives_);
    device.SetDebugCullPrimitives(cullPrimitives_);
}

int RenderDebugger::ThumbOffset() const {
    if (slider_.maximum == 0) return 0;
    return int(int64_t(slider_.width - kThumbWidth) * int64_t(slider_.value) / int64_t(slider_.maximum));
}

void RenderDebugger::RenderSlider(GraphicsCanvas& canvas) const {
    const Slider& s = slider_;
    canvas.RenderRect(Rect(float(s.x), float(s.y), float(s.width), float(s.height)), kPanel);
    canvas.RenderRect(Rect(float(s.x), float(s.y + (s.height - 2) / 2), float(s.width), 2.0f), kTrack);
    canvas.RenderRect(Rect(float(s.x + ThumbOffset()), float(s.y), float(kThumbWidth), float(s.height)), kThumb);
}

bool RenderDebugger::HandleKeyEvent(const InputDevice::ButtonEvent& event) {
    if (!visible_ || event.state != InputDevice::ButtonEvent::Pressed) return false;
    bool* toggle = nullptr;
    switch (event.keyCode) {
        case kAlphaKey: toggle = &alpha_; break;
        case kPixelShadersKey: toggle = &pixelShaders_; break;
        case kTexturesKey: toggle = &textures_; break;
        case kCullPixelsKey: toggle = &cullPixels_; break;
        case kCullPrimitivesKey: toggle = &cullPrimitives_; break;
        default: return false;
    }
    *toggle = !*toggle;
    return true;
}

bool RenderDebugger::HandleMouseEvent(const InputDevice::MouseEvent& event) {
    if (!visible_) return false;
    Slider& s = slider_;
    bool handled = false;
    if (event.type == InputDevice::MouseEvent::LeftDown) {
        const float left = float(s.x + ThumbOffset());
        if (event.x >= left && event.x <= left + float(kThumbWidth) && event.y >= float(s.y) &&
            event.y <= float(s.y + s.height)) {
            s.dragging = true;
        }
        handled = true;
    } else if (event.type == InputDevice::MouseEvent::LeftUp) {
        s.dragging = false;
        handled = true;
    } else if (event.type == InputDevice::MouseEvent::State && s.dragging) {
        // Signed before the clamp: left of the slider is 0, not a wrapped maximum.
        if (s.width >= 16) {
            const double value = std::trunc(double(event.x - float(s.x)) * double(s.maximum) /
                                            double(s.width - kThumbWidth));
            s.value = uint32_t(std::clamp(value, 0.0, double(s.maximum)));
        }
        handled = true;
    }
    if (handled) limit_ = s.value;
    return handled;
}

}  // namespace GAME
