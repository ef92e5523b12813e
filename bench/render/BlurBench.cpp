// A full-frame blur at 1280 x 720 (the frame copied, then blurred down and across at half size with
// the sample filter shader), against a plain textured copy of a 1280 x 720 texture over the same
// frame. The frame is a render surface of that size made the canvas's target; each iteration
// begins a canvas frame (so temporary surfaces are reused) and ends by reading a pixel back, so
// the device's work counts too.

#include <benchmark/benchmark.h>

#include "BenchEngine.h"
#include "core/Color.h"
#include "core/Rect.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/RenderDevice.h"

#include <cstdint>

namespace {

using namespace GAME;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
const Rect kFrame(0.0f, 0.0f, float(kWidth), float(kHeight));

// The canvas drawing into a 1280 x 720 surface for the benchmark's lifetime.
class FrameSurface {
public:
    explicit FrameSurface(GraphicsCanvas& canvas)
        : canvas_(canvas),
          device_(canvas.GetRenderDevice()),
          surface_(device_.CreateRenderSurface(kWidth, kHeight, RenderTextureFormat::RGBA, RenderTextureFormat::None)) {
        if (surface_ == nullptr) bench::BenchEngine::Fail("no 1280 x 720 surface");
        canvas_.SetDefaultState();
        canvas_.ClearRenderSurface(surface_, Color(0.2f, 0.4f, 0.6f, 1.0f), RenderDevice::kClearColor);
        canvas_.SetViewport(Viewport(0, 0, kWidth, kHeight));
    }
    ~FrameSurface() {
        canvas_.SetTargetSurface(nullptr);
        device_.DestroyRenderSurface(surface_);
    }
    FrameSurface(const FrameSurface&) = delete;
    FrameSurface& operator=(const FrameSurface&) = delete;

    RenderSurface* Get() const { return surface_; }
    void WaitForDevice() const {
        uint32_t pixel = 0;
        surface_->ReadPixels(&pixel, 1, 1, RenderTextureFormat::RGBA);
        benchmark::DoNotOptimize(pixel);
    }

private:
    GraphicsCanvas& canvas_;
    RenderDevice& device_;
    RenderSurface* surface_;
};

GraphicsCanvas& Canvas() { return *bench::BenchEngine::Get().GetGraphicsEngine()->GetCanvas(); }

void BM_BlurFrameBuffer(benchmark::State& state) {
    GraphicsCanvas& canvas = Canvas();
    const FrameSurface frame(canvas);
    for (auto _ : state) {
        canvas.BeginFrame();
        canvas.SetTargetSurface(frame.Get());
        if (canvas.BlurFrameBuffer(kWidth, kHeight, kFrame) == nullptr) bench::BenchEngine::Fail("the blur failed");
        frame.WaitForDevice();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_BlurFrameBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TexturedCopy(benchmark::State& state) {
    GraphicsCanvas& canvas = Canvas();
    RenderDevice& device = canvas.GetRenderDevice();
    RenderSurface* source = device.CreateRenderSurface(kWidth, kHeight, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    if (source == nullptr) bench::BenchEngine::Fail("no 1280 x 720 source");
    {
        const FrameSurface frame(canvas);
        for (auto _ : state) {
            canvas.BeginFrame();
            canvas.SetTargetSurface(frame.Get());
            canvas.RenderRect(kFrame, kFrame, source->GetTexture(), RenderBlendFactor::One, RenderBlendFactor::Zero,
                              Color(1.0f, 1.0f, 1.0f, 1.0f), false);
            frame.WaitForDevice();
        }
    }
    device.DestroyRenderSurface(source);
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_TexturedCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
