// The sample host: boots the engine on generated sample data, runs a few frames and exits.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Log.h"

namespace {

void PrintLog(GAME::LogPriority priority, unsigned, const char* message) {
    static const char* const kLabels[] = {"info", "error", "warning"};
    std::printf("[%s] %s\n", kLabels[static_cast<int>(priority) % 3], message);
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 10;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::atoi(argv[++i]);
    }
    GAME::SetLogSink(&PrintLog);
    GAME::Log(GAME::LogPriority::Info, "Sample host: running %d frames", frames);
    for (int frame = 0; frame < frames; ++frame) {
    }
    GAME::Log(GAME::LogPriority::Info, "Sample host: done");
    return 0;
}
