#include "support/OffscreenDevice.h"

#include "core/Color.h"
#include "core/Log.h"

#include <cstdlib>

namespace GAME::test {

namespace {

OffscreenDevice* gShared = nullptr;
bool gTried = false;

}  // namespace

OffscreenDevice* OffscreenDevice::Get() {
    if (gTried) {
        return gShared;
    }
    gTried = true;
    auto* shared = new OffscreenDevice();
    shared->window_ = std::make_unique<OffscreenWindow>(kWidth, kHeight);
    shared->device_ = shared->window_->Get() != nullptr ? RenderDevice::Create("GLDevice") : nullptr;
    if (shared->device_ != nullptr && shared->device_->Initialize()) {
        RenderDeviceSettings settings;
        settings.width = kWidth;
        settings.height = kHeight;
        shared->primary_ = shared->device_->CreatePrimarySurface(shared->window_->Get(), settings);
    }
    gShared = shared;
    std::atexit(&OffscreenDevice::Shutdown);
    if (shared->primary_ == nullptr) {
        Log(LogPriority::Error, "OffscreenDevice: no GL device on an offscreen window.");
        return nullptr;
    }
    return shared;
}

void OffscreenDevice::Shutdown() {
    OffscreenDevice* shared = gShared;
    gShared = nullptr;
    if (shared == nullptr) {
        return;
    }
    if (shared->device_ != nullptr) {
        shared->device_->DestroyRenderSurface(shared->primary_);
        RenderDevice::Destroy(shared->device_);
    }
    delete shared;
}

void OffscreenDevice::ResetState() {
    RenderDevice& d = *device_;
    d.SetTargetSurface(0, primary_);
    d.SetScissorRect(nullptr);
    d.SetVertexShader(nullptr);
    d.SetPixelShader(nullptr);
    for (uint32_t stage = 0; stage < 8; ++stage) {
        d.SetTexture(stage, nullptr);
        d.SetSamplerState(stage, RenderSamplerState::AddressU, 0);
        d.SetSamplerState(stage, RenderSamplerState::AddressV, 0);
        d.SetSamplerState(stage, RenderSamplerState::MagFilter, 1);
        d.SetSamplerState(stage, RenderSamplerState::MinFilter, 1);
        d.SetSamplerState(stage, RenderSamplerState::MipFilter, 2);
        d.ClearClipPlane(stage);
    }
    d.SetSourceBlendFactor(RenderBlendFactor::One);
    d.SetDestinationBlendFactor(RenderBlendFactor::Zero);
    d.SetDepthTestFunction(RenderTestFunction::LessEqual);
    d.SetDepthWriteMode(RenderWriteMode::On);
    d.SetColorWriteMode(RenderWriteMode::On);
    d.SetAlphaWriteMode(RenderWriteMode::On);
    d.SetAlphaTestFunction(RenderTestFunction::Always);
    d.SetAlphaReference(0.0f);
    d.SetRenderStateA(0);
    d.SetRenderStateB(0);
    d.SetRenderStateC(0);
    d.SetRenderStateD(Color(1.0f, 1.0f, 1.0f, 1.0f));
    d.EnableWireframe(false);
    d.SetDebugAlpha(true);
    d.SetDebugPixelShaders(false);
    d.SetDebugTextures(false);
    d.SetDebugCullPixels(false);
    d.SetDebugCullPrimitives(false);
    d.SetDrawCallLimit(RenderDevice::kNoDrawCallLimit);
    d.SetDebugName(nullptr, nullptr, nullptr);
    d.SetVertexDeclaration(nullptr);
    d.SetIndices(nullptr);
    d.BeginScene();
}

std::vector<uint32_t> OffscreenDevice::Read(const RenderSurface* surface, int width, int height) {
    std::vector<uint32_t> pixels(size_t(width) * height, 0xDEADBEEF);
    if (surface == nullptr || !surface->ReadPixels(pixels.data(), width, height, RenderTextureFormat::RGBA)) {
        pixels.clear();
    }
    return pixels;
}

}  // namespace GAME::test
