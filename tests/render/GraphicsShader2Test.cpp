#include "render/GraphicsShader2.h"

#include "support/GraphicsTestBed.h"
#include "core/Color.h"
#include "core/Coords.h"
#include "core/Mat4.h"
#include "files/BaseResourceManager.h"
#include "files/BinaryWriter.h"
#include "render/ShaderFileWriter.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace GAME {
namespace {

using test::GraphicsTestBed;
using test::LogCapture;
using test::MakeShaderFile;

const Name kNormal = Name::Create("normal");
const Name kMatrix = Name::Create("objectToScreenMatrix");
const Name kColor = Name::Create("color");
const Name kTint = Name::Create("tint");
const Name kAlphaReference = Name::Create("alphaReference");
const Name kWeights = Name::Create("weights");
const Name kBaseTexture = Name::Create("baseTexture");
const Name kFrame = Name::Create("frame");

// Indices of the reference section.
enum Values : uint32_t { kVertexProgram, kPixelProgram, kSourceAlpha, kInverseSourceAlpha, kWhite, kTextureValue };
enum Parameters : uint32_t { kMatrixParameter, kColorParameter, kTextureParameter, kTintParameter,
                             kAlphaParameter, kWeightsParameter, kFrameParameter };

ShaderStateRecord Record(ShaderStateCode code, bool fromValues, uint32_t index, uint32_t stage = 0) {
    return ShaderStateRecord{code, stage, fromValues, index};
}

// A shader as renderers use it: programs with constants, blending, a texture and a few
// parameters, in two styles.
ShaderFileSection MakeSection(const std::string& generation) {
    ShaderFileSection section;
    section.generation = generation;
    section.values = {
        ShaderFileValue::VertexProgram("vertex program", {{0, 4, false, kMatrixParameter}, {4, 1, false, kColorParameter},
                                                          {5, 3, false, kFrameParameter}}),
        ShaderFileValue::PixelProgram("pixel program", {{0, 1, false, kTintParameter}, {1, 1, false, kWeightsParameter}}),
        ShaderFileValue::Int(6),
        ShaderFileValue::Int(8),
        ShaderFileValue::Float4(1.0f, 1.0f, 1.0f, 1.0f),
        ShaderFileValue::TextureFile("Textures/Missing.dds"),
    };
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"color", ShaderValueType::Float4, 1, kWhite},
        {"baseTexture", ShaderValueType::Texture, 1, kTextureValue},
        {"tint", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault},
        {"alphaReference", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault},
        {"weights", ShaderValueType::Float4, 2, ShaderFileParameter::kNoDefault},
        {"frame", ShaderValueType::Float4x3, 1, ShaderFileParameter::kNoDefault},
    };
    section.styles = {
        {"normal", 5,
         {Record(ShaderStateCode::VertexProgram, true, kVertexProgram),
          Record(ShaderStateCode::PixelProgram, true, kPixelProgram),
          Record(ShaderStateCode::SourceBlend, true, kSourceAlpha),
          Record(ShaderStateCode::DestinationBlend, true, kInverseSourceAlpha),
          Record(ShaderStateCode::Texture, false, kTextureParameter),
          Record(ShaderStateCode::AlphaReference, false, kAlphaParameter)}},
        {"opaque", 2, {Record(ShaderStateCode::DepthWrite, true, kSourceAlpha)}},
    };
    return section;
}

class GraphicsShader2Test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bed.Start()); }

    // Writes the file and loads it through the graphics engine; the shader is loaded when first used.
    const GraphicsShader2* Load(const std::vector<uint8_t>& bytes, const std::string& file = "Shaders/Test.ssh") {
        bed.WriteFile(file, bytes);
        const GraphicsShader2* shader = bed.Graphics().LoadShader2(file);
        EXPECT_NE(shader, nullptr);
        return shader;
    }
    const GraphicsShader2* LoadReference() { return Load(MakeShaderFile({MakeSection("GeForce6")})); }

    // Initialises a shader of its own on the bytes; one that fails keeps nothing of what it read.
    Resource::InitResult Read(const std::vector<uint8_t>& bytes) {
        GraphicsShader2 shader(bed.Graphics().GetShaderResourceManager(), "Shaders/Direct.ssh", bed.Graphics());
        const size_t empty = shader.GetSystemMemoryUsage();
        const Resource::InitResult result = shader.Initialize(bytes.data(), static_cast<uint32_t>(bytes.size()));
        EXPECT_TRUE(result == Resource::InitResult::Success || shader.GetSystemMemoryUsage() == empty);
        return result;
    }

    size_t Count(const std::string& call) { return bed.Device().CountCalls(call); }

    GraphicsTestBed bed;
};

