#include "engine/Entity.h"

#include <algorithm>

#include "core/Log.h"
#include "core/UniqueIdMap.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysicsRigidBody.h"
#include "world/Region.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(Entity, Object);

namespace {

Name MakeAttachPointName(const std::string& attachPoint) {
    return attachPoint.empty() ? Name::noName : Name::Create(attachPoint.c_str());
}

}  // namespace

Entity::Entity() = default;

Entity::~Entity() {
    // An entity destroyed while still in a level must not leave the level's tree pointing at it.
    if (IsInSpace()) {
        if (Region* region = GetRegion()) region->RemoveEntity(this);
    }
    if (parent_) parent_->Detach(this);
    for (const Attachment& attachment : attached_) attachment.child->parent_ = nullptr;
    // The engine destroys the map before the objects left at shutdown; do not make a new one.
    if (HasUniqueID() && Singleton<UniqueIdMap>::HasInstantiated()) UniqueIdMap::Get()->Unregister(uniqueId_, this);
}

void Entity::SetCoords(const WorldCoords& coords) {
    coords_ = coords;
    for (const Attachment& attachment : attached_) PlaceAttachedEntity(attachment);
}

void Entity::Attach(Entity* child, const Coords& offset, const std::string& attachPoint, bool, bool) {
    if (!child) return;
    for (const Entity* ancestor = this; ancestor; ancestor = ancestor->parent_) {
        if (ancestor == child) {
            Log(LogPriority::Error, "Entity '%s' cannot carry '%s', which carries it", GetObjectName().c_str(),
                child->GetObjectName().c_str());
            return;
        }
    }
    if (child->parent_) child->parent_->Detach(child);
    child->parent_ = this;
    attached_.push_back({child, offset, MakeAttachPointName(attachPoint)});
    PlaceAttachedEntity(attached_.back());
}

void Entity::Detach(Entity* child) {
    const auto it = std::find_if(attached_.begin(), attached_.end(),
                                 [child](const Attachment& attachment) { return attachment.child == child; });
    if (it == attached_.end()) return;
    attached_.erase(it);
    child->parent_ = nullptr;
}

Entity* Entity::CreateAttachedEntity(const std::string& recordName, const std::string& attachPoint) {
    Entity* child = Singleton<ObjectManager>::Get()->CreateObjectFromFile<Entity>(recordName);
    if (child) Attach(child, Coords::Identity, attachPoint);
    return child;
}

bool Entity::GetAttachPointCoords(const Name& attachPoint, Coords& coords) const {
    if (attachPoint != Name::noName) return false;
    coords = Coords::Identity;
    return true;
}

WorldCoords Entity::GetAttachedCoordsInRegion(const Name& attachPoint, bool) const {
    Coords point;
    if (!GetAttachPointCoords(attachPoint, point)) {
        const Vec3 zero;
        return WorldCoords(nullptr, Coords(zero, zero, zero, zero));
    }
    return WorldCoords(GetRegion(), coords_.GetRegionCoords() * point);
}

const Entity::Attachment* Entity::FindAttachment(const Entity* child) const {
    for (const Attachment& attachment : attached_)
        if (attachment.child == child) return &attachment;
    return nullptr;
}

void Entity::PlaceAttachedEntity(const Attachment& attachment) {
    Coords point;
    if (!GetAttachPointCoords(attachment.attachPoint, point)) point = Coords::Identity;
    attachment.child->SetCoords(WorldCoords(GetRegion(), coords_.GetRegionCoords() * point * attachment.offset));
}

void Entity::Update(int elapsedMs) {
    if (!initialUpdateDone_) {
        initialUpdateDone_ = true;
        InitialUpdate();
    }
    UpdateSelf(elapsedMs);
    lastFrameUpdated_ = GetEngineFrame();

    // A child may detach or destroy itself (or a sibling) while it updates: walk a copy and skip
    // the children that have left.
    mem::vector<Entity*> children;
    children.reserve(attached_.size());
    for (const Attachment& attachment : attached_) children.push_back(attachment.child);
    for (Entity* child : children) {
        const Attachment* attachment = FindAttachment(child);
        if (!attachment) continue;
        PlaceAttachedEntity(*attachment);
        child->Update(elapsedMs);
    }
}

void Entity::UpdateSelf(int) {}

void Entity::InitialUpdate() {}

