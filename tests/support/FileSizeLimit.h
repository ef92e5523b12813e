#pragma once
// FileSizeLimit: while in scope, the process may not make a file larger than the limit
// (RLIMIT_FSIZE, with SIGXFSZ ignored), so a write past it fails as on a full disk.

#include <sys/resource.h>

#include <csignal>
#include <cstddef>

namespace GAME::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(size_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    sighandler_t handler_;
};

}  // namespace GAME::test
