#include "SampleData.h"

#include "FontRasterizer.h"
#include "LevelBuilder.h"
#include "MapBuilder.h"
#include "SampleAmbiance.h"
#include "SampleAnimations.h"
#include "SampleDecals.h"
#include "SampleEffects.h"
#include "SampleGrid.h"
#include "SampleMeshShaders.h"
#include "SampleMeshes.h"
#include "SampleNoise.h"
#include "SampleOutdoors.h"
#include "SamplePhysics.h"
#include "SampleRibbons.h"
#include "SampleScene.h"
#include "SampleTerrain.h"
#include "SampleTiles.h"
#include "SampleYard.h"
#include "SampleWater.h"

#include "core/Log.h"
#include "core/System.h"
#include "engine/Engine.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "files/Options.h"
#include "files/TableDepot.h"
#include "platform/VideoFileWriter.h"
#include "render/DeviceFontFile.h"
#include "render/GraphicsEngine.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "render/StyleManager.h"
#include "render/TextureFileWriter.h"
#include "terrain/Terrain.h"
#include "world/Region.h"
#include "world/RegionRecord.h"
#include "world/SectorDataManager.h"
#include "world/World.h"
#include "world/WorldFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace GAME::sample {

// -- Files ----------------------------------------------------------------------------------------

bool WriteBytes(FileSystem& files, const std::string& name, const void* data, uint32_t size) {
    File* file = files.OpenFile(name, FileMode::Write);
    const bool written = file != nullptr && (size == 0 || file->Write(0, data, size));
    if (file != nullptr) files.CloseFile(file);
    if (!written) Log(LogPriority::Error, "Sample data: %s could not be written", name.c_str());
    return written;
}

bool WriteText(FileSystem& files, const std::string& name, const std::string& text) {
    return WriteBytes(files, name, text.data(), static_cast<uint32_t>(text.size()));
}

bool WriteBinary(FileSystem& files, const std::string& name, const BinaryWriter& writer) {
    return !writer.Failed() && WriteBytes(files, name, writer.GetBuffer(), writer.GetPosition());
}

const char* const kSceneSpaceVertexProgram = R"(
void main() {
    vec4 p = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    v_color = a_color;
    v_uv0 = a_texcoord0.xy;
}
)";

const char* const kTextureTimesColorPixelProgram = R"(
uniform sampler2D s0;
void main() {
    o_color = texture(s0, v_uv0) * v_color;
}
)";

