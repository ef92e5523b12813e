#include "support/GLEngineBed.h"

#include "core/Color.h"
#include "files/BaseResourceManager.h"
#include "files/File.h"
#include "files/Options.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsEngineSettings.h"
#include "render/ShaderFileWriter.h"
#include "support/GLGraphicsBed.h"
#include "support/GraphicsTestBed.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace GAME::test {

namespace {

ShaderFileSection MakeBasicSection() {
    enum Value : uint32_t { kVertex, kPixel, kSourceAlpha, kInverseSourceAlpha, kWhite };
    enum Parameter : uint32_t { kMatrix, kColor, kTexture };
    ShaderFileSection section;
    section.generation = "GeForce6";
    section.values = {
        ShaderFileValue::VertexProgram(R"(
void main() {
    vec4 p = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    v_color = a_color * vc[4];
    v_uv0 = a_texcoord0.xy;
}
)",
                                       {{0, 4, false, kMatrix}, {4, 1, false, kColor}}),
        ShaderFileValue::PixelProgram(R"(
uniform sampler2D s0;
void main() {
    o_color = texture(s0, v_uv0) * v_color;
}
)",
                                      {}),
        ShaderFileValue::Int(static_cast<int32_t>(RenderBlendFactor::SourceAlpha)),
        ShaderFileValue::Int(static_cast<int32_t>(RenderBlendFactor::InverseSourceAlpha)),
        ShaderFileValue::Float4(1.0f, 1.0f, 1.0f, 1.0f),
    };
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"color", ShaderValueType::Float4, 1, kWhite},
        {"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
    };
    const auto record = [](ShaderStateCode code, bool fromValues, uint32_t index) {
        return ShaderStateRecord{code, 0, fromValues, index};
    };
    section.styles = {{"normal",
                       0,
                       {record(ShaderStateCode::VertexProgram, true, kVertex),
                        record(ShaderStateCode::PixelProgram, true, kPixel),
                        record(ShaderStateCode::SourceBlend, true, kSourceAlpha),
                        record(ShaderStateCode::DestinationBlend, true, kInverseSourceAlpha),
                        record(ShaderStateCode::Texture, false, kTexture)}}};
    return section;
}

}  // namespace

GLEngineBed::GLEngineBed(bool withInput) : window_(kWidth, kHeight) {
    const auto write = [this](const std::string& name, const std::vector<uint8_t>& bytes) {
        std::filesystem::create_directories(std::filesystem::path(directory_.Join(name)).parent_path());
        std::ofstream(directory_.Join(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    const std::vector<uint8_t> shader = MakeShaderFile({MakeBasicSection()});
    write(GraphicsEngine::kBasicShader, shader);
    write(GraphicsEngine::kOverlayShader, shader);
    write(kBlockFont, BlockFont::Write());
    // 96 at 768 lines is the block font's own size at kHeight lines.
    const std::string style = std::string("fontName,") + kBlockFont + ",\nfontSize,96,\nlowResMinimumFontSize,8,\n";
    write(Engine::kUtilityFontStyle, std::vector<uint8_t>(style.begin(), style.end()));
    write("Text/English.txt", {});
    if (window_.Get() == nullptr || !files_.AddDirectory(directory_.GetPath(), true)) return;
    engine_.SetLogPath(directory_.Join("Logs"));
    Options& options = *engine_.GetOptions();
    options.SetInt2(Options::Int2Name::resolution, {kWidth, kHeight});
    options.SetBool(Options::BoolName::fullscreen, false);
    options.SetQuality(Options::QualityName::detailLevel, 2);
    GraphicsEngineSettings settings;
    settings.width = kWidth;
    settings.height = kHeight;
    ready_ = engine_.Initialize(window_.Get(), settings, !withInput, false, &files_) && Canvas().BeginFrame();
}

GLEngineBed::~GLEngineBed() {
    // A test may have shut the engine down itself.
    if (ready_ && engine_.GetGraphicsEngine() != nullptr) Canvas().EndFrame();
    engine_.Shutdown();
}

void GLEngineBed::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    File* file = files_.OpenFile(name, FileMode::Write);
    if (file == nullptr || !file->Write(0, bytes.data(), static_cast<uint32_t>(bytes.size()))) {
        throw std::runtime_error("cannot write " + name);
    }
    files_.CloseFile(file);
}

GraphicsEngine& GLEngineBed::Graphics() const { return *engine_.GetGraphicsEngine(); }
GraphicsCanvas& GLEngineBed::Canvas() const { return *Graphics().GetCanvas(); }
RenderDevice& GLEngineBed::Device() const { return *Graphics().GetRenderDevice(); }

void GLEngineBed::Clear() {
    Canvas().SetDefaultState();
    Canvas().SetViewport(Viewport(0, 0, kWidth, kHeight));
    Canvas().ClearRenderSurface(nullptr, Color(0.0f, 0.0f, 0.0f, 1.0f),
                                RenderDevice::kClearColor | RenderDevice::kClearDepth);
}

std::vector<uint32_t> GLEngineBed::ReadPixels() const { return ReadPrimaryPixels(Graphics()); }

std::vector<int> GLEngineBed::FindDrawn(uint32_t background) const {
    return test::FindDrawn(ReadPixels(), kWidth, kHeight, background);
}

std::pair<int, int> GLEngineBed::HeldResources() const {
    Graphics().UnloadUnreferencedResources();
    return {Graphics().GetTextureResourceManager()->GetNumResources(),
            Graphics().GetShaderResourceManager()->GetNumResources()};
}

}  // namespace GAME::test
