#include "core/System.h"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/Log.h"

namespace GAME {

namespace {

bool IsDirectory(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

uint64_t GetProcessMemoryUsage() {
    FILE* file = std::fopen("/proc/self/statm", "r");
    if (!file) return 0;
    unsigned long long totalPages = 0, residentPages = 0;
    const int read = std::fscanf(file, "%llu %llu", &totalPages, &residentPages);
    std::fclose(file);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (read != 2 || pageSize <= 0) return 0;
    return residentPages * static_cast<uint64_t>(pageSize);
}

bool CreateDirectoryPath(const char* path) {
    if (!path || !*path) return false;
    std::string partial;
    for (const char* p = path;; ++p) {
        if ((*p == '/' || *p == '\0') && !partial.empty() && partial != "/") {
            if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
                Log(LogPriority::Error, "CreateDirectoryPath: cannot create \"%s\": %s", partial.c_str(),
                    std::strerror(errno));
                return false;
            }
        }
        if (*p == '\0') break;
        partial += *p;
    }
    return IsDirectory(path);
}

int GetProcessorCount() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return count;
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

}  // namespace GAME
