#pragma once
// Intersection: the result of a ray query against the world's geometry, filled by whatever the ray
// hit nearest. Queries keep the nearest hit by comparing distances, so the default is "nothing".

#include "core/MathUtil.h"
#include "core/PhysicsSurface.h"
#include "core/Vec3.h"

namespace GAME {

class Entity;

struct Intersection {
    float distance = Infinity;                      // t along the ray; +infinity when nothing was hit
    Vec3 point;                                     // the hit point, ray.GetPoint(distance)
    PhysicsSurface surface = PhysicsSurface::None;  // the surface hit
    Entity* entity = nullptr;                       // the entity hit; null for terrain, grid, water, decals
};

}  // namespace GAME
