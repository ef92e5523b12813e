#pragma once
// An Engine whose Log keeps every line (and writes it to the log files), for tests that drive the
// engine headless.

#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

#include "engine/Engine.h"

namespace GAME::test {

class TestEngine : public Engine {
public:
    struct Line {
        LogPriority priority;
        unsigned category;
        std::string text;
    };

    using Engine::Log;
    void Log(LogPriority priority, unsigned category, const char* format, va_list args) override;

    std::vector<Line> Lines() const;
    // True when a line at the priority contains the text.
    bool Contains(LogPriority priority, const std::string& text) const;
    size_t Count(LogPriority priority) const;

private:
    mutable std::mutex lock_;
    std::vector<Line> lines_;
};

}  // namespace GAME::test
