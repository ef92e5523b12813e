#include "world/GraphicsWarmUp.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <utility>

#include "engine/Actor.h"
#include "engine/Engine.h"
#include "render/Camera.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "scene/SceneAmbiance.h"
#include "world/GraphicsPortalRenderer.h"
#include "world/GraphicsTransparencyManager.h"
#include "world/GridRegion.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/SectorData.h"
#include "world/SectorDataManager.h"
#include "world/SectorLayers.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

namespace GAME {

namespace {

constexpr float kFieldOfView = 1.5f;  // radians
constexpr float kNearPlane = 0.5f;
constexpr float kMinReach = 8.0f;
constexpr float kSeeThroughOpacity = 0.5f;

// Whether a frame of the loaded regions can show fog: the engine draws fog and a loaded level's
// fog layer names a style with a density (the ambiance fogs only where such a style is painted).
bool LoadedRegionsCanFog() {
    if (gEngine == nullptr) return false;
    const GraphicsEngine* graphics = gEngine->GetGraphicsEngine();
    const SectorDataManager* sectors = gEngine->GetSectorDataManager();
    if (graphics == nullptr || !graphics->GetIsFogEnabled() || sectors == nullptr || gEngine->GetWorld() == nullptr)
        return false;
    for (const Region* region : gEngine->GetWorld()->GetLoadedRegions()) {
        const Level* level = region->GetLevel();
        if (level == nullptr) continue;
        for (const SectorLayers::Entry& entry : level->GetSectorLayers().GetTable(SectorDataManager::kFog)) {
            const auto* fog = static_cast<const FogSectorData*>(sectors->GetSectorData(SectorDataManager::kFog, entry.id));
            if (fog != nullptr && (fog->values[0] > 0.0f || fog->values[1] > 0.0f)) return true;
        }
    }
    return false;
}

// The engine's ambiance with everything a frame of the loaded regions may switch on switched on:
// fog in both environments (when they can fog at all), bloom, the night lights at full strength.
class WarmUpAmbiance final : public SceneAmbiance {
public:
    WarmUpAmbiance(const SceneAmbiance& base, bool fog) : base_(base), fog_(fog) {}
    Color GetLightColor(Environment e) const override { return base_.GetLightColor(e); }
    Color GetSkyAmbientColor(Environment e) const override { return base_.GetSkyAmbientColor(e); }
    Color GetGroundAmbientColor(Environment e) const override { return base_.GetGroundAmbientColor(e); }
    const Vec3& GetLightDirection(Environment e) const override { return base_.GetLightDirection(e); }
    bool GetIsFogEnabled(Environment) const override { return fog_; }
    const Color& GetFogColor(Environment e) const override { return base_.GetFogColor(e); }
    const Vec3& GetDepthFog(Environment) const override { return kFog; }
    const Vec3& GetHeightFog(Environment) const override { return kFog; }
    Vec3 GetBloomParameters(Environment) const override { return Vec3(0.5f, 1.0f, 1.0f); }
    float GetNightLightScale(Environment) const override { return 1.0f; }
    float GetInterpolatedNightLightScale() const override { return 1.0f; }
    float GetShadowIntensity() const override { return 1.0f; }
    bool GetIsDay() const override { return base_.GetIsDay(); }

private:
    static constexpr Vec3 kFog{0.0f, 1.0f, 1.0f};
    const SceneAmbiance& base_;
    const bool fog_;
};

}  // namespace

static_assert(!std::has_single_bit(unsigned(GraphicsWarmUp::kSize)), "the target's side is not a power of two");

void GraphicsWarmUp::DrawRegion(GraphicsCanvas& canvas, Region& region) {
    const Level* level = region.GetLevel();
    if (level == nullptr || !level->IsLoaded()) return;
    // Each draw takes the temporary surfaces a frame takes (the glow's and the reflections'
    // targets): those the draw before took serve it, as they serve one frame after another,
    // rather than new ones made and zeroed for every draw of every region. The target taken
    // again is the same surface, the pool's first of its shape.
    const auto takeTarget = [&canvas] {
        canvas.ReleaseTemporarySurfaces();
        return canvas.CreateTemporaryTextureSurface(kSize, kSize, RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    };
    if (takeTarget() == nullptr) return;

    const ABBox box = level->GetBoundingBox();
    const float reach = std::max(box.halfSize.Length(), kMinReach);
    Camera camera;
    camera.SetFOV(kFieldOfView);
    camera.SetNearPlane(kNearPlane);
    camera.SetFarPlane(reach * 4.0f);
    camera.SetCoords(Coords::LookAt(box.centre + Vec3(-reach, reach, -reach), box.centre, Vec3(0.0f, 1.0f, 0.0f)));
    const Viewport viewport(0, 0, kSize, kSize);
    const Frustum frustum = camera.GetFrustum(viewport);

    const SceneAmbiance* engineAmbiance = gEngine != nullptr ? gEngine->GetSceneAmbiance() : nullptr;
    std::optional<WarmUpAmbiance> ambiance;
    if (engineAmbiance != nullptr) ambiance.emplace(*engineAmbiance, LoadedRegionsCanFog());
    RenderSurface* const savedTarget = canvas.GetTargetSurface();
    const Viewport savedViewport = canvas.GetViewport();
    canvas.SetWarmingUp(true);
    // A see-through draw with the doorways fading: those behind the target (in the middle of the
    // region) fade in what lies beyond them and clip the region at their planes, as frames near
    // a doorway draw it; without, the target lies beyond their reach, as deep inside a room, and
    // the region is drawn whole.
    const auto draw = [&](const GraphicsTransparencyManager* manager, bool doorwaysFade) {
        canvas.SetTargetSurface(takeTarget());
        canvas.SetViewport(viewport);
        canvas.Clear(RenderDevice::kClearColor | RenderDevice::kClearDepth, 1.0f);
        GraphicsPortalRenderer renderer(canvas, &region, camera, viewport, region.IsUnderground());
        renderer.SetTransparencyManager(manager);
        if (!doorwaysFade) renderer.SetFadeParameters(0.0f, 0.0f);
        if (ambiance) renderer.SetAmbiance(&*ambiance);
        renderer.Render();
    };
    draw(nullptr, true);
    // With everything in view see-through: the draw marks the sections that stand in the way.
    GraphicsTransparencyManager seeThrough;
    seeThrough.SetTargetPosition(WorldVec3(&region, box.centre));
    seeThrough.SetTransparencyFrustum(WorldFrustum(&region, frustum));
    // Each see-through draw is made with the doorways fading and without. Marked sections begin
    // to fade only at the next update, so the mesh instances in view (grid cells and actors) draw
    // again, each time half of them with every section at half opacity, as a fading wall draws
    // (its material's transparent shader over the transparency mask) while the walls beside it
    // draw into that mask; they are then put back as they were, marks included.
    mem::vector<GraphicsMeshInstance*> instances;
    if (const GridRegion* grid = level->GetGridRegion()) {
        mem::vector<GridCellMeshInstance*> cells;
        grid->GetMeshesInFrustum(cells, &frustum, 1);
        instances.assign(cells.begin(), cells.end());
    }
    mem::vector<Entity*> entities;
    level->GetEntitiesInFrustum(entities, &frustum, 1, false, false);
    for (Entity* entity : entities) {
        const auto* actor = dynamic_cast<const Actor*>(entity);
        if (actor != nullptr && actor->GetMeshInstance() != nullptr) instances.push_back(actor->GetMeshInstance());
    }
    mem::vector<GraphicsMeshInstance::SectionState> saved;
    for (const GraphicsMeshInstance* instance : instances) saved.push_back(instance->GetSectionState());
    for (const bool doorwaysFade : {true, false}) draw(&seeThrough, doorwaysFade);
    for (size_t half = 0; half < 2 && !instances.empty(); ++half) {
        for (size_t i = 0; i < instances.size(); ++i) {
            for (int section = 0; section < instances[i]->GetNumSections(); ++section)
                instances[i]->SetSectionOpacity(i % 2 == half ? kSeeThroughOpacity : 1.0f, unsigned(section));
        }
        for (const bool doorwaysFade : {true, false}) draw(&seeThrough, doorwaysFade);
    }
    for (size_t i = 0; i < instances.size(); ++i) instances[i]->SetSectionState(std::move(saved[i]));
    canvas.SetWarmingUp(false);
    canvas.SetDefaultState();
    canvas.SetTargetSurface(savedTarget);
    canvas.SetViewport(savedViewport);
}

}  // namespace GAME
