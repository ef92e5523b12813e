#include "physics/PhysicsRagDoll.h"

#include "core/ABBox.h"
#include "core/GameClock.h"
#include "core/Log.h"
#include "core/Random.h"
#include "core/Singleton.h"
#include "engine/CollisionData.h"
#include "engine/Entity.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionPair.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysicsWorld.h"
#include "render/DebugRenderManager.h"

#include <ode/ode.h>

#include <cmath>
#include <cstring>

namespace GAME {

namespace {

constexpr const char* kJointTypeNames[] = {"none", "ball", "hinge", "fixed", "universal"};
constexpr const char* kJointAxisNames[] = {"x", "y", "z"};

// The smallest side and the density a body's mass is made with: the library aborts on a body
// without mass.
constexpr float kMinExtent = 0.01f;
constexpr float kDefaultDensity = 100.0f;

Vec3 Scaled(const Vec3& v, const Vec3& scale) { return Vec3(v.x * scale.x, v.y * scale.y, v.z * scale.z); }

Vec3 ToVec3(const dReal* v) { return Vec3(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])); }

// The stops of one joint axis, both at zero: the joint holds its initial angle about it.
template <class SetParam>
void LockAxis(dJointID joint, SetParam setParam, int loStop, int hiStop) {
    setParam(joint, loStop, 0.0);
    setParam(joint, hiStop, 0.0);
}

}  // namespace

PhysicsRagDoll::PhysicsRagDoll(Entity* actor, std::unique_ptr<RagDollSkeleton> skeleton, const PhysicsEngine& engine)
    : engine_(engine), actor_(actor), skeleton_(std::move(skeleton)) {}

PhysicsRagDoll::~PhysicsRagDoll() {
    for (RigidBody& body : rigidBodies_) dBodyDestroy(body.body);
    if (jointGroup_ != nullptr) dJointGroupDestroy(jointGroup_);
}

JointDescription::Type PhysicsRagDoll::ToJointType(const char* text) {
    if (!text) return JointDescription::kNone;
    for (int type = JointDescription::kBall; type <= JointDescription::kUniversal; ++type)
        if (std::strcmp(text, kJointTypeNames[type]) == 0) return static_cast<JointDescription::Type>(type);
    return JointDescription::kNone;
}

JointDescription::Axis PhysicsRagDoll::ToJointAxis(const char* text) {
    if (!text) return JointDescription::kAxisX;
    for (int axis = JointDescription::kAxisX; axis <= JointDescription::kAxisZ; ++axis)
        if (std::strcmp(text, kJointAxisNames[axis]) == 0) return static_cast<JointDescription::Axis>(axis);
    return JointDescription::kAxisX;
}

const char* PhysicsRagDoll::ToText(JointDescription::Type type) {
    return type >= JointDescription::kNone && type <= JointDescription::kUniversal ? kJointTypeNames[type] : "none";
}

const char* PhysicsRagDoll::ToText(JointDescription::Axis axis) {
    return axis >= JointDescription::kAxisX && axis <= JointDescription::kAxisZ ? kJointAxisNames[axis] : "x";
}

Coords PhysicsRagDoll::GetRigidBodyCoords(const Coords& parent, const Coords& child) {
    Coords frame = parent;
    frame.origin = (parent.origin + child.origin) * 0.5f;
    if (frame.IsMirrored()) frame.yAxis = -frame.yAxis;
    return frame;
}

void PhysicsRagDoll::Init(const WorldVec3& centre) {
    centre_ = centre;
    CreateRigidBodies();
    ConvertFromPose();
    SetInitialState();
    skeleton_->StopAnimations();
}

void PhysicsRagDoll::CreateRigidBodies() {
    const Vec3 scale = skeleton_->GetScale();
    for (int i = 0; i < skeleton_->GetNumRigidBodies(); ++i) {
        RigidBody body{skeleton_->GetRigidBody(i), dBodyCreate(engine_.GetWorld()), false};
        RigidBodyDescription& description = body.description;
        description.extents = Scaled(description.extents, scale);
        description.parentCoords.origin = Scaled(description.parentCoords.origin, scale);
        description.childCoords.origin = Scaled(description.childCoords.origin, scale);
        rigidBodies_.push_back(std::move(body));
    }
}

