#include "scene/SceneModelMaterial.h"

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "scene/GraphicsMesh.h"
#include "scene/MeshFileReader.h"

namespace GAME {

namespace {

// The exporter's extra types, read back as the mesh file's.
constexpr uint32_t kParamVec3Too = 12;
constexpr uint32_t kParamVec4Too = 13;

// Floats of the types that carry floats, the exporter's extra types included (integers and
// flags are read and written on their own).
uint32_t GetFloatCount(uint32_t type) {
    if (type == kParamVec3Too) return 3;
    if (type == kParamVec4Too) return 4;
    return MeshFileReader::GetPayloadWords(type);
}

}  // namespace

bool SceneModelMaterial::Read(BinaryReader& reader) {
    if (!reader.ReadString(shaderName_)) return false;
    const uint32_t count = reader.ReadUInt32();
    // Each parameter takes at least a name length and a type.
    if (reader.Failed() || uint64_t(count) * 8 > reader.GetRemaining()) return false;
    parameters_.resize(count);
    for (ShaderParam& parameter : parameters_) {
        if (!ReadParameter(reader, parameter)) return false;
    }
    return true;
}

bool SceneModelMaterial::Write(BinaryWriter& writer) const {
    writer.Write(shaderName_);
    writer.Write(static_cast<unsigned int>(parameters_.size()));
    for (const ShaderParam& parameter : parameters_) WriteParameter(writer, parameter);
    return !writer.Failed();
}

bool SceneModelMaterial::ReadParameter(BinaryReader& reader, ShaderParam& parameter) {
    if (!reader.ReadString(parameter.name)) return false;
    parameter.type = reader.ReadUInt32();
    switch (parameter.type) {
        case GraphicsMesh::kParamInt: parameter.integer = reader.ReadInt32(); break;
        case GraphicsMesh::kParamBool: parameter.boolean = reader.ReadBool(); break;
        case GraphicsMesh::kParamString:
        case GraphicsMesh::kParamTexture:
            if (!reader.ReadString(parameter.text)) return false;
            break;
        default:
            for (uint32_t i = 0; i < GetFloatCount(parameter.type); ++i) parameter.floats[i] = reader.ReadFloat();
            break;
    }
    if (parameter.type == kParamVec3Too) parameter.type = GraphicsMesh::kParamVec3;
    if (parameter.type == kParamVec4Too) parameter.type = GraphicsMesh::kParamVec4;
    return !reader.Failed();
}

bool SceneModelMaterial::WriteParameter(BinaryWriter& writer, const ShaderParam& parameter) {
    writer.Write(parameter.name);
    writer.Write(static_cast<unsigned int>(parameter.type));
    switch (parameter.type) {
        case GraphicsMesh::kParamInt: writer.Write(parameter.integer); break;
        case GraphicsMesh::kParamBool: writer.Write(parameter.boolean); break;
        case GraphicsMesh::kParamString:
        case GraphicsMesh::kParamTexture: writer.Write(parameter.text); break;
        default:
            for (uint32_t i = 0; i < GetFloatCount(parameter.type); ++i) writer.Write(parameter.floats[i]);
            break;
    }
    return !writer.Failed();
}

}  // namespace GAME
