#include "scene/GraphicsMesh.h"

#include <cstdio>
#include <cstring>

#include "core/Log.h"
#include "engine/Engine.h"
#include "files/BaseResourceManager.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/RenderDevice.h"
#include "scene/MeshFileReader.h"
#include "scene/SkeletalPose.h"

namespace GAME {

namespace {

constexpr uint32_t kUnresolvedSlot = 255;

// The 'T' form of a shader name: a 'T' before the last '.', when the file system has that file.
std::string GetSecondShaderName(const std::string& name, FileSystem& files) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return name;
    std::string second = name;
    second.insert(dot, 1, 'T');
    return files.DoesFileExist(second) ? second : name;
}

RenderVertexElementType GetElementType(uint32_t attributeSize) {
    switch (attributeSize) {
        case 16:
            return RenderVertexElementType::Float4;
        case 12:
            return RenderVertexElementType::Float3;
        case 8:
            return RenderVertexElementType::Float2;
        default:
            return RenderVertexElementType::UByte4;
    }
}

// Copies bytes into a new static vertex or index buffer; false when it could not be filled.
bool Fill(void* target, const void* source, size_t size) {
    if (target == nullptr) return false;
    std::memcpy(target, source, size);
    return true;
}

}  // namespace

GraphicsMesh::GraphicsMesh(BaseResourceManager* manager, const std::string& fileName)
    : Resource(manager, fileName, ResourceType::Mesh), graphics_(GetEngineGraphics()) {}

GraphicsMesh::GraphicsMesh(BaseResourceManager* manager, const std::string& fileName, GraphicsEngine& graphics)
    : Resource(manager, fileName, ResourceType::Mesh), graphics_(&graphics) {}

GraphicsMesh::~GraphicsMesh() { Destroy(); }

void GraphicsMesh::PreLoadDependentResources() const {
    ResourceLoader* const loader = GetResourceLoader();
    for (const Material& material : materials_) {
        for (const GraphicsShader2* shader : {material.shader, material.secondShader}) {
            if (shader != nullptr) loader->EnqueueResource(shader, ResourcePriority::Normal, false, false);
        }
        for (const MaterialParameter& parameter : material.parameters) {
            if (parameter.texture != nullptr) {
                loader->EnqueueResource(parameter.texture, ResourcePriority::Normal, false, false);
            }
        }
    }
}

Resource::InitResult GraphicsMesh::Initialize(const void* data, uint32_t size) {
    Destroy();
    RenderDevice* const device = graphics_ != nullptr ? graphics_->GetRenderDevice() : nullptr;
    if (device != nullptr && device->DeviceLost()) return InitResult::Retry;
    if (!MeshFileReader::Read(data, size, *this)) {
        Destroy();
        return InitResult::InvalidData;
    }
    PrepareSkeleton();
    bool complete = true;
    if (graphics_ != nullptr) {
        ReducePalettes(static_cast<uint32_t>(graphics_->GetMaxNumBones()));
        LoadMaterials();
        complete = device == nullptr || CreateDeviceObjects();
    }
    PrepareSkinVertices();
    countedMemory_ = size + GetVideoMemoryUsage();
    GetResourceManager()->IncrementMemoryUsage(countedMemory_);
    return complete ? InitResult::Success : InitResult::PartlyInitialized;
}

void GraphicsMesh::InitializeDefault() { Destroy(); }

