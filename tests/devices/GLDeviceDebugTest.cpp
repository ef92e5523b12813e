// Statistics, the draw-call limit, debug labels and switches, and what the device answers before
// it has a window.

#include "DeviceTest.h"

#include "core/Vec2.h"
#include "devices/GLHeaders.h"
#include "support/LogCapture.h"
#include "support/OffscreenWindow.h"

#include <SDL2/SDL.h>

#include <string>
#include <tuple>

namespace GAME::test {
namespace {

class GLDeviceDebugTest : public DeviceTest {};

TEST_F(GLDeviceDebugTest, CountsDrawsAndAppliesTheLimitFromTheNextFrame) {
    ClearTo(Color(0, 0, 0, 1));
    device_->DrawRect(Rect(0, 0, 4, 4), 0xFFFF0000, 0.0f);
    device_->DrawRect(Rect(0, 0, 4, 4), 0xFFFF0000, 0.0f);
    EXPECT_EQ(device_->GetNumDrawCalls(), 2u);
    EXPECT_EQ(device_->GetNumFacesRendered(), 4u);
    device_->SetDrawCallLimit(1);
    device_->DrawRect(Rect(8, 0, 4, 4), 0xFFFF0000, 0.0f);  // this frame has no limit yet
    EXPECT_EQ(PrimaryPixel(9, 1), Rgba(255, 0, 0));
    ASSERT_TRUE(device_->BeginScene());
    EXPECT_EQ(device_->GetNumDrawCalls(), 0u);
    device_->DrawRect(Rect(16, 0, 4, 4), 0xFF00FF00, 0.0f);
    device_->DrawRect(Rect(24, 0, 4, 4), 0xFF00FF00, 0.0f);  // past the limit: counted, not drawn
    EXPECT_EQ(std::pair(device_->GetNumDrawCalls(), device_->GetNumFacesRendered()), std::pair(2u, 2u));
    EXPECT_EQ(std::pair(PrimaryPixel(17, 1), PrimaryPixel(25, 1)), std::pair(Rgba(0, 255, 0), Rgba(0, 0, 0)));
}

TEST_F(GLDeviceDebugTest, LabelsAndInfoLinesDescribeTheLastExecutedDraw) {
    device_->SetDebugName("Shaders/A.ssh", "Solid", "Rock");  // no limit, no debugger: not kept
    device_->DrawRect(Rect(0, 0, 4, 4), 0xFFFF0000, 0.0f);
    EXPECT_STREQ(device_->GetLastShaderName(), "");
    device_->SetDrawCallLimit(100);
    ASSERT_TRUE(device_->BeginScene());
    device_->SetDebugName("Shaders/A.ssh", "Solid", "Rock");
    device_->DrawRect(Rect(0, 0, 4, 4), 0xFFFF0000, 0.0f);
    device_->SetDebugName("Shaders/B.ssh", "Glow", "Tree");  // nothing drawn with these yet
    device_->SetDebugName("Shaders/C.ssh", "Glow", "Tree");  // nor with these
    EXPECT_STREQ(device_->GetLastShaderName(), "Shaders/A.ssh");
    EXPECT_STREQ(device_->GetLastStyleName(), "Solid");
    EXPECT_STREQ(device_->GetLastObjectName(), "Rock");
    device_->SetDebugCullPrimitives(true);
    device_->DrawRect(Rect(0, 0, 4, 4), 0xFFFF0000, 0.0f);  // skipped: not executed
    EXPECT_STREQ(device_->GetLastObjectName(), "Rock");
    device_->SetDebugCullPrimitives(false);
    device_->SetSourceBlendFactor(RenderBlendFactor::SourceAlpha);
    device_->SetAlphaTestFunction(RenderTestFunction::Greater);
    device_->SetAlphaReference(0.25f);
    RenderTexture* texture = device_->CreateTextureFromPixels(1, 1, nullptr, 1, 0);
    device_->SetTexture(0, texture);
    device_->DrawTriangleFan(std::vector<Vec2>{Vec2(0, 0), Vec2(4, 0), Vec2(4, 4)}.data(), 3, 0xFFFFFFFF);
    EXPECT_EQ(std::string(device_->GetLastShaderName()) + " " + device_->GetLastObjectName(), "Shaders/C.ssh Tree");
    char textures[64];
    std::snprintf(textures, sizeof(textures), "textures: 0=%p", static_cast<const void*>(texture));
    const std::string expected[] = {"draw: fan, primitive type 2, 1 primitives",
                                    "programs: vertex 0, pixel 0 (0: the device's own)", textures,
                                    "blend 6/1, depth function 3 write on, alpha test 4 reference 0.250"};
    for (uint32_t i = 0; i < std::size(expected); ++i) EXPECT_STREQ(device_->GetInfoLine(i), expected[i].c_str());
    EXPECT_TRUE(device_->GetNumInfoLines() == std::size(expected) && device_->GetInfoLine(4) == nullptr);
    device_->SetTexture(0, nullptr);
    device_->DestroyTexture(texture);
    device_->SetDebugName(nullptr, nullptr, nullptr);
    device_->DrawRect(Rect(0, 0, 4, 4), 0xFFFF0000, 0.0f);
    EXPECT_STREQ(device_->GetLastShaderName(), "");
}

TEST_F(GLDeviceDebugTest, SwitchesOverrideTexturesProgramsScissorAndBlending) {
    const uint32_t red[1] = {0xFFFF0000};
    RenderTexture* texture = device_->CreateTextureFromPixels(1, 1, red, 1, 0);
    device_->SetTexture(0, texture);
    ClearTo(Color(0, 0, 0, 1));
    device_->SetDebugTextures(true);
    device_->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(0, 0, 8, 8), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(PrimaryPixel(4, 4), Rgba(128, 128, 128));
    device_->SetDebugTextures(false);
    device_->SetTexture(0, nullptr);
    device_->DestroyTexture(texture);

    RenderPixelShader* green = MakePixelShader("void main() { o_color = vec4(0.0, 1.0, 0.0, 1.0); }\n");
    device_->SetPixelShader(green);
    device_->SetDebugPixelShaders(true);
    device_->DrawRect(Rect(8, 0, 8, 8), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(PrimaryPixel(12, 4), Rgba(128, 128, 128));
    device_->SetDebugPixelShaders(false);
    device_->DrawRect(Rect(8, 0, 8, 8), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(PrimaryPixel(12, 4), Rgba(0, 255, 0));
    device_->SetPixelShader(nullptr);
    device_->DestroyPixelShader(green);

    device_->SetDebugCullPixels(true);
    device_->DrawRect(Rect(0, 0, 64, 64), 0xFF0000FF, 0.0f);
    EXPECT_EQ(PrimaryPixel(0, 0), Rgba(0, 0, 255));
    EXPECT_EQ(std::pair(PrimaryPixel(1, 0), PrimaryPixel(0, 1)), std::pair(Rgba(128, 128, 128), Rgba(128, 128, 128)));
    device_->SetDebugCullPixels(false);

    device_->SetSourceBlendFactor(RenderBlendFactor::Zero);
    device_->SetDestinationBlendFactor(RenderBlendFactor::One);  // keeps the target as it is
    device_->SetDebugAlpha(false);                                // blending off: the rect shows
    device_->DrawRect(Rect(32, 32, 8, 8), 0xFFFFFF00, 0.0f);
    EXPECT_EQ(PrimaryPixel(34, 34), Rgba(255, 255, 0));
}

// The tests run the device with the driver's error reports on: a GL error ends the process at the
// faulty call, naming it.
TEST_F(GLDeviceDebugTest, AGLErrorTheDriverReportsEndsTheProcessNamingTheCall) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(glEnable(GL_COLOR_ATTACHMENT3), "the driver reports a GL error .*GL_INVALID_ENUM in glEnable");
}

TEST_F(GLDeviceDebugTest, AnswersBeforeAnyWindowAndRefusesWindowsWithoutGL) {
    RenderDevice* fresh = RenderDevice::Create("GLDevice");
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, device_);
    EXPECT_TRUE(fresh->Initialize());
    EXPECT_EQ(std::pair(fresh->GetGenerationId(), fresh->GetDeviceId()), std::pair(RenderGenerationId::GeForce6, 0xFFFFFFFFu));
    EXPECT_GE(fresh->GetVideoMemory(), size_t(57) << 20);
    EXPECT_TRUE(fresh->GetAvailableVideoMemory() == fresh->GetVideoMemory() && !fresh->BeginScene() &&
                fresh->GetWidth() == 0 && fresh->GetHeight() == 0);
    EXPECT_NE(std::string(fresh->GetDescription()).find("GLDevice"), std::string::npos);
    // Resources made before the context wait for it; destroyed before it, they just go.
    RenderTexture* early = fresh->CreateTextureFromPixels(4, 4, nullptr, 1, 0);
    ASSERT_NE(early, nullptr);
    EXPECT_EQ(fresh->GetAvailableVideoMemory(), fresh->GetVideoMemory() - 64);
    fresh->DestroyTexture(early);

    LogCapture log;
    SDL_Window* plain = SDL_CreateWindow("plain", 0, 0, 8, 8, SDL_WINDOW_HIDDEN);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(fresh->CreatePrimarySurface(plain, RenderDeviceSettings()), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "SDL_WINDOW_OPENGL"));
    SDL_DestroyWindow(plain);
    // On a window of its own it makes its own context, and destroys it with itself.
    SDL_Window* const window = SDL_GL_GetCurrentWindow();
    const SDL_GLContext context = SDL_GL_GetCurrentContext();
    OffscreenWindow own(8, 4);
    // A height of 0 is the window's.
    RenderSurface* primary =
        fresh->CreatePrimarySurface(own.Get(), {.width = 8, .flags = RenderDeviceSettings::kVerticalSync});
    EXPECT_EQ(std::tuple(primary != nullptr, fresh->GetWidth(), fresh->GetHeight(), SDL_GL_GetSwapInterval()),
              std::tuple(true, 8, 4, 1));
    fresh->DestroyRenderSurface(primary);
    EXPECT_TRUE(fresh->GetWidth() == 0 && !fresh->BeginScene());
    SDL_GL_MakeCurrent(window, context);  // another context is current: the device makes its own so to go
    RenderDevice::Destroy(fresh);
    EXPECT_TRUE(fresh == nullptr && SDL_GL_GetCurrentContext() == nullptr);
    SDL_GL_MakeCurrent(window, context);
    SDL_GL_SetSwapInterval(0);
}

}  // namespace
}  // namespace GAME::test
