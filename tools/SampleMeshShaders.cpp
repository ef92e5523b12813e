#include "SampleMeshShaders.h"

#include "SampleData.h"

#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"

#include <string>

namespace GAME::sample {

namespace {

// Vertex registers: 0-3 "objectToScreenMatrix", 4-7 "objectToWorldMatrix", 8 "diffuseColor",
// 9 "skyAmbientColor", 10 "groundAmbientColor", 11 "lightColor", 12 "lightPosition",
// 13 "lightMaxDistance", 14 "lightDirection", 15 "transparencyValue", 16 "blendedGlobalFadeFactor",
// 17 the style's terms (ambient, directional and point weights; w 1 for fog), 18 "cameraOrigin",
// 19 "depthFogParams" and 20 "heightFogParams" (start, 1 / (end - start), amount), 21-101
// "boneMatrix" (three registers a bone), 102-105 "worldToShadowMatrix", 106 the style's shadow
// (x: 0 none, 1 the directional map, 2 a point light's face). Fog passes carry the fog amount as
// their alpha. v_light is the part of the colour that the shadowed light gives (w: the style's
// shadow), v_shadow the position in the shadow map's space.
const char* const kLitVertexProgram = R"(
vec4 SkinPosition(vec4 p);
vec3 SkinNormal(vec3 n);
out vec4 v_light;
out vec4 v_shadow;
void main() {
    vec4 p = SkinPosition(vec4(a_position.xyz, 1.0));
    vec3 n = SkinNormal(a_normal.xyz);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    vec3 world = vec3(dot(vc[4], p), dot(vc[5], p), dot(vc[6], p));
    vec3 normal = vec3(dot(vc[4].xyz, n), dot(vc[5].xyz, n), dot(vc[6].xyz, n));
    normal /= max(length(normal), 1e-6);
    vec3 ambient = vc[17].x * mix(vc[10].rgb, vc[9].rgb, normal.y * 0.5 + 0.5);
    vec3 shadowed = vc[17].y * vc[11].rgb * max(dot(normal, -vc[14].xyz), 0.0);
    vec3 toLight = vc[12].xyz - world;
    float distance = length(toLight);
    float reach = max(1.0 - distance / max(vc[13].x, 1e-6), 0.0);
    shadowed += vc[17].z * vc[11].rgb * max(dot(normal, toLight / max(distance, 1e-6)), 0.0) * reach;
    vec3 light = ambient + shadowed;
    v_light = vec4(vc[8].rgb * 2.0 * shadowed, vc[106].x);
    vec4 w = vec4(world, 1.0);
    v_shadow = vec4(dot(vc[102], w), dot(vc[103], w), dot(vc[104], w), dot(vc[105], w));
    float alpha = vc[15].z * vc[16].x;
    float depthFog = clamp((length(world - vc[18].xyz) - vc[19].x) * vc[19].y, 0.0, 1.0) * vc[19].z;
    float heightFog = clamp((vc[20].x - world.y) * vc[20].y, 0.0, 1.0) * vc[20].z;
    v_color = vec4(vc[8].rgb * 2.0 * light, vc[17].w > 0.5 ? max(depthFog, heightFog) * alpha : alpha);
    v_uv0 = a_texcoord0.xy;
}
)";

const char* const kStaticSkin = R"(
vec4 SkinPosition(vec4 p) { return p; }
vec3 SkinNormal(vec3 n) { return n; }
)";

// Four influences a vertex; the bone bytes index the face set's palette.
const char* const kSkinnedSkin = R"(
vec3 Skin(vec4 v) {
    vec3 sum = vec3(0.0);
    for (int i = 0; i < 4; ++i) {
        int r = 21 + 3 * int(a_blendindices[i] + 0.5);
        sum += a_blendweights[i] * vec3(dot(vc[r], v), dot(vc[r + 1], v), dot(vc[r + 2], v));
    }
    return sum;
}
vec4 SkinPosition(vec4 p) { return vec4(Skin(p), 1.0); }
vec3 SkinNormal(vec3 n) { return Skin(vec4(n, 0.0)); }
)";

