#include "scene/GraphicsMeshInstance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <typeinfo>
#include <utility>

#include "core/Intersection.h"
#include "core/IntersectionTests.h"
#include "core/Log.h"
#include "core/Mat4.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/ResourceLoader.h"
#include "physics/PhysicsMesh.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GMIEffect.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"

namespace GAME {

namespace {

// The exponent that takes opacity 0.5 to 1/255.
const float kTransparencyExponent = std::log(1.0f / 255.0f) / std::log(0.5f);

// The parameters a draw sets, by their place in kDrawParameters.
enum DrawParameter : uint32_t {
    kObjectToWorld,
    kObjectToScreen,
    kObjectToRegionOffset,
    kDiffuseColor,
    kShadowBias,
    kGlobalFade,
    kTransparency,
    kBoneMatrix,
    kBaseTexture,
    kBumpTexture,
    kDissolveColor,
    kDissolveValue,
    kDissolveTexture,
};

const GraphicsShader2::ParameterList kDrawParameters{
    "objectToWorldMatrix",     "objectToScreenMatrix", "objectToRegionOffset", "diffuseColor", "shadowBias",
    "blendedGlobalFadeFactor", "transparencyValue",    "boneMatrix",           "baseTexture",  "bumpTexture",
    "dissolveColor",           "dissolveValue",        "dissolveTexture"};

const Name kBaseTextureName = Name::Create("baseTexture");

Coords Scaled(const Coords& coords, const Vec3& scale) {
    return Coords(coords.xAxis * scale.x, coords.yAxis * scale.y, coords.zAxis * scale.z, coords.origin);
}

Vec3 Multiply(const Vec3& a, const Vec3& b) { return Vec3(a.x * b.x, a.y * b.y, a.z * b.z); }

const std::string kFadeIn = "FadeIn";

// A full change of a section's opacity takes 750 ms.
constexpr float kSectionFadePerMs = 1.0f / 750.0f;

// Moves a dissolve or fade value by ms over the duration toward its end (1 or 0); true when it got
// there. A duration under a millisecond gets there at once.
bool Step(float& value, int ms, int duration, bool rising) {
    const float step = duration > 0 ? float(ms) / float(duration) : 1.0f;
    value += rising ? step : -step;
    if (rising ? value < 1.0f : value > 0.0f) return false;
    value = rising ? 1.0f : 0.0f;
    return true;
}

int Milliseconds(float seconds) { return int(seconds * 1000.0f); }

}  // namespace

GraphicsMeshInstance::GraphicsMeshInstance() : graphics_(GetEngineGraphics()) {}

GraphicsMeshInstance::~GraphicsMeshInstance() {
    // Effects clean up against a whole instance.
    if (effect_ != nullptr) RetireGMIEffect(effect_.get());
    retiredEffects_.clear();
    ReleaseMesh();
    ReplaceTexture(baseTexture_, nullptr);
    ReplaceTexture(bumpTexture_, nullptr);
    ReplaceTexture(dissolveTexture_, nullptr);
    UnloadOverrideShader(nullptr);
}

GraphicsMeshInstance::GraphicsMeshInstance(const GraphicsMeshInstance& other) : GraphicsMeshInstance() {
    *this = other;
}

GraphicsMeshInstance& GraphicsMeshInstance::operator=(const GraphicsMeshInstance& other) {
    if (this == &other) return *this;
    // The new references before the old ones go: the source may hold the last reference to what
    // this instance gives up.
    GraphicsEngine* graphics = graphics_;
    const auto again = [graphics](const Resource* resource, auto load) {
        return resource != nullptr && graphics != nullptr ? load(resource->GetFileName()) : nullptr;
    };
    const GraphicsMesh* mesh =
        again(other.mesh_, [graphics](const std::string& name) { return graphics->LoadMesh(name); });
    const GraphicsShader2* shader =
        again(other.overrideShader_, [graphics](const std::string& name) { return graphics->LoadShader2(name); });
    const auto texture = [graphics, &again](const GraphicsTexture* from) {
        return again(from, [graphics](const std::string& name) { return graphics->LoadTexture(name); });
    };
    const GraphicsTexture* base = texture(other.baseTexture_);
    const GraphicsTexture* bump = texture(other.bumpTexture_);
    const GraphicsTexture* dissolve = texture(other.dissolveTexture_);
    ReleaseMesh();
    UnloadOverrideShader(nullptr);
    for (const GraphicsTexture** slot : {&baseTexture_, &bumpTexture_, &dissolveTexture_})
        ReplaceTexture(*slot, nullptr);
    mesh_ = mesh;
    overrideShader_ = shader;
    baseTexture_ = base;
    bumpTexture_ = bump;
    dissolveTexture_ = dissolve;

    dissolving_ = other.dissolving_;
    undissolving_ = other.undissolving_;
    dissolveDuration_ = other.dissolveDuration_;
    dissolveValue_ = other.dissolveValue_;
    dissolved_ = other.dissolved_;
    fading_ = other.fading_;
    unfading_ = other.unfading_;
    fadeDuration_ = other.fadeDuration_;
    fadeValue_ = other.fadeValue_;
    faded_ = other.faded_;
    objectToRegion_ = other.objectToRegion_;
    objectBox_ = other.objectBox_;
    regionOBBox_ = other.regionOBBox_;
    regionABBox_ = other.regionABBox_;
    diffuseColor_ = other.diffuseColor_;
    castsShadows_ = other.castsShadows_;
    shadowBias_ = other.shadowBias_;
    return *this;
}

void GraphicsMeshInstance::ReplaceTexture(const GraphicsTexture*& slot, const char* fileName) {
    const GraphicsTexture* loaded =
        fileName != nullptr && graphics_ != nullptr ? graphics_->LoadTexture(fileName) : nullptr;
    if (slot != nullptr && graphics_ != nullptr) graphics_->UnloadTexture(slot);
    slot = loaded;
}

void GraphicsMeshInstance::SetBaseTexture(const char* fileName) { ReplaceTexture(baseTexture_, fileName); }

void GraphicsMeshInstance::SetBumpTexture(const char* fileName) { ReplaceTexture(bumpTexture_, fileName); }

const GraphicsShader2* GraphicsMeshInstance::SetOverrideShader(const char* fileName) {
    if (fileName == nullptr || graphics_ == nullptr) return overrideShader_;
    // The new reference first, so that naming the current shader again cannot free it.
    const GraphicsShader2* loaded = graphics_->LoadShader2(fileName);
    UnloadOverrideShader(nullptr);
    overrideShader_ = loaded;
    return overrideShader_;
}

void GraphicsMeshInstance::UnloadOverrideShader(const GraphicsShader2* only) {
    if (overrideShader_ == nullptr || (only != nullptr && only != overrideShader_)) return;
    if (graphics_ != nullptr) graphics_->UnloadShader2(overrideShader_);
    if (dissolveShader_ == overrideShader_) dissolveShader_ = nullptr;
    overrideShader_ = nullptr;
}

void GraphicsMeshInstance::PreLoad(int, bool withTextures) {
    ResourceLoader* loader = gEngine != nullptr ? gEngine->GetResourceLoader() : nullptr;
    if (loader == nullptr) return;
    loader->EnqueueResource(mesh_, ResourcePriority::Normal, withTextures, false);
    if (!withTextures) return;
    loader->EnqueueResource(baseTexture_, ResourcePriority::Normal, true, false);
    loader->EnqueueResource(bumpTexture_, ResourcePriority::Normal, true, false);
}

void GraphicsMeshInstance::ReleaseMesh() {
    if (mesh_ != nullptr && graphics_ != nullptr) graphics_->UnloadMesh(mesh_);
    mesh_ = nullptr;
    boneCoords_.clear();
}

void GraphicsMeshInstance::SetMesh(const char* fileName) {
    SetMesh(fileName != nullptr && graphics_ != nullptr ? graphics_->LoadMesh(fileName) : nullptr);
}

void GraphicsMeshInstance::SetMesh(const GraphicsMesh* mesh) {
    ReleaseMesh();
    mesh_ = mesh;
    UpdateBoundingBox(false);
}

GraphicsMeshInstance::PassParts GraphicsMeshInstance::GetPassParts(int pass) const {
    PassParts parts;
    if (mesh_ != nullptr) mesh_->GetFaceSetParts(pass, parts.set, parts.material, parts.section);
    return parts;
}

int GraphicsMeshInstance::GetNumRenderPasses(const Name&, RenderGenerationId) const {
    return mesh_ != nullptr ? mesh_->GetNumFaceSets() : 0;
}

int GraphicsMeshInstance::GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId) const {
    const GraphicsShader2* shader = GetShader2(pass, style);
    return shader != nullptr ? shader->GetSortOrder(shader->FindStyleByName(style)) : 0;
}

