#pragma once
// A thread-safe record of log lines and the questions tests ask of it. LogCapture fills one from
// GAME::Log; test engines fill one from their Log.

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "core/Log.h"

namespace GAME::test {

class LogLines {
public:
    struct Line {
        LogPriority priority;
        unsigned category;
        std::string text;
    };

    void Add(LogPriority priority, unsigned category, const char* text);
    std::vector<Line> Lines() const;
    // True when a line at this priority contains the text.
    bool Contains(LogPriority priority, const std::string& text) const;
    size_t Count(LogPriority priority) const;
    void Clear();

private:
    mutable std::mutex lock_;
    std::vector<Line> lines_;
};

}  // namespace GAME::test