// The light left by the shadow map, 0 (shadowed) to 1; pc[4] "shadowBluriness" (the taps' spread
// in texels of the map), pc[5] "lightMaxDistance", pc[6] "lightShadowIntensity"; s2 the map's
// depth. Outside the map, behind a point light's face and without a shadow map all is lit.
const char* const kShadowFunction = R"(
uniform sampler2DShadow s2;
in vec4 v_light;
in vec4 v_shadow;
float Shadow() {
    float kind = v_light.w;
    if (kind < 0.5) {
        return 1.0;
    }
    vec2 uv;
    float depth;
    if (kind < 1.5) {
        if (v_shadow.w <= 0.0) {
            return 1.0;
        }
        uv = v_shadow.xy / v_shadow.w;
        depth = v_shadow.z / v_shadow.w;
    } else {
        float along = -v_shadow.y;
        if (along <= 1e-4) {
            return 1.0;
        }
        vec2 image = v_shadow.xz / (2.0 * along);
        uv = vec2(0.5 * image.x + 0.5, 0.5 - 0.5 * image.y);
        depth = length(v_shadow.xyz) / max(pc[5].x, 1e-6);
    }
    if (any(lessThan(uv, vec2(0.0))) || any(greaterThan(uv, vec2(1.0)))) {
        return 1.0;
    }
    float reference = min(depth - 0.004, 1.0);
    float d = 0.5 * pc[4].x;
    float lit = 0.25 * (texture(s2, vec3(uv + vec2(-d, -d), reference)) + texture(s2, vec3(uv + vec2(d, -d), reference)) +
                        texture(s2, vec3(uv + vec2(-d, d), reference)) + texture(s2, vec3(uv + vec2(d, d), reference)));
    return kind > 1.5 ? mix(1.0, lit, pc[6].x) : lit;
}
vec4 LitColor() {
    return vec4(v_color.rgb - v_light.rgb * (1.0 - Shadow()), v_color.a);
}
)";

const char* const kLitPixelProgram = R"(
uniform sampler2D s0;
void main() {
    o_color = texture(s0, v_uv0) * LitColor();
}
)";

// pc[0] "fogColor".
const char* const kFogPixelProgram = R"(
void main() {
    o_color = vec4(pc[0].rgb, v_color.a);
}
)";

const char* const kDepthPixelProgram = R"(
void main() {
    o_color = vec4(gl_FragCoord.z);
}
)";

// A point light's face (see kShadowFunction): registers 0-3 carry the world-to-face transform.
const char* const kPointShadowVertexProgram = R"(
vec4 SkinPosition(vec4 p);
vec3 SkinNormal(vec3 n);
out vec4 v_shadow;
void main() {
    vec4 p = SkinPosition(vec4(a_position.xyz, 1.0));
    vec3 face = vec3(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p));
    float w = -2.0 * face.y;
    gl_Position = vec4(face.x, face.z, 0.5 * w, w);
    v_shadow = vec4(face, 1.0);
    v_color = vec4(1.0);
    v_uv0 = a_texcoord0.xy;
}
)";

// The distance from the point light over its reach, as depth; pc[5] "lightMaxDistance".
const char* const kPointShadowPixelProgram = R"(
in vec4 v_shadow;
void main() {
    float depth = clamp(length(v_shadow.xyz) / max(pc[5].x, 1e-6), 0.0, 1.0);
    gl_FragDepth = depth;
    o_color = vec4(depth);
}
)";

const char* const kMaskPixelProgram = R"(
void main() {
    o_color = vec4(0.0);
}
)";

// pc[1] "dissolveValue", pc[2] "dissolveColor"; s1 the dissolve pattern.
const char* const kDissolvePixelProgram = R"(
uniform sampler2D s0;
uniform sampler2D s1;
void main() {
    float pattern = texture(s1, v_uv0).r;
    if (pattern < pc[1].x) {
        discard;
    }
    vec4 base = texture(s0, v_uv0) * LitColor();
    o_color = vec4(mix(pc[2].rgb, base.rgb, clamp((pattern - pc[1].x) * 8.0, 0.0, 1.0)), base.a);
}
)";

// pc[3] "iceyAlphaMultiplier"; s1 the environment map.
const char* const kIceyPixelProgram = R"(
uniform sampler2D s0;
uniform sampler2D s1;
void main() {
    vec4 base = texture(s0, v_uv0) * LitColor();
    o_color = vec4(mix(base.rgb, texture(s1, v_uv0).rgb, 0.5), base.a * pc[3].x);
}
)";

enum Parameter : uint32_t {
    kObjectToScreen,
    kObjectToWorld,
    kDiffuse,
    kSkyAmbient,
    kGroundAmbient,
    kLightColor,
    kLightPosition,
    kLightMaxDistance,
    kLightDirection,
    kTransparency,
    kGlobalFade,
    kCameraOrigin,
    kDepthFog,
    kHeightFog,
    kFogColor,
    kBaseTexture,
    kBones,
    kDissolveValue,
    kDissolveColor,
    kDissolveTexture,
    kIceyAlpha,
    kEnvmap,
    kWorldToShadow,
    kShadowTexture,
    kShadowBluriness,
    kShadowIntensity,
};