const GraphicsShader2* GraphicsMeshInstance::GetShader2(int pass, const Name&) const {
    if (overrideShader_ != nullptr) return overrideShader_;
    const PassParts parts = GetPassParts(pass);
    return GetShader2(parts, GetOpacity(parts));
}

const GraphicsShader2* GraphicsMeshInstance::GetShader2(const PassParts& parts, float opacity) const {
    if (overrideShader_ != nullptr) return overrideShader_;
    if (parts.material == nullptr) return nullptr;
    if (opacity < 1.0f && parts.material->secondShader != nullptr) return parts.material->secondShader;
    return parts.material->shader;
}

const Name& GraphicsMeshInstance::GetShaderStyle(int, const Name& style, RenderGenerationId,
                                                 const GraphicsLight*) const {
    return style;
}

const GraphicsTexture* GraphicsMeshInstance::GetTexture(int pass, const Name&) const {
    return baseTexture_ != nullptr ? baseTexture_ : GetTexture(GetPassParts(pass));
}

const GraphicsTexture* GraphicsMeshInstance::GetTexture(const PassParts& parts) const {
    if (baseTexture_ != nullptr) return baseTexture_;
    if (parts.material == nullptr) return nullptr;
    for (const GraphicsMesh::MaterialParameter& parameter : parts.material->parameters) {
        if (parameter.type == GraphicsMesh::kParamTexture && parameter.name == kBaseTextureName) {
            return parameter.texture;
        }
    }
    return nullptr;
}

