#include "SampleTerrain.h"

#include "SampleData.h"

#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "terrain/TerrainRenderInterfaceBase.h"

#include <string>

namespace GAME::sample {

namespace {

// Registers of the vertex programs (both shaders): 0-3 "objectToScreenMatrix", then the frame's
// lighting and fog, then each shader's own.
enum Register : uint32_t {
    kScreenRegister = 0,
    kSkyRegister = 4,
    kGroundRegister,
    kLightColorRegister,
    kLightDirectionRegister,
    kLightPositionRegister,
    kLightDistanceRegister,
    kFogColorRegister,
    kDepthFogRegister,
    kHeightFogRegister,
    kCameraRegister,
    kSceneOffsetRegister,    // "regionToSceneOffset" / "terrainOffset"
    kTextureOffsetRegister,  // ground only
    kTextureScaleRegister,
    kObjectToRegionRegister,  // ground only: 4 registers
};

// Shading shared by both shaders: the lit colour of a scene-space point with a normal, and its fog.
const char* const kLighting = R"(
vec3 Ambient(vec3 n) { return mix(vc[5].rgb, vc[4].rgb, n.y * 0.5 + 0.5); }
vec3 Light(vec3 p, vec3 n) {
    vec3 toLight;
    float reach = 1.0;
    if (dot(vc[7].xyz, vc[7].xyz) > 0.0) {
        toLight = -normalize(vc[7].xyz);
    } else {
        vec3 d = vc[8].xyz - p;
        reach = clamp(1.0 - length(d) / max(vc[9].x, 0.0001), 0.0, 1.0);
        toLight = normalize(d);
    }
    return vc[6].rgb * max(dot(n, toLight), 0.0) * reach;
}
float Fog(vec3 p) {
    float depth = clamp((distance(p, vc[13].xyz) - vc[11].x) * vc[11].y, 0.0, 1.0) * vc[11].z;
    float height = clamp((vc[12].x - p.y) * vc[12].y, 0.0, 1.0) * vc[12].z;
    return max(depth, height);
}
vec4 Shade(vec3 p, vec3 n) {
#if defined(FOG)
    return vec4(vc[10].rgb, Fog(p));
#elif defined(AMBIENT) && defined(LIGHT)
    return vec4(Ambient(n) + Light(p, n), 1.0);
#elif defined(LIGHT)
    return vec4(Light(p, n), 1.0);
#else
    return vec4(Ambient(n), 1.0);
#endif
}
)";

const char* const kGroundVertexProgram = R"(
out vec2 v_opacityUv;
void main() {
    vec4 position = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], position), dot(vc[1], position), dot(vc[2], position), dot(vc[3], position));
    // Tiles are drawn from their meshes at their placement: the layers are laid out on the region.
    vec3 p = vec3(dot(vc[17], position), dot(vc[18], position), dot(vc[19], position));
    vec3 n = vec3(dot(vc[17].xyz, a_normal.xyz), dot(vc[18].xyz, a_normal.xyz), dot(vc[19].xyz, a_normal.xyz));
    v_color = Shade(p + vc[14].xyz, normalize(n));
    v_uv0 = p.xz * 0.1 + vc[15].xy;
    v_opacityUv = p.xz * vc[16].xy;
}
)";

// Premultiplied, for compositing under the layers above; the reflection's form blends over.
const char* const kGroundPixelProgram = R"(
uniform sampler2D s0;
uniform sampler2D s1;
in vec2 v_opacityUv;
void main() {
    float opacity = texture(s1, v_opacityUv).a;
#if defined(OVER)
    o_color = vec4(texture(s0, v_uv0).rgb * v_color.rgb, opacity);
#else
    o_color = vec4(texture(s0, v_uv0).rgb * v_color.rgb * opacity, opacity);
#endif
}
)";

// The solid pass: alpha 0 where the layers will composite, or the fog's colour and amount.
const char* const kSolidPixelProgram = R"(
void main() {
#if defined(FOG)
    o_color = v_color;
#else
    o_color = vec4(0.0);
#endif
}
)";

// The blade's top edge (v = 0) moves by the displacement on stream 1.
const char* const kGrassVertexProgram = R"(
void main() {
    vec3 p = a_position.xyz + vec3(a_texcoord1.x, 0.0, a_texcoord1.y) * (1.0 - a_texcoord0.y);
    vec4 position = vec4(p, 1.0);
    gl_Position = vec4(dot(vc[0], position), dot(vc[1], position), dot(vc[2], position), dot(vc[3], position));
    v_color = Shade(p + vc[14].xyz, normalize(a_normal.xyz));
    v_uv0 = a_texcoord0.xy;
}
)";

