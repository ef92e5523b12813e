#pragma once
// GraphicsMesh: a mesh file loaded as a resource. It holds what the file carries: the vertex
// format and the vertex bytes, the triangles and their face sets, the bone hierarchy with its bind
// pose, materials, hit boxes, contours, portals, section names, the optional collision mesh and what
// the description text says (MIFData: attach points, created entities, rag doll). MeshFileReader fills these members (the file format is described there);
// MeshFileWriter writes the same file.
//
// Until the mesh is drawn these are system-memory copies: the vertex bytes as the file stores them
// (stride bytes per vertex, attributes in file order), 16-bit indices three per triangle, and
// materials by shader file name with their parameters as read.
// Queries make the resource available first (Resource::EnsureAvailable); indices must be in range.

#include <cstdint>
#include <memory>
#include <string>

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "files/Resource.h"
#include "physics/PhysicsMesh.h"
#include "scene/MeshDescription.h"
#include "scene/NameTable.h"

namespace GAME {

class GraphicsMesh : public Resource {
public:
    // Parent of a root bone, and the bone of a hit box that follows none.
    static constexpr uint32_t kNoBone = 0xFFFFFFFF;
    // The offset of an attribute the vertices do not have.
    static constexpr uint32_t kNoAttribute = 0xFFFFFFFF;
    using MIFData = MeshDescription;
    using AttachPoint = MeshDescription::AttachPoint;

    // Vertex attribute ids: 0-3 three floats, 4 and 7-13 two floats, 5 the four skin weights,
    // 6 the four skin bone bytes (indices into the face set's bone list), 14 four bytes.
    static constexpr uint32_t kAttributeSkinWeights = 5;
    static constexpr uint32_t kAttributeSkinBones = 6;
    static constexpr uint32_t kMaxAttributeId = 14;

    // A run of triangles drawn with one material and one bone palette.
    struct FaceSet {
        uint32_t material = 0;        // index into the materials
        uint32_t firstFace = 0;       // first triangle; its indices start at firstFace x 3
        uint32_t faceCount = 0;
        mem::vector<uint32_t> bones;  // mesh bone indices; a vertex's skin bone bytes index this list
        ABBox box;                    // bounds of the set (the mesh bounds in files before version 11)
        uint32_t section = 0;         // index into the section names (0 before version 11)
    };

    // One bone of the hierarchy. Children of a bone are consecutive bones.
    struct Bone {
        Name name;
        std::string nameText;
        Coords relativeCoords;        // bind pose relative to the parent
        Coords absoluteCoords;        // bind pose in mesh space
        uint32_t parent = kNoBone;    // kNoBone for a root
        int32_t childCount = 0;
        uint32_t firstChild = 0;
        uint32_t depth = 0;           // 0 for a leaf, else 1 + the largest depth of its children
    };

    // A box that follows a bone, for hit tests.
    struct HitBox {
        Vec3 extents;                 // half sizes
        Coords coords;                // placement relative to the bone, axes of unit length
        Name name;
        std::string nameText;
        int32_t bone = -1;            // -1 for none
    };

    // Parameter types of a material; the payload words follow the type.
    enum ParameterType : uint32_t {
        kParamInt = 0,       // payload[0]
        kParamBool = 1,      // payload[0], 0 or 1
        kParamString = 2,    // its text is not kept: the parameter has no value
        kParamMatrix43 = 3,  // 12 floats
        kParamMatrix44 = 4,  // 16 floats
        kParamTexture = 7,   // text: the texture file name
        kParamVec2 = 8,
        kParamVec3 = 9,
        kParamFloat = 10,
        kParamVec4 = 11,
    };

    // One shader parameter of a material.
    struct MaterialParameter {
        Name name;
        std::string nameText;
        uint32_t type = kParamInt;
        uint32_t payload[16] = {};   // integers as they are, floats by their bits
        std::string text;            // the texture file name of kParamTexture
    };

    struct Material {
        std::string shaderName;      // the shader file
        mem::vector<MaterialParameter> parameters;
    };

    struct ContourPoint {
        Vec3 position;
        Vec3 normal;
        Vec3 side;                   // made on load from the neighbouring points and the normal
    };
    struct Contour {
        mem::vector<ContourPoint> points;
    };

    // Three vectors a point, as the file stores them.
    struct PortalPoint {
        Vec3 vectors[3];
    };
    struct Portal {
        mem::vector<PortalPoint> points;
    };

    GraphicsMesh(BaseResourceManager* manager, const std::string& fileName);
    ~GraphicsMesh() override;