void PhysicsRagDoll::ConvertFromPose() {
    const Coords actor = actor_->GetCoords().GetRegionCoords();
    const Vec3 scale = skeleton_->GetScale();
    for (RigidBody& body : rigidBodies_) {
        Coords parent = skeleton_->GetBoneCoords(body.description.parentName);
        Coords child = skeleton_->GetBoneCoords(body.description.childName);
        parent.origin = Scaled(parent.origin, scale);
        child.origin = Scaled(child.origin, scale);
        SetBodyCoords(body.body, GetRigidBodyCoords(actor * parent, actor * child));

        const Vec3& extents = body.description.extents;
        const float density = body.description.density > 0.0f ? body.description.density : kDefaultDensity;
        dMass mass;
        dMassSetZero(&mass);
        dMassSetBox(&mass, density, std::fmax(extents.x, kMinExtent), std::fmax(extents.y, kMinExtent),
                    std::fmax(extents.z, kMinExtent));
        dBodySetMass(body.body, &mass);
    }
    CreateJoints();
}

void PhysicsRagDoll::CreateJoints() {
    if (rigidBodies_.empty()) return;
    jointGroup_ = dJointGroupCreate(0);
    const int count = static_cast<int>(rigidBodies_.size());
    for (int i = 0; i < skeleton_->GetNumJoints(); ++i) {
        const JointDescription& joint = skeleton_->GetJoint(i);
        if (joint.rigidBody0 < 0 || joint.rigidBody0 >= count || joint.rigidBody1 < 0 || joint.rigidBody1 >= count)
            continue;
        if (joint.breakable && Rand15() % 100 < joint.breakChance) continue;
        const RigidBody& first = rigidBodies_[static_cast<size_t>(joint.rigidBody0)];
        const RigidBody& second = rigidBodies_[static_cast<size_t>(joint.rigidBody1)];
        Coords frame;
        GetBodyCoords(first.body, frame);
        const Coords anchor =
            frame * (joint.jointConnection == 0 ? first.description.parentCoords : first.description.childCoords);
        const Vec3& at = anchor.origin;
        auto axis = [&anchor](int index) { return index == 0 ? anchor.xAxis : index == 1 ? anchor.yAxis : anchor.zAxis; };

        dJointID made = nullptr;
        switch (joint.jointType) {
        case JointDescription::kBall:
            made = dJointCreateBall(engine_.GetWorld(), jointGroup_);
            dJointAttach(made, first.body, second.body);
            dJointSetBallAnchor(made, at.x, at.y, at.z);
            break;
        case JointDescription::kHinge:
            made = dJointCreateHinge(engine_.GetWorld(), jointGroup_);
            dJointAttach(made, first.body, second.body);
            dJointSetHingeAnchor(made, at.x, at.y, at.z);
            if (joint.jointAxis0 >= JointDescription::kAxisX && joint.jointAxis0 <= JointDescription::kAxisZ) {
                const Vec3 along = axis(joint.jointAxis0);
                dJointSetHingeAxis(made, along.x, along.y, along.z);
                LockAxis(made, dJointSetHingeParam, dParamLoStop, dParamHiStop);
            }
            break;
        case JointDescription::kFixed:
            made = dJointCreateSlider(engine_.GetWorld(), jointGroup_);
            dJointAttach(made, first.body, second.body);
            dJointSetSliderAxis(made, anchor.xAxis.x, anchor.xAxis.y, anchor.xAxis.z);
            LockAxis(made, dJointSetSliderParam, dParamLoStop, dParamHiStop);
            break;
        case JointDescription::kUniversal:
            made = dJointCreateUniversal(engine_.GetWorld(), jointGroup_);
            dJointAttach(made, first.body, second.body);
            dJointSetUniversalAnchor(made, at.x, at.y, at.z);
            dJointSetUniversalAxis1(made, anchor.yAxis.x, anchor.yAxis.y, anchor.yAxis.z);
            LockAxis(made, dJointSetUniversalParam, dParamLoStop, dParamHiStop);
            dJointSetUniversalAxis2(made, anchor.zAxis.x, anchor.zAxis.y, anchor.zAxis.z);
            LockAxis(made, dJointSetUniversalParam, dParamLoStop2, dParamHiStop2);
            break;
        default:
            break;
        }
        if (made != nullptr) ++numJoints_;
    }
}