// A file whose section has an extra chunk of an unknown id before its own chunks.
std::vector<uint8_t> InsertChunk(std::vector<uint8_t> file, uint32_t id, uint32_t payloadSize) {
    // Header (4), name length (4), "GeForce6" (8), section size (4), then the body.
    constexpr size_t kSizeField = 16;
    constexpr size_t kBody = 20;
    std::vector<uint8_t> chunk(8 + payloadSize, 0xAB);
    std::memcpy(chunk.data(), &id, 4);
    std::memcpy(chunk.data() + 4, &payloadSize, 4);
    uint32_t sectionSize = 0;
    std::memcpy(&sectionSize, file.data() + kSizeField, 4);
    sectionSize += static_cast<uint32_t>(chunk.size());
    std::memcpy(file.data() + kSizeField, &sectionSize, 4);
    file.insert(file.begin() + kBody, chunk.begin(), chunk.end());
    return file;
}

// -- Reading ------------------------------------------------------------------------------------

TEST_F(GraphicsShader2Test, ReadsTheSectionOfTheCurrentGenerationAndPassesOverTheOthers) {
    ShaderFileSection other = MakeSection("GeForce4");
    other.styles[0].sortOrder = 99;
    const GraphicsShader2* shader = Load(MakeShaderFile({other, MakeSection("GeForce6")}));
    const uint32_t style = shader->FindStyleByName(kNormal);
    ASSERT_EQ(style, 0u);
    EXPECT_EQ(shader->GetSortOrder(style), 5);
    EXPECT_EQ(shader->GetInitResult(), Resource::InitResult::Success);
    EXPECT_TRUE(shader->HasParameter(kTint));
    EXPECT_EQ(bed.Device().GetCalls("CreateVertexShader"), std::vector<std::string>{"CreateVertexShader(data, 14)"});
    // The style with both programs has them prepared as it loads, before any draw; the other has none.
    EXPECT_EQ(bed.Device().GetCalls("PrepareProgram"),
              std::vector<std::string>{"PrepareProgram(vertexShader1, pixelShader1)"});
}

TEST_F(GraphicsShader2Test, RefusesWrongMagicVersionAndMissingGeneration) {
    LogCapture log;
    std::vector<uint8_t> file = MakeShaderFile({MakeSection("GeForce6")});
    std::vector<uint8_t> version = file;
    version[3] = 3;
    EXPECT_EQ(Read(version), Resource::InitResult::InvalidData);
    std::vector<uint8_t> magic = file;
    magic[1] = 'X';  // 'S', 'X', 'H': the first and third bytes match
    EXPECT_EQ(Read(magic), Resource::InitResult::InvalidData);
    EXPECT_EQ(Read(MakeShaderFile({MakeSection("GeForce4"), MakeSection("GeForce3")})),
              Resource::InitResult::InvalidData);
    EXPECT_EQ(Read(std::vector<uint8_t>{'S', 'S'}), Resource::InitResult::InvalidData);
    EXPECT_EQ(log.Count(LogPriority::Error), 4u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "no section for generation GeForce6"));
}

TEST_F(GraphicsShader2Test, EveryTruncationIsRefusedWithoutLeakingDeviceObjects) {
    const std::vector<uint8_t> file = MakeShaderFile({MakeSection("GeForce4"), MakeSection("GeForce6")});
    ASSERT_EQ(Read(file), Resource::InitResult::Success);
    const size_t live = bed.Device().GetNumLiveResources();
    LogCapture log;
    for (size_t length = 0; length < file.size(); ++length) {
        const std::vector<uint8_t> cut(file.begin(), file.begin() + length);
        ASSERT_EQ(Read(cut), Resource::InitResult::InvalidData) << length;
        ASSERT_EQ(bed.Device().GetNumLiveResources(), live) << length;
    }
    EXPECT_EQ(log.Count(LogPriority::Error), file.size());
}

