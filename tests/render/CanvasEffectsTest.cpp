// The canvas's frame-buffer effects on the GL device with the sample data's filter shader, read
// back: the blur spreads a bright texel evenly and keeps its energy, the glow brightens only
// around bright parts, the mask follows alpha, the wipe covers the fraction it is given.

#include "support/GLGraphicsBed.h"

#include "SampleData.h"
#include "render/GraphicsCanvas.h"
#include "render/ShaderFileWriter.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace GAME::test {
namespace {

constexpr int kWidth = GLGraphicsBed::kWidth;
constexpr int kHeight = GLGraphicsBed::kHeight;

class CanvasEffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        bed.WriteFile(GraphicsCanvas::kFilterShader, sample::MakeFilterShaderFile());
        ClearTo(nullptr, Color(0.0f, 0.0f, 0.0f, 1.0f));
    }
    void TearDown() override { EXPECT_EQ(log.Count(LogPriority::Error), 0u); }

    void ClearTo(RenderSurface* surface, const Color& color) {
        Canvas().SetDefaultState();
        Canvas().ClearRenderSurface(surface, color, RenderDevice::kClearColor);
    }
    void Fill(const Rect& rect, const Color& color) {
        Canvas().RenderRect(rect, RenderBlendFactor::One, RenderBlendFactor::Zero, color);
    }
    // One channel (0 red .. 3 alpha) of a surface's pixels, rows top first.
    static std::vector<int> Channel(RenderSurface* surface, int width, int height, int channel) {
        std::vector<uint8_t> bytes(size_t(width) * size_t(height) * 4);
        EXPECT_TRUE(surface->ReadPixels(bytes.data(), width, height, RenderTextureFormat::RGBA));
        std::vector<int> values(size_t(width) * size_t(height));
        for (size_t i = 0; i < values.size(); ++i) values[i] = bytes[i * 4 + size_t(channel)];
        return values;
    }
    GraphicsCanvas& Canvas() { return bed.Canvas(); }

    void ExpectBlurredBlock() {
        Fill(Rect(62.0f, 30.0f, 2.0f, 2.0f), Color(1.0f, 1.0f, 1.0f, 1.0f));
        const Viewport before = Canvas().GetViewport();
        RenderSurface* const blurred =
            Canvas().BlurFrameBuffer(kWidth, kHeight, Rect(0.0f, 0.0f, float(kWidth), float(kHeight)));
        ASSERT_NE(blurred, nullptr);
        ASSERT_EQ(blurred->GetTexture()->GetWidth(), kWidth / 2);
        ASSERT_EQ(blurred->GetTexture()->GetHeight(), kHeight / 2);
        EXPECT_EQ(Canvas().GetTargetSurface(), Canvas().GetPrimarySurface());
        EXPECT_EQ(Canvas().GetViewport(), before);

        const int w = kWidth / 2;
        const std::vector<int> red = Channel(blurred, w, kHeight / 2, 0);
        const auto at = [&](int x, int y) { return red[size_t(y) * size_t(w) + size_t(x)]; };
        // Separable: each way the weights of neighbouring texel pairs, 0.10 0.25 0.30 0.25 0.10.
        const double profile[5] = {0.10, 0.25, 0.30, 0.25, 0.10};
        int total = 0;
        for (int y = 0; y < kHeight / 2; ++y) {
            for (int x = 0; x < w; ++x) {
                total += at(x, y);
                const int dx = x - 31;
                const int dy = y - 15;
                if (std::abs(dx) > 2 || std::abs(dy) > 2) {
                    EXPECT_EQ(at(x, y), 0) << x << ", " << y;
                    continue;
                }
                EXPECT_NEAR(at(x, y), 255.0 * profile[dx + 2] * profile[dy + 2], 2.0) << x << ", " << y;
                EXPECT_EQ(at(x, y), at(31 - dx, 15 - dy)) << x << ", " << y;
            }
        }
        // The result has a quarter of the texels; each carries four source texels' worth.
        EXPECT_NEAR(total * 4, 4 * 255, 4 * 255 / 10);
    }

    LogCapture log;
    GLGraphicsBed bed;
};