GraphicsMeshInstance::PassMemo GraphicsMeshInstance::passMemos_[kMemoPasses];

bool GraphicsMeshInstance::GetRenderPassInfo(int pass, const Name& style, RenderGenerationId, const GraphicsLight*,
                                             PassInfo& info) const {
    // A collection asks for one style: the rest of the answer follows from the memo's key.
    const uint32_t collection = GraphicsSceneRenderer::GetCollection();
    PassMemo& memo = passMemos_[uint32_t(pass) % kMemoPasses];
    if (collection != 0 && memo.collection == collection && memo.mesh == mesh_ && memo.pass == pass &&
        memo.overrideShader == overrideShader_ && memo.baseTexture == baseTexture_) {
        const float opacity = SectionOpacity(memo.section, memo.fadeIn);
        if ((opacity < 1.0f) == memo.transparent) {
            info = memo.info;
            info.opacity = opacity;
            return true;
        }
    }
    const PassParts parts = GetPassParts(pass);
    info.opacity = GetOpacity(parts);
    info.shader = GetShader2(parts, info.opacity);
    if (info.shader == nullptr) return false;
    info.styleIndex = info.shader->FindStyleByName(style);
    if (info.styleIndex == GraphicsShader2::kNoStyle) return false;
    info.sortOrder = info.shader->GetSortOrder(info.styleIndex);
    info.texture = GetTexture(parts);
    if (collection != 0 && parts.set != nullptr) {
        const bool fadeIn = parts.section != nullptr && *parts.section == kFadeIn;
        memo = {collection,          mesh_, pass, overrideShader_, baseTexture_, parts.set->section, fadeIn,
                info.opacity < 1.0f, info};
    }
    return true;
}

float GraphicsMeshInstance::GetOpacity(int pass, const Name&) const { return GetOpacity(GetPassParts(pass)); }

float GraphicsMeshInstance::GetOpacity(const PassParts& parts) const {
    if (parts.set == nullptr) return GetSectionOpacity(0);
    return SectionOpacity(parts.set->section, parts.section != nullptr && *parts.section == kFadeIn);
}

int GraphicsMeshInstance::GetNumSections() const { return mesh_ != nullptr ? mesh_->GetNumSections() : 0; }

void GraphicsMeshInstance::SizeSectionLists() {
    const size_t count = size_t(GetNumSections());
    if (sectionOpacities_.size() < count) sectionOpacities_.resize(count, 1.0f);
    if (fadeMarks_.size() < count) fadeMarks_.resize(count, 0);
}

void GraphicsMeshInstance::SetSectionOpacity(float opacity, unsigned section) {
    if (int64_t(section) >= GetNumSections()) return;
    SizeSectionLists();
    sectionOpacities_[section] = opacity;
}

void GraphicsMeshInstance::SetSectionState(SectionState state) {
    sectionOpacities_ = std::move(state.opacities);
    fadeMarks_ = std::move(state.marks);
}

void GraphicsMeshInstance::UpdateSectionOpacities(int ms, float minimum) {
    const float step = float(ms) * kSectionFadePerMs;
    for (size_t s = 0; s < sectionOpacities_.size(); ++s) {
        float& opacity = sectionOpacities_[s];
        opacity = s < fadeMarks_.size() && fadeMarks_[s] != 0 ? std::max(opacity - step, minimum)
                                                              : std::min(opacity + step, 1.0f);
    }
    std::fill(fadeMarks_.begin(), fadeMarks_.end(), uint8_t(0));
}

