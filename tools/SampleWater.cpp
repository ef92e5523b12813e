#include "SampleWater.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "SampleData.h"
#include "files/BinaryWriter.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "render/TextureFileWriter.h"
#include "terrain/Water.h"
#include "terrain/WaterType.h"

namespace GAME::sample {

namespace {

// Registers: vc[0..3] "objectToScreenMatrix", vc[4] "surfaceParams", vc[5] "waterColor",
// vc[6] "depthParams" (min depth, max depth, their opacities).
// The vertex colour's low 16 bits hold the depth below the surface, whole units in green and the
// fraction in blue; its alpha the coverage.
const char* const kWaterVertexProgram = R"(
out vec4 v_screen;
out float v_reflectivity;
void main() {
    vec4 p = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    float depth = a_color.g * 255.0 + a_color.b;
    float ramp = clamp((depth - vc[6].x) / max(vc[6].y - vc[6].x, 1.0), 0.0, 1.0);
    float opacity = depth > 0.0 ? mix(vc[6].z, vc[6].w, ramp) : 0.0;
    v_color = vec4(vc[5].rgb, a_color.a * opacity);
    v_screen = gl_Position;
    v_reflectivity = clamp(vc[4].z, 0.0, 1.0) * 0.5;
}
)";

const char* const kWaterPixelProgram = R"(
in vec4 v_screen;
in float v_reflectivity;
void main() {
#if defined(REFLECT)
    vec2 uv = v_screen.xy / v_screen.w * 0.5 + 0.5;
    vec4 reflection = texture(s0, uv);
    o_color = vec4(mix(v_color.rgb, reflection.rgb, v_reflectivity * reflection.a), v_color.a);
#else
    o_color = v_color;
#endif
}
)";

// vc[0..3] "objectToScreenMatrix"; the fade is in the vertex alpha.
const char* const kWavesVertexProgram = R"(
void main() {
    vec4 p = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    v_color = vec4(1.0, 1.0, 1.0, a_color.a);
    v_uv0 = a_texcoord0.xy;
}
)";

// Modulating twice the destination: mid-grey leaves it, the fade pulls toward mid-grey.
const char* const kBumpPixelProgram = R"(
uniform sampler2D s0;
void main() {
    vec4 c = texture(s0, v_uv0);
    o_color = vec4(mix(vec3(0.5), c.rgb, c.a * v_color.a), 1.0);
}
)";

// A white ring at 0.8 of the quad's half size, its strength the vertex alpha.
const char* const kRipplePixelProgram = R"(
void main() {
    float ring = 1.0 - smoothstep(0.0, 0.2, abs(length(v_uv0 * 2.0 - 1.0) - 0.8));
    o_color = vec4(1.0, 1.0, 1.0, ring * v_color.a);
}
)";

// Drawn after the water's surface and waves.
constexpr int32_t kRippleSortOrder = WaterRenderInterface::kWavesSortOrder + 1;

ShaderFileValue Code(RenderBlendFactor factor) { return ShaderFileValue::Int(int32_t(factor)); }

ShaderStateRecord FromValue(ShaderStateCode code, uint32_t value) { return ShaderStateRecord{code, 0, true, value}; }

