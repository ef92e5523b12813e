#pragma once
// Entity: the base of every object placed in the world.
//
// An entity has a frame in the world (WorldCoords, relative to the region it is in), a bounding
// box in its region's space (and an optional alternate box for queries that ask for it), and may
// carry other entities attached to named attach points. Levels own the placed entities: they load
// them, call the hooks below as entities enter, move in and leave them, update them each frame
// and submit them to the scene renderer. The object manager owns every entity as an object.
//
// The frame update: Update runs InitialUpdate the first time, then UpdateSelf, then places and
// updates the attached entities. An attached entity may detach itself, or be destroyed, while
// its parent updates.
//
// Attach points: a point is looked up by Name in the entity's own space (GetAttachPointCoords);
// the base entity has one, the empty name (Name::noName), at its own frame. Entities with a mesh
// add the mesh's points. An attached entity is placed at parent frame * point * offset; at a point
// the parent does not have, at parent frame * offset.
//
// Unique ids: an entity gets a UniqueId when one is set or first asked for, and is registered in
// the UniqueIdMap under it until it loses it or is destroyed.
//
// Physics: an entity is simulated while it holds a PhysicsObject, which the physics engine makes
// through the entity and releases through DestroyPhysicsObject; released objects are deleted by
// CleanupPhysicsObjects, after the physics step has finished with them.
//
// Threads: entities are created and loaded on the level loading thread; everything else happens on
// the main thread.

#include <cstdint>
#include <memory>
#include <string>

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "core/Object.h"
#include "core/PhysicsSurface.h"
#include "core/UniqueId.h"
#include "core/Vec3.h"
#include "core/WorldCoords.h"
#include "physics/PhysicsObject.h"
#include "world/SpaceLinks.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class Frustum;
class GraphicsSceneRenderer;
class Level;
class PhysicsEngine;
class PhysicsMesh;
class Region;
struct CollisionData;
struct Intersection;
struct OBBox;
struct Ray;

class Entity : public Object {
    GAME_RTTI_DECLARE_CLASS()

public:
    // How an entity takes part in the physics simulation.
    enum class PhysicsType : int {
        None = 0,
        NotCollided = 1,  // not simulated either, and the collision queries leave it out
        RigidBody = 2,
        RagDoll = 3,
    };

    Entity();
    // Detaches it from its parent and its attached entities, and gives up its unique id.
    ~Entity() override;

    // Placement.
    // Null when the entity is not in a region.
    Region* GetRegion() const { return coords_.GetRegion(); }
    const WorldCoords& GetCoords() const { return coords_; }
    // Stores the frame and places the attached entities; derived classes also move what they draw.
    // It does not move the entity between levels (the world does that).
    virtual void SetCoords(const WorldCoords& coords);

    // Attachment.
    // The entity this one is attached to; null when it is not attached.
    Entity* GetParent() const { return parent_; }
    // Attaches child at the named attach point (empty: the entity's own frame), offset by the
    // frame. A child attached elsewhere is detached first. A null child is ignored; this entity
    // or one of its ancestors is refused, with an error. The two flags are accepted as callers pass them and do not
    // change the attachment.
    void Attach(Entity* child, const Coords& offset, const std::string& attachPoint, bool = false, bool = false);
    // Does nothing when child is not attached to this entity.
    void Detach(Entity* child);
    // Creates an entity from its record and attaches it at the attach point; null when the record
    // does not make an entity.
    Entity* CreateAttachedEntity(const std::string& recordName, const std::string& attachPoint);
    int GetNumAttachedEntities() const { return static_cast<int>(attached_.size()); }
    // The attach point's frame in the entity's space; false when the entity has no such point.
    virtual bool GetAttachPointCoords(const Name& attachPoint, Coords& coords) const;
    // The attach point's frame in the entity's region; all zero (no region, zero axes) when the
    // entity has no such point. The flag is accepted as callers pass it.
    WorldCoords GetAttachedCoordsInRegion(const Name& attachPoint, bool = false) const;

    // The frame update.
    // InitialUpdate once, then UpdateSelf, then the attached entities; stamps the frame count.
    void Update(int elapsedMs);
    // The entity's own per-frame work; the base does nothing.
    virtual void UpdateSelf(int elapsedMs);
    // The first update after the entity was placed; the base does nothing.
    virtual void InitialUpdate();
    bool HasHadInitialUpdate() const { return initialUpdateDone_; }
    // The engine frame of the last Update.
    uint32_t GetLastFrameUpdated() const { return lastFrameUpdated_; }

