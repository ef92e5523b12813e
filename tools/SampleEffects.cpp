#include "SampleEffects.h"

#include <cmath>
#include <memory>
#include <string>

#include "SampleData.h"
#include "effects/EffectData.h"
#include "effects/EmitterData.h"
#include "files/BinaryWriter.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "render/TextureFileWriter.h"

namespace GAME::sample {

namespace {

// vc[0..3] "objectToScreenMatrix", vc[4..7] "invObjectToWorldMatrix", vc[8].x "orientVertically".
// The rows of the object-to-screen matrix give the camera's right and up in object space, so the
// quad faces the camera whatever the region's and the emitter's frames.
const char* const kParticleVertexProgram = R"(
void main() {
    vec3 right = normalize(vc[0].xyz);
    vec3 up = normalize(vc[1].xyz);
    if (vc[8].x > 0.5) {
        up = normalize(vec3(vc[4].y, vc[5].y, vc[6].y));
        right = normalize(right - up * dot(right, up));
    }
    vec3 axis = a_texcoord1.xyz;
    if (axis != vec3(0.0, 1.0, 0.0)) {
        vec2 along = vec2(dot(axis, right), dot(axis, up));
        if (dot(along, along) > 1e-12) {
            along = normalize(along);
            vec3 turnedUp = right * along.x + up * along.y;
            right = right * along.y - up * along.x;
            up = turnedUp;
        }
    }
    vec2 corner = a_texcoord0.xy;
    vec2 offset = (corner * 2.0 - 1.0) * a_texcoord2.y;
    offset.y -= (1.0 - corner.y) * a_texcoord2.z * a_texcoord1.w;
    float c = cos(a_texcoord2.x);
    float s = sin(a_texcoord2.x);
    offset = vec2(c * offset.x - s * offset.y, s * offset.x + c * offset.y);
    vec4 p = vec4(a_position.xyz + right * offset.x + up * offset.y, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    v_color = a_color;
    v_uv0 = vec2(corner.x, 1.0 - corner.y);
}
)";

const char* const kSmoothParticlePixelProgram = R"(
uniform sampler2D s0;
void main() {
    vec4 c = texture(s0, v_uv0) * v_color;
    o_color = vec4(c.rgb * c.a, c.a);
}
)";

// After the scene's other effects.
constexpr int kParticleSortOrder = 10100;

ShaderFileSection MakeParticleSection(ParticleBlend blend) {
    enum Value : uint32_t { kVertex, kPixel, kSource, kDestination, kOff, kNoCulling, kClamp };
    enum Parameter : uint32_t { kObjectToScreen, kInvObjectToWorld, kOrientVertically, kBaseTexture };
    RenderBlendFactor source = RenderBlendFactor::SourceAlpha;
    RenderBlendFactor destination = RenderBlendFactor::One;
    if (blend == ParticleBlend::Combine) destination = RenderBlendFactor::InverseSourceAlpha;
    if (blend == ParticleBlend::AdditiveSmooth) {
        source = RenderBlendFactor::One;
        destination = RenderBlendFactor::InverseSourceColor;
    }
    ShaderFileSection section;
    section.values = {
        ShaderFileValue::VertexProgram(kParticleVertexProgram, {{0, 4, false, kObjectToScreen},
                                                                {4, 4, false, kInvObjectToWorld},
                                                                {8, 1, false, kOrientVertically}}),
        ShaderFileValue::PixelProgram(
            blend == ParticleBlend::AdditiveSmooth ? kSmoothParticlePixelProgram : kTextureTimesColorPixelProgram, {}),
        ShaderFileValue::Int(static_cast<int32_t>(source)),
        ShaderFileValue::Int(static_cast<int32_t>(destination)),
        ShaderFileValue::Int(static_cast<int32_t>(RenderWriteMode::Off)),
        ShaderFileValue::Int(0),
        ShaderFileValue::Int(1),
    };
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"invObjectToWorldMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"orientVertically", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault},
        {"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
    };
    const auto value = [](ShaderStateCode code, uint32_t index) { return ShaderStateRecord{code, 0, true, index}; };
    section.styles = {{"emissiveStyle",
                       kParticleSortOrder,
                       {value(ShaderStateCode::VertexProgram, kVertex), value(ShaderStateCode::PixelProgram, kPixel),
                        value(ShaderStateCode::SourceBlend, kSource),
                        value(ShaderStateCode::DestinationBlend, kDestination),
                        value(ShaderStateCode::DepthWrite, kOff), value(ShaderStateCode::CullMode, kNoCulling),
                        value(ShaderStateCode::AddressU, kClamp), value(ShaderStateCode::AddressV, kClamp),
                        ShaderStateRecord{ShaderStateCode::Texture, 0, false, kBaseTexture}}}};
    return section;
}

// A white blob of 32 x 32 texels whose alpha falls from the middle to the radius.
mem::vector<uint8_t> MakeBlob(float radius) {
    constexpr uint32_t kSize = 32;
    std::vector<uint32_t> texels(kSize * kSize);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            const float dx = static_cast<float>(x) + 0.5f - 16.0f;
            const float dy = static_cast<float>(y) + 0.5f - 16.0f;
            const float falloff = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy) / radius);
            const uint32_t alpha = static_cast<uint32_t>(std::lround(falloff * falloff * 255.0f));
            texels[y * kSize + x] = alpha << 24 | 0x00FFFFFFu;
        }
    }
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, kSize, kSize, texels.data(), 0);
    return mem::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