// Blurs a 2 x 2 white block (one texel of the half-size result) and checks the result: the
// separable profile around it, nothing elsewhere, and its energy kept.
TEST_F(CanvasEffectsTest, BlurSpreadsABrightTexelEvenlyAndKeepsItsEnergy) { ExpectBlurredBlock(); }

// Below pixel shader version 5 each pass takes four samples, and a second pass adds the other
// four: the same picture.
TEST_F(CanvasEffectsTest, TheTwoPassBlurOfOlderHardwareGivesTheSamePicture) {
    bed.Graphics().SetGeneration(RenderGenerationId::GeForce4);
    ASSERT_LT(bed.Graphics().GetPixelShaderVersion(), 5);
    ExpectBlurredBlock();
}

TEST_F(CanvasEffectsTest, WithoutTheBlurStyleThereIsNoBlurredSurface) {
    // A filter shader of another style only: the passes cannot run, and the pooled surface that
    // would have been returned holds whatever was drawn into it before.
    ShaderFileSection section;
    section.styles = {{"extractHot", 0, {}}};
    bed.WriteFile(GraphicsCanvas::kFilterShader, sample::MakeShaderFile(section));
    Fill(Rect(62.0f, 30.0f, 2.0f, 2.0f), Color(1.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(Canvas().BlurFrameBuffer(kWidth, kHeight, Rect(0.0f, 0.0f, float(kWidth), float(kHeight))), nullptr);
    EXPECT_EQ(Canvas().GetTargetSurface(), Canvas().GetPrimarySurface());
}

TEST_F(CanvasEffectsTest, GlowBrightensOnlyAroundBrightParts) {
    ClearTo(nullptr, Color(0.3f, 0.3f, 0.3f, 1.0f));
    Fill(Rect(40.0f, 16.0f, 16.0f, 16.0f), Color(1.0f, 1.0f, 1.0f, 1.0f));
    const std::vector<uint32_t> before = bed.ReadPixels();
    const Viewport viewport = Canvas().GetViewport();
    // 1 - 0.5 is subtracted: the grey at 0.3 gives nothing, the white half its brightness.
    Canvas().HotBlurFrameBuffer(kWidth, kHeight, 0.5f, 1.0f, 1.0f);
    EXPECT_EQ(Canvas().GetViewport(), viewport);
    EXPECT_EQ(Canvas().GetTargetSurface(), Canvas().GetPrimarySurface());
    const std::vector<uint32_t> after = bed.ReadPixels();
    const auto red = [](const std::vector<uint32_t>& pixels, int x, int y) {
        return int(pixels[size_t(y) * kWidth + size_t(x)] & 255);
    };
    // Beside the square the glow shows; far from it the frame is as it was.
    EXPECT_GT(red(after, 38, 24), red(before, 38, 24) + 20);
    EXPECT_GT(red(after, 58, 24), red(before, 58, 24) + 20);
    for (const auto& [x, y] : {std::pair{5, 5}, {100, 50}, {120, 10}, {10, 60}})
        EXPECT_EQ(after[size_t(y) * kWidth + size_t(x)], before[size_t(y) * kWidth + size_t(x)]) << x << ", " << y;

    // Threshold 2 is threshold 1: everything above black glows, so the grey brightens too.
    Canvas().HotBlurFrameBuffer(kWidth, kHeight, 2.0f, 1.0f, 1.0f);
    EXPECT_GT(red(bed.ReadPixels(), 100, 50), red(after, 100, 50) + 20);
}

// Over an even frame the blurred glow is even too: each channel gains (c - (1 - threshold)) x
// 0.5 / threshold, coloured by the saturation (0: its grey, 1: its own colour).
TEST_F(CanvasEffectsTest, TheGlowAddsWhatIsAboveTheThresholdScaledByHalfOverTheThreshold) {
    const auto glow = [&](const Color& frame, float saturation) {
        ClearTo(nullptr, frame);
        Canvas().HotBlurFrameBuffer(kWidth, kHeight, 0.9f, 1.0f, saturation);
        const uint32_t pixel = bed.ReadPixels()[size_t(32 * kWidth + 64)];
        return std::vector<int>{int(pixel & 255), int(pixel >> 8 & 255), int(pixel >> 16 & 255)};
    };
    const auto expectNear = [](const std::vector<int>& actual, const std::vector<double>& expected) {
        for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i] * 255.0, 3.0) << i;
    };
    // Grey 0.4: 0.3 above the threshold, times 0.5 / 0.9.
    const double added = 0.3 * 0.5 / 0.9;
    expectNear(glow(Color(0.4f, 0.4f, 0.4f, 1.0f), 1.0f), {0.4 + added, 0.4 + added, 0.4 + added});
    // Red: its own colour at saturation 1, the grey of it at 0.
    const double red = 0.5 * 0.5 / 0.9;
    const double other = 0.1 * 0.5 / 0.9;
    expectNear(glow(Color(0.6f, 0.2f, 0.2f, 1.0f), 1.0f), {0.6 + red, 0.2 + other, 0.2 + other});
    const double grey = 0.3 * red + 0.59 * other + 0.11 * other;
    expectNear(glow(Color(0.6f, 0.2f, 0.2f, 1.0f), 0.0f), {0.6 + grey, 0.2 + grey, 0.2 + grey});
}

