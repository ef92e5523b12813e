// File system: overlay order, case-insensitive names on a case-sensitive disk, writing, locking
// ranges, and opens from several threads at once.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "files/FileSource.h"
#include "files/FileSystem.h"
#include "support/FileSizeLimit.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

std::string ReadAll(FileSystem& files, const std::string& name) {
    File* file = files.OpenFile(name, FileMode::Read);
    if (!file) return "<missing>";
    const uint32_t length = file->GetLength();
    const void* bytes = file->Lock();
    std::string text = bytes ? std::string(static_cast<const char*>(bytes), length) : std::string();
    file->Unlock();
    files.CloseFile(file);
    return text;
}

TEST(FileSystem, ConvertFileNameLowersAndTurnsBackslashes) {
    std::string name = "Records\\Test/MiXeD.DBR_AZ@[`{";
    FileSystem::ConvertFileName(name);
    EXPECT_EQ(name, "records/test/mixed.dbr_az@[`{");
}

TEST(FileSystem, FindsMixedCaseFilesOnDiskByAnyCase) {
    test::TempDirectory dir;
    dir.WriteFile("Records/Test/Light/Point.dbr", "radius,12.5,\n");
    dir.WriteFile("Shaders/Basic.SSH", "shader");
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(dir.GetPath()));
    EXPECT_EQ(ReadAll(files, "records/test/light/point.dbr"), "radius,12.5,\n");
    EXPECT_EQ(ReadAll(files, "RECORDS\\TEST\\LIGHT\\POINT.DBR"), "radius,12.5,\n");
    EXPECT_EQ(ReadAll(files, "Shaders/basic.ssh"), "shader");
    EXPECT_TRUE(files.DoesFileExist("shaders/BASIC.ssh"));
    EXPECT_FALSE(files.DoesFileExist("shaders/missing.ssh"));
    EXPECT_FALSE(files.DoesFileExist("shaders")) << "a directory is not a file";
    File* file = files.OpenFile("nothing/here.txt", FileMode::Read);
    EXPECT_EQ(file, nullptr);
}

TEST(FileSystem, LaterDirectoriesOverrideEarlierOnes) {
    test::TempDirectory base, mod;
    base.WriteFile("Data/a.txt", "base a");
    base.WriteFile("Data/b.txt", "base b");
    mod.WriteFile("data/A.TXT", "mod a");
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(base.GetPath()));
    ASSERT_TRUE(files.AddDirectory(mod.GetPath()));
    EXPECT_EQ(ReadAll(files, "data/a.txt"), "mod a");
    EXPECT_EQ(ReadAll(files, "data/b.txt"), "base b");

    FileSystem reversed;
    ASSERT_TRUE(reversed.AddDirectory(mod.GetPath()));
    ASSERT_TRUE(reversed.AddDirectory(base.GetPath()));
    EXPECT_EQ(ReadAll(reversed, "data/a.txt"), "base a");
}

TEST(FileSystem, MountingAMissingDirectoryFails) {
    test::TempDirectory dir;
    test::LogCapture log;
    FileSystem files;
    EXPECT_FALSE(files.AddDirectory(dir.Join("absent")));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "absent"));
    EXPECT_TRUE(files.AddDirectory(dir.Join("saves/new"), true)) << "a writable directory is created";
}