void GraphicsMeshInstance::SetTransparency(const Frustum& frustum, Region*, const Color&, bool useHitBoxes) {
    if (mesh_ == nullptr || !mesh_->GetIsLoaded(false)) return;
    const auto meets = [&frustum](OBBox box) {
        return TestIntersection(box, frustum) && TestIntersection(frustum, box);
    };
    if (useHitBoxes) {
        bool any = false;
        for (int i = 0; i < mesh_->GetNumHitBoxes() && !any; ++i) {
            const GraphicsMesh::HitBox hit = mesh_->GetHitBox(i, pose_);
            any = meets(OBBox(hit.extents, objectToRegion_ * hit.coords));
        }
        if (!any) return;
    }
    SizeSectionLists();
    static const std::string kNoTransparency = "NoTransparency";
    for (int i = 0; i < mesh_->GetNumFaceSets(); ++i) {
        const GraphicsMesh::FaceSet& set = mesh_->GetFaceSet(i);
        if (set.section >= fadeMarks_.size() || fadeMarks_[set.section] != 0) continue;
        if (mesh_->GetSection(int(set.section)) == kNoTransparency) continue;
        OBBox box(set.box);
        box.Transform(objectToRegion_);
        if (meets(box)) fadeMarks_[set.section] = 1;
    }
}

size_t GraphicsMeshInstance::CalculateAllocatedMemory() const {
    return sectionOpacities_.capacity() * sizeof(float) + fadeMarks_.capacity() * sizeof(uint8_t);
}

float GraphicsMeshInstance::GetSectionOpacity(uint32_t section) const {
    return SectionOpacity(section, mesh_ != nullptr && int64_t(section) < mesh_->GetNumSections() &&
                                       mesh_->GetSection(int(section)) == kFadeIn);
}

float GraphicsMeshInstance::SectionOpacity(uint32_t section, bool fadeIn) const {
    if (section >= sectionOpacities_.size()) return fadeIn ? 0.0f : 1.0f;
    return fadeIn ? 1.0f - sectionOpacities_[section] : sectionOpacities_[section];
}

float GraphicsMeshInstance::GetGlobalBlendAlphaMultiplier() const { return std::min(globalBlend_, maxGlobalBlend_); }

float GraphicsMeshInstance::GetBlendedGlobalFadeFactor() const {
    const bool fadeApplies = fading_ || unfading_ || faded_;
    return std::min(fadeApplies ? globalBlend_ * fadeValue_ : globalBlend_, maxGlobalBlend_);
}

bool GraphicsMeshInstance::GetIsReadyToRender(bool bothShaders) const {
    return mesh_ != nullptr && mesh_->GetIsReadyToUse(bothShaders) &&
           (overrideShader_ == nullptr || overrideShader_->GetIsReadyToUse()) &&
           (baseTexture_ == nullptr || baseTexture_->GetIsReadyToUse()) &&
           (bumpTexture_ == nullptr || bumpTexture_->GetIsReadyToUse());
}

void GraphicsMeshInstance::SetObjectToRegionCoords(const Coords& coords) {
    objectToRegion_ = coords;
    UpdateRegionSpaceBoundingBox();
}

void GraphicsMeshInstance::SetScale(const Vec3& scale) {
    scale_ = scale;
    UpdateBoundingBox(false);
}

void GraphicsMeshInstance::UpdateBoundingBox(bool force) {
    if (!force && (mesh_ == nullptr || !mesh_->GetIsLoaded(false))) {
        if (boxRestored_) return UpdateRegionSpaceBoundingBox();
        objectBox_ = ABBox(Vec3(), Vec3(unloadedExtent_, unloadedExtent_, unloadedExtent_));
    } else if (mesh_ == nullptr || mesh_->GetNumBones() == 0 || mesh_->GetNumHitBoxes() == 0) {
        if (boxRestored_) return UpdateRegionSpaceBoundingBox();
        objectBox_ = mesh_ != nullptr ? mesh_->GetBoundingBox() : ABBox();
    } else {
        constexpr float kInf = std::numeric_limits<float>::infinity();
        Vec3 min(kInf, kInf, kInf);
        Vec3 max(-kInf, -kInf, -kInf);
        for (int i = 0; i < mesh_->GetNumHitBoxes(); ++i) {
            const GraphicsMesh::HitBox box = mesh_->GetHitBox(i, pose_);
            Vec3 corners[8];
            ABBox(OBBox(box.extents, box.coords)).GetCorners(corners);
            for (const Vec3& corner : corners) {
                min = Vec3(std::min(min.x, corner.x), std::min(min.y, corner.y), std::min(min.z, corner.z));
                max = Vec3(std::max(max.x, corner.x), std::max(max.y, corner.y), std::max(max.z, corner.z));
            }
        }
        objectBox_ = ABBox((min + max) * 0.5f, (max - min) * 0.5f);
        boxRestored_ = false;
    }
    // A negative scale mirrors the box; its half sizes stay positive.
    objectBox_.centre = Multiply(objectBox_.centre, scale_);
    objectBox_.halfSize =
        Multiply(objectBox_.halfSize, Vec3(std::fabs(scale_.x), std::fabs(scale_.y), std::fabs(scale_.z)));
    UpdateRegionSpaceBoundingBox();
}

