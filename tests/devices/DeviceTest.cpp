#include "DeviceTest.h"

#include <cstdlib>

namespace GAME::test {

void DeviceTest::SetUp() {
    offscreen_ = OffscreenDevice::Get();
    if (offscreen_ == nullptr) GTEST_SKIP() << "no GL device on an offscreen window";
    device_ = offscreen_->GetDevice();
    primary_ = offscreen_->GetPrimary();
    offscreen_->ResetState();
}

void DeviceTest::TearDown() {
    if (offscreen_ != nullptr) offscreen_->ResetState();
}

void DeviceTest::ClearTo(const Color& color) {
    device_->SetClearColor(color);
    device_->Clear(RenderDevice::kClearColor | RenderDevice::kClearDepth, 1.0f);
}

uint32_t DeviceTest::PrimaryPixel(int x, int y) const {
    const std::vector<uint32_t> pixels = OffscreenDevice::Read(primary_, x + 1, y + 1);
    return pixels.empty() ? 0xDEADBEEF : pixels[size_t(y) * (x + 1) + x];
}

RenderVertexShader* DeviceTest::MakeVertexShader(const std::string& text) {
    RenderVertexShader* shader = device_->CreateVertexShader(text.data(), uint32_t(text.size()));
    EXPECT_NE(shader, nullptr);
    return shader;
}

RenderPixelShader* DeviceTest::MakePixelShader(const std::string& text) {
    RenderPixelShader* shader = device_->CreatePixelShader(text.data(), uint32_t(text.size()));
    EXPECT_NE(shader, nullptr);
    return shader;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    }
    return true;
}

}  // namespace GAME::test
