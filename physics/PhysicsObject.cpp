#include "physics/PhysicsObject.h"

#include <ode/ode.h>

#include <algorithm>

namespace GAME {

void PhysicsObject::SetMaxFallVelocity(float) {}

void PhysicsObject::OnDisabled() {}

void PhysicsObject::ConvertToRotation(double rotation[12], const Coords& frame) {
    const Vec3* axes[3] = {&frame.xAxis, &frame.yAxis, &frame.zAxis};
    for (int column = 0; column < 3; ++column) {
        rotation[column] = axes[column]->x;
        rotation[4 + column] = axes[column]->y;
        rotation[8 + column] = axes[column]->z;
    }
    rotation[3] = rotation[7] = rotation[11] = 0.0;
}

void PhysicsObject::ConvertToCoords(Coords& frame, const double rotation[12]) {
    Vec3* axes[3] = {&frame.xAxis, &frame.yAxis, &frame.zAxis};
    for (int column = 0; column < 3; ++column)
        *axes[column] = Vec3(static_cast<float>(rotation[column]), static_cast<float>(rotation[4 + column]),
                             static_cast<float>(rotation[8 + column]));
}

void PhysicsObject::SetBodyCoords(Body body, const WorldVec3& centre, const WorldCoords& frame) {
    Coords coords = frame.GetRegionCoords();
    coords.origin = frame.GetOrigin() - centre;
    SetBodyCoords(body, coords);
}

void PhysicsObject::GetBodyCoords(Body body, const WorldVec3& centre, WorldCoords& frame) {
    Coords coords;
    GetBodyCoords(body, coords);
    WorldVec3 origin(centre.GetRegion(), centre.GetRegionPosition() + coords.origin);
    origin.MakeRelative(frame.GetRegion());
    frame = WorldCoords(frame.GetRegion(), coords);
    frame.SetOrigin(origin);
}

void PhysicsObject::SetBodyCoords(Body body, const Coords& frame) {
    dMatrix3 rotation;
    ConvertToRotation(rotation, frame);
    dBodySetPosition(body, frame.origin.x, frame.origin.y, frame.origin.z);
    dBodySetRotation(body, rotation);
}

void PhysicsObject::GetBodyCoords(Body body, Coords& frame) {
    ConvertToCoords(frame, dBodyGetRotation(body));
    const dReal* position = dBodyGetPosition(body);
    frame.origin = Vec3(static_cast<float>(position[0]), static_cast<float>(position[1]), static_cast<float>(position[2]));
}

bool PhysicsObject::IsRigidBodyAtRest(Body body, float linearLimit, float angularLimit) {
    if (dBodyIsEnabled(body) == 0) return true;
    const dReal* linear = dBodyGetLinearVel(body);
    const dReal* angular = dBodyGetAngularVel(body);
    const double linearSquared = linear[0] * linear[0] + linear[1] * linear[1] + linear[2] * linear[2];
    const double angularSquared = angular[0] * angular[0] + angular[1] * angular[1] + angular[2] * angular[2];
    if (linearSquared < double(linearLimit) * linearLimit && angularSquared < double(angularLimit) * angularLimit) return true;
    return linear[1] < -kRestingFallSpeed;
}

int PhysicsObject::MergeContacts(const CollisionContact* contacts, int count, MergedContact* merged, int max) {
    int numMerged = 0;
    for (int i = 0; i < count; ++i) {
        const CollisionContact& contact = contacts[i];
        if (contact.surface == PhysicsSurface::Water) continue;
        MergedContact* target = nullptr;
        for (int j = 0; j < numMerged && target == nullptr; ++j) {
            // Compared with the group's mean so far, which the stored position holds.
            const Vec3 offset = contact.position - merged[j].contact.position;
            if (Dot(offset, offset) < kMergeDistanceSquared && Dot(contact.normal, merged[j].contact.normal) > kMergeNormalDot)
                target = &merged[j];
        }
        if (target != nullptr) {
            target->contact.depth = std::max(target->contact.depth, contact.depth);
            ++target->count;
            target->contact.position +=
                (contact.position - target->contact.position) / static_cast<float>(target->count);
        } else if (numMerged < max) {
            merged[numMerged++] = MergedContact{contact, 1};
        }
    }
    return numMerged;
}

}  // namespace GAME