    // State.
    bool IsVisible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }
    // Active entities are updated by a network client's levels; entities start inactive.
    void Activate(bool active) { activated_ = active; }
    bool IsActivated() const { return activated_; }
    // Marks the entity as seen in the viewer's preload frustum this frame.
    void SetInRenderPreLoadFrustum();
    bool IsInRenderPreLoadFrustum() const;
    // Set on entities made from a level's saved state.
    void SetRestored(bool restored) { restored_ = restored; }
    bool IsRestored() const { return restored_; }

    // Unique id.
    void SetUniqueID(const UniqueId& id);
    // The entity's id; a fresh one is made and registered on the first request.
    const UniqueId& GetUniqueID();
    bool HasUniqueID() const { return !uniqueId_.IsNull(); }

    // Bounding boxes, in region space. The alternate box is returned only once one was set.
    const ABBox& GetRegionBoundingBox(bool alternate) const;
    void SetRegionBoundingBox(const ABBox& box, bool alternate);

    // Levels, streaming and saved state.
    // The entity's own fields in the level file; the base has none.
    virtual bool Read(BinaryReader& reader);
    virtual void Write(BinaryWriter& writer) const;
    // Queues the entity's resources; false when it cannot load. The base has nothing to load.
    virtual bool PreLoad(int priority, bool enqueue);
    // In a region (and not taken out of the world by a derived class).
    virtual bool IsInWorld() const;
    virtual void OnAddToLevel(Level* level);
    virtual void OnRemoveFromLevel(Level* level);
    virtual void OnMoveInLevel(Level* level);
    // Recomputes the region bounding box from what the entity is made of; the base keeps its box.
    virtual void UpdateBoundingBox();
    // Fades the entity where it hides the viewer; the base does not fade.
    virtual void SetTransparency(const Frustum& frustum);
    virtual bool DeleteOnEnteringUnloadedLevel() const;
    // Whether a server makes the entity for its clients (the clients' levels then only activate
    // their copy).
    virtual bool ShouldServerSpawn() const;
    virtual bool ShouldSaveState() const;
    virtual void SaveState(BinaryWriter& writer) const;
    virtual bool RestoreState(BinaryReader& reader);
    virtual bool IncludeInMinimap() const;
    // Whether the entity belongs to its level's file (not made at run time).
    virtual bool GetIsPartOfLevel() const { return partOfLevel_; }
    void SetIsPartOfLevel(bool partOfLevel) { partOfLevel_ = partOfLevel; }
    // Whether at most one entity of this object name may exist (a restored copy then yields to
    // the one that exists).
    virtual bool IsUniqueByName() const;
    // The entity's place in its level's entity tree (EntitySpace); no node while it is in none.
    SpaceLinks<Entity>& GetSpaceLinks() { return spaceLinks_; }
    bool IsInSpace() const { return spaceLinks_.node != nullptr; }

    // Rendering and picking.
    // Adds the entity's renderables and lights to the scene; the base draws nothing.
    virtual void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum);
    virtual bool GetShouldRenderAcrossPortals() const;
    // An animation passed a callback point (the Name of "End" when it ended).
    virtual void AnimationCallback(int index, const Name& point);
    // The nearest hit of the ray (region space) nearer than intersection.distance, skipping the
    // excluded surface; false when the entity is not hit there. The base is never hit.
    virtual bool GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface excluded);
    virtual bool OccludesPathing() const;
    // Logs the entity's class, name, id and position.
    virtual void LogInfo() const;

    // Physics.
    bool IsSimulationEnabled() const { return physicsObject_ != nullptr; }
    PhysicsObject* GetPhysicsObject() const { return physicsObject_.get(); }
    PhysicsType GetPhysicsType() const { return physicsType_; }
    // Takes the entity out of the simulation, and back in under the new type, when it is in the
    // world and the engine simulates.
    void SetPhysicsType(PhysicsType type);
    // Makes the physics object for the entity's physics type: the base, a rigid body.
    virtual void CreatePhysicsObject(PhysicsEngine& engine);
    // Hands the physics object to the clean-up list; the entity is no longer simulated.
    void DestroyPhysicsObject();
    // Deletes the physics objects on the clean-up list.
    void CleanupPhysicsObjects();
    bool GetGravityEnabled() const { return gravityEnabled_; }
    void SetGravityEnabled(bool enabled) { gravityEnabled_ = enabled; }
    // In the entity's own axes; the base: its origin.
    virtual Vec3 GetCenterOfMass() const;
    virtual void CollisionCallback(const CollisionData& collision);
    virtual void HitMaxFallVelocityCallback();
    // The oriented box the physics step collides, in region space; false when the entity has
    // none (the base).
    virtual bool GetCollisionProxy(OBBox& box) const;
    // Whether the entity accepts collisions with the other one; the base accepts all.
    virtual bool CanCollide(const Entity* other) const;
    // The mesh other entities collide against; null when there is none (the base).
    virtual const PhysicsMesh* GetPhysicsMesh() const;

protected:
    // Starts simulating the entity with the object (the physics engine makes it through the
    // entity); a previous object goes to the clean-up list.
    void SetPhysicsObject(std::unique_ptr<PhysicsObject> object);

private:
    // An attached entity and where it sits.
    struct Attachment {
        Entity* child;
        Coords offset;    // relative to the attach point
        Name attachPoint; // Name::noName for the entity's own frame
    };

    const Attachment* FindAttachment(const Entity* child) const;
    void PlaceAttachedEntity(const Attachment& attachment);
    // The frame count of the engine, 0 without one.
    static uint32_t GetEngineFrame();

    WorldCoords coords_;
    SpaceLinks<Entity> spaceLinks_;
    Entity* parent_ = nullptr;
    mem::vector<Attachment> attached_;
    ABBox regionBox_;
    ABBox alternateBox_;
    bool hasAlternateBox_ = false;
    UniqueId uniqueId_;                                    // null until set or first asked for
    uint32_t lastFrameUpdated_ = 0;
    uint32_t preLoadFrustumFrame_ = UINT32_MAX;            // engine frame it was last marked in
    bool initialUpdateDone_ = false;
    bool visible_ = true;
    bool activated_ = false;
    bool restored_ = false;
    bool partOfLevel_ = false;
    bool gravityEnabled_ = true;
    PhysicsType physicsType_ = PhysicsType::None;
    std::unique_ptr<PhysicsObject> physicsObject_;         // null while not simulated
    mem::vector<std::unique_ptr<PhysicsObject>> physicsCleanup_;
};

}  // namespace GAME