bool WriteParticleTextureAndShaders(FileSystem& files) {
    BinaryWriter texture;
    TextureFileWriter::WriteTEX(texture, 8, {MakeBlob(16.0f), MakeBlob(14.0f), MakeBlob(12.0f), MakeBlob(10.0f)});
    if (!WriteBinary(files, kParticleTexture, texture)) return false;
    for (const ParticleBlend blend : {ParticleBlend::Additive, ParticleBlend::Combine, ParticleBlend::AdditiveSmooth}) {
        const std::vector<uint8_t> shader = MakeParticleShaderFile(blend);
        if (!WriteBytes(files, ParticleShaderName(blend), shader.data(), static_cast<uint32_t>(shader.size())))
            return false;
    }
    return true;
}

void SetCurve(EmitterData& emitter, int slot, float domain, const mem::vector<CurveData::Point>& points) {
    CurveData* curve = emitter.GetCurve(slot);
    curve->SetDomain(domain);
    curve->SetPoints(points);
}

std::unique_ptr<EmitterData> Fire() {
    auto fire = std::make_unique<EmitterData>();
    fire->SetBoolean(EmitterData::Bool_Light, true);
    fire->SetBoolean(EmitterData::Bool_LightNightScale, true);
    fire->SetBoolean(EmitterData::Bool_RandomSpin, true);
    fire->SetInteger(EmitterData::Integer_Shape, EmitterData::Shape_SphereVolume);
    fire->SetFloat(EmitterData::Float_Life, 1.2f);
    SetCurve(*fire, EmitterData::Curve_Radius, 2.0f, {{0.0f, 0.3f}, {2.0f, 0.3f}});
    SetCurve(*fire, EmitterData::Curve_Rate, 2.0f, {{0.0f, 60.0f}, {2.0f, 60.0f}});
    SetCurve(*fire, EmitterData::Curve_Speed, 2.0f, {{0.0f, 1.5f}, {2.0f, 1.5f}});
    SetCurve(*fire, EmitterData::Curve_Spread, 2.0f, {{0.0f, 20.0f}, {2.0f, 20.0f}});
    SetCurve(*fire, EmitterData::Curve_Alpha, 1.2f, {{0.0f, 0.0f}, {0.2f, 0.9f}, {1.2f, 0.0f}});
    SetCurve(*fire, EmitterData::Curve_Red, 1.2f, {{0.0f, 1.0f}, {1.2f, 0.8f}});
    SetCurve(*fire, EmitterData::Curve_Green, 1.2f, {{0.0f, 0.7f}, {1.2f, 0.2f}});
    SetCurve(*fire, EmitterData::Curve_Blue, 1.2f, {{0.0f, 0.2f}, {1.2f, 0.0f}});
    SetCurve(*fire, EmitterData::Curve_Size, 1.2f, {{0.0f, 0.4f}, {1.2f, 0.15f}});
    SetCurve(*fire, EmitterData::Curve_LightRed, 2.0f, {{0.0f, 1.0f}, {2.0f, 1.0f}});
    SetCurve(*fire, EmitterData::Curve_LightGreen, 2.0f, {{0.0f, 0.6f}, {0.5f, 0.5f}, {1.3f, 0.65f}, {2.0f, 0.6f}});
    SetCurve(*fire, EmitterData::Curve_LightBlue, 2.0f, {{0.0f, 0.2f}, {2.0f, 0.2f}});
    SetCurve(*fire, EmitterData::Curve_LightRadius, 2.0f, {{0.0f, 6.0f}, {0.7f, 5.5f}, {2.0f, 6.0f}});
    fire->SetLoop(true);
    return fire;
}

