#include "physics/PhysicsRagDoll.h"

#include <cstring>

namespace GAME {

JointDescription::Type PhysicsRagDoll::ToJointType(const char* text) {
    if (!text) return JointDescription::kNone;
    if (std::strcmp(text, "ball") == 0) return JointDescription::kBall;
    if (std::strcmp(text, "hinge") == 0) return JointDescription::kHinge;
    if (std::strcmp(text, "fixed") == 0) return JointDescription::kFixed;
    if (std::strcmp(text, "universal") == 0) return JointDescription::kUniversal;
    return JointDescription::kNone;
}

JointDescription::Axis PhysicsRagDoll::ToJointAxis(const char* text) {
    if (!text) return JointDescription::kAxisX;
    if (std::strcmp(text, "y") == 0) return JointDescription::kAxisY;
    if (std::strcmp(text, "z") == 0) return JointDescription::kAxisZ;
    return JointDescription::kAxisX;
}

}  // namespace GAME