namespace {

// -- Settings, text and records ---------------------------------------------------------------------

bool WriteOptions(const std::string& directory) {
    using Bool = Options::BoolName;
    using Quality = Options::QualityName;
    Options options;
    options.SetInt2(Options::Int2Name::resolution, {640, 480});
    options.SetBool(Bool::fullscreen, false);
    options.SetBool(Bool::syncToRefresh, false);
    options.SetQuality(Quality::detailLevel, 2);
    options.SetQuality(Quality::textureQuality, 2);
    options.SetQuality(Quality::shadowQuality, 1);
    options.SetQuality(Quality::reflectionQuality, 2);  // the water reflects
    return options.Save(directory + "/" + kOptionsFile);
}

// Font styles. At the sample resolution (480 lines) sizes scale by 480 / 768: the title's 32
// becomes 20, the body's 16 and the utility style's 12 fall below 12 and become 12 in the default
// font.
bool WriteStyles(FileSystem& files) {
    return WriteText(files, Engine::kUtilityFontStyle,
                     "fontName,Fonts/Arial.fnt,\nfontSize,12,\nfontDropShadow,1,\n") &&
           WriteText(files, kTitleStyle,
                     "fontSize,32,\nfontShadowDistance,2,\nfontDropShadow,1,\nfontAttribBold,1,\n"
                     "fontColorRed,1.0,\nfontColorGreen,0.82,\nfontColorBlue,0.35,\n") &&
           WriteText(files, kBodyStyle,
                     "fontName,Fonts/Arial.fnt,\nfontSize,16,\nlowResFontName,Fonts/Arial.fnt,\n"
                     "fontColorRed,0.9,\nfontColorGreen,0.92,\nfontColorBlue,0.95,\n");
}

bool WriteTextAndRecords(FileSystem& files) {
    return WriteText(files, "Text/English.txt",
                     "tagInstallerText35=Your graphics hardware cannot run this program.\n"
                     "tagGraphicsDeviceError=The graphics device could not be started.\n"
                     "tagGraphicsEngineError=The graphics engine could not be started.\n"
                     "tagSampleGreeting=Hello from the sample data\n") &&
           WriteText(files, kEntityRecord, "Class,Entity,\n") &&
           WriteText(files, kActorRecord, "Class,Actor,\ncastsShadows,1,\n") && WriteStyles(files) &&
           WriteText(files, kGrassTerrainType,
                     "Class,TerrainType,\nTextureFileName1,Textures/Terrain/Grass.dds,\nsurfaceType,Grass,\n"
                     "minimapRed,60,\nminimapGreen,140,\nminimapBlue,50,\n"
                     "BladeTextureFileName,Textures/Terrain/Blades.dds,\nBladeVariations,2,\nBladeSpacing,1,\n"
                     "BladeWidth,0.4,\nBladeHeight,1.2,\nMinimumBladeOpacity,40,\n") &&
           WriteText(files, kRockTerrainType,
                     "Class,TerrainType,\nTextureFileName1,Textures/Terrain/Rock.dds,\nsurfaceType,Stone,\n"
                     "minimapRed,120,\nminimapGreen,115,\nminimapBlue,110,\n");
}

// -- Shaders ----------------------------------------------------------------------------------------

// The generations every sample shader has a section for: the device's own (GeForce6) and the two
// that lower detail levels select on it.
const char* const kGenerations[] = {"GeForce6", "GeForce4", "GeForce3"};

// Programs see the device's registers vc[] (vertex) and pc[] (pixel), the attributes a_* and the
// varyings v_color and v_uv0 (see the GL device). Matrices arrive as rows.
const char* const kTransformVertexProgram = R"(
void main() {
    vec4 position = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], position), dot(vc[1], position), dot(vc[2], position), dot(vc[3], position));
    v_color = a_color * vc[4];
    v_uv0 = a_texcoord0.xy;
}
)";

// The filter programs read eight samples at the offsets pc[0] to pc[7].
const char* const kBlurPixelProgram = R"(
uniform sampler2D s0;
void main() {
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 8; ++i) {
        float weight = i < 4 ? pc[8][i] : pc[9][i - 4];
        sum += texture(s0, v_uv0 + pc[i].xy) * weight;
    }
    o_color = sum * v_color;
}
)";

// The blur of the generations before pixel shader version 5, which blur in two passes of four
// samples (pc[0] to pc[3], weighted by pc[8]).
const char* const kBlurFourPixelProgram = R"(
uniform sampler2D s0;
void main() {
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 4; ++i) {
        sum += texture(s0, v_uv0 + pc[i].xy) * pc[8][i];
    }
    o_color = sum * v_color;
}
)";

// The bright part above the threshold (pc[10]: 1 - threshold, scale), its saturation pc[11].x.
const char* const kExtractHotPixelProgram = R"(
uniform sampler2D s0;
void main() {
    vec3 sum = vec3(0.0);
    for (int i = 0; i < 8; ++i) {
        sum += texture(s0, v_uv0 + pc[i].xy).rgb;
    }
    vec3 hot = max(sum / 8.0 - pc[10].rgb, vec3(0.0)) * pc[10].w;
    float grey = dot(hot, vec3(0.3, 0.59, 0.11));
    o_color = vec4(mix(vec3(grey), hot, pc[11].x), 1.0);
}
)";

const char* const kAlphaMaskPixelProgram = R"(
uniform sampler2D s0;
void main() {
    float alpha = 0.0;
    for (int i = 0; i < 8; ++i) {
        alpha += texture(s0, v_uv0 + pc[i].xy).a;
    }
    o_color = vec4(alpha / 8.0);
}
)";

ShaderStateRecord FromValue(ShaderStateCode code, uint32_t value, uint32_t stage = 0) {
    return ShaderStateRecord{code, stage, true, value};
}

