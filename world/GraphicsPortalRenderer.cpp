#include "world/GraphicsPortalRenderer.h"

#include <algorithm>
#include <string>

#include "core/Singleton.h"
#include "core/WorldCoords.h"
#include "engine/Engine.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/Image.h"
#include "scene/GraphicsLight.h"
#include "scene/GraphicsNormalRenderer.h"
#include "scene/GraphicsReflectionManager.h"
#include "world/GraphicsTransparencyManager.h"
#include "world/Level.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {

namespace {

constexpr int kMaxStatisticDashes = 15;

// 1 - (value - start) / (end - start) clamped to [0, 1]; a step at start for an empty range.
float FadeBetween(float value, float start, float end) {
    if (!(end > start)) return value <= start ? 1.0f : 0.0f;
    return 1.0f - std::clamp((value - start) / (end - start), 0.0f, 1.0f);
}

}  // namespace

GraphicsPortalRenderer::GraphicsPortalRenderer(GraphicsCanvas& canvas, Region* cameraRegion, const Camera& camera,
                                               const Viewport& viewport, bool underground)
    : world_(gEngine != nullptr ? gEngine->GetWorld() : nullptr),
      scene_(world_),
      canvas_(canvas),
      viewport_(viewport),
      cameraRegion_(cameraRegion),
      camera_(camera),
      frustum_(camera.GetFrustum(viewport)),
      underground_(underground),
      regionList_(GetEngineGraphics() != nullptr && GetEngineGraphics()->IsRegionListEnabled()),
      ambiance_(gEngine != nullptr ? gEngine->GetSceneAmbiance() : nullptr) {}

GraphicsPortalRenderer::~GraphicsPortalRenderer() = default;

SceneAmbiance::Environment GraphicsPortalRenderer::GetEnvironment(Region* region) {
    return region != nullptr && region->IsUnderground() ? SceneAmbiance::kUnderground : SceneAmbiance::kOutdoor;
}

float GraphicsPortalRenderer::GetPortalFadeValue(const Portal& portal, const Vec3& point, float start, float end) {
    const Plane plane = portal.GetPlane();
    const float d = std::max(plane.GetDistance(point), 0.0f);
    const Vec3 along = point - portal.GetChokePoint().GetRegionCoords().origin - plane.normal * d;
    return std::min(FadeBetween(d, start, end), FadeBetween(along.Length(), start, end));
}

Vec3 GraphicsPortalRenderer::GetTargetIn(const Region* region) const {
    return region->GetRelativePosition(transparency_->GetTargetPosition());
}

float GraphicsPortalRenderer::GetFade(const Portal& portal, const Region* region) const {
    if (transparency_ == nullptr) return 0.0f;
    return GetPortalFadeValue(portal, GetTargetIn(region), fadeStart_, fadeEnd_);
}

void GraphicsPortalRenderer::AddStatisticLine(int depth, const char* format, const char* name) const {
    if (!regionList_ || gEngine == nullptr) return;
    const std::string dashes(size_t(std::min(depth + 1, kMaxStatisticDashes)), '-');
    gEngine->AddStatisticText(format, dashes.c_str(), name);
}

// -- Frame ------------------------------------------------------------------------------------

void GraphicsPortalRenderer::Render() {
    if (cameraRegion_ == nullptr) return;
    const float blend =
        transparency_ != nullptr ? transparency_->GetRegionBlendAmount(cameraRegion_) : 1.0f;
    path_.clear();
    WalkRegion(cameraRegion_, Coords(), nullptr, 1.0f - blend, nullptr, 0, false);

    GraphicsEngine* graphics = GetEngineGraphics();
    if (graphics != nullptr && graphics->IsBloomEnabled() && ambiance_ != nullptr) {
        const Vec3 bloom = ambiance_->GetBloomParameters(GetEnvironment(cameraRegion_));
        if (bloom.x > 0.0f && bloom.y > 0.25f) {
            canvas_.SetViewport(viewport_);
            canvas_.HotBlurFrameBuffer(512, 512, bloom.x, bloom.y, bloom.z);
        }
    }
    Singleton<DebugRenderManager>::Get()->Flush(canvas_, cameraRegion_, camera_, viewport_);
}

