#include "scene/GraphicsMeshInstance.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Log.h"
#include "core/Mat4.h"
#include "engine/Engine.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"

namespace GAME {

namespace {

// The exponent that takes opacity 0.5 to 1/255.
const float kTransparencyExponent = std::log(1.0f / 255.0f) / std::log(0.5f);

struct ParameterNames {
    Name objectToWorld = Name::Create("objectToWorldMatrix");
    Name objectToScreen = Name::Create("objectToScreenMatrix");
    Name objectToRegionOffset = Name::Create("objectToRegionOffset");
    Name diffuseColor = Name::Create("diffuseColor");
    Name shadowBias = Name::Create("shadowBias");
    Name globalFade = Name::Create("blendedGlobalFadeFactor");
    Name transparency = Name::Create("transparencyValue");
    Name boneMatrix = Name::Create("boneMatrix");
    Name baseTexture = Name::Create("baseTexture");
};

const ParameterNames& Names() {
    static const ParameterNames names;
    return names;
}

Coords Scaled(const Coords& coords, const Vec3& scale) {
    return Coords(coords.xAxis * scale.x, coords.yAxis * scale.y, coords.zAxis * scale.z, coords.origin);
}

}  // namespace

GraphicsMeshInstance::GraphicsMeshInstance()
    : graphics_(gEngine != nullptr ? gEngine->GetGraphicsEngine() : nullptr) {}

GraphicsMeshInstance::~GraphicsMeshInstance() { ReleaseMesh(); }

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

const GraphicsMesh::FaceSet* GraphicsMeshInstance::GetFaceSet(int pass) const {
    if (mesh_ == nullptr || pass < 0 || pass >= mesh_->GetNumFaceSets()) return nullptr;
    return &mesh_->GetFaceSet(pass);
}

int GraphicsMeshInstance::GetNumRenderPasses(const Name&, RenderGenerationId) const {
    return mesh_ != nullptr ? mesh_->GetNumFaceSets() : 0;
}

int GraphicsMeshInstance::GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId) const {
    const GraphicsShader2* shader = GetShader2(pass, style);
    return shader != nullptr ? shader->GetSortOrder(shader->FindStyleByName(style)) : 0;
}

const GraphicsShader2* GraphicsMeshInstance::GetShader2(int pass, const Name&) const {
    const GraphicsMesh::FaceSet* set = GetFaceSet(pass);
    if (set == nullptr || set->material >= uint32_t(mesh_->GetNumMaterials())) return nullptr;
    const GraphicsMesh::Material& material = mesh_->GetMaterial(int(set->material));
    if (GetSectionOpacity(set->section) < 1.0f && material.secondShader != nullptr) return material.secondShader;
    return material.shader;
}

const Name& GraphicsMeshInstance::GetShaderStyle(int, const Name& style, RenderGenerationId,
                                                 const GraphicsLight*) const {
    return style;
}

const GraphicsTexture* GraphicsMeshInstance::GetTexture(int pass, const Name&) const {
    const GraphicsMesh::FaceSet* set = GetFaceSet(pass);
    if (set == nullptr || set->material >= uint32_t(mesh_->GetNumMaterials())) return nullptr;
    for (const GraphicsMesh::MaterialParameter& parameter : mesh_->GetMaterial(int(set->material)).parameters) {
        if (parameter.type == GraphicsMesh::kParamTexture && parameter.name == Names().baseTexture) {
            return parameter.texture;
        }
    }
    return nullptr;
}

float GraphicsMeshInstance::GetOpacity(int pass, const Name&) const {
    const GraphicsMesh::FaceSet* set = GetFaceSet(pass);
    return GetSectionOpacity(set != nullptr ? set->section : 0);
}

int GraphicsMeshInstance::GetNumSections() const { return mesh_ != nullptr ? mesh_->GetNumSections() : 0; }

void GraphicsMeshInstance::SetSectionOpacity(float opacity, unsigned section) {
    if (int64_t(section) >= GetNumSections()) return;
    if (sectionOpacities_.size() <= section) sectionOpacities_.resize(size_t(GetNumSections()), 1.0f);
    sectionOpacities_[section] = opacity;
}

float GraphicsMeshInstance::GetSectionOpacity(uint32_t section) const {
    const bool fadeIn = mesh_ != nullptr && int64_t(section) < mesh_->GetNumSections() &&
                        mesh_->GetSection(int(section)) == "FadeIn";
    if (section >= sectionOpacities_.size()) return fadeIn ? 0.0f : 1.0f;
    return fadeIn ? 1.0f - sectionOpacities_[section] : sectionOpacities_[section];
}

float GraphicsMeshInstance::GetGlobalBlendAlphaMultiplier() const { return std::min(globalBlend_, maxGlobalBlend_); }

