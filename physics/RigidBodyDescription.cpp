#include "physics/RigidBodyDescription.h"

#include <algorithm>
#include <cmath>

#include "physics/PhysicsRagDoll.h"
#include "physics/RagDollSkeleton.h"

namespace GAME {

namespace {

// The signed angle between the x axis and the direction (x, across) in one plane of a frame; 0 for
// no direction, or for one whose across part, once normalised, is below 0.1.
float PlaneAngle(float x, float across) {
    const float length = std::sqrt(x * x + across * across);
    if (length == 0.0f) return 0.0f;
    const float side = across / length;
    if (std::fabs(side) < 0.1f) return 0.0f;
    const float angle = std::acos(std::clamp(x / length, -1.0f, 1.0f));
    return side < 0.0f ? -angle : angle;
}

}  // namespace

void RigidBodyDescription::Init(const Coords& meshFrame, const RagDollSkeleton& skeleton, Coords& bodyFrame) {
    const Coords parent = meshFrame * skeleton.GetBoneCoords(parentName);
    const Coords child = meshFrame * skeleton.GetBoneCoords(childName);
    bodyFrame = PhysicsRagDoll::GetRigidBodyCoords(parent, child);
    const Coords toBody = bodyFrame.Inverse();
    parentCoords = toBody * parent;
    childCoords = toBody * child;
    extents = Vec3((parent.origin - child.origin).Length() * 0.5f, 0.15f, 0.15f);
    collides = true;
}

Vec3 RigidBodyDescription::GetRotationAngles(const Coords& a, const Coords& b) {
    const Vec3 x = a.Inverse().TransformVector(b.xAxis);
    return Vec3(0.0f, PlaneAngle(x.x, x.z), PlaneAngle(x.x, x.y));
}

}  // namespace GAME
