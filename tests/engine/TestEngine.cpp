#include "TestEngine.h"

#include <cstdio>

namespace GAME::test {

void TestEngine::Log(LogPriority priority, unsigned category, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof(text), format, args);
    WriteToLogFiles(priority, category, text);
    std::lock_guard<std::mutex> lock(lock_);
    lines_.push_back({priority, category, text});
}

std::vector<TestEngine::Line> TestEngine::Lines() const {
    std::lock_guard<std::mutex> lock(lock_);
    return lines_;
}

bool TestEngine::Contains(LogPriority priority, const std::string& text) const {
    std::lock_guard<std::mutex> lock(lock_);
    for (const Line& line : lines_)
        if (line.priority == priority && line.text.find(text) != std::string::npos) return true;
    return false;
}

size_t TestEngine::Count(LogPriority priority) const {
    std::lock_guard<std::mutex> lock(lock_);
    size_t count = 0;
    for (const Line& line : lines_) count += line.priority == priority;
    return count;
}

}  // namespace GAME::test
