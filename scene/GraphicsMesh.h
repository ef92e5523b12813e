#pragma once
// GraphicsMesh: a mesh file loaded as a resource of the graphics engine's mesh manager. It holds
// what the file carries: the vertex format and the vertex bytes, the triangles and their face sets,
// the bone hierarchy with its bind pose, materials, hit boxes, contours, portals, section names, the
// optional collision mesh and what the description text says (MIFData: attach points, created
// entities, rag doll). MeshFileReader fills these members (the file format is described there);
// MeshFileWriter writes the same file.
//
// With a graphics engine (the one given, else the running engine's) a load also makes the device
// objects on whichever thread loads it (the device allows that): a vertex buffer with its
// declaration (each attribute id is its element's usage code; the declaration is made for a
// vertex format without vertices too), an index buffer and one of the blended faces. It loads
// every material's shaders, the main one and its 'T' form (a 'T' before the last '.' of the name,
// when the file system has such a file; else the main name again), and the texture of every
// texture parameter that one of those shaders has a parameter of that name for; the other texture
// parameters are dropped, their files never read. Without a graphics engine only the
// system-memory data loads.
// The system-memory copies stay: the vertex bytes as the file stores them (stride bytes per vertex,
// attributes in file order, skin bone bytes as palette reduction left them), 16-bit indices three
// per triangle; posed queries and CPU skinning read them.
//
// Palette reduction: a face set whose bone list is longer than the graphics engine's
// GetMaxNumBones folds bones into their parents (leaves first, then bones one and two levels above
// them) and its vertices' skin bone bytes are renumbered into the shorter list, once, after the
// file is read. A bone folded into a parent that was folded too takes the first kept bone up its
// parent chain (slot 0 when there is none); a bone byte outside the list is left alone; a face set
// naming a bone of index 256 or more is not reduced (warned), since vertices hold bones as bytes.
//
// Queries make the resource available first (Resource::EnsureAvailable); indices must be in range,
// except in the posed queries, where a bone index outside the bones gives the identity.

#include <cstdint>
#include <memory>
#include <string>

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "core/OBBox.h"
#include "files/Resource.h"
#include "physics/PhysicsMesh.h"
#include "scene/MeshDescription.h"
#include "scene/NameTable.h"