void GraphicsMesh::Destroy() {
    if (countedMemory_ != 0) {
        GetResourceManager()->DecrementMemoryUsage(countedMemory_);
        countedMemory_ = 0;
    }
    ReleaseDeviceObjects();
    if (graphics_ != nullptr) {
        for (const Material& material : materials_) {
            if (material.shader != nullptr) graphics_->UnloadShader2(material.shader);
            if (material.secondShader != nullptr) graphics_->UnloadShader2(material.secondShader);
            for (const MaterialParameter& parameter : material.parameters) {
                if (parameter.texture != nullptr) graphics_->UnloadTexture(parameter.texture);
            }
        }
    }
    mem::vector<Coords>().swap(inverseBind_);
    mem::vector<uint32_t>().swap(boneOrder_);
    mem::vector<SkinVertex>().swap(skinVertices_);
    vertexCount_ = 0;
    stride_ = 0;
    mem::vector<uint32_t>().swap(attributes_);
    mem::vector<uint8_t>().swap(vertexData_);
    faceCount_ = 0;
    mem::vector<uint16_t>().swap(indices_);
    blendedFaceCount_ = 0;
    mem::vector<uint16_t>().swap(blendedIndices_);
    bounds_ = ABBox(Vec3(), Vec3(1.0f, 1.0f, 1.0f));
    mem::vector<FaceSet>().swap(faceSets_);
    mem::vector<Bone>().swap(bones_);
    boneTable_.Clear();
    rootMotionBone_ = Name::noName;
    mem::vector<HitBox>().swap(hitBoxes_);
    mem::vector<Material>().swap(materials_);
    mem::vector<Contour>().swap(contours_);
    mem::vector<Portal>().swap(portals_);
    mem::vector<std::string>().swap(sections_);
    physicsMesh_.reset();
    std::string().swap(descriptionText_);
    mifData_.Clear();
    std::string().swap(exporterText_);
}

void GraphicsMesh::LoadMaterials() {
    for (Material& material : materials_) {
        material.shader = graphics_->LoadShader2(material.shaderName);
        material.secondShader =
            graphics_->LoadShader2(GetSecondShaderName(material.shaderName, GetResourceLoader()->GetFileSystem()));
        // A texture only a shader of the material samples: the others are dropped unread.
        std::erase_if(material.parameters, [&](const MaterialParameter& parameter) {
            if (parameter.type != kParamTexture) return false;
            return !(material.shader != nullptr && material.shader->HasParameter(parameter.name)) &&
                   !(material.secondShader != nullptr && material.secondShader->HasParameter(parameter.name));
        });
        for (MaterialParameter& parameter : material.parameters) {
            if (parameter.type == kParamTexture) parameter.texture = graphics_->LoadTexture(parameter.text);
        }
    }
}

bool GraphicsMesh::CreateDeviceObjects() {
    RenderDevice& device = *graphics_->GetRenderDevice();
    bool complete = true;
    // The declaration follows the vertex format even when the mesh has no vertices.
    if (!attributes_.empty()) {
        mem::vector<RenderVertexElement> elements;
        for (const uint32_t id : attributes_) {
            elements.push_back(
                {0, static_cast<RenderVertexUsage>(id), GetElementType(MeshFileReader::GetAttributeSize(id))});
        }
        declaration_ = device.CreateVertexDeclaration(elements.data(), static_cast<uint32_t>(elements.size()));
        complete = declaration_ != nullptr;
    }
    if (vertexCount_ > 0) {
        vertexBuffer_ = device.CreateVertexBuffer(0, static_cast<uint32_t>(vertexData_.size()));
        if (vertexBuffer_ != nullptr && Fill(vertexBuffer_->Lock(), vertexData_.data(), vertexData_.size())) {
            vertexBuffer_->Unlock();
        } else {
            device.DestroyVertexBuffer(vertexBuffer_);
        }
        complete = complete && vertexBuffer_ != nullptr;
    }
    const auto makeIndices = [&](const mem::vector<uint16_t>& indices) -> RenderIndexBuffer* {
        if (indices.empty()) return nullptr;
        RenderIndexBuffer* buffer =
            device.CreateIndexBuffer(static_cast<uint32_t>(indices.size()), RenderIndexFormat::Index16);
        if (buffer != nullptr && Fill(buffer->Lock(), indices.data(), indices.size() * sizeof(uint16_t))) {
            buffer->Unlock();
        } else {
            device.DestroyIndexBuffer(buffer);
            complete = false;
        }
        return buffer;
    };
    indexBuffer_ = makeIndices(indices_);
    blendedIndexBuffer_ = makeIndices(blendedIndices_);
    if (!complete)
        Log(LogPriority::Warning, "Mesh '%s' could not make all of its device buffers", GetFileName().c_str());
    return complete;
}

