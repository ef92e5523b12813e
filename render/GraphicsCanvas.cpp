#include "render/GraphicsCanvas.h"

#include "core/Color.h"
#include "render/RenderDevice.h"

namespace GAME {

namespace {

constexpr uint32_t kTextureStages = 8;
constexpr uint32_t kSamplers = 16;

}  // namespace

GraphicsCanvas::GraphicsCanvas(RenderDevice& device, RenderSurface* primarySurface)
    : device_(device), primarySurface_(primarySurface) {}

bool GraphicsCanvas::BeginFrame() { return device_.BeginScene(); }

void GraphicsCanvas::EndFrame() { device_.EndScene(); }

void GraphicsCanvas::PresentSurface(RenderSurface* surface) { device_.Present(surface); }

void GraphicsCanvas::SetDefaultState() {
    device_.SetVertexShader(nullptr);
    device_.SetPixelShader(nullptr);
    device_.SetColorWriteMode(RenderWriteMode::On);
    device_.SetAlphaWriteMode(RenderWriteMode::On);
    device_.SetDepthWriteMode(RenderWriteMode::On);
    device_.SetDepthTestFunction(RenderTestFunction::LessEqual);
    device_.SetAlphaTestFunction(RenderTestFunction::Always);
    device_.SetAlphaReference(0.0f);
    device_.SetSourceBlendFactor(RenderBlendFactor::One);
    device_.SetDestinationBlendFactor(RenderBlendFactor::Zero);
    device_.SetRenderStateB(0);
    device_.SetRenderStateC(0);
    device_.SetClearColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    for (uint32_t stage = 0; stage < kTextureStages; ++stage) device_.SetTexture(stage, nullptr);
    for (uint32_t sampler = 0; sampler < kSamplers; ++sampler) {
        device_.SetSamplerState(sampler, RenderSamplerState::AddressU, 0);
        device_.SetSamplerState(sampler, RenderSamplerState::AddressV, 0);
    }
    device_.SetRenderStateA(0);
}

bool GraphicsCanvas::PreDeviceReset() {
    primarySurface_ = nullptr;
    return true;
}

}  // namespace GAME
