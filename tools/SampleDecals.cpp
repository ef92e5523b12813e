#include "SampleDecals.h"

#include "SampleData.h"
#include "SampleEffects.h"

#include "effects/Billboard.h"
#include "files/BinaryWriter.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "render/TextureFileWriter.h"

#include <cmath>
#include <string>

namespace GAME::sample {

namespace {

// After the opaque scene, before the particles.
constexpr int kDecalSortOrder = 2000;
// A decal's faces follow the ground under it only at the points of its grid: between them the
// ground's own faces rise and fall past them by a little, and both stand at nearly the same depth.
// The decal is drawn that much nearer (a constant part, in the depth range, and a part that grows
// with the face's slope in depth), so the ground never shows through it in stripes.
constexpr float kDecalDepthBias = -0.00005f;
constexpr float kDecalSlopeDepthBias = -1.0f;

ShaderFileSection MakeDecalSection() {
    enum Value : uint32_t { kVertex, kPixel, kSourceAlpha, kInverseSourceAlpha, kOff, kNoCulling, kBias, kSlopeBias };
    enum Parameter : uint32_t { kObjectToScreen, kBaseTexture };
    ShaderFileSection section;
    section.values = {
        ShaderFileValue::VertexProgram(kSceneSpaceVertexProgram, {{0, 4, false, kObjectToScreen}}),
        ShaderFileValue::PixelProgram(kTextureTimesColorPixelProgram, {}),
        ShaderFileValue::Int(int32_t(RenderBlendFactor::SourceAlpha)),
        ShaderFileValue::Int(int32_t(RenderBlendFactor::InverseSourceAlpha)),
        ShaderFileValue::Int(int32_t(RenderWriteMode::Off)),
        ShaderFileValue::Int(0),
        ShaderFileValue::Float(kDecalDepthBias),
        ShaderFileValue::Float(kDecalSlopeDepthBias),
    };
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
    };
    section.styles = {{"emissiveStyle",
                       kDecalSortOrder,
                       {{ShaderStateCode::VertexProgram, 0, true, kVertex},
                        {ShaderStateCode::PixelProgram, 0, true, kPixel},
                        {ShaderStateCode::SourceBlend, 0, true, kSourceAlpha},
                        {ShaderStateCode::DestinationBlend, 0, true, kInverseSourceAlpha},
                        {ShaderStateCode::DepthWrite, 0, true, kOff},
                        {ShaderStateCode::CullMode, 0, true, kNoCulling},
                        {ShaderStateCode::DepthBias, 0, true, kBias},
                        {ShaderStateCode::SlopeScaledDepthBias, 0, true, kSlopeBias},
                        {ShaderStateCode::Texture, 0, false, kBaseTexture}}}};
    return section;
}

// One frame of texels 0xAARRGGBB in a texture file.
bool WriteTex(FileSystem& files, const char* name, uint32_t size, const std::vector<uint32_t>& texels) {
    BinaryWriter dds;
    TextureFileWriter::WriteDDS(dds, size, size, texels.data(), 0);
    BinaryWriter tex;
    TextureFileWriter::WriteTEX(tex, 0, {mem::vector<uint8_t>(dds.GetBuffer(), dds.GetBuffer() + dds.GetPosition())});
    return WriteBinary(files, name, tex);
}

std::vector<uint32_t> MakeScorch(uint32_t size) {
    std::vector<uint32_t> texels(size_t(size) * size);
    const float half = float(size) * 0.5f;
    for (uint32_t y = 0; y < size; ++y) {
        for (uint32_t x = 0; x < size; ++x) {
            const float r = std::hypot(float(x) + 0.5f - half, float(y) + 0.5f - half) / half;
            const auto alpha = uint32_t(std::lround(255.0f * std::fmax(0.0f, 1.0f - r * r)));
            texels[y * size + x] = alpha << 24 | 0x00201810u;
        }
    }
    return texels;
}

std::vector<uint32_t> MakeMissingRecordChecker(uint32_t size) {
    std::vector<uint32_t> texels(size_t(size) * size);
    for (uint32_t y = 0; y < size; ++y) {
        for (uint32_t x = 0; x < size; ++x) texels[y * size + x] = ((x / 4 + y / 4) % 2) != 0 ? 0xFFFF00FFu : 0xFF000000u;
    }
    return texels;
}

}  // namespace

std::vector<uint8_t> MakeDecalShaderFile() { return MakeShaderFile(MakeDecalSection()); }

bool WriteDecals(FileSystem& files) {
    const std::vector<uint8_t> shader = MakeDecalShaderFile();
    const std::string scorchTexture = kScorchTexture;
    return WriteBytes(files, kDecalShader, shader.data(), uint32_t(shader.size())) &&
           WriteTex(files, kScorchTexture, 32, MakeScorch(32)) &&
           WriteTex(files, Billboard::kMissingRecordTexture, 16, MakeMissingRecordChecker(16)) &&
           WriteText(files, kScorchDecalType,
                     "Class,DecalType,\nwidth,2,\nheight,2,\ntexture," + scorchTexture + ",\nshader," + kDecalShader +
                         ",\n") &&
           WriteText(files, kScorchDecal,
                     "Class,Decal,\ntexture," + scorchTexture + ",\nsize,1.5,\nbeginFadeSeconds,20,\nendFadeSeconds,30,\n"
                     "shader," + kDecalShader + ",\n") &&
           WriteText(files, kScorchMarkRecord,
                     "Class,Decal,\ntexture," + scorchTexture + ",\nsize,2,\nbeginFadeSeconds,0,\nendFadeSeconds,0,\n"
                     "opacity,0.8,\nshader," + kDecalShader + ",\n") &&
           WriteText(files, kMarkerBillboard,
                     std::string("Class,Billboard,\ntextureFileName,") + kParticleTexture + ",\nshaderFileName," +
                         ParticleShaderName(ParticleBlend::Combine) + ",\nsize.x,0.5,\nsize.y,0.5,\n") &&
           WriteText(files, kPulseRecord,
                     "pulseTime,400,\nnumberOfCycles,3,\npulseColorARed,0.5,\npulseColorAAlpha,1,\npulseColorBRed,1,\n"
                     "pulseColorBGreen,0.6,\npulseColorBAlpha,1,\ndefaultPulseColorRed,1,\ndefaultPulseColorGreen,1,\n"
                     "defaultPulseColorBlue,1,\ndefaultPulseColorAlpha,1,\n");
}

}  // namespace GAME::sample