void GraphicsMesh::ReleaseDeviceObjects() {
    RenderDevice* const device = graphics_ != nullptr ? graphics_->GetRenderDevice() : nullptr;
    if (device == nullptr) return;
    device->DestroyVertexBuffer(vertexBuffer_);
    device->DestroyVertexDeclaration(declaration_);
    device->DestroyIndexBuffer(indexBuffer_);
    device->DestroyIndexBuffer(blendedIndexBuffer_);
}

void GraphicsMesh::PrepareSkeleton() {
    inverseBind_.reserve(bones_.size());
    for (const Bone& bone : bones_) inverseBind_.push_back(bone.absoluteCoords.Inverse());
    // Breadth first from the roots: children are consecutive, and the reader refused cycles.
    for (uint32_t b = 0; b < bones_.size(); ++b) {
        if (bones_[b].parent == kNoBone) boneOrder_.push_back(b);
    }
    for (size_t next = 0; next < boneOrder_.size(); ++next) {
        const Bone& bone = bones_[boneOrder_[next]];
        for (int32_t c = 0; c < bone.childCount; ++c) boneOrder_.push_back(bone.firstChild + static_cast<uint32_t>(c));
    }
}

void GraphicsMesh::PrepareSkinVertices() {
    const uint32_t positionOffset = GetAttributeOffset(0);
    const uint32_t weightOffset = GetAttributeOffset(kAttributeSkinWeights);
    const uint32_t boneOffset = GetAttributeOffset(kAttributeSkinBones);
    if (positionOffset == kNoBone || weightOffset == kNoBone || boneOffset == kNoBone || bones_.empty()) return;
    skinVertices_.assign(vertexCount_, SkinVertex{});
    mem::vector<uint8_t> done(vertexCount_, 0);
    for (const FaceSet& set : faceSets_) {
        for (uint32_t i = set.firstFace * 3; i < (set.firstFace + set.faceCount) * 3; ++i) {
            const uint16_t v = indices_[i];
            if (done[v]) continue;
            done[v] = 1;
            const uint8_t* vertex = vertexData_.data() + size_t(v) * stride_;
            SkinVertex& skin = skinVertices_[v];
            std::memcpy(&skin.position, vertex + positionOffset, sizeof(Vec3));
            std::memcpy(skin.weights, vertex + weightOffset, sizeof(skin.weights));
            for (int k = 0; k < 4; ++k) {
                const uint8_t slot = vertex[boneOffset + uint32_t(k)];
                if (slot < set.bones.size()) {
                    skin.bones[k] = set.bones[slot];
                } else {
                    skin.weights[k] = 0.0f;
                }
            }
        }
    }
}

void GraphicsMesh::ReducePalettes(uint32_t maxBones) {
    const uint32_t boneOffset = GetAttributeOffset(kAttributeSkinBones);
    if (boneOffset == kNoBone || GetAttributeOffset(kAttributeSkinWeights) == kNoBone || vertexCount_ == 0) return;
    mem::vector<uint8_t> visited;
    for (FaceSet& set : faceSets_) {
        if (set.bones.size() <= maxBones) continue;
        bool byteBones = true;
        for (const uint32_t bone : set.bones) byteBones = byteBones && bone < 256;
        if (!byteBones) {
            Log(LogPriority::Warning, "Mesh '%s' has a face set of bones past 255; its palette is not reduced",
                GetFileName().c_str());
            continue;
        }
        visited.assign(vertexCount_, 0);
        ReducePalette(set, static_cast<uint32_t>(set.bones.size()) - maxBones, visited);
    }
}