void PhysicsRagDoll::ConvertToPose(mem::vector<RagDollSkeleton::Bone>& bones) const {
    const Coords toActor = actor_->GetCoords().GetRegionCoords().Inverse();
    const Vec3 scale = skeleton_->GetScale();
    const Vec3 inverseScale(1.0f / scale.x, 1.0f / scale.y, 1.0f / scale.z);
    for (size_t i = 0; i < rigidBodies_.size(); ++i) {
        const RigidBody& body = rigidBodies_[i];
        const RigidBodyDescription& description = body.description;
        Coords frame;
        GetBodyCoords(body.body, frame);
        if (!frame.origin.IsValid()) {
            Log(LogPriority::Info,
                "Invalid rigid body data in rag doll. Body %d of %s: <%f, %f, %f>\n %s: <%f, %f, %f>\n %s: <%f, %f, %f>\n",
                static_cast<int>(i), skeleton_->GetMeshName().c_str(), frame.origin.x, frame.origin.y, frame.origin.z,
                description.parentNameText.c_str(), description.parentCoords.origin.x, description.parentCoords.origin.y,
                description.parentCoords.origin.z, description.childNameText.c_str(), description.childCoords.origin.x,
                description.childCoords.origin.y, description.childCoords.origin.z);
            frame = skeleton_->GetRegionSpaceBox().coords;
        }
        // In the actor's scaled space the bones hang off the body as described; the pose is unscaled.
        const Coords inActor = toActor * frame;
        auto place = [&](const Name& name, const Coords& relative) {
            Coords bone = inActor * relative;
            bone.origin = Scaled(bone.origin, inverseScale);
            bones.push_back({name, bone});
        };
        place(description.parentName, description.parentCoords);
        place(description.childName, description.childCoords);
        for (const FusedBone& fused : description.fusedBones) bones.push_back({fused.name, fused.coords});
    }
}

void PhysicsRagDoll::UpdateGameObjectFromSimulation() {
    mem::vector<RagDollSkeleton::Bone> bones;
    ConvertToPose(bones);
    skeleton_->SetPose(bones);
}

void PhysicsRagDoll::UpdateSimulationFromGameObject(const WorldVec3& centre) {
    centre_ = centre;
    restCount_ = IsAtRest() ? restCount_ + 1 : 0;
    ++stepCount_;
}

bool PhysicsRagDoll::IsEnabled() const {
    return actor_->IsVisible() && restCount_ < kRestSteps && stepCount_ <= kMaxSteps;
}

bool PhysicsRagDoll::IsAtRest() {
    for (RigidBody& body : rigidBodies_) {
        if (body.fallen) continue;
        if (dBodyGetLinearVel(body.body)[1] < -kFallenSpeed) {
            body.fallen = true;
            continue;
        }
        if (!IsRigidBodyAtRest(body.body, kRestLinearSpeed, kRestAngularSpeed)) return false;
    }
    return true;
}

bool PhysicsRagDoll::WasMaxFallVelocityReached() const {
    for (const RigidBody& body : rigidBodies_)
        if (!body.fallen) return false;
    return true;
}

void PhysicsRagDoll::AddForce(const Vec3&, const WorldVec3&) {}

void PhysicsRagDoll::AddForce(const Vec3& force) {
    for (const RigidBody& body : rigidBodies_) dBodyAddForce(body.body, force.x, force.y, force.z);
}

void PhysicsRagDoll::SetLinearVelocity(const Vec3& velocity) {
    for (const RigidBody& body : rigidBodies_) dBodySetLinearVel(body.body, velocity.x, velocity.y, velocity.z);
}

void PhysicsRagDoll::SetLinearVelocity(int index, const Vec3& velocity) {
    if (index < 0 || index >= static_cast<int>(rigidBodies_.size())) return;
    dBodySetLinearVel(rigidBodies_[static_cast<size_t>(index)].body, velocity.x, velocity.y, velocity.z);
}

void PhysicsRagDoll::SetAngularVelocity(const Vec3& velocity) {
    for (const RigidBody& body : rigidBodies_) dBodySetAngularVel(body.body, velocity.x, velocity.y, velocity.z);
}

Vec3 PhysicsRagDoll::GetLinearVelocity(const Name& bone) const {
    for (const RigidBody& body : rigidBodies_)
        if (body.description.childName == bone) return ToVec3(dBodyGetLinearVel(body.body));
    return Vec3();
}

Vec3 PhysicsRagDoll::GetRigidBodyPosition(int index) const {
    return ToVec3(dBodyGetPosition(rigidBodies_.at(static_cast<size_t>(index)).body));
}

void PhysicsRagDoll::SetGravityMode(bool enabled) {
    for (const RigidBody& body : rigidBodies_) dBodySetGravityMode(body.body, enabled ? 1 : 0);
}

Vec3 PhysicsRagDoll::GetCentreOffset() const {
    WorldVec3 centre = centre_;
    if (Region* region = actor_->GetRegion()) centre.MakeRelative(region);
    return centre.GetRegionPosition();
}

OBBox PhysicsRagDoll::GetBodyBox(const RigidBody& body) const {
    Coords frame;
    GetBodyCoords(body.body, frame);
    frame.origin -= GetCentreOffset();
    return OBBox(body.description.extents, frame);
}

bool PhysicsRagDoll::IsCollidingYet() const {
    PhysicsWorld* world = engine_.GetPhysicsWorld();
    if (world == nullptr) return false;
    bool any = false;
    ABBox bounds;
    for (const RigidBody& body : rigidBodies_) {
        if (!body.description.collides) continue;
        const ABBox box(GetBodyBox(body));
        bounds = any ? ABBox::Union(bounds, box) : box;
        any = true;
    }
    if (!any || !bounds.centre.IsValid() || !bounds.halfSize.IsValid()) return false;
    CollisionContact contacts[kFirstTouchContacts];
    return world->FindCollisions(actor_, OBBox(bounds), centre_, contacts, kFirstTouchContacts) > 0;
}

