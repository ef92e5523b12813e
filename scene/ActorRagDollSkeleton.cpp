#include "scene/ActorRagDollSkeleton.h"

#include "engine/Actor.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/SkeletalPose.h"

namespace GAME {

ActorRagDollSkeleton::ActorRagDollSkeleton(Actor& actor) : actor_(actor), instance_(*actor.GetMeshInstance()) {}

const GraphicsMesh* ActorRagDollSkeleton::GetMesh() const { return instance_.GetMesh(); }

int ActorRagDollSkeleton::GetNumRigidBodies() const { return GetMesh() ? GetMesh()->GetNumRigidBodyDescriptions() : 0; }

const RigidBodyDescription& ActorRagDollSkeleton::GetRigidBody(int index) const {
    return GetMesh()->GetRigidBodyDescription(index);
}

int ActorRagDollSkeleton::GetNumJoints() const { return GetMesh() ? GetMesh()->GetNumJointDescriptions() : 0; }

const JointDescription& ActorRagDollSkeleton::GetJoint(int index) const { return GetMesh()->GetJointDescription(index); }

Coords ActorRagDollSkeleton::GetBoneCoords(const Name& bone) const {
    if (!GetMesh()) return Coords();
    SkeletalPose pose;
    actor_.GetPose(pose);
    return GetMesh()->GetAbsCoords(pose, bone);
}

void ActorRagDollSkeleton::SetPose(const mem::vector<Bone>& bones) {
    SkeletalPose pose;
    for (const Bone& bone : bones) pose.SetBoneCoords(bone.name, bone.coords);
    instance_.SetPoseFromObjectSpace(pose);
}

Vec3 ActorRagDollSkeleton::GetScale() const { return instance_.GetScale(); }

OBBox ActorRagDollSkeleton::GetRegionSpaceBox() const { return instance_.GetRegionSpaceOBBox(); }

std::string ActorRagDollSkeleton::GetMeshName() const { return GetMesh() ? GetMesh()->GetFileName() : std::string(); }

void ActorRagDollSkeleton::StopAnimations() { actor_.StopAnimations(); }

}  // namespace GAME
