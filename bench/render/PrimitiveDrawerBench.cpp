// Lines per second through the primitive drawer (one Begin / SetVertex / End per line, batched by
// the drawer), against the same lines written straight into the canvas's dynamic buffers and drawn
// in one call with the same shader. Short lines over the whole target of the benchmark engine, in
// 2-D mode, with the sample basic shader; each iteration ends by reading a pixel back, so the
// device's work counts too.

#include <benchmark/benchmark.h>

#include "BenchEngine.h"
#include "core/Color.h"
#include "core/Name.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "render/GraphicsShader2.h"
#include "render/RenderDevice.h"

#include <cstdint>

namespace {

using namespace GAME;

constexpr uint32_t kLines = 10000;
const Viewport kView(0, 0, bench::BenchEngine::kWidth, bench::BenchEngine::kHeight);
const Color kColor(0.2f, 0.9f, 0.4f, 1.0f);

// Line i: 4 pixels long, spread over the target.
Vec2 LineStart(uint32_t i) {
    return Vec2(float((i * 7) % uint32_t(kView.width - 8)), float((i * 13) % uint32_t(kView.height)) + 0.5f);
}

GraphicsCanvas& Canvas() { return *bench::BenchEngine::Get().GetGraphicsEngine()->GetCanvas(); }

void WaitForDevice(GraphicsCanvas& canvas) {
    uint32_t pixel = 0;
    canvas.GetPrimarySurface()->ReadPixels(&pixel, 1, 1, RenderTextureFormat::RGBA);
    benchmark::DoNotOptimize(pixel);
}

void BM_PrimitiveDrawerLines(benchmark::State& state) {
    GraphicsCanvas& canvas = Canvas();
    for (auto _ : state) {
        {
            GraphicsPrimitiveDrawer drawer(canvas);
            drawer.Enable2DMode(kView);
            drawer.SetColor(kColor);
            for (uint32_t i = 0; i < kLines; ++i) {
                const Vec2 start = LineStart(i);
                drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Lines);
                drawer.SetVertex(start);
                drawer.SetVertex(start + Vec2(4.0f, 0.0f));
                drawer.End();
            }
        }
        WaitForDevice(canvas);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kLines);
}
BENCHMARK(BM_PrimitiveDrawerLines)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DynamicBufferLines(benchmark::State& state) {
    GraphicsCanvas& canvas = Canvas();
    const GraphicsEngine& graphics = *bench::BenchEngine::Get().GetGraphicsEngine();
    const GraphicsShader2& shader = *graphics.GetBasicShader();
    const uint32_t style = shader.FindStyleByName(Name::Create("normal"));
    const Name matrix = Name::Create("objectToScreenMatrix");
    RenderDevice& device = canvas.GetRenderDevice();
    RenderDynamicVertexBuffer& vertexBuffer = *canvas.GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer& indexBuffer = *canvas.GetDynamicIndexBuffer();
    // The drawer's own 2-D camera, so both draw the same pixels.
    GraphicsPrimitiveDrawer camera(canvas);
    camera.Enable2DMode(kView);
    Mat4 cameraToScreen;
    camera.GetCamera().GetCameraToScreenMatrix(cameraToScreen, kView);
    const Mat4 worldToScreen = cameraToScreen * Mat4(camera.GetCamera().GetCoords().Inverse());
    const uint32_t color = kColor.ToPacked();
    for (auto _ : state) {
        auto* vertices = static_cast<PrimitiveVertex*>(vertexBuffer.Lock(2 * kLines * sizeof(PrimitiveVertex)));
        uint32_t* indices = indexBuffer.Lock(2 * kLines);
        for (uint32_t i = 0; i < kLines; ++i) {
            const Vec2 start = LineStart(i);
            vertices[2 * i] = PrimitiveVertex{Vec3(start.x, 0.0f, start.y), Vec3(0.0f, 1.0f, 0.0f), Vec2(), color};
            vertices[2 * i + 1] =
                PrimitiveVertex{Vec3(start.x + 4.0f, 0.0f, start.y), Vec3(0.0f, 1.0f, 0.0f), Vec2(), color};
            indices[2 * i] = 2 * i;
            indices[2 * i + 1] = 2 * i + 1;
        }
        vertexBuffer.Unlock();
        indexBuffer.Unlock();
        canvas.SetDefaultState();
        shader.Begin(style);
        shader.SetFloat4x4(matrix, 0, worldToScreen);
        device.SetTexture(0, nullptr);
        device.SetVertexDeclaration(graphics.GetBasicVertexDeclaration());
        vertexBuffer.SetStreamSource(0, sizeof(PrimitiveVertex));
        indexBuffer.SetIndices();
        shader.Render("bench");
        device.DrawIndexedPrimitive(RenderPrimitiveType::LineList, indexBuffer.GetDrawOffset(), 2 * kLines, kLines, 0, 0);
        shader.End();
        WaitForDevice(canvas);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kLines);
}
BENCHMARK(BM_DynamicBufferLines)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
