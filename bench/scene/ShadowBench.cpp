// One frame of the normal renderer on the GL device (offscreen window): 100 lit boxes standing on
// a slab under a sun that casts shadows, with the shadow map (fitted by the perspective warp,
// drawn and sampled), against the same frame with shadows switched off. Items are frames.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "SampleMeshShaders.h"
#include "SampleScene.h"
#include "core/WorldCoords.h"
#include "files/FileSystem.h"
#include "render/BenchEngine.h"
#include "render/Camera.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsNormalRenderer.h"

namespace {

using namespace GAME;

constexpr int kBoxesAcross = 10;

struct ShadowScene {
    std::vector<std::unique_ptr<GraphicsMeshInstance>> boxes;
    GraphicsMeshInstance ground;
    GraphicsLight sun;
    Camera camera;
    Viewport viewport{0, 0, bench::BenchEngine::kWidth, bench::BenchEngine::kHeight};
    int regionKey = 0;

    static ShadowScene& Get() {
        // The mesh instances take the graphics engine when they are made.
        bench::BenchEngine::Get();
        static ShadowScene* const scene = new ShadowScene();
        return *scene;
    }

    Region* GetRegion() { return reinterpret_cast<Region*>(&regionKey); }

private:
    ShadowScene() {
        Engine& engine = bench::BenchEngine::Get();
        FileSystem& files = *engine.GetFileSystem();
        if (!files.AddDirectory(bench::BenchEngine::MakeTempDirectory("shadow-bench"), true)) std::abort();
        if (!sample::WriteMeshShaders(files) || !sample::WriteScene(files)) std::abort();
        GraphicsEngine& graphics = *engine.GetGraphicsEngine();
        GraphicsNormalRenderer::CreateRenderTargets(graphics, 1024, 512);

        const auto place = [](GraphicsMeshInstance& instance, const Vec3& at, const Vec3& scale) {
            instance.SetMesh(sample::kLitBoxMesh);
            if (instance.GetMesh() == nullptr) bench::BenchEngine::Fail("the sample box did not load");
            instance.GetMesh()->EnsureAvailable();
            instance.SetScale(scale);
            instance.SetObjectToRegionCoords(Coords::Translation(at));
        };
        for (int i = 0; i < kBoxesAcross * kBoxesAcross; ++i) {
            auto box = std::make_unique<GraphicsMeshInstance>();
            const Vec3 at(3.0f * float(i % kBoxesAcross - kBoxesAcross / 2), 1.0f,
                          3.0f * float(i / kBoxesAcross - kBoxesAcross / 2));
            place(*box, at, Vec3(1.0f, 2.0f, 1.0f));
            boxes.push_back(std::move(box));
        }
        place(ground, Vec3(0.0f, -0.1f, 0.0f), Vec3(40.0f, 0.2f, 40.0f));
        ground.SetCastsShadows(false);
        sun.SetType(GraphicsLight::Type::Directional);
        sun.SetColor(Color(0.8f, 0.8f, 0.8f, 1.0f));
        sun.SetCastsShadows(true);
        sun.SetObjectToWorldCoords(
            WorldCoords(nullptr, Coords::LookIn(Vec3(), Vec3(0.5f, -1.0f, 0.3f), Vec3(0.0f, 1.0f, 0.0f))));
        camera.SetCoords(Coords::LookAt(Vec3(-4.0f, 10.0f, -22.0f), Vec3(0.0f, 0.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f)));
        camera.SetFarPlane(60.0f);
    }
};

void DrawFrame(benchmark::State& state, bool shadows) {
    ShadowScene& scene = ShadowScene::Get();
    GraphicsCanvas& canvas = *bench::BenchEngine::Get().GetGraphicsEngine()->GetCanvas();
    for (auto _ : state) {
        GraphicsNormalRenderer renderer;
        renderer.SetViewer(nullptr, scene.camera, scene.viewport, scene.camera.GetFrustum(scene.viewport));
        renderer.SetSkyAmbientColor(Color(0.3f, 0.3f, 0.3f, 1.0f));
        renderer.SetGroundAmbientColor(Color(0.2f, 0.2f, 0.2f, 1.0f));
        renderer.EnableShadows(shadows);
        renderer.AddLight(scene.sun);
        for (const auto& box : scene.boxes) renderer.AddRenderable(box.get(), scene.GetRegion());
        renderer.AddRenderable(&scene.ground, scene.GetRegion());
        renderer.Render(canvas, false, false);
        // Reading a pixel waits for the drawing, so that it counts and not only its submission.
        uint32_t pixel = 0;
        canvas.GetPrimarySurface()->ReadPixels(&pixel, 1, 1, RenderTextureFormat::RGBA);
        benchmark::DoNotOptimize(pixel);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

void BM_NormalRendererFrameWithShadows(benchmark::State& state) { DrawFrame(state, true); }
BENCHMARK(BM_NormalRendererFrameWithShadows)->Unit(benchmark::kMicrosecond);

// The baseline: the same frame without the shadow map.
void BM_NormalRendererFrameWithoutShadows(benchmark::State& state) { DrawFrame(state, false); }
BENCHMARK(BM_NormalRendererFrameWithoutShadows)->Unit(benchmark::kMicrosecond);

}  // namespace
