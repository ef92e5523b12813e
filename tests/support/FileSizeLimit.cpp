#include "support/FileSizeLimit.h"

#include <stdexcept>

namespace GAME::test {

FileSizeLimit::FileSizeLimit(size_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
    rlimit limited{};
    if (getrlimit(RLIMIT_FSIZE, &previous_) != 0) throw std::runtime_error("getrlimit failed");
    limited = previous_;
    limited.rlim_cur = bytes;
    if (setrlimit(RLIMIT_FSIZE, &limited) != 0) throw std::runtime_error("setrlimit failed");
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, handler_);
}

}  // namespace GAME::test
