#pragma once
// WorldScene: the world's side of the scene renderers (SceneWorld): a region shows its level's
// entities in view (those standing in the transparency frustum made see-through first) and its
// ground; the regions in view come from the World; a region's portals make its portal mask.
//
// A region's level is drawn only once it is loaded; asking for it marks the region used, so a
// region on screen is never unloaded.

#include "scene/SceneWorld.h"

namespace GAME {

class Entity;
class World;

class WorldScene final : public SceneWorld {
public:
    // Without a world, no regions are in view.
    explicit WorldScene(World* world) : world_(world) {}

    void AddRegionContents(GraphicsSceneRenderer& renderer, Region* region, const Frustum& regionFrustum,
                           Region* transparencyRegion, const Frustum* transparencyFrustum) override;
    void GetRegionsInFrustum(mem::vector<Region*>& out, Region* viewer, const Frustum& frustum,
                             bool includeUnloaded) override;
    void AddElementsInFrustum(GraphicsSceneRenderer& renderer, Region* region, const Frustum& frustum) override;
    void RenderPortals(GraphicsPrimitiveDrawer& drawer, Region* region, const Coords& regionToScene,
                       bool shadowCastersOnly) override;
    void AddReflectionPlanes(GraphicsReflectionManager& manager, Region* region, const Frustum& regionFrustum) override;
    IntVec3 GetOffsetFromWorld(const Region* region) const override;
    void GetEntitiesInSphere(mem::vector<Entity*>& out, Region* region, const Sphere& sphere) override;
    void GetEntitiesInFrustum(mem::vector<Entity*>& out, Region* region, const Frustum& frustum) override;
    Coords GetRegionToRegionCoords(const Region* from, const Region* to) const override;

private:
    World* world_;
    mem::vector<Entity*> scratch_;  // reused by every query of a frame
};

}  // namespace GAME
