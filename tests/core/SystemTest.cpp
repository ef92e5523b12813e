#include "core/System.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "support/LogCapture.h"

namespace GAME {

namespace {
bool IsDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
}  // namespace

TEST(System, CreateDirectoryPathMakesEveryLevel) {
    const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                       ("core_system_test_" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    const std::string deep = (root / "save" / "fow" / "maps").string();
    EXPECT_TRUE(CreateDirectoryPath(deep.c_str()));
    EXPECT_TRUE(IsDirectory(deep));
    struct stat info {};
    ASSERT_EQ(stat(deep.c_str(), &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 07777, 0777u & ~mask) << "directories anyone may enter, less the umask";
    EXPECT_TRUE(CreateDirectoryPath((deep + "/").c_str()));  // existing, trailing slash
    EXPECT_TRUE(CreateDirectoryPath((root / "save//x").string().c_str()));

    // A file in the way is a failure, not a success.
    const std::string file = (root / "file").string();
    std::FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    test::LogCapture log;
    EXPECT_FALSE(CreateDirectoryPath(file.c_str()));
    EXPECT_FALSE(CreateDirectoryPath((file + "/below").c_str()));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "below"));
    EXPECT_FALSE(CreateDirectoryPath(""));
    EXPECT_FALSE(CreateDirectoryPath(nullptr));
    std::filesystem::remove_all(root);
}

TEST(System, MemoryUsageAndProcessorCountAreSensible) {
    const uint64_t memory = GetProcessMemoryUsage();
    EXPECT_GT(memory, 1u << 20);
    EXPECT_EQ(memory % static_cast<uint64_t>(sysconf(_SC_PAGESIZE)), 0u) << "whole resident pages";
    EXPECT_GE(GetProcessorCount(), 1);
    // A thread kept to one processor counts one.
    std::thread([] {
        cpu_set_t one;
        ASSERT_EQ(sched_getaffinity(0, sizeof(one), &one), 0);
        int first = 0;
        while (!CPU_ISSET(first, &one)) ++first;
        CPU_ZERO(&one);
        CPU_SET(first, &one);
        ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
        EXPECT_EQ(GetProcessorCount(), 1);
    }).join();
}

}  // namespace GAME
