// Saves of several files together: killed after any step of its commit, a save leaves the files all
// as they were or, once its journal is in place, all new after Finish (or the next save of any of
// them), and kept while it cannot be finished; a running save and a file that is no journal are
// left alone.

#include "core/AtomicFileSet.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/AtomicFile.h"
#include "support/KilledSave.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

using Names = std::vector<std::string>;

std::string gFirst;
bool gLeftAlone = false;

bool SaveSet(const test::TempDirectory& dir, const std::string& a, const std::string& b) {
    AtomicFileSet set({dir.Join("a.wrl"), dir.Join("a.sd")});
    return set.Write(0, a.data(), a.size()) && set.Write(1, b.data(), b.size()) && set.Commit();
}

TEST(AtomicFileSet, AKillAtAnyStepLeavesTheOldFilesOrAfterItsJournalTheNewOnes) {
    test::TempDirectory dir;
    const auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto filesBefore = openFiles();
    ASSERT_TRUE(SaveSet(dir, "old world", "old sectors"));
    // After a kill at each step: the entries left (the files, strays, the journal), and the names
    // Finish puts in place.
    struct Left {
        size_t entries;
        Names placed;
    };
    const std::vector<Left> left{{4, {}}, {4, {}}, {5, {"a.wrl", "a.sd"}}, {4, {"a.sd"}}, {3, {}}, {2, {}}};
    for (int kill = 0;; ++kill) {
        SCOPED_TRACE(kill);
        const test::KilledSaveEnd end = test::SaveKilledAfterStep(
            kill, [&] { return SaveSet(dir, "new world " + std::to_string(kill), "new sectors"); });
        const bool killed = end == test::KilledSaveEnd::Killed;
        ASSERT_TRUE(killed || (end == test::KilledSaveEnd::Saved && kill == int(left.size())));
        const Left expected = killed ? left[size_t(kill)] : Left{2, {}};
        EXPECT_EQ(dir.List().size(), expected.entries);

        test::LogCapture log;
        Names placed;
        if (kill == 3) {
            // When it cannot be finished (a directory took the sector file's place), it is kept: no
            // save of its files is made, to sweep its temporary of the sector file.
            std::filesystem::remove(dir.Join("a.sd"));
            std::filesystem::create_directory(dir.Join("a.sd"));
            EXPECT_FALSE(AtomicFileSet({dir.Join("a.wrl"), dir.Join("a.sd")}).IsOpen());
            EXPECT_FALSE(AtomicFile(dir.Join("a.sd")).IsOpen());
            EXPECT_EQ(dir.List().size(), 4u);
            std::filesystem::remove(dir.Join("a.sd"));
            // Then the next save of any of its files finishes it first, before it sweeps strays.
            AtomicFile sectors(dir.Join("a.sd"));
            ASSERT_TRUE(sectors.Write("new sectors", 11) && sectors.Commit());
        } else {
            ASSERT_TRUE(AtomicFileSet::Finish(dir.Join("a.wrl"), &placed));
            EXPECT_EQ(placed, expected.placed);
        }
        const bool journal = killed && kill >= 2 && kill <= 4;
        EXPECT_EQ(log.Contains(LogPriority::Warning, "Finished the save of " + dir.Join("a.wrl")), journal);
        const bool decided = !killed || kill >= 2;
        EXPECT_EQ(dir.ReadFile("a.wrl"), decided ? "new world " + std::to_string(kill) : "old world");
        EXPECT_EQ(dir.ReadFile("a.sd"), decided ? "new sectors" : "old sectors");
        EXPECT_EQ(dir.List().size(), decided ? 2u : 4u) << "strays wait for the next save";

        ASSERT_TRUE(SaveSet(dir, "old world", "old sectors"));
        EXPECT_EQ(dir.List(), (Names{"a.sd", "a.wrl"}));
        if (!killed) break;
    }
    EXPECT_EQ(openFiles(), filesBefore) << "the journals read are closed";
}

TEST(AtomicFileSet, ARunningSaveAndAFileThatIsNoJournalAreLeftAlone) {
    test::TempDirectory dir;
    ASSERT_TRUE(SaveSet(dir, "old world", "old sectors"));
    // Finish while the journal is in place and the save still holds it.
    gFirst = dir.Join("a.wrl");
    AtomicFileSet::SetStepHook([](int step) {
        if (step == 2)
            gLeftAlone = AtomicFileSet::Finish(gFirst) && ::access((gFirst + ".saving-set").c_str(), F_OK) == 0;
    });
    EXPECT_TRUE(SaveSet(dir, "new world", "new sectors"));
    AtomicFileSet::SetStepHook(nullptr);
    EXPECT_TRUE(gLeftAlone);
    EXPECT_EQ(dir.ReadFile("a.sd"), "new sectors");
    EXPECT_EQ(dir.List(), (Names{"a.sd", "a.wrl"}));

    // Files of different directories, or of one that does not exist, make no set.
    for (const Names& paths :
         {Names{dir.Join("a.wrl"), dir.Join("other/a.sd")}, Names{dir.Join("none/a"), dir.Join("none/b")}}) {
        test::LogCapture log;
        AtomicFileSet set(paths);
        EXPECT_FALSE(set.IsOpen());
        EXPECT_FALSE(set.Write(0, "x", 1));
        EXPECT_FALSE(set.Commit());
        EXPECT_EQ(log.Count(LogPriority::Error), 1u);
    }

    // Journals of another form, naming files that are no temporaries, or longer than any journal,
    // move nothing.
    const std::string name = std::string("a.sd.saving-Ab12Cd.tmp") + '\0';
    std::string longer = "save set 1\n";
    while (longer.size() <= 65536) longer += name;
    for (const std::string& text : {"save set 2\n" + name, std::string("save set 1\na.sd.saving-Ab12Cd.tmp"),
                                    std::string("save set 1\na.sd") + '\0', "save set 1\n../" + name,
                                    std::string("save set 1\n"), longer}) {
        dir.WriteFile("a.wrl.saving-set", text);
        dir.WriteFile("a.sd.saving-Ab12Cd.tmp", "a user's file");
        test::LogCapture log;
        EXPECT_TRUE(AtomicFileSet::Finish(dir.Join("a.wrl")));
        EXPECT_TRUE(log.Contains(LogPriority::Warning, "a.wrl.saving-set is no journal of a save"));
        EXPECT_EQ(dir.ReadFile("a.sd"), "new sectors");
        EXPECT_EQ(dir.ReadFile("a.wrl.saving-set"), text);
    }
}

}  // namespace
}  // namespace GAME