void GraphicsMesh::ReducePalette(FaceSet& set, uint32_t excess, mem::vector<uint8_t>& visited) {
    struct Entry {
        uint32_t bone;
        uint32_t target;
        uint32_t newSlot;
    };
    const size_t count = set.bones.size();
    mem::vector<Entry> entries(count);
    for (size_t slot = 0; slot < count; ++slot) entries[slot] = {set.bones[slot], set.bones[slot], kUnresolvedSlot};
    const auto listed = [&](uint32_t bone) {
        for (const Entry& entry : entries) {
            if (entry.bone == bone) return true;
        }
        return false;
    };
    // Fold leaves into their parents first, then bones one level up, then two.
    for (uint32_t depth = 0; depth < 3 && excess > 0; ++depth) {
        for (size_t slot = 0; slot < count && excess > 0; ++slot) {
            const Bone& bone = bones_[entries[slot].bone];
            if (bone.depth == depth && bone.parent != kNoBone && listed(bone.parent)) {
                entries[slot].target = bone.parent;
                --excess;
            }
        }
    }
    set.bones.clear();
    for (Entry& entry : entries) {
        if (entry.target == entry.bone) {
            entry.newSlot = static_cast<uint32_t>(set.bones.size());
            set.bones.push_back(entry.bone);
        }
    }
    // A folded bone takes the slot of the first kept bone up its parent chain (its parent may have
    // been folded too); slot 0 when none is kept.
    for (Entry& entry : entries) {
        if (entry.newSlot != kUnresolvedSlot) continue;
        entry.newSlot = 0;
        for (uint32_t bone = entry.target; bone != kNoBone; bone = bones_[bone].parent) {
            const auto kept = [&] {
                for (const Entry& other : entries) {
                    if (other.bone == bone && other.target == bone) return other.newSlot;
                }
                return kUnresolvedSlot;
            }();
            if (kept != kUnresolvedSlot) {
                entry.newSlot = kept;
                break;
            }
        }
    }
    const uint32_t boneOffset = GetAttributeOffset(kAttributeSkinBones);
    for (uint32_t i = set.firstFace * 3; i < (set.firstFace + set.faceCount) * 3; ++i) {
        const uint16_t v = indices_[i];
        if (visited[v]) continue;
        visited[v] = 1;
        uint8_t* slots = vertexData_.data() + size_t(v) * stride_ + boneOffset;
        for (int k = 0; k < 4; ++k) {
            if (slots[k] < count) slots[k] = static_cast<uint8_t>(entries[slots[k]].newSlot);
        }
    }
}

std::string GraphicsMesh::GetDebugInfo() const {
    char text[128];
    std::snprintf(text, sizeof(text), "%u vertices, %u faces, %zu face sets, %zu bones", vertexCount_, faceCount_,
                  faceSets_.size(), bones_.size());
    return text;
}

size_t GraphicsMesh::GetSystemMemoryUsage() const {
    size_t bytes = Resource::GetSystemMemoryUsage() + sizeof(*this) + attributes_.capacity() * sizeof(uint32_t) +
                   vertexData_.capacity() + (indices_.capacity() + blendedIndices_.capacity()) * sizeof(uint16_t) +
                   descriptionText_.capacity() + exporterText_.capacity();
    for (const FaceSet& set : faceSets_) bytes += sizeof(set) + set.bones.capacity() * sizeof(uint32_t);
    for (const Bone& bone : bones_) bytes += sizeof(bone) + bone.nameText.capacity();
    for (const HitBox& box : hitBoxes_) bytes += sizeof(box) + box.nameText.capacity();
    for (const Material& material : materials_) {
        bytes += sizeof(material) + material.shaderName.capacity();
        for (const MaterialParameter& parameter : material.parameters) {
            bytes += sizeof(parameter) + parameter.nameText.capacity() + parameter.text.capacity();
        }
    }
    for (const Contour& contour : contours_) bytes += sizeof(contour) + contour.points.capacity() * sizeof(ContourPoint);
    for (const Portal& portal : portals_) bytes += sizeof(portal) + portal.points.capacity() * sizeof(PortalPoint);
    for (const std::string& section : sections_) bytes += sizeof(section) + section.capacity();
    bytes += mifData_.GetAllocatedSize();
    if (physicsMesh_) bytes += sizeof(PhysicsMesh) + physicsMesh_->GetAllocatedSize();
    bytes += inverseBind_.capacity() * sizeof(Coords) + boneOrder_.capacity() * sizeof(uint32_t) +
             skinVertices_.capacity() * sizeof(SkinVertex);
    return bytes;
}