ShaderFileSection MakeWaterSection() {
    enum Value : uint32_t { kVertex, kPixel, kReflectPixel, kSourceAlpha, kInverseSourceAlpha, kOff, kNoCulling };
    enum Parameter : uint32_t {
        kObjectToScreen,
        kObjectToWorld,
        kSurfaceParams,
        kWaterColor,
        kTextureScale,
        kTextureDirection,
        kDepthParams,
        kTextureOffset,
        kReflectTexture,
        kSkyTexture,
    };
    ShaderFileSection section;
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"objectToWorldMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"surfaceParams", ShaderValueType::Float3, 1, ShaderFileParameter::kNoDefault},
        {"waterColor", ShaderValueType::Float3, 1, ShaderFileParameter::kNoDefault},
        {"textureScale", ShaderValueType::Float2, 1, ShaderFileParameter::kNoDefault},
        {"textureDirection", ShaderValueType::Float2, 1, ShaderFileParameter::kNoDefault},
        {"depthParams", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault},
        {"textureOffset", ShaderValueType::Float2, 1, ShaderFileParameter::kNoDefault},
        {"reflectTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
        {"skyTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
    };
    section.values = {
        ShaderFileValue::VertexProgram(kWaterVertexProgram, {{0, 4, false, kObjectToScreen},
                                                             {4, 1, false, kSurfaceParams},
                                                             {5, 1, false, kWaterColor},
                                                             {6, 1, false, kDepthParams}}),
        ShaderFileValue::PixelProgram(kWaterPixelProgram, {}),
        ShaderFileValue::PixelProgram(std::string("#define REFLECT\nuniform sampler2D s0;\n") + kWaterPixelProgram, {}),
        Code(RenderBlendFactor::SourceAlpha),
        Code(RenderBlendFactor::InverseSourceAlpha),
        ShaderFileValue::Int(int32_t(RenderWriteMode::Off)),
        ShaderFileValue::Int(0),
    };
    const auto style = [&](const char* name, bool reflect) {
        ShaderFileStyle result{name,
                               0,
                               {FromValue(ShaderStateCode::VertexProgram, kVertex),
                                FromValue(ShaderStateCode::PixelProgram, reflect ? kReflectPixel : kPixel),
                                FromValue(ShaderStateCode::SourceBlend, kSourceAlpha),
                                FromValue(ShaderStateCode::DestinationBlend, kInverseSourceAlpha),
                                FromValue(ShaderStateCode::DepthWrite, kOff),
                                FromValue(ShaderStateCode::CullMode, kNoCulling)}};
        if (reflect) result.records.push_back(ShaderStateRecord{ShaderStateCode::Texture, 0, false, kReflectTexture});
        return result;
    };
    section.styles = {style("waterBlockStyle", false), style("waterBlockReflectStyle", true),
                      style("waterPathStyle", false), style("waterPathReflectStyle", true)};
    return section;
}

ShaderFileSection MakeWavesSection() {
    enum Value : uint32_t { kVertex, kBlendPixel, kBumpPixel, kSourceAlpha, kInverseSourceAlpha, kDestinationColor,
                            kSourceColor, kOff, kNoCulling };
    enum Parameter : uint32_t { kObjectToScreen, kObjectToWorld, kBaseTexture };
    ShaderFileSection section;
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"objectToWorldMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
    };
    section.values = {
        ShaderFileValue::VertexProgram(kWavesVertexProgram, {{0, 4, false, kObjectToScreen}}),
        ShaderFileValue::PixelProgram(kTextureTimesColorPixelProgram, {}),
        ShaderFileValue::PixelProgram(kBumpPixelProgram, {}),
        Code(RenderBlendFactor::SourceAlpha),
        Code(RenderBlendFactor::InverseSourceAlpha),
        Code(RenderBlendFactor::DestinationColor),
        Code(RenderBlendFactor::SourceColor),
        ShaderFileValue::Int(int32_t(RenderWriteMode::Off)),
        ShaderFileValue::Int(0),
    };
    const auto style = [&](const char* name, uint32_t pixel, uint32_t source, uint32_t destination) {
        return ShaderFileStyle{name,
                               0,
                               {FromValue(ShaderStateCode::VertexProgram, kVertex),
                                FromValue(ShaderStateCode::PixelProgram, pixel),
                                FromValue(ShaderStateCode::SourceBlend, source),
                                FromValue(ShaderStateCode::DestinationBlend, destination),
                                FromValue(ShaderStateCode::DepthWrite, kOff),
                                FromValue(ShaderStateCode::CullMode, kNoCulling),
                                ShaderStateRecord{ShaderStateCode::Texture, 0, false, kBaseTexture}}};
    };
    section.styles = {style("blendStyle", kBlendPixel, kSourceAlpha, kInverseSourceAlpha),
                      style("bumpStyle", kBumpPixel, kDestinationColor, kSourceColor)};
    return section;
}

