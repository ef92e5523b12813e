#pragma once
// MeshFileReader: reads a mesh file ("MSH") into the members of a GraphicsMesh. MeshFileWriter
// writes the same file.
//
// All numbers little-endian. A string is a u32 byte count (at most 1 MiB) and the bytes; a fixed
// name is 32 bytes of text, zero-padded. A Coords is 12 f32: x axis, y axis, z axis, origin.
//
// Head: the bytes "MSH", then a version byte, 8 to 11.
//   8:  a legacy geometry block; every byte after it is description text.
//   9:  chunks {u32 id, u32 size} with ids 0, 1 or 2 (a size of 0 has no content): 0 the exporter
//       string, 1 a legacy geometry block, 2 a collision buffer. The first header with another id
//       (or fewer than 8 bytes left) ends the run without being consumed; from there every byte is
//       description text.
//   10, 11: chunks {u32 id, u32 size} to the end of the data. Ids 2 and 3 are consumed by size,
//       ids 0 and 4 to 13 are read by their fields (reading goes on right after the last field,
//       whatever size says), other ids are skipped by size.
//
// Chunks:
//   0   string: exporter text
//   2   collision buffer (PhysicsMesh)
//   3   description text
//   4   u32 attributeCount, u32 stride, u32 vertexCount, attributeCount x u32 attribute ids,
//       vertexCount x stride bytes
//   5   u32 faceCount, u32 faceSetCount, faceCount x 3 x u16 indices, faceSetCount face sets:
//       u32 material, u32 firstFace, u32 faceCount, [version 11: u32 section, Vec3 box centre,
//       Vec3 box half sizes], u32 boneCount, boneCount x u32 bones
//   6   u32 boneCount, bones of 88 bytes: fixed name, u32 firstChild, u32 childCount, Coords
//   7   u32 materialCount, materials: string shader, u32 parameterCount, parameters: string name,
//       u32 type, payload by type: 0 and 1 one word; 2 and 7 a string; 3 12 f32; 4 16 f32;
//       8 2 f32; 9 3 f32; 10 1 f32; 11 4 f32; 5, 6 and 12 up nothing (the parameter is dropped;
//       a type-2 parameter is kept without its text)
//   8   u32 hitBoxCount, hit boxes of 96 bytes: fixed name, Vec3 half sizes, Coords, u32 bone
//       (0xFFFFFFFF for none)
//   9   u32 contourCount, contours: u32 pointCount, points of two Vec3 (position, normal)
//   10  bounds: Vec3 minimum, Vec3 maximum
//   11  u32 blendedFaceCount, blendedFaceCount x 3 x u16 indices
//   12  u32 portalCount, portals: u32 pointCount, points of three Vec3
//   13  u32 sectionCount, sectionCount strings
// Legacy geometry block: u32 vertexCount (1-65536), faceCount (1-65536), faceSetCount (1-1000),
//   reserved (at most 196608), boneCount (at most 256), hitBoxCount (at most 256), materialCount
//   (at most 1000), attributeCount (1-30), stride; then the attribute ids, Vec3 minimum and
//   maximum of the bounds, the vertices, the indices, the face sets in the version-10 form, the
//   bones, the hit boxes and the materials as in chunks 6, 8 and 7 without their counts.
//
// After the data: face sets of files before version 11 take the mesh bounds as their box; a mesh
// without bounds, without vertices and with a collision mesh takes the collision mesh's box; a
// mesh without section names gets one empty name; bones get their parents, depths and absolute
// bind coords; the first root bone becomes the root-motion bone; the description text is parsed
// (MeshDescription).
//
// Nothing read is trusted. The load fails, with the error logged, on: a bad head; a chunk header
// cut short or a chunk size past the end; any field, count or string that runs past the data (a
// string too long fails too, since reading on would take its bytes for the next fields); an
// attribute id above 14, attributes wider than the stride, or vertices of no bytes; a legacy
// count outside its limits; an index past the vertices; a face set outside the faces, or naming a
// material, section or bone the mesh does not have; a bone's children outside the bones, a bone
// with two parents, or bones in a cycle; a collision buffer that PhysicsMesh refuses; a description
// text that does not parse. A hit box
// whose half sizes are not finite (not checked in the legacy block) or whose bone does not exist
// is dropped with the warning "Mesh '%s' has a bad hit box".

