#pragma once
// PhysicsWorld: what the physics step asks of the world its entities live in. The world sits on
// another floor of the engine, so it implements this and the engine hands it to the physics
// engine; without one, simulated entities meet nothing and are placed directly.
//
// Every shape and contact position is relative to the simulation centre: an offset from the
// centre's position, along its region's axes, as the bodies themselves are placed.

#include "core/Mem.h"

namespace GAME {

class CollisionBox;
class Entity;
class WorldCoords;
class WorldVec3;
struct CollisionContact;
struct OBBox;

class PhysicsWorld {
public:
    // The contacts of the entity's collision proxy with the ground and the entities around it
    // (those that have had their first update), at most max; returns how many were written.
    virtual int FindCollisions(Entity* entity, const WorldVec3& centre, CollisionContact* contacts, int max) = 0;
    // The contacts of a box moving with the entity (the entity itself is not met; of the other
    // entities only those of the level file), at most max; returns how many were written.
    virtual int FindCollisions(Entity* entity, const OBBox& box, const WorldVec3& centre, CollisionContact* contacts,
                               int max) = 0;
    // Each box, moving with the entity, takes its best contacts (as the box-form query meets them).
    virtual void FindCollisions(Entity* entity, mem::vector<CollisionBox>& boxes, const WorldVec3& centre) = 0;
    // Moves the entity to the frame, keeping its region and its level's spatial structures right.
    virtual void SetCoords(Entity* entity, const WorldCoords& coords) = 0;
    // A disturbance of grass and water where a body struck something; splash 2 for water, else 0.
    virtual void CreatePointDisturbance(const WorldVec3& position, float radius, float strength, int splash) = 0;

protected:
    ~PhysicsWorld() = default;
};

}  // namespace GAME
