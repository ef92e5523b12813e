// Font styles from their records in a running engine (on the recording device, whose font draws
// every character size / 2 pixels wide): defaults for missing keys, scaling below 768 lines with
// the low-resolution fonts, the language's special font, the fonts released before the graphics
// engine goes, and the canvas's text operations that take a style.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "support/RecordingDevice.h"
#include "TestEngine.h"
#include "TestRecords.h"
#include "core/Singleton.h"
#include "files/BaseResourceManager.h"
#include "files/Options.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsFont.h"
#include "render/StyleManager.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME::test {
namespace {

constexpr const char* kPartial = "Records/Styles/Partial.dbr";
constexpr const char* kFull = "Records/Styles/Full.dbr";
constexpr const char* kLowRes = "Records/Styles/LowRes.dbr";

TestRecords::Files StyleRecords(const std::string& englishText = "tagHello=Hello\n") {
    TestRecords::Files files = TestRecords::Standard();
    files.push_back({"Text/English.txt", englishText});
    files.push_back({"Text/German.txt", "tagHello=Hallo\n"});
    files.push_back({kPartial, "fontColorGreen,0.5,\n"});
    files.push_back({kFull,
                     "fontName,Fonts/Body.fnt,\nfontSize,20,\nfontShadowDistance,3,\nfontColorRed,0.25,\n"
                     "fontColorGreen,0.5,\nfontColorBlue,0.75,\nfontDropShadow,1,\nfontAttribBold,1,\n"
                     "fontAttribItalic,1,\nfontFilter,1,\n"});
    files.push_back({kLowRes,
                     "fontName,Fonts/Body.fnt,\nlowResMinimumFontSize,14,\nlowResFontName,Fonts/Small.fnt,\n"
                     "lowResFontNameForeign,Fonts/SmallForeign.fnt,\n"});
    for (const char* font : {"Fonts/Albertus MT.fnt", "Fonts/Body.fnt", "Fonts/Small.fnt", "Fonts/Special.fnt"}) {
        files.push_back({font, "FNT\x02 glyphs"});
    }
    return files;
}

class StyleManagerTest : public ::testing::Test {
protected:
    explicit StyleManagerTest(const TestRecords::Files& files = StyleRecords()) : records(files) {
        engine.SetLogPath(user.Join("Logs"));
    }

    // Starts the engine with a window of the given height (windowed, 4:3).
    void Start(int height, const char* language = "English") {
        Options& options = *engine.GetOptions();
        options.SetInt2(Options::Int2Name::resolution, {height * 4 / 3, height});
        options.SetBool(Options::BoolName::fullscreen, false);
        options.SetString(Options::StringName::language, language);
        ASSERT_TRUE(engine.Initialize(nullptr, TestEngine::MakeHeadlessGraphicsSettings(), true, false,
                                      &records.GetFileSystem()));
        ASSERT_EQ(engine.GetGraphicsEngine()->GetHeight(), height);
    }

    FontStyle& Style(const char* name) { return *Singleton<StyleManager>::Get()->GetStyle(name); }
    RecordingDevice& Device() { return *static_cast<RecordingDevice*>(engine.GetGraphicsEngine()->GetRenderDevice()); }