TEST(FileSystem, WritesGoToTheWritableDirectoryKeepingRealCase) {
    test::TempDirectory data, saves;
    saves.WriteFile("Profiles/Main/Player.sav", "old");
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(data.GetPath()));
    ASSERT_TRUE(files.AddDirectory(saves.GetPath(), true));

    // An existing file is rewritten in place, whatever case the caller uses.
    File* file = files.OpenFile("profiles/main/PLAYER.SAV", FileMode::Write);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Write(0, "new!", 4));
    files.CloseFile(file);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(saves.ReadFile("Profiles/Main/Player.sav"), "new!");

    // A new file keeps the existing directories' case, creates the missing ones and is found again.
    file = files.OpenFile("PROFILES/main/Fow/Region1.fow", FileMode::Write);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Write(0, "fog", 3));
    files.CloseFile(file);
    EXPECT_EQ(saves.ReadFile("Profiles/Main/Fow/Region1.fow"), "fog");
    EXPECT_EQ(ReadAll(files, "profiles/main/fow/region1.fow"), "fog");
    ASSERT_TRUE(files.SaveFile("profiles/MAIN/fow/Region2.fow", "fog2", 4));  // into the directory just made
    EXPECT_EQ(saves.ReadFile("Profiles/Main/Fow/Region2.fow"), "fog2");

    // Absolute paths bypass the sources.
    file = files.OpenFile(saves.Join("tmp/state.bin"), FileMode::Write);
    ASSERT_NE(file, nullptr);
    files.CloseFile(file);
    EXPECT_TRUE(files.DoesFileExist(saves.Join("tmp/state.bin")));
}

TEST(FileSystem, RefusesUnsafeOrImpossibleWrites) {
    test::TempDirectory data, saves;
    test::LogCapture log;
    FileSystem readOnly;
    ASSERT_TRUE(readOnly.AddDirectory(data.GetPath()));
    EXPECT_EQ(readOnly.OpenFile("a.txt", FileMode::Write), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "no writable directory"));
    EXPECT_FALSE(readOnly.SaveFile("a.txt", "x", 1));

    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(saves.Join("inner"), true));
    EXPECT_EQ(files.OpenFile("../escape.txt", FileMode::Write), nullptr);
    EXPECT_EQ(files.OpenFile("a/../../escape.txt", FileMode::Write), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "leaves the directory"));
    EXPECT_EQ(saves.ReadFile("escape.txt"), "");
    EXPECT_EQ(files.OpenFile("./", FileMode::Write), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Cannot write a file without a name"));
}

// Files saved together land together and are found by name; a save of them that stopped once it
// was decided (its journal in place) is finished by FinishSave, and its files are found too.
TEST(FileSystem, FilesSavedTogetherLandTogetherAndAStoppedSaveIsFinished) {
    test::TempDirectory data, saves;
    saves.WriteFile("Worlds/Old.wrl", "old");
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(data.GetPath()));
    ASSERT_TRUE(files.AddDirectory(saves.GetPath(), true));
    ASSERT_TRUE(files.SaveFiles({{"worlds/old.wrl", "world", 5}, {"worlds/old.sd", "sectors", 7}}));
    EXPECT_EQ(ReadAll(files, "WORLDS/OLD.SD"), "sectors");
    EXPECT_EQ(saves.ReadFile("Worlds/Old.wrl"), "world");
    {
        test::LogCapture log;
        EXPECT_FALSE(files.SaveFiles({}));
        EXPECT_FALSE(files.SaveFiles({{"a.wrl", "a", 1}, {"", "b", 1}}));
        EXPECT_FALSE(files.SaveFiles({{"a.wrl", "a", 1}, {"other/a.sd", "b", 1}}));
        EXPECT_TRUE(log.Contains(LogPriority::Error, "Could not save a.wrl and the files saved with it"));
    }
    EXPECT_EQ(ReadAll(files, "a.wrl"), "<missing>");

    // As a first save of "worlds/new.wrl" leaves them when it stops after its journal.
    saves.WriteFile("Worlds/new.wrl.saving-set", std::string("save set 1\nnew.wrl.saving-Ab12Cd.tmp") + '\0' +
                                                     "new.sd.saving-Ef34Gh.tmp" + '\0');
    saves.WriteFile("Worlds/new.wrl.saving-Ab12Cd.tmp", "new world");
    saves.WriteFile("Worlds/new.sd.saving-Ef34Gh.tmp", "new sectors");
    EXPECT_TRUE(files.FinishSave("worlds/new.wrl"));
    EXPECT_EQ(ReadAll(files, "worlds/new.wrl"), "new world");
    EXPECT_EQ(ReadAll(files, "worlds/new.sd"), "new sectors");
    EXPECT_EQ(saves.List("Worlds"), (std::vector<std::string>{"Old.wrl", "new.sd", "new.wrl", "old.sd"}));
    // Nothing to finish: no journal, or no writable directory (and nothing said).
    test::LogCapture quiet;
    EXPECT_TRUE(files.FinishSave("worlds/new.wrl"));
    FileSystem readOnly;
    ASSERT_TRUE(readOnly.AddDirectory(saves.GetPath()));
    saves.WriteFile("Worlds/new.wrl.saving-set", "save set 1\n");
    EXPECT_TRUE(readOnly.FinishSave("worlds/new.wrl"));
    EXPECT_TRUE(quiet.Lines().empty());
}

