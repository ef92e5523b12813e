// The canvas on the GL device, read back: text lands where measuring says, aligned, clipped and
// shadowed; text boxes fit their text; blended and textured rectangles; the fan; batched text
// takes one draw; screenshots read back through Image.

#include "support/GLGraphicsBed.h"

#include "core/Vec2.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsFont.h"
#include "render/Image.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

namespace GAME::test {
namespace {

constexpr int kSize = BlockFont::kBaseSize;
constexpr uint32_t kBlack = Rgba(0, 0, 0);
constexpr uint32_t kWhite = Rgba(255, 255, 255);

// Red, green and blue within 2 of each other (alpha is what blending left in the frame buffer).
::testing::AssertionResult Near(uint32_t actual, uint32_t expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(int((actual >> shift) & 255) - int((expected >> shift) & 255)) > 2)
            return ::testing::AssertionFailure() << std::hex << actual << " is not " << expected;
    }
    return ::testing::AssertionSuccess();
}

class CanvasPixelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        bed.WriteFile("Fonts/Blocks.fnt", BlockFont::Write());
        font = bed.Graphics().LoadFont("Fonts/Blocks.fnt");
        ASSERT_EQ(font->MeasureText("Hello", kSize, RenderFontStyle::Regular), 5 * BlockFont::kGlyphWidth);
        ClearTo(Color(0.0f, 0.0f, 0.0f, 1.0f));
    }
    void TearDown() override {
        bed.Graphics().UnloadFont(font);
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    }

    void ClearTo(const Color& color) {
        Canvas().SetDefaultState();
        Canvas().ClearRenderSurface(nullptr, color, RenderDevice::kClearColor | RenderDevice::kClearDepth);
    }
    float Text(const Rect& rect, const char* text, XAlignment x, YAlignment y, bool shadow = false) {
        return Canvas().RenderText(rect, Color(1.0f, 1.0f, 1.0f, 1.0f), text, font, kSize, x, y, shadow, 2,
                                   RenderFontStyle::Regular, false);
    }
    uint32_t At(int x, int y) { return bed.ReadPixels()[size_t(y) * GLGraphicsBed::kWidth + x]; }
    // Each pixel (x, y) near its colour.
    void ExpectPixels(std::initializer_list<std::tuple<int, int, uint32_t>> pixels) {
        for (const auto& [x, y, color] : pixels) EXPECT_TRUE(Near(At(x, y), color)) << x << ", " << y;
    }
    GraphicsCanvas& Canvas() { return bed.Canvas(); }

    LogCapture log;
    GLGraphicsBed bed;
    const GraphicsFont* font = nullptr;
};

TEST_F(CanvasPixelTest, TextLandsWhereMeasuringSays) {
    const float width = Text(Rect(10.0f, 20.0f, 0.0f, 0.0f), "Hello", XAlignment::Left, YAlignment::Top);
    EXPECT_EQ(width, 25.0f);
    // The glyph blocks: one pixel below the pen, as wide as measured.
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{10, 21, 35, 27}));
    ExpectPixels({{10, 21, kWhite}, {34, 26, kWhite}});
}

TEST_F(CanvasPixelTest, TextAlignsInItsRectangle) {
    const Rect whole(0.0f, 0.0f, float(GLGraphicsBed::kWidth), float(GLGraphicsBed::kHeight));
    Text(whole, "abc", XAlignment::Right, YAlignment::Bottom);
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{113, 57, 128, 63}));
    ClearTo(Color(0.0f, 0.0f, 0.0f, 1.0f));
    Text(whole, "abc", XAlignment::Center, YAlignment::Center);
    // x = 64 - 15 / 2 (integer halving) = 57; y = 32 - 8 / 2 = 28.
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{57, 29, 72, 35}));
}

