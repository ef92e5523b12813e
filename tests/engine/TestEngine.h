#pragma once
// An Engine whose Log keeps every line (and writes it to the log files), for tests that drive the
// engine headless: its graphics engine runs on the recording device.

#include <cstdarg>
#include <functional>
#include <string>

#include "engine/Engine.h"
#include "render/GraphicsEngineSettings.h"
#include "support/LogLines.h"

namespace GAME::test {

class TestEngine : public Engine {
public:
    // Graphics settings for an engine without a window: the recording device of the tests
    // (its library directory becomes the device directory).
    static GraphicsEngineSettings MakeHeadlessGraphicsSettings();

    using Engine::Log;
    void Log(LogPriority priority, unsigned category, const char* format, va_list args) override;

    const LogLines& GetLog() const { return log_; }
    // Called with each line after it is kept (on the thread that logged it).
    std::function<void(const std::string&)> onLine;

private:
    LogLines log_;
};

}  // namespace GAME::test
