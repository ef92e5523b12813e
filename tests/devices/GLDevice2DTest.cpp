// The canvas's 2-D draws and device fonts, read back as pixels.

#include "DeviceTest.h"

#include "core/Vec2.h"
#include "devices/GLDeviceFont.h"
#include "render/DeviceFontFile.h"
#include "support/LogCapture.h"

namespace GAME::test {
namespace {

class GLDevice2DTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (device_ != nullptr) ClearTo(Color(0, 0, 0, 1));
    }
    // The bounding box of the pixels that are not black, as (x0, y0, x1, y1) inclusive; all -1
    // when every pixel is black.
    std::vector<int> LitBox() const {
        const std::vector<uint32_t> pixels = OffscreenDevice::Read(primary_, 64, 64);
        std::vector<int> box = {-1, -1, -1, -1};
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                if ((pixels[size_t(y) * 64 + x] & 0xFFFFFF) == 0) continue;
                box = box[0] < 0 ? std::vector<int>{x, y, x, y}
                                 : std::vector<int>{std::min(box[0], x), std::min(box[1], y), std::max(box[2], x),
                                                    std::max(box[3], y)};
            }
        }
        return box;
    }
};

TEST_F(GLDevice2DTest, RectanglesWithAndWithoutTexturesAndBlending) {
    device_->DrawRect(Rect(0, 0, 32, 32), 0xFFFF0000, 0.0f);
    EXPECT_EQ(std::pair(PrimaryPixel(31, 31), PrimaryPixel(32, 31)), std::pair(Rgba(255, 0, 0), Rgba(0, 0, 0)));
    device_->SetSourceBlendFactor(RenderBlendFactor::SourceAlpha);
    device_->SetDestinationBlendFactor(RenderBlendFactor::InverseSourceAlpha);
    device_->DrawRect(Rect(0, 0, 16, 16), 0x800000FF, 0.0f);
    EXPECT_TRUE(Near(PrimaryPixel(4, 4), Rgba(127, 0, 128, 191), 2)) << std::hex << PrimaryPixel(4, 4);
    // Additive (one, one).
    device_->SetSourceBlendFactor(RenderBlendFactor::One);
    device_->SetDestinationBlendFactor(RenderBlendFactor::One);
    device_->DrawRect(Rect(16, 16, 16, 16), 0xFF00FF00, 0.0f);
    EXPECT_EQ(PrimaryPixel(20, 20), Rgba(255, 255, 0));
    device_->SetDestinationBlendFactor(RenderBlendFactor::Zero);

    // No texture samples as opaque white, so the colour alone shows.
    device_->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(40, 0, 8, 8), 0xFF00FF00, 0.0f);
    EXPECT_EQ(PrimaryPixel(44, 4), Rgba(0, 255, 0));
    // Texels 0xAARRGGBB: red, green / blue, white; the top-right quarter of texture space.
    const uint32_t texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    RenderTexture* texture = device_->CreateTextureFromPixels(2, 2, texels, 1, 0);
    device_->SetTexture(0, texture);
    device_->SetSamplerState(0, RenderSamplerState::MagFilter, 0);
    device_->DrawTexturedRect(Rect(0.5f, 0, 0.5f, 0.5f), Rect(40, 40, 8, 8), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(std::pair(PrimaryPixel(41, 41), PrimaryPixel(47, 47)), std::pair(Rgba(0, 255, 0), Rgba(0, 255, 0)));
    // The colour modulates the texture.
    device_->DrawTexturedRect(Rect(0, 0.5f, 0.5f, 0.5f), Rect(50, 40, 8, 8), 0xFF808080, 0.0f);
    EXPECT_TRUE(Near(PrimaryPixel(52, 44), Rgba(0, 0, 128), 1));
    device_->SetTexture(0, nullptr);
    device_->DestroyTexture(texture);
}

TEST_F(GLDevice2DTest, ABoundPixelProgramShadesTheTwoDDraws) {
    RenderPixelShader* coordinates = MakePixelShader("void main() { o_color = vec4(v_uv0, pc[0].x, 1.0); }\n");
    const float blue[4] = {1.0f, 0, 0, 0};
    device_->SetPixelShaderConstants(0, blue, 1);
    device_->SetPixelShader(coordinates);
    device_->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(0, 0, 64, 64), 0xFFFFFFFF, 0.0f);
    // u grows to the right, v downwards from the top row.
    for (const auto& [x, y, expected] :
         {std::tuple(0, 0, Rgba(2, 2, 255)), {63, 0, Rgba(253, 2, 255)}, {0, 63, Rgba(2, 253, 255)}})
        EXPECT_TRUE(Near(PrimaryPixel(x, y), expected, 1)) << std::hex << PrimaryPixel(x, y);
    device_->SetPixelShader(nullptr);
    device_->DestroyPixelShader(coordinates);
}

