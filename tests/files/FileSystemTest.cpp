// File system: overlay order, case-insensitive names on a case-sensitive disk, writing, locking
// ranges, and opens from several threads at once.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

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

    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(saves.Join("inner"), true));
    EXPECT_EQ(files.OpenFile("../escape.txt", FileMode::Write), nullptr);
    EXPECT_EQ(files.OpenFile("a/../../escape.txt", FileMode::Write), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "leaves the directory"));
    EXPECT_EQ(saves.ReadFile("escape.txt"), "");
}

// A save that fails halfway (here the process may not write past 100 bytes, as on a full disk)
// leaves the previous file whole and no temporary file behind.
TEST(FileSystem, SaveFileReplacesAFileWholeOrNotAtAll) {
    test::TempDirectory dir;
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(dir.GetPath(), true));
    const std::string first(64, 'a');
    ASSERT_TRUE(files.SaveFile("Saves/Level.lvl", first.data(), uint32_t(first.size())));
    EXPECT_EQ(ReadAll(files, "saves/level.lvl"), first);

    const std::string second(4096, 'b');
    {
        test::FileSizeLimit fullDisk(100);
        test::LogCapture log;
        EXPECT_FALSE(files.SaveFile("Saves/Level.lvl", second.data(), uint32_t(second.size())));
        EXPECT_TRUE(log.Contains(LogPriority::Error, "the previous file is kept"));
    }
    EXPECT_EQ(ReadAll(files, "saves/level.lvl"), first);
    EXPECT_EQ(dir.List("Saves"), std::vector<std::string>{"Level.lvl"});

    ASSERT_TRUE(files.SaveFile("Saves/Level.lvl", second.data(), uint32_t(second.size())));
    EXPECT_EQ(ReadAll(files, "SAVES/LEVEL.LVL"), second);
}

TEST(File, LockChecksItsRange) {
    test::TempDirectory dir;
    dir.WriteFile("map.bin", "0123456789");
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(dir.GetPath()));
    File* file = files.OpenFile("MAP.bin", FileMode::Read);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetLength(), 10u);

    const char* header = static_cast<const char*>(file->Lock(0, 4));
    const char* tail = static_cast<const char*>(file->Lock(6, 4));
    ASSERT_NE(header, nullptr);
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(std::string(header, 4), "0123") << "earlier ranges stay valid until Unlock";
    EXPECT_EQ(std::string(tail, 4), "6789");

    test::LogCapture log;
    EXPECT_EQ(file->Lock(6, 5), nullptr);
    EXPECT_EQ(file->Lock(0xFFFFFFF0u, 0x20u), nullptr) << "an overflowing range";
    EXPECT_EQ(file->Lock(10, 0), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "outside"));
    EXPECT_FALSE(file->Write(0, "x", 1)) << "opened for reading";
    file->Unlock();
    files.CloseFile(file);
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
