#include "support/OffscreenWindow.h"

#include <cstdlib>

namespace GAME::test {

OffscreenWindow::OffscreenWindow(int width, int height) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("GLDEVICE_DEBUG", "1", 0);
    window_.Initialize("tests", width, height, nullptr, EWindow::Windowed);
}

}  // namespace GAME::test
