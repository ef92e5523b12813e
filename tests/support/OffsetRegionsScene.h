#pragma once
// OffsetRegionsScene: a SceneWorld of regions placed at offsets in the world, for renderer tests
// of more than one region. Every region is seen from every other one; what a region shows, what
// stands in it across portals and the reflection planes its water hands out are the test's own
// functions. No portals and no entities.

#include <functional>
#include <map>
#include <vector>

#include "scene/SceneWorld.h"

namespace GAME::test {

class OffsetRegionsScene final : public SceneWorld {
public:
    using ContentsFunction =
        std::function<void(GraphicsSceneRenderer& renderer, Region* region, const Frustum& frustum)>;
    using PlanesFunction =
        std::function<void(GraphicsReflectionManager& manager, Region* region, const Frustum& frustum)>;

    explicit OffsetRegionsScene(ContentsFunction contents, PlanesFunction planes = nullptr,
                                ContentsFunction elements = nullptr)
        : contents_(std::move(contents)), planes_(std::move(planes)), elements_(std::move(elements)) {}

    void AddRegion(Region* region, const IntVec3& offset) {
        regions_.push_back(region);
        offsets_[region] = offset;
    }

    void AddRegionContents(GraphicsSceneRenderer& renderer, Region* region, const Frustum& regionFrustum, Region*,
                           const Frustum*) override {
        if (contents_) contents_(renderer, region, regionFrustum);
    }
    void GetRegionsInFrustum(mem::vector<Region*>& out, Region*, const Frustum&, bool) override {
        out.assign(regions_.begin(), regions_.end());
    }
    void AddElementsInFrustum(GraphicsSceneRenderer& renderer, Region* region, const Frustum& frustum) override {
        if (elements_) elements_(renderer, region, frustum);
    }
    void RenderPortals(GraphicsPrimitiveDrawer&, Region*, const Coords&, bool) override {}
    void AddReflectionPlanes(GraphicsReflectionManager& manager, Region* region,
                             const Frustum& regionFrustum) override {
        if (planes_) planes_(manager, region, regionFrustum);
    }
    IntVec3 GetOffsetFromWorld(const Region* region) const override {
        const auto found = offsets_.find(region);
        return found != offsets_.end() ? found->second : IntVec3();
    }
    void GetEntitiesInSphere(mem::vector<Entity*>&, Region*, const Sphere&) override {}
    void GetEntitiesInFrustum(mem::vector<Entity*>&, Region*, const Frustum&) override {}
    Coords GetRegionToRegionCoords(const Region* from, const Region* to) const override {
        const IntVec3 d = GetOffsetFromWorld(from) - GetOffsetFromWorld(to);
        return Coords::Translation(Vec3(float(d.x), float(d.y), float(d.z)));
    }

private:
    ContentsFunction contents_;
    PlanesFunction planes_;
    ContentsFunction elements_;
    std::vector<Region*> regions_;
    std::map<const Region*, IntVec3> offsets_;
};

}  // namespace GAME::test
