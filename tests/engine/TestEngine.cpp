#include "TestEngine.h"

#include <cstdio>

#include "render/RenderDevice.h"

namespace GAME::test {

GraphicsEngineSettings TestEngine::MakeHeadlessGraphicsSettings() {
    RenderDevice::SetDeviceDirectory(GAME_TEST_DEVICE_DIRECTORY);
    GraphicsEngineSettings settings;
    settings.deviceName = "RecordingDevice";
    return settings;
}

void TestEngine::Log(LogPriority priority, unsigned category, const char* format, va_list args) {
    char text[1024];
    if (std::vsnprintf(text, sizeof(text), format, args) < 0) std::snprintf(text, sizeof(text), "%s", format);
    WriteToLogFiles(priority, category, text);
    log_.Add(priority, category, text);
    if (onLine) onLine(text);
}

}  // namespace GAME::test