TEST_F(GLDevice2DTest, FansNeedThreePoints) {
    device_->BeginScene();
    const Vec2 square[4] = {Vec2(10, 10), Vec2(30, 10), Vec2(30, 30), Vec2(10, 30)};
    device_->DrawTriangleFan(square, 2, 0xFFFFFFFF);
    EXPECT_EQ(std::pair(device_->GetNumDrawCalls(), LitBox()), std::pair(0u, std::vector<int>{-1, -1, -1, -1}));
    device_->DrawTriangleFan(square, 4, 0xFF00FFFF);
    EXPECT_EQ(std::tuple(device_->GetNumDrawCalls(), device_->GetNumFacesRendered(), LitBox(), PrimaryPixel(20, 20)),
              std::tuple(1u, 2u, std::vector<int>{10, 10, 29, 29}, Rgba(0, 255, 255)));
}

TEST_F(GLDevice2DTest, BuiltInFontDrawsMeasuresAndLeavesTheStateAlone) {
    RenderFont* font = device_->CreateDeviceFont("Missing", nullptr, 0);
    ASSERT_NE(font, nullptr);
    const Rect at(4, 4, 0, 0);
    // Size 16 doubles the 8-pixel face: "Hi" advances 2 x 12 pixels.
    EXPECT_EQ(font->DrawText("Hi", -1, &at, RenderFont::kSingleLine | RenderFont::kCalculateRect, 0xFFFFFFFF, 16,
                             RenderFontStyle::Regular, false),
              24);
    EXPECT_EQ(LitBox(), (std::vector<int>{-1, -1, -1, -1}));
    EXPECT_EQ(font->DrawText(L"Hi", 2, &at, RenderFont::kSingleLine | RenderFont::kNoClip, 0xFFFFFFFF, 16,
                             RenderFontStyle::Regular, false),
              24);
    const std::vector<int> box = LitBox();
    // 'H' starts at the left edge and the top of the line, 7 rows above the baseline, doubled.
    EXPECT_EQ(std::vector({box[0], box[1], box[3]}), std::vector({4, 4, 4 + 14 - 1}));
    EXPECT_LE(box[2], 4 + 24);
    EXPECT_EQ(PrimaryPixel(4, 4), Rgba(255, 255, 255));   // the H's left stem
    EXPECT_EQ(std::pair(device_->GetSourceBlendFactor(), device_->GetDestinationBlendFactor()),
              std::pair(RenderBlendFactor::One, RenderBlendFactor::Zero));
    // Synthesised bold draws one pixel further and is measured so.
    EXPECT_EQ(font->DrawText("Hi", 2, &at, RenderFont::kCalculateRect, 0xFFFFFFFF, 16, RenderFontStyle::Bold, false),
              25);
    EXPECT_EQ(font->DrawText("", 0, &at, RenderFont::kCalculateRect, 0xFFFFFFFF, 16, RenderFontStyle::Bold, false), 0);
    ClearTo(Color(0, 0, 0, 1));  // italic leans right above the baseline, 7 rows down the face
    font->DrawText("H", 1, &at, 0, 0xFFFFFFFF, 16, RenderFontStyle::Italic, false);
    EXPECT_EQ(LitBox(), (std::vector<int>{4, 4, 16, 17}));
    // Batched runs come out in call order: the shadow first, the text over it.
    ClearTo(Color(0, 0, 0, 1));
    font->Begin();
    const Rect shadow(5, 5, 0, 0);
    font->DrawText("I", 1, &shadow, 0, 0xFF0000FF, 8, RenderFontStyle::Regular, false);
    const Rect text(4, 4, 0, 0);
    font->DrawText("I", 1, &text, 0, 0xFFFF0000, 8, RenderFontStyle::Regular, false);
    EXPECT_EQ(LitBox(), (std::vector<int>{-1, -1, -1, -1}));  // nothing until End
    font->End();
    // The 'I' bar of the text, and the shadow's bar end, not covered.
    EXPECT_EQ(std::pair(PrimaryPixel(6, 4), PrimaryPixel(8, 5)), std::pair(Rgba(255, 0, 0), Rgba(0, 0, 255)));
    device_->DestroyDeviceFont(font);
    EXPECT_EQ(font, nullptr);
}