TEST_F(GraphicsShader2Test, RefusesIndicesCountsAndTypesThatDoNotFit) {
    LogCapture log;
    const auto refused = [&](auto change) {
        ShaderFileSection section = MakeSection("GeForce6");
        change(section);
        return Read(MakeShaderFile({section})) == Resource::InitResult::InvalidData;
    };
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.styles[0].records[0].index = 6; }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.styles[0].records[4].index = 7; }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.values[0].bindings[1].index = 7; }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.values[0].bindings[0].firstRegister = 253; }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.values[1].bindings[0].registerLimit = 225; }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.parameters[kColorParameter].defaultValue = 6; }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.parameters[kColorParameter].defaultValue = kSourceAlpha; }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.parameters[kWeightsParameter].elements = 257; }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.styles[0].records[4].stage = 8; }));
    EXPECT_TRUE(
        refused([](ShaderFileSection& s) { s.styles[1].records[0] = Record(ShaderStateCode::AddressU, true, 2, 16); }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.styles[0].records[0].code = ShaderStateCode(24); }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.values[2].type = ShaderValueType(16); }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.values.resize(1001, ShaderFileValue::Int(0)); }));
    EXPECT_TRUE(refused([](ShaderFileSection& s) { s.styles.resize(1001); }));
    EXPECT_EQ(log.Count(LogPriority::Error), 14u);
    // A texture parameter may default to a texture file value; a chunk may hold 1000 of its kind; a
    // binding may end at the last register, or hold none just past it.
    EXPECT_FALSE(refused([](ShaderFileSection&) {}));
    EXPECT_FALSE(refused([](ShaderFileSection& s) { s.values[0].bindings[0].firstRegister = 252; }));
    EXPECT_FALSE(refused([](ShaderFileSection& s) { s.values[1].bindings[0] = {224, 0, false, kTintParameter}; }));
    EXPECT_FALSE(refused([](ShaderFileSection& s) {
        s.values.resize(1000, ShaderFileValue::Int(0));
        s.parameters.resize(1000, {"p", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault});
        s.styles.resize(1000);
    }));
}

TEST_F(GraphicsShader2Test, RefusesStylesOfAnotherKind) {
    std::vector<uint8_t> file = MakeShaderFile({MakeSection("GeForce6")});
    // The kind word of the first style follows its name and sort order.
    const std::string name = "normal";
    const auto at = std::search(file.begin(), file.end(), name.begin(), name.end());
    ASSERT_NE(at, file.end());
    const size_t kind = static_cast<size_t>(at - file.begin()) + name.size() + 4;
    ASSERT_EQ(file[kind], 1);
    file[kind] = 2;
    LogCapture log;
    EXPECT_EQ(Read(file), Resource::InitResult::InvalidData);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "unknown style kind"));
}

TEST_F(GraphicsShader2Test, ReadsTheOlderTypeCodes) {
    // Values 12 and 13 hold three and four floats; value 7 is a texture file; parameter 12 is float3.
    BinaryWriter body;
    body.BeginChunk(1);
    body.Write(4u);
    body.Write(12u);
    for (float f : {1.0f, 2.0f, 3.0f}) body.Write(f);
    body.Write(13u);
    for (float f : {1.0f, 2.0f, 3.0f, 4.0f}) body.Write(f);
    body.Write(7u);
    body.Write(std::string("Textures/Old.dds"));
    body.Write(0u);
    body.Write(5u);
    body.EndChunk();
    body.BeginChunk(0);
    body.Write(1u);
    body.Write(std::string("old"));
    body.Write(12u);
    body.Write(1u);
    body.Write(0u);
    body.Write(0u);
    body.Write(true);
    body.Write(0u);  // defaults to the float3 value
    body.EndChunk();
    BinaryWriter file;
    file.Write("SSH\x04", 4);
    file.Write(std::string("GeForce6"));
    file.Write(body.GetPosition());
    file.Write(body.GetBuffer(), body.GetPosition());
    const GraphicsShader2* shader = Load(std::vector<uint8_t>(file.GetBuffer(), file.GetBuffer() + file.GetPosition()));
    ASSERT_EQ(shader->FindStyleByName(kNormal), GraphicsShader2::kNoStyle);
    EXPECT_EQ(shader->GetInitResult(), Resource::InitResult::Success);
    EXPECT_TRUE(shader->SetFloat3(Name::Create("old"), 0, 1.0f, 2.0f, 3.0f));
    EXPECT_NE(bed.Graphics().GetTextureResourceManager()->GetNumResources(), 0);
}

