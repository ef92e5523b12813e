// Fonts and canvas text over the recording device, whose font draws every character size / 2
// pixels wide: the file formats, the escapes and how text splits into runs, shadows, measuring,
// and what the canvas hands the font for aligned text and text boxes.

#include "render/GraphicsFont.h"

#include "support/GraphicsTestBed.h"
#include "render/GraphicsCanvas.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace GAME::test {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

class GraphicsFontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.Start());
        bed.WriteFile("Fonts/Test Face.fnt", Bytes(std::string("FNT\x02", 4) + "glyphs"));
        font = bed.Graphics().LoadFont("Fonts/Test Face.fnt");
        ASSERT_NE(font, nullptr);
        font->EnsureAvailable();
    }
    void TearDown() override { bed.Graphics().UnloadFont(font); }

    // The device font's draws of the text at (10, 20), size 10.
    std::vector<std::string> Draw(const char* text, const Color& color = Color(1.0f, 1.0f, 1.0f, 0.5f),
                                  bool shadow = false) {
        bed.Device().ClearCalls();
        Rect pen(10.0f, 20.0f, 0.0f, 0.0f);
        font->DrawText(text, pen, GraphicsFont::kDrawFlags, 10, color, shadow, 2, RenderFontStyle::Regular, false);
        return bed.Device().GetCalls("font1.DrawText");
    }

    GraphicsCanvas& Canvas() { return *bed.Graphics().GetCanvas(); }

    GraphicsTestBed bed;
    const GraphicsFont* font = nullptr;
};

TEST_F(GraphicsFontTest, CurrentOldAndShortFiles) {
    EXPECT_EQ(font->GetInitResult(), Resource::InitResult::Success);
    EXPECT_EQ(bed.Device().GetCalls("CreateDeviceFont"),
              std::vector<std::string>{"CreateDeviceFont(\"Test Face\", data, 10)"});
    EXPECT_EQ(font->GetVideoMemoryUsage(), 10u);
    EXPECT_EQ(font->GetSystemMemoryUsage(), 96u);

    LogCapture log;
    bed.WriteFile("Fonts/Old.fnt", Bytes(std::string("FNT\x01", 4)));
    const GraphicsFont* old = bed.Graphics().LoadFont("Fonts/Old.fnt");
    old->EnsureAvailable();
    EXPECT_EQ(old->GetInitResult(), Resource::InitResult::Success);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Font file 'Fonts/Old.fnt' is using the old format."));
    EXPECT_EQ(bed.Device().GetCalls("CreateDeviceFont").back(), "CreateDeviceFont(\"Old\", null, 0)");

    bed.WriteFile("Fonts/Short.fnt", Bytes("FNT"));
    const GraphicsFont* shortFile = bed.Graphics().LoadFont("Fonts/Short.fnt");
    shortFile->EnsureAvailable();
    EXPECT_EQ(shortFile->GetInitResult(), Resource::InitResult::InvalidData);
    EXPECT_EQ(log.Count(LogPriority::Error), 1u);
    // A font that did not load draws and measures nothing.
    Rect pen;
    EXPECT_EQ(shortFile->DrawText("abc", pen, GraphicsFont::kDrawFlags, 10, Color(1, 1, 1, 1), false, 1,
                                  RenderFontStyle::Regular, false),
              0);
    EXPECT_EQ(shortFile->MeasureText(L"abc", 10, RenderFontStyle::Regular), 0);
    for (const GraphicsFont* loaded : {old, shortFile}) bed.Graphics().UnloadFont(loaded);

    EXPECT_EQ(GraphicsFont::GetDeviceFontName("Fonts/Albertus MT.fnt"), "Albertus MT");
    EXPECT_EQ(GraphicsFont::GetDeviceFontName("Fonts/Sub\\Thing.v2.fnt"), "Thing.v2");
    EXPECT_EQ(GraphicsFont::GetDeviceFontName("Plain"), "Plain");
}