size_t GraphicsMesh::GetVideoMemoryUsage() const {
    return (vertexBuffer_ != nullptr ? vertexData_.size() : 0) +
           (indexBuffer_ != nullptr ? indices_.size() * sizeof(uint16_t) : 0) +
           (blendedIndexBuffer_ != nullptr ? blendedIndices_.size() * sizeof(uint16_t) : 0);
}

void GraphicsMesh::LogInfo() const {
    Resource::LogInfo();
    Log(LogPriority::Info, "   numVerts: %u", vertexCount_);
    Log(LogPriority::Info, "   numFaces: %u", faceCount_);
    Log(LogPriority::Info, "   numFaceSets: %zu", faceSets_.size());
    Log(LogPriority::Info, "   numBlendedFaces: %u", blendedFaceCount_);
    Log(LogPriority::Info, "   bounds origin: (%f, %f, %f)", bounds_.centre.x, bounds_.centre.y, bounds_.centre.z);
    Log(LogPriority::Info, "   bounds extents: (%f, %f, %f)", bounds_.halfSize.x, bounds_.halfSize.y,
        bounds_.halfSize.z);
    Log(LogPriority::Info, "   vertexBuffer: %p", static_cast<const void*>(vertexBuffer_));
    Log(LogPriority::Info, "   indexBuffer: %p", static_cast<const void*>(indexBuffer_));
    Log(LogPriority::Info, "   physicsMesh: %p", static_cast<const void*>(physicsMesh_.get()));
}

OBBox GraphicsMesh::GetOBBox() const {
    EnsureAvailable();
    return OBBox(bounds_.halfSize, Coords::Identity);
}

bool GraphicsMesh::GetIsReadyToUse(bool bothShaders) const {
    if (GetLoadedState() != LoadedState::Loaded) return false;
    MarkAsTouched();
    for (const Material& material : materials_) {
        if (material.shader != nullptr && !material.shader->GetIsReadyToUse()) return false;
        if (bothShaders && material.secondShader != nullptr && !material.secondShader->GetIsReadyToUse()) return false;
        for (const MaterialParameter& parameter : material.parameters) {
            if (parameter.texture != nullptr && !parameter.texture->GetIsReadyToUse()) return false;
        }
    }
    return true;
}

const RenderVertexBuffer* GraphicsMesh::GetVertexBuffer() const {
    EnsureAvailable();
    return vertexBuffer_;
}

const RenderVertexDeclaration* GraphicsMesh::GetVertexDeclaration() const {
    EnsureAvailable();
    return declaration_;
}

const RenderIndexBuffer* GraphicsMesh::GetIndexBuffer() const {
    EnsureAvailable();
    return indexBuffer_;
}

void GraphicsMesh::GetMeshRenderInfo(MeshRenderInfo& info) const {
    EnsureAvailable();
    info = {faceCount_,   vertexCount_, static_cast<uint32_t>(bones_.size()), stride_, vertexBuffer_, declaration_,
            indexBuffer_, &faceSets_};
}

uint32_t GraphicsMesh::GetNumVertices() const {
    EnsureAvailable();
    return vertexCount_;
}

uint32_t GraphicsMesh::GetVertexStride() const {
    EnsureAvailable();
    return stride_;
}

const mem::vector<uint32_t>& GraphicsMesh::GetVertexAttributes() const {
    EnsureAvailable();
    return attributes_;
}

uint32_t GraphicsMesh::GetAttributeOffset(uint32_t attribute) const {
    EnsureAvailable();
    uint32_t offset = 0;
    for (const uint32_t id : attributes_) {
        if (id == attribute) return offset;
        offset += MeshFileReader::GetAttributeSize(id);
    }
    return kNoAttribute;
}

const mem::vector<uint8_t>& GraphicsMesh::GetVertexData() const {
    EnsureAvailable();
    return vertexData_;
}

uint32_t GraphicsMesh::GetNumFaces() const {
    EnsureAvailable();
    return faceCount_;
}

