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

class RagDollSkeleton;

struct RigidBodyDescription {
    // Describes the body between parentName and childName as the skeleton's pose places them, the
    // mesh at meshFrame: bodyFrame is the body's frame there (PhysicsRagDoll::GetRigidBodyCoords),
    // the bones' frames are kept relative to it, the box reaches half-way between the bones along
    // x and 0.15 across, and the body collides. What an editor builds a rag doll's description
    // text from.
    void Init(const Coords& meshFrame, const RagDollSkeleton& skeleton, Coords& bodyFrame);
    // The turn from frame a to frame b, as angles about a's axes (radians): b's x axis is taken
    // into a's axes; the angle about y is its heading in a's x-z plane and the angle about z its
    // heading in a's x-y plane, each negative toward -z (or -y), and 0 when the axis leans less
    // than 0.1 (of its length in that plane) out of a's x axis or lies across the plane. The angle
    // about x is 0.
    static Vec3 GetRotationAngles(const Coords& a, const Coords& b);

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
