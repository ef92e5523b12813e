#pragma once
// OffscreenWindow: a window that can hold a GL context, for tests that run the GL device or read
// input. It is an engine window (EWindow), on SDL's offscreen driver unless SDL_VIDEODRIVER names
// another, so no display is needed. A GL device made on it reports GL errors as faults
// (GLDEVICE_DEBUG, unless the environment says otherwise): any GL error ends the test.

#include "render/EWindow.h"

namespace GAME::test {

class OffscreenWindow {
public:
    OffscreenWindow(int width, int height);

    // The SDL_Window*; null when no window could be made (the reason is logged).
    void* Get() const { return window_.GetSystemWindow(); }
    EWindow& GetWindow() { return window_; }

private:
    EWindow window_;
};

}  // namespace GAME::test
