#pragma once
// The pixels a window shows without a GL context (EWindow::ShowPixels), for tests.

#include <cstdint>
#include <vector>

namespace GAME::test {

// The client area's pixels, rows top first, packed as Rgba (OffscreenDevice.h) with alpha 255;
// empty when the window shows none.
std::vector<uint32_t> ReadWindowPixels(void* window, int& width, int& height);

}  // namespace GAME::test
