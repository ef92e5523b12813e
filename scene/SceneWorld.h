#pragma once
// SceneWorld: what the scene renderers ask of the world of regions. The renderers live in scene/,
// which may not include world/; the world layer implements this interface (WorldScene) and hands
// it to each renderer it builds. A renderer without one draws only what is added to it directly.

#include "core/Coords.h"
#include "core/IntVec3.h"
#include "core/Mem.h"

namespace GAME {

class Entity;
class Frustum;
class GraphicsPrimitiveDrawer;
class GraphicsReflectionManager;
class GraphicsSceneRenderer;
class Region;
struct Sphere;

class SceneWorld {
public:
    // Adds what the region shows inside regionFrustum (the region's space) to the renderer. With a
    // transparency frustum (in transparencyRegion's space; null for none), what stands inside it
    // is made see-through first.
    virtual void AddRegionContents(GraphicsSceneRenderer& renderer, Region* region, const Frustum& regionFrustum,
                                   Region* transparencyRegion, const Frustum* transparencyFrustum) = 0;
    // Replaces out by the viewer's region and the regions seen from it inside the frustum (the
    // viewer's space): those whose level is loaded, or all of them with includeUnloaded.
    virtual void GetRegionsInFrustum(mem::vector<Region*>& out, Region* viewer, const Frustum& frustum,
                                     bool includeUnloaded) = 0;
    // Adds the region's elements that stand inside the frustum (the region's space) and are drawn
    // across portals.
    virtual void AddElementsInFrustum(GraphicsSceneRenderer& renderer, Region* region, const Frustum& frustum) = 0;
    // Draws every portal of the region (only those that cast shadows with shadowCastersOnly),
    // placed by regionToScene, with the drawer's shader.
    virtual void RenderPortals(GraphicsPrimitiveDrawer& drawer, Region* region, const Coords& regionToScene,
                               bool shadowCastersOnly) = 0;
    // Adds the reflection planes of the region's water that the frustum (the region's space) sees.
    virtual void AddReflectionPlanes(GraphicsReflectionManager& manager, Region* region, const Frustum& regionFrustum) = 0;
    // The position of the region's origin in the world.
    virtual IntVec3 GetOffsetFromWorld(const Region* region) const = 0;
    // Appends the entities of the loaded levels that meet the sphere / the frustum (region's space),
    // for the shadow maps: in every region near the sphere, and in the region and those seen
    // through its open portals for the frustum.
    virtual void GetEntitiesInSphere(mem::vector<Entity*>& out, Region* region, const Sphere& sphere) = 0;
    virtual void GetEntitiesInFrustum(mem::vector<Entity*>& out, Region* region, const Frustum& frustum) = 0;
    // The frame that carries points of from's space into to's.
    virtual Coords GetRegionToRegionCoords(const Region* from, const Region* to) const = 0;
    // The height of the region's origin above the world's.
    float GetVerticalOffset(const Region* region) const { return float(GetOffsetFromWorld(region).y); }

protected:
    ~SceneWorld() = default;
};

}  // namespace GAME
