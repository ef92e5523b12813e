#include "scene/GraphicsShadowMap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "core/Singleton.h"
#include "core/Sphere.h"
#include "core/WorldCoords.h"
#include "engine/Actor.h"
#include "engine/Engine.h"
#include "engine/FilterFunction.h"
#include "render/Camera.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsEngine.h"
#include "render/InputDevice.h"
#include "scene/GraphicsRenderable.h"
#include "scene/GraphicsShadowMapRenderer.h"
#include "scene/SceneWorld.h"

namespace GAME {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

bool IsFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

const Name& ShadowStyle() {
    static const Name name = Name::Create("shadow");
    return name;
}

const Name& PointShadowStyle() {
    static const Name name = Name::Create("pLightShadowStyle");
    return name;
}

Vec3 Abs(const Vec3& v) { return Vec3(std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)); }

// The input device's code for caps lock, down while it is toggled on.
constexpr unsigned kCapsLockKey = 58;

bool IsCapsLockOn() {
    const InputDevice* input = gEngine != nullptr ? gEngine->GetInputDevice() : nullptr;
    return input != nullptr && input->IsKeyDown(kCapsLockKey);
}

// Bounds of points, with extents no smaller than kMinExtent.
struct Bounds {
    Vec3 min{kInfinity, kInfinity, kInfinity};
    Vec3 max{-kInfinity, -kInfinity, -kInfinity};