    // Reads the file. InvalidData (after Destroy), with the error logged, for anything the reader
    // refuses. On success the file's size is added to the manager's memory usage, which Destroy
    // takes off again.
    InitResult Initialize(const void* data, uint32_t size) override;
    void Destroy() override;
    // "%u vertices, %u faces, %u face sets, %u bones".
    std::string GetDebugInfo() const override;
    size_t GetSystemMemoryUsage() const override;
    static const char* GetDefaultName() { return "?DefaultMesh"; }

    uint32_t GetNumVertices() const;
    uint32_t GetVertexStride() const;
    // The attribute ids in vertex order.
    const mem::vector<uint32_t>& GetVertexAttributes() const;
    // Byte offset of an attribute within a vertex; kNoAttribute when the vertices have none.
    uint32_t GetAttributeOffset(uint32_t attribute) const;
    // vertex count x stride bytes.
    const mem::vector<uint8_t>& GetVertexData() const;
    uint32_t GetNumFaces() const;
    // Three per face.
    const mem::vector<uint16_t>& GetIndices() const;
    // Three per blended face, over the same vertices.
    uint32_t GetNumBlendedFaces() const;
    const mem::vector<uint16_t>& GetBlendedIndices() const;
    const ABBox& GetBoundingBox() const;

    int GetNumFaceSets() const;
    const FaceSet& GetFaceSet(int index) const;
    int GetNumBones() const;
    const Bone& GetBone(int index) const;
    // -1 when the mesh has no bone of that name.
    int GetBoneIndex(const Name& name) const;
    // The first root bone in file order; Name::noName without bones.
    const Name& GetRootMotionBone() const;
    int GetNumHitBoxes() const;
    const HitBox& GetHitBox(int index) const;
    int GetNumMaterials() const;
    const Material& GetMaterial(int index) const;
    int GetNumContours() const;
    const Contour& GetContour(int index) const;
    int GetNumPortals() const;
    const Portal& GetPortal(int index) const;
    // A mesh without section names has one empty one.
    int GetNumSections() const;
    const std::string& GetSection(int index) const;
    // The collision mesh; null when the file has none.
    const PhysicsMesh* GetPhysicsMesh() const;
    // The description text of the file, as stored, and what it says.
    const std::string& GetDescriptionText() const;
    const MIFData& GetMIFData() const;
    // Null when the mesh has no attach point of that name.
    const AttachPoint* GetAttachPoint(const Name& name) const;
    // Appends the name of every attach point, in table order.
    void GetAllAttachedPoints(mem::vector<Name>& names) const;
    int GetNumCreationData() const;
    // The record and attach point names of entry i; false when i is outside either list.
    bool GetCreationData(int index, std::string& entity, std::string& attach) const;
    int GetNumSkeletonEmitterBones() const;
    const std::string& GetSkeletonEmitterBone(int index) const;
    int GetNumRigidBodyDescriptions() const;
    const RigidBodyDescription& GetRigidBodyDescription(int index) const;
    // True when the mesh has at least one rigid body.
    bool HasRigidBodyData() const;
    int GetNumJointDescriptions() const;
    const JointDescription& GetJointDescription(int index) const;
    // The text the exporter left in the file; nothing reads it.
    const std::string& GetExporterText() const;

private:
    friend class MeshFileReader;

    // Vertices.
    uint32_t vertexCount_ = 0;
    uint32_t stride_ = 0;
    mem::vector<uint32_t> attributes_;
    mem::vector<uint8_t> vertexData_;
    // Triangles.
    uint32_t faceCount_ = 0;
    mem::vector<uint16_t> indices_;
    uint32_t blendedFaceCount_ = 0;
    mem::vector<uint16_t> blendedIndices_;
    ABBox bounds_{Vec3(), Vec3(1.0f, 1.0f, 1.0f)};

    mem::vector<FaceSet> faceSets_;
    mem::vector<Bone> bones_;
    NameTable<int> boneTable_;
    Name rootMotionBone_;
    mem::vector<HitBox> hitBoxes_;
    mem::vector<Material> materials_;
    mem::vector<Contour> contours_;
    mem::vector<Portal> portals_;
    mem::vector<std::string> sections_;
    std::unique_ptr<PhysicsMesh> physicsMesh_;
    std::string descriptionText_;
    MIFData mifData_;
    std::string exporterText_;
    uint32_t dataSize_ = 0;  // bytes added to the manager's memory usage; 0 when not counted
};

}  // namespace GAME
