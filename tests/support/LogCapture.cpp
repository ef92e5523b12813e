#include "support/LogCapture.h"

namespace GAME::test {

namespace {
LogLines gLines;
}  // namespace

LogCapture::LogCapture() : previous_(SetLogSink(&LogCapture::Sink)) { Clear(); }

LogCapture::~LogCapture() { SetLogSink(previous_); }

void LogCapture::Sink(LogPriority priority, unsigned category, const char* message) {
    gLines.Add(priority, category, message);
}

std::vector<LogCapture::Line> LogCapture::Lines() const { return gLines.Lines(); }

bool LogCapture::Contains(LogPriority priority, const std::string& text) const {
    return gLines.Contains(priority, text);
}

size_t LogCapture::Count(LogPriority priority) const { return gLines.Count(priority); }

void LogCapture::Clear() { gLines.Clear(); }

}  // namespace GAME::test
