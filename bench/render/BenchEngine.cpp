#include "BenchEngine.h"

#include "SampleData.h"

#include "files/FileSystem.h"
#include "files/Options.h"
#include "render/EWindow.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsEngineSettings.h"
#include "render/RenderDevice.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace GAME::bench {

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& contents) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

std::vector<std::string>& MadeDirectories() {
    static std::vector<std::string> made;
    return made;
}

void RemoveMadeDirectories() {
    std::error_code ignored;
    for (const std::string& directory : MadeDirectories()) std::filesystem::remove_all(directory, ignored);
}

}  // namespace

void BenchEngine::Fail(const char* why) {
    std::fprintf(stderr, "render bench: %s\n", why);
    std::exit(1);
}

std::string BenchEngine::MakeTempDirectory(const char* prefix) {
    std::string directory = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(directory.data()) == nullptr) Fail("no temporary directory");
    // Registered after the list is made, so it runs before the list is destroyed.
    if (MadeDirectories().empty()) std::atexit(RemoveMadeDirectories);
    MadeDirectories().push_back(directory);
    return directory;
}

Engine& BenchEngine::Get() {
    static Engine* const engine = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        auto* window = new EWindow();
        if (!window->Initialize("bench", kWidth, kHeight, nullptr, EWindow::Windowed)) Fail("no window");

        const std::string directory = MakeTempDirectory("render-bench");
        WriteFile(std::filesystem::path(directory) / "Fonts/Bench.fnt", std::string("FNT\x01", 4));
        WriteFile(std::filesystem::path(directory) / kParagraphStyle,
                  "fontName,Fonts/Bench.fnt,\nfontSize,12,\nfontColorGreen,0.9,\n");
        const std::vector<uint8_t> basicShader = sample::MakeBasicShaderFile();
        WriteFile(std::filesystem::path(directory) / GraphicsEngine::kBasicShader,
                  std::string(basicShader.begin(), basicShader.end()));
        const std::vector<uint8_t> filterShader = sample::MakeFilterShaderFile();
        WriteFile(std::filesystem::path(directory) / GraphicsCanvas::kFilterShader,
                  std::string(filterShader.begin(), filterShader.end()));
        auto* files = new FileSystem();
        if (!files->AddDirectory(directory, true)) Fail("the data directory cannot be mounted");

        auto* started = new Engine();
        started->SetLogPath(directory + "/Logs");
        Options& options = *started->GetOptions();
        options.SetInt2(Options::Int2Name::resolution, {kWidth, kHeight});
        options.SetBool(Options::BoolName::fullscreen, false);
        options.SetQuality(Options::QualityName::detailLevel, 2);
        GraphicsEngineSettings settings;
        settings.width = kWidth;
        settings.height = kHeight;
        if (!started->Initialize(window->GetSystemWindow(), settings, true, false, files)) Fail("the engine does not start");
        started->GetGraphicsEngine()->GetRenderDevice()->BeginScene();
        return started;
    }();
    return *engine;
}

}  // namespace GAME::bench
