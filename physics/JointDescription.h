#pragma once
// JointDescription: one joint of a rag doll between two of its rigid bodies, as a mesh's
// description text gives it. Every field starts at zero.

namespace GAME {

struct JointDescription {
    // What PhysicsRagDoll::ToJointType makes of the type names.
    enum Type : int { kNone = 0, kBall = 1, kHinge = 2, kFixed = 3, kUniversal = 4 };
    // What PhysicsRagDoll::ToJointAxis makes of the axis names.
    enum Axis : int { kAxisX = 0, kAxisY = 1, kAxisZ = 2 };

    int rigidBody0 = 0;  // indices into the mesh's rigid bodies
    int rigidBody1 = 0;
    Type jointType = kNone;
    int jointConnection = 0;
    Axis jointAxis0 = kAxisX;
    float loStop0 = 0.0f;  // limits about the first axis
    float hiStop0 = 0.0f;
    Axis jointAxis1 = kAxisX;
    float loStop1 = 0.0f;  // limits about the second axis
    float hiStop1 = 0.0f;
    bool breakable = false;
    int breakChance = 0;
};

}  // namespace GAME
