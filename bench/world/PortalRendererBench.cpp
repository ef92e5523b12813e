// One frame of 16 regions side by side (4 x 4, 64 units each) of 200 lit boxes each, on the GL
// device (offscreen window): through the portal renderer with the camera in one region looking
// along it (regions and entities outside the view are culled), against one normal renderer given
// all 3,200 boxes without culling. Both draw the boxes in white ambient light, no sun.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SampleMeshShaders.h"
#include "SampleScene.h"
#include "core/Random.h"
#include "core/Singleton.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "render/BenchEngine.h"
#include "render/Camera.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsNormalRenderer.h"
#include "support/WhiteAmbiance.h"
#include "world/GraphicsPortalRenderer.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {

// A lit box standing in a level.
class BenchBoxEntity : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    void UpdateBoundingBox() override {
        SetRegionBoundingBox(ABBox(GetCoords().GetOrigin().GetRegionPosition(), Vec3(0.5f, 0.5f, 0.5f)), false);
    }
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum*) override {
        box.SetObjectToRegionCoords(GetCoords().GetRegionCoords());
        renderer.AddRenderable(&box, GetCoords().GetRegion());
    }

    GraphicsMeshInstance box;
};
GAME_RTTI_DEFINE_CLASS(BenchBoxEntity, Entity);

namespace {

constexpr int kRegionsAcross = 4;
constexpr int kBoxesPerRegion = 200;
constexpr float kRegionSize = 64.0f;

struct Scene {
    World* world = nullptr;
    Region* cameraRegion = nullptr;
    std::vector<BenchBoxEntity*> boxes;
    Camera camera;
    Viewport viewport{0, 0, bench::BenchEngine::kWidth, bench::BenchEngine::kHeight};
    test::WhiteAmbiance ambiance;

    static Scene& Get() {
        static Scene* const scene = new Scene();
        return *scene;
    }

private:
    Scene() {
        Engine& engine = bench::BenchEngine::Get();
        std::string directory = (std::filesystem::temp_directory_path() / "portal-bench-XXXXXX").string();
        FileSystem& files = *engine.GetFileSystem();
        if (::mkdtemp(directory.data()) == nullptr || !files.AddDirectory(directory, true)) std::abort();
        if (!sample::WriteMeshShaders(files) || !sample::WriteScene(files)) std::abort();
        GraphicsEngine& graphics = *engine.GetGraphicsEngine();
        GraphicsNormalRenderer::CreateRenderTargets(graphics, 256, 128);
        GraphicsSceneRenderer::CreateResources(graphics);

        world = engine.GetWorld();
        SeedRand15(7);
        for (int i = 0; i < kRegionsAcross * kRegionsAcross; ++i) {
            const IntVec3 offset(int(kRegionSize) * (i % kRegionsAcross), 0, int(kRegionSize) * (i / kRegionsAcross));
            Region* region = world->GetRegion(world->AddRegion("Region" + std::to_string(i), offset, ABBox(), RegionId()));
            auto level = std::make_unique<Level>(region);
            level->NewSpace(Vec2(kRegionSize * 0.5f, kRegionSize * 0.5f));
            level->PostLoad(false);
            region->SetLevel(std::move(level));
            for (int b = 0; b < kBoxesPerRegion; ++b) {
                auto* entity = static_cast<BenchBoxEntity*>(Singleton<ObjectManager>::Get()->CreateObject("BenchBoxEntity"));
                entity->box.SetMesh(sample::kLitBoxMesh);
                entity->box.GetMesh()->EnsureAvailable();
                const float half = kRegionSize * 0.5f - 1.0f;
                const Vec3 at((Rand15Float() * 2.0f - 1.0f) * half, 1.0f, (Rand15Float() * 2.0f - 1.0f) * half);
                if (!world->AddEntity(entity, WorldCoords(region, Coords::Translation(at)), false)) std::abort();
                boxes.push_back(entity);
            }
            if (i == 5) cameraRegion = region;
        }
        for (int i = 0; i < world->GetNumRegions(); ++i) world->UpdateRegionBoundingBox(world->GetRegionLevel(i));
        world->BuildConnectivity();
        // From the near edge of region 5 (inside the grid) along it, 40 units deep.
        camera.SetCoords(Coords::LookAt(Vec3(0.0f, 3.0f, -30.0f), Vec3(0.0f, 1.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f)));
        camera.SetFarPlane(40.0f);
    }
};

void BM_PortalRendererCulledFrame(benchmark::State& state) {
    Scene& scene = Scene::Get();
    GraphicsCanvas& canvas = *bench::BenchEngine::Get().GetGraphicsEngine()->GetCanvas();
    for (auto _ : state) {
        GraphicsPortalRenderer renderer(canvas, scene.cameraRegion, scene.camera, scene.viewport, false);
        renderer.SetAmbiance(&scene.ambiance);
        renderer.Render();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_PortalRendererCulledFrame)->Unit(benchmark::kMicrosecond);

// The baseline: every box of every region drawn, each region placed by its offset.
void BM_AllInstancesWithoutCulling(benchmark::State& state) {
    Scene& scene = Scene::Get();
    GraphicsCanvas& canvas = *bench::BenchEngine::Get().GetGraphicsEngine()->GetCanvas();
    for (auto _ : state) {
        GraphicsNormalRenderer renderer;
        renderer.SetViewer(scene.cameraRegion, scene.camera, scene.viewport, scene.camera.GetFrustum(scene.viewport));
        renderer.SetSkyAmbientColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
        renderer.SetGroundAmbientColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
        for (int i = 0; i < scene.world->GetNumRegions(); ++i) {
            Region* region = scene.world->GetRegion(i);
            renderer.SetRegionToSceneCoords(region, region->GetRelativeTransformation(scene.cameraRegion));
        }
        for (BenchBoxEntity* box : scene.boxes) box->AddToScene(renderer, nullptr);
        renderer.Render(canvas, false, false);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_AllInstancesWithoutCulling)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace GAME
