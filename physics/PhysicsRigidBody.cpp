#include "physics/PhysicsRigidBody.h"

#include "core/GameClock.h"
#include "core/Log.h"
#include "core/OBBox.h"
#include "core/Singleton.h"
#include "engine/CollisionData.h"
#include "engine/Entity.h"
#include "physics/CollisionPair.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysicsWorld.h"
#include "render/DebugRenderManager.h"

#include <ode/ode.h>

#include <cmath>

namespace GAME {

PhysicsRigidBody::PhysicsRigidBody(Entity* entity, const PhysicsEngine& engine) : engine_(engine), entity_(entity) {}

PhysicsRigidBody::~PhysicsRigidBody() {
    if (body_ != nullptr) dBodyDestroy(body_);
}

void PhysicsRigidBody::Init(const WorldVec3& centre) {
    centre_ = centre;
    body_ = dBodyCreate(engine_.GetWorld());
    OBBox proxy;
    const auto usable = [](float half) { return std::isfinite(half) && half > kMinHalfSize; };
    if (!entity_->GetCollisionProxy(proxy) || !usable(proxy.halfSize.x) || !usable(proxy.halfSize.y) ||
        !usable(proxy.halfSize.z) || !proxy.coords.origin.IsValid()) {
        proxy = OBBox{Vec3(0.5f, 0.5f, 0.5f), entity_->GetCoords().GetRegionCoords()};
    }
    dMass mass;
    dMassSetZero(&mass);
    dMassSetBox(&mass, kDensity, proxy.halfSize.x, proxy.halfSize.y, proxy.halfSize.z);
    dBodySetMass(body_, &mass);
    SetBodyCoords(body_, centre_, WorldCoords(entity_->GetRegion(), proxy.coords));
}

Coords PhysicsRigidBody::GetBodyFrame() const {
    Coords frame = entity_->GetCoords().GetRegionCoords();
    frame.origin += frame.TransformVector(entity_->GetCenterOfMass());
    return frame;
}

void PhysicsRigidBody::UpdateSimulationFromGameObject(const WorldVec3& centre) {
    centre_ = centre;
    restCount_ = IsRigidBodyAtRest(body_, kRestLinearSpeed, kRestAngularSpeed) ? restCount_ + 1 : 0;
    if (maxFallVelocity_ < 0.0f && GetLinearVelocity().y < maxFallVelocity_) {
        entity_->HitMaxFallVelocityCallback();
        restCount_ = kRestSteps;
    }
    ++stepCount_;
    SetBodyCoords(body_, centre_, WorldCoords(entity_->GetRegion(), GetBodyFrame()));
}

void PhysicsRigidBody::UpdateGameObjectFromSimulation() {
    if (!IsEnabled()) {
        dBodyDisable(body_);
        return;
    }
    WorldCoords frame(entity_->GetRegion());
    GetBodyCoords(body_, centre_, frame);
    if (!frame.GetOrigin().GetRegionPosition().IsValid()) {
        Log(LogPriority::Warning, "Physics entity has infinite position - %s", entity_->GetObjectName().c_str());
        return;
    }
    Coords coords = frame.GetRegionCoords();
    coords.origin -= coords.TransformVector(entity_->GetCenterOfMass());
    WorldCoords placed(entity_->GetRegion(), coords);
    placed.SetOrigin(entity_->GetCoords().GetOrigin());
    placed.Translate(coords.origin - entity_->GetCoords().GetOrigin().GetRegionPosition());
    if (PhysicsWorld* world = engine_.GetPhysicsWorld()) world->SetCoords(entity_, placed);
    else entity_->SetCoords(placed);
}

void PhysicsRigidBody::AddForce(const Vec3& force, const WorldVec3& position) {
    const Vec3 offset = position - centre_;
    dBodyAddForceAtPos(body_, force.x, force.y, force.z, offset.x, offset.y, offset.z);
}

void PhysicsRigidBody::AddForce(const Vec3& force) { dBodyAddForce(body_, force.x, force.y, force.z); }

void PhysicsRigidBody::SetLinearVelocity(const Vec3& velocity) { dBodySetLinearVel(body_, velocity.x, velocity.y, velocity.z); }

void PhysicsRigidBody::SetAngularVelocity(const Vec3& velocity) { dBodySetAngularVel(body_, velocity.x, velocity.y, velocity.z); }

Vec3 PhysicsRigidBody::GetLinearVelocity(const Name&) const { return Vec3(); }

Vec3 PhysicsRigidBody::GetLinearVelocity() const {
    const dReal* velocity = dBodyGetLinearVel(body_);
    return Vec3(static_cast<float>(velocity[0]), static_cast<float>(velocity[1]), static_cast<float>(velocity[2]));
}

void PhysicsRigidBody::SetGravityMode(bool) { dBodySetGravityMode(body_, entity_->GetGravityEnabled() ? 1 : 0); }

void PhysicsRigidBody::FindCollisions() {
    PhysicsWorld* world = engine_.GetPhysicsWorld();
    if (world == nullptr) return;
    PhysicsEngine::ContactScratch& scratch = engine_.GetContactScratch(kMaxContacts);
    const CollisionContact* const contacts = scratch.contacts.data();
    const int count = world->FindCollisions(entity_, centre_, scratch.contacts.data(), kMaxContacts);

    const MergedContact* const merged = scratch.merged.data();
    const int numMerged = MergeContacts(contacts, count, scratch.merged.data(), kMaxContacts);
    engine_.RenderContacts(merged, numMerged);
    for (int i = 0; i < numMerged; ++i) {
        const CollisionContact& contact = merged[i].contact;
        if (contact.depth >= kMaxJointDepth) continue;
        Body other = nullptr;
        // Each of two touching bodies meets the other. A moving body ties the other in, so its
        // impact moves it; a resting one holds itself out of the other as out of something
        // static, so a pile settles.
        if (contact.entity != nullptr && restCount_ == 0 && contact.entity->GetPhysicsType() == Entity::PhysicsType::RigidBody &&
            contact.entity->IsSimulationEnabled())
            other = static_cast<const PhysicsRigidBody*>(contact.entity->GetPhysicsObject())->GetBody();
        engine_.AddContactJoint(contact, body_, other);
    }

    // Runs of contacts with one entity and surface make one collision each.
    for (int i = 0; i < count; ++i) {
        if (i > 0 && contacts[i].entity == contacts[i - 1].entity && contacts[i].surface == contacts[i - 1].surface) continue;
        Collision(CollisionPair{entity_, contacts[i].entity, contacts[i].surface, contacts[i].normal, true});
    }
}

void PhysicsRigidBody::Collision(const CollisionPair& pair) {
    if (pair.other != nullptr) {
        pair.other->CollisionCallback(CollisionData{entity_, pair.surface, pair.normal, pair.flag});
        entity_->CollisionCallback(CollisionData{pair.other, pair.surface, pair.normal, pair.flag});
        return;
    }
    const unsigned int now = static_cast<unsigned int>(GetGameTime());
    if (now - lastDisturbanceTime_ > kDisturbanceInterval) {
        lastDisturbanceTime_ = now;
        const dReal* linear = dBodyGetLinearVel(body_);
        const dReal* angular = dBodyGetAngularVel(body_);
        const double strength = std::sqrt(linear[0] * linear[0] + linear[1] * linear[1] + linear[2] * linear[2] +
                                          angular[0] * angular[0] + angular[1] * angular[1] + angular[2] * angular[2]);
        const dReal* position = dBodyGetPosition(body_);
        WorldVec3 at(centre_.GetRegion(), centre_.GetRegionPosition() + Vec3(static_cast<float>(position[0]),
                                                                            static_cast<float>(position[1]),
                                                                            static_cast<float>(position[2])));
        at.MakeRelative(entity_->GetRegion());
        engine_.GetPhysicsWorld()->CreatePointDisturbance(at, 1.0f, static_cast<float>(strength),
                                                          pair.surface == PhysicsSurface::Water ? 2 : 0);
    }
    entity_->CollisionCallback(CollisionData{nullptr, pair.surface, pair.normal, pair.flag});
}

void PhysicsRigidBody::DebugRender() const {
    OBBox proxy;
    if (!Singleton<DebugRenderManager>::HasInstantiated() || !entity_->GetCollisionProxy(proxy)) return;
    Singleton<DebugRenderManager>::Get()->RenderBox(entity_->GetRegion(), proxy, Color(0.5f, 0.5f, 1.0f, 1.0f));
}

}  // namespace GAME