    void Add(const Vec3& p) {
        min = Vec3(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
        max = Vec3(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
    }
    Vec3 Extent() const {
        const float e = GraphicsShadowMap::kMinExtent;
        return Vec3(std::max(max.x - min.x, e), std::max(max.y - min.y, e), std::max(max.z - min.z, e));
    }
};

// The transformed point after the division by w; false when w is not positive.
bool Project(const Mat4& m, const Vec3& p, Vec3& out) {
    const float w = m(3, 0) * p.x + m(3, 1) * p.y + m(3, 2) * p.z + m(3, 3);
    if (!(w > 1e-6f)) return false;
    out = Vec3(m(0, 0) * p.x + m(0, 1) * p.y + m(0, 2) * p.z + m(0, 3),
               m(1, 0) * p.x + m(1, 1) * p.y + m(1, 2) * p.z + m(1, 3),
               m(2, 0) * p.x + m(2, 1) * p.y + m(2, 2) * p.z + m(2, 3)) /
          w;
    return true;
}

// The whole of the target's depth (or colour) texture.
Viewport GetTargetViewport(const RenderSurface* target) {
    const RenderTexture* texture = target != nullptr ? target->GetDepthTexture() : nullptr;
    if (texture == nullptr && target != nullptr) texture = target->GetTexture();
    return texture != nullptr ? Viewport(0, 0, texture->GetWidth(), texture->GetHeight()) : Viewport();
}

// A frame looking along direction from position, with some perpendicular as up.
Coords LightFrame(const Vec3& position, const Vec3& direction) {
    return Coords::LookIn(position, direction, direction.GetPerpendicular());
}

Mat4 FitOrthographic(const Camera& camera, const Vec3& light, const Vec3* points, int count) {
    const Coords frame = LightFrame(camera.GetCoords().origin, light);
    const Coords toFrame = frame.Inverse();
    Bounds bounds;
    for (int i = 0; i < count; ++i) bounds.Add(toFrame.TransformPoint(points[i]));
    const Vec3 extent = bounds.Extent();
    const Vec3 corner((bounds.min.x + bounds.max.x) * 0.5f, (bounds.min.y + bounds.max.y) * 0.5f, bounds.min.z);
    const Coords moved = frame * Coords::Translation(corner);
    const Mat4 projection(-2.0f / extent.x, 0.0f, 0.0f, 0.0f,  //
                          0.0f, 2.0f / extent.y, 0.0f, 0.0f,   //
                          0.0f, 0.0f, 1.0f / extent.z, 0.0f,   //
                          0.0f, 0.0f, 0.0f, 1.0f);
    return projection * Mat4(moved.Inverse());
}

// False when a point lies behind the projection centre.
bool FitPerspectiveWarp(Mat4& out, const Camera& camera, const Vec3& light, float sine, const Vec3* points, int count) {
    const Vec3 view = camera.GetCoords().zAxis;
    const Vec3 up = -light;
    const Vec3 look = Cross(up, Cross(view, up)).Unit();
    const Coords frame = Coords::LookIn(camera.GetCoords().origin, look, up);
    const Coords toFrame = frame.Inverse();
    Bounds bounds;
    for (int i = 0; i < count; ++i) bounds.Add(toFrame.TransformPoint(points[i]));
    const float depth = bounds.Extent().z;
    const float zn = 1.0f / sine;
    const float n = (zn + std::sqrt(zn * (zn + depth * sine))) / sine;
    const float f = n + depth;
    const Coords warp = Coords::LookIn(camera.GetCoords().origin - look * (10.0f * (n - 1.0f)), look, up);
    const Mat4 perspective(-1.0f, 0.0f, 0.0f, 0.0f,  //
                           0.0f, 1.0f, 0.0f, 0.0f,   //
                           0.0f, 0.0f, (f + n) / (f - n), -2.0f * f * n / (f - n),  //
                           0.0f, 0.0f, 1.0f, 0.0f);
    const Mat4 warped = perspective * Mat4(warp.Inverse());
    Bounds image;
    for (int i = 0; i < count; ++i) {
        Vec3 p;
        if (!Project(warped, points[i], p)) return false;
        image.Add(p);
    }
    const Vec3 e = image.Extent();
    // Warped x across the map, warped z (away from the camera) down it, warped y (towards the
    // light) to the depth.
    const Mat4 fit(2.0f / e.x, 0.0f, 0.0f, -(image.min.x + image.max.x) / e.x,  //
                   0.0f, 0.0f, 2.0f / e.z, -(image.min.z + image.max.z) / e.z,  //
                   0.0f, -1.0f / e.y, 0.0f, image.max.y / e.y,                  //
                   0.0f, 0.0f, 0.0f, 1.0f);
    out = fit * warped;
    return true;
}

// The trapezoid of the points in the light's image plane (see the header), warped onto the
// square; depth is the light-space depth scaled by the projection's w so that it stays in 0..1.
Mat4 FitTrapezoid(const Camera& camera, const Vec3& light, const Vec3* points, int count) {
    const Coords toLight = LightFrame(Vec3(), light).Inverse();
    const Vec3 eye = toLight.TransformPoint(camera.GetCoords().origin);
    const Vec3 focus =
        toLight.TransformPoint(camera.GetCoords().origin + camera.GetCoords().zAxis * GraphicsShadowMap::kFocusDistance);
    const Vec3 axis = Vec3(focus.x - eye.x, focus.y - eye.y, 0.0f).Unit();
    const Vec3 side(-axis.y, axis.x, 0.0f);
    float top = kInfinity, base = -kInfinity, zMin = kInfinity, zMax = -kInfinity;
    for (int i = 0; i < count; ++i) {
        const Vec3 p = toLight.TransformPoint(points[i]);
        const float along = Dot(Vec3(p.x - eye.x, p.y - eye.y, 0.0f), axis);
        top = std::min(top, along);
        base = std::max(base, along);
        zMin = std::min(zMin, p.z);
        zMax = std::max(zMax, p.z);
    }
    const float lambda = std::max(base - top, GraphicsShadowMap::kMinExtent);
    const float delta = std::clamp(Dot(focus - eye, axis) - top, 0.1f * lambda, 0.5f * lambda);
    const float eta = lambda * delta * 0.4f / (lambda * 1.6f - 2.0f * delta);
    if (gEngine != nullptr && gEngine->GetGraphicsEngine() != nullptr &&
        gEngine->GetGraphicsEngine()->GetShadowDebugging() && gEngine->GetGraphicsEngine()->AreStatsEnabled()) {
        gEngine->AddStatisticText("eta = %f", double(eta));
    }
    // The projection point, and a point's distance from it along the axis (a) and across (b).
    const Vec3 centre = Vec3(eye.x, eye.y, 0.0f) + axis * (top - eta);
    const float axisOffset = -Dot(centre, axis);
    const float sideOffset = -Dot(centre, side);
    float slopeMin = kInfinity, slopeMax = -kInfinity;
    for (int i = 0; i < count; ++i) {
        const Vec3 p = toLight.TransformPoint(points[i]);
        const float a = axis.x * p.x + axis.y * p.y + axisOffset;
        const float b = side.x * p.x + side.y * p.y + sideOffset;
        slopeMin = std::min(slopeMin, b / a);
        slopeMax = std::max(slopeMax, b / a);
    }
    const float slopeMid = (slopeMin + slopeMax) * 0.5f;
    const float slopeHalf = std::max((slopeMax - slopeMin) * 0.5f, GraphicsShadowMap::kMinExtent);
    // The legs go to x = -1 and 1; the top line (a = eta) to y = -1, the base (a = eta + lambda)
    // to y = 1: y = A + B / a.
    const float far = eta + lambda;
    const float a = -1.0f + 2.0f * far / lambda;
    const float b = -2.0f * eta * far / lambda;
    const float zScale = eta / std::max(zMax - zMin, GraphicsShadowMap::kMinExtent);
    const Mat4 homography((side.x - slopeMid * axis.x) / slopeHalf, (side.y - slopeMid * axis.y) / slopeHalf, 0.0f,
                          (sideOffset - slopeMid * axisOffset) / slopeHalf,  //
                          a * axis.x, a * axis.y, 0.0f, a * axisOffset + b,  //
                          0.0f, 0.0f, zScale, -zScale * zMin,                //
                          axis.x, axis.y, 0.0f, axisOffset);
    const Mat4 warped = homography * Mat4(toLight);
    Bounds image;
    for (int i = 0; i < count; ++i) {
        Vec3 p;
        if (Project(warped, points[i], p)) image.Add(p);
    }
    return MakeCropMatrix(image.min.x, image.min.y, image.max.x, image.max.y) * warped;
}

}  // namespace

GraphicsShadowMap::GraphicsShadowMap(const GraphicsLight& light, Region* region, SceneWorld* world)
    : light_(light),
      region_(region),
      world_(world),
      casterMin_(kInfinity, kInfinity, kInfinity),
      casterMax_(-kInfinity, -kInfinity, -kInfinity),
      boundsMin_(kInfinity, kInfinity, kInfinity),
      boundsMax_(-kInfinity, -kInfinity, -kInfinity) {
    const Coords lightToRegion = GetLightToRegionCoords();
    if (light.GetType() == GraphicsLight::Type::Directional) {
        lightFrame_ = Coords::LookIn(Vec3(), lightToRegion.zAxis, Vec3(0.0f, 1.0f, 0.0f));
    } else {
        lightFrame_ = Coords::Translation(lightToRegion.origin);
    }
    worldToLight_ = lightFrame_.Inverse();
}

Coords GraphicsShadowMap::GetLightToRegionCoords() const {
    const WorldCoords& coords = light_.GetObjectToWorldCoords();
    if (world_ == nullptr || region_ == nullptr) return coords.GetRegionCoords();
    return world_->GetRegionToRegionCoords(coords.GetRegion(), region_) * coords.GetRegionCoords();
}

bool GraphicsShadowMap::AddSurface(const RenderablePass& pass, bool castsShadow) {
    const ABBox& box = pass.sceneBox;
    if (!IsFinite(box.centre) || !IsFinite(box.halfSize)) return false;
    const Vec3 low = box.centre - box.halfSize;
    const Vec3 high = box.centre + box.halfSize;
    boundsMin_ = Vec3(std::min(boundsMin_.x, low.x), std::min(boundsMin_.y, low.y), std::min(boundsMin_.z, low.z));
    boundsMax_ = Vec3(std::max(boundsMax_.x, high.x), std::max(boundsMax_.y, high.y), std::max(boundsMax_.z, high.z));
    if (!castsShadow) return true;
    const Vec3 centre = worldToLight_.TransformPoint(box.centre);
    const Vec3 half = Abs(worldToLight_.xAxis) * box.halfSize.x + Abs(worldToLight_.yAxis) * box.halfSize.y +
                      Abs(worldToLight_.zAxis) * box.halfSize.z;
    casterMin_ = Vec3(std::min(casterMin_.x, centre.x - half.x), std::min(casterMin_.y, centre.y - half.y),
                      std::min(casterMin_.z, centre.z - half.z));
    casterMax_ = Vec3(std::max(casterMax_.x, centre.x + half.x), std::max(casterMax_.y, centre.y + half.y),
                      std::max(casterMax_.z, centre.z + half.z));
    surfaces_.push_back(pass);
    return true;
}

void GraphicsShadowMap::SetUpRenderer(GraphicsShadowMapRenderer& renderer) const {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (graphics != nullptr) {
        renderer.SetGenerationId(graphics->GetGenerationId());
        renderer.EnableTerrain(graphics->IsTerrainEnabled());
        renderer.EnableGridTiles(graphics->AreGridTilesEnabled());
        renderer.EnableMeshes(graphics->AreMeshesEnabled());
    }
    renderer.EnableGrass(false);
    renderer.EnableEffects(false);
    renderer.EnableDecals(false);
    renderer.EnableWater(false);
    // The light's own region, placed for its position constant.
    const WorldCoords& coords = light_.GetObjectToWorldCoords();
    if (world_ != nullptr && region_ != nullptr) {
        renderer.SetRegionToSceneCoords(coords.GetRegion(), world_->GetRegionToRegionCoords(coords.GetRegion(), region_));
    }
}

void GraphicsShadowMap::AddEntity(GraphicsShadowMapRenderer& renderer, Entity* entity) const {
    Region* region = entity->GetRegion();
    if (region == nullptr) return;
    renderer.AddRegionToScene(region, world_->GetRegionToRegionCoords(region, region_), nullptr);
    entity->AddToScene(renderer, nullptr);
}

void GraphicsShadowMap::AddCastingSurfaces(GraphicsShadowMapRenderer& renderer) const {
    mem::vector<const GraphicsRenderable*> added;
    for (const RenderablePass& pass : surfaces_) {
        if (std::find(added.begin(), added.end(), pass.renderable) != added.end()) continue;
        added.push_back(pass.renderable);
        renderer.SetRegionToSceneCoords(pass.region, pass.regionToScene);
        renderer.AddRenderable(pass.renderable, pass.region);
    }
}

// -- Point lights ------------------------------------------------------------------------------

bool GraphicsShadowMap::RenderPoint(GraphicsCanvas& canvas, const Vec3& faceDirection, RenderSurface* target,
                                    Mat4& worldToMap) {
    const Vec3 position = GetLightToRegionCoords().origin;
    const Vec3 l = -faceDirection.Unit();
    const Vec3 p = l.GetPerpendicular();
    const Coords face(Cross(l, p), l, p, position);
    const Mat4 worldToFace(face.Inverse());

    GraphicsShadowMapRenderer renderer(light_, region_, world_);
    SetUpRenderer(renderer);
    const Viewport viewport = GetTargetViewport(target);
    renderer.SetWorldToScreenMatrix(worldToFace, viewport);
    if (world_ != nullptr) {
        mem::vector<Entity*> entities;
        world_->GetEntitiesInSphere(entities, region_, Sphere(position, light_.GetRadius()));
        for (Entity* entity : entities) AddEntity(renderer, entity);
    } else {
        AddCastingSurfaces(renderer);
    }
    renderer.Render(canvas, target, PointShadowStyle());
    worldToMap = worldToFace;
    return true;
}

// -- Directional lights ------------------------------------------------------------------------

void GraphicsShadowMap::MakeSweptVolume(Frustum& out, const Frustum& viewFrustum, const Vec3& boundsMin,
                                        const Vec3& boundsMax, const Vec3& lightDirection) {
    Frustum bounded = viewFrustum;
    const Vec3 centre = (boundsMin + boundsMax) * 0.5f;
    const Frustum box = Frustum::FromBox(ABBox(centre, boundsMax - centre));
    for (uint32_t i = 0; i < box.GetNumPlanes(); ++i) bounded.AddPlane(box.GetPlane(i));
    out = Frustum();
    Frustum::Extrude(out, bounded, lightDirection);
}

float GraphicsShadowMap::GetLowestExtent(const ABBox& box, const Vec3& direction) {
    return Dot(box.centre, direction) - Dot(box.halfSize, Abs(direction));
}

Mat4 GraphicsShadowMap::GetTextureBias() {
    return Mat4(0.5f, 0.0f, 0.0f, 0.5f,   //
                0.0f, -0.5f, 0.0f, 0.5f,  //
                0.0f, 0.0f, 1.0f, 0.0f,   //
                0.0f, 0.0f, 0.0f, 1.0f);
}

const Camera& GraphicsShadowMap::GetTrapezoidCamera(const Camera& camera, bool frozen) {
    static std::optional<Camera> held;
    if (frozen && held) return *held;
    held = camera;
    return camera;
}

bool GraphicsShadowMap::Fit(Mat4& out, int algorithm, const Camera& givenCamera, const Vec3& lightDirection,
                            const Vec3* points, int count) {
    if (algorithm < kOrthographic || algorithm > kTrapezoidal || count <= 0) return false;
    const Camera& camera = algorithm == kTrapezoidal ? GetTrapezoidCamera(givenCamera, IsCapsLockOn()) : givenCamera;
    const Vec3 light = lightDirection.Unit();
    const float cosine = std::clamp(Dot(camera.GetCoords().zAxis, light), -1.0f, 1.0f);
    const float sine = std::sqrt(1.0f - cosine * cosine);
    if (algorithm == kPerspectiveWarp && sine >= kMinWarpSine &&
        FitPerspectiveWarp(out, camera, light, sine, points, count)) {
        return true;
    }
    if (algorithm == kTrapezoidal && sine >= kMinWarpSine) {
        out = FitTrapezoid(camera, light, points, count);
        return true;
    }
    out = FitOrthographic(camera, light, points, count);
    return true;
}

bool GraphicsShadowMap::RenderDirectional(GraphicsCanvas& canvas, const Camera& camera, const Frustum& viewFrustum,
                                          int algorithm, RenderSurface* target, Mat4& worldToMap) {
    if (algorithm < kOrthographic || algorithm > kTrapezoidal) return false;
    GraphicsShadowMapRenderer renderer(light_, region_, world_);
    SetUpRenderer(renderer);
    const Viewport viewport = GetTargetViewport(target);
    if (surfaces_.empty()) {
        renderer.SetWorldToScreenMatrix(Mat4(), viewport);
        renderer.Render(canvas, target, ShadowStyle());
        return true;
    }

    const Vec3 light = GetLightToRegionCoords().zAxis.Unit();
    Frustum volume;
    MakeSweptVolume(volume, viewFrustum, boundsMin_, boundsMax_, light);

    // The volume starts at the nearest shadow caster.
    mem::vector<Entity*> entities;
    float nearest = kInfinity;
    if (world_ != nullptr) {
        world_->GetEntitiesInFrustum(entities, region_, volume);
        for (const Entity* entity : entities) {
            const Actor* actor = dynamic_cast<const Actor*>(entity);
            if (actor == nullptr || !actor->IsVisible() || !actor->GetCastsShadows() || actor->GetRegion() == nullptr) {
                continue;
            }
            ABBox box = actor->GetRegionBoundingBox(false);
            box.centre = world_->GetRegionToRegionCoords(actor->GetRegion(), region_).TransformPoint(box.centre);
            nearest = std::min(nearest, GetLowestExtent(box, light));
        }
    } else {
        for (const RenderablePass& pass : surfaces_) nearest = std::min(nearest, GetLowestExtent(pass.sceneBox, light));
    }
    if (nearest == kInfinity) {
        const Vec3 centre = (boundsMin_ + boundsMax_) * 0.5f;
        nearest = GetLowestExtent(ABBox(centre, boundsMax_ - centre), light);
    }
    if (std::isfinite(nearest)) volume.AddPlane(Plane(light, -nearest));
    for (uint32_t i = 0; i < volume.GetNumPlanes(); ++i) {
        if (!IsFinite(volume.GetPlane(i).normal)) return false;
    }

    Vec3 corners[kMaxCornerPoints];
    const int count = Frustum::GetCornerPoints(corners, kMaxCornerPoints, volume);
    Mat4 fitted;
    if (!Fit(fitted, algorithm, camera, light, corners, count)) {
        // Nothing seen: an empty map.
        renderer.SetWorldToScreenMatrix(Mat4(), viewport);
        renderer.Render(canvas, target, ShadowStyle());
        return true;
    }
    worldToMap = GetTextureBias() * fitted;

    if (world_ != nullptr) {
        const FilterFunction<Entity>* filter = gEngine != nullptr ? gEngine->GetEntityRenderFilter() : nullptr;
        for (Entity* entity : entities) {
            if (filter == nullptr || (*filter)(entity)) AddEntity(renderer, entity);
        }
    } else {
        AddCastingSurfaces(renderer);
    }

    GraphicsEngine* graphics = GetEngineGraphics();
    if (graphics != nullptr && graphics->GetShadowDebugging() && graphics->AreStatsEnabled()) {
        gEngine->AddStatisticText("Directional shadow: %d planes in frustum.", int(volume.GetNumPlanes()));
        for (int row = 0; row < 4; ++row) {
            gEngine->AddStatisticText("%s<%.4f, %.4f, %.4f, %.4f>", row == 0 ? " matrix: " : "         ",
                                      double(fitted(row, 0)), double(fitted(row, 1)), double(fitted(row, 2)),
                                      double(fitted(row, 3)));
        }
    }
    renderer.SetWorldToScreenMatrix(fitted, viewport);
    renderer.Render(canvas, target, ShadowStyle());
    return true;
}

void GraphicsShadowMap::DrawLabels(const char* text, const Color& color) const {
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    for (const RenderablePass& pass : surfaces_) debug.RenderText(text, region_, pass.sceneBox.centre, color);
}

void GraphicsShadowMap::DebugStatistics() const {
    if (gEngine == nullptr) return;
    gEngine->AddStatisticText("numSurfaces = %d", int(surfaces_.size()));
    gEngine->AddStatisticText("xSize       = %f", double(casterMax_.x - casterMin_.x));
    gEngine->AddStatisticText("ySize       = %f", double(casterMax_.y - casterMin_.y));
}

}  // namespace GAME
