#include "support/GraphicsTestBed.h"

#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/Options.h"
#include "render/ShaderFileWriter.h"
#include "render/TextureFileWriter.h"

#include <stdexcept>

namespace GAME::test {

namespace {

std::vector<uint8_t> TakeBytes(const BinaryWriter& writer) {
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

}  // namespace

GraphicsTestBed::GraphicsTestBed(const std::string& dataDirectory) : loader_(fileSystem_) {
    engine_.SetNormalSettingsPath(directory_.Join("Settings/options.txt"));
    const std::string data = dataDirectory.empty() ? directory_.Join("Data") : dataDirectory;
    if (!fileSystem_.AddDirectory(data, true)) throw std::runtime_error("no data directory");
    RenderDevice::SetDeviceDirectory(GAME_TEST_DEVICE_DIRECTORY);
    device_ = static_cast<RecordingDevice*>(RenderDevice::Create(kDeviceName));
    if (device_ == nullptr) throw std::runtime_error("no recording device");
    GetOptions().SetQuality(Options::QualityName::detailLevel, 2);
}

GraphicsTestBed::~GraphicsTestBed() {
    // A graphics engine that took the device destroys it.
    const bool graphicsOwnsDevice = graphics_ != nullptr && graphics_->GetRenderDevice() != nullptr;
    graphics_.reset();
    if (!graphicsOwnsDevice) {
        RenderDevice* device = device_;
        RenderDevice::Destroy(device);
    }
    RenderDevice::UnloadLibraries();
    RenderDevice::SetDeviceDirectory(nullptr);
}

Options& GraphicsTestBed::GetOptions() { return *engine_.GetOptions(); }

GraphicsEngineSettings GraphicsTestBed::MakeSettings() {
    GraphicsEngineSettings settings;
    settings.deviceName = kDeviceName;
    settings.width = 640;
    settings.height = 480;
    return settings;
}

bool GraphicsTestBed::CreateDevice(const GraphicsEngineSettings& settings) {
    graphics_ = std::make_unique<CountingGraphicsEngine>();
    return graphics_->CreateDevice(nullptr, settings);
}

bool GraphicsTestBed::Start(const GraphicsEngineSettings& settings) {
    return CreateDevice(settings) && graphics_->Initialize(nullptr, settings, &loader_);
}

void GraphicsTestBed::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    File* file = fileSystem_.OpenFile(name, FileMode::Write);
    if (file == nullptr || !file->Write(0, bytes.data(), static_cast<uint32_t>(bytes.size()))) {
        throw std::runtime_error("cannot write " + name);
    }
    fileSystem_.CloseFile(file);
}

std::vector<uint8_t> MakeShaderFile(const std::vector<ShaderFileSection>& sections) {
    BinaryWriter writer;
    ShaderFileWriter::Write(writer, sections);
    return TakeBytes(writer);
}

std::vector<uint8_t> MakeDdsFile(uint32_t width, uint32_t height, uint32_t color) {
    const std::vector<uint32_t> texels(size_t(width) * height, color);
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, width, height, texels.data(), 0);
    return TakeBytes(writer);
}

std::vector<uint8_t> MakeTexFile(int32_t frameRate, const std::vector<std::vector<uint8_t>>& frames) {
    BinaryWriter writer;
    TextureFileWriter::WriteTEX(writer, frameRate, frames);
    return TakeBytes(writer);
}

}  // namespace GAME::test