TEST(FileSource, OfTwoNamesDifferingOnlyInCaseTheSmallerWinsInEitherOrder) {
    test::LogCapture log;
    for (const bool upperFirst : {false, true}) {
        FileSource source("/data/", false);
        source.AddFile(upperFirst ? "Data/B.txt" : "Data/b.txt");
        source.AddFile(upperFirst ? "Data/b.txt" : "Data/B.txt");
        source.AddFile("Data/B.txt");  // the same file again is no conflict
        EXPECT_EQ(source.FindFile("data/b.txt"), "/data/Data/B.txt") << upperFirst;
    }
    EXPECT_EQ(log.Count(LogPriority::Warning), 2u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "differ only in case; using Data/B.txt"));
    FileSource root("//", false);  // trailing slashes are dropped, down to the root itself
    root.AddFile("a");
    EXPECT_EQ(root.FindFile("a"), "//a");
}

// Sparse files: sizes up to the largest a 32-bit offset reaches, at no cost in disk.
TEST(File, OffsetsAndSizesReachFourGiBAndNoFurther) {
    test::TempDirectory dir;
    FileSystem files;
    File* file = files.OpenFile(dir.Join("big.bin"), FileMode::Write);
    ASSERT_NE(file, nullptr);
    test::LogCapture log;
    EXPECT_TRUE(file->Write(UINT32_MAX - 1, "x", 1));
    EXPECT_FALSE(file->Write(UINT32_MAX, "x", 1));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "would pass 4 GiB"));
    EXPECT_EQ(file->GetLength(), UINT32_MAX);
    files.CloseFile(file);
    file = files.OpenFile(dir.Join("big.bin"), FileMode::Read);
    ASSERT_NE(file, nullptr);
    const void* last = file->Lock(UINT32_MAX - 1, 1);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(*static_cast<const char*>(last), 'x');
    files.CloseFile(file);
    std::filesystem::resize_file(dir.Join("big.bin"), uint64_t{UINT32_MAX} + 1);
    const auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openFiles();
    EXPECT_EQ(files.OpenFile(dir.Join("big.bin"), FileMode::Read), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "larger than 4 GiB"));
    EXPECT_EQ(files.OpenFile(dir.GetPath(), FileMode::Read), nullptr) << "a directory is not a file";
    EXPECT_EQ(openFiles(), before) << "what is refused is closed";
}

TEST(FileSystem, ConcurrentOpensAndWritesFromSeveralThreads) {
    test::TempDirectory data, saves;
    for (int i = 0; i < 16; ++i) data.WriteFile("Levels/Level" + std::to_string(i) + ".lvl", std::string(100 + i, char('a' + i)));
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(data.GetPath()));
    ASSERT_TRUE(files.AddDirectory(saves.GetPath(), true));

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                const int i = (round + t) % 16;
                const std::string text = ReadAll(files, "LEVELS/level" + std::to_string(i) + ".LVL");
                if (text != std::string(100 + i, char('a' + i))) ++failures;
                const std::string name = "Saves/Thread" + std::to_string(t) + "/f" + std::to_string(round % 5) + ".sav";
                File* file = files.OpenFile(name, FileMode::Write);
                if (!file || !file->Write(0, name.data(), static_cast<uint32_t>(name.size()))) ++failures;
                files.CloseFile(file);
                if (ReadAll(files, name) != name) ++failures;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace GAME