const char* const kGrassPixelProgram = R"(
uniform sampler2D s0;
void main() {
    vec4 blade = texture(s0, v_uv0);
    o_color = vec4(blade.rgb * v_color.rgb, blade.a);
}
)";

std::string Program(const char* defines, const char* body, bool lighting) {
    return std::string(defines) + (lighting ? kLighting : "") + body;
}

ShaderStateRecord FromValue(ShaderStateCode code, uint32_t value, uint32_t stage = 0) {
    return ShaderStateRecord{code, stage, true, value};
}

ShaderStateRecord FromParameter(ShaderStateCode code, uint32_t parameter, uint32_t stage = 0) {
    return ShaderStateRecord{code, stage, false, parameter};
}

ShaderFileValue Code(RenderBlendFactor factor) { return ShaderFileValue::Int(int32_t(factor)); }
ShaderFileValue Code(RenderTestFunction function) { return ShaderFileValue::Int(int32_t(function)); }
ShaderFileValue Code(RenderWriteMode mode) { return ShaderFileValue::Int(int32_t(mode)); }

// The shading modes of the vertex programs, in value order.
const char* const kModes[] = {
    "#define AMBIENT\n",                // ambient styles
    "#define LIGHT\n",                  // light styles without ambient
    "#define AMBIENT\n#define LIGHT\n",  // the first light, with ambient
    "#define FOG\n",
};
enum Mode : uint32_t { kAmbientMode, kLightMode, kLightAmbientMode, kFogMode, kNumModes };

// The parameters both shaders share (in this order, first), with their registers (the types the
// scene renderers set: colours as four floats); defaults: the ambient colours white (the values
// kWhite4), the light and fog black (kBlack4), points and fog ranges zero (kZero3).
enum FrameValue : uint32_t { kWhite4, kBlack4, kZero3 };
void AddFrameParameters(ShaderFileSection& section, mem::vector<ShaderBinding>& bindings) {
    const struct {
        const char* name;
        ShaderValueType type;
        uint32_t reg;
        uint32_t defaultValue;
    } frame[] = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, kScreenRegister, ShaderFileParameter::kNoDefault},
        {"skyAmbientColor", ShaderValueType::Float4, kSkyRegister, kWhite4},
        {"groundAmbientColor", ShaderValueType::Float4, kGroundRegister, kWhite4},
        {"lightColor", ShaderValueType::Float4, kLightColorRegister, kBlack4},
        {"lightDirection", ShaderValueType::Float3, kLightDirectionRegister, kZero3},
        {"lightPosition", ShaderValueType::Float3, kLightPositionRegister, kZero3},
        {"lightMaxDistance", ShaderValueType::Float, kLightDistanceRegister, ShaderFileParameter::kNoDefault},
        {"fogColor", ShaderValueType::Float4, kFogColorRegister, kBlack4},
        {"depthFogParams", ShaderValueType::Float3, kDepthFogRegister, kZero3},
        {"heightFogParams", ShaderValueType::Float3, kHeightFogRegister, kZero3},
        {"cameraOrigin", ShaderValueType::Float3, kCameraRegister, kZero3},
    };
    for (const auto& parameter : frame) {
        bindings.push_back({parameter.reg, parameter.type == ShaderValueType::Float4x4 ? 4u : 1u, false,
                            uint32_t(section.parameters.size())});
        section.parameters.push_back({parameter.name, parameter.type, 1, parameter.defaultValue});
    }
}

