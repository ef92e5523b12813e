#pragma once
// PhysicsObject: what simulates one entity in the physics world (a rigid body, or an actor's rag
// doll). The entity holds it while it is simulated and deletes it through this base once the
// simulation has let go of it (Entity::DestroyPhysicsObject, Entity::CleanupPhysicsObjects).

namespace GAME {

class PhysicsObject {
public:
    virtual ~PhysicsObject() = default;
};

}  // namespace GAME
