#include "SampleRibbons.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "SampleData.h"
#include "files/BinaryWriter.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "render/TextureFileWriter.h"

namespace GAME::sample {

namespace {

const char* const kChaosPixelProgram = R"(
uniform sampler2D s0;
void main() {
    vec4 c = texture(s0, v_uv0) * v_color;
    o_color = vec4(mix(c.rgb, vec3(1.0), c.a * 0.35), c.a);
}
)";

ShaderFileSection MakeRibbonSection(bool chaos) {
    enum Value : uint32_t { kVertex, kPixel, kSourceAlpha, kOne, kOff, kNoCulling };
    enum Parameter : uint32_t { kObjectToScreen, kBaseTexture };
    ShaderFileSection section;
    section.values = {
        ShaderFileValue::VertexProgram(kSceneSpaceVertexProgram, {{0, 4, false, kObjectToScreen}}),
        ShaderFileValue::PixelProgram(chaos ? kChaosPixelProgram : kTextureTimesColorPixelProgram, {}),
        ShaderFileValue::Int(static_cast<int32_t>(RenderBlendFactor::SourceAlpha)),
        ShaderFileValue::Int(static_cast<int32_t>(RenderBlendFactor::One)),
        ShaderFileValue::Int(static_cast<int32_t>(RenderWriteMode::Off)),
        ShaderFileValue::Int(0),
    };
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
    };
    const auto value = [](ShaderStateCode code, uint32_t index) { return ShaderStateRecord{code, 0, true, index}; };
    section.styles = {{"emissiveStyle",
                       0,
                       {value(ShaderStateCode::VertexProgram, kVertex), value(ShaderStateCode::PixelProgram, kPixel),
                        value(ShaderStateCode::SourceBlend, kSourceAlpha),
                        value(ShaderStateCode::DestinationBlend, kOne), value(ShaderStateCode::DepthWrite, kOff),
                        value(ShaderStateCode::CullMode, kNoCulling),
                        ShaderStateRecord{ShaderStateCode::Texture, 0, false, kBaseTexture}}}};
    return section;
}

// 16 x 16 texels of the colour (0xRRGGBB), opaque in a core across the middle of u and fading to
// the edges; a flat core gives plain white.
bool WriteStreak(FileSystem& files, const char* name, uint32_t rgb, bool flat) {
    constexpr uint32_t kSize = 16;
    std::vector<uint32_t> texels(kSize * kSize);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            const float across = std::fabs((static_cast<float>(x) + 0.5f) / kSize * 2.0f - 1.0f);
            const float alpha = flat ? 1.0f : std::max(0.0f, 1.0f - across * across);
            texels[y * kSize + x] = static_cast<uint32_t>(std::lround(alpha * 255.0f)) << 24 | rgb;
        }
    }
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, kSize, kSize, texels.data(), 0);
    return WriteBinary(files, name, writer);
}

}  // namespace

std::vector<uint8_t> MakeRibbonShaderFile(bool chaos) { return MakeShaderFile(MakeRibbonSection(chaos)); }

bool WriteRibbons(FileSystem& files) {
    const std::vector<uint8_t> ribbon = MakeRibbonShaderFile(false);
    const std::vector<uint8_t> chaos = MakeRibbonShaderFile(true);
    return WriteBytes(files, kRibbonShader, ribbon.data(), static_cast<uint32_t>(ribbon.size())) &&
           WriteBytes(files, kChaosShader, chaos.data(), static_cast<uint32_t>(chaos.size())) &&
           WriteStreak(files, kWhiteTexture, 0xFFFFFF, true) &&
           WriteStreak(files, "Sandbox/Quellan/LightningTESTA.tex", 0xF0F4FF, false) &&
           WriteStreak(files, "Effects/MonsterFX/Daduver_Chaos_Bolt_Line01.tex", 0xB040FF, false) &&
           WriteStreak(files, "SandBox/Tovar/illegal_lightning.tex", 0x60A0FF, false) &&
           WriteText(files, kChaosBeamRecord,
                     std::string("Class,ChaosBeam,\nTextureStretch,6.0,\nTexture,") +
                         "Effects/MonsterFX/Daduver_Chaos_Bolt_Line01.tex,\nShader," + kChaosShader + ",\n") &&
           WriteText(files, kFlyingBoltRecord, "Class,FlyingBolt,\n") &&
           WriteText(files, kTrailRecord,
                     std::string("Class,TrailEffect,\nRed256,255,\nGreen256,200,\nBlue256,120,\nAlpha256,255,\n") +
                         "MSFadeTime,400,\nTexture," + kWhiteTexture + ",\nShader," + kRibbonShader +
                         ",\nTrailShrinkSpeed,2.0,\nTextureRepeat,1,\nDragUVs,1,\nTextureDistance,2.0,\nFadeAlpha,1,\n") &&
           WriteText(files, kWeaponTrailRecord,
                     std::string("Class,WeaponTrail,\nRed256,180,\nGreen256,220,\nBlue256,255,\nAlpha256,200,\n") +
                         "MSFadeTime,250,\nTexture," + kWhiteTexture + ",\nShader," + kRibbonShader +
                         ",\nTrailShrinkSpeed,4.0,\nTextureRepeat,1,\nDragUVs,1,\nTextureDistance,1.0,\nFadeAlpha,1,\n");
}

}  // namespace GAME::sample
