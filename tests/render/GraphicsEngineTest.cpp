#include "render/GraphicsEngine.h"

#include "core/FatalError.h"
#include "core/Rect.h"
#include "core/Time.h"
#include "files/BaseResourceManager.h"
#include "files/BinaryWriter.h"
#include "files/Options.h"
#include "files/ResourceFences.h"
#include "render/Display.h"
#include "render/DisplayWidget.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/Image.h"
#include "render/ShaderFileWriter.h"
#include "scene/GraphicsAnim.h"
#include "scene/GraphicsAnimWriter.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace GAME {
namespace {

using test::GraphicsTestBed;
using test::LogCapture;
using test::RecordingDevice;
using Bool = Options::BoolName;
using Quality = Options::QualityName;

// Turns the fatal error into an exception carrying its text.
struct FatalErrorThrows {
    FatalErrorThrows() : previous(SetFatalErrorHandler([](const char* text) { throw std::runtime_error(text); })) {}
    ~FatalErrorThrows() { SetFatalErrorHandler(previous); }
    FatalErrorHandler previous;
};

class GraphicsEngineTest : public ::testing::Test {
protected:
    RecordingDevice& Device() { return bed.Device(); }
    Options& GetOptions() { return bed.GetOptions(); }
    GraphicsEngine& Graphics() { return bed.Graphics(); }
    size_t Count(const std::string& call) { return Device().CountCalls(call); }

