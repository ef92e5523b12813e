#include "scene/GraphicsSceneRenderer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "core/Log.h"
#include "core/OBBox.h"
#include "engine/Engine.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "scene/GraphicsRenderable.h"
#include "scene/SceneWorld.h"

namespace GAME {

namespace {

const GraphicsShader2* gPortalMaskShader = nullptr;

bool IsFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

uint32_t GraphicsSceneRenderer::collection_ = 0;
uint32_t GraphicsSceneRenderer::collections_ = 0;

const SceneStyleNames& SceneStyleNames::Get() {
    static const SceneStyleNames names{
        Name::Create("ambientLightStyle"),         Name::Create("depthOnlyStyle"),
        Name::Create("depthStyle"),                Name::Create("emissiveStyle"),
        Name::Create("fogStyle"),                  Name::Create("colorStyle"),
        Name::Create("postRenderStyle"),           Name::Create("dLightDiffuseAmbientStyle"),
        Name::Create("pLightDiffuseAmbientStyle"), Name::Create("dLightDiffuseStyle"),
        Name::Create("pLightDiffuseStyle"),        Name::Create("pLightSimpleStyle"),
        Name::Create("pLightSimpleAmbientStyle"),  Name::Create("transparencyMaskStyle"),
    };
    return names;
}

GraphicsSceneRenderer::GraphicsSceneRenderer(SceneWorld* world) : world_(world), graphics_(GetEngineGraphics()) {}

GraphicsSceneRenderer::~GraphicsSceneRenderer() = default;

void GraphicsSceneRenderer::CreateResources(GraphicsEngine& graphics) {
    if (gPortalMaskShader == nullptr) gPortalMaskShader = graphics.LoadShader2("Shaders/PortalMask.ssh");
}

void GraphicsSceneRenderer::DestroyResources(GraphicsEngine& graphics) {
    if (gPortalMaskShader != nullptr) graphics.UnloadShader2(gPortalMaskShader);
    gPortalMaskShader = nullptr;
}

const GraphicsShader2* GraphicsSceneRenderer::GetPortalMaskShader() { return gPortalMaskShader; }

void GraphicsSceneRenderer::SetViewer(Region* viewerRegion, const Camera& camera, const Viewport& viewport,
                                      const Frustum& frustum) {
    camera_ = camera;
    viewerRegion_ = viewerRegion;
    frustum_ = frustum;
    viewport_ = viewport;
    if (graphics_ != nullptr) shadows_ = graphics_->AreShadowsEnabled();
    worldToCamera_ = camera.GetCoords().Inverse();
    Mat4 cameraToScreen;
    camera.GetCameraToScreenMatrix(cameraToScreen, viewport);
    worldToScreen_ = cameraToScreen * Mat4(worldToCamera_);
}

void GraphicsSceneRenderer::SetRegionToSceneCoords(Region* region, const Coords& regionToScene) {
    regionToScene_.try_emplace(region, regionToScene);
}

Coords GraphicsSceneRenderer::GetRegionToSceneCoords(Region* region) const {
    const auto found = regionToScene_.find(region);
    return found != regionToScene_.end() ? found->second : Coords();
}

void GraphicsSceneRenderer::AddRegionToScene(Region* region, const Coords& regionToScene, Region*) {
    SetRegionToSceneCoords(region, regionToScene);
    std::erase(placedOnly_, region);
    Frustum regionFrustum = frustum_;
    regionFrustum.Transform(regionToScene.Inverse());
    AddRegionContents(region, regionToScene, regionFrustum);
}

void GraphicsSceneRenderer::AddRegionToScene(Region* region) {
    if (region == nullptr) return;
    if (regionToScene_.contains(region) &&
        std::find(placedOnly_.begin(), placedOnly_.end(), region) == placedOnly_.end()) {
        return;
    }
    AddRegionToScene(region, GetPlacementByOffset(region), nullptr);
}

Coords GraphicsSceneRenderer::GetPlacementByOffset(const Region* region) const {
    // Placed as the viewer's region is (the identity unless it was given coords).
    return GetRegionToSceneCoords(viewerRegion_) * GetOffsetCoords(region);
}

Coords GraphicsSceneRenderer::GetOffsetCoords(const Region* region) const {
    if (world_ == nullptr || viewerRegion_ == nullptr) return Coords();
    const IntVec3 offset = world_->GetOffsetFromWorld(region) - world_->GetOffsetFromWorld(viewerRegion_);
    return Coords::Translation(Vec3(float(offset.x), float(offset.y), float(offset.z)));
}

void GraphicsSceneRenderer::AddRegionContents(Region*, const Coords&, const Frustum&) {}

void GraphicsSceneRenderer::AddRenderable(GraphicsRenderable* renderable, Region* region) {
    if (renderable == nullptr || region == nullptr) return;
    if (region != lastRegion_) {
        auto placed = regionToScene_.find(region);
        if (placed == regionToScene_.end()) {
            // Its contents are not added here, while other contents are being added: adding the
            // region adds them.
            placed = regionToScene_.emplace(region, GetPlacementByOffset(region)).first;
            placedOnly_.push_back(region);
        }
        lastRegion_ = region;
        lastRegionToScene_ = &placed->second;
        // Regions are mostly placed without a turn (the viewer's own at the origin): then a box
        // only moves. A turned region's box is the bound of the turned box.
        lastRegionTurned_ = placed->second != Coords::Translation(placed->second.origin);
    }
    const Coords& regionToScene = *lastRegionToScene_;
    const ABBox& regionBox = renderable->GetRenderPassBoundingBox();
    ABBox sceneBox(regionBox.centre + regionToScene.origin, regionBox.halfSize);
    if (lastRegionTurned_) {
        OBBox box(regionBox);
        box.Transform(regionToScene);
        sceneBox = ABBox(box);
    }
    if (IsFinite(sceneBox.centre) && IsFinite(sceneBox.halfSize)) {
        queue_.push_back({renderable, region, &regionToScene, sceneBox});
        return;
    }
    static const char* const kSeparator = "=======================================";
    Log(LogPriority::Error, "%s", kSeparator);
    Log(LogPriority::Error, "Invalid bounding box for renderable %p", static_cast<const void*>(renderable));
    Log(LogPriority::Info, "Region to scene coords: (%f, %f, %f)", double(regionToScene.origin.x),
        double(regionToScene.origin.y), double(regionToScene.origin.z));
    renderable->LogInfo();
    Log(LogPriority::Error, "%s", kSeparator);
}

void GraphicsSceneRenderer::AddLight(const GraphicsLight& light) {
    const Color& color = light.GetColor();
    if (color.r <= kDimLight && color.g <= kDimLight && color.b <= kDimLight) return;
    lights_.push_back(light);
    if (!shadows_) lights_.back().SetCastsShadows(false);
}

int GraphicsSceneRenderer::GetNumPassesWithStyle(const Name& style) const {
    int count = 0;
    for (const QueueEntry& entry : queue_) count += entry.renderable->GetNumRenderPasses(style, generation_);
    return count;
}

void GraphicsSceneRenderer::GetViewSpaceExtents(Vec3& min, Vec3& max) const {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    min = Vec3(kInfinity, kInfinity, kInfinity);
    max = Vec3(-kInfinity, -kInfinity, -kInfinity);
    for (const QueueEntry& entry : queue_) {
        if (entry.renderable->GetNumRenderPasses(Name::noName, generation_) <= 0) continue;
        OBBox box(entry.renderable->GetRenderPassBoundingBox());
        box.Transform(worldToCamera_ * GetOffsetCoords(entry.region));
        const ABBox view(box);
        const Vec3 low = view.centre - view.halfSize;
        const Vec3 high = view.centre + view.halfSize;
        min = Vec3(std::min(min.x, low.x), std::min(min.y, low.y), std::min(min.z, low.z));
        max = Vec3(std::max(max.x, high.x), std::max(max.y, high.y), std::max(max.z, high.z));
    }
}

void GraphicsSceneRenderer::CollectPasses(mem::vector<RenderablePass>& passes, const Name& style, int minSortOrder,
                                          int maxSortOrder, const Sphere* lightSphere,
                                          const GraphicsLight* light) const {
    collection_ = ++collections_ != 0 ? collections_ : ++collections_;
    passes.reserve(passes.size() + queue_.size());
    for (const QueueEntry& entry : queue_) {
        if (lightSphere != nullptr &&
            entry.sceneBox.GetSquaredDistance(lightSphere->centre) > lightSphere->radius * lightSphere->radius) {
            continue;
        }
        const int count = entry.renderable->GetNumRenderPasses(style, generation_);
        for (int pass = 0; pass < count; ++pass) {
            GraphicsRenderable::PassInfo info;
            if (!entry.renderable->GetRenderPassInfo(pass, style, generation_, light, info)) continue;
            if (info.sortOrder < minSortOrder || info.sortOrder > maxSortOrder) continue;
            RenderablePass& built = passes.emplace_back();
            built.renderable = entry.renderable;
            built.region = entry.region;
            built.pass = pass;
            built.shader = info.shader;
            built.styleIndex = info.styleIndex;
            built.regionToScene = *entry.regionToScene;
            built.sceneBox = entry.sceneBox;
            built.sortOrder = info.sortOrder;
            if (lightSphere != nullptr) {
                const Vec3 centre = lightSphere->centre - entry.regionToScene->origin;
                built.lightSphere[0] = centre.x;
                built.lightSphere[1] = centre.y;
                built.lightSphere[2] = centre.z;
                built.lightSphere[3] = lightSphere->radius;
            }
            built.texture = info.texture;
            built.opacity = info.opacity;
        }
    }
    collection_ = 0;
}

// Drawing calls into each pass's renderable in key order: thousands of renderables apart in memory
// would make every draw wait for its object's fields, so the objects a few passes ahead are asked
// for while the current one draws (a hint only: reading past a smaller object does no harm).
constexpr size_t kPrefetchAhead = 4;
constexpr size_t kPrefetchBytes = 512;  // the part of a mesh instance a draw reads
constexpr size_t kCacheLine = 64;

void GraphicsSceneRenderer::RenderPasses(GraphicsCanvas& canvas, const mem::vector<RenderablePass>& passes,
                                         const Name& style) const {
    // The keys are sorted, not the passes (well over a hundred bytes each, moved log n times by a
    // sort): the index ends every tie, so equal keys keep their submission order. Addresses
    // compare as unsigned numbers: std::less gives pointers a total order.
    struct Key {
        int sortOrder;
        uint32_t styleIndex;
        const GraphicsShader2* shader;
        const GraphicsTexture* texture;
        size_t index;
    };
    mem::vector<Key> keys;
    keys.reserve(passes.size());
    for (size_t i = 0; i < passes.size(); ++i)
        keys.push_back({passes[i].sortOrder, passes[i].styleIndex, passes[i].shader, passes[i].texture, i});
    const auto before = [](const Key& a, const Key& b) {
        if (a.sortOrder != b.sortOrder) return a.sortOrder < b.sortOrder;
        if (a.shader != b.shader) return std::less<const GraphicsShader2*>()(a.shader, b.shader);
        if (a.styleIndex != b.styleIndex) return a.styleIndex < b.styleIndex;
        if (a.texture != b.texture) return std::less<const GraphicsTexture*>()(a.texture, b.texture);
        return a.index < b.index;
    };
    // Many passes of one material in a row (a crowd of one mesh) often come in order already,
    // which one look through the keys finds at a fraction of a sort's cost.
    if (!std::is_sorted(keys.begin(), keys.end(), before)) std::sort(keys.begin(), keys.end(), before);
    const GraphicsShader2* shader = nullptr;
    uint32_t styleIndex = GraphicsShader2::kNoStyle;
    for (size_t k = 0; k < keys.size(); ++k) {
        if (k + kPrefetchAhead < keys.size()) {
            const char* ahead = reinterpret_cast<const char*>(passes[keys[k + kPrefetchAhead].index].renderable);
            for (size_t line = 0; line < kPrefetchBytes; line += kCacheLine) __builtin_prefetch(ahead + line);
        }
        const RenderablePass& pass = passes[keys[k].index];
        if (pass.shader != shader || pass.styleIndex != styleIndex) {
            if (shader != nullptr) shader->End();
            shader = pass.shader;
            styleIndex = pass.styleIndex;
            canvas.SetDefaultState();
            shader->Begin(styleIndex);
            SetShaderConstants(canvas, shader);
        }
        const RenderablePass* next = k + 1 < keys.size() ? &passes[keys[k + 1].index] : nullptr;
        nextInStyle_ = next != nullptr && next->shader == shader && next->styleIndex == styleIndex ? next : nullptr;
        pass.renderable->RenderPass(pass, style, canvas, *this);
    }
    nextInStyle_ = nullptr;
    if (shader != nullptr) shader->End();
}

void GraphicsSceneRenderer::RenderStyle(GraphicsCanvas& canvas, const Name& style) const {
    mem::vector<RenderablePass> passes;
    CollectPasses(passes, style, kMinSortOrder, kMaxSortOrder);
    RenderPasses(canvas, passes, style);
}

}  // namespace GAME
