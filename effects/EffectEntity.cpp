#include "effects/EffectEntity.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "core/Intersection.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/Sphere.h"
#include "effects/Effect.h"
#include "effects/EffectResource.h"
#include "engine/Actor.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/BaseResourceManager.h"
#include "files/LoadTable.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "render/DebugRenderManager.h"
#include "scene/AnimChannel.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsSceneRenderer.h"
#include "world/World.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(EffectEntity, Entity);

// An animation's creation points make self-deleting children of their effects (AnimChannel.h).
void AnimChannel::PrepareCreatedEntity(Entity& created) {
    if (created.GetRTTIClassInfo()->IsA(&EffectEntity::classInfo)) {
        static_cast<EffectEntity&>(created).MakeSelfDeletingChild();
    }
}

EffectEntity::EffectEntity() { SetRegionBoundingBox(ABBox(Vec3(), Vec3(1.0f, 1.0f, 1.0f)), false); }

EffectEntity::~EffectEntity() {
    effect_.reset();
    ReleaseResource();
}

void EffectEntity::ReleaseResource() {
    if (resource_ && resource_->GetResourceManager()) resource_->GetResourceManager()->UnloadResource(resource_);
    resource_ = nullptr;
}

bool EffectEntity::Load(const LoadTable& table) {
    if (!Entity::Load(table)) return false;
    ReleaseResource();
    resource_ = table.LoadResourceEffect("effectFile", 0);
    const std::string type = table.GetValue("emitterType", "");
    if (type.empty() || type == "Standard" || type == "BoneList" || type == "AllBones") {
        boneList_ = type == "BoneList" || type == "AllBones";
        allBones_ = type == "AllBones";
        dynamicLines_ = false;
    }
    anchored_ = table.GetBool("Anchored", false);
    localOrientFix_ = table.GetBool("localOrientFix", false);
    boneNames_.clear();
    for (int i = 0; i < table.GetNumElementsForField("boneList"); ++i)
        boneNames_.emplace_back(table.GetArrayValue("boneList", i, ""));
    return true;
}

void EffectEntity::Load(const std::string& fileName) {
    BaseResourceManager* const manager = gEngine != nullptr ? gEngine->GetEffectResourceManager() : nullptr;
    SetResource(manager ? static_cast<ResourceManager<EffectResource>*>(manager)->LoadResource(fileName) : nullptr);
}

void EffectEntity::SetResource(const EffectResource* resource) {
    ReleaseResource();
    resource_ = resource;
    ReLoad();
}

void EffectEntity::MakeEffect() {
    effect_ = std::make_unique<Effect>(resource_->GetEffectData());
    effect_->SetParentEntity(this);
    effect_->SetAnchored(anchored_);
    effect_->SetLocalOrientFix(localOrientFix_);
    if (emitting_) {
        effect_->StartEmitting();
    } else {
        effect_->StopEmitting();
    }
}

void EffectEntity::ReLoad() {
    effect_.reset();
    if (resource_) MakeEffect();
}

void EffectEntity::Reset() {
    const EffectData* data = resource_ ? resource_->GetEffectData() : nullptr;
    if (effect_ && data) effect_->Reset(*data);
}

bool EffectEntity::AddToWorld(const WorldCoords& coords, bool selfRemove) {
    World* world = gEngine != nullptr ? gEngine->GetWorld() : nullptr;
    selfRemove_ = selfRemove;
    return world && world->AddEntity(this, coords, true);
}

void EffectEntity::StartEmitting() {
    emitting_ = true;
    if (effect_) effect_->StartEmitting();
}

void EffectEntity::StopEmitting() {
    emitting_ = false;
    if (effect_) effect_->StopEmitting();
}

bool EffectEntity::HasActiveParticles() const { return effect_ && effect_->HasActiveParticles(); }

void EffectEntity::SetAnchored(bool anchored) {
    anchorsGiven_ = true;
    if (effect_) effect_->SetAnchored(anchored);
}

void EffectEntity::SetDynamicLines(const std::vector<Segment>& segments, const std::vector<bool>& flags) {
    dynamicLines_ = true;
    segments_.clear();
    for (size_t i = 0; i < segments.size(); ++i) {
        const Vec3 start = segments[i].start;
        Vec3 end = segments[i].end;
        if ((start - end).LengthSquared() < 0.001f) end = start + Vec3(0.001f, 0.001f, 0.001f);
        EmitterBone bone;
        bone.start = start;
        bone.end = end;
        bone.length = (start - end).Length();
        bone.active = i < flags.size() && flags[i];
        segments_.push_back(bone);
    }
    if (effect_) effect_->SetBoneList(segments_);
    UpdateBoundingBox();
}

bool EffectEntity::PreLoad(int priority, bool enqueue) {
    if (!Entity::PreLoad(priority, enqueue)) return false;
    if (resource_ && resource_->GetResourceLoader())
        resource_->GetResourceLoader()->EnqueueResource(resource_, ResourcePriority::Normal, false, false);
    // The effect's own textures and shaders are queued with it.
    if (effect_) effect_->PreLoad(priority, enqueue);
    return true;
}

void EffectEntity::AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) {
    Entity::AddToScene(renderer, frustum);
    if (!effect_) return;
    effect_->AddToScene(renderer, frustum);
    if (renderer.IsRenderFlagSet(GraphicsSceneRenderer::kBoundingBoxes)) {
        Singleton<DebugRenderManager>::Get()->RenderBox(GetRegion(), GetRegionBoundingBox(false),
                                                        Color(1.0f, 0.0f, 0.0f, 1.0f));
    }
}