void GraphicsMeshInstance::UpdateRegionSpaceBoundingBox() {
    regionOBBox_ = OBBox(objectBox_);
    regionOBBox_.Transform(objectToRegion_);
    regionABBox_ = ABBox(regionOBBox_);
}

void GraphicsMeshInstance::UpdatePose(const GraphicsMeshInstance* parent, bool force) {
    if (mesh_ == nullptr || !(force || mesh_->GetIsLoaded(false) || channel_.IsValid())) return;
    if (mesh_->GetNumBones() == 0) return;
    boneCoords_.resize(size_t(mesh_->GetNumBones()));
    if (parent != nullptr && parent->mesh_ != nullptr && parent->mesh_->GetNumBones() > 0) {
        mesh_->GetAbsCoords(pose_, boneCoords_.data(), parent->mesh_, parent->pose_);
    } else {
        mesh_->GetAbsCoords(pose_, boneCoords_.data());
    }
    UpdateBoundingBox(false);
}

void GraphicsMeshInstance::PrepareForRendering() {
    if (boneCoords_.empty()) UpdatePose(nullptr, true);
}

void GraphicsMeshInstance::SetPoseFromObjectSpace(const SkeletalPose& objectSpace) {
    if (mesh_ == nullptr) return;
    for (int b = 0; b < mesh_->GetNumBones(); ++b) {
        const GraphicsMesh::Bone& bone = mesh_->GetBone(b);
        Coords relative = objectSpace.GetBoneCoords(bone.name);
        if (bone.parent != GraphicsMesh::kNoBone) {
            relative = objectSpace.GetBoneCoords(mesh_->GetBone(int(bone.parent)).name).Inverse() * relative;
        }
        pose_.SetBoneCoords(bone.name, bone.relativeCoords.Inverse() * relative);
    }
}

void GraphicsMeshInstance::GetAllAttachedPoints(mem::vector<Name>& names) const {
    if (mesh_ != nullptr) mesh_->GetAllAttachedPoints(names);
}

void GraphicsMeshInstance::UpdateDissolveAndFade(int ms) {
    if (dissolving_ && Step(dissolveValue_, ms, dissolveDuration_, true)) {
        dissolved_ = true;
        dissolving_ = false;
        UnloadOverrideShader(dissolveShader_);
    } else if (undissolving_ && Step(dissolveValue_, ms, dissolveDuration_, false)) {
        undissolving_ = false;
        UnloadOverrideShader(dissolveShader_);
    }
    if (fading_ && Step(fadeValue_, ms, fadeDuration_, false)) {
        faded_ = true;
        fading_ = false;
    } else if (unfading_ && Step(fadeValue_, ms, fadeDuration_, true)) {
        unfading_ = false;
    }
}

void GraphicsMeshInstance::Update(int ms, Vec3& movement, bool rootOnly) {
    if (effect_ != nullptr) effect_->Update(ms);
    UpdateDissolveAndFade(ms);
    movement = Vec3();
    if (channel_.IsValid()) {
        const Name& root = mesh_ != nullptr ? mesh_->GetRootMotionBone() : Name::noName;
        channel_.Update(ms, root, pose_, movement, rootOnly);
        if (root != Name::noName) {
            const int bone = mesh_->GetBoneIndex(root);
            if (bone >= 0) {
                const Coords& bind = mesh_->GetBone(bone).absoluteCoords;
                movement = Coords(bind.xAxis, bind.yAxis, bind.zAxis, Vec3()).TransformVector(movement);
            }
        }
        movement = Multiply(movement, scale_);
    }
    retiredEffects_.clear();
}

