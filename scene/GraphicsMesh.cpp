#include "scene/GraphicsMesh.h"

#include <cstdio>

#include "files/BaseResourceManager.h"
#include "scene/MeshFileReader.h"

namespace GAME {

GraphicsMesh::GraphicsMesh(BaseResourceManager* manager, const std::string& fileName)
    : Resource(manager, fileName, ResourceType::Mesh) {}

GraphicsMesh::~GraphicsMesh() { Destroy(); }

Resource::InitResult GraphicsMesh::Initialize(const void* data, uint32_t size) {
    Destroy();
    if (!MeshFileReader::Read(data, size, *this)) {
        Destroy();
        return InitResult::InvalidData;
    }
    dataSize_ = size;
    GetResourceManager()->IncrementMemoryUsage(dataSize_);
    return InitResult::Success;
}

void GraphicsMesh::Destroy() {
    if (dataSize_ != 0) {
        GetResourceManager()->DecrementMemoryUsage(dataSize_);
        dataSize_ = 0;
    }
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
    return bytes;
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

}  // namespace GAME
