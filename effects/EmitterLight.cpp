#include "effects/EmitterLight.h"

#include "core/Singleton.h"
#include "core/Sphere.h"
#include "render/DebugRenderManager.h"
#include "scene/GraphicsSceneRenderer.h"

namespace GAME {

void EmitterLight::SetPosition(const WorldVec3& position) {
    SetCoords(WorldCoords(position.GetRegion(), Coords::Translation(position.GetRegionPosition())));
}

void EmitterLight::AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) {
    Light::AddToScene(renderer, frustum);
    if (!IsEnabled() || !renderer.IsRenderFlagSet(GraphicsSceneRenderer::kBoundingBoxes)) return;
    Singleton<DebugRenderManager>::Get()->RenderSphere(
        GetRegion(), Sphere(GetCoords().GetOrigin().GetRegionPosition(), 0.25f), GetColor());
}

}  // namespace GAME
