#pragma once
// RigidBodyDescription: one body of a rag doll as a mesh's description text gives it. The body
// spans from a parent bone to a child bone; the bones listed as fused move with it.

#include <string>

#include "core/Coords.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "core/Vec3.h"

namespace GAME {

// A bone that moves with a rigid body, placed relative to it.
struct FusedBone {
    Name name;
    Coords coords;
    std::string nameText;
};

struct RigidBodyDescription {
    std::string parentNameText;
    Name parentName;
    std::string childNameText;
    Name childName;
    Coords parentCoords;  // the parent bone's frame relative to the body's
    Coords childCoords;   // the child bone's frame relative to the body's
    Vec3 extents;         // the box: side lengths for its mass, half sizes for its collisions
    bool collides = false;
    float density = 100.0f;
    bool playFallSound = false;
    mem::vector<FusedBone> fusedBones;
};

}  // namespace GAME
