#pragma once
// PhysicsWorld: what the physics step asks of the world its entities live in. The world sits on
// another floor of the engine, so it implements this and the engine hands it to the physics
// engine; without one, simulated entities meet nothing and are placed directly.

namespace GAME {

class Entity;
class WorldCoords;
class WorldVec3;
struct CollisionContact;

class PhysicsWorld {
public:
    // The contacts of the entity's collision proxy with the level, terrain, water and other
    // entities around the centre, at most max; returns how many were written.
    virtual int FindCollisions(Entity* entity, const WorldVec3& centre, CollisionContact* contacts, int max) = 0;
    // Moves the entity to the frame, keeping its region and its level's spatial structures right.
    virtual void SetCoords(Entity* entity, const WorldCoords& coords) = 0;
    // A disturbance of grass and water where a body struck something; splash 2 for water, else 0.
    virtual void CreatePointDisturbance(const WorldVec3& position, float radius, float strength, int splash) = 0;

protected:
    ~PhysicsWorld() = default;
};

}  // namespace GAME