TEST_F(CanvasPixelTest, ClippingCutsTextAndRectangles) {
    Canvas().SetClippingRect(Rect(0.0f, 0.0f, 20.0f, 40.0f), true);
    Text(Rect(10.0f, 20.0f, 0.0f, 0.0f), "Hello", XAlignment::Left, YAlignment::Top);
    Canvas().RenderRect(Rect(0.0f, 30.0f, 128.0f, 34.0f), Color(1.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{0, 21, 20, 40}));
    Canvas().ClearClippingRect();
    Text(Rect(60.0f, 50.0f, 0.0f, 0.0f), "x", XAlignment::Left, YAlignment::Top);
    EXPECT_EQ(At(60, 51), kWhite);

    // Without a clipping rectangle a target larger than the back buffer is cleared whole.
    RenderSurface* large =
        Canvas().CreateTextureSurface(256, 256, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    ASSERT_NE(large, nullptr);
    Canvas().ClearRenderSurface(large, Color(1.0f, 1.0f, 1.0f, 1.0f), RenderDevice::kClearColor);
    Canvas().SetTargetSurface(nullptr);
    std::vector<uint32_t> texels(256 * 256);
    ASSERT_TRUE(large->ReadPixels(texels.data(), 256, 256, RenderTextureFormat::RGBA));
    EXPECT_EQ(texels[200 * 256 + 250], kWhite);
    Canvas().DestroySurface(large);
}

TEST_F(CanvasPixelTest, ShadowsFallDownAndRightInTranslucentBlack) {
    ClearTo(Color(0.5f, 0.5f, 0.5f, 1.0f));
    Text(Rect(10.0f, 20.0f, 0.0f, 0.0f), "A", XAlignment::Left, YAlignment::Top, true);
    // The glyph covers columns 10-14, rows 21-26; its shadow columns 12-16, rows 23-28.
    const uint32_t shadow = Rgba(43, 43, 43), grey = Rgba(128, 128, 128);  // the shadow: 128 x (1 - 0.66)
    ExpectPixels(
        {{10, 21, kWhite}, {14, 26, kWhite}, {16, 28, shadow}, {15, 23, shadow}, {11, 28, grey}, {17, 24, grey}});
}

TEST_F(CanvasPixelTest, ATextBoxEndsWhereItsTextEnds) {
    const Color red(1.0f, 0.0f, 0.0f, 1.0f);
    const Color green(0.0f, 1.0f, 0.0f, 1.0f);
    Canvas().RenderTextBox(20, 10, red, "Hi!", font, kSize, false, &green, false, 1, RenderFontStyle::Regular);
    // The box: the text's measured width and the size; the text inside it from the second row.
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{20, 10, 35, 18}));
    const uint32_t boxRed = Rgba(255, 0, 0), textGreen = Rgba(0, 255, 0);
    ExpectPixels({{20, 10, boxRed}, {34, 17, boxRed}, {20, 11, textGreen}, {34, 16, textGreen}});
    // Centred on the point.
    ClearTo(Color(0.0f, 0.0f, 0.0f, 1.0f));
    Canvas().RenderTextBox(64, 32, red, "abcd", font, kSize, true, nullptr, false, 1, RenderFontStyle::Regular);
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{54, 28, 74, 36}));
    EXPECT_EQ(At(54, 29), kWhite);
}

TEST_F(CanvasPixelTest, ColourFillsBlendAndPutTheBlendingBack) {
    ClearTo(Color(0.0f, 0.0f, 1.0f, 1.0f));
    Canvas().RenderRect(Rect(8.0f, 8.0f, 16.0f, 16.0f), Color(1.0f, 0.0f, 0.0f, 0.5f));
    Canvas().RenderRect(Rect(16.0f, 16.0f, 16.0f, 16.0f), RenderBlendFactor::One, RenderBlendFactor::One,
                        Color(0.0f, 1.0f, 0.0f, 1.0f));
    ExpectPixels({{10, 10, Rgba(128, 0, 127)}, {20, 20, Rgba(128, 255, 127)}, {30, 30, Rgba(0, 255, 255)},
                  {40, 40, Rgba(0, 0, 255)}});
    EXPECT_EQ(bed.Device().GetSourceBlendFactor(), RenderBlendFactor::One);
    EXPECT_EQ(bed.Device().GetDestinationBlendFactor(), RenderBlendFactor::Zero);
}

