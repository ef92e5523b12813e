#include "SampleNoise.h"

#include "SampleData.h"

#include "files/BinaryWriter.h"
#include "render/GraphicsNoiseGen.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"

namespace GAME::sample {

namespace {

const char* const kQuadVertexProgram = R"(
void main() {
    gl_Position = vec4(a_position.xy, 0.0, 1.0);
    v_color = vec4(1.0);
    v_uv0 = a_texcoord0.xy;
}
)";

// pc[0] blend factors, pc[1] levels, pc[2] tilings. Four layers in one pass carry four tilings;
// two passes give two layers a pass, their fades and levels in x and w and their tilings in x and
// y (z is 0), and the second pass adds its two to the first's.
const char* const kCompositePixelProgram = R"(
uniform sampler2D s0; uniform sampler2D s1; uniform sampler2D s2; uniform sampler2D s3;
uniform sampler2D s4; uniform sampler2D s5; uniform sampler2D s6; uniform sampler2D s7;
float Layer(sampler2D from, sampler2D to, float fade, float level, float tiling) {
    vec2 uv = v_uv0 * tiling;
    return mix(texture(from, uv).r, texture(to, uv).r, fade) * level;
}
void main() {
    float height;
    if (pc[2].z == 0.0) {
        height = Layer(s0, s1, pc[0].x, pc[1].x, pc[2].x) + Layer(s2, s3, pc[0].w, pc[1].w, pc[2].y);
    } else {
        height = Layer(s0, s1, pc[0].x, pc[1].x, pc[2].x) + Layer(s2, s3, pc[0].y, pc[1].y, pc[2].y) +
                 Layer(s4, s5, pc[0].z, pc[1].z, pc[2].z) + Layer(s6, s7, pc[0].w, pc[1].w, pc[2].w);
    }
    o_color = vec4(vec3(height), 1.0);
}
)";

// pc[3].x one texel.
const char* const kConvertPixelProgram = R"(
uniform sampler2D s0;
void main() {
    float texel = pc[3].x;
    float dx = texture(s0, v_uv0 + vec2(texel, 0.0)).r - texture(s0, v_uv0 - vec2(texel, 0.0)).r;
    float dy = texture(s0, v_uv0 + vec2(0.0, texel)).r - texture(s0, v_uv0 - vec2(0.0, texel)).r;
    o_color = vec4(normalize(vec3(-dx, -dy, 0.25)) * 0.5 + 0.5, 1.0);
}
)";

ShaderFileSection MakeNoiseSection() {
    enum Value : uint32_t { kVertex, kComposite, kConvert, kOne };
    enum Parameter : uint32_t { kBlend, kLevel, kScale, kOffset, kTexture0 };
    ShaderFileSection section;
    section.values = {
        ShaderFileValue::VertexProgram(kQuadVertexProgram, {}),
        ShaderFileValue::PixelProgram(kCompositePixelProgram,
                                      {{0, 1, false, kBlend}, {1, 1, false, kLevel}, {2, 1, false, kScale}}),
        ShaderFileValue::PixelProgram(kConvertPixelProgram, {{3, 1, false, kOffset}}),
        ShaderFileValue::Int(static_cast<int32_t>(RenderBlendFactor::One)),
    };
    section.parameters = {
        {"blendFactor", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault},
        {"level", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault},
        {"textureScale", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault},
        {"textureOffset", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault},
    };
    for (int i = 0; i < 8; ++i) {
        section.parameters.push_back(
            {"texture" + std::to_string(i), ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault});
    }
    const auto style = [](const char* name, uint32_t program, uint32_t textures) {
        ShaderFileStyle result{name, 0,
                               {{ShaderStateCode::VertexProgram, 0, true, kVertex},
                                {ShaderStateCode::PixelProgram, 0, true, program}}};
        for (uint32_t i = 0; i < textures; ++i) result.records.push_back({ShaderStateCode::Texture, i, false, kTexture0 + i});
        return result;
    };
    ShaderFileStyle add = style("compositeAddStyle", kComposite, 4);
    add.records.push_back({ShaderStateCode::SourceBlend, 0, true, kOne});
    add.records.push_back({ShaderStateCode::DestinationBlend, 0, true, kOne});
    section.styles = {style("compositeBaseStyle", kComposite, 8), add, style("convertStyle", kConvert, 1)};
    return section;
}

}  // namespace

bool WriteNoise(FileSystem& files) {
    const std::vector<uint8_t> shader = MakeNoiseShaderFile();
    return WriteBytes(files, GraphicsNoiseGen::kShaderFile, shader.data(), uint32_t(shader.size())) &&
           WriteText(files, kNoiseRecord,
                     "Class,NoiseTexture,\nsize,64,\nlevels,0.4;0.3;0.2;0.1,\nrates,0.1;0.2;0.4;0.8,\n");
}

std::vector<uint8_t> MakeNoiseShaderFile() { return MakeShaderFile(MakeNoiseSection()); }

}  // namespace GAME::sample