namespace GAME {

class GraphicsEngine;
class GraphicsShader2;
class GraphicsTexture;
class RenderDevice;
class RenderIndexBuffer;
class RenderVertexBuffer;
class RenderVertexDeclaration;
class SkeletalPose;

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
        const GraphicsTexture* texture = nullptr;  // that texture, loaded with a graphics engine
    };

    struct Material {
        std::string shaderName;      // the shader file
        mem::vector<MaterialParameter> parameters;
        // Loaded with a graphics engine: the shader and its 'T' form, drawn for faces whose
        // section is not fully opaque.
        const GraphicsShader2* shader = nullptr;
        const GraphicsShader2* secondShader = nullptr;
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

    // What a draw of the mesh needs (GetMeshRenderInfo).
    struct MeshRenderInfo {
        uint32_t faceCount = 0;
        uint32_t vertexCount = 0;
        uint32_t boneCount = 0;
        uint32_t vertexStride = 0;  // bytes
        const RenderVertexBuffer* vertexBuffer = nullptr;
        const RenderVertexDeclaration* declaration = nullptr;
        const RenderIndexBuffer* indexBuffer = nullptr;
        const mem::vector<FaceSet>* faceSets = nullptr;
    };

    // The running engine's graphics engine, if any.
    GraphicsMesh(BaseResourceManager* manager, const std::string& fileName);
    GraphicsMesh(BaseResourceManager* manager, const std::string& fileName, GraphicsEngine& graphics);
    ~GraphicsMesh() override;

    // Queues every material's shaders and every parameter texture with the loader.
    void PreLoadDependentResources() const override;
    // Reads the file, reduces the palettes and makes the device objects (see the header comment).
    // Retry, with nothing read, while the device is lost; InvalidData (after Destroy), with the
    // error logged, for anything the reader refuses; PartlyInitialized when a device object could
    // not be made. On success the manager's memory usage grows by the file's size and the video
    // memory, which Destroy takes off again.
    InitResult Initialize(const void* data, uint32_t size) override;
    // The stand-in: no geometry, bounds centred on the origin with half sizes 1.
    void InitializeDefault() override;
    // Releases the device objects, the shaders and the textures, and empties every table.
    void Destroy() override;
    // "%u vertices, %u faces, %u face sets, %u bones".
    std::string GetDebugInfo() const override;
    // The base lines, then the counts, bounds and device objects.
    void LogInfo() const override;
    size_t GetSystemMemoryUsage() const override;
    // The vertex buffer's bytes and the index buffers'.
    size_t GetVideoMemoryUsage() const override;
    static const char* GetDefaultName() { return "?DefaultMesh"; }

    // The bounds' half sizes around the mesh origin.
    OBBox GetOBBox() const;
    // False unless loaded; marks the mesh touched; then every material's shader (and its second
    // one when asked) and every parameter texture must be ready.
    bool GetIsReadyToUse(bool bothShaders) const;
    // Null without a graphics engine or when the object could not be made.
    const RenderVertexBuffer* GetVertexBuffer() const;
    const RenderVertexDeclaration* GetVertexDeclaration() const;
    const RenderIndexBuffer* GetIndexBuffer() const;
    void GetMeshRenderInfo(MeshRenderInfo& info) const;

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
    // Face set index with its material and section name in one look-up, for code that asks per
    // draw: false, and all null, for an index outside the face sets; the material or section null
    // when the face set's index lies outside theirs.
    bool GetFaceSetParts(int index, const FaceSet*& set, const Material*& material, const std::string*& section) const;
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

    // -- Posed queries (no allocation) ------------------------------------------------------------
    // A bone's world frame is its parent's world frame * its relative bind frame * the pose's frame
    // of the bone (identity above a root and for a bone the pose lacks).

    // The bone's world frame; the identity for an index outside the bones.
    Coords GetAbsCoords(const SkeletalPose& pose, int bone) const;
    // By name; the identity for a name the mesh lacks.
    Coords GetAbsCoords(const SkeletalPose& pose, const Name& bone) const;
    // The skinning matrices, GetNumBones of them: world frame * inverse absolute bind frame.
    void GetAbsCoords(const SkeletalPose& pose, Coords* out) const;
    // The skinning matrices of a mesh worn on another mesh's skeleton: a root bone that the
    // skeleton has (by name) takes the skeleton bone's world frame under skeletonPose as its own
    // world frame; other roots start from the identity under this mesh's pose.
    void GetAbsCoords(const SkeletalPose& pose, Coords* out, const GraphicsMesh* skeleton,
                      const SkeletalPose& skeletonPose) const;
    // The hit box placed by its bone's world frame, its axes made unit length and its half sizes
    // scaled by their former lengths (an axis of length 0 stays as it is); unchanged without bone.
    HitBox GetHitBox(int index, const SkeletalPose& pose) const;
    // The attach point's bone's world frame * the point's frame; the identity for an attach point
    // the mesh lacks.
    void GetAttachedCoords(const SkeletalPose& pose, const Name& attachPoint, Coords& out) const;

    // -- CPU skinning -----------------------------------------------------------------------------

    // Every vertex position skinned by the matrices (GetNumBones of them, as GetAbsCoords makes):
    // the sum over the vertex's four influences of weight x (matrix of the palette's bone) x
    // position, the palette being that of the first face set that draws the vertex. A mesh without
    // skin attributes gives its positions; vertices no face set draws give the origin. out holds
    // GetNumVertices positions.
    void SkinPositions(const Coords* skinMatrices, Vec3* out) const;

    // -- Shading ----------------------------------------------------------------------------------

    // Sends the material's parameters to the shader: textures, float pairs, triples, singles and
    // quadruples; other types are not sent.
    void SetShaderParameters(const GraphicsShader2& shader, int materialIndex) const;
    // True when every material that has a shader has the text in its shader's file name (true for
    // a mesh without materials).
    bool UsesShaderOfType(const char* text) const;
    // Draws the blended faces over all vertices with the shader's current style, when the mesh has
    // them and its device objects.
    void RenderBlendedFaces(RenderDevice& device, const GraphicsShader2& shader) const;

private:
    friend class MeshFileReader;

    // One vertex as CPU skinning reads it.
    struct SkinVertex {
        Vec3 position;
        float weights[4];
        uint32_t bones[4];  // mesh bone indices (0 with weight 0 where the palette has none)
    };

    // World frames of every bone into out (parents before children); a root found by name in the
    // skeleton takes that bone's world frame.
    void GetWorldCoords(const SkeletalPose& pose, Coords* out, const GraphicsMesh* skeleton,
                        const SkeletalPose* skeletonPose) const;
    // After reading: inverse bind frames, the parent-first bone order, the skin vertices.
    void PrepareSkeleton();
    void PrepareSkinVertices();
    void ReducePalettes(uint32_t maxBones);
    void ReducePalette(FaceSet& set, uint32_t excess, mem::vector<uint8_t>& visited);
    // Shaders and textures of the materials; device objects. False when one could not be made.
    void LoadMaterials();
    bool CreateDeviceObjects();
    void ReleaseDeviceObjects();

    GraphicsEngine* const graphics_;  // null: data only

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
    // Made after reading.
    mem::vector<Coords> inverseBind_;       // per bone
    mem::vector<uint32_t> boneOrder_;       // every bone, each after its parent
    mem::vector<SkinVertex> skinVertices_;  // empty without skin attributes
    // Device objects; null without a graphics engine.
    RenderVertexBuffer* vertexBuffer_ = nullptr;
    RenderVertexDeclaration* declaration_ = nullptr;
    RenderIndexBuffer* indexBuffer_ = nullptr;
    RenderIndexBuffer* blendedIndexBuffer_ = nullptr;
    size_t countedMemory_ = 0;  // bytes added to the manager's memory usage; 0 when not counted
};

}  // namespace GAME