bool GraphicsMeshInstance::GetIsReadyToRender(bool bothShaders) const {
    return mesh_ != nullptr && mesh_->GetIsReadyToUse(bothShaders);
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
        objectBox_ = ABBox(Vec3(), Vec3(unloadedExtent_, unloadedExtent_, unloadedExtent_));
    } else if (mesh_->GetNumBones() == 0 || mesh_->GetNumHitBoxes() == 0) {
        objectBox_ = mesh_->GetBoundingBox();
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
    }
    objectBox_.centre = Vec3(objectBox_.centre.x * scale_.x, objectBox_.centre.y * scale_.y,
                             objectBox_.centre.z * scale_.z);
    objectBox_.halfSize = Vec3(objectBox_.halfSize.x * scale_.x, objectBox_.halfSize.y * scale_.y,
                               objectBox_.halfSize.z * scale_.z);
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

void GraphicsMeshInstance::Update(int ms, Vec3& movement, bool rootOnly) {
    movement = Vec3();
    if (!channel_.IsValid()) return;
    const Name& root = mesh_ != nullptr ? mesh_->GetRootMotionBone() : Name::noName;
    channel_.Update(ms, root, pose_, movement, rootOnly);
    if (root != Name::noName) {
        const int bone = mesh_->GetBoneIndex(root);
        if (bone >= 0) {
            const Coords& bind = mesh_->GetBone(bone).absoluteCoords;
            movement = Coords(bind.xAxis, bind.yAxis, bind.zAxis, Vec3()).TransformVector(movement);
        }
    }
    movement = Vec3(movement.x * scale_.x, movement.y * scale_.y, movement.z * scale_.z);
}

void GraphicsMeshInstance::GetPassFaces(int pass, int& firstIndex, int& count) const {
    const GraphicsMesh::FaceSet* set = GetFaceSet(pass);
    firstIndex = set != nullptr ? int(set->firstFace * 3) : 0;
    count = set != nullptr ? int(set->faceCount) : 0;
}

void GraphicsMeshInstance::SetShaderParameters(const GraphicsShader2& shader, int pass) const {
    const ParameterNames& names = Names();
    shader.SetFloat4(names.diffuseColor, 0, diffuseColor_.r * 0.5f, diffuseColor_.g * 0.5f, diffuseColor_.b * 0.5f,
                     highlight_);
    shader.SetFloat(names.shadowBias, 0, shadowBias_);
    shader.SetFloat(names.globalFade, 0, GetGlobalBlendAlphaMultiplier());
    const float opacity = GetOpacity(pass, Name::noName);
    const float curved = std::pow(opacity, kTransparencyExponent);
    shader.SetFloat4(names.transparency, 0, curved, curved, opacity, curved);
    const GraphicsMesh::FaceSet* set = GetFaceSet(pass);
    if (set == nullptr || boneCoords_.empty()) return;
    for (size_t j = 0; j < set->bones.size(); ++j) {
        if (set->bones[j] < boneCoords_.size()) {
            shader.SetFloat4x3(names.boneMatrix, uint32_t(j), boneCoords_[set->bones[j]]);
        }
    }
}

void GraphicsMeshInstance::RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas& canvas,
                                      const GraphicsSceneRenderer& renderer) const {
    const GraphicsMesh::FaceSet* set = GetFaceSet(pass.pass);
    if (set == nullptr || GetSectionOpacity(set->section) == 0.0f) return;
    GraphicsMesh::MeshRenderInfo info;
    mesh_->GetMeshRenderInfo(info);
    if (info.vertexBuffer == nullptr || info.indexBuffer == nullptr || info.declaration == nullptr) return;

    const Coords objectToWorld = pass.regionToScene * Scaled(objectToRegion_, scale_);
    const Mat4 objectToWorldMatrix(objectToWorld);
    RenderDevice& device = canvas.GetRenderDevice();
    device.SetVertexDeclaration(info.declaration);
    device.SetStreamSource(0, info.vertexBuffer, 0, mesh_->GetVertexStride());
    device.SetIndices(info.indexBuffer);
    pass.shader->Begin();
    const ParameterNames& names = Names();
    pass.shader->SetFloat4x4(names.objectToWorld, 0, objectToWorldMatrix);
    pass.shader->SetFloat4x4(names.objectToScreen, 0, renderer.GetWorldToScreenMatrix() * objectToWorldMatrix);
    pass.shader->SetFloat3(names.objectToRegionOffset, 0, objectToWorld.origin);
    if (set->material < uint32_t(mesh_->GetNumMaterials())) {
        mesh_->SetShaderParameters(*pass.shader, int(set->material));
    }
    SetShaderParameters(*pass.shader, pass.pass);
    pass.shader->Render(mesh_->GetFileName().c_str());
    int firstIndex = 0;
    int count = 0;
    GetPassFaces(pass.pass, firstIndex, count);
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, info.vertexCount, uint32_t(count),
                                uint32_t(firstIndex), 0);
    pass.shader->End();
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
