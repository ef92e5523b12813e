#include "TestEngine.h"

#include <cstdio>

namespace GAME::test {

void TestEngine::Log(LogPriority priority, unsigned category, const char* format, va_list args) {
    char text[1024];
    if (std::vsnprintf(text, sizeof(text), format, args) < 0) std::snprintf(text, sizeof(text), "%s", format);
    WriteToLogFiles(priority, category, text);
    log_.Add(priority, category, text);
}

}  // namespace GAME::test