void GraphicsMeshInstance::SaveState(BinaryWriter& writer) const {
    pose_.WriteData(writer, true);
    writer.Write(objectBox_.centre);
    writer.Write(objectBox_.halfSize);
}

bool GraphicsMeshInstance::RestoreState(BinaryReader& reader) {
    SkeletalPose pose;
    if (!pose.ReadData(reader)) return false;
    const Vec3 centre = reader.ReadVec3();
    const Vec3 halfSize = reader.ReadVec3();
    if (reader.Failed()) {
        Log(LogPriority::Error, "GraphicsMeshInstance: the saved state ends inside its bounding box");
        return false;
    }
    pose_ = std::move(pose);
    objectBox_ = ABBox(centre, halfSize);
    boxRestored_ = true;
    UpdateRegionSpaceBoundingBox();
    return true;
}

void GraphicsMeshInstance::BeginDissolve(int r, int g, int b, float seconds, const std::string& texture) {
    dissolving_ = true;
    undissolving_ = false;
    dissolveColor_ = Color(float(r) / 255.0f, float(g) / 255.0f, float(b) / 255.0f, 1.0f);
    dissolveValue_ = 0.0f;
    dissolveDuration_ = Milliseconds(seconds);
    ReplaceTexture(dissolveTexture_, texture.c_str());
    const bool skinned = mesh_ != nullptr && mesh_->GetNumBones() > 0;
    dissolveShader_ =
        SetOverrideShader(skinned ? "Shaders/StandardDissolveSkinned.ssh" : "Shaders/StandardDissolveStatic.ssh");
}

void GraphicsMeshInstance::BeginUnDissolve(int r, int g, int b, float seconds, const std::string& texture) {
    BeginDissolve(r, g, b, seconds, texture);
    dissolving_ = false;
    undissolving_ = true;
    dissolveValue_ = 1.0f;
    dissolved_ = false;
}

void GraphicsMeshInstance::BeginFade(float seconds) {
    fading_ = true;
    unfading_ = false;
    fadeValue_ = 1.0f;
    fadeDuration_ = Milliseconds(seconds);
}

void GraphicsMeshInstance::BeginUnFade(float seconds) {
    fading_ = false;
    unfading_ = true;
    fadeValue_ = 0.0f;
    fadeDuration_ = Milliseconds(seconds);
    faded_ = false;
}

void GraphicsMeshInstance::InstallGMIEffect(GMIEffect* effect) {
    if (effect == nullptr || effect == effect_.get()) return;
    // The old effect cleans up with its successor in place, so that it can leave alone what the
    // successor set up (made before it was installed).
    std::unique_ptr<GMIEffect> old = std::move(effect_);
    effect_.reset(effect);
    if (old == nullptr) return;
    old->CleanParent();
    retiredEffects_.push_back(std::move(old));
}

void GraphicsMeshInstance::RetireGMIEffect(GMIEffect* effect) {
    if (effect == nullptr || effect != effect_.get()) return;
    std::unique_ptr<GMIEffect> retired = std::move(effect_);
    retired->CleanParent();
    retiredEffects_.push_back(std::move(retired));
}

bool GraphicsMeshInstance::GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) const {
    intersection.distance = Infinity;
    // The ray in unscaled object space: the same parameter t reaches the same point.
    const Coords toObject = objectToRegion_.Inverse();
    const Vec3 inverseScale(scale_.x != 0.0f ? 1.0f / scale_.x : 0.0f, scale_.y != 0.0f ? 1.0f / scale_.y : 0.0f,
                            scale_.z != 0.0f ? 1.0f / scale_.z : 0.0f);
    const Vec3 scaledOrigin = toObject.TransformPoint(ray.origin);
    const Vec3 scaledDirection = toObject.TransformVector(ray.direction);
    const Ray objectRay(Multiply(scaledOrigin, inverseScale), Multiply(scaledDirection, inverseScale));
    float distance = Infinity;
    const PhysicsMesh* physics = mesh_ != nullptr ? mesh_->GetPhysicsMesh() : nullptr;
    if (physics != nullptr) {
        physics->GetIntersection(objectRay, intersection, surface);
        distance = intersection.distance;
    } else if (surface != PhysicsSurface{0}) {
        const int hitBoxes = mesh_ != nullptr && mesh_->GetIsLoaded(false) ? mesh_->GetNumHitBoxes() : 0;
        for (int i = 0; i < hitBoxes; ++i) {
            const GraphicsMesh::HitBox box = mesh_->GetHitBox(i, pose_);
            distance = std::min(distance, OBBox(box.extents, box.coords).GetIntersection(objectRay));
        }
        // The object box is scaled already: it meets the ray in scaled object space.
        if (hitBoxes == 0) distance = OBBox(objectBox_).GetIntersection(Ray(scaledOrigin, scaledDirection));
    }
    intersection.distance = distance;
    if (distance == Infinity) return false;
    intersection.point = ray.GetPoint(distance);
    intersection.entity = nullptr;
    return true;
}