const mem::vector<uint16_t>& GraphicsMesh::GetIndices() const {
    EnsureAvailable();
    return indices_;
}

uint32_t GraphicsMesh::GetNumBlendedFaces() const {
    EnsureAvailable();
    return blendedFaceCount_;
}

const mem::vector<uint16_t>& GraphicsMesh::GetBlendedIndices() const {
    EnsureAvailable();
    return blendedIndices_;
}

const ABBox& GraphicsMesh::GetBoundingBox() const {
    EnsureAvailable();
    return bounds_;
}

int GraphicsMesh::GetNumFaceSets() const {
    EnsureAvailable();
    return static_cast<int>(faceSets_.size());
}

const GraphicsMesh::FaceSet& GraphicsMesh::GetFaceSet(int index) const {
    EnsureAvailable();
    return faceSets_[static_cast<size_t>(index)];
}

int GraphicsMesh::GetNumBones() const {
    EnsureAvailable();
    return static_cast<int>(bones_.size());
}

const GraphicsMesh::Bone& GraphicsMesh::GetBone(int index) const {
    EnsureAvailable();
    return bones_[static_cast<size_t>(index)];
}

int GraphicsMesh::GetBoneIndex(const Name& name) const {
    EnsureAvailable();
    const int* index = boneTable_.Get(name);
    return index ? *index : -1;
}

const Name& GraphicsMesh::GetRootMotionBone() const {
    EnsureAvailable();
    return rootMotionBone_;
}

int GraphicsMesh::GetNumHitBoxes() const {
    EnsureAvailable();
    return static_cast<int>(hitBoxes_.size());
}

const GraphicsMesh::HitBox& GraphicsMesh::GetHitBox(int index) const {
    EnsureAvailable();
    return hitBoxes_[static_cast<size_t>(index)];
}

int GraphicsMesh::GetNumMaterials() const {
    EnsureAvailable();
    return static_cast<int>(materials_.size());
}

const GraphicsMesh::Material& GraphicsMesh::GetMaterial(int index) const {
    EnsureAvailable();
    return materials_[static_cast<size_t>(index)];
}

int GraphicsMesh::GetNumContours() const {
    EnsureAvailable();
    return static_cast<int>(contours_.size());
}

const GraphicsMesh::Contour& GraphicsMesh::GetContour(int index) const {
    EnsureAvailable();
    return contours_[static_cast<size_t>(index)];
}

int GraphicsMesh::GetNumPortals() const {
    EnsureAvailable();
    return static_cast<int>(portals_.size());
}

const GraphicsMesh::Portal& GraphicsMesh::GetPortal(int index) const {
    EnsureAvailable();
    return portals_[static_cast<size_t>(index)];
}

int GraphicsMesh::GetNumSections() const {
    EnsureAvailable();
    return static_cast<int>(sections_.size());
}

const std::string& GraphicsMesh::GetSection(int index) const {
    EnsureAvailable();
    return sections_[static_cast<size_t>(index)];
}

bool GraphicsMesh::GetFaceSetParts(int index, const FaceSet*& set, const Material*& material,
                                   const std::string*& section) const {
    EnsureAvailable();
    set = nullptr;
    material = nullptr;
    section = nullptr;
    if (index < 0 || size_t(index) >= faceSets_.size()) return false;
    set = &faceSets_[size_t(index)];
    // The reader refuses a face set whose material or section is not in the mesh.
    material = &materials_[set->material];
    section = &sections_[set->section];
    return true;
}

const PhysicsMesh* GraphicsMesh::GetPhysicsMesh() const {
    EnsureAvailable();
    return physicsMesh_.get();
}

const std::string& GraphicsMesh::GetDescriptionText() const {
    EnsureAvailable();
    return descriptionText_;
}

const GraphicsMesh::MIFData& GraphicsMesh::GetMIFData() const {
    EnsureAvailable();
    return mifData_;
}

const GraphicsMesh::AttachPoint* GraphicsMesh::GetAttachPoint(const Name& name) const {
    EnsureAvailable();
    return mifData_.attachPoints.Get(name);
}

