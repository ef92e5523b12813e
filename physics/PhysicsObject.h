#pragma once
// PhysicsObject: what simulates one entity in the physics world (a rigid body, or an actor's rag
// doll). The entity holds it while it is simulated and deletes it through this base once the
// simulation has let go of it (Entity::DestroyPhysicsObject, Entity::CleanupPhysicsObjects).
//
// The physics engine drives every object the same way each step: UpdateSimulationFromGameObject,
// FindCollisions, the library's step, UpdateGameObjectFromSimulation. Bodies live in the library's
// double precision; the static helpers here are the one place where the engine's float frames and
// the library's poses are converted. A library rotation is a row-major 3 x 4 matrix whose first
// three columns are the frame's x, y and z axes. Body positions are offsets from the simulation
// centre, so that far regions keep their precision.

#include "core/Coords.h"
#include "core/Name.h"
#include "core/Vec3.h"
#include "core/WorldCoords.h"
#include "core/WorldVec3.h"
#include "physics/CollisionContact.h"

struct dxBody;

namespace GAME {

class PhysicsObject {
public:
    // The library's body handle, declared here without the library's headers.
    using Body = dxBody*;

    // A contact that stands for a group of merged ones.
    struct MergedContact {
        CollisionContact contact;  // the first member's normal, surface and entity; the mean position; the deepest depth
        int count = 0;             // members merged into it
    };

    // Contacts closer than this (squared distance) with normals closer than kMergeNormalDot merge.
    static constexpr float kMergeDistanceSquared = 0.001f;
    static constexpr float kMergeNormalDot = 0.99f;
    // The shortest time between two disturbances (splashes, grass) one object makes, in game ms.
    static constexpr unsigned int kDisturbanceInterval = 250;

    virtual ~PhysicsObject() = default;

    // Creates the simulation for the entity around the centre.
    virtual void Init(const WorldVec3& centre) = 0;
    // After a step: the simulated pose goes to the entity.
    virtual void UpdateGameObjectFromSimulation() = 0;
    // Before a step: the entity's pose goes to the simulation, which now sits around centre.
    virtual void UpdateSimulationFromGameObject(const WorldVec3& centre) = 0;
    // False once the object has come to rest or run its course; the engine then lets go of it.
    virtual bool IsEnabled() const = 0;
    virtual void AddForce(const Vec3& force, const WorldVec3& position) = 0;
    virtual void AddForce(const Vec3& force) = 0;
    virtual void SetLinearVelocity(const Vec3& velocity) = 0;
    virtual void SetAngularVelocity(const Vec3& velocity) = 0;
    // The velocity of a named part (a rag doll's bone); zero for objects without parts.
    virtual Vec3 GetLinearVelocity(const Name& part) const = 0;
    virtual Vec3 GetLinearVelocity() const = 0;
    // A negative vertical velocity that ends the simulation when exceeded; 0 sets no limit.
    virtual void SetMaxFallVelocity(float velocity);
    virtual void SetGravityMode(bool enabled) = 0;
    // Finds this step's contacts and adds their contact joints to the engine's contact group.
    virtual void FindCollisions() = 0;
    // The engine is about to let go of the object because IsEnabled turned false.
    virtual void OnDisabled();
    // Draws the object's bodies through the debug render manager.
    virtual void DebugRender() const = 0;

    static void ConvertToRotation(double rotation[12], const Coords& frame);
    static void ConvertToCoords(Coords& frame, const double rotation[12]);
    // The frame's origin is placed as its offset from the centre (regions taken into account).
    static void SetBodyCoords(Body body, const WorldVec3& centre, const WorldCoords& frame);
    // The body's pose, its origin expressed in the frame's current region.
    static void GetBodyCoords(Body body, const WorldVec3& centre, WorldCoords& frame);
    static void SetBodyCoords(Body body, const Coords& frame);
    static void GetBodyCoords(Body body, Coords& frame);
    // True when the body is disabled, slower than both limits (strictly), or falling faster than
    // kRestingFallSpeed: such a fall is beyond saving, so it counts as rest and ends.
    static bool IsRigidBodyAtRest(Body body, float linearLimit, float angularLimit);
    static constexpr float kRestingFallSpeed = 150.0f;

    // Merges contacts that stand for one point of touch, leaving out water (the water's own
    // forces, not joints, act on bodies in it). A contact merges into the first merged one whose
    // mean position so far lies within kMergeDistanceSquared and whose normal is within kMergeNormalDot of
    // its own; otherwise it starts a new one while fewer than max are held (later ones are dropped).
    // Returns how many were written.
    static int MergeContacts(const CollisionContact* contacts, int count, MergedContact* merged, int max);
};

}  // namespace GAME
