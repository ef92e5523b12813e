#pragma once
// The graphics engine of the graphics fuzz targets: made once per process over the recording
// device (loaded by name from FUZZ_DEVICE_DIRECTORY, like any device), with a resource loader
// over an empty file system. Without an engine object there are no options: the generation is
// the device's own, "GeForce6".

#include "support/RecordingDevice.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsEngineSettings.h"

#include <cstdlib>

namespace GAME::test {

class FuzzGraphics {
public:
    static FuzzGraphics& Get() {
        static FuzzGraphics* const instance = new FuzzGraphics();
        return *instance;
    }

    GraphicsEngine& Graphics() { return graphics_; }
    // The device's call log grows with every input; the targets clear it after each.
    RecordingDevice& Device() { return *static_cast<RecordingDevice*>(graphics_.GetRenderDevice()); }

private:
    FuzzGraphics() : loader_(files_) {
        RenderDevice::SetDeviceDirectory(FUZZ_DEVICE_DIRECTORY);
        GraphicsEngineSettings settings;
        settings.deviceName = "RecordingDevice";
        settings.width = 64;
        settings.height = 64;
        if (!graphics_.CreateDevice(nullptr, settings) || !graphics_.Initialize(nullptr, settings, &loader_)) {
            std::abort();
        }
    }

    FileSystem files_;
    ResourceLoader loader_;
    GraphicsEngine graphics_;
};

}  // namespace GAME::test