// -- Drawing -------------------------------------------------------------------------------------

TEST_F(GraphicsShader2Test, ConstantStatesGoOnceAParameterWhenSetAndTheOutermostEndPutsThemBack) {
    const GraphicsShader2* shader = LoadReference();
    ASSERT_TRUE(shader->Begin(shader->FindStyleByName(kNormal)));
    bed.Device().ClearCalls();
    shader->Render("first");
    shader->Render("second");
    EXPECT_EQ(Count("SetVertexShader"), 1u);
    EXPECT_EQ(Count("SetPixelShader"), 1u);
    EXPECT_EQ(bed.Device().GetCalls("SetSourceBlendFactor"), std::vector<std::string>{"SetSourceBlendFactor(6)"});
    EXPECT_EQ(Count("SetDestinationBlendFactor"), 1u);
    // The texture parameter's default (a missing file: the checker board) goes on the first pass.
    EXPECT_EQ(bed.Device().GetCalls("SetTexture"), std::vector<std::string>{"SetTexture(0, texture1)"});
    // The colour's default is a constant of the vertex program: uploaded on the first pass only.
    EXPECT_EQ(bed.Device().GetCalls("SetVertexShaderConstants"),
              std::vector<std::string>{"SetVertexShaderConstants(4, [1, 1, 1, 1], 1)"});
    // Without a value or a default the alpha reference goes back to its default every time.
    EXPECT_EQ(Count("SetAlphaReference"), 2u);
    EXPECT_EQ(bed.Device().GetCalls("SetDebugName"),
              (std::vector<std::string>{"SetDebugName(\"Shaders/Test.ssh\", \"normal\", \"first\")",
                                        "SetDebugName(\"Shaders/Test.ssh\", \"normal\", \"second\")"}));
    EXPECT_TRUE(bed.Device().GetErrors().empty());

    // A parameter goes to the device only after it was set.
    bed.Device().ClearCalls();
    EXPECT_TRUE(shader->SetFloat4(kTint, 0, 0.5f, 0.25f, 0.0f, 1.0f));
    shader->Render("third");
    shader->Render("fourth");
    EXPECT_EQ(bed.Device().GetCalls("SetPixelShaderConstants"),
              std::vector<std::string>{"SetPixelShaderConstants(0, [0.5, 0.25, 0, 1], 1)"});
    EXPECT_EQ(Count("SetVertexShaderConstants"), 0u);
    EXPECT_EQ(Count("SetVertexShader"), 0u);

    // The outermost End puts the style's states back; the next Begin sends them again.
    bed.Device().ClearCalls();
    shader->End();
    EXPECT_EQ(bed.Device().GetCalls(),
              (std::vector<std::string>{"SetVertexShader(null)", "SetPixelShader(null)", "SetSourceBlendFactor(0)",
                                        "SetDestinationBlendFactor(1)", "SetTexture(0, null)", "SetAlphaReference(0)",
                                        "SetDebugName(null, null, null)"}));
    ASSERT_TRUE(shader->Begin(0));
    bed.Device().ClearCalls();
    shader->Render("again");
    EXPECT_EQ(Count("SetVertexShader"), 1u);
    shader->End();
}