ShaderFileSection MakeGroundSection() {
    enum Value : uint32_t {
        kOne = kZero3 + 1,
        kInverseDestinationAlpha,
        kSourceAlpha,
        kInverseSourceAlpha,
        kOn,
        kOff,
        kClamp,
        kLinear,
        kLinearMips,
        kSolidPixel,
        kFogPixel,
        kGroundPixel,
        kOverPixel,
        kVertex,  // kNumModes vertex programs from here
    };
    // Parameters after the frame's.
    enum Parameter : uint32_t {
        kSceneOffset = 11,
        kTextureOffset,
        kTextureScale,
        kBaseTexture,
        kOpacityTexture,
        kBumpTexture,
        kObjectToRegion,
    };
    ShaderFileSection section;
    mem::vector<ShaderBinding> bindings;
    AddFrameParameters(section, bindings);
    section.parameters.push_back({"regionToSceneOffset", ShaderValueType::Float3, 1, kZero3});
    section.parameters.push_back({"textureOffset", ShaderValueType::Float2, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"textureScale", ShaderValueType::Float2, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"opacityTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"bumpTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"objectToRegionMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault});
    bindings.push_back({kSceneOffsetRegister, 1, false, kSceneOffset});
    bindings.push_back({kTextureOffsetRegister, 1, false, kTextureOffset});
    bindings.push_back({kTextureScaleRegister, 1, false, kTextureScale});
    bindings.push_back({kObjectToRegionRegister, 4, false, kObjectToRegion});

    section.values = {
        ShaderFileValue::Float4(1.0f, 1.0f, 1.0f, 1.0f),
        ShaderFileValue::Float4(0.0f, 0.0f, 0.0f, 1.0f),
        ShaderFileValue::Float3(0.0f, 0.0f, 0.0f),
        Code(RenderBlendFactor::One),
        Code(RenderBlendFactor::InverseDestinationAlpha),
        Code(RenderBlendFactor::SourceAlpha),
        Code(RenderBlendFactor::InverseSourceAlpha),
        Code(RenderWriteMode::On),
        Code(RenderWriteMode::Off),
        ShaderFileValue::Int(1),  // clamp addressing
        ShaderFileValue::Int(1),  // linear minification
        ShaderFileValue::Int(2),  // linear between mip levels
        ShaderFileValue::PixelProgram(Program("", kSolidPixelProgram, false), {}),
        ShaderFileValue::PixelProgram(Program("#define FOG\n", kSolidPixelProgram, false), {}),
        ShaderFileValue::PixelProgram(Program("", kGroundPixelProgram, false), {}),
        ShaderFileValue::PixelProgram(Program("#define OVER\n", kGroundPixelProgram, false), {}),
    };
    for (const char* mode : kModes) {
        section.values.push_back(ShaderFileValue::VertexProgram(Program(mode, kGroundVertexProgram, true), bindings));
    }

    const auto programs = [](uint32_t mode, uint32_t pixel) {
        return mem::vector<ShaderStateRecord>{FromValue(ShaderStateCode::VertexProgram, kVertex + mode),
                                              FromValue(ShaderStateCode::PixelProgram, pixel)};
    };
    // The solid pass: alpha 0 (and the depth with depthWrite) over the visible ground.
    const auto solid = [&](const char* name, bool depthWrite) {
        ShaderFileStyle style{name, 0, programs(kAmbientMode, kSolidPixel)};
        style.records.push_back(FromValue(ShaderStateCode::ColorWrite, kOff));
        style.records.push_back(FromValue(ShaderStateCode::DepthWrite, depthWrite ? kOn : kOff));
        return style;
    };
    // A layer composited under those above it, or blended over those below (the reflection).
    const auto layer = [&](const char* name, uint32_t mode, bool over) {
        ShaderFileStyle style{name, 0, programs(mode, over ? kOverPixel : kGroundPixel)};
        style.records.push_back(FromValue(ShaderStateCode::SourceBlend, over ? kSourceAlpha : kInverseDestinationAlpha));
        style.records.push_back(FromValue(ShaderStateCode::DestinationBlend, over ? kInverseSourceAlpha : kOne));
        style.records.push_back(FromValue(ShaderStateCode::DepthWrite, over ? kOn : kOff));
        style.records.push_back(FromParameter(ShaderStateCode::Texture, kBaseTexture, 0));
        // Trilinear: the filters stay set for what is drawn next, and the ground covers much of
        // the frame, too much to filter anisotropically on a software rasterizer.
        style.records.push_back(FromValue(ShaderStateCode::MinFilter, kLinear));
        style.records.push_back(FromValue(ShaderStateCode::MipFilter, kLinearMips));
        style.records.push_back(FromParameter(ShaderStateCode::Texture, kOpacityTexture, 1));
        style.records.push_back(FromValue(ShaderStateCode::AddressU, kClamp, 1));
        style.records.push_back(FromValue(ShaderStateCode::AddressV, kClamp, 1));
        return style;
    };
    ShaderFileStyle fog{"fogStyle", 0, programs(kFogMode, kFogPixel)};
    fog.records.push_back(FromValue(ShaderStateCode::SourceBlend, kSourceAlpha));
    fog.records.push_back(FromValue(ShaderStateCode::DestinationBlend, kInverseSourceAlpha));
    fog.records.push_back(FromValue(ShaderStateCode::DepthWrite, kOff));
    section.styles = {
        solid("depthStyle", true),
        solid("alphaStyle", false),
        solid("dShadowFilterStyle", true),
        solid("pShadowFilterStyle", true),
        fog,
        layer("ambientLightStyle", kAmbientMode, false),
        layer("reflectionStyle", kAmbientMode, true),
        layer("dLightDiffuseStyle", kLightMode, false),
        layer("pLightDiffuseStyle", kLightMode, false),
        layer("pLightSimpleStyle", kLightMode, false),
        layer("dLightDiffuseAmbientStyle", kLightAmbientMode, false),
        layer("pLightDiffuseAmbientStyle", kLightAmbientMode, false),
        layer("pLightSimpleAmbientStyle", kLightAmbientMode, false),
    };
    return section;
}

ShaderFileSection MakeGrassSection() {
    enum Value : uint32_t { kOne = kZero3 + 1, kGreater, kHalf, kOff, kLinear, kLinearMips, kPixel, kVertex };
    enum Parameter : uint32_t { kTerrainOffset = 11, kBaseTexture };
    ShaderFileSection section;
    mem::vector<ShaderBinding> bindings;
    AddFrameParameters(section, bindings);
    section.parameters.push_back({"terrainOffset", ShaderValueType::Float3, 1, kZero3});
    section.parameters.push_back({"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault});
    bindings.push_back({kSceneOffsetRegister, 1, false, kTerrainOffset});
    section.values = {
        ShaderFileValue::Float4(1.0f, 1.0f, 1.0f, 1.0f),
        ShaderFileValue::Float4(0.0f, 0.0f, 0.0f, 1.0f),
        ShaderFileValue::Float3(0.0f, 0.0f, 0.0f),
        Code(RenderBlendFactor::One),
        Code(RenderTestFunction::Greater),
        ShaderFileValue::Float(0.5f),
        Code(RenderWriteMode::Off),
        ShaderFileValue::Int(1),  // linear minification
        ShaderFileValue::Int(2),  // linear between mip levels
        ShaderFileValue::PixelProgram(kGrassPixelProgram, {}),
    };
    for (const char* mode : kModes) {
        section.values.push_back(ShaderFileValue::VertexProgram(Program(mode, kGrassVertexProgram, true), bindings));
    }
    // Ambient styles draw the blades solid; light styles add over them.
    const auto style = [&](const char* name, uint32_t mode, bool additive) {
        ShaderFileStyle result{
            name,
            0,
            {FromValue(ShaderStateCode::VertexProgram, kVertex + mode),
             FromValue(ShaderStateCode::PixelProgram, kPixel), FromParameter(ShaderStateCode::Texture, kBaseTexture, 0),
             FromValue(ShaderStateCode::MinFilter, kLinear), FromValue(ShaderStateCode::MipFilter, kLinearMips),
             FromValue(ShaderStateCode::AlphaTest, kGreater), FromValue(ShaderStateCode::AlphaReference, kHalf)}};
        if (additive) {
            result.records.push_back(FromValue(ShaderStateCode::SourceBlend, kOne));
            result.records.push_back(FromValue(ShaderStateCode::DestinationBlend, kOne));
            result.records.push_back(FromValue(ShaderStateCode::DepthWrite, kOff));
        }
        return result;
    };
    section.styles = {
        style("ambientLightStyle", kAmbientMode, false),
        style("dLightDiffuseStyle", kLightMode, true),
        style("pLightDiffuseStyle", kLightMode, true),
        style("pLightSimpleStyle", kLightMode, true),
        style("dLightDiffuseAmbientStyle", kLightAmbientMode, false),
        style("pLightDiffuseAmbientStyle", kLightAmbientMode, false),
        style("pLightSimpleAmbientStyle", kLightAmbientMode, false),
    };
    return section;
}

}  // namespace

std::vector<uint8_t> MakeTerrainShaderFile() { return MakeShaderFile(MakeGroundSection()); }

std::vector<uint8_t> MakeGrassShaderFile() { return MakeShaderFile(MakeGrassSection()); }

bool WriteTerrainShaders(FileSystem& files) {
    const std::vector<uint8_t> ground = MakeTerrainShaderFile();
    const std::vector<uint8_t> grass = MakeGrassShaderFile();
    return WriteBytes(files, TerrainRenderInterfaceBase::kStandardShader, ground.data(), uint32_t(ground.size())) &&
           WriteBytes(files, TerrainRenderInterfaceBase::kLowQualityShader, ground.data(), uint32_t(ground.size())) &&
           WriteBytes(files, TerrainRenderInterfaceBase::kGrassShader, grass.data(), uint32_t(grass.size()));
}

}  // namespace GAME::sample
