#pragma once
// PhysicsEngine: the engine's one rigid-body world, stepped at a fixed rate. It keeps the
// entities whose motion is simulated (by object id, so a destroyed entity never dangles), has
// their physics objects made and initialised, moves poses between entities and objects around
// every step, and lets go of entities whose simulation has ended.
//
// The rigid-body library integrates bodies and joints only (in double precision, with its
// iterative stepper); every contact is found by the engine's own collision tests, per physics
// object, and becomes a contact joint in the one contact group, which lives for one step.
//
// Steps are fixed: a frame takes whole steps while more than a step of its elapsed time is left,
// at most kMaxSteps of them, then one more full step for any remainder. A long frame therefore
// cannot start an unbounded catch-up, and the simulation may run up to one step ahead of game time.
//
// Entities may be added and removed from any thread: the lists sit behind a recursive lock, and an
// added entity waits in a pending list that joins the main list at the start of the next Update,
// so the main list changes under no walk but RemoveNonSimulatedEntities' own.

#include "core/CriticalSection.h"
#include "core/GameTimer.h"
#include "core/Mem.h"
#include "core/Vec3.h"
#include "core/WorldVec3.h"
#include "physics/CollisionContact.h"
#include "physics/PhysicsObject.h"

#include <cstdint>

struct dxWorld;
struct dxJointGroup;

namespace GAME {

class Entity;
class PhysicsWorld;

class PhysicsEngine {
public:
    static constexpr int kMaxSteps = 5;

    PhysicsEngine();
    virtual ~PhysicsEngine();
    PhysicsEngine(const PhysicsEngine&) = delete;
    PhysicsEngine& operator=(const PhysicsEngine&) = delete;

    // Starts the library (once per process, with its messages routed to the log), creates the
    // world and the contact group and sets gravity along -y. The world answers collision queries
    // and places entities; it may be null (entities then meet nothing). Returns true.
    bool Initialize(PhysicsWorld* world);
    // Destroys the contact group and the world; the destructor does the same.
    void Shutdown();

    void EnableDebugging(bool enable) { debugging_ = enable; }
    void EnableStats(bool enable) { stats_ = enable; }
    // Taken at the next Update.
    void SetConstants(float stepSize, float erp, float cfm, int iterations);

    dxWorld* GetWorld() const { return world_; }
    dxJointGroup* GetContactGroup() const { return contactGroup_; }
    PhysicsWorld* GetPhysicsWorld() const { return physicsWorld_; }
    float GetStepSize() const { return stepSize_; }
    const WorldVec3& GetCentre() const { return centre_; }

    // Makes and initialises the entity's physics object when its physics type simulates it; it is
    // first stepped in the next Update. False, with a warning, when the entity is not in the world
    // or no Update has given the simulation a centre yet.
    bool AddEntityToSimulation(Entity* entity);
    void RemoveEntityFromSimulation(Entity* entity);
    void RemoveAllEntities();
    int GetNumEntities() const { return static_cast<int>(entities_.size()); }

    // The velocity and force operations add the entity first (and do nothing when that fails).
    void SetEntityLinearVelocity(Entity* entity, const Vec3& velocity);
    void SetEntityAngularVelocity(Entity* entity, const Vec3& velocity);
    void AddForceToEntity(Entity* entity, const Vec3& force);
    void AddForceToEntity(Entity* entity, const Vec3& force, const WorldVec3& position);
    void SetEntityMaxFallVelocity(Entity* entity, float velocity);
    // Zero for an entity that is not simulated.
    Vec3 GetEntityLinearVelocity(const Entity* entity) const;

    // The frame's simulation around the viewer's position, for the game time since the last one.
    void Update(const WorldVec3& centre);
    // Update's work for a given elapsed time in seconds.
    void Simulate(const WorldVec3& centre, float elapsed);
    // How many steps a frame of elapsed seconds takes (see above).
    static int CountSteps(float elapsed, float stepSize, int maxSteps);

    // With debugging on, arrows along the contacts' normals (all but the first contact).
    void RenderContacts(const CollisionContact* contacts, int count) const;
    void RenderContacts(const PhysicsObject::MergedContact* contacts, int count) const;

    // Adds a contact joint between body and other (null: the static surroundings) for the step
    // under way: no bounce and unbounded friction, so resting bodies neither jitter nor slide.
    void AddContactJoint(const CollisionContact& contact, PhysicsObject::Body body, PhysicsObject::Body other) const;

    // Room for a body's contacts while it finds its collisions. The bodies do so one after the
    // other on the stepping thread, so they share these arrays, kept from step to step instead of
    // made (and filled with empty contacts) for each body.
    struct ContactScratch {
        mem::vector<CollisionContact> contacts;
        mem::vector<PhysicsObject::MergedContact> merged;
    };
    // The scratch arrays with room for at least count entries each.
    ContactScratch& GetContactScratch(size_t count) const;

private:
    // Entity for an id, or null when the id no longer names an entity.
    static Entity* ResolveEntity(uint32_t id);
    // The entity of the simulated list's index i: looked up once per Simulate (the manager's
    // look-up takes its lock), then only asked whether it was destroyed since (by a collision's or
    // a placement's callback), as a destroyed object stays valid until the frame ends. Null when
    // the id named no entity or the entity was destroyed.
    Entity* GetEntity(size_t i) const;

    void SynchronizeGravity();
    void UpdateSimulationFromEntities();
    void FindCollisions();
    void UpdateEntitiesFromSimulation();
    void RemoveNonSimulatedEntities();
    void DebugRender() const;
    // One whole step: poses in, contacts, the library's step, poses out (each entity re-filed in
    // its level), finished entities out. False, with an error logged and nothing moved, when the
    // library's step failed.
    bool RunSimulation(float stepSize, int iterations);

    bool debugging_ = false;
    bool stats_ = false;
    float stepSize_ = 0.02f;
    float erp_ = 0.2f;
    float cfm_ = 1e-5f;
    int iterations_ = 8;
    WorldVec3 centre_;  // no region until the first Update
    dxWorld* world_ = nullptr;
    dxJointGroup* contactGroup_ = nullptr;
    PhysicsWorld* physicsWorld_ = nullptr;
    GameTimer timer_;
    mem::vector<uint32_t> entities_;
    mem::vector<Entity*> resolved_;  // entities_ looked up by Simulate, null for an id that named none
    mem::vector<uint32_t> pendingEntities_;
    mutable CriticalSection lock_;
    mutable ContactScratch contactScratch_;
};

}  // namespace GAME
