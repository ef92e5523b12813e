#include "support/LogLines.h"

namespace GAME::test {

void LogLines::Add(LogPriority priority, unsigned category, const char* text) {
    std::lock_guard<std::mutex> lock(lock_);
    lines_.push_back({priority, category, text});
}

std::vector<LogLines::Line> LogLines::Lines() const {
    std::lock_guard<std::mutex> lock(lock_);
    return lines_;
}

bool LogLines::Contains(LogPriority priority, const std::string& text) const {
    std::lock_guard<std::mutex> lock(lock_);
    for (const Line& line : lines_)
        if (line.priority == priority && line.text.find(text) != std::string::npos) return true;
    return false;
}

size_t LogLines::Count(LogPriority priority) const {
    std::lock_guard<std::mutex> lock(lock_);
    size_t n = 0;
    for (const Line& line : lines_) n += line.priority == priority;
    return n;
}

void LogLines::Clear() {
    std::lock_guard<std::mutex> lock(lock_);
    lines_.clear();
}

}  // namespace GAME::test