ShaderFileSection MakeRippleSection() {
    enum Value : uint32_t { kVertex, kPixel, kSourceAlpha, kInverseSourceAlpha, kOff, kNoCulling };
    enum Parameter : uint32_t { kObjectToScreen, kObjectToWorld };
    ShaderFileSection section;
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"objectToWorldMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
    };
    section.values = {
        ShaderFileValue::VertexProgram(kWavesVertexProgram, {{0, 4, false, kObjectToScreen}}),
        ShaderFileValue::PixelProgram(kRipplePixelProgram, {}),
        Code(RenderBlendFactor::SourceAlpha),
        Code(RenderBlendFactor::InverseSourceAlpha),
        ShaderFileValue::Int(int32_t(RenderWriteMode::Off)),
        ShaderFileValue::Int(0),
    };
    section.styles = {ShaderFileStyle{"emissiveStyle",
                                      kRippleSortOrder,
                                      {FromValue(ShaderStateCode::VertexProgram, kVertex),
                                       FromValue(ShaderStateCode::PixelProgram, kPixel),
                                       FromValue(ShaderStateCode::SourceBlend, kSourceAlpha),
                                       FromValue(ShaderStateCode::DestinationBlend, kInverseSourceAlpha),
                                       FromValue(ShaderStateCode::DepthWrite, kOff),
                                       FromValue(ShaderStateCode::CullMode, kNoCulling)}}};
    return section;
}

// 32 x 32 texels (the waves textures, the sky map); shade(u, v) gives the grey level and the alpha, each in [0, 1].
template <typename Shade>
bool WriteWavesTexture(FileSystem& files, const char* name, Shade shade) {
    constexpr uint32_t kSize = 32;
    std::vector<uint32_t> texels(kSize * kSize);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            const auto [grey, alpha] = shade((float(x) + 0.5f) / kSize, (float(y) + 0.5f) / kSize);
            const uint32_t g = uint32_t(std::lround(std::clamp(grey, 0.0f, 1.0f) * 255.0f));
            const uint32_t a = uint32_t(std::lround(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
            texels[y * kSize + x] = a << 24 | g << 16 | g << 8 | g;
        }
    }
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, kSize, kSize, texels.data(), 0);
    return WriteBinary(files, name, writer);
}

struct Texel {
    float grey;
    float alpha;
};

}  // namespace

std::vector<uint8_t> MakeWaterShaderFile(bool waves) {
    return MakeShaderFile(waves ? MakeWavesSection() : MakeWaterSection());
}

bool WriteWater(FileSystem& files) {
    constexpr float kTwoPi = 6.2831853f;
    // Foam is a light grey, not white: only the bloom brings a channel to its brightest.
    constexpr float kFoam = 0.85f;
    const std::vector<uint8_t> water = MakeWaterShaderFile(false);
    const std::vector<uint8_t> waves = MakeWaterShaderFile(true);
    const std::vector<uint8_t> ripple = MakeShaderFile(MakeRippleSection());
    return WriteBytes(files, Water::kWaterShader, water.data(), uint32_t(water.size())) &&
           WriteBytes(files, Water::kWavesShader, waves.data(), uint32_t(waves.size())) &&
           WriteBytes(files, WaterRippleSet::kShaderFileName, ripple.data(), uint32_t(ripple.size())) &&
           WriteWavesTexture(files, Water::kWavesTextures[0],
                             [](float u, float) {
                                 const float across = std::fabs(u * 2.0f - 1.0f);
                                 return Texel{kFoam, 1.0f - across * across};
                             }) &&
           WriteWavesTexture(files, Water::kWavesTextures[1],
                             [&](float u, float v) {
                                 return Texel{0.5f + 0.15f * std::sin(kTwoPi * (u + 2.0f * v)), 1.0f};
                             }) &&
           WriteWavesTexture(files, Water::kWavesTextures[2],
                             [](float, float v) { return Texel{kFoam, std::sin(v * kTwoPi * 0.5f)}; }) &&
           WriteWavesTexture(files, WaterType::Settings().SkyMapFilename.c_str(),
                             [](float, float v) { return Texel{0.6f + 0.4f * v, 1.0f}; }) &&
           WriteText(files, WaterType::Settings().NoiseTextureName,
                     "Class,NoiseTexture,\nsize,64,\nlevels,0.5;0.3;0.2,\nrates,0.2;0.4;0.8,\n") &&
           WriteText(files, Water::kInteractionRecord,
                     "Class,WaterInteraction,\nWakeSplashEffect,,\nObjectSplashEffect,,\nBodySplashEffect,,\n");
}

}  // namespace GAME::sample
