// The actor's operations on its mesh instance. They are defined here, beside the mesh instance,
// because scene/ builds on engine/: the actor holds its instance by a forward declaration
// (engine/Actor.h) and engine/ never includes scene/.

#include "engine/Actor.h"

#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/Log.h"
#include "physics/PhysicsRagDoll.h"
#include "scene/ActorRagDollSkeleton.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/SkeletalPose.h"

namespace GAME {

Actor::Actor() = default;

Actor::~Actor() = default;

size_t Actor::CalculateAllocatedMemory() const {
    return Entity::CalculateAllocatedMemory() +
           (meshInstance_ != nullptr ? sizeof(GraphicsMeshInstance) + meshInstance_->CalculateAllocatedMemory() : 0);
}

void Actor::SetMesh(const std::string& fileName) {
    meshInstance_.reset();
    if (fileName.empty()) return;
    meshInstance_ = std::make_unique<GraphicsMeshInstance>();
    GraphicsMeshInstance& instance = *meshInstance_;
    instance.GetAnimChannel(0).SetEntity(0, this);
    instance.SetMesh(fileName.c_str());
    if (!baseTexture_.empty()) instance.SetBaseTexture(baseTexture_.c_str());
    if (!bumpTexture_.empty()) instance.SetBumpTexture(bumpTexture_.c_str());
    if (!shader_.empty()) instance.SetOverrideShader(shader_.c_str());
    instance.SetCastsShadows(castsShadows_);
    instance.SetScale(Vec3(scale_, scale_, scale_));
    instance.SetObjectToRegionCoords(GetCoords().GetRegionCoords());
    UpdateBoundingBox();
}

void Actor::GetPose(SkeletalPose& pose) const {
    if (meshInstance_ != nullptr) {
        pose = meshInstance_->GetSkeletalPose();
    } else {
        pose.Clear();
    }
}

void Actor::StopAnimations() {
    if (meshInstance_ != nullptr) meshInstance_->GetAnimChannel(0).StopAnimation();
}

void Actor::CreatePhysicsObject(PhysicsEngine& engine) {
    if (GetPhysicsType() != PhysicsType::RagDoll || meshInstance_ == nullptr) {
        Entity::CreatePhysicsObject(engine);
        return;
    }
    SetPhysicsObject(std::make_unique<PhysicsRagDoll>(this, std::make_unique<ActorRagDollSkeleton>(*this), engine));
}

void Actor::SetCoords(const WorldCoords& coords) {
    Entity::SetCoords(coords);
    if (meshInstance_ == nullptr) return;
    meshInstance_->SetObjectToRegionCoords(coords.GetRegionCoords());
    UpdateBoundingBox();
}

void Actor::UpdateSelf(int elapsedMs) {
    Entity::UpdateSelf(elapsedMs);
    if (meshInstance_ == nullptr) return;
    meshInstance_->Update(elapsedMs, movement_, false);
    meshInstance_->UpdateSectionOpacities(elapsedMs, kMinSeeThroughOpacity);
    const Entity* parent = GetParent();
    const GraphicsMeshInstance* worn = parent != nullptr && parent->GetRTTIClassInfo()->IsA(&Actor::classInfo)
                                           ? static_cast<const Actor*>(parent)->GetMeshInstance()
                                           : nullptr;
    meshInstance_->UpdatePose(worn, false);
    UpdateBoundingBox();
}

bool Actor::PreLoad(int priority, bool enqueue) {
    if (!Entity::PreLoad(priority, enqueue)) return false;
    if (meshInstance_ != nullptr && enqueue) meshInstance_->PreLoad(priority, true);
    return true;
}

void Actor::UpdateBoundingBox() {
    Entity::UpdateBoundingBox();
    if (meshInstance_ == nullptr) return;
    meshInstance_->UpdateBoundingBox(false);
    SetRegionBoundingBox(meshInstance_->GetRegionSpaceABBox(), false);
}

void Actor::SetTransparency(const Frustum& frustum) {
    if (meshInstance_ != nullptr) meshInstance_->SetTransparency(frustum, GetRegion(), Color(), true);
}

void Actor::SaveState(BinaryWriter& writer) const {
    Entity::SaveState(writer);
    if (meshInstance_ != nullptr) meshInstance_->SaveState(writer);
}

bool Actor::RestoreState(BinaryReader& reader) {
    if (!Entity::RestoreState(reader)) return false;
    if (meshInstance_ == nullptr) return true;
    if (!meshInstance_->RestoreState(reader)) return false;
    UpdateBoundingBox();
    return true;
}

void Actor::AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) {
    if (meshInstance_ == nullptr || meshInstance_->GetMesh() == nullptr || !IsVisible()) return;
    if (!renderer.IsRenderFlagSet(GraphicsSceneRenderer::kMeshes)) return;
    if (frustum != nullptr && !frustum->TestABBox(meshInstance_->GetRegionSpaceABBox())) return;
    meshInstance_->PrepareForRendering();
    renderer.AddRenderable(meshInstance_.get(), GetRegion());
}

bool Actor::GetAttachPointCoords(const Name& attachPoint, Coords& coords) const {
    const GraphicsMesh* mesh = meshInstance_ != nullptr ? meshInstance_->GetMesh() : nullptr;
    if (mesh == nullptr || mesh->GetAttachPoint(attachPoint) == nullptr) {
        return Entity::GetAttachPointCoords(attachPoint, coords);
    }
    mesh->GetAttachedCoords(meshInstance_->GetSkeletalPose(), attachPoint, coords);
    const Vec3& scale = meshInstance_->GetScale();
    coords.origin = Vec3(coords.origin.x * scale.x, coords.origin.y * scale.y, coords.origin.z * scale.z);
    return true;
}

bool Actor::GetCollisionProxy(OBBox& box) const {
    if (meshInstance_ == nullptr) return false;
    box = meshInstance_->GetRegionSpaceOBBox();
    return true;
}

bool Actor::GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface excluded) {
    if (meshInstance_ == nullptr || !meshInstance_->GetIntersection(ray, intersection, excluded)) return false;
    intersection.entity = this;
    return true;
}

void Actor::LogInfo() const {
    Entity::LogInfo();
    if (meshInstance_ != nullptr) meshInstance_->LogInfo();
}

}  // namespace GAME
