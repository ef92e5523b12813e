// Options: defaults, the defaults file overlaid by the user's, every value form, and saving in the
// "%-25s = " form without losing the lines it does not know.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/Options.h"
#include "support/FileSizeLimit.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

using Bool = Options::BoolName;
using Quality = Options::QualityName;
using Float = Options::FloatName;

TEST(Options, DefaultsBeforeAnyFile) {
    const Options options;
    EXPECT_EQ(options.GetQuality(Quality::textureQuality), 1);
    EXPECT_EQ(options.GetQuality(Quality::reflectionQuality), 1);
    EXPECT_TRUE(options.GetBool(Bool::shadows));
    EXPECT_TRUE(options.GetBool(Bool::detailObjects));
    EXPECT_TRUE(options.GetBool(Bool::cameraShake));
    EXPECT_FALSE(options.GetBool(Bool::antiAliasing));
    EXPECT_FALSE(options.GetBool(Bool::skipCompatibilityChecks));
    EXPECT_FLOAT_EQ(options.GetFloat(Float::gamma), 0.5f);
    EXPECT_EQ(options.GetInt2(Options::Int2Name::resolution), (Options::Int2{1024, 768}));
    EXPECT_EQ(options.GetString(Options::StringName::language), "English");
}

TEST(Options, UserFileOverridesTheDefaultsFile) {
    test::TempDirectory dir;
    dir.WriteFile("Settings/Default.txt",
                  "resolution                = 1280 1024\n"
                  "textureQuality            = 2\n"
                  "shadows                   = true\n"
                  "brightness                = 0.25\n"
                  "language                  = German\n");
    dir.WriteFile("Settings/User.txt", "shadows = false\r\nresolution=800x600\r\n");
    Options options;
    EXPECT_TRUE(options.Load(dir.Join("Settings/Default.txt")));
    EXPECT_TRUE(options.Load(dir.Join("Settings/User.txt")));
    EXPECT_FALSE(options.Load(dir.Join("Settings/Missing.txt")));
    test::LogCapture log;
    EXPECT_FALSE(options.Load(dir.Join("Settings"))) << "a directory opens but cannot be read";
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Settings could not be read"));
    EXPECT_EQ(options.GetQuality(Quality::textureQuality), 2);
    EXPECT_FALSE(options.GetBool(Bool::shadows));
    EXPECT_FLOAT_EQ(options.GetFloat(Float::brightness), 0.25f);
    EXPECT_EQ(options.GetInt2(Options::Int2Name::resolution), (Options::Int2{800, 600}));
    EXPECT_EQ(options.GetString(Options::StringName::language), "German");
}

TEST(Options, ValueFormsAndUnreadableValues) {
    test::LogCapture log;
    Options options;
    const std::string text =
        "fullscreen = 0\n"
        "tripleBuffer = TRUE\n"
        "syncToRefresh = 7\n"
        "ShadowQuality = 9\n"            // names in any case; qualities clamp to 0-2
        "detailLevel = -3\n"
        "resolution = 1600, 900\n"
        "contrast = 0.75\n"
        "contrast = +-0.5\n"            // a sign after the '+' is unreadable
        "shadowQuality = +-1\n"
        "gamma = bright\n"               // unreadable: kept at its value
        "antiAliasing = maybe\n"
        "resolution = 640 x\n"
        "resolution = 12\n";
    options.Parse(text.data(), static_cast<uint32_t>(text.size()));
    EXPECT_FALSE(options.GetBool(Bool::fullscreen));
    EXPECT_TRUE(options.GetBool(Bool::tripleBuffer));
    EXPECT_TRUE(options.GetBool(Bool::syncToRefresh));
    EXPECT_EQ(options.GetQuality(Quality::shadowQuality), 2);
    EXPECT_EQ(options.GetQuality(Quality::detailLevel), 0);
    EXPECT_EQ(options.GetInt2(Options::Int2Name::resolution), (Options::Int2{1600, 900}));
    EXPECT_FLOAT_EQ(options.GetFloat(Float::contrast), 0.75f);
    EXPECT_FLOAT_EQ(options.GetFloat(Float::gamma), 0.5f);
    EXPECT_FALSE(options.GetBool(Bool::antiAliasing));
    EXPECT_EQ(log.Count(LogPriority::Warning), 6u);

    options.SetQuality(Quality::textureQuality, 5);
    EXPECT_EQ(options.GetQuality(Quality::textureQuality), 2);
    options.SetQuality(Quality::textureQuality, -4);
    EXPECT_EQ(options.GetQuality(Quality::textureQuality), 0);
    options.Parse(nullptr, 10);
}

