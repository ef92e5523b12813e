#pragma once
// CollisionPair: one collision of a simulated entity with something else, built by rigid bodies
// and rag dolls from runs of consecutive contacts and handed to the entity's collision callback.

#include "core/PhysicsSurface.h"
#include "core/Vec3.h"

namespace GAME {

class Entity;

struct CollisionPair {
    Entity* entity = nullptr;                       // the simulated entity
    Entity* other = nullptr;                        // the entity hit; null for level geometry, terrain and water
    PhysicsSurface surface = PhysicsSurface::None;  // the surface hit
    Vec3 normal;                                    // the normal of the pair's first contact
    bool flag = true;                               // rigid bodies: always true; rag dolls: the cue for a fall or splash sound
};

}  // namespace GAME
