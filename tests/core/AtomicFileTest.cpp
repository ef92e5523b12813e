// Atomic saves: a file is replaced whole or not at all, a kill leaves the old file and a stray that
// the next save removes, and saves of one file at once each land whole.

#include "core/AtomicFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/FileSizeLimit.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

using Names = std::vector<std::string>;

bool Save(const std::string& path, const std::string& text) {
    AtomicFile file(path);
    return file.Write(text.data(), text.size()) && file.Commit();
}

TEST(AtomicFile, ACommitReplacesTheFileWholeAndAFailedSaveLeavesItAsItWas) {
    test::TempDirectory dir;
    const auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto filesBefore = openFiles();
    {
        test::LogCapture quiet;
        ASSERT_TRUE(Save(dir.Join("a.txt"), "first"));
        EXPECT_TRUE(quiet.Lines().empty()) << "the file and its directory are flushed";
    }
    EXPECT_EQ(openFiles(), filesBefore) << "a save leaves nothing open";
    EXPECT_EQ(dir.ReadFile("a.txt"), "first");
    struct stat info {};
    ASSERT_EQ(::stat(dir.Join("a.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    {
        AtomicFile file(dir.Join("a.txt"));
        ASSERT_TRUE(file.IsOpen());
        EXPECT_NE(file.GetTemporaryPath(), dir.Join("a.txt.tmp"));
        EXPECT_EQ(file.GetTemporaryPath().rfind(dir.Join("a.txt."), 0), 0u);
        ASSERT_TRUE(file.Write("second", 6));
        EXPECT_EQ(dir.ReadFile("a.txt"), "first");  // not before the commit
        ASSERT_TRUE(file.Commit());
        test::LogCapture quiet;
        EXPECT_FALSE(file.Commit());
        EXPECT_TRUE(quiet.Lines().empty()) << "a second commit is refused, not tried";
    }
    EXPECT_EQ(dir.ReadFile("a.txt"), "second");
    EXPECT_EQ(dir.List(), Names{"a.txt"});

    // Given up without a commit: the temporary goes.
    {
        AtomicFile file(dir.Join("a.txt"));
        ASSERT_TRUE(file.Write("third", 5));
    }
    // A write past the disk's room fails and the save is not committed.
    {
        test::FileSizeLimit fullDisk(100);
        test::LogCapture log;
        const std::string large(4096, 'x');
        AtomicFile file(dir.Join("a.txt"));
        EXPECT_FALSE(file.Write(large.data(), large.size()));
        EXPECT_TRUE(log.Contains(LogPriority::Error, "Could not write " + dir.Join("a.txt.")));
    }
    EXPECT_EQ(dir.ReadFile("a.txt"), "second");
    EXPECT_EQ(dir.List(), Names{"a.txt"});

    // A file of one byte is a whole file too.
    ASSERT_TRUE(Save(dir.Join("a.txt"), "1"));
    EXPECT_EQ(dir.ReadFile("a.txt"), "1");

    // No directory: nothing to save into.
    test::LogCapture log;
    AtomicFile nowhere(dir.Join("missing/a.txt"));
    EXPECT_FALSE(nowhere.IsOpen());
    EXPECT_FALSE(nowhere.Write("x", 1));
    EXPECT_FALSE(nowhere.Flush());
    EXPECT_FALSE(nowhere.Commit());
    EXPECT_TRUE(log.Contains(LogPriority::Error, "to save " + dir.Join("missing/a.txt")));
}

// A save killed before its commit leaves the old file and its temporary; the next save of the file
// removes that stray, but not the temporary of a save still running, the temporaries of other
// files, nor a user's files of similar names.
TEST(AtomicFile, TheNextSaveRemovesTheStraysOfKilledSavesOnly) {
    test::TempDirectory dir;
    ASSERT_TRUE(Save(dir.Join("a.txt"), "old"));
    AtomicFile running(dir.Join("a.txt"));
    ASSERT_TRUE(running.IsOpen());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile file(dir.Join("a.txt"));
        file.Write("half", 4);
        ::_exit(file.IsOpen() ? 0 : 1);  // killed: no commit, no clean-up
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(dir.ReadFile("a.txt"), "old");
    ASSERT_EQ(dir.List().size(), 3u);

    const Names others{"a.txt.tmp", "a.txt.backup.tmp",        "a.txt.saving-Ab_2Cd.tmp", "a.txt.saving-Ab12C.tmp",
                       "a.txt.bak", "b.txt.saving-Ab12Cd.tmp", "xa.txt.saving-Ab12Cd.tmp"};
    for (const std::string& name : others) dir.WriteFile(name, "not a stray of a save of a.txt");
    dir.WriteFile("a.txt.saving-aAzZ09.tmp", "a stray: letters and digits at the ends of their ranges");
    {
        test::LogCapture log;
        ASSERT_TRUE(Save(dir.Join("a.txt"), "new"));
        EXPECT_EQ(log.Count(LogPriority::Warning), 2u);
        EXPECT_TRUE(log.Contains(LogPriority::Warning, "Removed " + dir.Join("a.txt.saving-")));
    }
    const std::string runningName = running.GetTemporaryPath().substr(dir.GetPath().size() + 1);
    Names expected = others;
    expected.push_back("a.txt");
    expected.push_back(runningName);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.List(), expected);
    EXPECT_EQ(dir.ReadFile("a.txt"), "new");
    ASSERT_TRUE(running.Write("last", 4));
    ASSERT_TRUE(running.Commit());
    EXPECT_EQ(dir.ReadFile("a.txt"), "last");
}

// Threads saving one file over and over: every save lands whole (the file is always one of them,
// never a mix or a cut one) and no temporary is left.
TEST(AtomicFile, ConcurrentSavesOfOneFileEachLandWhole) {
    test::TempDirectory dir;
    const std::string path = dir.Join("shared.bin");
    constexpr int kThreads = 4;
    constexpr int kSaves = 25;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string text(size_t(20000 + 1000 * t), char('a' + t));
            for (int i = 0; i < kSaves; ++i) failures[size_t(t)] += !Save(path, text);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    const std::string last = dir.ReadFile("shared.bin");
    ASSERT_FALSE(last.empty());
    const int t = last[0] - 'a';
    ASSERT_GE(t, 0);
    ASSERT_LT(t, kThreads);
    EXPECT_EQ(last, std::string(size_t(20000 + 1000 * t), char('a' + t)));
    EXPECT_EQ(dir.List(), Names{"shared.bin"});
}

}  // namespace
}  // namespace GAME