bool GraphicsPortalRenderer::RenderScreenShot(unsigned width, unsigned height, Image& image) {
    RenderSurface* surface = canvas_.CreateTemporaryTextureSurface(int(width), int(height), RenderTextureFormat::RGBA,
                                                                    RenderTextureFormat::D16);
    if (surface == nullptr) return false;
    canvas_.SetTargetSurface(surface);
    Render();
    canvas_.SetTargetSurface(nullptr);
    mem::vector<uint8_t> pixels(size_t(width) * height * 4);
    if (!surface->ReadPixels(pixels.data(), int(width), int(height), RenderTextureFormat::RGBA)) return false;
    return image.Create(width, height, Image::Format::RGBA, pixels.data());
}

// -- The walk ---------------------------------------------------------------------------------

RenderTexture* GraphicsPortalRenderer::WalkRegion(Region* region, const Coords& toCamera, Region* from, float blend,
                                                  RenderTexture* texture, int depth, bool maskWanted) {
    Frustum frustum = frustum_;
    frustum.Transform(toCamera.Inverse());
    mem::vector<Region*> regions;
    if (world_ != nullptr) {
        world_->GetRegionsInFrustum(regions, region, frustum, underground_ && region->IsUnderground());
    }
    path_.push_back(region);

    FoundPortal back = FindPortal(regions, region, toCamera, false);
    const bool frontFound = texture != nullptr || FindPortal(regions, region, toCamera, true).portal != nullptr;
    if (frontFound && from == nullptr) {
        // The region composites the mask of what lies behind its front portals only with a blend
        // above 0; at 0 it covers all but its own portals whatever the mask says.
        texture = RenderPortals(region, true, GetWalks(region, toCamera, regions, true, nullptr, depth + 1), texture,
                                depth + 1, blend != 0.0f);
    }
    // At the top of the walk a portal facing away is not followed at all while the target is
    // beyond its reach (fade 0): the region behind would be drawn with blend 1 plus its amount,
    // which for a region the target is nowhere near (amount 0) still covers the camera's region
    // wherever the mask lets it.
    if (from == nullptr && back.portal != nullptr && back.fade == 0.0f) back.portal = nullptr;
    const mem::vector<Walk> backWalks =
        back.portal != nullptr ? GetWalks(region, toCamera, regions, false, from, depth + 1) : mem::vector<Walk>();
    // The mask is made for the regions behind the portals facing away, or for the caller.
    const bool makeMask = back.portal != nullptr && (maskWanted || !backWalks.empty());
    texture = RenderRegion(region, toCamera, regions, blend, texture, makeMask, frontFound, depth, back.portal);
    if (back.portal != nullptr) texture = RenderPortals(region, false, backWalks, texture, depth + 1, maskWanted);

    path_.pop_back();
    return texture;
}

GraphicsPortalRenderer::RegionView GraphicsPortalRenderer::GetRegionView(Region* candidate, Region* region,
                                                                         const Coords& toCamera) const {
    RegionView view{toCamera * candidate->GetRelativeTransformation(region), Vec3(), frustum_};
    const Coords cameraToCandidate = view.toCamera.Inverse();
    view.eye = cameraToCandidate.TransformPoint(camera_.GetCoords().origin);
    view.frustum.Transform(cameraToCandidate);
    return view;
}

GraphicsPortalRenderer::FoundPortal GraphicsPortalRenderer::FindPortal(const mem::vector<Region*>& regions,
                                                                       Region* region, const Coords& toCamera,
                                                                       bool front) const {
    for (Region* candidate : regions) {
        const RegionView view = GetRegionView(candidate, region, toCamera);
        for (int i = 0; i < candidate->GetNumPortals(); ++i) {
            const Portal* portal = candidate->GetPortal(i);
            if (portal == nullptr || portal->GetConnectedRegion() == nullptr || !portal->GetIsOpen() ||
                portal->IsFrontFacing(view.eye) != front) {
                continue;
            }
            const float fade = GetFade(*portal, candidate);
            if (fade > 0.0f || portal->TestIntersection(view.frustum)) return {portal, fade};
        }
    }
    return {};
}

