#include "core/Log.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace GAME {

namespace {
std::atomic<LogSink> gSink{nullptr};
}

LogSink SetLogSink(LogSink sink) { return gSink.exchange(sink); }

void LogV(LogPriority priority, unsigned category, const char* format, va_list args) {
    LogToSink(gSink.load(std::memory_order_acquire), priority, category, format, args);
}

void LogToSink(LogSink sink, LogPriority priority, unsigned category, const char* format, va_list args) {
    if (!sink) return;
    char small[512];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(small, sizeof(small), format, copy);
    va_end(copy);
    if (needed < 0) return;
    if (static_cast<size_t>(needed) < sizeof(small)) {
        sink(priority, category, small);
        return;
    }
    std::string large(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(large.data(), large.size(), format, args);
    sink(priority, category, large.c_str());
}

void Log(LogPriority priority, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(priority, 0, format, args);
    va_end(args);
}

void Log(LogPriority priority, unsigned category, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(priority, category, format, args);
    va_end(args);
}

}  // namespace GAME
