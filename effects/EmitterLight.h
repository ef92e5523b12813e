#pragma once
// EmitterLight: the point light of an emitter with the light flag. The emitter owns it (it is made
// with new, never by the object manager, and never attached to an entity) and places it at its
// offset every step; it lights the scene like any Light, and with the bounding-box flag of the
// scene renderer also shows a small sphere in its colour. Its box is not kept: the emitter's box
// already reaches the light's radius.

#include "core/WorldVec3.h"
#include "scene/Light.h"

namespace GAME {

class EmitterLight final : public Light {
public:
    void SetPosition(const WorldVec3& position);
    void UpdateBoundingBox() override {}
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) override;
};

}  // namespace GAME
