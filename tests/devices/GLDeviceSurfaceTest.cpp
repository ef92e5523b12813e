// Targets, clears, read-backs and copies of the GL device, read back as pixels.

#include "DeviceTest.h"

#include "devices/GLDebugOutput.h"
#include "devices/GLDevice.h"
#include "devices/GLHeaders.h"
#include "devices/GLTexture.h"
#include "support/LogCapture.h"

#include <SDL2/SDL.h>

namespace GAME::test {
namespace {

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;

class GLDeviceSurfaceTest : public DeviceTest {};

TEST_F(GLDeviceSurfaceTest, ClearCoversOnlyTheViewportAndScissorWhateverTheWriteModes) {
    ClearTo(Color(1, 0, 0, 1));
    device_->SetViewport(Viewport(8, 8, 16, 16));
    device_->SetColorWriteMode(RenderWriteMode::Off);
    ClearTo(Color(0, 1, 0, 1));
    EXPECT_EQ(std::vector({PrimaryPixel(8, 8), PrimaryPixel(23, 23), PrimaryPixel(7, 8), PrimaryPixel(24, 23)}),
              std::vector({Rgba(0, 255, 0), Rgba(0, 255, 0), Rgba(255, 0, 0), Rgba(255, 0, 0)}));
    device_->SetColorWriteMode(RenderWriteMode::On);
    device_->SetAlphaWriteMode(RenderWriteMode::Off);
    device_->DrawRect(Rect(0, 0, 64, 64), 0x800000FF, 0.0f);  // so does a draw (keeping the alpha here)
    EXPECT_EQ(std::vector({PrimaryPixel(23, 23), PrimaryPixel(24, 23), PrimaryPixel(23, 24)}),
              std::vector({Rgba(0, 0, 255), Rgba(255, 0, 0), Rgba(255, 0, 0)}));

    device_->SetViewport(Viewport(5, 50, 1, 1));  // a viewport of one pixel draws that pixel
    device_->DrawRect(Rect(0, 0, 64, 64), kGreen, 0.0f);
    EXPECT_EQ(std::pair(PrimaryPixel(5, 50), PrimaryPixel(5, 51)), std::pair(Rgba(0, 255, 0), Rgba(255, 0, 0)));
    device_->SetViewport(Viewport(0, 0, 64, 64));
    const Rect scissor(30, 40, 4, 2);
    device_->SetScissorRect(&scissor);
    ClearTo(Color(0, 0, 1, 1));
    const Rect outside(100, 40, 4, 2);  // beyond the target: nothing is cleared
    device_->SetScissorRect(&outside);
    ClearTo(Color(0, 1, 0, 1));
    EXPECT_EQ(std::vector({PrimaryPixel(30, 40), PrimaryPixel(33, 41), PrimaryPixel(34, 41), PrimaryPixel(30, 42)}),
              std::vector({Rgba(0, 0, 255), Rgba(0, 0, 255), Rgba(255, 0, 0), Rgba(255, 0, 0)}));
}

TEST_F(GLDeviceSurfaceTest, ReadPixelsIsTopDownAndReadFrameBufferBottomUp) {
    ClearTo(Color(0, 0, 0, 1));
    device_->DrawRect(Rect(0, 0, 64, 1), kRed, 0.0f);
    device_->DrawRect(Rect(0, 63, 64, 1), kBlue, 0.0f);

    const std::vector<uint32_t> topDown = OffscreenDevice::Read(primary_, 64, 64);
    ASSERT_EQ(topDown.size(), 64u * 64u);
    EXPECT_EQ(std::pair(topDown[0], topDown[63 * 64]), std::pair(Rgba(255, 0, 0), Rgba(0, 0, 255)));

    std::vector<Pixel> bottomUp(64 * 64);
    ASSERT_TRUE(device_->ReadFrameBuffer(bottomUp.data(), 64, 64));
    EXPECT_EQ(std::tuple(bottomUp[0].b, bottomUp[0].r, bottomUp[63 * 64].r), std::tuple(255, 0, 255));

    // A rectangle beyond the surface: what lies outside is written as zeros.
    std::vector<uint32_t> larger(70 * 66, 0xDEADBEEF);
    ASSERT_TRUE(primary_->ReadPixels(larger.data(), 70, 66, RenderTextureFormat::RGBA));
    EXPECT_EQ(std::vector({larger[0], larger[64], larger[65 * 70]}), std::vector({Rgba(255, 0, 0), 0u, 0u}));
    EXPECT_FALSE(primary_->ReadPixels(larger.data(), 70, 66, RenderTextureFormat::R32F));
    EXPECT_FALSE(primary_->ReadPixels(larger.data(), 0, 66, RenderTextureFormat::RGBA) ||
                 primary_->ReadPixels(larger.data(), 70, 0, RenderTextureFormat::RGBA));

    // A surface whose texture lost its texels cannot be read, and the log says why.
    RenderSurface* broken = device_->CreateRenderSurface(4, 4, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    const GLuint name = static_cast<GLTexture*>(broken->GetTexture())->GetName();  // bound by its upload
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 0, 0, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    LogCapture log;
    EXPECT_FALSE(broken->ReadPixels(larger.data(), 4, 4, RenderTextureFormat::RGBA));
    EXPECT_EQ(log.Lines().at(0).text,
              "Render target of textures " + std::to_string(name) + " and 0 is incomplete (status 0x8cd6).");
    RenderSurface* kept = device_->CreateRenderSurface(4, 4, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    device_->SetTargetSurface(0, kept);
    ClearTo(Color(0.2f, 0.4f, 0.6f, 1));
    broken->CopyToTexture(kept->GetTexture(), nullptr, 0);  // nothing to copy from
    EXPECT_EQ(OffscreenDevice::Read(kept, 1, 1).at(0), Rgba(51, 102, 153));
    device_->DestroyRenderSurface(kept);
    device_->DestroyRenderSurface(broken);
    EXPECT_FALSE(glIsTexture(name));  // gone with its surface
}

TEST_F(GLDeviceSurfaceTest, SurfacesCountTheVideoMemoryOfTheirFormats) {
    const std::tuple<RenderTextureFormat, RenderTextureFormat, size_t, size_t> formats[] = {
        {RenderTextureFormat::RGB, RenderTextureFormat::D16, 4, 2},
        {RenderTextureFormat::RGBA, RenderTextureFormat::D24, 4, 4},
        {RenderTextureFormat::DsDt, RenderTextureFormat::D32, 2, 4},
        {RenderTextureFormat::R16F, RenderTextureFormat::None, 2, 0},
        {RenderTextureFormat::R32F, RenderTextureFormat::None, 4, 0}};
    for (const auto& [color, depth, colorBytes, depthBytes] : formats) {
        RenderSurface* surface = device_->CreateRenderSurface(8, 4, color, depth);
        ASSERT_NE(surface, nullptr) << int(color);
        EXPECT_EQ(surface->GetTexture()->GetVideoMemoryUsage(), 32 * colorBytes) << int(color);
        const RenderTexture* depthTexture = surface->GetDepthTexture();
        EXPECT_EQ(depthTexture != nullptr ? depthTexture->GetVideoMemoryUsage() : 0, 32 * depthBytes) << int(depth);
        device_->DestroyRenderSurface(surface);
    }
}

TEST_F(GLDeviceSurfaceTest, RenderSurfaceIsSampledTopRowFirst) {
    RenderSurface* surface = device_->CreateRenderSurface(16, 16, RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    ASSERT_TRUE(surface != nullptr && surface->GetTexture() != nullptr);
    EXPECT_EQ(surface->GetTexture()->GetWidth(), 16);
    device_->SetTargetSurface(0, surface);
    EXPECT_EQ(device_->GetViewport(), Viewport(0, 0, 16, 16));
    ClearTo(Color(0, 0, 0, 1));
    device_->DrawRect(Rect(0, 0, 8, 16), kRed, 0.0f);   // left half
    device_->DrawRect(Rect(8, 0, 8, 4), kGreen, 0.0f);  // top of the right half

    device_->SetTargetSurface(0, primary_);
    ClearTo(Color(0, 0, 0, 1));
    device_->SetTexture(0, surface->GetTexture());
    device_->SetSamplerState(0, RenderSamplerState::MagFilter, 0);
    device_->SetSamplerState(0, RenderSamplerState::MinFilter, 0);
    device_->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(0, 0, 32, 32), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(std::vector({PrimaryPixel(2, 30), PrimaryPixel(20, 2), PrimaryPixel(20, 20)}),
              std::vector({Rgba(255, 0, 0), Rgba(0, 255, 0), Rgba(0, 0, 0)}));
    device_->SetTexture(0, nullptr);
    device_->DestroyRenderSurface(surface);
    EXPECT_EQ(surface, nullptr);
}

TEST_F(GLDeviceSurfaceTest, DepthTextureComparesAsShadowMap) {
    RenderSurface* shadow = device_->CreateRenderSurface(16, 16, RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    ASSERT_TRUE(shadow != nullptr && shadow->GetDepthTexture() != nullptr);
    device_->SetTargetSurface(0, shadow);
    ClearTo(Color(0, 0, 0, 1));
    device_->DrawRect(Rect(0, 0, 8, 16), kRed, 0.25f);  // left half at depth 0.25

    device_->SetTargetSurface(0, primary_);
    ClearTo(Color(0, 0, 1, 1));
    RenderPixelShader* compare = MakePixelShader(R"(
uniform sampler2DShadow s1;
void main() { o_color = vec4(vec3(texture(s1, vec3(v_uv0, 0.5))), 1.0); }
)");
    device_->SetPixelShader(compare);
    device_->SetTexture(1, shadow->GetDepthTexture());
    device_->SetSamplerState(1, RenderSamplerState::MagFilter, 0);
    device_->SetSamplerState(1, RenderSamplerState::MinFilter, 0);
    device_->SetSamplerState(1, RenderSamplerState::MipFilter, 0);
    device_->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(0, 0, 16, 16), 0xFFFFFFFF, 0.0f);
    // 0.5 <= stored depth passes: the cleared half (1.0) gives 1, the drawn half (0.25) 0.
    EXPECT_EQ(std::pair(PrimaryPixel(2, 8), PrimaryPixel(12, 8)), std::pair(Rgba(0, 0, 0), Rgba(255, 255, 255)));
    device_->SetPixelShader(nullptr);
    device_->SetTexture(1, nullptr);
    device_->DestroyPixelShader(compare);
    device_->DestroyRenderSurface(shadow);
}

TEST_F(GLDeviceSurfaceTest, DepthOnlySurfaceAndSeparateDepthTarget) {
    RenderSurface* depthOnly = device_->CreateRenderSurface(64, 64, RenderTextureFormat::None, RenderTextureFormat::D16);
    ASSERT_TRUE(depthOnly != nullptr && depthOnly->GetTexture() == nullptr);
    // Colour into the primary surface, depth into the other surface.
    device_->SetTargetSurface(0, primary_);
    device_->SetDepthTarget(depthOnly);
    ClearTo(Color(0, 0, 0, 1));
    device_->DrawRect(Rect(0, 0, 16, 16), kRed, 0.5f);
    device_->DrawRect(Rect(0, 0, 16, 16), kGreen, 0.75f);  // behind: fails the depth test
    EXPECT_EQ(PrimaryPixel(4, 4), Rgba(255, 0, 0));
    device_->SetDepthTarget(nullptr);  // no depth at all: everything passes
    device_->DrawRect(Rect(0, 0, 16, 16), kGreen, 0.75f);
    EXPECT_EQ(PrimaryPixel(4, 4), Rgba(0, 255, 0));
    device_->DestroyRenderSurface(depthOnly);
    EXPECT_EQ(device_->CreateRenderSurface(0, 16, RenderTextureFormat::RGBA, RenderTextureFormat::None), nullptr);
    EXPECT_EQ(device_->CreateRenderSurface(16, 16, RenderTextureFormat::D24, RenderTextureFormat::None), nullptr);
    EXPECT_EQ(device_->CreateRenderSurface(1 << 20, 16, RenderTextureFormat::RGBA, RenderTextureFormat::None), nullptr);
}

TEST_F(GLDeviceSurfaceTest, CopyToTextureStretchesTheRegion) {
    RenderSurface* source = device_->CreateRenderSurface(32, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    RenderSurface* destination = device_->CreateRenderSurface(8, 8, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    ASSERT_TRUE(source != nullptr && destination != nullptr);
    device_->SetRenderTarget(0, source);  // the depth target stays the primary surface's
    device_->DrawRect(Rect(0, 0, 16, 32), kRed, 0.0f);
    device_->DrawRect(Rect(16, 0, 16, 32), kGreen, 0.0f);
    device_->DrawRect(Rect(16, 0, 16, 8), kBlue, 0.0f);

    const Rect left(0, 0, 16, 32);
    source->CopyToTexture(destination->GetTexture(), &left, 0);
    std::vector<uint32_t> pixels = OffscreenDevice::Read(destination, 8, 8);
    ASSERT_EQ(pixels, std::vector<uint32_t>(64, Rgba(255, 0, 0)));
    const Rect topRight(16, 0, 16, 8);
    source->CopyToTexture(destination->GetTexture(), &topRight, 0);
    pixels = OffscreenDevice::Read(destination, 8, 8);
    EXPECT_EQ(std::pair(pixels[0], pixels[63]), std::pair(Rgba(0, 0, 255), Rgba(0, 0, 255)));
    device_->SetColorWriteMode(RenderWriteMode::Off);  // copies are not draws
    const Rect corner(0, 0, 1, 1);
    device_->SetScissorRect(&corner);
    device_->DrawRect(Rect(0, 0, 1, 1), kRed, 0.0f);               // the scissor is on in GL too
    source->CopyToTexture(destination->GetTexture(), nullptr, 0);  // the whole surface
    device_->SetScissorRect(nullptr);
    pixels = OffscreenDevice::Read(destination, 8, 8);
    EXPECT_EQ(std::vector({pixels[7 * 8], pixels[7], pixels[63]}),
              std::vector({Rgba(255, 0, 0), Rgba(0, 0, 255), Rgba(0, 255, 0)}));
    device_->DestroyRenderSurface(source);
    device_->DestroyRenderSurface(destination);
}

TEST_F(GLDeviceSurfaceTest, SurfaceOverAnExistingTextureDrawsIntoIt) {
    std::vector<uint32_t> texels(16 * 16, 0xFF000000);
    RenderTexture* texture = device_->CreateTextureFromPixels(16, 16, texels.data(), 1, 0);
    ASSERT_NE(texture, nullptr);
    RenderSurface* surface = device_->CreateRenderSurface(16, 16, texture, RenderTextureFormat::D24);
    ASSERT_TRUE(surface != nullptr && surface->GetTexture() == texture);
    device_->SetTargetSurface(0, surface);
    device_->DrawRect(Rect(4, 4, 4, 4), kGreen, 0.0f);
    const std::vector<uint32_t> pixels = OffscreenDevice::Read(surface, 16, 16);
    EXPECT_EQ(std::pair(pixels[5 * 16 + 5], pixels[0]), std::pair(Rgba(0, 255, 0), Rgba(0, 0, 0)));
    device_->DestroyRenderSurface(surface);
    device_->DestroyTexture(texture);
}

TEST_F(GLDeviceSurfaceTest, ViewportLargerThanTheTargetShrinksTwoDDraws) {
    RenderSurface* half = device_->CreateRenderSurface(16, 16, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    ASSERT_NE(half, nullptr);
    device_->SetTargetSurface(0, half);
    ClearTo(Color(0, 0, 0, 1));
    device_->SetViewport(Viewport(0, 0, 32, 32));
    device_->DrawRect(Rect(0, 0, 16, 16), kRed, 0.0f);
    const std::vector<uint32_t> pixels = OffscreenDevice::Read(half, 16, 16);
    EXPECT_EQ(std::pair(pixels[7 * 16 + 7], pixels[8 * 16 + 8]), std::pair(Rgba(255, 0, 0), Rgba(0, 0, 0)));
    device_->DestroyRenderSurface(half);
}

// What Present puts in the window's own framebuffer (its rows bottom up): the surface the right
// way up through the gamma ramp (0.5, 0.5, 1 changes nothing), whatever the engine's write masks.
TEST_F(GLDeviceSurfaceTest, PresentShowsTheSurfaceUprightThroughTheGammaRamp) {
    const auto window = [](int x, int y) {
        uint32_t pixel = 0;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadPixels(x, OffscreenDevice::kHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
        return pixel;
    };
    ClearTo(Color(0.25f, 0.5f, 0.75f, 1));
    device_->DrawRect(Rect(0, 0, 64, 8), kRed, 0.0f);
    device_->DrawRect(Rect(0, 56, 4, 8), kGreen, 0.0f);  // the window shows no column twice
    device_->SetRenderStateA(1);  // GL culls front faces, blends and draws edges only after this draw
    device_->SetDestinationBlendFactor(RenderBlendFactor::One);
    device_->EnableWireframe(true);
    device_->DrawRect(Rect(0, 0, 0, 0), kRed, 0.0f);
    device_->SetColorWriteMode(RenderWriteMode::Off);
    const struct {
        float brightness, contrast, gamma;
        uint32_t top, below;
    } ramps[] = {{0.5f, 0.5f, 1.0f, Rgba(255, 0, 0), Rgba(64, 128, 191)},
                 {0.75f, 0.5f, 1.0f, Rgba(255, 64, 64), Rgba(128, 191, 255)},
                 {0.5f, 1.0f, 1.0f, Rgba(255, 0, 0), Rgba(0, 128, 255)},
                 {0.5f, 0.5f, 2.0f, Rgba(255, 0, 0), Rgba(128, 181, 221)},
                 {0.5f, 0.5f, 0.0f, Rgba(255, 0, 0), Rgba(64, 128, 191)}};  // a gamma of 0 is 1
    for (const auto& ramp : ramps) {
        device_->SetGammaRamp(ramp.brightness, ramp.contrast, ramp.gamma);
        device_->Present(nullptr);
        EXPECT_TRUE(Near(window(60, 3), ramp.top, 1)) << std::hex << window(60, 3);
        EXPECT_TRUE(Near(window(60, 60), ramp.below, 1)) << std::hex << window(60, 60);
    }
    device_->SetGammaRamp(0.5f, 0.5f, 1.0f);
}

// What cannot be made, set or read is refused, and the log says why; the target stays as it was.
TEST_F(GLDeviceSurfaceTest, RefusalsSayWhyAndLeaveTheTargetAlone) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    const int side = std::min(largest, 16384);
    RenderSurface* wide = device_->CreateRenderSurface(side, 1, RenderTextureFormat::R16F, RenderTextureFormat::None);
    device_->SetRenderTarget(0, wide);  // destroyed while set: the primary is the target again
    EXPECT_EQ(device_->GetViewport(), Viewport(0, 0, side, 1));
    device_->DestroyRenderSurface(wide);
    RenderTexture* bytes = device_->CreateTexture(4, 4, nullptr, 0, 0);
    LogCapture log;
    const RenderTextureFormat none = RenderTextureFormat::None, rgba = RenderTextureFormat::RGBA;
    for (const auto& [width, height, color, depth] : {std::tuple(8, 8, none, none), {side + 1, 1, rgba, none},
                                                        {1, side + 1, rgba, none}, {8, 8, RenderTextureFormat::D16, none},
                                                        {8, 8, rgba, rgba}})
        EXPECT_EQ(device_->CreateRenderSurface(width, height, color, depth), nullptr) << width << " " << height;
    EXPECT_EQ(device_->CreateRenderSurface(8, 8, bytes, none), nullptr);
    EXPECT_EQ(device_->CreateTexture(4, 4, nullptr, 1, 0), nullptr);
    device_->SetTargetSurface(1, nullptr);
    device_->SetRenderTarget(1, nullptr);
    uint32_t pixel = 0;
    EXPECT_FALSE(primary_->ReadPixels(&pixel, 1, 1, RenderTextureFormat::R32F));
    const std::string expected[] = {"a render surface needs a colour or a depth target.",
                                    "render surface size " + std::to_string(side + 1) + " x 1 out of range.",
                                    "render surface size 1 x " + std::to_string(side + 1) + " out of range.",
                                    "render surface formats 7 / 0 are not colour / depth formats.",
                                    "render surface formats 2 / 2 are not colour / depth formats.",
                                    "a render surface needs a texture of a colour format to draw into.",
                                    "no texture of 4 x 4 in format 1.",
                                    "only colour target 0 is supported.",
                                    "only colour target 0 is supported.",
                                    "the surface cannot be read in format 6."};
    ASSERT_EQ(log.Lines().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(log.Lines()[i].text, "GLDevice: " + expected[i]);
    ClearTo(Color(0, 1, 0, 1));
    EXPECT_EQ(PrimaryPixel(0, 0), Rgba(0, 255, 0));
    device_->DestroyTexture(bytes);
}

TEST_F(GLDeviceSurfaceTest, ResetResizesThePrimarySurfaceAndPresentKeepsIt) {
    EXPECT_EQ(SDL_GL_GetSwapInterval(), 0);  // the primary surface was made without vertical sync
    GLint profile = 0, flags = 0;            // a core context, for debugging only when GLDEVICE_DEBUG asks
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    glGetIntegerv(GL_CONTEXT_FLAGS, &flags);
    EXPECT_EQ(std::pair(profile, (flags & GL_CONTEXT_FLAG_DEBUG_BIT) != 0),
              std::pair(GLint(GL_CONTEXT_CORE_PROFILE_BIT), GLDebugOutput::IsRequested()));
    // The old targets (RGBA and D24) go first: the new ones fit where only they fit.
    const size_t total = device_->GetVideoMemory(), used = total - device_->GetAvailableVideoMemory();
    const size_t primary = size_t(device_->GetWidth() * device_->GetHeight()) * 8;
    static_cast<GLDevice*>(device_)->SetVideoMemoryTotal(used - primary + 32 * 48 * 8);
    ASSERT_TRUE(device_->ResetDevice({.width = 32, .height = 48}));
    static_cast<GLDevice*>(device_)->SetVideoMemoryTotal(total);
    EXPECT_EQ(std::tuple(device_->GetWidth(), device_->GetHeight(), device_->GetViewport()),
              std::tuple(32, 48, Viewport(0, 0, 32, 48)));
    ClearTo(Color(0, 1, 0, 1));
    device_->SetGammaRamp(0.75f, 0.5f, 1.75f);
    device_->Present(primary_);
    EXPECT_EQ(PrimaryPixel(31, 47), Rgba(0, 255, 0));
    // A side of 0 is the window's.
    const uint32_t both = RenderDeviceSettings::kVerticalSync | RenderDeviceSettings::kFullScreen;
    ASSERT_TRUE(device_->ResetDevice({.height = OffscreenDevice::kHeight, .flags = both}));
    SDL_Window* const window = SDL_GL_GetCurrentWindow();
    EXPECT_EQ(std::pair(SDL_GL_GetSwapInterval(), SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN),
              std::pair(1, 1u));
    ASSERT_TRUE(device_->ResetDevice({.width = OffscreenDevice::kWidth}));
    EXPECT_EQ(std::pair(SDL_GL_GetSwapInterval(), SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN),
              std::pair(0, 0u));
    device_->SetGammaRamp(0.5f, 0.5f, 1.0f);
    EXPECT_EQ(device_->GetWidth(), OffscreenDevice::kWidth);
}

}  // namespace
}  // namespace GAME::test
