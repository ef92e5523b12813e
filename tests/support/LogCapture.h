#pragma once
// Captures everything logged through GAME::Log while in scope, so tests can assert that a failure
// was reported (and that a success was quiet).

#include <string>
#include <vector>

#include "core/Log.h"
#include "support/LogLines.h"

namespace GAME::test {

class LogCapture {
public:
    using Line = LogLines::Line;

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Line> Lines() const;
    // True when a line at this priority contains the text.
    bool Contains(LogPriority priority, const std::string& text) const;
    size_t Count(LogPriority priority) const;
    void Clear();

private:
    static void Sink(LogPriority priority, unsigned category, const char* message);

    LogSink previous_;
};

}  // namespace GAME::test