// Also with more parameters than a Render's masks hold (it then asks every binding).
TEST_F(GraphicsShader2Test, ParametersFallBackToTheirDefaultsWhenTheirBeginDepthEnds) {
    for (const size_t parameters : {size_t(7), size_t(65)}) {
        ShaderFileSection section = MakeSection("GeForce6");
        section.parameters.resize(parameters, {"p", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault});
        const GraphicsShader2* shader =
            Load(MakeShaderFile({section}), "Shaders/Parameters" + std::to_string(parameters) + ".ssh");
        ASSERT_TRUE(shader->Begin(0));
        shader->Render("first");
        bed.Device().ClearCalls();
        const auto nestedPass = [shader](float green, bool render = true) {
            shader->Begin();
            EXPECT_TRUE(shader->SetFloat4(kColor, 0, 1.0f, green, 0.0f, 1.0f));
            EXPECT_TRUE(shader->SetTexture(kBaseTexture, 0, nullptr));
            if (render) shader->Render("pass");
            shader->End();
        };
        nestedPass(0.0f);
        shader->Render("after");
        nestedPass(0.0f);
        nestedPass(0.0f);  // set back to what the device holds: nothing goes
        shader->Render("after");
        nestedPass(1.0f, false);
        nestedPass(1.0f);  // never sent
        const std::string red = "SetVertexShaderConstants(4, [1, 0, 0, 1], 1)";
        const std::string white = "SetVertexShaderConstants(4, [1, 1, 1, 1], 1)";
        EXPECT_EQ(bed.Device().GetCalls("SetVertexShaderConstants"),
                  (std::vector<std::string>{red, white, red, white, "SetVertexShaderConstants(4, [1, 1, 0, 1], 1)"}));
        // The inner End leaves the style's states alone.
        EXPECT_EQ(Count("SetVertexShader"), 0u);
        shader->End();
    }
}

// Every state a style can hold reaches the device as it is, and the outermost End puts each back
// to its default (the filters keep what was set; 12 to 14 drive nothing).
TEST_F(GraphicsShader2Test, EveryStateGoesToTheDeviceAndBackToItsDefault) {
    ShaderFileSection section = MakeSection("GeForce6");
    section.values.push_back(ShaderFileValue::Int(2));
    section.values.push_back(ShaderFileValue::Int(0));
    section.values.push_back(ShaderFileValue::Float4(0.25f, 0.5f, 0.75f, 1.0f));
    const uint32_t two = 6, zero = 7, colour = 8;
    ShaderFileStyle every{"every", 0, {Record(ShaderStateCode::Texture, true, kTextureValue, 3)}};
    for (uint32_t code = 3; code < kNumShaderStateCodes; ++code) {
        const bool mode = code == 8 || code == 9 || code == 19;  // the write modes: on by default
        every.records.push_back(Record(ShaderStateCode(code), true, code == 22 ? colour : mode ? zero : two, 3));
    }
    section.styles.push_back(every);
    const GraphicsShader2* shader = Load(MakeShaderFile({section}));
    ASSERT_TRUE(shader->Begin(2));
    bed.Device().ClearCalls();
    shader->Render("every");
    EXPECT_EQ(bed.Device().GetCalls(),
              (std::vector<std::string>{"SetDebugName(\"Shaders/Test.ssh\", \"every\", \"every\")",
                                        "SetTexture(3, texture1)",
                                        "SetSourceBlendFactor(2)",
                                        "SetDestinationBlendFactor(2)",
                                        "SetDepthTestFunction(2)",
                                        "SetAlphaTestFunction(2)",
                                        "SetAlphaReference(0.00784314)",
                                        "SetColorWriteMode(0)",
                                        "SetDepthWriteMode(0)",
                                        "SetSamplerState(3, 0, 2)",
                                        "SetSamplerState(3, 1, 2)",
                                        "SetSamplerState(3, 3, 2)",
                                        "SetSamplerState(3, 4, 2)",
                                        "SetSamplerState(3, 5, 2)",
                                        "SetRenderStateA(2)",
                                        "SetAlphaWriteMode(0)",
                                        "SetRenderStateB(2)",
                                        "SetRenderStateC(2)",
                                        "SetRenderStateD((0.25, 0.5, 0.75, 1))",
                                        "SetRenderStateE(2)"}));
    bed.Device().ClearCalls();
    shader->End();
    EXPECT_EQ(bed.Device().GetCalls(),
              (std::vector<std::string>{
                  "SetTexture(3, null)", "SetSourceBlendFactor(0)", "SetDestinationBlendFactor(1)",
                  "SetDepthTestFunction(3)", "SetAlphaTestFunction(7)", "SetAlphaReference(0)", "SetColorWriteMode(1)",
                  "SetDepthWriteMode(1)", "SetSamplerState(3, 0, 0)", "SetSamplerState(3, 1, 0)", "SetRenderStateA(0)",
                  "SetAlphaWriteMode(1)", "SetRenderStateB(0)", "SetRenderStateC(0)", "SetRenderStateD((1, 1, 1, 1))",
                  "SetRenderStateE(0)", "SetDebugName(null, null, null)"}));
}

