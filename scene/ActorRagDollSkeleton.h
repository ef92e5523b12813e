#pragma once
// ActorRagDollSkeleton: the rag doll's view of an actor's mesh instance: the mesh's bodies and
// joints, its bones under the instance's pose, and the pose the rag doll gives back. The actor
// makes one for its rag doll (Actor::CreatePhysicsObject); the actor outlives its rag doll.

#include "physics/RagDollSkeleton.h"

namespace GAME {

class Actor;
class GraphicsMesh;
class GraphicsMeshInstance;

class ActorRagDollSkeleton : public RagDollSkeleton {
public:
    // The actor must have a mesh instance.
    explicit ActorRagDollSkeleton(Actor& actor);

    int GetNumRigidBodies() const override;
    const RigidBodyDescription& GetRigidBody(int index) const override;
    int GetNumJoints() const override;
    const JointDescription& GetJoint(int index) const override;
    Coords GetBoneCoords(const Name& bone) const override;
    void SetPose(const mem::vector<Bone>& bones) override;
    Vec3 GetScale() const override;
    OBBox GetRegionSpaceBox() const override;
    std::string GetMeshName() const override;
    void StopAnimations() override;

private:
    // Null while the instance's mesh is not there: the rag doll then has no bodies.
    const GraphicsMesh* GetMesh() const;

    Actor& actor_;
    GraphicsMeshInstance& instance_;
};

}  // namespace GAME
