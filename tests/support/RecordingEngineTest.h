#pragma once
// A fixture for the tests that need device resources: the engine started headless on the
// recording device over the files of a temporary directory. A test writes its files, then starts
// the engine; the engine shuts down after the test's own TearDown. A test may make it the editor.

#include <gtest/gtest.h>

#include "engine/Engine.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "render/GraphicsEngineSettings.h"
#include "render/RenderDevice.h"
#include "support/TempDirectory.h"

namespace GAME::test {

class RecordingEngineTest : public ::testing::Test {
protected:
    // Runs as the editor while editor is set.
    class SwitchableEngine final : public Engine {
    public:
        bool IsEditorMode() const override { return editor; }
        bool editor = false;
    };

    // Call from SetUp once the files are written (the file system indexes them here).
    void StartEngine() {
        fileSystem.AddDirectory(directory.GetPath());
        RenderDevice::SetDeviceDirectory(GAME_TEST_DEVICE_DIRECTORY);
        GraphicsEngineSettings settings;
        settings.deviceName = "RecordingDevice";
        engine.SetLogPath(directory.Join("Logs"));
        ASSERT_TRUE(engine.Initialize(nullptr, settings, true, false, &fileSystem));
        engine.GetResourceLoader()->StopThread();
    }
    void TearDown() override {
        engine.Shutdown();
        // Later tests of the process load the engine's own devices.
        RenderDevice::SetDeviceDirectory(nullptr);
    }

    TempDirectory directory;
    FileSystem fileSystem;
    SwitchableEngine engine;
};

}  // namespace GAME::test
