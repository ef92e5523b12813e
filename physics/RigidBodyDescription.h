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
    Coords parentCoords;  // the body's frame relative to the parent bone
    Coords childCoords;   // the body's frame relative to the child bone
    Vec3 extents;         // half sizes of the body's box
    bool collides = false;
    float density = 0.0f;
    bool playFallSound = false;
    mem::vector<FusedBone> fusedBones;
};

}  // namespace GAME