    TempDirectory user;
    TestRecords records;
    TestEngine engine;
};

TEST_F(StyleManagerTest, MissingKeysTakeTheDefaults) {
    Start(768);
    const auto fields = [](const FontStyle& style) {
        return std::tuple(style.fontName, style.size, style.shadowDistance, style.color, style.dropShadow,
                          style.attributes, style.filter);
    };
    const FontStyle& partial = Style(kPartial);
    EXPECT_EQ(fields(partial), std::tuple("Fonts/Albertus MT.fnt", 16, 1, Color(1.0f, 0.5f, 1.0f, 1.0f), false,
                                          RenderFontStyle::Regular, false));
    ASSERT_NE(partial.font, nullptr);
    EXPECT_EQ(partial.font->GetFileName(), "Fonts/Albertus MT.fnt");

    const FontStyle& full = Style(kFull);
    EXPECT_EQ(fields(full), std::tuple("Fonts/Body.fnt", 20, 3, Color(0.25f, 0.5f, 0.75f, 1.0f), true,
                                       RenderFontStyle::BoldItalic, true));
    EXPECT_EQ(&Style(kFull), &full);

    // A missing record is all defaults; the record store reports it.
    LogCapture log;
    const FontStyle& missing = Style("Records/Styles/Missing.dbr");
    EXPECT_EQ(fields(missing), std::tuple("Fonts/Albertus MT.fnt", 16, 1, Color(1.0f, 1.0f, 1.0f, 1.0f), false,
                                          RenderFontStyle::Regular, false));
    EXPECT_EQ(missing.font, partial.font);
    EXPECT_EQ(log.Count(LogPriority::Error), 1u);
}

TEST_F(StyleManagerTest, SmallWindowsScaleStylesDownToTheLowResolutionFont) {
    Start(600);
    // ceil(16 x 600 / 768) = ceil(12.5); ceil(3 x 600 / 768) = ceil(2.34).
    EXPECT_EQ(Style(kPartial).size, 13);
    EXPECT_EQ(Style(kFull).size, 16);
    EXPECT_EQ(Style(kFull).shadowDistance, 3);
    const FontStyle& lowRes = Style(kLowRes);
    EXPECT_EQ(lowRes.size, 14);
    EXPECT_EQ(lowRes.fontName, "Fonts/Small.fnt");
    EXPECT_EQ(lowRes.font->GetFileName(), "Fonts/Small.fnt");
}

TEST_F(StyleManagerTest, OtherLanguagesTakeTheForeignLowResolutionFont) {
    Start(480, "German");
    EXPECT_EQ(Style(kLowRes).fontName, "Fonts/SmallForeign.fnt");
    EXPECT_EQ(Style(kLowRes).size, 14);
    // 16 x 480 / 768 = 10, below the default minimum of 12, in the font chosen so far.
    EXPECT_EQ(Style(kPartial).size, 12);
    EXPECT_EQ(Style(kPartial).fontName, "Fonts/Albertus MT.fnt");
}

class SpecialFontTest : public StyleManagerTest {
protected:
    SpecialFontTest() : StyleManagerTest(StyleRecords("SpecialFont=Fonts/Special.fnt\n")) {}
};

TEST_F(SpecialFontTest, TheLanguagesSpecialFontReplacesEveryStylesFont) {
    Start(768);
    EXPECT_EQ(Style(kFull).fontName, "Fonts/Special.fnt");
    EXPECT_EQ(Style(kPartial).font, Style(kFull).font);
}

TEST_F(StyleManagerTest, TheGraphicsEngineTakesItsFontsBackFromTheStyles) {
    Start(768);
    GraphicsEngine& graphics = *engine.GetGraphicsEngine();
    Style(kPartial);
    const FontStyle* held = &Style(kFull);  // as a holder such as the render debugger keeps it
    BaseResourceManager& fonts = *graphics.GetFontResourceManager();
    graphics.UnloadUnreferencedResources();
    EXPECT_EQ(fonts.GetNumResources(), 3);  // the default font and the two styles' fonts
    StyleManager::ReleaseFonts(graphics);
    graphics.UnloadUnreferencedResources();
    EXPECT_EQ(fonts.GetNumResources(), 1);
    // The styles stay, without fonts, and load their fonts again in place on next use.
    EXPECT_EQ(held->font, nullptr);
    EXPECT_EQ(&Style(kFull), held);
    ASSERT_NE(held->font, nullptr);
    EXPECT_EQ(held->font->GetFileName(), "Fonts/Body.fnt");
    EXPECT_EQ(held->size, 20);
    engine.Shutdown();
    EXPECT_EQ(engine.GetLog().Count(LogPriority::Error), 0u);
}

TEST_F(StyleManagerTest, TheCanvasDrawsInAStyle) {
    Start(768);
    GraphicsCanvas& canvas = *engine.GetGraphicsEngine()->GetCanvas();
    Device().ClearCalls();
    // kFull: size 20 (10 pixels a character), colour (0.25, 0.5, 0.75), shadow 3, bold italic, filtered.
    canvas.RenderText(Rect(0.0f, 0.0f, 100.0f, 0.0f), "abc", kFull, 0.5f, XAlignment::Right, YAlignment::Top);
    std::vector<std::string> draws = Device().GetCalls("DrawText");
    ASSERT_EQ(draws.size(), 3u);  // measured, then the shadow and the text
    EXPECT_NE(draws[1].find("(\"abc\", 3, (73, 3, 0, 0), 288, 0x54000000, 20, 3, true)"), std::string::npos);
    EXPECT_NE(draws[2].find("(\"abc\", 3, (70, 0, 0, 0), 288, 0x804080bf, 20, 3, true)"), std::string::npos);

    // A paragraph: a background 3 pixels wider all round than its longest line, lines 22 apart,
    // drawn without shadow in one bracket of the device font.
    Device().ClearCalls();
    canvas.RenderTextParagraph(10, 20, Color(1, 1, 1, 1), Color(0, 0, 0, 0.5f), {L"ab", L"abcd", L"abc"}, kFull,
                               false);
    EXPECT_EQ(Device().GetCalls("DrawTexturedRect"),
              std::vector<std::string>{"DrawTexturedRect((0, 0, 0, 0), (7, 17, 46, 72), 0x80000000, 0)"});
    draws = Device().GetCalls("DrawText");
    ASSERT_EQ(draws.size(), 7u);  // the longest line measured, then each line measured and drawn
    EXPECT_NE(draws[2].find("(\"ab\", 2, (10, 20, 0, 0), 288, 0xffffffff, 20, 3, false)"), std::string::npos);
    EXPECT_NE(draws[6].find("(\"abc\", 3, (10, 64, 0, 0), 288"), std::string::npos);
    const std::vector<std::string> calls = Device().GetCalls();
    EXPECT_NE(std::find_if(calls.begin(), calls.end(), [](const std::string& c) { return c.ends_with(".Begin()"); }),
              calls.end());
    // Centred on the point, each line centred in the block.
    Device().ClearCalls();
    canvas.RenderTextParagraph(100, 100, Color(1, 1, 1, 1), Color(0, 0, 0, 0.5f), {L"ab", L"abcd"}, kFull, true);
    EXPECT_EQ(Device().GetCalls("DrawTexturedRect"),
              std::vector<std::string>{"DrawTexturedRect((0, 0, 0, 0), (74, 72, 46, 50), 0x80000000, 0)"});
    EXPECT_NE(Device().GetCalls("DrawText")[2].find("(\"ab\", 2, (90, 75, 0, 0)"), std::string::npos);
    // An empty paragraph draws nothing.
    Device().ClearCalls();
    canvas.RenderTextParagraph(10, 20, Color(1, 1, 1, 1), Color(0, 0, 0, 0.5f), {}, kFull, false);
    EXPECT_TRUE(Device().GetCalls().empty());

    // Coloured text: the style's font, size, shadow and attributes in the colour, on a clear box.
    Device().ClearCalls();
    canvas.RenderColoredText(5, 6, std::string("hi"), kFull, Color(1.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_EQ(Device().GetCalls("DrawTexturedRect"),
              std::vector<std::string>{"DrawTexturedRect((0, 0, 0, 0), (5, 6, 20, 20), 0x00000000, 0)"});
    EXPECT_NE(Device().GetCalls("DrawText").back().find("(\"hi\", 2, (5, 6, 0, 0), 288, 0xffff0000, 20, 3, false)"),
              std::string::npos);
}

}  // namespace
}  // namespace GAME::test
