#pragma once
// GLVertex2D: a vertex of the device's 2-D draws (rectangles, fans, text).

#include <cstdint>

namespace GAME {

struct GLVertex2D {
    float x = 0.0f;      // target pixels from the left (clip space once the device maps it)
    float y = 0.0f;      // target pixels from the top
    float z = 0.0f;      // depth 0..1
    uint32_t color = 0;  // packed 0xAARRGGBB
    float u = 0.0f;      // texture coordinates of stage 0
    float v = 0.0f;
};
static_assert(sizeof(GLVertex2D) == 24);

}  // namespace GAME