TEST_F(GraphicsShader2Test, SettersCheckNameTypeElementAndBeginDepth) {
    const GraphicsShader2* shader = LoadReference();
    ASSERT_TRUE(shader->Begin(0));
    static const GraphicsShader2::ParameterList kList{"weights", "absent", "color"};
    const uint32_t* const index = shader->GetParameterIndices(kList);
    EXPECT_EQ(std::vector<uint32_t>(index, index + 3),
              (std::vector<uint32_t>{kWeightsParameter, GraphicsShader2::kNoParameter, kColorParameter}));
    EXPECT_FALSE(shader->SetFloat(kColor, 0, 1.0f));               // a float4 parameter
    EXPECT_TRUE(shader->SetFloat(Name::Create("absent"), 0, 1.0f));  // not an error
    EXPECT_TRUE(shader->SetFloat(index[1], 0, 1.0f));
    EXPECT_FALSE(shader->HasParameter(Name::Create("absent")));
    EXPECT_TRUE(shader->SetFloat4(index[0], 1, 1.0f, 2.0f, 3.0f, 4.0f));
    EXPECT_FALSE(shader->SetFloat4(index[0], 2, 1.0f, 2.0f, 3.0f, 4.0f));
    EXPECT_FALSE(shader->SetInt(kAlphaReference, 0, 1));
    EXPECT_TRUE(shader->SetFloat4(kTint, 0, 1.0f, 1.0f, 1.0f, 1.0f));
    shader->Begin();
    EXPECT_FALSE(shader->SetFloat4(kTint, 0, 0.0f, 0.0f, 0.0f, 0.0f));  // set during the outer depth
    EXPECT_TRUE(shader->SetFloat4(index[2], 0, 0.0f, 0.0f, 0.0f, 0.0f));
    shader->End();
    shader->End();
}