TEST(Options, SaveWritesEveryOptionAndKeepsUnknownLines) {
    test::TempDirectory dir;
    dir.WriteFile("User.txt",
                  "# the host's comment\n"
                  "shadows = false\n"
                  "\n"
                  "hostOnlyKey = 7\n"
                  "# another comment\n"
                  "hostOther = 1\n"
                  "textureQuality = 0\n"
                  "HOSTONLYKEY = 8\n");  // replaces the line of its name in place
    Options options;
    ASSERT_TRUE(options.Load(dir.Join("User.txt")));
    options.SetFloat(Float::brightness, 0.1f);
    options.SetBool(Bool::advancedEffects, false);
    options.SetString(Options::StringName::language, "French\nrest");
    ASSERT_TRUE(options.Save(dir.Join("Saved/User.txt")));

    const std::string saved = dir.ReadFile("Saved/User.txt");
    EXPECT_EQ(saved,
              "antiAliasing              = false\n"
              "fullscreen                = true\n"
              "syncToRefresh             = false\n"
              "tripleBuffer              = false\n"
              "cameraShake               = true\n"
              "detailObjects             = true\n"
              "advancedEffects           = false\n"
              "skipCompatibilityChecks   = false\n"
              "shadows                   = false\n"
              "textureQuality            = 0\n"
              "shadowQuality             = 1\n"
              "detailLevel               = 1\n"
              "reflectionQuality         = 1\n"
              "brightness                = 0.1\n"
              "contrast                  = 0.5\n"
              "gamma                     = 0.5\n"
              "resolution                = 1024 768\n"
              "language                  = French\n"
              "# the host's comment\n"
              "HOSTONLYKEY = 8\n"
              "# another comment\n"
              "hostOther = 1\n");

    // Round trip: every value comes back, and the unknown lines are not doubled.
    Options reloaded;
    ASSERT_TRUE(reloaded.Load(dir.Join("User.txt")));
    ASSERT_TRUE(reloaded.Load(dir.Join("Saved/User.txt")));
    EXPECT_FALSE(reloaded.GetBool(Bool::shadows));
    EXPECT_FALSE(reloaded.GetBool(Bool::advancedEffects));
    EXPECT_EQ(reloaded.GetFloat(Float::brightness), 0.1f);
    EXPECT_EQ(reloaded.GetString(Options::StringName::language), "French");
    ASSERT_TRUE(reloaded.Save(dir.Join("Again.txt")));
    EXPECT_EQ(dir.ReadFile("Again.txt"), saved);
}

TEST(Options, SaveThatCannotWriteReportsFailure) {
    test::TempDirectory dir;
    dir.WriteFile("file", "");
    test::LogCapture log;
    const Options options;
    EXPECT_FALSE(options.Save(dir.Join("file/User.txt")));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "User.txt"));
}

// The options are saved at every start: a save that fails (a full disk) keeps the previous file
// whole, and a file left empty by anything else is reported by name rather than read as no
// settings.
TEST(Options, AFailedSaveKeepsThePreviousFileAndAnEmptyFileIsReported) {
    test::TempDirectory dir;
    Options options;
    options.SetString(Options::StringName::language, "French");
    ASSERT_TRUE(options.Save(dir.Join("User.txt")));
    const std::string saved = dir.ReadFile("User.txt");
    options.SetString(Options::StringName::language, std::string(4096, 'x'));
    {
        test::FileSizeLimit fullDisk(saved.size() / 2);
        test::LogCapture log;
        EXPECT_FALSE(options.Save(dir.Join("User.txt")));
        EXPECT_TRUE(log.Contains(LogPriority::Error, "User.txt could not be written; the previous one is kept"));
    }
    EXPECT_EQ(dir.ReadFile("User.txt"), saved);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"User.txt"});

    dir.WriteFile("Empty.txt", "");
    test::LogCapture log;
    Options reloaded;
    EXPECT_FALSE(reloaded.Load(dir.Join("Empty.txt")));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Options file " + dir.Join("Empty.txt") + " is empty"));
    EXPECT_TRUE(reloaded.Load(dir.Join("User.txt")));
    EXPECT_EQ(reloaded.GetString(Options::StringName::language), "French");
}

// A file cut in half or overwritten with other data is read as far as it goes, with one warning
// naming the file and its first line that could not be read (or that the file ends inside).
TEST(Options, ACutOrGarbledFileIsWarnedOfByItsFirstUnreadLine) {
    test::TempDirectory dir;
    Options saved;
    saved.SetInt2(Options::Int2Name::resolution, {640, 480});
    ASSERT_TRUE(saved.Save(dir.Join("User.txt")));
    const std::string whole = dir.ReadFile("User.txt");
    // Cut inside the resolution, which then reads as 640 x 4.
    const std::string cut = whole.substr(0, whole.find(" 480") + 2);
    const std::string cutLine = std::to_string(std::count(cut.begin(), cut.end(), '\n') + 1);
    const std::string cutText = cut.substr(cut.rfind('\n') + 1);
    ASSERT_EQ(cutText.substr(cutText.size() - 7), "= 640 4");
    struct Case {
        std::string text;
        std::string warning;  // after "Options file <path>: line "; none when empty
        size_t warnings;
    };
    for (const Case& c :
         {Case{whole, "", 0},
          Case{cut, cutLine + " ends the file without a line end (the file may be cut short): \"" + cutText + "\"", 1},
          Case{std::string("\x7f"
                           "ELF\x02\x01\x01\0\0\0 = 1\n",
                           16),
               "1 is not text: \"?ELF?????? = 1\"", 1},
          Case{"# comment\n; another\n\n// a third\nhostOnly = 3\nrandom words\nbrightness = x\n",
               "6 is no setting: \"random words\"", 2},
          Case{"shadows = false\nresolution = 640\n", "2 has a value that does not read: \"resolution = 640\"", 2}}) {
        dir.WriteFile("Options.txt", c.text);
        test::LogCapture log;
        Options options;
        EXPECT_TRUE(options.Load(dir.Join("Options.txt")));
        const std::string prefix = "Options file " + dir.Join("Options.txt") + ": line ";
        EXPECT_EQ(log.Contains(LogPriority::Warning, prefix + c.warning), !c.warning.empty()) << c.warning;
        EXPECT_EQ(log.Count(LogPriority::Warning), c.warnings) << c.warning;
        EXPECT_EQ(options.GetInt2(Options::Int2Name::resolution) == (Options::Int2{640, 480}), c.warning.empty());
    }
}

}  // namespace
}  // namespace GAME
