#pragma once
// Mesh-instance test data: a flat-coloured shader for the GL device and meshes of boxes, written
// with the engine's writers.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ABBox.h"
#include "core/Coords.h"
#include "files/BinaryWriter.h"
#include "render/ShaderFileWriter.h"
#include "scene/MeshFileWriter.h"

namespace GAME::test {

// Positions through "objectToScreenMatrix" (vc[0..3]), optionally skinned rigidly by the first bone
// slot's "boneMatrix" (vc[8 + 3 slot]); the colour is twice "diffuseColor" (vc[4]). "shadowBias",
// "blendedGlobalFadeFactor" and "transparencyValue" go to vc[5], vc[6] and vc[7], unread.
inline const char* const kFlatVertexProgram = R"(
void main() {
    vec4 p = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    v_color = vec4(vc[4].rgb * 2.0, 1.0);
}
)";
inline const char* const kSkinnedVertexProgram = R"(
void main() {
    vec4 p = vec4(a_position.xyz, 1.0);
    int r = 8 + 3 * int(a_blendindices.x);
    vec4 s = vec4(dot(vc[r], p), dot(vc[r + 1], p), dot(vc[r + 2], p), 1.0);
    gl_Position = vec4(dot(vc[0], s), dot(vc[1], s), dot(vc[2], s), dot(vc[3], s));
    v_color = vec4(vc[4].rgb * 2.0, 1.0);
}
)";
inline const char* const kColorPixelProgram = R"(
void main() {
    o_color = v_color;
}
)";

inline std::vector<uint8_t> FlatShaderFile(bool skinned) {
    ShaderFileSection section;
    section.generation = "GeForce6";
    std::vector<ShaderBinding> bindings = {{0, 4, false, 0}, {4, 1, false, 1}, {5, 1, false, 3}, {6, 1, false, 4}, {7, 1, false, 5}};
    if (skinned) bindings.push_back({8, 12, false, 2});
    section.values = {ShaderFileValue::VertexProgram(skinned ? kSkinnedVertexProgram : kFlatVertexProgram, bindings),
                      ShaderFileValue::PixelProgram(kColorPixelProgram, {})};
    section.parameters = {{"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
                          {"diffuseColor", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault},
                          {"boneMatrix", ShaderValueType::Float4x3, 4, ShaderFileParameter::kNoDefault},
                          {"shadowBias", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault},
                          {"blendedGlobalFadeFactor", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault},
                          {"transparencyValue", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault}};
    section.styles = {{"normal",
                       0,
                       {ShaderStateRecord{ShaderStateCode::VertexProgram, 0, true, 0},
                        ShaderStateRecord{ShaderStateCode::PixelProgram, 0, true, 1}}}};
    BinaryWriter writer;
    ShaderFileWriter::Write(writer, {section});
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

// Boxes of half size 0.5 around the centres, each rigidly skinned to the palette slot of its
// index when skinned (one bone per box, the bone at the box's centre). The boxes share one face
// set, or with section names box i is face set i in section i. The material draws with the flat
// shader ("Shaders/Flat.ssh", "Shaders/Skinned.ssh") unless another is named. Faces wind
// counter-clockwise seen from outside.
inline MeshFileWriter::Contents Boxes(const std::vector<Vec3>& centres, bool skinned,
                                      const std::vector<std::string>& sections = {}, std::string shader = {}) {
    MeshFileWriter::Contents contents;
    contents.attributes = skinned ? std::vector<uint32_t>{0, 5, 6} : std::vector<uint32_t>{0};
    contents.stride = skinned ? 12 + 16 + 4 : 12;
    static const uint16_t kFaces[36] = {0, 3, 1, 0, 2, 3, 4, 7, 6, 4, 5, 7, 0, 5, 4, 0, 1, 5,
                                        2, 7, 3, 2, 6, 7, 0, 6, 2, 0, 4, 6, 1, 7, 5, 1, 3, 7};
    GraphicsMesh::FaceSet set;
    for (size_t b = 0; b < centres.size(); ++b) {
        const auto append = [&](const void* data, size_t size) {
            const uint8_t* bytes = static_cast<const uint8_t*>(data);
            contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + size);
        };
        for (int v = 0; v < 8; ++v) {
            const Vec3 corner = centres[b] + Vec3(v & 1 ? 0.5f : -0.5f, v & 2 ? 0.5f : -0.5f, v & 4 ? 0.5f : -0.5f);
            append(&corner, 12);
            if (!skinned) continue;
            const float weights[4] = {1, 0, 0, 0};
            const uint8_t slots[4] = {uint8_t(b), 0, 0, 0};
            append(weights, 16);
            append(slots, 4);
        }
        for (uint16_t index : kFaces) contents.indices.push_back(uint16_t(index + b * 8));
        if (!sections.empty()) {
            GraphicsMesh::FaceSet own;
            own.firstFace = uint32_t(b * 12);
            own.faceCount = 12;
            own.section = uint32_t(b);
            own.box = ABBox(centres[b], Vec3(0.5f, 0.5f, 0.5f));
            contents.faceSets.push_back(own);
        }
        if (!skinned) continue;
        GraphicsMesh::Bone bone;
        bone.nameText = "Bone" + std::to_string(b);
        bone.relativeCoords = Coords::Translation(centres[b]);
        contents.bones.push_back(bone);
        set.bones.push_back(uint32_t(b));
    }
    if (sections.empty()) {
        set.faceCount = uint32_t(contents.indices.size() / 3);
        contents.faceSets.push_back(set);
    }
    contents.sections.assign(sections.begin(), sections.end());
    if (shader.empty()) shader = skinned ? "Shaders/Skinned.ssh" : "Shaders/Flat.ssh";
    contents.materials.emplace_back().shaderName = shader;
    Vec3 min = centres.empty() ? Vec3() : centres[0], max = min;
    for (const Vec3& c : centres) {
        min = Vec3(std::min(min.x, c.x), std::min(min.y, c.y), std::min(min.z, c.z));
        max = Vec3(std::max(max.x, c.x), std::max(max.y, c.y), std::max(max.z, c.z));
    }
    contents.bounds = ABBox((min + max) * 0.5f, (max - min) * 0.5f + Vec3(0.5f, 0.5f, 0.5f));
    return contents;
}

}  // namespace GAME::test