TEST_F(GraphicsShader2Test, ArraysSendTheElementsSetAndMatricesTheirRows) {
    const GraphicsShader2* shader = LoadReference();
    ASSERT_TRUE(shader->Begin(0));
    shader->Render("first");
    bed.Device().ClearCalls();
    // The weights' binding reserves one register: the second element is cut off.
    EXPECT_TRUE(shader->SetFloat4(kWeights, 1, 5.0f, 6.0f, 7.0f, 8.0f));
    const Mat4 matrix(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_TRUE(shader->SetFloat4x4(kMatrix, 0, matrix));
    const Coords frame(Vec3(1, 2, 3), Vec3(4, 5, 6), Vec3(7, 8, 9), Vec3(10, 11, 12));
    EXPECT_TRUE(shader->SetFloat4x3(kFrame, 0, frame));
    shader->Render("second");
    EXPECT_EQ(bed.Device().GetCalls("SetVertexShaderConstants"),
              (std::vector<std::string>{
                  "SetVertexShaderConstants(0, [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16], 4)",
                  "SetVertexShaderConstants(5, [1, 4, 7, 10, 2, 5, 8, 11, 3, 6, 9, 12], 3)"}));
    EXPECT_EQ(bed.Device().GetCalls("SetPixelShaderConstants"),
              std::vector<std::string>{"SetPixelShaderConstants(1, [0, 0, 0, 0], 1)"});
    // A texture parameter binds the texture given.
    EXPECT_TRUE(shader->SetTexture(kBaseTexture, 0, bed.Graphics().GetEmptyTexture()));
    bed.Device().ClearCalls();
    shader->Render("third");
    EXPECT_EQ(bed.Device().GetCalls("SetTexture"), std::vector<std::string>{"SetTexture(0, texture2)"});
    shader->End();
}

// Absent styles cannot begin; textures are queued; every element counts (4 float4s, 2 textures more).
TEST_F(GraphicsShader2Test, AbsentStylesDependentTexturesAndTheMemoryOfEveryElement) {
    const GraphicsShader2* shader = LoadReference();
    EXPECT_EQ(shader->FindStyleByName(Name::Create("absent")), GraphicsShader2::kNoStyle);
    EXPECT_FALSE(shader->Begin(GraphicsShader2::kNoStyle));
    EXPECT_FALSE(shader->Begin(2));
    EXPECT_EQ(shader->GetSortOrder(GraphicsShader2::kNoStyle), 0);
    EXPECT_TRUE(shader->Begin(1));
    EXPECT_EQ(shader->GetSortOrder(1), 2);
    shader->End();
    EXPECT_TRUE(shader->GetIsReadyToUse());
    const int queued = bed.GetLoader().GetNumQueued();
    shader->PreLoadDependentResources();
    EXPECT_EQ(bed.GetLoader().GetNumQueued(), queued + 1);
    const size_t reference = shader->GetSystemMemoryUsage();
    ShaderFileSection section = MakeSection("GeForce6");
    section.parameters[kWeightsParameter].elements = 6;
    section.parameters[kTextureParameter].elements = 3;
    const GraphicsShader2* wide = Load(MakeShaderFile({section}), "Shaders/Wide.ssh");
    ASSERT_EQ(wide->FindStyleByName(kNormal), 0u);
    EXPECT_EQ(wide->GetSystemMemoryUsage() - reference, 4 * 4 * sizeof(float) + 2 * sizeof(const RenderTexture*));
}

TEST_F(GraphicsShader2Test, ColourStatesTakePackedIntegersAndFloats) {
    ShaderFileSection section = MakeSection("GeForce6");
    section.values.push_back(ShaderFileValue::Int(static_cast<int32_t>(0x80FF0000u)));
    section.values.push_back(ShaderFileValue::Float3(0.0f, 1.0f, 0.0f));
    section.values.push_back(ShaderFileValue::Int(128));
    section.styles[1].records = {Record(ShaderStateCode::ConstantColor, true, 6),
                                 Record(ShaderStateCode::AlphaReference, true, 8)};
    section.styles.push_back({"green", 0, {Record(ShaderStateCode::ConstantColor, true, 7)}});
    const GraphicsShader2* shader = Load(MakeShaderFile({section}));
    ASSERT_TRUE(shader->Begin(1));
    bed.Device().ClearCalls();
    shader->Render("packed");
    EXPECT_EQ(bed.Device().GetCalls("SetRenderStateD"), std::vector<std::string>{"SetRenderStateD((1, 0, 0, 0.501961))"});
    EXPECT_EQ(bed.Device().GetCalls("SetAlphaReference"), std::vector<std::string>{"SetAlphaReference(0.501961)"});
    shader->End();
    ASSERT_TRUE(shader->Begin(2));
    bed.Device().ClearCalls();
    shader->Render("float");
    EXPECT_EQ(bed.Device().GetCalls("SetRenderStateD"), std::vector<std::string>{"SetRenderStateD((0, 1, 0, 1))"});
    shader->End();
}

// (Its file has a chunk of an unknown id, which the reader passes over.)
TEST_F(GraphicsShader2Test, DestroyReleasesProgramsAndTextures) {
    const size_t live = bed.Device().GetNumLiveResources();
    const GraphicsShader2* shader = Load(InsertChunk(MakeShaderFile({MakeSection("GeForce6")}), 7, 12));
    EXPECT_EQ(shader->FindStyleByName(kNormal), 0u);
    EXPECT_EQ(shader->GetInitResult(), Resource::InitResult::Success);
    EXPECT_EQ(bed.Device().GetNumLiveResources(), live + 2);
    EXPECT_GT(shader->GetVideoMemoryUsage(), 0u);
    const_cast<GraphicsShader2*>(shader)->Destroy();
    EXPECT_EQ(bed.Device().GetNumLiveResources(), live);
    EXPECT_EQ(shader->GetVideoMemoryUsage(), 0u);
    bed.Graphics().GetTextureResourceManager()->UnloadUnreferencedResources();
    EXPECT_EQ(bed.Graphics().GetTextureResourceManager()->GetNumResources(), 0);
}

TEST_F(GraphicsShader2Test, AProgramTheDeviceCannotMakeIsAPassingTrouble) {
    bed.Device().Script().failCreates = true;
    EXPECT_EQ(Read(MakeShaderFile({MakeSection("GeForce6")})), Resource::InitResult::PartlyInitialized);
    bed.Device().Script().deviceLost = true;
    EXPECT_EQ(Read(MakeShaderFile({MakeSection("GeForce6")})), Resource::InitResult::Retry);
}

}  // namespace
}  // namespace GAME