void GraphicsMesh::GetAllAttachedPoints(mem::vector<Name>& names) const {
    EnsureAvailable();
    mifData_.attachPoints.ForEach([&](const Name& name, const AttachPoint&) { names.push_back(name); });
}

int GraphicsMesh::GetNumCreationData() const {
    EnsureAvailable();
    return static_cast<int>(mifData_.creationEntities.size());
}

bool GraphicsMesh::GetCreationData(int index, std::string& entity, std::string& attach) const {
    EnsureAvailable();
    if (index < 0 || size_t(index) >= mifData_.creationEntities.size() ||
        size_t(index) >= mifData_.creationAttaches.size()) {
        return false;
    }
    entity = mifData_.creationEntities[size_t(index)];
    attach = mifData_.creationAttaches[size_t(index)];
    return true;
}

int GraphicsMesh::GetNumSkeletonEmitterBones() const {
    EnsureAvailable();
    return static_cast<int>(mifData_.skeletonEmitterBones.size());
}

const std::string& GraphicsMesh::GetSkeletonEmitterBone(int index) const {
    EnsureAvailable();
    return mifData_.skeletonEmitterBones[static_cast<size_t>(index)];
}

int GraphicsMesh::GetNumRigidBodyDescriptions() const {
    EnsureAvailable();
    return static_cast<int>(mifData_.rigidBodies.size());
}

const RigidBodyDescription& GraphicsMesh::GetRigidBodyDescription(int index) const {
    EnsureAvailable();
    return mifData_.rigidBodies[static_cast<size_t>(index)];
}

bool GraphicsMesh::HasRigidBodyData() const {
    EnsureAvailable();
    return !mifData_.rigidBodies.empty();
}

int GraphicsMesh::GetNumJointDescriptions() const {
    EnsureAvailable();
    return static_cast<int>(mifData_.joints.size());
}

const JointDescription& GraphicsMesh::GetJointDescription(int index) const {
    EnsureAvailable();
    return mifData_.joints[static_cast<size_t>(index)];
}

const std::string& GraphicsMesh::GetExporterText() const {
    EnsureAvailable();
    return exporterText_;
}

void GraphicsMesh::GetWorldCoords(const SkeletalPose& pose, Coords* out, const GraphicsMesh* skeleton,
                                  const SkeletalPose* skeletonPose) const {
    for (const uint32_t b : boneOrder_) {
        const Bone& bone = bones_[b];
        if (bone.parent != kNoBone) {
            out[b] = out[bone.parent] * bone.relativeCoords * pose.GetBoneCoords(bone.name);
            continue;
        }
        const int worn = skeleton != nullptr ? skeleton->GetBoneIndex(bone.name) : -1;
        out[b] = worn >= 0 ? skeleton->GetAbsCoords(*skeletonPose, worn)
                           : bone.relativeCoords * pose.GetBoneCoords(bone.name);
    }
}

Coords GraphicsMesh::GetAbsCoords(const SkeletalPose& pose, int bone) const {
    EnsureAvailable();
    Coords result = Coords::Identity;
    if (bone < 0 || size_t(bone) >= bones_.size()) return result;
    for (uint32_t b = uint32_t(bone); b != kNoBone; b = bones_[b].parent) {
        result = bones_[b].relativeCoords * pose.GetBoneCoords(bones_[b].name) * result;
    }
    return result;
}

Coords GraphicsMesh::GetAbsCoords(const SkeletalPose& pose, const Name& bone) const {
    return GetAbsCoords(pose, GetBoneIndex(bone));
}

void GraphicsMesh::GetAbsCoords(const SkeletalPose& pose, Coords* out) const {
    EnsureAvailable();
    GetWorldCoords(pose, out, nullptr, nullptr);
    for (size_t b = 0; b < bones_.size(); ++b) out[b] = out[b] * inverseBind_[b];
}

void GraphicsMesh::GetAbsCoords(const SkeletalPose& pose, Coords* out, const GraphicsMesh* skeleton,
                                const SkeletalPose& skeletonPose) const {
    EnsureAvailable();
    GetWorldCoords(pose, out, skeleton, &skeletonPose);
    for (size_t b = 0; b < bones_.size(); ++b) out[b] = out[b] * inverseBind_[b];
}