enum Value : uint32_t {
    kWhite,
    kBlack,
    kOne,
    kZero3,
    kSourceAlpha,
    kInverseSourceAlpha,
    kBlendOne,
    kLessEqual,
    kOff,
    kCullBack,
    kCullNone,
    kZero,
    kLinearMips,
};

// How a style draws.
enum class Pass { Lit, LitAdded, Fog, Depth, Mask, DirectionalShadow, PointShadow };

struct StyleForm {
    const char* name;
    Pass pass;
    float terms[4];  // register 17
    float shadow;    // register 106
};

const StyleForm kStyles[] = {
    {"ambientLightStyle", Pass::Lit, {1, 0, 0, 0}, 0},
    {"dLightDiffuseAmbientStyle", Pass::Lit, {1, 1, 0, 0}, 1},
    {"pLightDiffuseAmbientStyle", Pass::Lit, {1, 0, 1, 0}, 2},
    {"pLightSimpleAmbientStyle", Pass::Lit, {1, 0, 1, 0}, 0},
    {"reflectionStyle", Pass::Lit, {1, 1, 0, 0}, 0},
    {"dLightDiffuseStyle", Pass::LitAdded, {0, 1, 0, 0}, 1},
    {"pLightDiffuseStyle", Pass::LitAdded, {0, 0, 1, 0}, 2},
    {"pLightSimpleStyle", Pass::LitAdded, {0, 0, 1, 0}, 0},
    {"fogStyle", Pass::Fog, {0, 0, 0, 1}, 0},
    {"depthStyle", Pass::Depth, {0, 0, 0, 0}, 0},
    {"shadow", Pass::DirectionalShadow, {0, 0, 0, 0}, 0},
    {"pLightShadowStyle", Pass::PointShadow, {0, 0, 0, 0}, 0},
    {"transparencyMaskStyle", Pass::Mask, {0, 0, 0, 0}, 0},
};

ShaderStateRecord FromValue(ShaderStateCode code, uint32_t value, uint32_t stage = 0) {
    return ShaderStateRecord{code, stage, true, value};
}

ShaderStateRecord FromParameter(ShaderStateCode code, uint32_t parameter, uint32_t stage) {
    return ShaderStateRecord{code, stage, false, parameter};
}