mem::vector<GraphicsPortalRenderer::Walk> GraphicsPortalRenderer::GetWalks(Region* region, const Coords& toCamera,
                                                                          const mem::vector<Region*>& regions,
                                                                          bool front, Region* excluded,
                                                                          int depth) const {
    mem::vector<Walk> walks;
    if (depth > kMaxWalkDepth) return walks;
    for (Region* candidate : regions) {
        const RegionView view = GetRegionView(candidate, region, toCamera);
        for (int i = 0; i < candidate->GetNumPortals(); ++i) {
            const Portal* portal = candidate->GetPortal(i);
            if (portal == nullptr || portal->IsFrontFacing(view.eye) != front || !portal->GetIsOpen()) continue;
            const float fade = GetFade(*portal, candidate);
            float blend = 2.0f;
            if (transparency_ != nullptr) {
                blend = transparency_->GetRegionBlendAmount(candidate);
                if (!front) blend += 1.0f - fade;
            }
            if (!(fade > 0.0f) && !portal->TestIntersection(view.frustum)) continue;
            Coords backToFront;
            Region* far = nullptr;
            if (!portal->GetBackToFrontCoords(backToFront, far) || far == excluded) continue;
            if (std::find(path_.begin(), path_.end(), far) != path_.end()) continue;
            walks.push_back({far, view.toCamera * backToFront, candidate, blend, depth});
        }
    }
    return walks;
}

RenderTexture* GraphicsPortalRenderer::RenderPortals(Region* region, bool front, const mem::vector<Walk>& walks,
                                                     RenderTexture* texture, int depth, bool maskWanted) {
    AddStatisticLine(depth,
                     front ? "%s Rendering FRONT facing portals of region %s"
                           : "%s Rendering BACK facing portals of region %s",
                     region->GetName().c_str());
    // Each walk hands its mask to the next; the last one's goes to the caller.
    for (size_t i = 0; i < walks.size(); ++i) {
        const Walk& walk = walks[i];
        texture = WalkRegion(walk.far, walk.toCamera, walk.from, walk.blend, texture, walk.depth,
                             maskWanted || i + 1 < walks.size());
    }
    return texture;
}

// -- One region -------------------------------------------------------------------------------

GraphicsLight GraphicsPortalRenderer::MakeSun(Region* region) const {
    const GraphicsEngine* graphics = GetEngineGraphics();
    const SceneAmbiance::Environment environment = GetEnvironment(region);
    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    sun.SetCastsShadows(graphics == nullptr || !graphics->UseLowQualityLighting() || ambiance_->GetIsDay());
    // The ambiance gives the direction towards the sun; the light shines the other way.
    sun.SetObjectToWorldCoords(WorldCoords(
        region, Coords::LookIn(Vec3(), -ambiance_->GetLightDirection(environment), Vec3(0.0f, 1.0f, 0.0f))));
    sun.SetColor(ambiance_->GetLightColor(environment));
    return sun;
}

void GraphicsPortalRenderer::RenderReflections(Region* region, const Camera& camera) {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (graphics == nullptr || ambiance_ == nullptr || region == nullptr) return;
    if (!graphics->AreReflectionsEnabled() || graphics->GetPixelShaderVersion() <= 3) return;
    const SceneAmbiance::Environment environment = GetEnvironment(region);
    const GraphicsLight sun = MakeSun(region);
    const Color sky = ambiance_->GetSkyAmbientColor(environment);
    const Color ground = ambiance_->GetGroundAmbientColor(environment);
    GraphicsReflectionManager manager(&scene_);
    const GraphicsReflectionManager::RenderSet set{&camera, region, viewport_, &sun, &sky, &ground};
    graphics->IncrementReflectionCount(manager.RenderReflections(canvas_, set));
}