ShaderStateRecord FromParameter(ShaderStateCode code, uint32_t parameter, uint32_t stage = 0) {
    return ShaderStateRecord{code, stage, false, parameter};
}

ShaderFileValue Code(RenderBlendFactor factor) { return ShaderFileValue::Int(static_cast<int32_t>(factor)); }
ShaderFileValue Code(RenderTestFunction function) { return ShaderFileValue::Int(static_cast<int32_t>(function)); }

// The basic and overlay shaders: geometry transformed by "objectToScreenMatrix", coloured by
// "color" (white by default) and textured by "baseTexture", alpha blended. The overlay draws over
// everything: no depth test, no depth writes.
ShaderFileSection MakeBasicSection(bool overlay) {
    enum Value : uint32_t { kVertex, kPixel, kSourceAlpha, kInverseSourceAlpha, kWhite, kAlways, kOff };
    enum Parameter : uint32_t { kMatrix, kColor, kTexture };
    ShaderFileSection section;
    section.values = {
        ShaderFileValue::VertexProgram(kTransformVertexProgram, {{0, 4, false, kMatrix}, {4, 1, false, kColor}}),
        ShaderFileValue::PixelProgram(kTextureTimesColorPixelProgram, {}),
        Code(RenderBlendFactor::SourceAlpha),
        Code(RenderBlendFactor::InverseSourceAlpha),
        ShaderFileValue::Float4(1.0f, 1.0f, 1.0f, 1.0f),
        Code(RenderTestFunction::Always),
        ShaderFileValue::Int(static_cast<int32_t>(RenderWriteMode::Off)),
    };
    section.parameters = {
        {"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault},
        {"color", ShaderValueType::Float4, 1, kWhite},
        {"baseTexture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault},
    };
    ShaderFileStyle normal{"normal", 0,
                           {FromValue(ShaderStateCode::VertexProgram, kVertex),
                            FromValue(ShaderStateCode::PixelProgram, kPixel),
                            FromValue(ShaderStateCode::SourceBlend, kSourceAlpha),
                            FromValue(ShaderStateCode::DestinationBlend, kInverseSourceAlpha),
                            FromParameter(ShaderStateCode::Texture, kTexture)}};
    if (overlay) {
        normal.sortOrder = 10000;
        normal.records.push_back(FromValue(ShaderStateCode::DepthTest, kAlways));
        normal.records.push_back(FromValue(ShaderStateCode::DepthWrite, kOff));
    }
    section.styles = {normal};
    return section;
}

// The filter shader of the canvas's frame-buffer effects. Its pixel programs shade the device's
// textured rectangles; each style samples "texture" on stage 0, clamped.
ShaderFileSection MakeFilterSection(bool eightSamples) {
    enum Value : uint32_t { kBlur, kExtractHot, kAlphaMask, kClamp, kOne };
    // Parameters 0 to 7 are "sampleOffset0" to "sampleOffset7", in registers pc[0] to pc[7].
    enum Parameter : uint32_t { kWeight0 = 8, kWeight1, kExtract, kSaturation, kTexture, kBlendDestination };
    std::vector<ShaderBinding> samples;
    for (uint32_t i = 0; i < 8; ++i) samples.push_back({i, 1, false, i});
    std::vector<ShaderBinding> blur = samples;
    blur.push_back({8, 1, false, kWeight0});
    blur.push_back({9, 1, false, kWeight1});
    std::vector<ShaderBinding> extract = samples;
    extract.push_back({10, 1, false, kExtract});
    extract.push_back({11, 1, false, kSaturation});

    ShaderFileSection section;
    section.values = {
        ShaderFileValue::PixelProgram(eightSamples ? kBlurPixelProgram : kBlurFourPixelProgram, blur),
        ShaderFileValue::PixelProgram(kExtractHotPixelProgram, extract),
        ShaderFileValue::PixelProgram(kAlphaMaskPixelProgram, samples),
        ShaderFileValue::Int(1),  // clamp addressing
        Code(RenderBlendFactor::One),
    };
    for (int i = 0; i < 8; ++i) {
        section.parameters.push_back(
            {"sampleOffset" + std::to_string(i), ShaderValueType::Float2, 1, ShaderFileParameter::kNoDefault});
    }
    section.parameters.push_back({"sampleWeight0", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"sampleWeight1", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"extractConst", ShaderValueType::Float4, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"saturation", ShaderValueType::Float, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"texture", ShaderValueType::Texture, 1, ShaderFileParameter::kNoDefault});
    section.parameters.push_back({"blendDstFactor", ShaderValueType::Int, 1, ShaderFileParameter::kNoDefault});

    const auto style = [&](const char* name, uint32_t program) {
        return ShaderFileStyle{name, 0,
                               {FromValue(ShaderStateCode::PixelProgram, program),
                                FromParameter(ShaderStateCode::Texture, kTexture),
                                FromValue(ShaderStateCode::AddressU, kClamp),
                                FromValue(ShaderStateCode::AddressV, kClamp)}};
    };
    ShaderFileStyle normal = style("normal", kBlur);
    normal.records.push_back(FromValue(ShaderStateCode::SourceBlend, kOne));
    normal.records.push_back(FromParameter(ShaderStateCode::DestinationBlend, kBlendDestination));
    section.styles = {normal, style("extractHot", kExtractHot), style("alphaMask", kAlphaMask)};
    return section;
}

// The shader file of the sections: newest for GeForce6, older for the generations before it.
void WriteShaderFile(BinaryWriter& writer, const ShaderFileSection& newest, const ShaderFileSection& older) {
    std::vector<ShaderFileSection> sections;
    for (const char* generation : kGenerations) {
        sections.push_back(std::string_view(generation) == "GeForce6" ? newest : older);
        sections.back().generation = generation;
    }
    ShaderFileWriter::Write(writer, sections);
}

// The shader file of the section, one copy for each sample generation.
void WriteShaderFile(BinaryWriter& writer, const ShaderFileSection& section) {
    WriteShaderFile(writer, section, section);
}

// The filter shader: the blur takes eight samples a pass from pixel shader version 5 (GeForce6),
// four on the older generations.
void WriteFilterShaderFile(BinaryWriter& writer) {
    WriteShaderFile(writer, MakeFilterSection(true), MakeFilterSection(false));
}

bool WriteShader(FileSystem& files, const std::string& name, const ShaderFileSection& section) {
    BinaryWriter writer;
    WriteShaderFile(writer, section);
    return WriteBinary(files, name, writer);
}

bool WriteShaders(FileSystem& files) {
    BinaryWriter filter;
    WriteFilterShaderFile(filter);
    return WriteShader(files, "Shaders/Basic.ssh", MakeBasicSection(false)) &&
           WriteShader(files, "Shaders/Overlay.ssh", MakeBasicSection(true)) &&
           WriteBinary(files, "Shaders/Filter.ssh", filter);
}

// -- Textures ---------------------------------------------------------------------------------------

// Texels are 0xAARRGGBB, rows top first.
std::vector<uint32_t> MakeChecker(uint32_t size, uint32_t cell, uint32_t light, uint32_t dark) {
    std::vector<uint32_t> texels(size_t(size) * size);
    for (uint32_t y = 0; y < size; ++y) {
        for (uint32_t x = 0; x < size; ++x) texels[y * size + x] = ((x / cell + y / cell) & 1) != 0 ? dark : light;
    }
    return texels;
}

// Left to right from transparent black to opaque white.
std::vector<uint32_t> MakeGradient(uint32_t width, uint32_t height) {
    std::vector<uint32_t> texels(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t level = x * 255 / (width - 1);
            texels[y * width + x] = level << 24 | level << 16 | level << 8 | level;
        }
    }
    return texels;
}

std::vector<uint8_t> MakeDds(uint32_t width, uint32_t height, const std::vector<uint32_t>& texels) {
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, width, height, texels.data(), 0);
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

bool WriteDds(FileSystem& files, const std::string& name, uint32_t width, uint32_t height,
              const std::vector<uint32_t>& texels) {
    const std::vector<uint8_t> bytes = MakeDds(width, height, texels);
    return WriteBytes(files, name, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Two grass blades side by side (the grass type's two variations): green strokes that taper to
// their tips, clear around them.
std::vector<uint32_t> MakeBlades(uint32_t width, uint32_t height) {
    std::vector<uint32_t> texels(size_t(width) * height, 0x00000000u);
    const uint32_t half = width / 2;
    for (uint32_t y = 0; y < height; ++y) {
        const float reach = float(half) * 0.25f * float(y + 1) / float(height);  // widest at the root
        for (uint32_t x = 0; x < width; ++x) {
            const float centre = float(x < half ? half / 2 : half + half / 2) + float(height - y) * (x < half ? 0.2f : -0.2f);
            if (std::fabs(float(x) - centre) <= reach) texels[y * width + x] = x < half ? 0xFF3C9A2Au : 0xFF5AAA30u;
        }
    }
    return texels;
}

// Four frames at 10 frames a second: red, green, blue and white squares.
bool WritePulse(FileSystem& files) {
    std::vector<std::vector<uint8_t>> frames;
    for (const uint32_t color : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu}) {
        frames.push_back(MakeDds(16, 16, std::vector<uint32_t>(16 * 16, color)));
    }
    BinaryWriter writer;
    TextureFileWriter::WriteTEX(writer, 10, frames);
    return WriteBinary(files, "Textures/Pulse.tex", writer);
}

bool WriteTextures(FileSystem& files) {
    return WriteDds(files, "Textures/Checker.dds", 64, 64, MakeChecker(64, 8, 0xFFE0E0E0u, 0xFF404040u)) &&
           WriteDds(files, "Textures/Gradient.dds", 128, 16, MakeGradient(128, 16)) && WritePulse(files) &&
           WriteDds(files, "Textures/Terrain/Grass.dds", 64, 64, MakeChecker(64, 4, 0xFF4C8C32u, 0xFF3A7A28u)) &&
           WriteDds(files, "Textures/Terrain/Rock.dds", 64, 64, MakeChecker(64, 16, 0xFF78736Eu, 0xFF5A5550u)) &&
           WriteDds(files, "Textures/Terrain/Blades.dds", 64, 32, MakeBlades(64, 32));
}

// -- Interface skin ---------------------------------------------------------------------------------

bool WriteInterfaceSkin(FileSystem& files) {
    std::vector<uint32_t> texels(64 * 48, 0xFFFFFFFFu);
    for (uint32_t y = 0; y < 32; ++y) {
        for (uint32_t x = 0; x < 64; ++x) texels[y * 64 + x] = x < 32 ? 0xFF3060C0u : 0xFFE08020u;
    }
    const std::string skin = std::string("// The sample host's interface pieces.\n") +
                             "Area\n{\n    name = \"" + kButtonUpArea + "\"\n    bitmap = \"" + kSkinBitmap +
                             "\"\n    region = ( 0, 0, 32, 32 )\n}\n"
                             "Area\n{\n    name = \"" + kButtonDownArea + "\"\n    bitmap = \"" + kSkinBitmap +
                             "\"\n    region = ( 32, 0, 32, 32 )\n}\n"
                             "Area\n{\n    name = \"" + kBarArea + "\"\n    bitmap = \"" + kSkinBitmap +
                             "\"\n    region = ( 0, 32, 64, 16 )\n}\n";
    return WriteDds(files, kSkinBitmap, 64, 48, texels) && WriteText(files, kInterfaceSkin, skin);
}

// -- Fonts ------------------------------------------------------------------------------------------

// Printable ASCII and Latin-1.
std::vector<uint16_t> FontCodes() {
    std::vector<uint16_t> codes;
    for (uint16_t code = 32; code < 127; ++code) codes.push_back(code);
    for (uint16_t code = 160; code < 256; ++code) codes.push_back(code);
    return codes;
}

bool WriteFont(FileSystem& files, const std::string& name, uint32_t pixelSize) {
    const std::vector<uint16_t> codes = FontCodes();
    DeviceFontFile font;
    font.faces.resize(2);
    if (!FontRasterizer::Rasterize(kRegularFace, pixelSize, RenderFontStyle::Regular, codes, font.faces[0]) ||
        !FontRasterizer::Rasterize(kBoldFace, pixelSize, RenderFontStyle::Bold, codes, font.faces[1])) {
        Log(LogPriority::Error, "Sample data: %s could not be drawn (is fonts-dejavu-core installed?)", name.c_str());
        return false;
    }
    std::vector<uint8_t> bytes;
    return font.Write(bytes) && WriteBytes(files, name, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

bool WriteFonts(FileSystem& files) {
    return WriteFont(files, GraphicsEngine::kDefaultFont, 12) && WriteFont(files, StyleManager::kDefaultFontName, 20);
}

// -- Levels -----------------------------------------------------------------------------------------

// Rolling hills of grass, with rock where the ground is steep.
bool ShapeSampleTerrain(Terrain* terrain) {
    if (!terrain || !terrain->AddLayer(kGrassTerrainType) || !terrain->AddLayer(kRockTerrainType)) return false;
    const unsigned samples = terrain->GetNumXSamples();
    for (unsigned z = 0; z < samples; ++z) {
        for (unsigned x = 0; x < samples; ++x) {
            const float height = 6.0f * std::sin(float(x) * 0.031f) * std::cos(float(z) * 0.023f) +
                                 2.5f * std::sin(float(x + 2 * z) * 0.09f) + 8.0f;
            terrain->SetBaseHeight(x, z, height);
        }
    }
    terrain->AddDirtyRect(DirtyRect(0, 0, int(samples), int(samples)));
    terrain->ProcessDirtyRects();
    PaintRockOnSlopes(*terrain);
    return true;
}

bool WriteLevels(FileSystem& files) {
    SectorDataManager styles;
    SectorData* fog = styles.NewSectorData(SectorDataManager::kFog);
    fog->name = "Sample Mist";
    auto* place = static_cast<NameSectorData*>(styles.NewSectorData(SectorDataManager::kName));
    place->name = "Sample Field";
    place->tag = "tagSampleGreeting";
    BinaryWriter styleWriter(1024);
    styles.Save(styleWriter);
    if (!WriteBinary(files, kSampleSectorData, styleWriter)) return false;

    TableDepot records(files);
    LevelBuilder builder(records, Vec2(kSampleLevelHalfSize, kSampleLevelHalfSize));
    const int size = int(2.0f * kSampleLevelHalfSize);
    if (!ShapeSampleTerrain(builder.MakeTerrain())) return false;
    if (builder.Scatter({kEntityRecord, kActorRecord}, kSampleLevelEntities, 29) != kSampleLevelEntities) return false;
    builder.PaintSector(SectorDataManager::kFog, fog->id, 0, 0, size / 2, size);
    builder.PaintSector(SectorDataManager::kName, place->id, 0, 0, size, size);
    return builder.Save(files, kSampleLevel, true);
}

// -- World ------------------------------------------------------------------------------------------

// Six regions of 64 x 64 units side by side, three by two, each with a level of the outdoors
// (SampleOutdoors.h) and scattered sample entities (the first also a fire, the crypt's entrance
// and the yard's crates and creatures, SampleYard.h: the world is written after the records it
// places); the world file lists them with the world's sector styles beside it, and the map
// builder compiles the map from the two.
bool WriteWorld(FileSystem& files) {
    mem::vector<RegionRecord> regions;
    TableDepot records(files);
    SectorDataManager styles;
    const WorldStyles painted = MakeWorldStyles(styles);
    for (int i = 0; i < kSampleWorldRegions; ++i) {
        const std::string level = std::string(kSampleWorldLevels) + std::to_string(i) + ".lvl";
        const float half = 0.5f * kSampleWorldRegionSize;
        regions.push_back(RegionRecord{level, "", ABBox(Vec3(half, 0, half), Vec3(half, 16, half)),
                                       IntVec3(int(kSampleWorldRegionSize) * (i % 3), 0, int(kSampleWorldRegionSize) * (i / 3)),
                                       RegionId(0x5a3b1e00u, 0, 0, uint32_t(i + 1))});
        LevelBuilder builder(records, Vec2(half, half));
        const Vec2 offset(float(regions.back().offset.x), float(regions.back().offset.z));
        if (!DressWorldRegion(builder, files, i, offset, painted)) return false;
        if (builder.Scatter({kEntityRecord}, 20, uint32_t(100 + i)) != 20) return false;
        // A fire near the spawn point, lighting its surroundings.
        if (i == 0 && !builder.AddEntity(kFireRecord, Coords::Translation(Vec3(12, WorldGroundHeight(12, 8) + 0.3f, 8))))
            return false;
        if (i == 0 && (!AddCryptEntrance(builder) || !FurnishYard(builder))) return false;
        if (!builder.Save(files, level, true)) return false;
    }
    // The crypt, an interior joined to the first region.
    regions.emplace_back();
    if (!WriteCrypt(files, records, regions.front().id, regions.back())) return false;
    BinaryWriter world;
    WorldFile::Write(
        world, {}, regions,
        [&regions](BinaryWriter& out) {
            Region blank(nullptr, 0, "", ABBox(), IntVec3(), RegionId(1, 0, 0, 0));
            for (size_t i = 0; i < regions.size(); ++i) blank.SaveRegionIcon(out);
        },
        [](BinaryWriter&) {});
    BinaryWriter sectors(1024);
    styles.Save(sectors);
    if (!WriteBinary(files, kSampleWorld, world) ||
        !WriteBinary(files, World::GetSectorDataFileName(kSampleWorld), sectors))
        return false;
    MapBuilder map(files);
    if (!map.ReadWorld(kSampleWorld)) return false;
    map.AddSpawnPoint(0, Vec3(8, WorldGroundHeight(8, 8), 8));
    return map.Write(kSampleMap);
}

// -- Videos -----------------------------------------------------------------------------------------

// The intro clip: two seconds of a bar sweeping over a slowly changing sky.
bool WriteIntroVideo(const std::string& path) {
    constexpr int kWidth = 320;
    constexpr int kHeight = 180;
    constexpr uint32_t kFrames = 48;
    return WriteVideoFile(path, {kWidth, kHeight, kFrames, 24}, [&](uint32_t frame, uint32_t* pixels) {
        const int bar = static_cast<int>(frame) * kWidth / static_cast<int>(kFrames);
        for (int y = 0; y < kHeight; ++y) {
            const uint32_t sky = 0xFF000000u | uint32_t(40 + y / 3) << 16 | uint32_t(60 + y / 2) << 8 | (120 + frame * 2);
            for (int x = 0; x < kWidth; ++x) {
                pixels[y * kWidth + x] = x >= bar && x < bar + 24 ? 0xFFF0C040u : sky;
            }
        }
    });
}

bool WriteVideos(const std::string& directory) {
    const std::string folder = directory + "/Videos";
    return CreateDirectoryPath(folder.c_str()) && WriteIntroVideo(directory + "/" + kIntroVideo);
}

}  // namespace

bool WriteSampleData(const std::string& directory) {
    FileSystem files;
    if (!files.AddDirectory(directory, true)) return false;
    return WriteOptions(directory) && WriteTextAndRecords(files) && WriteShaders(files) && WriteTextures(files) &&
           WriteInterfaceSkin(files) && WriteNoise(files) && WriteFonts(files) && WriteLevels(files) &&
           WriteEffects(files) && WriteGrid(files) && WriteDecals(files) && WriteRibbons(files) &&
           WriteMeshes(files) && WriteMeshShaders(files) && WriteAnimations(files) && WriteAmbiance(files) &&
           WriteScene(files) && WriteTerrainShaders(files) && WritePhysics(files) && WriteWater(files) &&
           WriteTiles(files) && WriteWorld(files) && WriteVideos(directory);
}

std::vector<uint8_t> MakeShaderFile(const ShaderFileSection& section) {
    BinaryWriter writer;
    WriteShaderFile(writer, section);
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

std::vector<uint8_t> MakeBasicShaderFile() { return MakeShaderFile(MakeBasicSection(false)); }

std::vector<uint8_t> MakeFilterShaderFile() {
    BinaryWriter writer;
    WriteFilterShaderFile(writer);
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

}  // namespace GAME::sample