uint32_t Entity::GetEngineFrame() { return gEngine ? gEngine->GetFrameCount() : 0; }

void Entity::SetInRenderPreLoadFrustum() { preLoadFrustumFrame_ = GetEngineFrame(); }

bool Entity::IsInRenderPreLoadFrustum() const { return preLoadFrustumFrame_ == GetEngineFrame(); }

void Entity::SetUniqueID(const UniqueId& id) {
    if (id == uniqueId_) return;
    if (HasUniqueID()) UniqueIdMap::Get()->Unregister(uniqueId_, this);
    uniqueId_ = id;
    if (HasUniqueID()) UniqueIdMap::Get()->Register(uniqueId_, this);
}

const UniqueId& Entity::GetUniqueID() {
    if (!HasUniqueID()) {
        UniqueId id;
        id.Create();
        SetUniqueID(id);
    }
    return uniqueId_;
}

const ABBox& Entity::GetRegionBoundingBox(bool alternate) const {
    return alternate && hasAlternateBox_ ? alternateBox_ : regionBox_;
}

void Entity::SetRegionBoundingBox(const ABBox& box, bool alternate) {
    if (alternate) {
        alternateBox_ = box;
        hasAlternateBox_ = true;
    } else {
        regionBox_ = box;
    }
}

bool Entity::Read(BinaryReader&) { return true; }

void Entity::Write(BinaryWriter&) const {}

bool Entity::PreLoad(int, bool) { return true; }

bool Entity::IsInWorld() const { return GetRegion() != nullptr; }

void Entity::OnAddToLevel(Level*) {}

void Entity::OnRemoveFromLevel(Level*) {}

void Entity::OnMoveInLevel(Level*) {}

void Entity::UpdateBoundingBox() {}

void Entity::SetTransparency(const Frustum&) {}

bool Entity::DeleteOnEnteringUnloadedLevel() const { return false; }

bool Entity::ShouldServerSpawn() const { return false; }

bool Entity::ShouldSaveState() const { return false; }

void Entity::SaveState(BinaryWriter&) const {}

bool Entity::RestoreState(BinaryReader&) { return true; }

bool Entity::IncludeInMinimap() const { return false; }

bool Entity::IsUniqueByName() const { return false; }

void Entity::AddToScene(GraphicsSceneRenderer&, const Frustum*) {}

bool Entity::GetShouldRenderAcrossPortals() const { return false; }

void Entity::AnimationCallback(int, const Name&) {}

bool Entity::GetIntersection(const Ray&, Intersection&, PhysicsSurface) { return false; }

bool Entity::OccludesPathing() const { return false; }

void Entity::LogInfo() const {
    const Vec3& position = coords_.GetOrigin().GetRegionPosition();
    Log(LogPriority::Info, "%s '%s' (id %u) at (%.2f %.2f %.2f)%s", GetRTTIClassInfo()->GetClassName(),
        GetObjectName().c_str(), GetObjectId(), position.x, position.y, position.z,
        GetRegion() ? "" : ", not in a region");
}

void Entity::SetPhysicsObject(std::unique_ptr<PhysicsObject> object) {
    DestroyPhysicsObject();
    physicsObject_ = std::move(object);
}

void Entity::DestroyPhysicsObject() {
    if (physicsObject_) physicsCleanup_.push_back(std::move(physicsObject_));
}

void Entity::SetPhysicsType(PhysicsType type) {
    PhysicsEngine* physics = gEngine != nullptr ? gEngine->GetPhysicsEngine() : nullptr;
    const bool resimulate = physics != nullptr && IsInWorld();
    if (resimulate) physics->RemoveEntityFromSimulation(this);
    physicsType_ = type;
    if (resimulate) physics->AddEntityToSimulation(this);
}

void Entity::CreatePhysicsObject(PhysicsEngine& engine) { SetPhysicsObject(std::make_unique<PhysicsRigidBody>(this, engine)); }

void Entity::CleanupPhysicsObjects() { physicsCleanup_.clear(); }

Vec3 Entity::GetCenterOfMass() const { return Vec3(); }

void Entity::CollisionCallback(const CollisionData&) {}

void Entity::HitMaxFallVelocityCallback() {}

bool Entity::GetCollisionProxy(OBBox&) const { return false; }

bool Entity::CanCollide(const Entity*) const { return true; }

const PhysicsMesh* Entity::GetPhysicsMesh() const { return nullptr; }

}  // namespace GAME
