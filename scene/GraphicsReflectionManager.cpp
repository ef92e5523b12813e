#include "scene/GraphicsReflectionManager.h"

#include <algorithm>
#include <cmath>

#include "core/Frustum.h"
#include "core/Singleton.h"
#include "render/Camera.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsCanvas.h"
#include "scene/GraphicsLight.h"
#include "scene/GraphicsNormalRenderer.h"
#include "scene/SceneWorld.h"

namespace GAME {

namespace {

constexpr size_t kPlanesReserved = 10;
constexpr size_t kBoundsReserved = 100;

const Name& ReflectionStyle() {
    static const Name name = Name::Create("reflectionStyle");
    return name;
}

// The frame mirrored in the plane, its second axis then negated: a rigid frame again.
Coords ReflectCameraCoords(const Coords& coords, const Plane& plane) {
    const Vec3& n = plane.normal;
    const auto reflect = [&n](const Vec3& a) { return a - n * (2.0f * Dot(n, a)); };
    return Coords(reflect(coords.xAxis), -reflect(coords.yAxis), reflect(coords.zAxis),
                  coords.origin - n * (2.0f * plane.GetDistance(coords.origin)));
}

}  // namespace

GraphicsReflectionManager::GraphicsReflectionManager(SceneWorld* world) : world_(world) {}

GraphicsReflectionManager::~GraphicsReflectionManager() = default;

Vec3 GraphicsReflectionManager::GetOffset(const Region* from, const Region* to) const {
    if (world_ == nullptr || from == nullptr || to == nullptr || from == to) return Vec3();
    const IntVec3 a = world_->GetOffsetFromWorld(from);
    const IntVec3 b = world_->GetOffsetFromWorld(to);
    return Vec3(float(a.x - b.x), float(a.y - b.y), float(a.z - b.z));
}

void GraphicsReflectionManager::AddReflectionPlane(GraphicsReflectionPlane& plane) {
    if (plane.region == nullptr) return;
    for (PlaneGroup& group : groups_) {
        if (Dot(group.plane.normal, plane.plane.normal) <= kMergeDot) continue;
        const ABBox box(plane.box.centre + GetOffset(plane.region, group.region), plane.box.halfSize);
        if (std::fabs(box.centre.y - group.box.centre.y) > kMergeHeight) continue;
        group.box = ABBox::Union(group.box, box);
        group.planes.push_back(&plane);
        return;
    }
    PlaneGroup& group = groups_.emplace_back();
    group.plane = plane.plane;
    group.box = plane.box;
    group.region = plane.region;
    group.planes.reserve(kPlanesReserved);
    group.elementBounds.reserve(kBoundsReserved);
    group.planes.push_back(&plane);
}

void GraphicsReflectionManager::UpdatePlaneElementBounds(const GraphicsReflectionPlane* plane, const ABBox& box) {
    for (PlaneGroup& group : groups_) {
        for (const GraphicsReflectionPlane* member : group.planes) {
            if (member != plane) continue;
            group.elementBounds.emplace_back(box.centre + GetOffset(plane->region, group.region), box.halfSize);
            return;
        }
    }
}

int GraphicsReflectionManager::RenderReflections(GraphicsCanvas& canvas, const RenderSet& set) {
    if (set.camera == nullptr) return 0;
    GatherPlanes(set);
    int rendered = 0;
    for (PlaneGroup& group : groups_) {
        if (RenderGroup(canvas, set, group)) ++rendered;
    }
    return rendered;
}

void GraphicsReflectionManager::GatherPlanes(const RenderSet& set) {
    if (world_ == nullptr || set.region == nullptr) return;
    const Frustum frustum = set.camera->GetFrustum(set.viewport);
    mem::vector<Region*> regions;
    world_->GetRegionsInFrustum(regions, set.region, frustum, false);
    for (Region* region : regions) {
        Frustum regionFrustum = frustum;
        regionFrustum.Translate(GetOffset(set.region, region));
        world_->AddReflectionPlanes(*this, region, regionFrustum);
    }
}

bool GraphicsReflectionManager::RenderGroup(GraphicsCanvas& canvas, const RenderSet& set, PlaneGroup& group) {
    GraphicsNormalRenderer renderer(world_);
    Camera camera = *set.camera;
    const Viewport viewport(0, 0, kSurfaceSize, kSurfaceSize);
    if (set.viewport.height > 0) camera.SetCameraAspect(float(set.viewport.width) / float(set.viewport.height));

    const Vec3 groupOrigin = GetOffset(group.region, set.region);
    const Plane plane(group.plane.normal, group.plane.d - Dot(group.plane.normal, groupOrigin));
    camera.SetCoords(ReflectCameraCoords(camera.GetCoords(), plane));
    Vec2 min, max;
    if (!camera.GetMinImageRect(viewport, groupOrigin, group.elementBounds, min, max)) return false;
    const Frustum frustum = camera.GetSubFrustum(min, max, camera.GetFarPlane(), viewport);

    renderer.SetViewer(set.region, camera, viewport, frustum);
    renderer.ShowLights(false);
    renderer.EnableRendering(true);
    renderer.EnableWireframe(false);
    renderer.EnableLighting(false);
    renderer.EnableShadows(false);
    renderer.EnableFog(false);
    renderer.EnableTerrain(true);
    renderer.EnableGrass(true);
    renderer.EnableGridTiles(true);
    renderer.EnableMeshes(true);
    renderer.EnableDecals(true);
    renderer.EnableEffects(true);
    renderer.EnableWater(false);
    renderer.BuildScene(false);
    if (set.region != nullptr) renderer.SetRegionToSceneCoords(set.region, Coords());
    if (set.skyAmbient != nullptr) renderer.SetSkyAmbientColor(*set.skyAmbient);
    if (set.groundAmbient != nullptr) renderer.SetGroundAmbientColor(*set.groundAmbient);

    canvas.SetDefaultState();
    RenderSurface* surface =
        canvas.CreateTemporaryTextureSurface(kSurfaceSize, kSurfaceSize, RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    if (surface == nullptr) return false;
    RenderSurface* const savedTarget = canvas.GetTargetSurface();
    const Viewport savedViewport = canvas.GetViewport();
    group.surface = surface;
    canvas.SetTargetSurface(surface);
    canvas.SetViewport(viewport);
    canvas.SetClearColor(Color(0.0f, 0.0f, 0.0f, 0.0f));
    canvas.Clear(RenderDevice::kClearColor | RenderDevice::kClearDepth, 1.0f);

    const auto texel = [](float at, float widen) {
        return std::clamp(at * float(kSurfaceSize) + widen, 0.0f, float(kSurfaceSize));
    };
    const float left = std::floor(texel(min.x, -kReadMargin));
    const float top = std::floor(texel(min.y, -kReadMargin));
    canvas.SetClippingRect(
        Rect(left, top, std::ceil(texel(max.x, kReadMargin)) - left, std::ceil(texel(max.y, kReadMargin)) - top),
        false);
    renderer.SetClippingPlane(plane);
    renderer.SetCanvasClippingPlane(canvas);
    GraphicsLight dark;
    dark.SetColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    renderer.RenderLightStyle(canvas, set.sun != nullptr ? *set.sun : dark, ReflectionStyle(), 0);

    canvas.ClearClippingPlane(0);
    canvas.ClearClippingRect();
    canvas.SetTargetSurface(savedTarget);
    canvas.SetViewport(savedViewport);
    for (GraphicsReflectionPlane* member : group.planes) member->surface = surface;
    return true;
}

void GraphicsReflectionManager::RenderActivePlaneBounds() const {
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    for (const PlaneGroup& group : groups_) {
        debug.RenderBox(group.region, group.box, Color(0.0f, 1.0f, 1.0f, 1.0f));
        for (const ABBox& box : group.elementBounds) debug.RenderBox(group.region, box, Color(1.0f, 0.0f, 1.0f, 1.0f));
    }
}

}  // namespace GAME
