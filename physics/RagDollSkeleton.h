#pragma once
// RagDollSkeleton: what a rag doll asks of the posed mesh it drives. The mesh and its pose live in
// the scene, which builds on physics, so the scene implements this for an actor's mesh instance
// and hands it to the rag doll.
//
// Bone frames are in the mesh's object space, before the mesh instance's scale.

#include <string>

#include "core/Coords.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "core/OBBox.h"
#include "core/Vec3.h"
#include "physics/JointDescription.h"
#include "physics/RigidBodyDescription.h"

namespace GAME {

class RagDollSkeleton {
public:
    // One bone placed in object space.
    struct Bone {
        Name name;
        Coords coords;
    };

    virtual ~RagDollSkeleton() = default;

    // The mesh's bodies and joints, in the order its description text gives them.
    virtual int GetNumRigidBodies() const = 0;
    virtual const RigidBodyDescription& GetRigidBody(int index) const = 0;
    virtual int GetNumJoints() const = 0;
    virtual const JointDescription& GetJoint(int index) const = 0;

    // The bone's frame under the current pose; the identity for a bone the mesh lacks.
    virtual Coords GetBoneCoords(const Name& bone) const = 0;
    // Poses the mesh so that each listed bone lies at its frame.
    virtual void SetPose(const mem::vector<Bone>& bones) = 0;
    // The mesh instance's scale, per axis.
    virtual Vec3 GetScale() const = 0;
    // The mesh instance's box in region space, where a body that left the finite world is put.
    virtual OBBox GetRegionSpaceBox() const = 0;
    // The mesh's file name, for messages.
    virtual std::string GetMeshName() const = 0;
    // The animations stop: from now on the rag doll poses the mesh.
    virtual void StopAnimations() = 0;
};

}  // namespace GAME
