#pragma once
// DeviceTest: the fixture of the pixel tests: the shared offscreen GL device in its default state,
// and helpers that draw and read back small images.

#include "core/Color.h"
#include "core/Rect.h"
#include "render/RenderDevice.h"
#include "support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace GAME::test {

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Clears the whole current target to the colour and depth 1.
    void ClearTo(const Color& color);
    // A pixel of the primary surface (bytes R, G, B, A as an 0xAABBGGRR word).
    uint32_t PrimaryPixel(int x, int y) const;
    // Compiles GLSL program text; fails the test when the device refuses it.
    RenderVertexShader* MakeVertexShader(const std::string& text);
    RenderPixelShader* MakePixelShader(const std::string& text);

    OffscreenDevice* offscreen_ = nullptr;
    RenderDevice* device_ = nullptr;
    RenderSurface* primary_ = nullptr;
};

// True when every channel differs by at most tolerance.
bool Near(uint32_t a, uint32_t b, int tolerance);

}  // namespace GAME::test