ShaderFileSection MakeSection(MeshShaderKind kind, bool skinned) {
    ShaderFileSection section;
    const auto parameter = [&section](const char* name, ShaderValueType type, uint32_t elements = 1,
                                      uint32_t defaultValue = ShaderFileParameter::kNoDefault) {
        section.parameters.push_back({name, type, elements, defaultValue});
    };
    parameter("objectToScreenMatrix", ShaderValueType::Float4x4);
    parameter("objectToWorldMatrix", ShaderValueType::Float4x4);
    parameter("diffuseColor", ShaderValueType::Float4, 1, kWhite);
    parameter("skyAmbientColor", ShaderValueType::Float4, 1, kWhite);
    parameter("groundAmbientColor", ShaderValueType::Float4, 1, kWhite);
    parameter("lightColor", ShaderValueType::Float4, 1, kBlack);
    parameter("lightPosition", ShaderValueType::Float3, 1, kZero3);
    parameter("lightMaxDistance", ShaderValueType::Float, 1, kOne);
    parameter("lightDirection", ShaderValueType::Float3, 1, kZero3);
    parameter("transparencyValue", ShaderValueType::Float4, 1, kWhite);
    parameter("blendedGlobalFadeFactor", ShaderValueType::Float, 1, kOne);
    parameter("cameraOrigin", ShaderValueType::Float3, 1, kZero3);
    parameter("depthFogParams", ShaderValueType::Float3, 1, kZero3);
    parameter("heightFogParams", ShaderValueType::Float3, 1, kZero3);
    parameter("fogColor", ShaderValueType::Float4, 1, kBlack);
    parameter("baseTexture", ShaderValueType::Texture);
    parameter("boneMatrix", ShaderValueType::Float4x3, 27);
    parameter("dissolveValue", ShaderValueType::Float, 1, kOne);
    parameter("dissolveColor", ShaderValueType::Float3, 1, kZero3);
    parameter("dissolveTexture", ShaderValueType::Texture);
    parameter("iceyAlphaMultiplier", ShaderValueType::Float, 1, kOne);
    parameter("envmapTexture", ShaderValueType::Texture);
    parameter("worldToShadowMatrix", ShaderValueType::Float4x4);
    parameter("shadowTexture", ShaderValueType::Texture);
    parameter("shadowBluriness", ShaderValueType::Float, 1, kZero);
    parameter("lightShadowIntensity", ShaderValueType::Float, 1, kOne);

    section.values = {
        ShaderFileValue::Float4(1, 1, 1, 1),
        ShaderFileValue::Float4(0, 0, 0, 0),
        ShaderFileValue::Float(1),
        ShaderFileValue::Float3(0, 0, 0),
        ShaderFileValue::Int(int32_t(RenderBlendFactor::SourceAlpha)),
        ShaderFileValue::Int(int32_t(RenderBlendFactor::InverseSourceAlpha)),
        ShaderFileValue::Int(int32_t(RenderBlendFactor::One)),
        ShaderFileValue::Int(int32_t(RenderTestFunction::LessEqual)),
        ShaderFileValue::Int(int32_t(RenderWriteMode::Off)),
        ShaderFileValue::Int(1),  // clockwise on the target: the back faces
        ShaderFileValue::Int(0),  // no culling
        ShaderFileValue::Float(0),
        ShaderFileValue::Int(2),  // linear between mip levels
    };
    const auto addValue = [&section](ShaderFileValue value) {
        section.values.push_back(std::move(value));
        return uint32_t(section.values.size() - 1);
    };

    const std::string skinText = skinned ? kSkinnedSkin : kStaticSkin;
    const std::string vertexText = skinText + kLitVertexProgram;
    const char* litPixel = kind == MeshShaderKind::Dissolve ? kDissolvePixelProgram
                           : kind == MeshShaderKind::Icey   ? kIceyPixelProgram
                                                            : kLitPixelProgram;
    const uint32_t litProgram = addValue(ShaderFileValue::PixelProgram(
        std::string(kShadowFunction) + litPixel,
        {{1, 1, false, kDissolveValue},
         {2, 1, false, kDissolveColor},
         {3, 1, false, kIceyAlpha},
         {4, 1, false, kShadowBluriness},
         {5, 1, false, kLightMaxDistance},
         {6, 1, false, kShadowIntensity}}));
    const uint32_t pointShadowPixel =
        addValue(ShaderFileValue::PixelProgram(kPointShadowPixelProgram, {{5, 1, false, kLightMaxDistance}}));
    const uint32_t fogProgram = addValue(ShaderFileValue::PixelProgram(kFogPixelProgram, {{0, 1, false, kFogColor}}));
    const uint32_t depthProgram = addValue(ShaderFileValue::PixelProgram(kDepthPixelProgram, {}));
    const uint32_t maskProgram = addValue(ShaderFileValue::PixelProgram(kMaskPixelProgram, {}));

    const bool sortsLast = kind == MeshShaderKind::Transparent || kind == MeshShaderKind::Icey;
    for (const StyleForm& form : kStyles) {
        const uint32_t terms =
            addValue(ShaderFileValue::Float4(form.terms[0], form.terms[1], form.terms[2], form.terms[3]));
        mem::vector<ShaderBinding> bindings;
        const Parameter vertexParameters[] = {kObjectToScreen, kObjectToWorld, kDiffuse,       kSkyAmbient,
                                              kGroundAmbient,  kLightColor,    kLightPosition, kLightMaxDistance,
                                              kLightDirection, kTransparency,  kGlobalFade};
        uint32_t reg = 0;
        for (const Parameter p : vertexParameters) {
            const uint32_t size = p == kObjectToScreen || p == kObjectToWorld ? 4 : 1;
            bindings.push_back({reg, size, false, p});
            reg += size;
        }
        bindings.push_back({17, 1, true, terms});
        bindings.push_back({18, 1, false, kCameraOrigin});
        bindings.push_back({19, 1, false, kDepthFog});
        bindings.push_back({20, 1, false, kHeightFog});
        if (skinned) bindings.push_back({21, 81, false, kBones});
        bindings.push_back({102, 4, false, kWorldToShadow});
        bindings.push_back({106, 1, true, addValue(ShaderFileValue::Float4(form.shadow, 0, 0, 0))});
        const bool pointShadow = form.pass == Pass::PointShadow;
        const uint32_t vertexProgram = addValue(
            ShaderFileValue::VertexProgram(pointShadow ? skinText + kPointShadowVertexProgram : vertexText,
                                           std::move(bindings)));

        // The casters draw both sides: a mesh open towards the light still shadows.
        const bool shadowPass = pointShadow || form.pass == Pass::DirectionalShadow;
        ShaderFileStyle style{form.name,
                              sortsLast ? 10000 : 0,
                              {FromValue(ShaderStateCode::VertexProgram, vertexProgram),
                               FromValue(ShaderStateCode::CullMode, shadowPass ? kCullNone : kCullBack)}};
        auto& records = style.records;
        const auto blend = [&records](Value source, Value destination) {
            records.push_back(FromValue(ShaderStateCode::SourceBlend, source));
            records.push_back(FromValue(ShaderStateCode::DestinationBlend, destination));
        };
        const auto onTop = [&records] {
            records.push_back(FromValue(ShaderStateCode::DepthTest, kLessEqual));
            records.push_back(FromValue(ShaderStateCode::DepthWrite, kOff));
        };
        switch (form.pass) {
            case Pass::Lit:
            case Pass::LitAdded:
                records.push_back(FromValue(ShaderStateCode::PixelProgram, litProgram));
                records.push_back(FromParameter(ShaderStateCode::Texture, kBaseTexture, 0));
                // Walls and floors seen far off or edge on: filtered across the texture's levels.
                // Not anisotropically: filters stay set for the draws after it, and on a software
                // rasterizer anisotropic filtering costs a large share of the frame.
                records.push_back(FromValue(ShaderStateCode::MipFilter, kLinearMips));
                if (kind == MeshShaderKind::Dissolve) {
                    records.push_back(FromParameter(ShaderStateCode::Texture, kDissolveTexture, 1));
                }
                if (kind == MeshShaderKind::Icey)
                    records.push_back(FromParameter(ShaderStateCode::Texture, kEnvmap, 1));
                if (form.shadow != 0) records.push_back(FromParameter(ShaderStateCode::Texture, kShadowTexture, 2));
                blend(kSourceAlpha, form.pass == Pass::Lit ? kInverseSourceAlpha : kBlendOne);
                if (form.pass == Pass::LitAdded) onTop();
                break;
            case Pass::Fog:
                records.push_back(FromValue(ShaderStateCode::PixelProgram, fogProgram));
                blend(kSourceAlpha, kInverseSourceAlpha);
                onTop();
                break;
            case Pass::DirectionalShadow:
                records.push_back(FromValue(ShaderStateCode::PixelProgram, depthProgram));
                break;
            case Pass::PointShadow:
                records.push_back(FromValue(ShaderStateCode::PixelProgram, pointShadowPixel));
                break;
            case Pass::Depth:
                records.push_back(FromValue(ShaderStateCode::PixelProgram, depthProgram));
                records.push_back(FromValue(ShaderStateCode::ColorWrite, kOff));
                break;
            case Pass::Mask:
                records.push_back(FromValue(ShaderStateCode::PixelProgram, maskProgram));
                break;
        }
        section.styles.push_back(std::move(style));
    }
    return section;
}

}  // namespace

