#pragma once
// CollisionContact: one point where a shape under test touches something. Every collision query
// (terrain, water, meshes, boxes) fills arrays of them; the physics step turns them into contact
// joints.

#include "core/PhysicsSurface.h"
#include "core/Vec3.h"

namespace GAME {

class Entity;

struct CollisionContact {
    Vec3 position;                                  // the contact point
    Vec3 normal;                                    // unit length; pushes the shape under test out
    float depth = 0.0f;                             // penetration along the normal
    PhysicsSurface surface = PhysicsSurface::None;  // what was touched; None from meshes and boxes
    Entity* entity = nullptr;                       // the entity touched; null for level geometry, terrain and water
};

}  // namespace GAME
