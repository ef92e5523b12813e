#include "support/OffscreenWindow.h"

#include "core/Log.h"
#include "platform/GLDriver.h"

#include <SDL2/SDL.h>

#include <cstdlib>

namespace GAME::test {

OffscreenWindow::OffscreenWindow(int width, int height, bool shown) {
    KeepGLDriverLoaded();
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        Log(LogPriority::Error, "OffscreenWindow: SDL video does not start: %s", SDL_GetError());
        return;
    }
    started_ = true;
    window_ = SDL_CreateWindow("tests", 0, 0, width, height, SDL_WINDOW_OPENGL | (shown ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN));
    if (window_ == nullptr) Log(LogPriority::Error, "OffscreenWindow: no window: %s", SDL_GetError());
}

OffscreenWindow::~OffscreenWindow() {
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    if (started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace GAME::test
