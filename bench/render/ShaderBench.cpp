// Shader Render calls per second on the GL device (offscreen window), for a style as renderers use
// it: vertex and pixel programs, blending, depth and sampler states, a texture and five constant
// bindings. Between Renders the caller changes three parameters; state filtering sends those three
// constants and nothing else. For comparison: Renders with nothing changed, and Renders that are
// each the first of a Begin (every state and constant sent, then reset by End).

#include <benchmark/benchmark.h>

#include "BenchEngine.h"
#include "core/Mat4.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/ShaderFileWriter.h"

#include <memory>
#include <vector>

namespace {

using namespace GAME;

const char* const kVertexProgram = R"(
void main() {
    vec4 p = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p)) + vc[5] * vc[6].x;
    v_color = a_color * vc[4];
    v_uv0 = a_texcoord0.xy;
}
)";

const char* const kPixelProgram = R"(
uniform sampler2D s0;
void main() {
    o_color = texture(s0, v_uv0) * v_color * pc[0];
}
)";

std::vector<uint8_t> MakeShaderFile() {
    enum Value : uint32_t { kVertex, kPixel, kSourceAlpha, kInverseSourceAlpha, kClamp, kWhite };
    enum Parameter : uint32_t { kMatrix, kColor, kOffset, kScale, kTint, kTexture };
    ShaderFileSection section;
    section.generation = "GeForce6";
    section.values = {
        ShaderFileValue::VertexProgram(kVertexProgram, {{0, 4, false, kMatrix}, {4, 1, false, kColor},
                                                        {5, 1, false, kOffset}, {6, 1, false, kScale}}),
        ShaderFileValue::PixelProgram(kPixelProgram, {{0, 1, false, kTint}}),
        ShaderFileValue::Int(static_cast<int32_t>(RenderBlendFactor::SourceAlpha)),
        ShaderFileValue::Int(static_cast<int32_t>(RenderBlendFactor::InverseSourceAlpha)),
        ShaderFileValue::Int(1),
        ShaderFileValue::Float4(1.0f, 1.0f, 1.0f, 1.0f),
    };
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"color", ShaderValueType::Float4, 1, kWhite},
        {"offset", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault},
        {"scale", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault},
        {"tint", ShaderValueType::Float4, 1, kWhite},
        {"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
    };
    const auto fromValue = [](ShaderStateCode code, uint32_t index) { return ShaderStateRecord{code, 0, true, index}; };
    section.styles = {{"normal",
                       0,
                       {fromValue(ShaderStateCode::VertexProgram, kVertex),
                        fromValue(ShaderStateCode::PixelProgram, kPixel),
                        fromValue(ShaderStateCode::SourceBlend, kSourceAlpha),
                        fromValue(ShaderStateCode::DestinationBlend, kInverseSourceAlpha),
                        fromValue(ShaderStateCode::AddressU, kClamp),
                        fromValue(ShaderStateCode::AddressV, kClamp),
                        ShaderStateRecord{ShaderStateCode::Texture, 0, false, kTexture}}}};
    BinaryWriter writer;
    ShaderFileWriter::Write(writer, {section});
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

// The shader, made once on the benchmark engine's graphics.
struct Scene {
    std::unique_ptr<GraphicsShader2> shader;
    uint32_t style = 0;

    static Scene& Get() {
        static Scene* const scene = new Scene();
        return *scene;
    }

private:
    Scene() {
        GraphicsEngine& graphics = *bench::BenchEngine::Get().GetGraphicsEngine();
        shader = std::make_unique<GraphicsShader2>(graphics.GetShaderResourceManager(), "Bench.ssh", graphics);
        const std::vector<uint8_t> file = MakeShaderFile();
        if (shader->Initialize(file.data(), static_cast<uint32_t>(file.size())) != Resource::InitResult::Success) {
            bench::BenchEngine::Fail("the shader does not load");
        }
    }
};

const Name kMatrix = Name::Create("objectToScreenMatrix");
const Name kOffset = Name::Create("offset");
const Name kScale = Name::Create("scale");

void BM_ShaderRenderThreeParametersChanged(benchmark::State& state) {
    Scene& scene = Scene::Get();
    const GraphicsShader2& shader = *scene.shader;
    shader.Begin(scene.style);
    shader.Render("first");
    int64_t renders = 0;
    for (auto _ : state) {
        const float x = float(renders & 63) * (1.0f / 64.0f);
        shader.SetFloat4x4(kMatrix, 0, Mat4(1, 0, 0, x, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
        shader.SetFloat4(kOffset, 0, x, x, 0.0f, 0.0f);
        shader.SetFloat(kScale, 0, x);
        shader.Render("bench");
        ++renders;
    }
    shader.End();
    state.SetItemsProcessed(renders);
}
BENCHMARK(BM_ShaderRenderThreeParametersChanged);

void BM_ShaderRenderNothingChanged(benchmark::State& state) {
    Scene& scene = Scene::Get();
    const GraphicsShader2& shader = *scene.shader;
    shader.Begin(scene.style);
    shader.Render("first");
    for (auto _ : state) shader.Render("bench");
    shader.End();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ShaderRenderNothingChanged);

void BM_ShaderBeginRenderEnd(benchmark::State& state) {
    Scene& scene = Scene::Get();
    const GraphicsShader2& shader = *scene.shader;
    for (auto _ : state) {
        shader.Begin(scene.style);
        shader.Render("bench");
        shader.End();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ShaderBeginRenderEnd);

}  // namespace