void GraphicsPortalRenderer::ConfigureRenderer(GraphicsNormalRenderer& renderer, Region* region) const {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (ambiance_ != nullptr) {
        const SceneAmbiance::Environment environment = GetEnvironment(region);
        renderer.SetSkyAmbientColor(ambiance_->GetSkyAmbientColor(environment));
        renderer.SetGroundAmbientColor(ambiance_->GetGroundAmbientColor(environment));
        renderer.AddLight(MakeSun(region));
        renderer.EnableFog(ambiance_->GetIsFogEnabled(environment));
        renderer.SetFogColor(ambiance_->GetFogColor(environment));
        const Vec3& depthFog = ambiance_->GetDepthFog(environment);
        const Vec3& heightFog = ambiance_->GetHeightFog(environment);
        renderer.SetDepthFogParams(depthFog.x, depthFog.y, depthFog.z);
        renderer.SetHeightFogParams(heightFog.x, heightFog.y, heightFog.z);
    }
    if (graphics != nullptr) renderer.SetGenerationId(graphics->GetGenerationId());
    if (world_ != nullptr) renderer.SetShadowSoftness(world_->GetShadowSoftness());
    if (transparency_ != nullptr) {
        const WorldFrustum& frustum = transparency_->GetTransparencyFrustum();
        renderer.SetTransparency(frustum.GetRegion(), frustum.GetRegionFrustum(),
                                 transparency_->GetTransparencyHeight());
        renderer.SetTransparencyTarget(GetTargetIn(region));
    }
    renderer.ShowLights(showLights_ || (graphics != nullptr && graphics->IsShowLightsEnabled()));
    if (graphics != nullptr) {
        renderer.EnableBoundingBoxes(graphics->IsShowBoundingBoxesEnabled());
        renderer.EnableShadows(graphics->AreShadowsEnabled());
        renderer.EnableLighting(graphics->IsLightingEnabled());
        renderer.EnableTransparency(graphics->IsTransparencyEnabled());
        renderer.EnableTerrain(graphics->IsTerrainEnabled());
        renderer.EnableGrass(graphics->IsGrassEnabled());
        renderer.EnableGridTiles(graphics->AreGridTilesEnabled());
        renderer.EnableMeshes(graphics->AreMeshesEnabled());
        renderer.EnableDecals(graphics->AreDecalsEnabled());
        renderer.EnableEffects(graphics->AreEffectsEnabled());
        renderer.EnableWater(graphics->IsWaterEnabled());
    }
}

RenderTexture* GraphicsPortalRenderer::RenderRegion(Region* region, const Coords& toCamera,
                                                    const mem::vector<Region*>& regions, float blend,
                                                    RenderTexture* texture, bool backFound, bool frontFound, int depth,
                                                    const Portal* clippingPortal) {
    GraphicsNormalRenderer renderer(&scene_);
    renderer.EnableWireframe(wireframe_);
    Camera camera = camera_;
    camera.SetCoords(toCamera.Inverse() * camera_.GetCoords());
    renderer.SetViewer(region, camera, viewport_, region == cameraRegion_ ? frustum_ : camera.GetFrustum(viewport_));
    RenderReflections(region, camera);
    ConfigureRenderer(renderer, region);

    for (Region* shown : regions) {
        AddStatisticLine(depth, "%s> Rendering Region %s", shown->GetName().c_str());
        renderer.AddRegionToScene(shown, shown->GetRelativeTransformation(region), nullptr);
    }
    renderer.SetPortalRegions(&regions);
    renderer.SetRegionToSceneCoords(cameraRegion_, toCamera.Inverse());
    AddPortalNeighbours(renderer, region, regions, renderer.GetFrustum());

    if (clippingPortal != nullptr) {
        Plane plane = clippingPortal->GetPlane();
        plane.d += kClipPlaneOffset;
        renderer.SetClippingPlane(
            renderer.GetRegionToSceneCoords(clippingPortal->GetRegion()).TransformPlane(plane));
    }
    return renderer.Render(canvas_, blend, texture, backFound, frontFound, canvas_.GetTargetSurface(),
                           GetEnvironment(region) == SceneAmbiance::kUnderground);
}

void GraphicsPortalRenderer::AddPortalNeighbours(GraphicsNormalRenderer& renderer, Region* region,
                                                 const mem::vector<Region*>& regions, const Frustum& frustum) const {
    for (Region* candidate : regions) {
        Frustum candidateFrustum = frustum;
        candidateFrustum.Transform(candidate->GetRelativeTransformation(region).Inverse());
        const Coords candidateToScene = renderer.GetRegionToSceneCoords(candidate);
        for (int i = 0; i < candidate->GetNumPortals(); ++i) {
            const Portal* portal = candidate->GetPortal(i);
            if (portal == nullptr || !portal->GetIsOpen() || !portal->TestIntersection(candidateFrustum)) continue;
            Coords frontToBack;
            Region* far = nullptr;
            if (!portal->GetFrontToBackCoords(frontToBack, far)) continue;
            OBBox box = portal->GetRegionBoundingBox();
            box.Transform(frontToBack);
            renderer.AddElementsInBox(far, box, candidateToScene * frontToBack.Inverse());
        }
    }
}

}  // namespace GAME