GraphicsMesh::HitBox GraphicsMesh::GetHitBox(int index, const SkeletalPose& pose) const {
    HitBox box = GetHitBox(index);
    if (box.bone < 0) return box;
    box.coords = GetAbsCoords(pose, box.bone) * box.coords;
    Vec3* const axes[3] = {&box.coords.xAxis, &box.coords.yAxis, &box.coords.zAxis};
    float* const halfSizes[3] = {&box.extents.x, &box.extents.y, &box.extents.z};
    for (int i = 0; i < 3; ++i) {
        const float length = axes[i]->Length();
        if (length == 0.0f) continue;
        *axes[i] = *axes[i] * (1.0f / length);
        *halfSizes[i] *= length;
    }
    return box;
}

void GraphicsMesh::GetAttachedCoords(const SkeletalPose& pose, const Name& attachPoint, Coords& out) const {
    const AttachPoint* point = GetAttachPoint(attachPoint);
    out = point != nullptr ? GetAbsCoords(pose, GetBoneIndex(point->parentName)) * point->coords : Coords::Identity;
}

void GraphicsMesh::SkinPositions(const Coords* skinMatrices, Vec3* out) const {
    EnsureAvailable();
    if (skinVertices_.empty()) {
        const uint32_t offset = GetAttributeOffset(0);
        for (uint32_t v = 0; v < vertexCount_; ++v) {
            out[v] = Vec3();
            if (offset != kNoBone)
                std::memcpy(&out[v], vertexData_.data() + size_t(v) * stride_ + offset, sizeof(Vec3));
        }
        return;
    }
    for (size_t v = 0; v < skinVertices_.size(); ++v) {
        const SkinVertex& skin = skinVertices_[v];
        Vec3 position = skinMatrices[skin.bones[0]].TransformPoint(skin.position) * skin.weights[0];
        for (int k = 1; k < 4; ++k)
            position += skinMatrices[skin.bones[k]].TransformPoint(skin.position) * skin.weights[k];
        out[v] = position;
    }
}

void GraphicsMesh::SetShaderParameters(const GraphicsShader2& shader, int materialIndex) const {
    for (const MaterialParameter& parameter : GetMaterial(materialIndex).parameters) {
        float values[4];
        std::memcpy(values, parameter.payload, sizeof(values));
        switch (parameter.type) {
            case kParamTexture:
                if (parameter.texture != nullptr) shader.SetTexture(parameter.name, 0, parameter.texture->GetTexture());
                break;
            case kParamVec2:
                shader.SetFloat2(parameter.name, 0, values[0], values[1]);
                break;
            case kParamVec3:
                shader.SetFloat3(parameter.name, 0, values[0], values[1], values[2]);
                break;
            case kParamFloat:
                shader.SetFloat(parameter.name, 0, values[0]);
                break;
            case kParamVec4:
                shader.SetFloat4(parameter.name, 0, values[0], values[1], values[2], values[3]);
                break;
            default:
                break;
        }
    }
}

bool GraphicsMesh::UsesShaderOfType(const char* text) const {
    EnsureAvailable();
    for (const Material& material : materials_) {
        if (material.shader != nullptr && material.shader->GetFileName().find(text) == std::string::npos) return false;
    }
    return true;
}

void GraphicsMesh::RenderBlendedFaces(RenderDevice& device, const GraphicsShader2& shader) const {
    EnsureAvailable();
    if (vertexBuffer_ == nullptr || declaration_ == nullptr || blendedIndexBuffer_ == nullptr ||
        blendedFaceCount_ == 0) {
        return;
    }
    device.SetStreamSource(0, vertexBuffer_, 0, stride_);
    device.SetVertexDeclaration(declaration_);
    device.SetIndices(blendedIndexBuffer_);
    shader.Render(GetFileName().c_str());
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, vertexCount_, blendedFaceCount_, 0, 0);
}

}  // namespace GAME
