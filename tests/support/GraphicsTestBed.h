#pragma once
// GraphicsTestBed: a graphics engine over the recording device, for logic tests that need no
// pixels.
//
// It holds an engine object that is never started (it answers for the options, which the bed sets
// to detail level 2 so that the generation is the device's own), a data directory mounted writable
// (a temporary one unless the test names one), a resource loader without its thread (resources load when first used), and
// the recording device from libRecordingDeviceSingle, made before the graphics engine so that a
// test can script it first: the graphics engine's CreateDevice gets the same device.

#include "support/RecordingDevice.h"
#include "engine/Engine.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsEngineSettings.h"
#include "support/TempDirectory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace GAME {
class Options;
struct ShaderFileSection;
}  // namespace GAME

namespace GAME::test {

// Counts the pauses between primary-surface attempts instead of sleeping.
class CountingGraphicsEngine : public GraphicsEngine {
public:
    int GetNumWaits() const { return waits_; }
    int GetWaitedMilliseconds() const { return waitedMs_; }

protected:
    void WaitBeforeRetry(int milliseconds) override {
        ++waits_;
        waitedMs_ += milliseconds;
    }

private:
    int waits_ = 0;
    int waitedMs_ = 0;
};

class GraphicsTestBed {
public:
    static constexpr const char* kDeviceName = "RecordingDeviceSingle";

    // dataDirectory: the directory to mount; empty for a fresh temporary one.
    explicit GraphicsTestBed(const std::string& dataDirectory = std::string());
    ~GraphicsTestBed();
    GraphicsTestBed(const GraphicsTestBed&) = delete;
    GraphicsTestBed& operator=(const GraphicsTestBed&) = delete;

    RecordingDevice& Device() { return *device_; }
    Options& GetOptions();
    Engine& GetEngine() { return engine_; }
    FileSystem& GetFileSystem() { return fileSystem_; }
    ResourceLoader& GetLoader() { return loader_; }
    const TempDirectory& GetDirectory() const { return directory_; }

    // The settings CreateDevice is given: the bed's device, 640 x 480.
    static GraphicsEngineSettings MakeSettings();
    // CreateDevice on the bed's device.
    bool CreateDevice(const GraphicsEngineSettings& settings = MakeSettings());
    // CreateDevice and Initialize.
    bool Start(const GraphicsEngineSettings& settings = MakeSettings());
    CountingGraphicsEngine& Graphics() { return *graphics_; }

    // Writes a file into the mounted directory.
    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);

private:
    Engine engine_;
    TempDirectory directory_;
    FileSystem fileSystem_;
    ResourceLoader loader_;
    RecordingDevice* device_ = nullptr;
    std::unique_ptr<CountingGraphicsEngine> graphics_;
};

// The bytes of a shader file of the sections.
std::vector<uint8_t> MakeShaderFile(const std::vector<ShaderFileSection>& sections);
// The bytes of a DDS file of width x height texels of one colour, with a full mip chain.
std::vector<uint8_t> MakeDdsFile(uint32_t width, uint32_t height, uint32_t color = 0xFF808080u);
// The bytes of a TEX file of the frames (each a DDS file's bytes).
std::vector<uint8_t> MakeTexFile(int32_t frameRate, const std::vector<std::vector<uint8_t>>& frames);

}  // namespace GAME::test
