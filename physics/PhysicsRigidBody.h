#pragma once
// PhysicsRigidBody: an entity simulated as one box-shaped body sized from its collision proxy. It
// copies the entity's pose into the body before each step and back after it, turns the world's
// contacts into contact joints, reports collisions to the entities involved, disturbs grass and
// water where it strikes, and ends its own simulation once the body has rested for kRestSteps steps
// in a row, has run kMaxSteps steps, or falls faster than its fall limit.

#include "physics/PhysicsObject.h"

namespace GAME {

class Entity;
class PhysicsEngine;
struct CollisionPair;

class PhysicsRigidBody : public PhysicsObject {
public:
    static constexpr int kMaxContacts = 100;
    // Density of every rigid body. The proxy's half sizes are taken as the box's side lengths,
    // which the tuning of the sample data relies on.
    static constexpr float kDensity = 100.0f;
    // A proxy with a half size at or below this (an actor whose mesh has not loaded yet has a box of
    // size 0), or one that is not finite, counts as no proxy: the body is the unit box at the
    // entity. A body of no mass cannot be simulated.
    static constexpr float kMinHalfSize = 1e-3f;
    // Contacts deeper than this make no joint: pushing the body out of them would fling it.
    static constexpr float kMaxJointDepth = 0.25f;
    static constexpr int kRestSteps = 16;
    static constexpr int kMaxSteps = 2000;
    static constexpr float kRestLinearSpeed = 0.8f;
    static constexpr float kRestAngularSpeed = 5.0f;

    PhysicsRigidBody(Entity* entity, const PhysicsEngine& engine);
    ~PhysicsRigidBody() override;
    PhysicsRigidBody(const PhysicsRigidBody&) = delete;
    PhysicsRigidBody& operator=(const PhysicsRigidBody&) = delete;

    void Init(const WorldVec3& centre) override;
    void UpdateGameObjectFromSimulation() override;
    void UpdateSimulationFromGameObject(const WorldVec3& centre) override;
    bool IsEnabled() const override { return restCount_ < kRestSteps && stepCount_ <= kMaxSteps; }
    void AddForce(const Vec3& force, const WorldVec3& position) override;
    void AddForce(const Vec3& force) override;
    void SetLinearVelocity(const Vec3& velocity) override;
    void SetAngularVelocity(const Vec3& velocity) override;
    Vec3 GetLinearVelocity(const Name& part) const override;
    Vec3 GetLinearVelocity() const override;
    void SetMaxFallVelocity(float velocity) override { maxFallVelocity_ = velocity; }
    // Follows the entity's own gravity switch.
    void SetGravityMode(bool enabled) override;
    void FindCollisions() override;
    // The entity's collision proxy, in its region.
    void DebugRender() const override;

    Body GetBody() const { return body_; }

private:
    // The entity's region-space frame moved to its centre of mass, where the body sits.
    Coords GetBodyFrame() const;
    void Collision(const CollisionPair& pair);

    const PhysicsEngine& engine_;
    Entity* entity_;
    Body body_ = nullptr;
    WorldVec3 centre_;
    unsigned int lastDisturbanceTime_ = 0;
    int restCount_ = 0;
    int stepCount_ = 0;
    float maxFallVelocity_ = 0.0f;  // 0: no limit
};

}  // namespace GAME