TEST_F(CanvasEffectsTest, MaskFollowsAlpha) {
    RenderSurface* const target =
        Canvas().CreateTemporaryTextureSurface(kWidth, kHeight, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    ASSERT_NE(target, nullptr);
    ClearTo(target, Color(1.0f, 1.0f, 1.0f, 0.0f));
    Fill(Rect(0.0f, 0.0f, float(kWidth / 2), float(kHeight)), Color(0.2f, 0.2f, 0.2f, 1.0f));
    RenderSurface* const mask = Canvas().MaskFrameBuffer(kWidth, kHeight, Rect());
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(Canvas().GetTargetSurface(), target);
    EXPECT_EQ(Canvas().GetViewport(), Viewport(0, 0, kWidth, kHeight));
    // Reduced twice: 32 x 16, the opaque half on the left, whatever the colours.
    const int w = kWidth / 4;
    const std::vector<int> red = Channel(mask, w, kHeight / 4, 0);
    for (const int y : {2, 8, 13}) {
        EXPECT_NEAR(red[size_t(y * w + 4)], 255, 3);
        EXPECT_NEAR(red[size_t(y * w + 27)], 0, 3);
        EXPECT_GT(red[size_t(y * w + 15)], red[size_t(y * w + 17)]);
    }
    Canvas().SetTargetSurface(nullptr);
}

TEST_F(CanvasEffectsTest, WipeCoversTheFractionItIsGiven) {
    // A 40 x 40 square with its centre at (40, 30).
    const Rect square(10.0f, 5.0f, 40.0f, 40.0f);
    const auto covered = [&](float fraction) {
        ClearTo(nullptr, Color(0.0f, 0.0f, 0.0f, 1.0f));
        Canvas().RenderSquareRadialWipeEffect(square, Vec2(10.0f, 5.0f), Color(1.0f, 1.0f, 1.0f, 1.0f), fraction);
        const std::vector<uint32_t> pixels = bed.ReadPixels();
        int count = 0;
        for (uint32_t pixel : pixels) count += (pixel & 0xFFFFFF) != 0 ? 1 : 0;
        return std::pair{count, pixels};
    };
    EXPECT_EQ(covered(0.0f).first, 1600);
    EXPECT_EQ(covered(1.0f).first, 0);
    const auto [count, pixels] = covered(0.25f);
    EXPECT_NEAR(count, 1200, 40);
    EXPECT_EQ(bed.FindDrawn(Rgba(0, 0, 0)), (std::vector<int>{20, 10, 60, 50}));
    const auto lit = [&](int x, int y) { return (pixels[size_t(y) * kWidth + size_t(x)] & 0xFFFFFF) != 0; };
    EXPECT_FALSE(lit(50, 20));  // top right: the quarter left open
    EXPECT_TRUE(lit(50, 40));   // bottom right
    EXPECT_TRUE(lit(30, 40));   // bottom left
    EXPECT_TRUE(lit(30, 20));   // top left
}

}  // namespace
}  // namespace GAME::test
