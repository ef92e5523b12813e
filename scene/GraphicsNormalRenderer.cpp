#include "scene/GraphicsNormalRenderer.h"

// The shared render targets (formats are RenderTextureFormat values):
//
// | target                   | size                  | colour, depth | use                                  |
// |--------------------------|-----------------------|---------------|--------------------------------------|
// | frame surface            | canvas width x height | RGBA, D24     | a blended region is drawn here       |
// | directional shadow       | shadowSize squared    | S, D16        | the first shadow-casting sun         |
// | 8 point shadows          | 4 full, 4 half size   | S, D16        | shadow-casting point lights in order |
// | no-shadow surface        | 16 x 16               | S, D16        | cleared to white; lights without map |
// | transparency mask        | canvas width x height | RGBA, D16     | the transparency mask                |
// | frame-buffer copy        | 512 x 512             | RGBA, none    | "screenTexture"                      |
//
// S is the 16-bit colour format when the device has it with depth (and the generation is not the
// one that samples shadow colour), else RGBA. Outside that generation the second to fourth point
// surface of each group of four draw into the group's first texture.

#include <algorithm>
#include <cmath>

#include "core/GameClock.h"
#include "core/OBBox.h"
#include "core/WorldCoords.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GraphicsRenderable.h"
#include "scene/GraphicsShadowMap.h"
#include "scene/GraphicsShadowMapRenderer.h"
#include "scene/SceneWorld.h"

