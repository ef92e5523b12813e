#pragma once
// PhysicsRagDoll: the rag doll of a mesh, bodies and joints built from the mesh's description
// text. Today it holds the readers of the joint names that text uses.

#include "physics/JointDescription.h"

namespace GAME {

class PhysicsRagDoll {
public:
    // "ball", "hinge", "fixed", "universal"; any other text (or null) is kNone.
    static JointDescription::Type ToJointType(const char* text);
    // "x", "y", "z"; any other text (or null) is kAxisX.
    static JointDescription::Axis ToJointAxis(const char* text);
};

}  // namespace GAME