void GraphicsMeshInstance::RenderBoundingBox(Region* region, const Color& color) const {
    Singleton<DebugRenderManager>::Get()->RenderBox(region, regionOBBox_, color);
}

void GraphicsMeshInstance::RenderHitBoxes(Region* region, const Color& color) const {
    if (mesh_ == nullptr || !mesh_->GetIsLoaded(false)) return;
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    for (int i = 0; i < mesh_->GetNumHitBoxes(); ++i) {
        const GraphicsMesh::HitBox hit = mesh_->GetHitBox(i, pose_);
        debug.RenderBox(region, OBBox(hit.extents, objectToRegion_ * hit.coords), color);
    }
}

void GraphicsMeshInstance::GetPassFaces(const GraphicsMesh::FaceSet& set, int& firstIndex, int& count) const {
    firstIndex = int(set.firstFace * 3);
    count = int(set.faceCount);
}

GraphicsMeshInstance::InstanceValues GraphicsMeshInstance::GetInstanceValues(float opacity) const {
    return {{diffuseColor_.r * 0.5f, diffuseColor_.g * 0.5f, diffuseColor_.b * 0.5f, highlight_},
            shadowBias_,
            GetBlendedGlobalFadeFactor(),
            opacity};
}

void GraphicsMeshInstance::SetInstanceValues(const GraphicsShader2& shader, const InstanceValues& values,
                                             const InstanceValues* sent) {
    // Bytes, as the shader compares: a value equal but for its bits still goes.
    if (sent != nullptr && std::memcmp(&values, sent, sizeof(values)) == 0) return;  // most runs
    const auto changed = [&values, sent](const auto member) {
        return sent == nullptr || std::memcmp(&(values.*member), &(sent->*member), sizeof(values.*member)) != 0;
    };
    const uint32_t* const parameter = shader.GetParameterIndices(kDrawParameters);
    if (changed(&InstanceValues::diffuse)) {
        shader.SetFloat4(parameter[kDiffuseColor], 0, values.diffuse[0], values.diffuse[1], values.diffuse[2],
                         values.diffuse[3]);
    }
    if (changed(&InstanceValues::shadowBias)) shader.SetFloat(parameter[kShadowBias], 0, values.shadowBias);
    if (changed(&InstanceValues::fade)) shader.SetFloat(parameter[kGlobalFade], 0, values.fade);
    if (changed(&InstanceValues::opacity)) {
        const float opacity = values.opacity;
        const float curved = opacity == 1.0f ? 1.0f : std::pow(opacity, kTransparencyExponent);  // mostly opaque
        shader.SetFloat4(parameter[kTransparency], 0, curved, curved, opacity, curved);
    }
}

bool GraphicsMeshInstance::DrawsInRuns() const {
    return typeid(*this) == typeid(GraphicsMeshInstance) && SetsOnlyInstanceValues();
}

bool GraphicsMeshInstance::SetsOnlyInstanceValues() const {
    return dissolveTexture_ == nullptr && baseTexture_ == nullptr && bumpTexture_ == nullptr && boneCoords_.empty() &&
           effect_ == nullptr;
}

bool GraphicsMeshInstance::JoinsRun(const RenderablePass& pass, const RenderablePass* next, const PassParts& parts,
                                    float& nextOpacity) const {
    if (next == nullptr || next->pass != pass.pass || typeid(*next->renderable) != typeid(GraphicsMeshInstance)) {
        return false;
    }
    const auto& other = static_cast<const GraphicsMeshInstance&>(*next->renderable);
    if (other.mesh_ != mesh_ || !other.SetsOnlyInstanceValues()) return false;
    nextOpacity = other.GetOpacity(parts);
    return nextOpacity != 0.0f;
}