    GraphicsTestBed bed;
};

// -- Creation ----------------------------------------------------------------------------------

TEST_F(GraphicsEngineTest, ADeviceWithoutASurfaceIsAskedAHundredTimesWithPauses) {
    Device().Script().failCreates = true;
    LogCapture log;
    EXPECT_FALSE(bed.CreateDevice());
    EXPECT_EQ(std::tuple(bed.Graphics().GetNumWaits(), bed.Graphics().GetWaitedMilliseconds(), Count("Initialize")),
              std::tuple(100, 100 * 100, size_t(101)));
    // Each attempt asks with the options, then with the hardware defaults.
    EXPECT_EQ(Count("CreatePrimarySurface"), 200u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Couldn't create the primary rendering surface"));
}

TEST_F(GraphicsEngineTest, ASurfaceFromTheHardwareDefaultsSavesThem) {
    // Options asking for a size the device refuses (0 x 0), then the defaults work.
    GetOptions().SetInt2(Options::Int2Name::resolution, {0, 0});
    EXPECT_TRUE(bed.CreateDevice());
    EXPECT_EQ(Device().GetCalls("CreatePrimarySurface"),
              (std::vector<std::string>{"CreatePrimarySurface(null, 0, 0, 2, 8, 49, 0)",
                                        "CreatePrimarySurface(null, 1024, 768, 2, 8, 49, 0)"}));
    EXPECT_NE(bed.GetDirectory().ReadFile("Settings/options.txt").find("1024 768"), std::string::npos);
    EXPECT_EQ(bed.Graphics().GetNumWaits(), 0);
}

TEST_F(GraphicsEngineTest, ADeviceThatDoesNotInitializeOrLoadFailsCreation) {
    LogCapture log;
    Device().Script().initializeResult = false;
    EXPECT_FALSE(bed.CreateDevice());
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Couldn't initialize the rendering device"));
    log.Clear();
    GraphicsEngineSettings settings = GraphicsTestBed::MakeSettings();
    settings.deviceName = "NoSuchDevice";
    GraphicsEngine graphics;
    EXPECT_FALSE(graphics.CreateDevice(nullptr, settings));
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

TEST_F(GraphicsEngineTest, SettingsOfWidthZeroWriteTheHardwareDefaultsFirst) {
    GetOptions().SetQuality(Quality::detailLevel, 0);
    GraphicsEngineSettings settings = GraphicsTestBed::MakeSettings();
    settings.width = 0;
    ASSERT_TRUE(bed.CreateDevice(settings));
    const std::string saved = bed.GetDirectory().ReadFile("Settings/options.txt");
    // A GeForce6 with 512 MiB: everything high.
    EXPECT_NE(saved.find("detailLevel               = 2"), std::string::npos) << saved;
    EXPECT_NE(saved.find("textureQuality            = 2"), std::string::npos) << saved;
    EXPECT_EQ(Device().GetCalls("CreatePrimarySurface"),
              std::vector<std::string>{"CreatePrimarySurface(null, 1024, 768, 2, 8, 49, 0)"});
}

TEST_F(GraphicsEngineTest, TheOptionsMakeTheDeviceSettings) {
    Options& options = GetOptions();
    options.SetInt2(Options::Int2Name::resolution, {800, 600});
    options.SetBool(Bool::fullscreen, true);
    options.SetBool(Bool::syncToRefresh, true);
    options.SetBool(Bool::tripleBuffer, true);
    options.SetBool(Bool::antiAliasing, true);
    options.SetBool(Bool::detailObjects, false);
    options.SetBool(Bool::advancedEffects, false);
    ASSERT_TRUE(bed.CreateDevice());
    EXPECT_EQ(Device().GetCalls("CreatePrimarySurface"),
              std::vector<std::string>{"CreatePrimarySurface(null, 800, 600, 2, 8, 7, 1)"});
    EXPECT_TRUE(Graphics().IsFullscreen());
    EXPECT_EQ(Graphics().GetWidth(), 800);
    // The bloom and shadow switches are stored in their options.
    for (const bool on : {true, false}) {
        Graphics().EnableBloom(on);
        Graphics().EnableShadows(!on);
        EXPECT_EQ(std::tuple(Graphics().IsBloomEnabled(), options.GetBool(Bool::advancedEffects),
                             Graphics().AreShadowsEnabled(), options.GetBool(Bool::shadows)),
                  std::tuple(on, on, !on, !on));
    }
}

TEST_F(GraphicsEngineTest, AForcedWindowHasNeitherFullScreenNorVerticalSync) {
    GetOptions().SetBool(Bool::syncToRefresh, true);
    GraphicsEngineSettings settings = GraphicsTestBed::MakeSettings();
    settings.forceWindowed = true;
    ASSERT_TRUE(bed.CreateDevice(settings));
    EXPECT_FALSE(Graphics().IsFullscreen());
    EXPECT_EQ(Device().GetCalls("CreatePrimarySurface"),
              std::vector<std::string>{"CreatePrimarySurface(null, 1024, 768, 2, 8, 48, 0)"});
}

// The beds below come one after another: the recording device library hands out one device at a
// time.
TEST(GraphicsEngineHardwareTest, TheCheckEndsTheProcessOnUnknownOrSmallHardware) {
    FatalErrorThrows fatal;
    {
        GraphicsTestBed bed;
        bed.Device().Script().generation = RenderGenerationId::Unknown;
        try {
            bed.CreateDevice();
            ADD_FAILURE() << "no fatal error";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "tagInstallerText35");  // no language loaded: the tag itself
        }
    }
    {
        GraphicsTestBed bed;
        bed.Device().Script().videoMemory = GraphicsEngine::kMinVideoMemory - 1;
        EXPECT_THROW(bed.CreateDevice(), std::runtime_error);
    }
    {
        GraphicsTestBed bed;
        bed.Device().Script().videoMemory = GraphicsEngine::kMinVideoMemory;
        EXPECT_TRUE(bed.CreateDevice());
    }
    {
        GraphicsTestBed bed;
        bed.Device().Script().generation = RenderGenerationId::Unknown;
        bed.GetOptions().SetBool(Bool::skipCompatibilityChecks, true);
        EXPECT_TRUE(bed.CreateDevice());
    }
}

TEST_F(GraphicsEngineTest, InitializeMakesTheSharedObjects) {
    LogCapture log;
    ASSERT_TRUE(bed.Start());
    EXPECT_NE(Graphics().GetCanvas(), nullptr);
    EXPECT_NE(Graphics().GetCanvas()->GetPrimarySurface(), nullptr);
    EXPECT_NE(Graphics().GetBasicShader(), nullptr);
    EXPECT_NE(Graphics().GetOverlayShader(), Graphics().GetBasicShader());
    EXPECT_EQ(Device().GetCalls("CreateTextureFromPixels"),
              (std::vector<std::string>{"CreateTextureFromPixels(64, 64, data, 1, 0)",
                                        "CreateTextureFromPixels(16, 16, data, 1, 0)"}));
    const auto* checker = static_cast<const test::RecordingTexture*>(Graphics().GetDefaultTexture());
    // Texel (8, 0) lies in an odd cell: bytes 255, 255, 0, 255; texel (0, 0) 0, 0, 255, 255.
    const auto& texels = checker->GetTexels();
    EXPECT_EQ(std::vector({texels[0], texels[2], texels[8 * 4], texels[8 * 4 + 2]}), std::vector<uint8_t>({0, 255, 255, 0}));
    EXPECT_EQ(Device().GetCalls("CreateVertexDeclaration"), std::vector<std::string>{"CreateVertexDeclaration([{0, 0, 2}, {0, 1, 2}, {0, 4, 1}, {0, 14, 4}], 4)"});
    EXPECT_EQ(Graphics().GetBasicVertexDeclaration()->GetStride(), 36u);
    EXPECT_TRUE(log.Contains(LogPriority::Info, "Graphics engine initialized successfully") &&
                Graphics().AreShadowsEnabled() && !Graphics().AreStatsEnabled());
}

// -- Options -----------------------------------------------------------------------------------

TEST_F(GraphicsEngineTest, TheDetailLevelLowersTheGeneration) {
    GetOptions().SetQuality(Quality::detailLevel, 1);
    ASSERT_TRUE(bed.Start());
    EXPECT_EQ(Graphics().GetGenerationId(), RenderGenerationId::GeForce4);
    EXPECT_STREQ(Graphics().GetGenerationName(), "GeForce4");
    EXPECT_EQ(std::tuple(Graphics().GetPixelShaderVersion(), Graphics().GetMaxNumBones()), std::tuple(3, 24));

    // A GeForce6 at detail level 1 reads the GeForce4 section of its shaders.
    ShaderFileSection geForce4;
    geForce4.generation = "GeForce4";
    geForce4.styles = {{"low", 0, {}}};
    ShaderFileSection geForce6;
    geForce6.generation = "GeForce6";
    geForce6.styles = {{"high", 0, {}}};
    bed.WriteFile("Shaders/Two.ssh", test::MakeShaderFile({geForce6, geForce4}));
    const GraphicsShader2* shader = Graphics().LoadShader2("Shaders/Two.ssh");
    EXPECT_EQ(shader->FindStyleByName(Name::Create("low")), 0u);

    // Back at detail 2 the shaders load again from their GeForce6 section.
    GetOptions().SetQuality(Quality::detailLevel, 2);
    Graphics().UpdateFromOptions();
    EXPECT_EQ(std::tuple(Graphics().GetGenerationId(), shader->FindStyleByName(Name::Create("high")), Graphics().GetMaxNumBones()),
              std::tuple(RenderGenerationId::GeForce6, 0u, 27));
    Graphics().SetGeneration(RenderGenerationId::R200);  // by hand: it lasts until the detail level changes
    Graphics().UpdateFromOptions();
    EXPECT_EQ(Graphics().GetGenerationId(), RenderGenerationId::R200);

    GetOptions().SetQuality(Quality::detailLevel, 0);
    Graphics().UpdateFromOptions();
    EXPECT_EQ(Graphics().GetGenerationId(), RenderGenerationId::GeForce3);
    EXPECT_TRUE(Graphics().UseLowQualityTerrain() && Graphics().UseLowQualityLighting());
}

TEST(GraphicsEngineGenerationTest, OtherCardsAtLowerDetailLevels) {
    const struct {
        RenderGenerationId device;
        int detail;
        RenderGenerationId effective;
    } cases[] = {
        {RenderGenerationId::GeForce5, 1, RenderGenerationId::GeForce4},
        {RenderGenerationId::GeForce4, 1, RenderGenerationId::GeForce4},
        {RenderGenerationId::GeForce4, 0, RenderGenerationId::GeForce3},
        {RenderGenerationId::Radeon9000, 1, RenderGenerationId::R200},
        {RenderGenerationId::Radeon9000, 2, RenderGenerationId::Radeon9000},
        {RenderGenerationId::R200, 0, RenderGenerationId::R200},
    };
    for (const auto& c : cases) {
        GraphicsTestBed other;
        other.Device().Script().generation = c.device;
        other.GetOptions().SetQuality(Quality::detailLevel, c.detail);
        ASSERT_TRUE(other.Start());
        EXPECT_EQ(other.Graphics().GetGenerationId(), c.effective) << int(c.device) << " " << c.detail;
    }
}

TEST_F(GraphicsEngineTest, TextureQualitySetsTheGlobalReduction) {
    ASSERT_TRUE(bed.Start());
    GetOptions().SetQuality(Quality::textureQuality, 2);
    Graphics().UpdateFromOptions();
    EXPECT_EQ(Graphics().GetTextureReduction(), -2);
    EXPECT_EQ(Graphics().GetTextureReduction("Creatures/Wolf.tex"), 0);  // -2 + 2
    EXPECT_EQ(Graphics().GetTextureReduction("Effects/Fire.tex"), 0);
    GetOptions().SetQuality(Quality::textureQuality, 0);
    Graphics().UpdateFromOptions();
    EXPECT_EQ(Graphics().GetTextureReduction("Creatures/Wolf.tex"), 3);
    EXPECT_EQ(Graphics().GetTextureReduction("Textures/Wall.tex"), 1);
}

TEST_F(GraphicsEngineTest, GammaAloneDoesNotResetTheDeviceButAntiAliasingDoes) {
    ASSERT_TRUE(bed.Start());
    Device().ClearCalls();
    // Each option maps into its own range: brightness and gamma low, contrast high.
    GetOptions().SetFloat(Options::FloatName::gamma, 1.0f);
    GetOptions().SetFloat(Options::FloatName::brightness, 0.0f);
    GetOptions().SetFloat(Options::FloatName::contrast, 0.8f);
    Graphics().UpdateFromOptions();
    EXPECT_EQ(Count("ResetDevice"), 0u);
    EXPECT_EQ(Device().GetCalls("SetGammaRamp"), std::vector<std::string>{"SetGammaRamp(0.25, 0.65, 1.75)"});

    LogCapture log;
    GetOptions().SetBool(Bool::antiAliasing, true);
    Graphics().UpdateFromOptions();
    Graphics().UpdateFromOptions();
    EXPECT_EQ(Device().GetCalls("ResetDevice"), std::vector<std::string>{"ResetDevice(1024, 768, 2, 8, 49, 1)"});
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Resetting device due to settings change."));

    // A device that cannot reset keeps the new settings: it is not reset again every frame.
    Device().Script().resetResult = false;
    GetOptions().SetBool(Bool::antiAliasing, false);
    Graphics().UpdateFromOptions();
    Graphics().UpdateFromOptions();
    EXPECT_EQ(Count("ResetDevice"), 2u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "could not be reset"));
}

TEST_F(GraphicsEngineTest, HardwareDefaultsFollowGenerationMemoryAndCard) {
    ASSERT_TRUE(bed.CreateDevice());
    const auto defaults = [&](RenderGenerationId generation, size_t memoryMiB, uint32_t deviceId) {
        Device().Script().videoMemory = memoryMiB << 20;
        Device().Script().deviceId = deviceId;
        Graphics().SetGeneration(generation);
        Options& options = GetOptions();
        options.SetBool(Bool::fullscreen, false);
        Graphics().SetOptionsToDefaults(&options);
        EXPECT_TRUE(options.GetBool(Bool::fullscreen));
        return std::vector<int>{options.GetQuality(Quality::detailLevel), options.GetQuality(Quality::reflectionQuality),
                                options.GetQuality(Quality::textureQuality), options.GetQuality(Quality::shadowQuality),
                                options.GetBool(Bool::shadows), options.GetBool(Bool::detailObjects),
                                options.GetBool(Bool::advancedEffects)};
    };
    using G = RenderGenerationId;
    for (const auto& [generation, megabytes, expected] :
         {std::tuple(G::GeForce6, 512, std::vector<int>{2, 2, 2, 2, 1, 1, 1}), {G::GeForce6, 256, {2, 2, 1, 2, 1, 1, 1}},
          {G::GeForce6, 128, {2, 2, 1, 1, 1, 1, 1}}, {G::GeForce6, 64, {2, 2, 0, 0, 1, 1, 1}},
          {G::GeForce3, 128, {0, 0, 0, 0, 0, 0, 0}}, {G::GeForce4, 256, {0, 0, 1, 0, 1, 0, 0}},
          {G::GeForce5, 256, {1, 1, 1, 1, 1, 0, 1}}, {G::R200, 128, {0, 0, 0, 0, 1, 0, 0}}})
        EXPECT_EQ(defaults(generation, megabytes, 0xFFFFFFFF), expected) << int(generation) << " " << megabytes;
    // The card table overrides the five it names: detail, reflections, textures, shadow quality, shadows.
    const std::pair<uint32_t, const char*> cards[] = {
        {0x80C, "01001"}, {0x808, "01001"}, {0x80A, "01001"}, {0x819, "01001"}, {0x809, "01101"}, {0x80B, "01101"},
        {0x805, "01101"}, {0x807, "01101"}, {0x81A, "01101"}, {0x818, "01111"}, {0x838, "01111"}, {0x801, "01111"},
        {0x868, "01111"}, {0x866, "01111"}, {0x867, "01111"}, {0x82F, "11111"}, {0x831, "11111"}, {0x830, "11111"},
        {0x82A, "11111"}, {0x829, "11111"}, {0x40D, "00000"}, {0x40E, "00000"}, {0x410, "00000"}};
    for (const auto& [card, five] : cards) {
        std::vector<int> expected{1, 1};
        for (int i = 4; i >= 0; --i) expected.insert(expected.begin(), five[i] - '0');
        EXPECT_EQ(defaults(RenderGenerationId::GeForce6, 512, card), expected) << std::hex << card;
    }
}

// -- The frame ---------------------------------------------------------------------------------

TEST_F(GraphicsEngineTest, UpdateBracketsTheFrameAndPresentShowsThePrimarySurface) {
    ASSERT_TRUE(bed.Start());
    Device().ClearCalls();
    Graphics().Update(true);
    EXPECT_EQ(Count("BeginScene"), 1u);
    EXPECT_EQ(Device().GetCalls("EnableWireframe"), std::vector<std::string>{"EnableWireframe(false)"});
    EXPECT_EQ(Count("EndScene"), 1u);
    EXPECT_EQ(Count("Present"), 0u);
    Graphics().PresentSurface();
    EXPECT_EQ(Device().GetCalls("Present"), std::vector<std::string>{"Present(primarySurface1)"});

    Device().Script().beginSceneResult = false;
    Device().Script().deviceLost = true;
    Device().ClearCalls();
    Graphics().Update(true);
    Graphics().PresentSurface();
    EXPECT_EQ(Count("EndScene") + Count("Present"), 0u);
}

TEST_F(GraphicsEngineTest, FramesWithinOneMillisecondMeasureNothing) {
    ASSERT_TRUE(bed.Start());
    // Without an advancing engine every frame is a statistics frame, all within a millisecond or
    // so; none may divide by zero.
    for (int i = 0; i < 50; ++i) Graphics().Update(true);
    GraphicsStats stats;
    Graphics().GetStats(stats);
    EXPECT_TRUE(std::isfinite(stats.framesPerSecond));
    EXPECT_GE(stats.framesPerSecond, 0.0f);
    EXPECT_GT(stats.freeVideoMemory, 0.0f);
    // Two statistics frames at least 30 ms apart, timed on the same clock: 15 frames over the
    // milliseconds between them.
    const int64_t before = GetSystemMilliseconds();
    Graphics().Update(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    Graphics().Update(true);
    const int64_t elapsedAtMost = GetSystemMilliseconds() - before;
    Graphics().GetStats(stats);
    // (Within float rounding: the engine computes 1000 / elapsed x 15.)
    EXPECT_LE(stats.framesPerSecond, 15000.0f / 30.0f * 1.0001f);
    EXPECT_GE(stats.framesPerSecond, 15000.0f / float(elapsedAtMost) * 0.9999f);
    Graphics().IncrementLightCount(3, 1);
    Graphics().IncrementReflectionCount(2);
    Graphics().GetStats(stats);
    EXPECT_EQ(std::tuple(stats.lights, stats.shadowCastingLights, stats.reflections), std::tuple(3, 1, 2));
}

// Loads a shader at frame 0 and reports whether it is still loaded after the budget steps of the
// frames given with exactly `free` bytes of video memory free. Its program is large enough (9000
// bytes of video memory) not to be spared as small.
bool StaysLoaded(size_t free, std::initializer_list<uint32_t> frames) {
    GraphicsTestBed bed;
    EXPECT_TRUE(bed.Start());
    ShaderFileSection section;
    section.generation = "GeForce6";
    section.values = {ShaderFileValue::VertexProgram(std::string(9000, ' '), {})};
    section.styles = {{"normal", 0, {}}};
    bed.WriteFile("Shaders/Big.ssh", test::MakeShaderFile({section}));
    const GraphicsShader2* shader = bed.Graphics().LoadShader2("Shaders/Big.ssh");
    EXPECT_EQ(shader->FindStyleByName(Name::Create("normal")), 0u);
    EXPECT_EQ(shader->GetVideoMemoryUsage(), 9000u);
    bed.Device().Script().videoMemory += free - bed.Device().GetAvailableVideoMemory();
    for (const uint32_t frame : frames) {
        bed.GetLoader().SetFrameCount(frame);
        bed.Graphics().Update(true);
    }
    return shader->GetLoadedState() == Resource::LoadedState::Loaded;
}

constexpr size_t kMiB = 1 << 20;

// A resource unused for longer than the wait is marked, and unloaded 200 frames later. At 64 MiB
// free or more nothing is evicted; from 24 MiB the wait is 400 frames; below, free x 2.3047130e-06
// + 2 frames (59 just below 24 MiB, 26 at 10 MiB).
TEST(GraphicsEngineBudgetTest, TheWaitFollowsTheFreeVideoMemory) {
    const struct {
        size_t free;
        uint32_t first, second;  // the frames of the budget steps
        bool stays;
    } cases[] = {
        {64 * kMiB, 5000, 10000, true}, {64 * kMiB - 1, 401, 601, false}, {40 * kMiB, 400, 700, true},
        {24 * kMiB, 61, 261, true},     {24 * kMiB, 401, 601, false},     {24 * kMiB - 1, 60, 260, false},
        {24 * kMiB - 1, 59, 259, true}, {10 * kMiB, 27, 227, false},      {10 * kMiB, 26, 226, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StaysLoaded(c.free, {c.first, c.second}), c.stays) << c.free << " free, frames " << c.first;
}

// -- Resets and output -------------------------------------------------------------------------

// The scene renderers' shared resources are there from the start: the portal mask shader, and on
// the one generation that looks depths up in a texture, that texture.
TEST_F(GraphicsEngineTest, TheSceneRenderersResourcesAreMadeAtStartUp) {
    Device().Script().generation = RenderGenerationId::R200;
    ASSERT_TRUE(bed.Start());
    EXPECT_NE(GraphicsSceneRenderer::GetPortalMaskShader(), nullptr);
    EXPECT_EQ(Graphics().GetTextureResourceManager()->GetNumResources(), 1);
}

TEST_F(GraphicsEngineTest, DeviceResetsReleaseAndRemakeTheSurfaceSharedTexturesAndRendererTargets) {
    // The normal renderer's shared targets: the frame, the directional, eight point and the
    // no-shadow surfaces, the transparency mask and the frame copy.
    constexpr size_t kTargets = 13;
    const auto made = [&](const std::string& call) {
        const std::vector<std::string> calls = Device().GetCalls("CreateRenderSurface");
        return std::count(calls.begin(), calls.end(), call);
    };
    ASSERT_TRUE(bed.Start());
    const size_t live = Device().GetNumLiveResources();
    Device().ClearCalls();
    Graphics().PreDeviceReset();
    // The primary surface, the shared textures and the canvas's dynamic buffers.
    EXPECT_EQ(Device().GetNumLiveResources(), live - 5);
    EXPECT_TRUE(Graphics().GetDefaultTexture() == nullptr && Graphics().GetCanvas()->GetPrimarySurface() == nullptr &&
                Graphics().GetCanvas()->GetTargetSurface() == nullptr);
    Graphics().PostDeviceReset();
    EXPECT_EQ(Graphics().GetCanvas()->GetTargetSurface(), Graphics().GetCanvas()->GetPrimarySurface());
    // The targets are made with the surface; the buffers come back when asked for.
    EXPECT_EQ(Device().GetNumLiveResources(), live - 2 + kTargets);
    EXPECT_NE(Graphics().GetCanvas()->GetDynamicVertexBuffer(), nullptr);
    EXPECT_EQ(Device().GetNumLiveResources(), live + kTargets);
    EXPECT_NE(Graphics().GetDefaultTexture(), nullptr);
    EXPECT_NE(Graphics().GetCanvas()->GetPrimarySurface(), nullptr);
    // The directional shadow target at the size of the shadow quality (1: 1024), the frame at
    // the canvas's.
    EXPECT_EQ(made("CreateRenderSurface(1024, 1024, 2, 7)"), 1);
    EXPECT_EQ(made("CreateRenderSurface(1024, 768, 2, 8)"), 1);

    // A second reset takes the targets too, and makes them again.
    Graphics().PreDeviceReset();
    EXPECT_EQ(Device().GetNumLiveResources(), live - 5);
    Graphics().PostDeviceReset();
    EXPECT_EQ(Device().GetNumLiveResources(), live - 2 + kTargets);

    // A new shadow quality remakes them at its size, as does a new generation.
    Device().ClearCalls();
    GetOptions().SetQuality(Quality::shadowQuality, 2);
    Graphics().UpdateFromOptions();
    EXPECT_EQ(made("CreateRenderSurface(2048, 2048, 2, 7)"), 1);
    Graphics().SetGeneration(RenderGenerationId::GeForce4);
    EXPECT_EQ(made("CreateRenderSurface(2048, 2048, 2, 7)"), 2);
    EXPECT_EQ(Device().GetNumLiveResources(), live - 2 + kTargets);
    Graphics().ForceDeviceReset();
    EXPECT_EQ(Device().GetCalls("ResetDevice"), std::vector<std::string>{"ResetDevice(1024, 768, 2, 8, 49, 0)"});
}

TEST_F(GraphicsEngineTest, SurfacesAreReadBackAtTheirOwnSizeTopRowFirst) {
    ASSERT_TRUE(bed.Start());
    Image image;
    // The primary surface comes from the frame buffer, bottom row first, and is turned over.
    ASSERT_TRUE(Graphics().ReadRenderSurface(Graphics().GetCanvas()->GetPrimarySurface(), image));
    EXPECT_EQ(std::tuple(image.GetWidth(), image.GetHeight(), image.GetFormat()),
              std::tuple(1024u, 768u, Image::Format::RGBA));
    // The recording pattern: pixel (x, y) is (x & 255, y & 255, 0, 255).
    const size_t pixel = (size_t(10) * 1024 + 3) * 4;
    EXPECT_EQ((std::pair(image.GetBuffer()[pixel], image.GetBuffer()[pixel + 1])), (std::pair<uint8_t, uint8_t>(3, 10)));

    RenderSurface* surface = Device().CreateRenderSurface(32, 16, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    ASSERT_TRUE(Graphics().ReadRenderSurface(surface, image));
    EXPECT_EQ(std::pair(image.GetWidth(), image.GetHeight()), std::pair(32u, 16u));
    EXPECT_EQ(image.GetBuffer()[(size_t(15) * 32 + 31) * 4 + 1], 15);
    Device().DestroyRenderSurface(surface);

    LogCapture log;
    EXPECT_FALSE(Graphics().ReadRenderSurface(nullptr, image));
    EXPECT_EQ(image.GetBuffer(), nullptr);
}

TEST_F(GraphicsEngineTest, LayoutsScaleFromTenTwentyFourBySevenSixtyEight) {
    GetOptions().SetInt2(Options::Int2Name::resolution, {512, 384});
    ASSERT_TRUE(bed.Start());
    float x = 100.0f, w = 10.0f, y = 300.0f;
    Graphics().GetResAdjValuesX(&x, &w, nullptr);
    Graphics().GetResAdjValuesY(&y, nullptr);
    EXPECT_EQ(std::tuple(x, w, y), std::tuple(50.0f, 5.0f, 150.0f));
    Rect out;
    Graphics().GetResAdjRect(Rect(10.0f, 20.0f, 33.0f, 15.0f), out);
    EXPECT_EQ(out, Rect(5.0f, 10.0f, 17.0f, 8.0f));
    EXPECT_TRUE(Graphics().IsDownsizing());
    EXPECT_STREQ(GraphicsEngine::GetQualityName(2), "High");
    EXPECT_EQ(GraphicsEngine::GetQualityName(3), nullptr);
}

TEST_F(GraphicsEngineTest, ResourceOperationsReachEveryManager) {
    ASSERT_TRUE(bed.Start());
    bed.WriteFile("Textures/Wall.dds", test::MakeDdsFile(4, 4));
    const GraphicsTexture* texture = Graphics().LoadTexture("Textures/Wall.dds");
    ASSERT_EQ(texture->GetNumFrames(), 1);
    GraphicsAnimWriter::Contents walk;
    walk.frameCount = 1;
    walk.tracks.resize(1);
    walk.tracks[0].nameText = "Root";
    walk.tracks[0].frames.resize(1);
    BinaryWriter animation;
    ASSERT_TRUE(GraphicsAnimWriter::Write(animation, walk));
    bed.WriteFile("Anims/Walk.anm", std::vector<uint8_t>(animation.GetBuffer(), animation.GetBuffer() + animation.GetPosition()));
    const GraphicsAnim* anim = Graphics().LoadAnimation("Anims/Walk.anm");
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(Graphics().LoadAnimation("Anims/Walk.anm"), anim);
    Graphics().UnloadAnimation(anim);
    EXPECT_EQ(anim->GetNumBones(), 1);
    Device().ClearCalls();
    Graphics().ReloadAllResources();
    EXPECT_FALSE(ResourceFences::Get().IsPaused());  // the loader is let go again
    EXPECT_EQ(Count("CreateTextureFromFile"), 1u);
    EXPECT_EQ(Count("SetVertexShader"), 1u);  // the canvas's default state
    LogCapture log;
    Graphics().ListLoadedResources();
    EXPECT_TRUE(log.Contains(LogPriority::Info, "Textures/Wall.dds"));
    EXPECT_TRUE(log.Contains(LogPriority::Info, "Animations"));
    EXPECT_TRUE(log.Contains(LogPriority::Info, "Anims/Walk.anm"));
    // Not touched for more than 10 frames: the animation goes at once, the texture 200 frames later.
    for (const uint32_t frame : {11u, 210u, 211u}) {
        bed.GetLoader().SetFrameCount(frame);
        Graphics().EvictOldResources(10);
        EXPECT_EQ(anim->GetLoadedState(), Resource::LoadedState::NotLoaded) << frame;
        EXPECT_EQ(texture->GetLoadedState() == Resource::LoadedState::Loaded, frame < 211) << frame;
    }
    Graphics().UnloadTexture(texture);
    Graphics().UnloadUnreferencedResources();
    EXPECT_EQ(Graphics().GetTextureResourceManager()->GetNumResources(), 0);
    EXPECT_EQ(Graphics().GetAnimationResourceManager()->GetNumResources(), 1);
    Graphics().UnloadAnimation(anim);
    Graphics().UnloadUnreferencedResources();
    EXPECT_EQ(Graphics().GetAnimationResourceManager()->GetNumResources(), 0);
    EXPECT_EQ(Graphics().GetFontResourceManager()->GetNumResources(), 1);  // the default font
    ASSERT_NE(Graphics().GetMeshResourceManager(), nullptr);
    EXPECT_EQ(Graphics().GetMeshResourceManager()->GetNumResources(), 0);
}


// The warm-up draws the display as a frame does, widgets over the primary surface included, into
// a surface of the primary's size and formats that is never shown; the canvas keeps the primary.
TEST_F(GraphicsEngineTest, WarmUpDrawsTheDisplayIntoASurfaceOfItsOwnAndShowsNothing) {
    ASSERT_TRUE(bed.Start());
    struct Widget final : DisplayWidget {
        void Render(GraphicsCanvas& canvas) const override {
            warmingUp = canvas.IsWarmingUp();
            canvas.ClearRenderSurface(nullptr, Color(1.0f, 1.0f, 1.0f, 1.0f), RenderDevice::kClearColor);
            canvas.RenderRect(Rect(0.0f, 0.0f, 4.0f, 4.0f), Color(1.0f, 1.0f, 1.0f, 1.0f));
        }
        mutable bool warmingUp = false;
    } widget;
    Display display;
    display.AddWidget(&widget);
    Graphics().SetDisplay(&display);
    Device().ClearCalls();
    Graphics().WarmUp();
    Graphics().SetDisplay(nullptr);
    EXPECT_EQ(Device().GetCalls("CreateRenderSurface"), std::vector<std::string>{"CreateRenderSurface(1024, 768, 2, 8)"});
    EXPECT_EQ(Device().GetCalls("SetTargetSurface"),
              (std::vector<std::string>{"SetTargetSurface(0, surface1)", "SetTargetSurface(0, primarySurface1)"}));
    EXPECT_EQ(Device().GetCalls("DrawRect"), std::vector<std::string>{"DrawRect((0, 0, 4, 4), 0xffffffff, 0)"});
    EXPECT_EQ(std::pair(Count("EndScene"), Count("Present")), std::pair(size_t(1), size_t(0)));
    EXPECT_EQ(Graphics().GetCanvas()->GetTargetSurface(), Graphics().GetCanvas()->GetPrimarySurface());
    // The canvas and device are told so while the warm-up draws, and only then.
    EXPECT_TRUE(widget.warmingUp && !Graphics().GetCanvas()->IsWarmingUp());
    EXPECT_EQ(Device().GetCalls("SetWarmingUp"), (std::vector<std::string>{"SetWarmingUp(true)", "SetWarmingUp(false)"}));
}

}  // namespace
}  // namespace GAME