TEST_F(GLDevice2DTest, BatchesNestAndStayBounded) {
    RenderFont* font = device_->CreateDeviceFont("Missing", nullptr, 0);
    ASSERT_NE(font, nullptr);
    const Rect at(4, 4, 0, 0);
    const uint32_t before = device_->GetNumDrawCalls();
    font->Begin();
    font->Begin();
    font->DrawText("I", 1, &at, 0, 0xFFFF0000, 8, RenderFontStyle::Regular, true);
    font->End();
    EXPECT_EQ(device_->GetNumDrawCalls(), before);  // the inner End leaves the batch open
    font->DrawText("I", 1, &at, 0, 0xFFFF0000, 8, RenderFontStyle::Regular, true);
    font->End();
    EXPECT_EQ(std::pair(device_->GetNumDrawCalls(), PrimaryPixel(6, 4)), std::pair(before + 1, Rgba(255, 0, 0)));
    font->End();  // an End too many changes nothing
    // A batch larger than the bound is drawn in parts.
    const std::string text(GLDeviceFont::kMaxBatchGlyphs + 10, 'I');
    font->Begin();
    font->DrawText(text.c_str(), int(text.size()), &at, 0, 0xFFFF0000, 1, RenderFontStyle::Regular, false);
    font->DrawText("I", 1, &at, 0, 0xFFFF0000, 1, RenderFontStyle::Regular, false);  // joins the second part
    font->End();
    EXPECT_EQ(device_->GetNumDrawCalls(), before + 3);
    device_->DestroyDeviceFont(font);
}

TEST_F(GLDevice2DTest, FontFilesDrawTheirGlyphsAndKerning) {
    // A 4-pixel face: 'A' is a full 4 x 4 block reaching 2 below the baseline, advancing 5; '?' a
    // 1 x 4 bar; "AA" kerns by -2.
    DeviceFontFace face;
    face.baseSize = 4;
    face.ascent = 4;
    face.lineHeight = 5;
    face.atlasWidth = 8;
    face.atlasHeight = 4;
    face.atlas.assign(32, 255);
    DeviceFontGlyph question;
    question.code = '?';
    question.x = 6;
    question.width = 1;
    question.height = 4;
    question.advance = 2;
    DeviceFontGlyph a;
    a.code = 'A';
    a.width = 4;
    a.height = 4;
    a.yOffset = 2;
    a.advance = 5;
    face.glyphs = {question, a};
    face.kerning = {DeviceFontKerning{'A', 'A', -2}, {1, 'A', 3}};  // the second never applies to a first letter
    DeviceFontFile file;
    file.faces = {face};
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(file.Write(bytes));
    RenderFont* font = device_->CreateDeviceFont("Test", bytes.data(), uint32_t(bytes.size()));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->GetVideoMemoryUsage(), 32u);  // its 8 x 4 atlas
    const Rect at(10, 20, 0, 0);
    EXPECT_EQ(font->DrawText("AA", 2, &at, RenderFont::kCalculateRect, 0xFFFFFFFF, 8, RenderFontStyle::Regular, true),
              16);
    EXPECT_EQ(font->DrawText("A", 1, &at, 0, 0xFFFFFFFF, 8, RenderFontStyle::Regular, false), 10);
    EXPECT_EQ(LitBox(), (std::vector<int>{10, 24, 17, 31}));
    EXPECT_EQ(font->DrawText("B", 1, &at, RenderFont::kCalculateRect, 0xFFFFFFFF, 4, RenderFontStyle::Regular, false),
              2);  // drawn as '?'
    // Of a regular face, bold draws twice a pixel apart (one more advance); italic leans: what is
    // above the baseline to the right, what is below it to the left.
    EXPECT_EQ(font->DrawText("A", 1, &at, RenderFont::kCalculateRect, 0, 4, RenderFontStyle::Bold, false), 6);
    EXPECT_EQ(font->DrawText("A", 0, &at, RenderFont::kCalculateRect, 0, 4, RenderFontStyle::Bold, false), 0);
    ClearTo(Color(0, 0, 0, 1));
    font->DrawText("AA", 2, &at, 0, 0xFFFFFFFF, 8, RenderFontStyle::BoldItalic, false);
    EXPECT_EQ(std::pair(LitBox(), PrimaryPixel(24, 31)), std::pair(std::vector<int>{9, 24, 25, 31}, Rgba(0, 0, 0)));
    device_->DestroyDeviceFont(font);

    // Unreadable files and old-format files get the built-in face.
    LogCapture log;
    bytes.resize(bytes.size() / 2);
    font = device_->CreateDeviceFont("Broken", bytes.data(), uint32_t(bytes.size()));
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Broken"));
    EXPECT_EQ(font->DrawText("ab", 2, nullptr, RenderFont::kCalculateRect, 0, 0, RenderFontStyle::Regular, false), 12);
    device_->DestroyDeviceFont(font);
    const uint8_t old[8] = {'F', 'N', 'T', 1, 0, 0, 0, 0};
    font = device_->CreateDeviceFont("Old", old, sizeof(old));
    EXPECT_EQ(font->DrawText("ab", 2, nullptr, RenderFont::kCalculateRect, 0, 1, RenderFontStyle::Regular, false), 2);
    device_->DestroyDeviceFont(font);
}

}  // namespace
}  // namespace GAME::test