bool EffectEntity::GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) {
    intersection.distance = std::numeric_limits<float>::infinity();
    if (surface == PhysicsSurface{0} || gEngine == nullptr || !gEngine->IsEditorMode()) return false;
    const float distance = Sphere(GetCoords().GetOrigin().GetRegionPosition(), 1.0f).GetIntersection(ray);
    intersection.distance = distance;
    if (distance == std::numeric_limits<float>::infinity()) return false;
    intersection.point = ray.GetPoint(distance);
    return true;
}

bool EffectEntity::PullParentBones(std::vector<EmitterBone>& bones) const {
    const Entity* parent = GetParent();
    const Actor* actor = parent && parent->GetRTTIClassInfo()->IsA(&Actor::classInfo) ? static_cast<const Actor*>(parent) : nullptr;
    const GraphicsMeshInstance* instance = actor ? actor->GetMeshInstance() : nullptr;
    const GraphicsMesh* mesh = instance ? instance->GetMesh() : nullptr;
    if (!mesh) return false;
    std::vector<int> chosen;
    if (allBones_) {
        for (int bone = 0; bone < mesh->GetNumBones(); ++bone) chosen.push_back(bone);
    } else {
        for (const std::string& name : boneNames_) {
            const int bone = mesh->GetBoneIndex(Name::Create(name.c_str()));
            if (bone >= 0) chosen.push_back(bone);
        }
    }
    const SkeletalPose& pose = instance->GetSkeletalPose();
    for (const int bone : chosen) {
        const uint32_t parentBone = mesh->GetBone(bone).parent;
        if (parentBone == GraphicsMesh::kNoBone) continue;
        EmitterBone segment;
        segment.start = mesh->GetAbsCoords(pose, bone).origin;
        segment.end = mesh->GetAbsCoords(pose, static_cast<int>(parentBone)).origin;
        segment.length = (segment.start - segment.end).Length();
        bones.push_back(segment);
    }
    return true;
}

void EffectEntity::UpdateBoundingBox() {
    if (hasEffectBox_) {
        SetRegionBoundingBox(effectBox_, false);
    } else {
        SetRegionBoundingBox(ABBox(GetCoords().GetOrigin().GetRegionPosition(), Vec3(3.0f, 3.0f, 3.0f)), false);
    }
}

size_t EffectEntity::CalculateMemoryUsage() const {
    return Entity::CalculateMemoryUsage() + sizeof(EffectEntity) - sizeof(Entity);
}

size_t EffectEntity::CalculateAllocatedMemory() const {
    size_t bytes = Entity::CalculateAllocatedMemory() + segments_.capacity() * sizeof(EmitterBone) +
                   boneNames_.capacity() * sizeof(std::string);
    for (const std::string& name : boneNames_) bytes += name.capacity();
    if (effect_) bytes += effect_->CalculateMemoryUsage();
    return bytes;
}

void EffectEntity::UpdateSelf(int elapsedMs) {
    Entity::UpdateSelf(elapsedMs);
    if (lightMultiplier_ != lightTarget_) {
        const float step = static_cast<float>(elapsedMs) * 0.001f;
        if (std::fabs(lightMultiplier_ - lightTarget_) <= step) {
            lightMultiplier_ = lightTarget_;
        } else {
            lightMultiplier_ += lightMultiplier_ < lightTarget_ ? step : -step;
        }
    }
    if (!effect_ && resource_ && resource_->GetIsReadyToUse()) {
        MakeEffect();
        effect_->SetBoundingBox(GetRegionBoundingBox(false));
    }
    const EffectData* data = resource_ ? resource_->GetEffectData() : nullptr;
    if (!GetRegion() || !effect_ || !data || destroyQueued_) return;

    effect_->SetLightMultiplier(lightMultiplier_);

    if (anchorsGiven_) {
        effect_->SetAnchored(true);
        effect_->SetAnchor1(anchor1_);
        effect_->SetAnchor2(anchor2_);
    } else if (anchored_) {
        if (Entity* parent = GetParent()) {
            anchor1_ = parent->GetAttachedCoordsInRegion(Name::Create("Anchor1")).GetOrigin();
            anchor2_ = parent->GetAttachedCoordsInRegion(Name::Create("Anchor2")).GetOrigin();
        } else {
            anchor1_ = anchor2_ = GetCoords().GetOrigin();
        }
        effect_->SetAnchor1(anchor1_);
        effect_->SetAnchor2(anchor2_);
    }
    effect_->Update(GetCoords(), *data, effectBox_);
    hasEffectBox_ = true;
    UpdateBoundingBox();

    if (!effect_->IsComplete()) return;
    Entity* parent = GetParent();
    const bool childGoes = selfDeletingChild_ && parent;
    if (!selfRemove_ && !childGoes) return;
    if (selfRemove_) {
        if (World* world = gEngine != nullptr ? gEngine->GetWorld() : nullptr) world->RemoveEntity(this);
    }
    if (childGoes) parent->Detach(this);
    destroyQueued_ = true;
    Singleton<ObjectManager>::Get()->DestroyObjectEx(this, __FILE__, __LINE__);
}

}  // namespace GAME
