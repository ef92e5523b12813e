#pragma once
// MeshFileWriter: writes the mesh file ("MSH") that MeshFileReader reads (the format is described
// there), for tools and tests. Version 11 is the current one; versions 8 to 10 write the older
// layouts: 10 the chunks without the face sets' sections and boxes, 9 the exporter text, a legacy
// geometry block and the collision buffer as chunks 0 to 2 with the description text after them,
// 8 a legacy geometry block and the description text.

#include <cstdint>
#include <string>

#include "core/ABBox.h"
#include "core/Mem.h"
#include "scene/GraphicsMesh.h"
#include "scene/MeshFileReader.h"

namespace GAME {

class BinaryWriter;

class MeshFileWriter {
public:
    // What one file holds, in the mesh's own records. Names are written from their text; a bone's
    // firstChild and childCount and its relative coords are written, its other members are made
    // by the reader; contour sides are made by the reader too.
    struct Contents {
        mem::vector<uint32_t> attributes;  // attribute ids in vertex order
        uint32_t stride = 0;               // bytes per vertex
        mem::vector<uint8_t> vertexData;   // a whole number of vertices
        mem::vector<uint16_t> indices;     // three per face
        mem::vector<GraphicsMesh::FaceSet> faceSets;
        mem::vector<GraphicsMesh::Bone> bones;
        mem::vector<GraphicsMesh::Material> materials;
        mem::vector<GraphicsMesh::HitBox> hitBoxes;
        mem::vector<GraphicsMesh::Contour> contours;
        ABBox bounds;
        mem::vector<uint16_t> blendedIndices;  // three per blended face
        mem::vector<GraphicsMesh::Portal> portals;
        mem::vector<std::string> sections;
        mem::vector<uint8_t> collisionBuffer;  // written when not empty
        std::string descriptionText;           // written when not empty
        std::string exporterText;              // written when not empty
    };

    // Writes the file. False, with the error logged and nothing written, for contents the version
    // cannot hold or the reader would refuse in any version: a version outside 8 to 11; vertex
    // bytes that are not a whole number of vertices, attributes unknown or wider than the stride;
    // an index count that is not a multiple of 3; a name longer than 32 bytes; for versions 8 and
    // 9 contours, portals, blended faces, section names or counts outside the legacy limits, and
    // for version 8 a collision buffer or exporter text; for version 9 a description text whose
    // first word would read as a chunk id. False too once the writer has failed.
    static bool Write(BinaryWriter& writer, const Contents& contents, uint32_t version = MeshFileReader::kVersion);

private:
    static bool Check(const Contents& contents, uint32_t version);
    static void WriteLegacyBlock(BinaryWriter& writer, const Contents& contents);
    static void WriteVertexFormat(BinaryWriter& writer, const Contents& contents);
    static void WriteFaceSets(BinaryWriter& writer, const Contents& contents, bool withBoxes);
    static void WriteBones(BinaryWriter& writer, const Contents& contents);
    static void WriteMaterials(BinaryWriter& writer, const Contents& contents);
    static void WriteHitBoxes(BinaryWriter& writer, const Contents& contents);
    static void WriteBounds(BinaryWriter& writer, const ABBox& bounds);
    static void WriteFixedName(BinaryWriter& writer, const std::string& name);
};

}  // namespace GAME
