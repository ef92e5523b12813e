#pragma once
// PhysicsRagDoll: an actor's limp body. Each rigid body of the mesh's description text spans a
// parent and a child bone and becomes a box-shaped body of the library; the joints of the text tie
// them together. The bodies are placed from the actor's pose when the rag doll starts, and from
// then on the simulation poses the mesh: after each step the bodies' frames become bone frames.
//
// Bodies live in the actor's region coordinates (the actor itself does not move); the world's
// collision queries take them relative to the simulation centre. The rag doll meets nothing until
// its bodies first touch the world, so a falling rag doll costs one query a step; afterwards each
// colliding body is a CollisionBox that keeps its best contacts, and each contact becomes a joint
// with the static surroundings. It ends after kRestSteps steps at rest in a row, after kMaxSteps
// steps, or when the actor is hidden.
//
// Joints hold their initial angles: hinges, universals and fixed joints are made with both stops
// at zero, so only ball joints flex. A breakable joint is left out, when the rag doll starts, with
// its breakChance in percent.

#include <memory>

#include "core/Mem.h"
#include "physics/JointDescription.h"
#include "physics/PhysicsObject.h"
#include "physics/RagDollSkeleton.h"
#include "physics/RigidBodyDescription.h"

struct dxJointGroup;

namespace GAME {

class CollisionBox;
class Entity;
class PhysicsEngine;
struct CollisionPair;

class PhysicsRagDoll : public PhysicsObject {
public:
    // One body of the rag doll: its description with the mesh instance's scale applied.
    struct RigidBody {
        RigidBodyDescription description;
        Body body = nullptr;
        bool fallen = false;  // has fallen faster than kFallenSpeed
    };

    static constexpr int kRestSteps = 16;
    static constexpr int kMaxSteps = 1000;
    static constexpr float kRestLinearSpeed = 2.0f;
    static constexpr float kRestAngularSpeed = 16.0f;
    // A body once falling faster than this counts as at rest from then on.
    static constexpr float kFallenSpeed = 30.0f;
    // Contacts this deep make no joint, and the collision boxes refuse deeper ones.
    static constexpr float kMaxJointDepth = 0.25f;
    // The first-touch query needs to know only whether anything is there.
    static constexpr int kFirstTouchContacts = 2;

    PhysicsRagDoll(Entity* actor, std::unique_ptr<RagDollSkeleton> skeleton, const PhysicsEngine& engine);
    ~PhysicsRagDoll() override;
    PhysicsRagDoll(const PhysicsRagDoll&) = delete;
    PhysicsRagDoll& operator=(const PhysicsRagDoll&) = delete;

    // "ball", "hinge", "fixed", "universal"; any other text (or null) is kNone.
    static JointDescription::Type ToJointType(const char* text);
    // "x", "y", "z"; any other text (or null) is kAxisX.
    static JointDescription::Axis ToJointAxis(const char* text);
    static const char* ToText(JointDescription::Type type);
    static const char* ToText(JointDescription::Axis axis);
    // A body's frame from its bones' frames: the parent's axes, the origin half-way between the
    // two; a mirrored frame gets its y axis negated.
    static Coords GetRigidBodyCoords(const Coords& parent, const Coords& child);

    // Makes the bodies at the actor's pose and the joints; the animations stop.
    void Init(const WorldVec3& centre) override;
    // The bodies' frames become the mesh's pose.
    void UpdateGameObjectFromSimulation() override;
    void UpdateSimulationFromGameObject(const WorldVec3& centre) override;
    // False once hidden, at rest for kRestSteps steps in a row, or past kMaxSteps steps.
    bool IsEnabled() const override;
    // On every body; a force at a position is not applied to rag dolls.
    void AddForce(const Vec3& force, const WorldVec3& position) override;
    void AddForce(const Vec3& force) override;
    void SetLinearVelocity(const Vec3& velocity) override;
    void SetAngularVelocity(const Vec3& velocity) override;
    void SetLinearVelocity(int index, const Vec3& velocity);
    // The velocity of the first body whose child bone is the named one; zero for none.
    Vec3 GetLinearVelocity(const Name& bone) const override;
    // Zero: a rag doll as a whole has no one velocity.
    Vec3 GetLinearVelocity() const override { return Vec3(); }
    void SetGravityMode(bool enabled) override;
    void FindCollisions() override;
    void DebugRender() const override;

    // True when every body has fallen too fast to be saved (also with no bodies).
    virtual bool WasMaxFallVelocityReached() const;
    Vec3 GetRigidBodyPosition(int index) const;
    const mem::vector<RigidBody>& GetRigidBodies() const { return rigidBodies_; }
    // Joints made (a breakable joint may be left out).
    int GetNumJoints() const { return numJoints_; }
    bool HasCollided() const { return colliding_; }

protected:
    // Called once the bodies and joints are made, before the first step.
    virtual void SetInitialState() {}
    // Called in the step in which the bodies first touch the world.
    virtual void OnFirstCollision() {}

private:
    void CreateRigidBodies();
    // Places the bodies at the skeleton's pose and makes the joints, once, when the simulation starts.
    void ConvertFromPose();
    void CreateJoints();
    void ConvertToPose(mem::vector<RagDollSkeleton::Bone>& bones) const;
    bool IsAtRest();
    bool IsCollidingYet() const;
    // The body's box relative to the simulation centre.
    OBBox GetBodyBox(const RigidBody& body) const;
    // The centre's position in the actor's region: body positions are this plus the offsets the
    // world queries use.
    Vec3 GetCentreOffset() const;
    void Collision(const CollisionPair& pair);

    const PhysicsEngine& engine_;
    Entity* actor_;
    std::unique_ptr<RagDollSkeleton> skeleton_;
    WorldVec3 centre_;
    unsigned int lastDisturbanceTime_ = 0;
    int restCount_ = 0;
    mem::vector<RigidBody> rigidBodies_;
    dxJointGroup* jointGroup_ = nullptr;
    int numJoints_ = 0;
    int stepCount_ = 0;
    bool colliding_ = false;
    bool fallSoundPlayed_ = false;
    bool splashSoundPlayed_ = false;
};

}  // namespace GAME
