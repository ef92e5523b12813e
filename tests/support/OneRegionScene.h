#pragma once
// OneRegionScene: a SceneWorld of one region at the world's origin, for renderer tests. What the
// region shows and the reflection planes its water hands out are the test's own functions; it has
// no portals, no elements across them and no entities (so no shadow casters).

#include <functional>

#include "scene/SceneWorld.h"

namespace GAME::test {

class OneRegionScene final : public SceneWorld {
public:
    using ContentsFunction = std::function<void(GraphicsSceneRenderer& renderer, const Frustum& frustum)>;
    using PlanesFunction = std::function<void(GraphicsReflectionManager& manager, const Frustum& frustum)>;

    OneRegionScene(Region* region, ContentsFunction contents, PlanesFunction planes)
        : region_(region), contents_(std::move(contents)), planes_(std::move(planes)) {}

    void AddRegionContents(GraphicsSceneRenderer& renderer, Region*, const Frustum& regionFrustum, Region*,
                           const Frustum*) override {
        if (contents_) contents_(renderer, regionFrustum);
    }
    void GetRegionsInFrustum(mem::vector<Region*>& out, Region*, const Frustum&, bool) override {
        out.assign(1, region_);
    }
    void AddElementsInFrustum(GraphicsSceneRenderer&, Region*, const Frustum&) override {}
    void RenderPortals(GraphicsPrimitiveDrawer&, Region*, const Coords&, bool) override {}
    void AddReflectionPlanes(GraphicsReflectionManager& manager, Region*, const Frustum& regionFrustum) override {
        if (planes_) planes_(manager, regionFrustum);
    }
    IntVec3 GetOffsetFromWorld(const Region*) const override { return IntVec3(0, 0, 0); }
    void GetEntitiesInSphere(mem::vector<Entity*>&, Region*, const Sphere&) override {}
    void GetEntitiesInFrustum(mem::vector<Entity*>&, Region*, const Frustum&) override {}
    Coords GetRegionToRegionCoords(const Region*, const Region*) const override { return Coords(); }

private:
    Region* region_;
    ContentsFunction contents_;
    PlanesFunction planes_;
};

}  // namespace GAME::test