#include <cstdint>

#include "files/BinaryReader.h"
#include "scene/GraphicsMesh.h"

namespace GAME {

class MeshFileReader {
public:
    static constexpr uint32_t kOldestVersion = 8;
    static constexpr uint32_t kVersion = 11;
    static constexpr uint32_t kFixedNameSize = 32;

    // Legacy geometry block limits.
    static constexpr uint32_t kMaxLegacyVertices = 65536;
    static constexpr uint32_t kMaxLegacyFaces = 65536;
    static constexpr uint32_t kMaxLegacyFaceSets = 1000;
    static constexpr uint32_t kMaxLegacyReserved = 196608;
    static constexpr uint32_t kMaxLegacyBones = 256;
    static constexpr uint32_t kMaxLegacyHitBoxes = 256;
    static constexpr uint32_t kMaxLegacyMaterials = 1000;
    static constexpr uint32_t kMaxLegacyAttributes = 30;

    // Chunk ids.
    enum ChunkId : uint32_t {
        kChunkExporterText = 0,
        kChunkLegacyGeometry = 1,  // version 9 only
        kChunkCollision = 2,
        kChunkDescription = 3,
        kChunkVertices = 4,
        kChunkFaces = 5,
        kChunkBones = 6,
        kChunkMaterials = 7,
        kChunkHitBoxes = 8,
        kChunkContours = 9,
        kChunkBounds = 10,
        kChunkBlendedFaces = 11,
        kChunkPortals = 12,
        kChunkSections = 13,
    };

    // Bytes a vertex attribute takes; 0 for an id the format does not have.
    static uint32_t GetAttributeSize(uint32_t attribute);
    // Payload words of a material parameter type; 0 for the types whose payload is a string or
    // that have none.
    static uint32_t GetPayloadWords(uint32_t type);

    // Reads the file into an empty mesh. False, with the error logged, when the file is refused;
    // the mesh is then partly filled and must be destroyed.
    static bool Read(const void* data, uint32_t size, GraphicsMesh& mesh);

private:
    MeshFileReader(const void* data, uint32_t size, GraphicsMesh& mesh);

    bool ReadFile();
    bool ReadVersion9();
    bool ReadChunks();
    bool ReadLegacyBlock();
    bool ReadExporterText();
    bool ReadCollision(uint32_t size);
    bool ReadVertexFormat(uint32_t attributeCount, uint32_t stride, uint32_t vertexCount);
    bool ReadVertices();
    bool ReadFaces(uint32_t faceCount, uint32_t faceSetCount);
    bool ReadFaceSets(uint32_t faceSetCount);
    bool ReadBones(uint32_t boneCount);
    bool ReadMaterials(uint32_t materialCount);
    bool ReadMaterialParameter(GraphicsMesh::Material& material);
    bool ReadHitBoxes(uint32_t hitBoxCount, bool checkExtents);
    bool ReadContours();
    bool ReadBounds();
    bool ReadBlendedFaces();
    bool ReadPortals();
    bool ReadSections();
    // Reads a u32 count and checks that count records of at least recordSize bytes fit.
    bool ReadCount(uint32_t& count, uint32_t recordSize, const char* what);
    // True when count records of recordSize bytes remain; logs otherwise.
    bool Fits(uint64_t count, uint64_t recordSize, const char* what);
    bool ReadString(std::string& out, const char* what);
    std::string ReadFixedName();

    // The steps after the data, and the checks that need all of it.
    bool Finish();
    bool CheckFaces();
    bool LinkBones();
    void CheckHitBoxes();

    bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

    BinaryReader reader_;
    GraphicsMesh& mesh_;
    uint32_t version_ = 0;
    bool hasBounds_ = false;
};

}  // namespace GAME
