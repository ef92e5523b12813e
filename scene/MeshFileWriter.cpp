#include "scene/MeshFileWriter.h"

#include <cstring>

#include "core/Log.h"
#include "files/BinaryWriter.h"

namespace GAME {

namespace {

bool CheckName(const std::string& name) {
    if (name.size() <= MeshFileReader::kFixedNameSize) return true;
    Log(LogPriority::Error, "MeshFileWriter - name '%s' is longer than %u bytes", name.c_str(),
        MeshFileReader::kFixedNameSize);
    return false;
}

bool Refuse(const char* why, uint32_t version) {
    Log(LogPriority::Error, "MeshFileWriter - %s in a version-%u file", why, version);
    return false;
}

}  // namespace

bool MeshFileWriter::Check(const Contents& contents, uint32_t version) {
    if (version < MeshFileReader::kOldestVersion || version > MeshFileReader::kVersion) {
        return Refuse("an unknown version", version);
    }
    uint32_t width = 0;
    for (const uint32_t attribute : contents.attributes) {
        const uint32_t size = MeshFileReader::GetAttributeSize(attribute);
        if (size == 0) return Refuse("an unknown vertex attribute", version);
        width += size;
    }
    if (width > contents.stride) return Refuse("vertex attributes wider than the stride", version);
    if (contents.stride == 0 ? !contents.vertexData.empty() : contents.vertexData.size() % contents.stride != 0) {
        return Refuse("vertex bytes that are not a whole number of vertices", version);
    }
    if (contents.indices.size() % 3 != 0 || contents.blendedIndices.size() % 3 != 0) {
        return Refuse("an index count that is not a multiple of 3", version);
    }
    bool names = true;
    for (const GraphicsMesh::Bone& bone : contents.bones) names &= CheckName(bone.nameText);
    for (const GraphicsMesh::HitBox& box : contents.hitBoxes) names &= CheckName(box.nameText);
    if (!names) return false;
    if (version >= 10) return true;

    if (!contents.contours.empty() || !contents.portals.empty() || !contents.blendedIndices.empty() ||
        !contents.sections.empty()) {
        return Refuse("contours, portals, blended faces or section names", version);
    }
    const size_t vertexCount = contents.stride ? contents.vertexData.size() / contents.stride : 0;
    const auto within = [](size_t value, size_t low, size_t high) { return value >= low && value <= high; };
    if (!within(vertexCount, 1, MeshFileReader::kMaxLegacyVertices) ||
        !within(contents.indices.size() / 3, 1, MeshFileReader::kMaxLegacyFaces) ||
        !within(contents.faceSets.size(), 1, MeshFileReader::kMaxLegacyFaceSets) ||
        contents.bones.size() > MeshFileReader::kMaxLegacyBones ||
        contents.hitBoxes.size() > MeshFileReader::kMaxLegacyHitBoxes ||
        contents.materials.size() > MeshFileReader::kMaxLegacyMaterials ||
        !within(contents.attributes.size(), 1, MeshFileReader::kMaxLegacyAttributes)) {
        return Refuse("counts outside the legacy limits", version);
    }
    if (version == 8 && (!contents.collisionBuffer.empty() || !contents.exporterText.empty())) {
        return Refuse("a collision buffer or exporter text", version);
    }
    if (version == 9 && contents.descriptionText.size() >= 8) {
        uint32_t word;
        std::memcpy(&word, contents.descriptionText.data(), sizeof(word));
        if (word <= MeshFileReader::kChunkCollision) return Refuse("a description text that reads as a chunk", version);
    }
    return true;
}

bool MeshFileWriter::Write(BinaryWriter& writer, const Contents& contents, uint32_t version) {
    if (!Check(contents, version)) return false;
    writer.Write("MSH", 3);
    writer.Write(static_cast<unsigned char>(version));

    if (version == 8) {
        WriteLegacyBlock(writer, contents);
    } else if (version == 9) {
        if (!contents.exporterText.empty()) {
            writer.BeginChunk(MeshFileReader::kChunkExporterText);
            writer.Write(contents.exporterText);
            writer.EndChunk();
        }
        writer.BeginChunk(MeshFileReader::kChunkLegacyGeometry);
        WriteLegacyBlock(writer, contents);
        writer.EndChunk();
    } else {
        if (!contents.exporterText.empty()) {
            writer.BeginChunk(MeshFileReader::kChunkExporterText);
            writer.Write(contents.exporterText);
            writer.EndChunk();
        }
        writer.BeginChunk(MeshFileReader::kChunkVertices);
        WriteVertexFormat(writer, contents);
        writer.Write(contents.vertexData.data(), static_cast<uint32_t>(contents.vertexData.size()));
        writer.EndChunk();

        writer.BeginChunk(MeshFileReader::kChunkFaces);
        writer.Write(static_cast<unsigned int>(contents.indices.size() / 3));
        writer.Write(static_cast<unsigned int>(contents.faceSets.size()));
        writer.Write(contents.indices.data(), static_cast<uint32_t>(contents.indices.size() * sizeof(uint16_t)));
        WriteFaceSets(writer, contents, version >= 11);
        writer.EndChunk();

        writer.BeginChunk(MeshFileReader::kChunkBones);
        writer.Write(static_cast<unsigned int>(contents.bones.size()));
        WriteBones(writer, contents);
        writer.EndChunk();

        writer.BeginChunk(MeshFileReader::kChunkMaterials);
        writer.Write(static_cast<unsigned int>(contents.materials.size()));
        WriteMaterials(writer, contents);
        writer.EndChunk();

        writer.BeginChunk(MeshFileReader::kChunkHitBoxes);
        writer.Write(static_cast<unsigned int>(contents.hitBoxes.size()));
        WriteHitBoxes(writer, contents);
        writer.EndChunk();

        writer.BeginChunk(MeshFileReader::kChunkContours);
        writer.Write(static_cast<unsigned int>(contents.contours.size()));
        for (const GraphicsMesh::Contour& contour : contents.contours) {
            writer.Write(static_cast<unsigned int>(contour.points.size()));
            for (const GraphicsMesh::ContourPoint& point : contour.points) {
                writer.Write(point.position);
                writer.Write(point.normal);
            }
        }
        writer.EndChunk();

        writer.BeginChunk(MeshFileReader::kChunkBounds);
        WriteBounds(writer, contents.bounds);
        writer.EndChunk();

        writer.BeginChunk(MeshFileReader::kChunkBlendedFaces);
        writer.Write(static_cast<unsigned int>(contents.blendedIndices.size() / 3));
        writer.Write(contents.blendedIndices.data(),
                     static_cast<uint32_t>(contents.blendedIndices.size() * sizeof(uint16_t)));
        writer.EndChunk();

        writer.BeginChunk(MeshFileReader::kChunkPortals);
        writer.Write(static_cast<unsigned int>(contents.portals.size()));
        for (const GraphicsMesh::Portal& portal : contents.portals) {
            writer.Write(static_cast<unsigned int>(portal.points.size()));
            for (const GraphicsMesh::PortalPoint& point : portal.points) {
                for (const Vec3& v : point.vectors) writer.Write(v);
            }
        }
        writer.EndChunk();

        writer.BeginChunk(MeshFileReader::kChunkSections);
        writer.Write(static_cast<unsigned int>(contents.sections.size()));
        for (const std::string& section : contents.sections) writer.Write(section);
        writer.EndChunk();
    }

    if (version >= 9 && !contents.collisionBuffer.empty()) {
        writer.BeginChunk(MeshFileReader::kChunkCollision);
        writer.Write(contents.collisionBuffer.data(), static_cast<uint32_t>(contents.collisionBuffer.size()));
        writer.EndChunk();
    }
    if (version >= 10 && !contents.descriptionText.empty()) {
        writer.BeginChunk(MeshFileReader::kChunkDescription);
        writer.Write(contents.descriptionText.data(), static_cast<uint32_t>(contents.descriptionText.size()));
        writer.EndChunk();
    } else if (version <= 9) {
        writer.Write(contents.descriptionText.data(), static_cast<uint32_t>(contents.descriptionText.size()));
    }
    return !writer.Failed();
}

void MeshFileWriter::WriteLegacyBlock(BinaryWriter& writer, const Contents& contents) {
    writer.Write(static_cast<unsigned int>(contents.vertexData.size() / contents.stride));
    writer.Write(static_cast<unsigned int>(contents.indices.size() / 3));
    writer.Write(static_cast<unsigned int>(contents.faceSets.size()));
    writer.Write(0u);  // reserved
    writer.Write(static_cast<unsigned int>(contents.bones.size()));
    writer.Write(static_cast<unsigned int>(contents.hitBoxes.size()));
    writer.Write(static_cast<unsigned int>(contents.materials.size()));
    writer.Write(static_cast<unsigned int>(contents.attributes.size()));
    writer.Write(static_cast<unsigned int>(contents.stride));
    for (const uint32_t attribute : contents.attributes) writer.Write(static_cast<unsigned int>(attribute));
    WriteBounds(writer, contents.bounds);
    writer.Write(contents.vertexData.data(), static_cast<uint32_t>(contents.vertexData.size()));
    writer.Write(contents.indices.data(), static_cast<uint32_t>(contents.indices.size() * sizeof(uint16_t)));
    WriteFaceSets(writer, contents, false);
    WriteBones(writer, contents);
    WriteHitBoxes(writer, contents);
    WriteMaterials(writer, contents);
}

void MeshFileWriter::WriteVertexFormat(BinaryWriter& writer, const Contents& contents) {
    writer.Write(static_cast<unsigned int>(contents.attributes.size()));
    writer.Write(static_cast<unsigned int>(contents.stride));
    writer.Write(static_cast<unsigned int>(contents.stride ? contents.vertexData.size() / contents.stride : 0));
    for (const uint32_t attribute : contents.attributes) writer.Write(static_cast<unsigned int>(attribute));
}

void MeshFileWriter::WriteFaceSets(BinaryWriter& writer, const Contents& contents, bool withBoxes) {
    for (const GraphicsMesh::FaceSet& set : contents.faceSets) {
        writer.Write(static_cast<unsigned int>(set.material));
        writer.Write(static_cast<unsigned int>(set.firstFace));
        writer.Write(static_cast<unsigned int>(set.faceCount));
        if (withBoxes) {
            writer.Write(static_cast<unsigned int>(set.section));
            writer.Write(set.box.centre);
            writer.Write(set.box.halfSize);
        }
        writer.Write(static_cast<unsigned int>(set.bones.size()));
        for (const uint32_t bone : set.bones) writer.Write(static_cast<unsigned int>(bone));
    }
}

void MeshFileWriter::WriteBones(BinaryWriter& writer, const Contents& contents) {
    for (const GraphicsMesh::Bone& bone : contents.bones) {
        WriteFixedName(writer, bone.nameText);
        writer.Write(static_cast<unsigned int>(bone.firstChild));
        writer.Write(bone.childCount);
        writer.Write(bone.relativeCoords);
    }
}

void MeshFileWriter::WriteMaterials(BinaryWriter& writer, const Contents& contents) {
    for (const GraphicsMesh::Material& material : contents.materials) {
        writer.Write(material.shaderName);
        writer.Write(static_cast<unsigned int>(material.parameters.size()));
        for (const GraphicsMesh::MaterialParameter& parameter : material.parameters) {
            writer.Write(parameter.nameText);
            writer.Write(static_cast<unsigned int>(parameter.type));
            if (parameter.type == GraphicsMesh::kParamString || parameter.type == GraphicsMesh::kParamTexture) {
                writer.Write(parameter.text);
            } else {
                writer.Write(parameter.payload, MeshFileReader::GetPayloadWords(parameter.type) * 4);
            }
        }
    }
}

void MeshFileWriter::WriteHitBoxes(BinaryWriter& writer, const Contents& contents) {
    for (const GraphicsMesh::HitBox& box : contents.hitBoxes) {
        WriteFixedName(writer, box.nameText);
        writer.Write(box.extents);
        writer.Write(box.coords);
        writer.Write(box.bone);
    }
}

void MeshFileWriter::WriteBounds(BinaryWriter& writer, const ABBox& bounds) {
    writer.Write(bounds.GetMin());
    writer.Write(bounds.GetMax());
}

void MeshFileWriter::WriteFixedName(BinaryWriter& writer, const std::string& name) {
    char bytes[MeshFileReader::kFixedNameSize] = {};
    name.copy(bytes, sizeof(bytes));
    writer.Write(bytes, sizeof(bytes));
}

}  // namespace GAME
