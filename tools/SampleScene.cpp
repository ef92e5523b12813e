#include "SampleScene.h"

#include <cmath>
#include <string>

#include "SampleData.h"
#include "SampleMeshShaders.h"

#include "files/BinaryWriter.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "render/TextureFileWriter.h"
#include "scene/GraphicsNormalRenderer.h"
#include "scene/GraphicsMesh.h"
#include "scene/MeshFileReader.h"
#include "scene/MeshFileWriter.h"

namespace GAME::sample {

namespace {

const char* const kColorPixelProgram = R"(
void main() {
    o_color = v_color;
}
)";

const char* const kPortalMaskVertexProgram = R"(
void main() {
    vec4 p = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    v_color = vec4(0.0, 0.0, 0.0, 1.0);
    v_uv0 = vec2(0.0);
}
)";

ShaderFileValue Int(uint32_t value) { return ShaderFileValue::Int(static_cast<int32_t>(value)); }

ShaderFileSection MakePortalMaskSection() {
    enum Value : uint32_t { kVertex, kPixel, kOff, kOn, kCullNone };
    ShaderFileSection section;
    section.values = {ShaderFileValue::VertexProgram(kPortalMaskVertexProgram, {{0, 4, false, 0}}),
                      ShaderFileValue::PixelProgram(kColorPixelProgram, {}), Int(uint32_t(RenderWriteMode::Off)),
                      Int(uint32_t(RenderWriteMode::On)), Int(0)};
    section.parameters = {{"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault}};
    section.styles = {{"normal",
                       0,
                       {{ShaderStateCode::VertexProgram, 0, true, kVertex},
                        {ShaderStateCode::PixelProgram, 0, true, kPixel},
                        {ShaderStateCode::ColorWrite, 0, true, kOff},
                        {ShaderStateCode::AlphaWrite, 0, true, kOn},
                        {ShaderStateCode::DepthWrite, 0, true, kOff}}},
                      // Into a directional light's shadow map: depth from either side.
                      {"shadow",
                       0,
                       {{ShaderStateCode::VertexProgram, 0, true, kVertex},
                        {ShaderStateCode::PixelProgram, 0, true, kPixel},
                        {ShaderStateCode::CullMode, 0, true, kCullNone}}}};
    return section;
}

}  // namespace

std::vector<uint8_t> MakePortalMaskShaderFile() { return MakeShaderFile(MakePortalMaskSection()); }

std::vector<uint8_t> MakeLitBoxMeshFile() {
    MeshFileWriter::Contents contents;
    contents.attributes = {0, 1};
    for (const uint32_t attribute : contents.attributes) contents.stride += MeshFileReader::GetAttributeSize(attribute);
    const auto append = [&](const Vec3& v) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&v);
        contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + sizeof(Vec3));
    };
    // Four vertices a side, each side with its normal, wound counter-clockwise seen from outside.
    const Vec3 axes[3] = {Vec3(1.0f, 0.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f), Vec3(0.0f, 0.0f, 1.0f)};
    for (int axis = 0; axis < 3; ++axis) {
        for (const float sign : {1.0f, -1.0f}) {
            const Vec3 n = axes[axis] * sign;
            const Vec3 u = axes[(axis + (sign > 0 ? 1 : 2)) % 3] * 0.5f;
            const Vec3 v = axes[(axis + (sign > 0 ? 2 : 1)) % 3] * 0.5f;
            const uint16_t first = uint16_t(contents.vertexData.size() / contents.stride);
            for (int corner = 0; corner < 4; ++corner) {
                append(n * 0.5f + u * ((corner & 1) ? 1.0f : -1.0f) + v * ((corner & 2) ? 1.0f : -1.0f));
                append(n);
            }
            for (const int c : {0, 1, 2, 2, 1, 3}) contents.indices.push_back(uint16_t(first + c));
        }
    }
    contents.bounds = ABBox(Vec3(), Vec3(0.5f, 0.5f, 0.5f));
    GraphicsMesh::FaceSet set;
    set.faceCount = uint32_t(contents.indices.size() / 3);
    set.box = contents.bounds;
    contents.faceSets = {set};
    contents.materials.emplace_back().shaderName = kStandardShader;
    BinaryWriter writer;
    if (!MeshFileWriter::Write(writer, contents)) return {};
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

std::vector<uint8_t> MakeInvTransparencyMaskFile() {
    constexpr uint32_t kSize = 64;
    std::vector<uint32_t> texels(kSize * kSize);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            const float dx = (float(x) + 0.5f) / float(kSize) * 2.0f - 1.0f;
            const float dy = (float(y) + 0.5f) / float(kSize) * 2.0f - 1.0f;
            const float alpha = std::fmax(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
            texels[y * kSize + x] = uint32_t(alpha * 255.0f + 0.5f) << 24 | 0x00FFFFFFu;
        }
    }
    BinaryWriter dds;
    TextureFileWriter::WriteDDS(dds, kSize, kSize, texels.data(), 0);
    BinaryWriter tex;
    TextureFileWriter::WriteTEX(tex, 0, {mem::vector<uint8_t>(dds.GetBuffer(), dds.GetBuffer() + dds.GetPosition())});
    return std::vector<uint8_t>(tex.GetBuffer(), tex.GetBuffer() + tex.GetPosition());
}

bool WriteScene(FileSystem& files) {
    const auto write = [&](const char* name, const std::vector<uint8_t>& bytes) {
        return WriteBytes(files, name, bytes.data(), static_cast<uint32_t>(bytes.size()));
    };
    return write(kPortalMaskShader, MakePortalMaskShaderFile()) &&
           write(GraphicsNormalRenderer::kInvTransparencyMaskTexture, MakeInvTransparencyMaskFile()) &&
           write(kLitBoxMesh, MakeLitBoxMeshFile());
}

}  // namespace GAME::sample