TEST_F(CanvasPixelTest, TexturedRectanglesMapTheirTexels) {
    // Red, green / blue, white; stretched onto 32 x 32 pixels from (40, 8), clamped at the edges.
    const uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    RenderTexture* texture = bed.Device().CreateTextureFromPixels(2, 2, texels, 1, 0);
    Canvas().RenderRect(Rect(40.0f, 8.0f, 32.0f, 32.0f), Rect(0.0f, 0.0f, 2.0f, 2.0f), texture,
                        RenderBlendFactor::SourceAlpha, RenderBlendFactor::InverseSourceAlpha,
                        Color(1.0f, 1.0f, 1.0f, 1.0f), false);
    ExpectPixels({{42, 10, Rgba(255, 0, 0)}, {69, 10, Rgba(0, 255, 0)}, {42, 37, Rgba(0, 0, 255)}, {69, 37, kWhite}});
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{40, 8, 72, 40}));
    bed.Device().DestroyTexture(texture);
}

TEST_F(CanvasPixelTest, AFanCoversItsPolygon) {
    // Three quarters of a square around (32, 32): the top-left quarter stays empty.
    const mem::vector<Vec2> fan = {{32, 32}, {32, 16}, {48, 16}, {48, 48}, {16, 48}, {16, 32}};
    Canvas().RenderTriFan(fan, Color(0.0f, 1.0f, 0.0f, 1.0f));
    ExpectPixels({{40, 20, Rgba(0, 255, 0)}, {20, 44, Rgba(0, 255, 0)}, {44, 44, Rgba(0, 255, 0)}, {20, 20, kBlack}});
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{16, 16, 48, 48}));
}

TEST_F(CanvasPixelTest, BatchedTextTakesOneDraw) {
    const uint32_t before = bed.Device().GetNumDrawCalls();
    font->BeginBatch();
    for (int line = 0; line < 6; ++line)
        Text(Rect(2.0f, float(line * 10), 0.0f, 0.0f), "line of text", XAlignment::Left, YAlignment::Top, true);
    font->EndBatch();
    EXPECT_EQ(bed.Device().GetNumDrawCalls() - before, 1u);
    EXPECT_EQ(At(2, 51), kWhite);
}

TEST_F(CanvasPixelTest, ScreenshotsAreReadBackThroughImage) {
    Canvas().RenderRect(Rect(0.0f, 0.0f, 128.0f, 32.0f), Color(1.0f, 0.0f, 0.0f, 1.0f));
    const std::string path = bed.GetDirectory().Join("Shots/shot.jpg");
    ASSERT_TRUE(bed.Graphics().SaveScreenShot(path.c_str()));
    Image image;
    ASSERT_EQ(image.Load(path.c_str(), Image::Format::RGBA), Image::Error::None);
    ASSERT_EQ(image.GetWidth(), uint32_t(GLGraphicsBed::kWidth));
    // Red on top, black below.
    const uint8_t* top = image.GetBuffer() + (8 * 128 + 64) * 4;
    const uint8_t* bottom = image.GetBuffer() + (56 * 128 + 64) * 4;
    EXPECT_GT(top[0], 240);
    EXPECT_LT(bottom[0], 16);

    // Any surface at its own size; a missing one fails.
    RenderSurface* surface =
        Canvas().CreateTemporaryTextureSurface(16, 8, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    Canvas().ClearRenderSurface(surface, Color(0.0f, 1.0f, 0.0f, 1.0f), RenderDevice::kClearColor);
    Canvas().SetTargetSurface(nullptr);
    ASSERT_TRUE(bed.Graphics().SaveRenderSurface(path.c_str(), surface));
    ASSERT_EQ(image.Load(path.c_str(), Image::Format::RGB), Image::Error::None);
    EXPECT_EQ(image.GetWidth(), 16u);
    EXPECT_GT(image.GetBuffer()[1], 240);
    LogCapture failures;
    EXPECT_FALSE(bed.Graphics().SaveRenderSurface(path.c_str(), nullptr));
}

}  // namespace
}  // namespace GAME::test