std::vector<uint8_t> MakeMeshShaderFile(MeshShaderKind kind, bool skinned) {
    return MakeShaderFile(MakeSection(kind, skinned));
}

bool WriteMeshShaders(FileSystem& files) {
    struct File {
        const char* name;
        MeshShaderKind kind;
        bool skinned;
    };
    const File kFiles[] = {
        {kStandardShader, MeshShaderKind::Standard, false},
        {"Shaders/StandardT.ssh", MeshShaderKind::Transparent, false},
        {kStandardSkinnedShader, MeshShaderKind::Standard, true},
        {"Shaders/StandardSkinnedT.ssh", MeshShaderKind::Transparent, true},
        {"Shaders/StandardDissolveStatic.ssh", MeshShaderKind::Dissolve, false},
        {"Shaders/StandardDissolveSkinned.ssh", MeshShaderKind::Dissolve, true},
        {"Addon/Shaders/IceyStatic.ssh", MeshShaderKind::Icey, false},
        {"Addon/Shaders/IceySkinned.ssh", MeshShaderKind::Icey, true},
    };
    for (const File& file : kFiles) {
        const std::vector<uint8_t> bytes = MakeMeshShaderFile(file.kind, file.skinned);
        if (!WriteBytes(files, file.name, bytes.data(), uint32_t(bytes.size()))) return false;
    }
    return true;
}

}  // namespace GAME::sample
