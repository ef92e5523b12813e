#include "scene/Light.h"

#include <algorithm>
#include <limits>

#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/Sphere.h"
#include "editor/EditorFilter.h"
#include "engine/Engine.h"
#include "files/LoadTable.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsEngine.h"
#include "scene/GraphicsLight.h"
#include "scene/GraphicsSceneRenderer.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(Light, Entity);

namespace {

bool InEditor() { return gEngine != nullptr && gEngine->IsEditorMode(); }

}  // namespace

bool Light::Load(const LoadTable& table) {
    if (!Entity::Load(table)) return false;
    radius_ = table.GetFloat("radius", 0.0f);
    color_ = Color(table.GetFloat("color.r", 0.0f), table.GetFloat("color.g", 0.0f), table.GetFloat("color.b", 0.0f),
                   1.0f);
    castsShadows_ = table.GetBool("castsShadows", false);
    return true;
}

Light::~Light() {
    // At shutdown the filter may be gone before the last objects.
    if (registered_ && Singleton<EditorFilter>::HasInstantiated())
        EditorFilter::Get()->RemoveFilterObject(GetObjectId());
}

void Light::InitialUpdate() {
    Entity::InitialUpdate();
    if (InEditor()) {
        EditorFilter::Get()->AddFilterObject(GetObjectId(), EditorFilterType::Light);
        registered_ = true;
    }
    UpdateBoundingBox();
}

void Light::SetIntensity(float intensity) { intensity_ = std::clamp(intensity, 0.0f, 1.0f); }

void Light::SetRadius(float radius) {
    radius_ = radius;
    UpdateBoundingBox();
}

void Light::UpdateBoundingBox() {
    SetRegionBoundingBox(ABBox(GetCoords().GetOrigin().GetRegionPosition(), Vec3(radius_, radius_, radius_)), false);
}

void Light::AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) {
    if (!enabled_) return;
    const Vec3 position = GetCoords().GetOrigin().GetRegionPosition();
    if (frustum != nullptr && !frustum->TestSphere(Sphere(position, radius_))) return;
    GraphicsLight light;
    light.SetType(GraphicsLight::Type::Point);
    light.SetColor(Color(color_.r * intensity_, color_.g * intensity_, color_.b * intensity_, 1.0f));
    light.SetObjectToWorldCoords(GetCoords());
    light.SetRadius(radius_);
    light.SetShadowIntensity(shadowIntensity_);
    light.SetCastsShadows(false);
    light.SetCastsSpecular(false);
    if (!simpleMode_) {
        const GraphicsEngine* graphics = GetEngineGraphics();
        const bool lowQuality = graphics != nullptr && graphics->UseLowQualityLighting();
        light.SetCastsSpecular(!lowQuality);
        light.SetCastsShadows(castsShadows_ && (!lowQuality || forceShadows_));
    }
    renderer.AddLight(light);
    if (renderer.IsRenderFlagSet(GraphicsSceneRenderer::kBoundingBoxes)) {
        Singleton<DebugRenderManager>::Get()->RenderSphere(GetRegion(), Sphere(position, kDebugSphereRadius),
                                                           light.GetColor());
    }
}

bool Light::GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) {
    intersection.distance = std::numeric_limits<float>::infinity();
    if (surface == PhysicsSurface{0} || !InEditor()) return false;
    const float distance = Sphere(GetCoords().GetOrigin().GetRegionPosition(), radius_).GetIntersection(ray);
    intersection.distance = distance;
    if (distance == std::numeric_limits<float>::infinity()) return false;
    intersection.point = ray.GetPoint(distance);
    intersection.entity = nullptr;
    return true;
}

}  // namespace GAME