std::unique_ptr<EmitterData> Sparks() {
    auto sparks = std::make_unique<EmitterData>();
    sparks->SetBoolean(EmitterData::Bool_AlignToVelocity, true);
    sparks->SetInteger(EmitterData::Integer_Shape, EmitterData::Shape_Ring);
    sparks->SetInteger(EmitterData::Integer_FramesPerSecond, 8);
    sparks->SetFloat(EmitterData::Float_Life, 1.5f);
    SetCurve(*sparks, EmitterData::Curve_Radius, 1.0f, {{0.0f, 0.2f}, {1.0f, 0.2f}});
    SetCurve(*sparks, EmitterData::Curve_Rate, 1.0f, {{0.0f, 400.0f}, {0.2f, 0.0f}, {1.0f, 0.0f}});
    SetCurve(*sparks, EmitterData::Curve_Speed, 1.0f, {{0.0f, 6.0f}, {1.0f, 6.0f}});
    SetCurve(*sparks, EmitterData::Curve_Spread, 1.0f, {{0.0f, 120.0f}, {1.0f, 120.0f}});
    SetCurve(*sparks, EmitterData::Curve_Gravity, 1.5f, {{0.0f, 14.8f}, {1.5f, 14.8f}});  // 9.8 once centred
    SetCurve(*sparks, EmitterData::Curve_Stretch, 1.5f, {{0.0f, 0.05f}, {1.5f, 0.02f}});
    SetCurve(*sparks, EmitterData::Curve_Size, 1.5f, {{0.0f, 0.08f}, {1.5f, 0.03f}});
    SetCurve(*sparks, EmitterData::Curve_Alpha, 1.5f, {{0.0f, 1.0f}, {1.5f, 0.0f}});
    SetCurve(*sparks, EmitterData::Curve_Red, 1.5f, {{0.0f, 1.0f}, {1.5f, 1.0f}});
    SetCurve(*sparks, EmitterData::Curve_Green, 1.5f, {{0.0f, 0.9f}, {1.5f, 0.4f}});
    return sparks;
}

std::unique_ptr<EmitterData> LocalOrbit() {
    auto orbit = std::make_unique<EmitterData>();
    orbit->SetBoolean(EmitterData::Bool_EmitLocally, true);
    orbit->SetInteger(EmitterData::Integer_Shape, EmitterData::Shape_Ring);
    orbit->SetFloat(EmitterData::Float_Life, 3.0f);
    SetCurve(*orbit, EmitterData::Curve_Radius, 4.0f, {{0.0f, 1.5f}, {4.0f, 1.5f}});
    SetCurve(*orbit, EmitterData::Curve_Rate, 4.0f, {{0.0f, 20.0f}, {4.0f, 20.0f}});
    // Centred on 3: the emitter turns at 1.5 radians a second about y and wobbles about x.
    SetCurve(*orbit, EmitterData::Curve_EmitterSpinY, 4.0f, {{0.0f, 4.5f}, {4.0f, 4.5f}});
    SetCurve(*orbit, EmitterData::Curve_EmitterSpinX, 4.0f, {{0.0f, 2.5f}, {2.0f, 3.5f}, {4.0f, 2.5f}});
    orbit->SetLoop(true);
    return orbit;
}

bool WriteEffect(FileSystem& files, const char* name, std::unique_ptr<EmitterData> emitter) {
    EffectData effect;
    effect.AddEmitterData(std::move(emitter));
    return effect.Save(name, files);
}

}  // namespace

const char* ParticleShaderName(ParticleBlend blend) {
    switch (blend) {
        case ParticleBlend::Combine: return "Shaders/Particle/ParticleCombine.ssh";
        case ParticleBlend::AdditiveSmooth: return "Shaders/Particle/ParticleAdditiveSmooth.ssh";
        case ParticleBlend::Additive: break;
    }
    return "Shaders/Particle/ParticleAdditive.ssh";
}

std::vector<uint8_t> MakeParticleShaderFile(ParticleBlend blend) { return MakeShaderFile(MakeParticleSection(blend)); }

bool WriteEffects(FileSystem& files) {
    return WriteParticleTextureAndShaders(files) && WriteEffect(files, kFireEffect, Fire()) && WriteEffect(files, kSparksEffect, Sparks()) &&
           WriteEffect(files, kLocalOrbitEffect, LocalOrbit()) &&
           WriteText(files, kFireRecord,
                     std::string("Class,EffectEntity,\neffectFile,") + kFireEffect + ",\nemitterType,Standard,\n");
}

}  // namespace GAME::sample