TEST_F(GraphicsFontTest, EscapesSetColourAndStyle) {
    struct Case {
        unsigned c, next, result;
    };
    const Case cases[] = {
        {'a', 'b', 1}, {'^', '^', 1}, {'^', 'r', 6}, {'^', 'X', 2}, {'^', 0, 2}, {'^', 0xFFFF, 2},
        {'&', '&', 1}, {'&', 'b', 6}, {'&', 'I', 6}, {'&', 's', 6}, {'&', 'x', 1}, {'{', 'a', 0},
        {'}', 0, 0},
    };
    for (const Case& test : cases) {
        RenderFontStyle style = RenderFontStyle::Regular;
        Color color(0.0f, 0.0f, 0.0f, 0.25f);
        EXPECT_EQ(GraphicsFont::ProcessCharacter(test.c, test.next, style, color), test.result)
            << char(test.c) << " " << test.next;
    }
    RenderFontStyle style = RenderFontStyle::Regular;
    Color color(0.0f, 0.0f, 0.0f, 0.25f);
    // Colour escapes exist for these letters only, in either case.
    for (unsigned letter = 'A'; letter <= 'Z'; ++letter) {
        const bool defined = std::string("ABCDFGIKLMOPRSTWY").find(char(letter)) != std::string::npos;
        EXPECT_EQ(GraphicsFont::ProcessCharacter('^', letter | ((letter % 2) << 5), style, color), defined ? 6u : 2u);
    }
    GraphicsFont::ProcessCharacter('^', 'b', style, color);
    EXPECT_EQ(color, Color(0.224f, 0.667f, 0.808f, 0.25f));
    GraphicsFont::ProcessCharacter('&', 'i', style, color);
    EXPECT_EQ(style, RenderFontStyle::Italic);

    bed.GetEngine().SetCharacterProcessing(false);
    EXPECT_EQ(GraphicsFont::ProcessCharacter('^', 'R', style, color), GraphicsFont::kDrawCharacter);
    EXPECT_EQ(Draw("^Rred{}"), std::vector<std::string>{"font1.DrawText(\"^Rred{}\", 7, (10, 20, 0, 0), 288, "
                                                         "0x80ffffff, 10, 0, false)"});
}

TEST_F(GraphicsFontTest, TextSplitsIntoRunsAtEachChange) {
    EXPECT_EQ(Draw("^Rred^Wwhite"), (std::vector<std::string>{
                                         "font1.DrawText(\"red\", 3, (10, 20, 0, 0), 288, 0x80ff4200, 10, 0, false)",
                                         "font1.DrawText(\"white\", 5, (25, 20, 0, 0), 288, 0x80ffffff, 10, 0, false)",
                                     }));
    EXPECT_EQ(Draw("^Xa{b}"), std::vector<std::string>{
                                  "font1.DrawText(\"ab\", 2, (10, 20, 0, 0), 288, 0x80ffffff, 10, 0, false)"});
    EXPECT_EQ(Draw("^^Rx"), (std::vector<std::string>{
                                "font1.DrawText(\"^\", 1, (10, 20, 0, 0), 288, 0x80ffffff, 10, 0, false)",
                                "font1.DrawText(\"x\", 1, (15, 20, 0, 0), 288, 0x80ff4200, 10, 0, false)",
                            }));
    EXPECT_EQ(Draw("&Bbold&S"), std::vector<std::string>{
                                    "font1.DrawText(\"bold\", 4, (10, 20, 0, 0), 288, 0x80ffffff, 10, 1, false)"});
    EXPECT_EQ(Draw("A&&Bc"), (std::vector<std::string>{
                                 "font1.DrawText(\"A&\", 2, (10, 20, 0, 0), 288, 0x80ffffff, 10, 0, false)",
                                 "font1.DrawText(\"c\", 1, (20, 20, 0, 0), 288, 0x80ffffff, 10, 1, false)",
                             }));
    // An escape cut off by the end of the text ends it.
    EXPECT_EQ(Draw("ab^"), std::vector<std::string>{
                               "font1.DrawText(\"ab\", 2, (10, 20, 0, 0), 288, 0x80ffffff, 10, 0, false)"});
    EXPECT_TRUE(Draw("^").empty());
}

