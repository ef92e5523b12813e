#pragma once
// TerrainSpace: the loose quadtree of a terrain's objects. Box queries test every object of the
// nodes they reach (the terrain form of Space), so a box query answers exactly the objects whose
// bounds meet the box.

#include "terrain/TerrainObject.h"
#include "world/Space.h"

namespace GAME {

struct TerrainObjectSpaceTraits {
    static SpaceLinks<TerrainObject>& GetLinks(TerrainObject& object) { return object.links_; }
    // Terrain objects have one box; queries never ask for another.
    static const ABBox& GetBoundingBox(const TerrainObject& object, bool) { return object.bounds_; }
    static void GetIntersection(const TerrainObject& object, const Ray& ray, Intersection& hit,
                                PhysicsSurface surface) {
        object.GetIntersection(ray, hit, surface);
    }
};

using TerrainSpace = Space<TerrainObject, TerrainObjectSpaceTraits, SpaceInsideNodes::TestEach>;

}  // namespace GAME
