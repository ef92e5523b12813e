#include "support/LogCapture.h"

namespace GAME::test {

namespace {
std::mutex gMutex;
std::vector<LogCapture::Line> gLines;
}  // namespace

LogCapture::LogCapture() : previous_(SetLogSink(&LogCapture::Sink)) { Clear(); }

LogCapture::~LogCapture() { SetLogSink(previous_); }

void LogCapture::Sink(LogPriority priority, unsigned category, const char* message) {
    std::lock_guard<std::mutex> lock(gMutex);
    gLines.push_back({priority, category, message});
}

std::vector<LogCapture::Line> LogCapture::Lines() const {
    std::lock_guard<std::mutex> lock(gMutex);
    return gLines;
}

bool LogCapture::Contains(LogPriority priority, const std::string& text) const {
    std::lock_guard<std::mutex> lock(gMutex);
    for (const Line& line : gLines)
        if (line.priority == priority && line.text.find(text) != std::string::npos) return true;
    return false;
}

size_t LogCapture::Count(LogPriority priority) const {
    std::lock_guard<std::mutex> lock(gMutex);
    size_t n = 0;
    for (const Line& line : gLines) n += line.priority == priority;
    return n;
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(gMutex);
    gLines.clear();
}

}  // namespace GAME::test
