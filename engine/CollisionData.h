#pragma once
// CollisionData: one collision reported to an entity (Entity::CollisionCallback) by the physics
// step.

#include "core/PhysicsSurface.h"
#include "core/Vec3.h"

namespace GAME {

class Entity;

struct CollisionData {
    Entity* other = nullptr;                        // the entity collided with; null for the ground
    PhysicsSurface surface = PhysicsSurface::None;  // the surface hit
    Vec3 normal;                                    // the contact normal, in region space
    bool flag = false;                              // set by the physics step for its own use
};

}  // namespace GAME