namespace GAME {

namespace {

struct RenderTargets {
    RenderSurface* frame = nullptr;
    RenderSurface* directionalShadow = nullptr;
    RenderSurface* pointShadows[GraphicsNormalRenderer::kPointShadowSurfaces] = {};
    RenderSurface* noShadow = nullptr;
    RenderSurface* transparencyMask = nullptr;
    RenderSurface* frameCopy = nullptr;
    const GraphicsTexture* invTransparencyMask = nullptr;
};

RenderTargets gTargets;

// The shader parameters the renderer sets, made once.
struct ConstantNames {
    Name cameraOrigin = Name::Create("cameraOrigin");
    Name time = Name::Create("time");
    Name cameraDirection = Name::Create("cameraDirection");
    Name fogColor = Name::Create("fogColor");
    Name depthFogParams = Name::Create("depthFogParams");
    Name heightFogParams = Name::Create("heightFogParams");
    Name transparencyHeight = Name::Create("transparencyHeight");
    Name skyAmbientColor = Name::Create("skyAmbientColor");
    Name groundAmbientColor = Name::Create("groundAmbientColor");
    Name lightColor = Name::Create("lightColor");
    Name lightPosition = Name::Create("lightPosition");
    Name lightMaxDistance = Name::Create("lightMaxDistance");
    Name lightShadowIntensity = Name::Create("lightShadowIntensity");
    Name lightDirection = Name::Create("lightDirection");
    Name worldToShadowMatrix = Name::Create("worldToShadowMatrix");
    Name shadowBluriness = Name::Create("shadowBluriness");
    Name shadowTexture = Name::Create("shadowTexture");
    Name alphaMaskTexture = Name::Create("alphaMaskTexture");
    Name alphaMaskFactor = Name::Create("alphaMaskFactor");
    Name screenTexture = Name::Create("screenTexture");
    Name screenTextureScale = Name::Create("screenTextureScale");
};

const ConstantNames& Constants() {
    static const ConstantNames names;
    return names;
}

const Color kWhite(1.0f, 1.0f, 1.0f, 1.0f);

Vec3 FogParams(float start, float end, float amount) {
    const float range = end - start;
    return Vec3(start, range > 1e-6f ? 1.0f / range : 0.0f, amount);
}

// The interval [lo, hi] of a tangent's slope x / z for a circle (x, z, r) seen from the origin
// (z > r): the slopes of the two tangent lines.
void TangentSlopes(float x, float z, float r, float& lo, float& hi) {
    const float d2 = x * x + z * z;
    const float root = r * std::sqrt(std::max(d2 - r * r, 0.0f));
    const float denominator = z * z - r * r;
    lo = (x * z - root) / denominator;
    hi = (x * z + root) / denominator;
}

// Whether the hull of the light and the box can meet the frustum: false when one plane has both
// wholly behind it.
bool ShadowReachesView(const Vec3& light, const ABBox& box, const Frustum& frustum) {
    for (uint32_t i = 0; i < frustum.GetNumPlanes(); ++i) {
        const Plane& plane = frustum.GetPlane(i);
        const Vec3& n = plane.normal;
        const float extent = std::fabs(n.x) * box.halfSize.x + std::fabs(n.y) * box.halfSize.y +
                             std::fabs(n.z) * box.halfSize.z;
        if (plane.GetDistance(light) < 0.0f && plane.GetDistance(box.centre) < -extent) return false;
    }
    return true;
}

bool SamePass(const RenderablePass& a, const RenderablePass& b) {
    return a.renderable == b.renderable && a.pass == b.pass;
}

}  // namespace

GraphicsNormalRenderer::GraphicsNormalRenderer(SceneWorld* world)
    : GraphicsSceneRenderer(world), timeStamp_(float(GameClock::Get().GetMilliseconds()) * 0.001f) {}

GraphicsNormalRenderer::~GraphicsNormalRenderer() = default;

// -- Shared targets ---------------------------------------------------------------------------

void GraphicsNormalRenderer::CreateRenderTargets(GraphicsEngine& graphics, unsigned shadowSize,
                                                 unsigned pointShadowSize) {
    DestroyRenderTargets(graphics);
    GraphicsCanvas* canvas = graphics.GetCanvas();
    if (canvas == nullptr) return;
    const bool ownTextures = graphics.GetRenderDevice()->GetGenerationId() == RenderGenerationId::R200;
    const RenderTextureFormat shadowFormat = !ownTextures && canvas->Supports16bitColorWithDepth()
                                                 ? RenderTextureFormat::Color16WithDepth
                                                 : RenderTextureFormat::RGBA;
    const int width = canvas->GetWidth();
    const int height = canvas->GetHeight();
    gTargets.frame = canvas->CreateTextureSurface(width, height, RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    gTargets.directionalShadow =
        canvas->CreateTextureSurface(int(shadowSize), int(shadowSize), shadowFormat, RenderTextureFormat::D16);
    for (int i = 0; i < kPointShadowSurfaces; ++i) {
        const int size = int(i < 4 ? pointShadowSize : pointShadowSize / 2);
        RenderSurface* first = gTargets.pointShadows[i & ~3];
        if (i % 4 != 0 && !ownTextures && first != nullptr && first->GetTexture() != nullptr) {
            gTargets.pointShadows[i] =
                canvas->CreateTextureSurface(size, size, first->GetTexture(), RenderTextureFormat::D16);
        } else {
            gTargets.pointShadows[i] = canvas->CreateTextureSurface(size, size, shadowFormat, RenderTextureFormat::D16);
        }
    }
    gTargets.noShadow =
        canvas->CreateTextureSurface(kNoShadowSize, kNoShadowSize, shadowFormat, RenderTextureFormat::D16);
    if (gTargets.noShadow != nullptr) {
        RenderSurface* previous = canvas->GetTargetSurface();
        canvas->ClearRenderSurface(gTargets.noShadow, kWhite, RenderDevice::kClearColor | RenderDevice::kClearDepth);
        canvas->SetTargetSurface(previous);
    }
    gTargets.transparencyMask =
        canvas->CreateTextureSurface(width, height, RenderTextureFormat::RGBA, RenderTextureFormat::D16);
    gTargets.frameCopy = canvas->CreateTextureSurface(kFrameCopySize, kFrameCopySize, RenderTextureFormat::RGBA,
                                                      RenderTextureFormat::None);
    gTargets.invTransparencyMask = graphics.LoadTexture(kInvTransparencyMaskTexture);
}

void GraphicsNormalRenderer::DestroyRenderTargets(GraphicsEngine& graphics) {
    GraphicsCanvas* canvas = graphics.GetCanvas();
    if (canvas != nullptr) {
        for (RenderSurface*& surface : gTargets.pointShadows) {
            if (surface != nullptr) canvas->DestroySurface(surface);
        }
        for (RenderSurface** surface : {&gTargets.frame, &gTargets.directionalShadow, &gTargets.noShadow,
                                        &gTargets.transparencyMask, &gTargets.frameCopy}) {
            if (*surface != nullptr) canvas->DestroySurface(*surface);
        }
    }
    if (gTargets.invTransparencyMask != nullptr) graphics.UnloadTexture(gTargets.invTransparencyMask);
    gTargets = RenderTargets();
}

void GraphicsNormalRenderer::UpdateFrameBufferCopy(GraphicsCanvas& canvas) {
    RenderSurface* target = canvas.GetTargetSurface();
    if (gTargets.frameCopy == nullptr || target == nullptr || target->GetTexture() == nullptr) return;
    const Rect source = canvas.GetViewport().GetRect();
    target->CopyToTexture(gTargets.frameCopy->GetTexture(), &source, 0);
}

// -- Setup ------------------------------------------------------------------------------------

void GraphicsNormalRenderer::SetClippingPlane(const Plane& plane) {
    clippingPlane_ = plane;
    hasClippingPlane_ = true;
}

void GraphicsNormalRenderer::SetTransparency(Region* region, const Frustum& frustum, float height) {
    transparencyHeight_ = height;
    if (region == nullptr) return;
    transparencyRegion_ = region;
    transparencyFrustum_ = frustum;
    hasTransparencyFrustum_ = true;
}

void GraphicsNormalRenderer::SetDepthFogParams(float start, float end, float amount) {
    depthFog_ = FogParams(start, end, amount);
}

void GraphicsNormalRenderer::SetHeightFogParams(float start, float end, float amount) {
    heightFog_ = FogParams(start, end, amount);
}

void GraphicsNormalRenderer::AddRegionContents(Region* region, const Coords&, const Frustum& regionFrustum) {
    if (GetSceneWorld() == nullptr) return;
    GetSceneWorld()->AddRegionContents(*this, region, regionFrustum,
                                       hasTransparencyFrustum_ ? transparencyRegion_ : nullptr,
                                       hasTransparencyFrustum_ ? &transparencyFrustum_ : nullptr);
}

void GraphicsNormalRenderer::BuildScene(bool includeUnloaded) {
    Region* viewer = GetViewerRegion();
    if (viewer == nullptr || GetSceneWorld() == nullptr) return;
    mem::vector<Region*> regions;
    GetSceneWorld()->GetRegionsInFrustum(regions, viewer, GetFrustum(), includeUnloaded);
    for (Region* region : regions) AddRegionToScene(region);
}

void GraphicsNormalRenderer::AddElementsInBox(Region* region, const OBBox& box, const Coords& regionToScene) {
    SetRegionToSceneCoords(region, regionToScene);
    if (GetSceneWorld() == nullptr || region == nullptr) return;
    Frustum frustum = Frustum::FromBox(ABBox(Vec3(), box.halfSize));
    frustum.Transform(box.coords);
    GetSceneWorld()->AddElementsInFrustum(*this, region, frustum);
}

// -- Lights -----------------------------------------------------------------------------------

Rect GraphicsNormalRenderer::GetLightScissorRect(const Sphere& sphere) const {
    const Viewport& viewport = GetViewport();
    const Rect whole = viewport.GetRect();
    const Vec3 centre = GetWorldToCameraCoords().TransformPoint(sphere.centre);
    const float r = sphere.radius + 1.0f;
    const Camera& camera = GetCamera();
    float x0, x1, y0, y1;  // the sphere's extent in normalised image coordinates (-1..1, x along +x)
    if (camera.GetType() == CameraType::Orthographic) {
        if (centre.z + r < camera.GetNearPlane()) return Rect(whole.x, whole.y, 0.0f, 0.0f);
        const Vec2 half = camera.GetImageHalfSize(viewport.GetAspectRatio());
        x0 = (centre.x - r) / half.x;
        x1 = (centre.x + r) / half.x;
        y0 = (centre.y - r) / half.y;
        y1 = (centre.y + r) / half.y;
    } else {
        if (centre.z < r + 1.0f) {
            return centre.z >= -r ? whole : Rect(whole.x, whole.y, 0.0f, 0.0f);
        }
        const Vec2 half = camera.GetImageHalfSize(viewport.GetAspectRatio());
        TangentSlopes(centre.x, centre.z, r, x0, x1);
        TangentSlopes(centre.y, centre.z, r, y0, y1);
        x0 /= half.x;
        x1 /= half.x;
        y0 /= half.y;
        y1 /= half.y;
    }
    x0 = std::clamp(x0, -1.0f, 1.0f);
    x1 = std::clamp(x1, -1.0f, 1.0f);
    y0 = std::clamp(y0, -1.0f, 1.0f);
    y1 = std::clamp(y1, -1.0f, 1.0f);
    // The camera's +x and +y run to the image's left and top.
    const float left = (1.0f - x1) * 0.5f * whole.width;
    const float right = (1.0f - x0) * 0.5f * whole.width;
    const float top = (1.0f - y1) * 0.5f * whole.height;
    const float bottom = (1.0f - y0) * 0.5f * whole.height;
    return Rect(whole.x + left, whole.y + top, right - left, bottom - top);
}

void GraphicsNormalRenderer::BuildLightRecords(mem::vector<LightRecord>& out) const {
    out.clear();
    for (const GraphicsLight& light : GetLights()) {
        LightRecord record;
        record.light = &light;
        record.scissor = GetViewport().GetRect();
        const WorldCoords& coords = light.GetObjectToWorldCoords();
        const Vec3 centre = GetRegionToSceneCoords(coords.GetRegion()).TransformPoint(coords.GetRegionCoords().origin);
        record.sphere = Sphere(centre, light.GetRadius());
        if (light.GetType() == GraphicsLight::Type::Point) record.scissor = GetLightScissorRect(record.sphere);
        if (!(record.scissor.width > 0.0f && record.scissor.height > 0.0f)) continue;
        out.push_back(record);
    }
    const bool lowQuality = GetGraphicsEngine() != nullptr && GetGraphicsEngine()->UseLowQualityLighting();
    const auto area = [](const LightRecord& r) { return int(r.scissor.width * r.scissor.height); };
    std::stable_sort(out.begin(), out.end(), [&](const LightRecord& a, const LightRecord& b) {
        if (lowQuality && a.light->GetCastsShadows() != b.light->GetCastsShadows()) return a.light->GetCastsShadows();
        return area(a) > area(b);
    });
}

const Name* GraphicsNormalRenderer::GetLightStyle(const GraphicsLight& light, bool withAmbient) {
    const SceneStyleNames& styles = SceneStyleNames::Get();
    switch (light.GetType()) {
        case GraphicsLight::Type::Directional:
            return withAmbient ? &styles.directionalDiffuseAmbient : &styles.directionalDiffuse;
        case GraphicsLight::Type::Point:
            if (!light.GetCastsShadows() && !light.GetCastsSpecular()) {
                return withAmbient ? &styles.pointSimpleAmbient : &styles.pointSimple;
            }
            return withAmbient ? &styles.pointDiffuseAmbient : &styles.pointDiffuse;
    }
    return nullptr;
}

void GraphicsNormalRenderer::PrepareLights(GraphicsCanvas& canvas) {
    BuildLightRecords(records_);
    RenderShadowMaps(canvas);
    if (GetGraphicsEngine() != nullptr) {
        const int casting = int(std::count_if(records_.begin(), records_.end(),
                                              [](const LightRecord& r) { return r.light->GetCastsShadows(); }));
        GetGraphicsEngine()->IncrementLightCount(int(records_.size()), casting);
    }
}

void GraphicsNormalRenderer::RenderShadowMaps(GraphicsCanvas& canvas) {
    const SceneStyleNames& styles = SceneStyleNames::Get();
    pointShadowsUsed_ = 0;
    bool directionalUsed = false;
    RenderSurface* const previousTarget = canvas.GetTargetSurface();
    for (LightRecord& record : records_) {
        record.shadowSurface = gTargets.noShadow;
        const GraphicsLight& light = *record.light;
        if (!light.GetCastsShadows() || !shadows_ || !IsShadowMapRead(record)) continue;
        const bool point = light.GetType() == GraphicsLight::Type::Point;
        RenderSurface* surface = nullptr;
        if (point && pointShadowsUsed_ < kPointShadowSurfaces) {
            surface = gTargets.pointShadows[pointShadowsUsed_++];
        } else if (!point && !directionalUsed) {
            surface = gTargets.directionalShadow;
            directionalUsed = true;
        }
        if (surface == nullptr) continue;
        GraphicsShadowMap map(light, GetViewerRegion(), GetSceneWorld());
        mem::vector<RenderablePass> passes;
        if (point) {
            const Sphere reach(record.sphere.centre, record.sphere.radius * 0.75f);
            CollectPasses(passes, styles.pointDiffuse, kMinSortOrder, kMaxSortOrder, &reach, &light);
            std::erase_if(passes, [&](const RenderablePass& pass) {
                return !ShadowReachesView(record.sphere.centre, pass.sceneBox, GetFrustum());
            });
        } else {
            CollectPasses(passes, styles.directionalDiffuse, kMinSortOrder, kMaxSortOrder, nullptr, &light);
        }
        for (const RenderablePass& pass : passes) map.AddSurface(pass, pass.renderable->GetCastsShadows());
        const bool drawn = point ? map.RenderPoint(canvas, Vec3(0.0f, -1.0f, 0.0f), surface, record.worldToShadow)
                                 : map.RenderDirectional(canvas, GetCamera(), GetFrustum(),
                                                         GraphicsShadowMap::kPerspectiveWarp, surface,
                                                         record.worldToShadow);
        if (drawn) record.shadowSurface = surface;
    }
    canvas.SetTargetSurface(previousTarget);
}

bool GraphicsNormalRenderer::IsShadowMapRead(const LightRecord& record) const {
    if (GetGraphicsEngine() != nullptr && GetGraphicsEngine()->GetShadowDebugging()) return true;
    const ConstantNames& names = Constants();
    mem::vector<RenderablePass> passes;
    for (const bool withAmbient : {false, true}) {
        if (const Name* style = GetLightStyle(*record.light, withAmbient)) {
            CollectPasses(passes, *style, kMinSortOrder, kMaxSortOrder, nullptr, record.light);
        }
    }
    // The first record stays bound through the emissive and post-render passes and the depth step
    // of the transparent passes, which draws with their shaders.
    if (&record == &records_.front()) {
        const SceneStyleNames& styles = SceneStyleNames::Get();
        CollectPasses(passes, styles.emissive, kMinSortOrder, kMaxSortOrder);
        CollectPasses(passes, styles.postRender, kMinSortOrder, kMaxSortOrder);
        CollectPasses(passes, styles.ambientLight, kTransparentSortOrder, kTransparentSortOrder);
    }
    return std::any_of(passes.begin(), passes.end(), [&](const RenderablePass& pass) {
        return pass.shader != nullptr &&
               (pass.shader->HasParameter(names.shadowTexture) || pass.shader->HasParameter(names.worldToShadowMatrix));
    });
}

// -- Constants --------------------------------------------------------------------------------

void GraphicsNormalRenderer::SetShaderConstants(GraphicsCanvas&, const GraphicsShader2* shader) const {
    const ConstantNames& names = Constants();
    const Coords& camera = GetCamera().GetCoords();
    shader->SetFloat3(names.cameraOrigin, 0, camera.origin);
    shader->SetFloat(names.time, 0, timeStamp_);
    shader->SetFloat3(names.cameraDirection, 0, camera.zAxis);
    shader->SetFloat4(names.fogColor, 0, fogColor_.r, fogColor_.g, fogColor_.b, fogColor_.a);
    shader->SetFloat3(names.depthFogParams, 0, depthFog_);
    const SceneWorld* world = GetSceneWorld();
    const float offset =
        world != nullptr && GetViewerRegion() != nullptr ? world->GetVerticalOffset(GetViewerRegion()) : 0.0f;
    shader->SetFloat3(names.heightFogParams, 0, heightFog_.x - offset, heightFog_.y, heightFog_.z);
    shader->SetFloat(names.transparencyHeight, 0, transparencyHeight_);
    shader->SetFloat4(names.skyAmbientColor, 0, skyAmbient_.r, skyAmbient_.g, skyAmbient_.b, skyAmbient_.a);
    shader->SetFloat4(names.groundAmbientColor, 0, groundAmbient_.r, groundAmbient_.g, groundAmbient_.b,
                      groundAmbient_.a);
    if (currentLight_ != nullptr) {
        const GraphicsLight& light = *currentLight_->light;
        const Color& color = light.GetColor();
        shader->SetFloat4(names.lightColor, 0, color.r, color.g, color.b, color.a);
        if (light.GetType() == GraphicsLight::Type::Point) {
            shader->SetFloat3(names.lightPosition, 0, currentLight_->sphere.centre);
            shader->SetFloat(names.lightMaxDistance, 0, light.GetRadius());
            shader->SetFloat(names.lightShadowIntensity, 0, light.GetShadowIntensity());
            shader->SetFloat3(names.lightDirection, 0, Vec3());
        } else {
            const WorldCoords& coords = light.GetObjectToWorldCoords();
            const Coords regionToScene = GetRegionToSceneCoords(coords.GetRegion());
            shader->SetFloat3(names.lightDirection, 0,
                              regionToScene.TransformVector(coords.GetRegionCoords().zAxis));
        }
        shader->SetFloat4x4(names.worldToShadowMatrix, 0, currentLight_->worldToShadow);
        const RenderSurface* surface =
            currentLight_->shadowSurface != nullptr ? currentLight_->shadowSurface : gTargets.noShadow;
        const RenderTexture* texture = nullptr;
        if (surface != nullptr) {
            const bool colourShadows = GetGenerationId() == RenderGenerationId::R200;
            texture = colourShadows ? surface->GetTexture() : surface->GetDepthTexture();
        }
        const float width = texture != nullptr ? float(texture->GetWidth()) : 0.0f;
        shader->SetFloat(names.shadowBluriness, 0, width > 0.0f ? shadowSoftness_ / width : 1.0f);
        shader->SetTexture(names.shadowTexture, 0, texture);
    }
    shader->SetTexture(names.alphaMaskTexture, 0, alphaMaskTexture_);
    shader->SetFloat4(names.alphaMaskFactor, 0, alphaMaskFactor_, alphaMaskFactor_, alphaMaskFactor_,
                      alphaMaskFactor_);
    shader->SetTexture(names.screenTexture, 0,
                       gTargets.frameCopy != nullptr ? gTargets.frameCopy->GetTexture() : nullptr);
    shader->SetFloat2(names.screenTextureScale, 0, 1.0f / float(kFrameCopySize), 1.0f / float(kFrameCopySize));
}

// -- Rendering --------------------------------------------------------------------------------

RenderTexture* GraphicsNormalRenderer::Render(GraphicsCanvas& canvas, bool makeMask, bool underground) {
    return Render(canvas, 0.0f, nullptr, makeMask, false, canvas.GetTargetSurface(), underground);
}

RenderTexture* GraphicsNormalRenderer::RenderBlended(GraphicsCanvas& canvas, float blend, RenderTexture* previous,
                                                     bool makeMask, bool underground) {
    return Render(canvas, blend, previous, makeMask, true, canvas.GetTargetSurface(), underground);
}

RenderTexture* GraphicsNormalRenderer::Render(GraphicsCanvas& canvas, float blend, RenderTexture* previous,
                                              bool makeMask, bool blended, RenderSurface* target, bool) {
    if (!rendering_) return nullptr;
    GraphicsEngine* graphics = GetGraphicsEngine();
    if (gTargets.noShadow == nullptr && graphics != nullptr && graphics->GetCanvas() == &canvas) {
        CreateRenderTargets(*graphics, graphics->GetNormalRendererTargetSize(0),
                            graphics->GetNormalRendererTargetSize(1));
        GraphicsShadowMapRenderer::CreateResources(*graphics);
        // The portal mask shader: without it no doorway shows the region behind it.
        GraphicsSceneRenderer::CreateResources(*graphics);
    }
    const Viewport savedViewport = canvas.GetViewport();
    if (lighting_) PrepareLights(canvas);
    if (hasClippingPlane_) SetCanvasClippingPlane(canvas);

    RenderSurface* drawTarget = blended && gTargets.frame != nullptr ? gTargets.frame : target;
    canvas.SetTargetSurface(drawTarget);
    canvas.SetViewport(GetViewport());
    canvas.SetClearColor(backgroundColor_);
    if (backgroundTexture_ != nullptr) {
        canvas.Clear(clearFlags_ & ~RenderDevice::kClearColor, 1.0f);
        canvas.SetDepthWriteMode(RenderWriteMode::Off);
        canvas.RenderRect(GetViewport().GetRect(),
                          Rect(0.0f, 0.0f, float(backgroundTexture_->GetWidth()), float(backgroundTexture_->GetHeight())),
                          backgroundTexture_, kWhite);
        canvas.SetDepthWriteMode(RenderWriteMode::On);
    } else {
        canvas.Clear(clearFlags_, 1.0f);
    }

    RenderAllPasses(canvas, drawTarget);

    RenderTexture* result = nullptr;
    if (makeMask) {
        result = RenderMask(canvas);
    } else if (hasClippingPlane_) {
        canvas.ClearClippingPlane(0);
    }
    canvas.SetDefaultState();
    canvas.SetViewport(GetViewport());
    canvas.EnableWireframe(false);
    if (blended && gTargets.frame != nullptr) Composite(canvas, blend, previous, target);

    if (GetGraphicsEngine() != nullptr && GetGraphicsEngine()->GetShadowDebugging()) {
        const auto show = [&](RenderSurface* surface, float x) {
            if (surface == nullptr || surface->GetTexture() == nullptr) return;
            const RenderTexture* texture = surface->GetTexture();
            canvas.RenderRect(Rect(x, 64.0f, 256.0f, 256.0f),
                              Rect(0.0f, 0.0f, float(texture->GetWidth()), float(texture->GetHeight())), texture,
                              RenderBlendFactor::One, RenderBlendFactor::Zero, kWhite, false);
        };
        show(gTargets.directionalShadow, 10.0f);
        if (pointShadowsUsed_ > 0) show(gTargets.pointShadows[0], 276.0f);
        if (pointShadowsUsed_ > 4) show(gTargets.pointShadows[4], 542.0f);
    }
    canvas.SetViewport(savedViewport);
    records_.clear();
    return result;
}

Viewport GraphicsNormalRenderer::GetTargetViewport(GraphicsCanvas& canvas, RenderSurface* target) const {
    Viewport viewport = GetViewport();
    const RenderTexture* texture = target != nullptr ? target->GetTexture() : nullptr;
    const int width = texture != nullptr ? texture->GetWidth() : canvas.GetWidth();
    const int height = texture != nullptr ? texture->GetHeight() : canvas.GetHeight();
    viewport.width = std::min(viewport.width, width);
    viewport.height = std::min(viewport.height, height);
    return viewport;
}

void GraphicsNormalRenderer::RenderAllPasses(GraphicsCanvas& canvas, RenderSurface* target) {
    const SceneStyleNames& styles = SceneStyleNames::Get();
    const Viewport viewport = GetTargetViewport(canvas, target);
    canvas.SetViewport(viewport);
    canvas.SetDefaultState();
    canvas.EnableWireframe(wireframe_);

    mem::vector<RenderablePass> transparent;
    CollectPasses(transparent, styles.ambientLight, kTransparentSortOrder, kTransparentSortOrder);
    if (!transparent.empty() && gTargets.transparencyMask != nullptr) {
        RenderTransparencyMask(canvas, target, viewport);
    }

    RenderLitPasses(canvas, kMinSortOrder, 999, true, nullptr);
    const bool firstIsPoint = !records_.empty() && records_[0].light->GetType() == GraphicsLight::Type::Point;
    if (firstIsPoint) RenderRange(canvas, styles.ambientLight, 1000, 9999);
    RenderLitPasses(canvas, 1000, 9999, !firstIsPoint, nullptr);

    currentLight_ = records_.empty() ? nullptr : &records_[0];
    canvas.EnableWireframe(wireframe_);
    RenderRange(canvas, styles.emissive, kMinSortOrder, 9999);

    if (GetNumPassesWithStyle(styles.postRender) > 0) {
        mem::vector<RenderablePass> post;
        CollectPasses(post, styles.postRender, kMinSortOrder, kMaxSortOrder);
        if (!post.empty()) {
            canvas.SetDefaultState();
            UpdateFrameBufferCopy(canvas);
            RenderPasses(canvas, post, styles.postRender);
        }
    }

    if (transparency_ && !transparent.empty() && gTargets.transparencyMask != nullptr) {
        RenderTransparentPasses(canvas, transparent);
    }
    RenderRange(canvas, styles.emissive, kTransparentSortOrder, kMaxSortOrder);
    currentLight_ = nullptr;

    if (fog_ && (depthFog_.z > 0.0f || heightFog_.z > 0.0f)) {
        canvas.SetDefaultState();
        RenderRange(canvas, styles.fog, kMinSortOrder, kMaxSortOrder);
    }
    if (showLights_) RenderShowLights(canvas);
}

void GraphicsNormalRenderer::RenderRange(GraphicsCanvas& canvas, const Name& style, int minSortOrder,
                                         int maxSortOrder) {
    mem::vector<RenderablePass> passes;
    CollectPasses(passes, style, minSortOrder, maxSortOrder);
    RenderPasses(canvas, passes, style);
}

void GraphicsNormalRenderer::RenderLitPasses(GraphicsCanvas& canvas, int minSortOrder, int maxSortOrder,
                                             bool withAmbient, const mem::vector<RenderablePass>* only) {
    // The passes of only, in its order: a transparent run's passes of equal keys blend far to
    // near, as the run was sorted, not in the order they were queued.
    const auto keep = [&](mem::vector<RenderablePass>& passes) {
        if (only == nullptr) return;
        mem::vector<RenderablePass> kept;
        kept.reserve(only->size());
        for (const RenderablePass& o : *only) {
            const auto found = std::find_if(passes.begin(), passes.end(),
                                            [&](const RenderablePass& pass) { return SamePass(o, pass); });
            if (found != passes.end()) kept.push_back(*found);
        }
        passes.swap(kept);
    };
    if (records_.empty()) {
        if (!withAmbient) return;
        const Name& style = SceneStyleNames::Get().ambientLight;
        mem::vector<RenderablePass> passes;
        CollectPasses(passes, style, minSortOrder, maxSortOrder);
        keep(passes);
        RenderPasses(canvas, passes, style);
        return;
    }
    for (size_t i = 0; i < records_.size(); ++i) {
        const LightRecord& record = records_[i];
        const bool ambient = withAmbient && i == 0;
        const Name* style = GetLightStyle(*record.light, ambient);
        if (style == nullptr) continue;
        canvas.SetClippingRect(ambient ? GetViewport().GetRect() : record.scissor, false);
        currentLight_ = &record;
        const bool restrict = record.light->GetType() == GraphicsLight::Type::Point && !ambient;
        mem::vector<RenderablePass> passes;
        CollectPasses(passes, *style, minSortOrder, maxSortOrder, restrict ? &record.sphere : nullptr, record.light);
        keep(passes);
        RenderPasses(canvas, passes, *style);
        canvas.ClearClippingRect();
    }
    currentLight_ = nullptr;
}

void GraphicsNormalRenderer::RenderTransparencyMask(GraphicsCanvas& canvas, RenderSurface* target,
                                                    const Viewport& viewport) {
    canvas.SetTargetSurface(gTargets.transparencyMask);
    canvas.SetViewport(viewport);
    canvas.SetClearColor(Color(1.0f, 0.0f, 0.0f, 1.0f));
    canvas.Clear(RenderDevice::kClearColor | RenderDevice::kClearDepth, 1.0f);
    RenderStyle(canvas, SceneStyleNames::Get().transparencyMask);
    canvas.SetTargetSurface(target);
    canvas.SetViewport(viewport);
}

void GraphicsNormalRenderer::RenderTransparentPasses(GraphicsCanvas& canvas, mem::vector<RenderablePass>& passes) {
    const SceneStyleNames& styles = SceneStyleNames::Get();
    alphaMaskTexture_ = gTargets.transparencyMask->GetTexture();
    const Vec3 eye = GetCamera().GetCoords().origin;
    std::stable_sort(passes.begin(), passes.end(), [&](const RenderablePass& a, const RenderablePass& b) {
        return (a.sceneBox.centre - eye).LengthSquared() > (b.sceneBox.centre - eye).LengthSquared();
    });
    // Runs of equal opacity, far to near.
    mem::vector<mem::vector<RenderablePass>> runs;
    for (const RenderablePass& pass : passes) {
        if (runs.empty() || runs.back().front().opacity != pass.opacity) runs.emplace_back();
        runs.back().push_back(pass);
    }
    for (const mem::vector<RenderablePass>& run : runs) {
        mem::vector<RenderablePass> depth;
        for (RenderablePass pass : run) {
            pass.styleIndex = pass.shader->FindStyleByName(
                pass.renderable->GetShaderStyle(pass.pass, styles.depth, GetGenerationId(), nullptr));
            if (pass.styleIndex != GraphicsShader2::kNoStyle) depth.push_back(pass);
        }
        RenderPasses(canvas, depth, styles.depth);
        RenderLitPasses(canvas, kTransparentSortOrder, kTransparentSortOrder, true, &run);
    }
    alphaMaskFactor_ = 0.0f;
    for (const mem::vector<RenderablePass>& run : runs) {
        RenderLitPasses(canvas, kTransparentSortOrder, kTransparentSortOrder, true, &run);
    }
    alphaMaskFactor_ = 1.0f;
    alphaMaskTexture_ = nullptr;
}

void GraphicsNormalRenderer::RenderShowLights(GraphicsCanvas& canvas) {
    GraphicsPrimitiveDrawer drawer(canvas);
    drawer.SetCamera(nullptr, GetCamera(), GetViewport());
    for (const LightRecord& record : records_) {
        const Vec3& centre = record.sphere.centre;
        // The reach and the marker's outline in white, the marker itself in the light's colour.
        drawer.SetColor(kWhite);
        DrawAxisSphere(drawer, centre, record.sphere.radius, kShowLightSegments + 1);
        DrawAxisLines(drawer, centre, record.sphere.radius);
        DrawWireTetrahedron(drawer, centre, kShowLightMarkerSize);
        drawer.SetColor(record.light->GetColor());
        DrawSolidTetrahedron(drawer, centre, kShowLightMarkerSize);
    }
}

// -- Mask and compositing ---------------------------------------------------------------------

void GraphicsNormalRenderer::SetCanvasClippingPlane(GraphicsCanvas& canvas) const {
    // A plane is carried to clip space by the inverse transpose of the point transform.
    const Mat4 m = GetWorldToScreenMatrix().Inverse();
    const float p[4] = {clippingPlane_.normal.x, clippingPlane_.normal.y, clippingPlane_.normal.z, clippingPlane_.d};
    float q[4];
    for (int col = 0; col < 4; ++col) {
        q[col] = p[0] * m(0, col) + p[1] * m(1, col) + p[2] * m(2, col) + p[3] * m(3, col);
    }
    canvas.SetClippingPlane(0, Plane(Vec3(q[0], q[1], q[2]), q[3]));
}

RenderTexture* GraphicsNormalRenderer::RenderMask(GraphicsCanvas& canvas) {
    const Rect whole = GetViewport().GetRect();
    canvas.SetDefaultState();
    if (hasClippingPlane_) canvas.ClearClippingPlane(0);
    canvas.SetColorWriteMode(RenderWriteMode::Off);
    canvas.SetAlphaWriteMode(RenderWriteMode::On);
    canvas.SetDepthWriteMode(RenderWriteMode::Off);
    canvas.RenderRect(whole, RenderBlendFactor::One, RenderBlendFactor::Zero, Color(0.0f, 0.0f, 0.0f, 0.0f));
    if (gTargets.invTransparencyMask != nullptr) {
        // Drawn at the far plane where nothing was drawn.
        canvas.SetDepth(1.0f);
        canvas.SetDepthTestFunction(RenderTestFunction::GreaterEqual);
        const GraphicsTexture* mask = gTargets.invTransparencyMask;
        canvas.RenderRect(whole, Rect(0.0f, 0.0f, float(mask->GetWidth()), float(mask->GetHeight())), mask, kWhite);
        canvas.SetDepth(0.0f);
    }
    if (hasClippingPlane_) SetCanvasClippingPlane(canvas);
    RenderPortalMask(canvas);
    if (hasClippingPlane_) canvas.ClearClippingPlane(0);
    RenderSurface* surface = canvas.MaskFrameBuffer(kMaskSize, kMaskSize, whole);
    return surface != nullptr ? surface->GetTexture() : nullptr;
}

void GraphicsNormalRenderer::RenderPortalMask(GraphicsCanvas& canvas) {
    const GraphicsShader2* shader = GetPortalMaskShader();
    SceneWorld* world = GetSceneWorld();
    if (portalRegions_ == nullptr || world == nullptr || shader == nullptr) return;
    GraphicsPrimitiveDrawer drawer(canvas);
    drawer.SetShader(shader);
    drawer.SetCamera(nullptr, GetCamera(), GetViewport());
    for (Region* region : *portalRegions_) world->RenderPortals(drawer, region, GetRegionToSceneCoords(region), false);
}

void GraphicsNormalRenderer::Composite(GraphicsCanvas& canvas, float blend, RenderTexture* previous,
                                       RenderSurface* target) {
    const Viewport& viewport = GetViewport();
    const Rect whole = viewport.GetRect();
    canvas.SetTargetSurface(gTargets.frame);
    canvas.SetViewport(viewport);
    canvas.SetColorWriteMode(RenderWriteMode::Off);
    canvas.SetAlphaWriteMode(RenderWriteMode::On);
    canvas.SetDepthWriteMode(RenderWriteMode::Off);
    canvas.SetDepthTestFunction(RenderTestFunction::Always);
    if (previous != nullptr) {
        const Rect texels(0.0f, 0.0f, float(previous->GetWidth()), float(previous->GetHeight()));
        if (blend > 1.0f) {
            canvas.RenderRect(whole, RenderBlendFactor::One, RenderBlendFactor::Zero, Color(1.0f, 1.0f, 1.0f, blend - 1.0f));
            canvas.RenderRect(whole, texels, previous, RenderBlendFactor::One, RenderBlendFactor::One, kWhite, false);
        } else {
            canvas.RenderRect(whole, texels, previous, RenderBlendFactor::One, RenderBlendFactor::Zero,
                              Color(1.0f, 1.0f, 1.0f, blend), false);
        }
    } else {
        canvas.RenderRect(whole, RenderBlendFactor::One, RenderBlendFactor::Zero, Color(1.0f, 1.0f, 1.0f, 0.0f));
    }
    RenderPortalMask(canvas);

    canvas.SetDefaultState();
    canvas.SetTargetSurface(target);
    canvas.SetViewport(viewport);
    canvas.SetColorWriteMode(RenderWriteMode::On);
    canvas.SetAlphaWriteMode(RenderWriteMode::Off);
    canvas.SetDepthTestFunction(RenderTestFunction::Always);
    canvas.RenderRect(whole, whole, gTargets.frame->GetTexture(), RenderBlendFactor::InverseSourceAlpha,
                      RenderBlendFactor::SourceAlpha, kWhite, false);
    canvas.SetDefaultState();
}

void GraphicsNormalRenderer::RenderLightStyle(GraphicsCanvas& canvas, const GraphicsLight& light, const Name& style,
                                              unsigned clearFlags) {
    LightRecord record;
    record.light = &light;
    record.scissor = GetViewport().GetRect();
    const WorldCoords& coords = light.GetObjectToWorldCoords();
    record.sphere = Sphere(GetRegionToSceneCoords(coords.GetRegion()).TransformPoint(coords.GetRegionCoords().origin),
                          light.GetRadius());
    currentLight_ = &record;
    if (clearFlags != 0) {
        canvas.SetClearColor(backgroundColor_);
        canvas.Clear(clearFlags, 1.0f);
    }
    if (rendering_) {
        canvas.EnableWireframe(wireframe_);
        mem::vector<RenderablePass> passes;
        CollectPasses(passes, style, kMinSortOrder, kMaxSortOrder, nullptr, &light);
        RenderPasses(canvas, passes, style);
        canvas.SetDefaultState();
        canvas.EnableWireframe(false);
    }
    currentLight_ = nullptr;
}

void GraphicsNormalRenderer::PostProcess(GraphicsCanvas& canvas) {
    if (!bloom_ || !(bloomParams_.x > 0.0f && bloomParams_.y > 0.25f)) return;
    canvas.SetViewport(GetViewport());
    canvas.HotBlurFrameBuffer(512, 512, bloomParams_.x, bloomParams_.y, bloomParams_.z);
}

}  // namespace GAME
