#pragma once
// GraphicsEngineSettings: what the host asks of the graphics engine at start-up (the device to
// load and the window's mode), passed to Engine::Initialize.

#include <string>

namespace GAME {

struct GraphicsEngineSettings {
    std::string deviceName = "GLDevice";  // render-device library, loaded as lib<deviceName>.so
    int width = 1024;                     // back-buffer size in pixels
    int height = 768;
    bool fullScreen = false;
    bool verticalSync = false;
    bool forceFullScreen = false;         // full screen whatever the options say
    bool forceWindowed = false;           // windowed whatever the options say
    bool tripleBuffering = false;
};

}  // namespace GAME
