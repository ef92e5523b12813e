// The canvas over the recording device: the frame bracket and the temporary-surface pool, pixel
// snapping, what each kind of rectangle leaves set, clipping, the fan, the dynamic buffers and
// the device reset.

#include "render/GraphicsCanvas.h"

#include "support/RecordingDevice.h"
#include "core/Vec2.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace GAME::test {
namespace {

class GraphicsCanvasTest : public ::testing::Test {
protected:
    GraphicsCanvasTest() {
        RenderDeviceSettings settings;
        settings.width = 320;
        settings.height = 200;
        primary = device.CreatePrimarySurface(nullptr, settings);
        canvas = std::make_unique<GraphicsCanvas>(device, primary);
        device.ClearCalls();
    }
    ~GraphicsCanvasTest() override {
        canvas.reset();
        device.DestroyRenderSurface(primary);
    }

    RecordingDevice device;
    RenderSurface* primary = nullptr;
    std::unique_ptr<GraphicsCanvas> canvas;
};

TEST_F(GraphicsCanvasTest, TemporarySurfacesArePooledPerFrame) {
    RenderSurface* a = canvas->CreateTemporaryTextureSurface(64, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    RenderSurface* b = canvas->CreateTemporaryTextureSurface(64, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    RenderSurface* depth = canvas->CreateTemporaryTextureSurface(64, 32, RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(depth, a);
    EXPECT_NE(depth, b);
    // A frame the device cannot draw still releases them; the same shapes come back in pool order.
    device.Script().beginSceneResult = false;
    EXPECT_FALSE(canvas->BeginFrame());
    EXPECT_EQ(canvas->CreateTemporaryTextureSurface(64, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None), a);
    EXPECT_EQ(canvas->CreateTemporaryTextureSurface(64, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None), b);
    EXPECT_EQ(device.CountCalls("CreateRenderSurface"), 3u);
    // A surface the device cannot make is null and leaves the pool as it was.
    device.Script().failCreates = true;
    EXPECT_EQ(canvas->CreateTemporaryTextureSurface(64, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None), nullptr);
    device.Script().failCreates = false;
    EXPECT_EQ(canvas->CreateTemporaryTextureSurface(64, 32, RenderTextureFormat::RGBA, RenderTextureFormat::D24), depth);
    canvas->BeginFrame();
    for (int i = 0; i < 3; ++i)  // the third is made anew: the failure took no place in the pool
        EXPECT_NE(canvas->CreateTemporaryTextureSurface(64, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None),
                  nullptr);
    const size_t live = device.GetNumLiveResources();
    canvas.reset();
    EXPECT_EQ(device.GetNumLiveResources(), live - 6);  // four surfaces and two dynamic buffers
}

TEST_F(GraphicsCanvasTest, RectanglesAreSnappedToWholePixels) {
    canvas->RenderRect(Rect(10.4f, 10.6f, 99.5f, 20.2f), Color(1.0f, 0.0f, 0.0f, 1.0f));
    canvas->SetDepth(0.25f);
    canvas->RenderRect(Rect(-0.6f, 0.5f, 1.49f, 1.5f), Rect(0.0f, 0.0f, 8.0f, 8.0f),
                       static_cast<const RenderTexture*>(nullptr), RenderBlendFactor::One, RenderBlendFactor::Zero,
                       Color(1.0f, 1.0f, 1.0f, 0.5f), false);
    EXPECT_EQ(device.GetCalls("DrawRect"), std::vector<std::string>{"DrawRect((10, 11, 100, 20), 0xffff0000, 0)"});
    EXPECT_EQ(device.GetCalls("DrawTexturedRect"),
              std::vector<std::string>{"DrawTexturedRect((0, 0, 0, 0), (-1, 1, 1, 2), 0x80ffffff, 0.25)"});
}

TEST_F(GraphicsCanvasTest, AColourFillPutsTheBlendFactorsBackATexturedRectangleKeepsItsOwn) {
    device.SetSourceBlendFactor(RenderBlendFactor::DestinationColor);
    device.SetDestinationBlendFactor(RenderBlendFactor::One);
    RenderPixelShader* shader = device.CreatePixelShader("x", 1);
    device.SetPixelShader(shader);
    canvas->RenderRect(Rect(0, 0, 4, 4), Color(0.0f, 0.0f, 1.0f, 0.5f));
    EXPECT_EQ(device.GetState().sourceBlend, RenderBlendFactor::DestinationColor);
    EXPECT_EQ(device.GetState().destinationBlend, RenderBlendFactor::One);
    EXPECT_EQ(device.GetState().pixelShader, nullptr);  // fills turn programs off
    EXPECT_EQ(device.GetCalls("SetSourceBlendFactor")[1], "SetSourceBlendFactor(6)");

    // Texels (8, 4, 16, 8) of a 32 x 16 texture; the alpha test drops nearly clear texels.
    RenderTexture* texture = device.CreateTextureFromPixels(32, 16, std::vector<uint32_t>(32 * 16).data(), 1, 0);
    device.SetPixelShader(shader);
    device.ClearCalls();
    canvas->RenderRect(Rect(0, 0, 4, 4), Rect(8, 4, 16, 8), texture, RenderBlendFactor::SourceAlpha,
                       RenderBlendFactor::One, Color(1, 1, 1, 1), true);
    const RecordingDeviceState& state = device.GetState();
    EXPECT_EQ(std::tuple(state.sourceBlend, state.destinationBlend, state.textures[0], state.samplerStates[0][0],
                         state.samplerStates[0][1], state.alphaTest),
              std::tuple(RenderBlendFactor::SourceAlpha, RenderBlendFactor::One, texture, 1u, 1u,
                         RenderTestFunction::Greater));
    EXPECT_EQ(state.pixelShader, shader);  // a bound program shades textured rectangles
    EXPECT_FLOAT_EQ(state.alphaReference, 0.05f);
    EXPECT_EQ(device.GetCalls("DrawTexturedRect"),
              std::vector<std::string>{"DrawTexturedRect((0.25, 0.25, 0.5, 0.5), (0, 0, 4, 4), 0xffffffff, 0)"});
    canvas->RenderRect(Rect(0, 0, 4, 4), Rect(0, 0, 1, 1), texture, RenderBlendFactor::SourceAlpha,
                       RenderBlendFactor::One, Color(1, 1, 1, 1), false);
    EXPECT_EQ(device.GetState().alphaTest, RenderTestFunction::Always);
    // The GraphicsTexture form draws nothing without a texture.
    device.ClearCalls();
    canvas->RenderRect(Rect(0, 0, 4, 4), Rect(0, 0, 1, 1), static_cast<const GraphicsTexture*>(nullptr),
                       Color(1, 1, 1, 1));
    EXPECT_EQ(device.CountCalls("DrawTexturedRect"), 0u);
    device.DestroyTexture(texture);
    device.SetPixelShader(nullptr);
    device.DestroyPixelShader(shader);
}

TEST_F(GraphicsCanvasTest, ClippingRectanglesAreCutToTheCanvas) {
    canvas->SetClippingRect(Rect(300, 150, 50, 100), true);
    EXPECT_EQ(device.GetState().scissor, Rect(300, 150, 20, 50));
    // Starting beyond the canvas leaves nothing, never a negative size.
    canvas->SetClippingRect(Rect(400, 250, 10, 10), true);
    EXPECT_EQ(device.GetState().scissor, Rect(400, 250, 0, 0));
    canvas->SetClippingRect(Rect(300, 150, 50, 100), false);
    EXPECT_EQ(device.GetState().scissor, Rect(300, 150, 50, 100));
    canvas->SetResolution(100, 100);
    canvas->SetClippingRect(Rect(50, 50, 100, 100), true);
    EXPECT_EQ(device.GetState().scissor, Rect(50, 50, 50, 50));
    canvas->ClearClippingRect();
    EXPECT_FALSE(device.GetState().scissorEnabled);
}

TEST_F(GraphicsCanvasTest, AFanDrawsItsPointsAsGivenOverTheDefaultState) {
    const mem::vector<Vec2> points = {{10.5f, 10.5f}, {20, 10}, {20, 20}, {10, 20}};
    canvas->RenderTriFan(points, Color(0.0f, 1.0f, 0.0f, 1.0f));
    std::vector<std::string> expected = {
        "SetVertexShader(null)",      "SetPixelShader(null)",         "SetColorWriteMode(1)",    "SetAlphaWriteMode(1)",
        "SetDepthWriteMode(1)",       "SetDepthTestFunction(3)",      "SetAlphaTestFunction(7)", "SetAlphaReference(0)",
        "SetSourceBlendFactor(0)",    "SetDestinationBlendFactor(1)", "SetRenderStateB(0)",      "SetRenderStateC(0)",
        "SetClearColor((0, 0, 0, 1))"};
    for (int stage = 0; stage < 8; ++stage) expected.push_back("SetTexture(" + std::to_string(stage) + ", null)");
    for (int i = 0; i < 32; ++i)
        expected.push_back("SetSamplerState(" + std::to_string(i / 2) + ", " + std::to_string(i % 2) + ", 0)");
    expected.insert(expected.end(), {"SetRenderStateA(0)", "SetDepthTestFunction(7)", "SetSourceBlendFactor(6)",
                                     "SetDestinationBlendFactor(8)", "SetTexture(0, null)",
                                     "DrawTriangleFan([(10.5, 10.5), (20, 10), (20, 20), (10, 20)], 4, 0xff00ff00)"});
    EXPECT_EQ(device.GetCalls(), expected);
}

TEST_F(GraphicsCanvasTest, TargetsFallBackToThePrimarySurface) {
    RenderSurface* surface = canvas->CreateTextureSurface(16, 16, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    canvas->SetRenderTarget(0, surface);
    EXPECT_EQ(canvas->GetTargetSurface(), surface);
    canvas->SetTargetSurface(nullptr);
    EXPECT_EQ(canvas->GetTargetSurface(), primary);
    EXPECT_EQ(device.GetState().colorTargets[0], primary);
    canvas->ClearRenderSurface(surface, Color(0.0f, 0.0f, 1.0f, 1.0f), RenderDevice::kClearColor);
    EXPECT_EQ(device.GetCalls("Clear"), std::vector<std::string>{"Clear(1, 1)"});
    EXPECT_EQ(device.GetState().clearColor, Color(0.0f, 0.0f, 1.0f, 1.0f));
    canvas->DestroySurface(surface);
}

TEST_F(GraphicsCanvasTest, ADeviceResetLeavesNoSurfaceOrBufferBehind) {
    RenderSurface* temporary =
        canvas->CreateTemporaryTextureSurface(32, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    canvas->SetRenderTarget(0, temporary);
    ASSERT_NE(canvas->GetDynamicVertexBuffer(), nullptr);
    const size_t live = device.GetNumLiveResources();
    EXPECT_TRUE(canvas->PreDeviceReset());
    EXPECT_EQ(device.GetNumLiveResources(), live - 3);
    EXPECT_EQ(canvas->GetTargetSurface(), nullptr);
    EXPECT_EQ(canvas->GetPrimarySurface(), nullptr);

    // While the device is lost the buffers cannot come back; afterwards they do, on request.
    device.Script().deviceLost = true;
    EXPECT_EQ(canvas->GetDynamicIndexBuffer(), nullptr);
    device.Script().deviceLost = false;
    EXPECT_NE(canvas->GetDynamicIndexBuffer(), nullptr);
    EXPECT_NE(canvas->GetDynamicVertexBuffer(), nullptr);
    EXPECT_EQ(device.GetCalls("CreateDynamicVertexBuffer").back(), "CreateDynamicVertexBuffer(4194304)");
    canvas->SetPrimarySurface(primary);
    EXPECT_EQ(canvas->GetTargetSurface(), primary);
    // A new pool starts after the reset.
    EXPECT_NE(canvas->CreateTemporaryTextureSurface(32, 32, RenderTextureFormat::RGBA, RenderTextureFormat::None),
              nullptr);
}

TEST(GraphicsCanvasHelpersTest, PackedColoursAreClamped) {
    EXPECT_EQ(Color(1.2f, 0.5f, -1.0f, 1.0f).ToPacked(), 0xFFFF8000u);
}

}  // namespace
}  // namespace GAME::test