void GraphicsMeshInstance::SetShaderParameters(const GraphicsShader2& shader, const GraphicsMesh::FaceSet& set,
                                               float opacity) const {
    const uint32_t* const parameter = shader.GetParameterIndices(kDrawParameters);
    SetInstanceValues(shader, GetInstanceValues(opacity), nullptr);
    if (dissolveTexture_ != nullptr) {
        shader.SetFloat3(parameter[kDissolveColor], 0, dissolveColor_);
        shader.SetFloat(parameter[kDissolveValue], 0, dissolveValue_);
        shader.SetTexture(parameter[kDissolveTexture], 0, dissolveTexture_->GetTexture());
    }
    if (baseTexture_ != nullptr) shader.SetTexture(parameter[kBaseTexture], 0, baseTexture_->GetTexture());
    if (bumpTexture_ != nullptr) shader.SetTexture(parameter[kBumpTexture], 0, bumpTexture_->GetTexture());
    if (!boneCoords_.empty()) {
        for (size_t j = 0; j < set.bones.size(); ++j) {
            if (set.bones[j] < boneCoords_.size()) {
                shader.SetFloat4x3(parameter[kBoneMatrix], uint32_t(j), boneCoords_[set.bones[j]]);
            }
        }
    }
    if (effect_ != nullptr) effect_->SetShaderParameters(shader);
}

GraphicsMeshInstance::OpenRun GraphicsMeshInstance::openRun_;

void GraphicsMeshInstance::RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas& canvas,
                                      const GraphicsSceneRenderer& renderer) const {
    OpenRun& run = openRun_;
    // A run is only left open for a pass that draws (JoinsRun): its parts and buffers are the run's.
    const bool continues = run.shader == pass.shader;
    if (!continues) {
        run.parts = GetPassParts(pass.pass);
        if (run.parts.set == nullptr) return;
    }
    const PassParts& parts = run.parts;
    const float opacity = continues ? run.nextOpacity : GetOpacity(parts);
    if (opacity == 0.0f) return;
    const GraphicsMesh::MeshRenderInfo& info = run.info;
    if (!continues) {
        mesh_->GetMeshRenderInfo(run.info);
        if (info.vertexBuffer == nullptr || info.indexBuffer == nullptr || info.declaration == nullptr) return;
    }

    const Coords objectToWorld = pass.regionToScene * Scaled(objectToRegion_, scale_);
    const Mat4 objectToWorldMatrix(objectToWorld);
    RenderDevice& device = canvas.GetRenderDevice();
    device.SetVertexDeclaration(info.declaration);
    device.SetStreamSource(0, info.vertexBuffer, 0, info.vertexStride);
    device.SetIndices(info.indexBuffer);
    const GraphicsShader2& shader = *pass.shader;
    if (!continues) shader.Begin();
    const uint32_t* const parameter = shader.GetParameterIndices(kDrawParameters);
    shader.SetFloat4x4(parameter[kObjectToWorld], 0, objectToWorldMatrix);
    shader.SetFloat4x4(parameter[kObjectToScreen], 0, renderer.GetWorldToScreenMatrix() * objectToWorldMatrix);
    shader.SetFloat3(parameter[kObjectToRegionOffset], 0, objectToWorld.origin);
    const bool runs = continues || DrawsInRuns();  // the draw before checked this one
    const InstanceValues values = runs ? GetInstanceValues(opacity) : InstanceValues{};
    if (continues) {
        SetInstanceValues(shader, values, &run.sent);
    } else {
        if (parts.material != nullptr) mesh_->SetShaderParameters(shader, int(parts.set->material));
        SetShaderParameters(shader, *parts.set, opacity);
    }
    shader.Render(mesh_->GetFileName().c_str());
    int firstIndex = 0;
    int count = 0;
    GetPassFaces(*parts.set, firstIndex, count);
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, info.vertexCount, uint32_t(count),
                                uint32_t(firstIndex), 0);
    if (runs && JoinsRun(pass, renderer.GetNextPassInStyle(), parts, run.nextOpacity)) {
        run.shader = pass.shader;
        run.sent = values;
        return;
    }
    run.shader = nullptr;
    shader.End();
}

void GraphicsMeshInstance::LogInfo() const {
    Log(LogPriority::Info, "GraphicsMeshInstance:");
    if (mesh_ != nullptr) {
        mesh_->LogInfo();
    } else {
        Log(LogPriority::Info, "   mesh: NULL");
    }
    const auto box = [](const char* title, const ABBox& b) {
        Log(LogPriority::Info, "%s", title);
        Log(LogPriority::Info, "       origin: (%f, %f, %f)", double(b.centre.x), double(b.centre.y),
            double(b.centre.z));
        Log(LogPriority::Info, "       extents: (%f, %f, %f)", double(b.halfSize.x), double(b.halfSize.y),
            double(b.halfSize.z));
    };
    box("   object space bounding box:", objectBox_);
    box("   region space bounding box:", regionABBox_);
}

}  // namespace GAME