TEST_F(GraphicsFontTest, LongTextGoesInRunsOf511) {
    const std::string text(600, 'x');
    bed.Device().ClearCalls();
    Rect pen(0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(font->DrawText(text.c_str(), pen, GraphicsFont::kDrawFlags, 2, Color(1, 1, 1, 1), false, 1,
                             RenderFontStyle::Regular, false),
              600);
    EXPECT_EQ(pen.x, 600.0f);
    const std::vector<std::string> calls = bed.Device().GetCalls("font1.DrawText");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].find(", 511, (0, 0, 0, 0)"), std::string::npos);
    EXPECT_NE(calls[1].find(", 89, (511, 0, 0, 0)"), std::string::npos);
    // The device font brackets the whole text.
    EXPECT_EQ(bed.Device().CountCalls("font1.Begin"), 1u);
    EXPECT_EQ(bed.Device().CountCalls("font1.End"), 1u);
}

TEST_F(GraphicsFontTest, ShadowsGoFirstOffsetInTranslucentBlack) {
    EXPECT_EQ(Draw("ab^Gc", Color(1.0f, 1.0f, 1.0f, 0.5f), true),
              (std::vector<std::string>{
                  "font1.DrawText(\"ab\", 2, (12, 22, 0, 0), 288, 0x54000000, 10, 0, false)",
                  "font1.DrawText(\"ab\", 2, (10, 20, 0, 0), 288, 0x80ffffff, 10, 0, false)",
                  "font1.DrawText(\"c\", 1, (22, 22, 0, 0), 288, 0x54000000, 10, 0, false)",
                  "font1.DrawText(\"c\", 1, (20, 20, 0, 0), 288, 0x8010ea5d, 10, 0, false)",
              }));
}

TEST_F(GraphicsFontTest, MeasuringDrawsNothing) {
    EXPECT_EQ(font->MeasureText("^Rab&Bcd", 10, RenderFontStyle::Regular), 20);
    const std::vector<std::string> calls = bed.Device().GetCalls("font1.DrawText");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "font1.DrawText(\"ab\", 2, (0, 0, 0, 0), 1312, 0xffff4200, 10, 0, false)");
    EXPECT_EQ(calls[1], "font1.DrawText(\"cd\", 2, (10, 0, 0, 0), 1312, 0xffff4200, 10, 1, false)");
}

// (Where aligned text lands is read back from the GL device in CanvasPixelTest.)
TEST_F(GraphicsFontTest, TheCanvasTruncatesTextCornersTowardZero) {
    const Color white(1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(Canvas().RenderText(Rect(-3.7f, 10.9f, 0.0f, 0.0f), white, L"ab", font, 10, XAlignment::Left,
                                  YAlignment::Top, false, 1, RenderFontStyle::Regular, false),
              10.0f);
    EXPECT_NE(bed.Device().GetCalls("font1.DrawText").back().find("(-3, 10, 0, 0), 288"), std::string::npos);
    EXPECT_EQ(Canvas().RenderText(0, 0, white, "x", nullptr, 10, XAlignment::Left, YAlignment::Top, false, 1,
                                  RenderFontStyle::Regular, false),
              0.0f);
}

TEST_F(GraphicsFontTest, ATextBoxFitsItsText) {
    const Color background(0.0f, 0.0f, 0.0f, 0.5f);
    Canvas().RenderTextBox(100, 50, background, "abcd", font, 10, true, nullptr, false, 1, RenderFontStyle::Regular);
    EXPECT_EQ(bed.Device().GetCalls("DrawTexturedRect"),
              std::vector<std::string>{"DrawTexturedRect((0, 0, 0, 0), (90, 45, 20, 10), 0x80000000, 0)"});
    EXPECT_EQ(bed.Device().GetState().textures[0], nullptr);
    EXPECT_EQ(bed.Device().GetCalls("font1.DrawText").back(),
              "font1.DrawText(\"abcd\", 4, (90, 45, 0, 0), 288, 0xffffffff, 10, 0, false)");
}

}  // namespace
}  // namespace GAME::test
