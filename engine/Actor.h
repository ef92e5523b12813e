#pragma once
// Actor: an entity drawn as an animated mesh. It owns the GraphicsMeshInstance that draws and
// poses it, made when the record names a mesh (null otherwise), and keeps it in step: the instance
// sits at the actor's frame, plays its animation channel in the actor's update (callback points
// and creation points come back to the actor as its AnimationCallback and attached entities), is
// worn on the parent's skeleton when the actor is attached to another actor, and gives the actor
// its box, attach points, ray hits, see-through sections and saved state.
//
// Record fields: "mesh" (mesh file; a field with an empty value is warned of, naming the record),
// "baseTexture", "bumpTexture" (override textures), "shader" (override shader), "castsShadows"
// (bool, true by default), "scale" (uniform, 1 by default).
//
// The operations that need the mesh instance are defined beside it, in scene/ActorScene.cpp:
// engine/ does not include scene/.

#include <memory>
#include <string>

#include "core/Vec3.h"
#include "engine/Entity.h"

namespace GAME {

class GraphicsMeshInstance;
class SkeletalPose;

class Actor : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    Actor();
    ~Actor() override;

    // Reads the record and makes the mesh instance when it names a mesh.
    bool Load(const LoadTable& table) override;
    size_t CalculateAllocatedMemory() const override;

    // The actor's mesh instance; null while it has none.
    GraphicsMeshInstance* GetMeshInstance() const { return meshInstance_.get(); }
    // Replaces the mesh instance with one of the named mesh (empty: none), with the record's
    // overrides, scale and shadow flag, placed at the actor's frame.
    void SetMesh(const std::string& fileName);
    // Whether the actor's mesh casts shadows.
    bool GetCastsShadows() const { return castsShadows_; }

    // The opacity an actor's see-through sections fade down to: an actor between the camera and
    // the player stays in sight as a shade.
    static constexpr float kMinSeeThroughOpacity = 0.3f;

    // -- Animation --------------------------------------------------------------------------------
    // The current pose of the mesh instance (empty without one).
    virtual void GetPose(SkeletalPose& pose) const;
    // Stops the mesh instance's animations.
    void StopAnimations();
    // The root bone's motion of the last update, in units per second (zero without an animation);
    // the game moves the actor by it.
    const Vec3& GetAnimationMovement() const { return movement_; }

    // -- Physics ----------------------------------------------------------------------------------
    // The velocity of the actor's simulated body: setting it starts the simulation of a rigid body
    // or rag doll; zero while the actor is not simulated.
    void SetVelocity(const Vec3& velocity);
    Vec3 GetVelocity() const;

    // -- Entity -----------------------------------------------------------------------------------
    // A rag doll of the mesh for the rag-doll physics type (when the actor has a mesh instance),
    // otherwise the entity's rigid body.
    void CreatePhysicsObject(PhysicsEngine& engine) override;
    void SetCoords(const WorldCoords& coords) override;
    // Plays the animation, fades the sections the last render marked see-through (down to
    // kMinSeeThroughOpacity, the others back up), poses the mesh (worn on a parent actor's
    // skeleton) and refreshes the box.
    void UpdateSelf(int elapsedMs) override;
    bool PreLoad(int priority, bool enqueue) override;
    // Refreshes the mesh instance's box (the mesh may have loaded since) and takes its region box.
    void UpdateBoundingBox() override;
    // Marks the sections that meet the frustum (region space) when one of the mesh's posed hit
    // boxes does; the next update fades them.
    void SetTransparency(const Frustum& frustum) override;
    // The pose and box of the mesh instance.
    void SaveState(BinaryWriter& writer) const override;
    bool RestoreState(BinaryReader& reader) override;
    // Visible actors with a mesh add it while the renderer draws meshes and the frustum (region
    // space) meets the actor's box.
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) override;
    // The mesh's attach points in the current pose, their origins scaled with the mesh; then the
    // entity's own.
    bool GetAttachPointCoords(const Name& attachPoint, Coords& coords) const override;
    // The mesh instance's box in region space: an actor collides as its mesh's box.
    bool GetCollisionProxy(OBBox& box) const override;
    // The mesh instance's hit, with this actor as the entity hit.
    bool GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface excluded) override;
    void LogInfo() const override;

private:
    std::unique_ptr<GraphicsMeshInstance> meshInstance_;  // null while the actor has no mesh
    std::string baseTexture_;
    std::string bumpTexture_;
    std::string shader_;
    float scale_ = 1.0f;
    bool castsShadows_ = true;
    Vec3 movement_;
};

}  // namespace GAME
