#pragma once
// WorldIntersection: the result of a world ray query: how far along the ray, where (in the region
// where the hit was found) and what was hit. The default is "nothing hit".

#include "core/MathUtil.h"
#include "core/WorldVec3.h"

namespace GAME {

class Entity;

struct WorldIntersection {
    float distance = Infinity;  // t along the ray; +infinity when nothing was hit
    WorldVec3 position;         // the hit point, relative to the region it was found in
    Entity* entity = nullptr;   // the entity hit; null for ground and other level geometry
};

}  // namespace GAME
