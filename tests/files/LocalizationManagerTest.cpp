// LocalizationManager: UTF-16 files with surrogate pairs, narrow files in UTF-8 or Windows-1252,
// the mod overlay, missing tags, the special font.

#include <gtest/gtest.h>

#include <string>

#include "core/Singleton.h"
#include "files/FileSystem.h"
#include "files/LocalizationManager.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

// The UTF-16LE bytes of a text, after the byte-order mark FF FE.
std::string Utf16File(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

class LocalizationManagerTest : public ::testing::Test {
protected:
    ~LocalizationManagerTest() override { Singleton<LocalizationManager>::Destroy(); }

    // Mounts the directory; files must be written before.
    LocalizationManager& Mount() {
        files.AddDirectory(dir.GetPath());
        return LocalizationManager::Instance();
    }

    test::TempDirectory dir;
    FileSystem files;
};

TEST_F(LocalizationManagerTest, Utf16FileWithASurrogatePairAndNonAsciiText) {
    dir.WriteFile("Text/German.txt", Utf16File(u"tagZoneA=Gr\u00FC\u00DFe \U0001D11E\r\n"
                                               u"  SpecialFont = Fonts/Special.fnt\r\n"
                                               u"tagSum=a=b"));  // the last line ends with the file
    LocalizationManager& text = Mount();
    ASSERT_TRUE(text.SetLanguage(files, "German"));
    const std::wstring zone = text.Localize("tagZoneA");
    EXPECT_EQ(zone, L"Gr\u00FC\u00DFe \U0001D11E");
    EXPECT_EQ(zone.size(), 7u) << "the pair is one character";
    EXPECT_EQ(text.Localize("tagSum"), L"a=b");
    EXPECT_EQ(text.GetSpecialFont(), "Fonts/Special.fnt");
    EXPECT_FALSE(text.IsEnglish());
    EXPECT_EQ(text.GetLanguage(), "German");
}

TEST_F(LocalizationManagerTest, AnsiFileOverlaidByModStrings) {
    dir.WriteFile("Text/English.txt",
                  "tagInstallerText35=Your video card is not supported.\r\n"
                  "tagZoneA=Helos\r\n"
                  "tagQuote=\x93" "caf\xE9\x94\r\n"
                  "no equals sign here\r\n"
                  "=no tag\r\n");
    dir.WriteFile("text/ModStrings.TXT", "tagZoneA=Override\n");
    LocalizationManager& text = Mount();
    ASSERT_TRUE(text.SetLanguage(files, "english"));
    EXPECT_TRUE(text.IsEnglish());
    EXPECT_EQ(text.Localize("tagInstallerText35"), L"Your video card is not supported.");
    EXPECT_EQ(text.Localize("tagZoneA"), L"Override");
    EXPECT_EQ(text.Localize("tagQuote"), L"\u201Ccaf\u00E9\u201D");
    EXPECT_EQ(text.GetSpecialFont(), "");
    EXPECT_EQ(text.Localize(""), L"") << "a line without a tag adds nothing";
    text.AddText(nullptr, 10);
}

TEST_F(LocalizationManagerTest, MissingTagGivesTheTagAndIsLoggedOnce) {
    dir.WriteFile("Text/English.txt", "tagA=A\n");
    LocalizationManager& text = Mount();
    text.SetLanguage(files, "English");
    test::LogCapture log;
    EXPECT_EQ(text.Localize("tagMissing"), L"tagMissing");
    EXPECT_EQ(text.Localize("tagMissing"), L"tagMissing");
    EXPECT_EQ(log.Count(LogPriority::Warning), 1u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "tagMissing"));
    text.SetLanguage(files, "English");
    EXPECT_EQ(text.Localize("tagMissing"), L"tagMissing");
    EXPECT_EQ(log.Count(LogPriority::Warning), 2u) << "a language set again reports it again";
}

TEST_F(LocalizationManagerTest, MissingLanguageFileIsLoggedAndTheOverlayStillApplies) {
    dir.WriteFile("Text/modStrings.txt", "\xEF\xBB\xBFtagA=\xC3\xA9t\xC3\xA9");  // UTF-8 with its mark
    dir.WriteFile("Text/Empty.txt", "");
    LocalizationManager& text = Mount();
    test::LogCapture log;
    EXPECT_FALSE(text.SetLanguage(files, "Klingon"));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Text/Klingon.txt"));
    EXPECT_EQ(text.Localize("tagA"), L"\u00E9t\u00E9");
    EXPECT_TRUE(text.SetLanguage(files, "Empty")) << "an empty file is a language without texts";
    EXPECT_EQ(text.Localize("tagA"), L"\u00E9t\u00E9");
}

TEST_F(LocalizationManagerTest, ToWCharReadsNarrowText) {
    EXPECT_EQ(LocalizationManager::ToWChar("Key \xC3\xA4"), L"Key \u00E4");
    EXPECT_EQ(LocalizationManager::ToWChar("Key \xE4"), L"Key \u00E4");
}

}  // namespace
}  // namespace GAME
