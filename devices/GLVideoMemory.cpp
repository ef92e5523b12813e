#include "devices/GLVideoMemory.h"

#include <cstdlib>

namespace GAME {

GLVideoMemory::GLVideoMemory() : total_(kDefaultTotal) {
    if (const char* text = std::getenv("GLDEVICE_VIDEO_MEMORY_MB")) {
        const long long megabytes = std::atoll(text);
        if (megabytes > 0) {
            total_ = size_t(megabytes) << 20;
        }
    }
}

size_t GLVideoMemory::GetAvailable() const {
    const size_t total = GetTotal();
    const size_t used = GetUsed();
    return used < total ? total - used : 0;
}

bool GLVideoMemory::Reserve(size_t bytes) {
    size_t used = used_.load(std::memory_order_relaxed);
    do {
        if (bytes > GetTotal() || used > GetTotal() - bytes) {
            return false;
        }
    } while (!used_.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
    return true;
}

void GLVideoMemory::Release(size_t bytes) {
    used_.fetch_sub(bytes, std::memory_order_relaxed);
}

}  // namespace GAME