void PhysicsRagDoll::FindCollisions() {
    PhysicsWorld* world = engine_.GetPhysicsWorld();
    if (world == nullptr) return;
    if (!colliding_) {
        if (!IsCollidingYet()) return;
        OnFirstCollision();
        colliding_ = true;
    }

    mem::vector<CollisionBox> boxes;
    mem::vector<const RigidBody*> owners;
    for (const RigidBody& body : rigidBodies_) {
        if (!body.description.collides) continue;
        const OBBox box = GetBodyBox(body);
        if (!box.coords.origin.IsValid()) continue;
        boxes.emplace_back(box, kMaxJointDepth);
        owners.push_back(&body);
    }
    if (boxes.empty()) return;
    world->FindCollisions(actor_, boxes, centre_);

    const Vec3 offset = GetCentreOffset();
    for (size_t b = 0; b < boxes.size(); ++b) {
        const CollisionBox& box = boxes[b];
        CollisionContact contacts[CollisionBox::kMaxContacts];
        for (int i = 0; i < box.GetNumContacts(); ++i) contacts[i] = box.GetContact(i);
        engine_.RenderContacts(contacts, box.GetNumContacts());

        mem::vector<CollisionPair> pairs;
        for (int i = 0; i < box.GetNumContacts(); ++i) {
            CollisionContact contact = contacts[i];
            const bool water = contact.surface == PhysicsSurface::Water;
            if (pairs.empty() || pairs.back().other != contact.entity || pairs.back().surface != contact.surface) {
                // The pair's flag cues a sound: the body's first fall, and its first splash.
                bool cue = false;
                if (owners[b]->description.playFallSound) {
                    if (water && !splashSoundPlayed_) {
                        cue = true;
                        fallSoundPlayed_ = splashSoundPlayed_ = true;
                    } else if (!water && !fallSoundPlayed_) {
                        cue = true;
                        fallSoundPlayed_ = true;
                    }
                }
                pairs.push_back(CollisionPair{actor_, contact.entity, contact.surface, contact.normal, cue});
            }
            if (water || contact.depth >= kMaxJointDepth) continue;
            contact.position += offset;
            engine_.AddContactJoint(contact, owners[b]->body, nullptr);
        }
        for (const CollisionPair& pair : pairs) Collision(pair);
    }
}

void PhysicsRagDoll::Collision(const CollisionPair& pair) {
    actor_->CollisionCallback(CollisionData{pair.other, pair.surface, pair.normal, pair.flag});
    if (pair.other != nullptr || rigidBodies_.empty()) return;
    const unsigned int now = static_cast<unsigned int>(GetGameTime());
    if (now - lastDisturbanceTime_ <= kDisturbanceInterval) return;
    lastDisturbanceTime_ = now;
    const Body body = rigidBodies_.front().body;
    const Vec3 linear = ToVec3(dBodyGetLinearVel(body));
    const Vec3 angular = ToVec3(dBodyGetAngularVel(body));
    const float strength = std::sqrt(Dot(linear, linear) + Dot(angular, angular));
    engine_.GetPhysicsWorld()->CreatePointDisturbance(WorldVec3(actor_->GetRegion(), ToVec3(dBodyGetPosition(body))), 1.0f,
                                                      strength, pair.surface == PhysicsSurface::Water ? 3 : 0);
}

// The bodies live in the actor's region coordinates, so they are drawn there.
void PhysicsRagDoll::DebugRender() const {
    Region* region = actor_->GetRegion();
    if (region == nullptr || !Singleton<DebugRenderManager>::HasInstantiated()) return;
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    const Color kBox(0.5f, 0.5f, 1.0f, 1.0f);
    const Color kAxes[3] = {Color(1.0f, 0.0f, 0.0f, 1.0f), Color(0.0f, 1.0f, 0.0f, 1.0f), Color(0.0f, 0.0f, 1.0f, 1.0f)};
    for (const RigidBody& body : rigidBodies_) {
        Coords frame;
        GetBodyCoords(body.body, frame);
        debug.RenderBox(region, OBBox(body.description.extents, frame), kBox);
        const Vec3 axes[3] = {frame.xAxis, frame.yAxis, frame.zAxis};
        for (int a = 0; a < 3; ++a) debug.RenderLine(region, frame.origin, frame.origin + axes[a] * 0.2f, kAxes[a], nullptr);
    }
}

}  // namespace GAME
