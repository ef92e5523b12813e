#pragma once
// OffscreenWindow: a hidden SDL window that can hold a GL context, for tests that run the GL
// device. SDL's video starts with it (on the offscreen driver unless SDL_VIDEODRIVER names
// another, so no display is needed) and stops when the last user of it goes.

struct SDL_Window;

namespace GAME::test {

class OffscreenWindow {
public:
    // Hidden unless shown is asked for.
    OffscreenWindow(int width, int height, bool shown = false);
    ~OffscreenWindow();
    OffscreenWindow(const OffscreenWindow&) = delete;
    OffscreenWindow& operator=(const OffscreenWindow&) = delete;

    // Null when no window could be made (SDL's reason is logged).
    SDL_Window* Get() const { return window_; }

private:
    bool started_ = false;
    SDL_Window* window_ = nullptr;
};

}  // namespace GAME::test
