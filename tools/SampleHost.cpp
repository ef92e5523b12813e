// The sample host: opens a window, starts the engine on a sample-data directory with the GL
// device, and flies a camera along a fixed path over the sample world (SampleFlight) while its
// regions stream in and out, the engine's statistics and the host's caption drawn on top. At each
// point of the path it can save a screenshot; it prints its progress and the engine's warnings and
// errors as it goes, and ends with a summary of frame times and streaming.
//
// Usage: SampleHost [--data <directory>] [--logs <directory>] [--frames <count>]
//                   [--shots <directory>] [--window] [--video <file>]
// Without --data the host writes the sample data (SampleData.h) into a temporary directory;
// without --logs the log files go there too. What the engine saves as it runs (the regions' fog of
// war) goes to the temporary directory, mounted writable over the data. The temporary directory
// is removed at exit.
// --frames sets the flight's length (SampleFlight::kDefaultFrames by default). --shots saves the
// frame at each point of the path as <directory>/<n>-<point>.jpg and, lossless, .tga. The window
// is an offscreen one unless --window is given and a display is there, or SDL_VIDEODRIVER names
// another video driver; Escape (or closing the window) ends the flight early. The exit code is 1
// when the engine logged an error or a screenshot could not be saved. --video plays a video
// before the flight (a relative name is looked up in the data directory first: "--video
// Videos/Intro.mkv" plays the sample clip); any key or button skips it.

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "SampleData.h"
#include "SampleFlight.h"

#include "engine/Engine.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/VideoPlayer.h"
#include "render/GraphicsEngineSettings.h"
#include "render/EWindow.h"
#include "render/Image.h"
#include "render/InputDevice.h"
#include "world/WorldFrustum.h"

namespace {

namespace fs = std::filesystem;

using GAME::sample::SampleFlight;

constexpr unsigned kEscapeKey = 1;
constexpr int kProgressLines = 10;  // a flight prints its progress this often

// What the command line asks for.
struct HostOptions {
    int frames = SampleFlight::kDefaultFrames;
    std::string dataDirectory;
    std::string logDirectory;
    std::string shots;  // no screenshots when empty
    bool window = false;  // a real window when there is a display
    std::string video;    // played before the frames when given
};

// Prints the warnings and errors, and keeps every line in the engine's log files.
class SampleEngine : public GAME::Engine {
public:
    using Engine::Log;
    void Log(GAME::LogPriority priority, unsigned category, const char* format, va_list args) override {
        static const char* const kLabels[] = {"info", "error", "warning"};
        char text[2048];
        std::vsnprintf(text, sizeof(text), format, args);
        WriteToLogFiles(priority, category, text);
        if (priority == GAME::LogPriority::Info) return;
        const std::string categoryName = GetLogCategoryName(category);
        std::printf("[%s]%s%s%s %s\n", kLabels[static_cast<int>(priority) % 3], categoryName.empty() ? "" : "[",
                    categoryName.c_str(), categoryName.empty() ? "" : "]", text);
        if (priority == GAME::LogPriority::Error) ++errors_;
    }

    int GetNumErrors() const { return errors_; }

private:
    std::atomic<int> errors_{0};  // loading threads log too
};

// A fresh temporary directory, removed with its contents at the end.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (fs::temp_directory_path() / "sample-host-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code error;
        if (!path_.empty()) fs::remove_all(path_, error);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& GetPath() const { return path_; }

private:
    std::string path_;
};

// Sends the host's window to the offscreen video driver unless a real window is asked for and a
// display is there.
void ChooseVideoDriver(bool real) {
    const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    if (real && !display) std::fprintf(stderr, "Sample host: no display; the window is offscreen\n");
    if (!real || !display) setenv("SDL_VIDEODRIVER", "offscreen", 0);
}

// The path with its extension replaced.
std::string WithExtension(const std::string& path, const char* extension) {
    return fs::path(path).replace_extension(extension).string();
}

// Saves the primary surface as JPEG at the path and as TGA next to it, each written whole or not at
// all; false on failure.
bool SaveScreenShots(const GAME::GraphicsEngine& graphics, GAME::FileSystem& files, const std::string& path) {
    if (!graphics.SaveScreenShot(path.c_str())) return false;
    GAME::Image image;
    GAME::BinaryWriter writer;
    // The frame buffer's alpha is what blending left there, not coverage: the TGA is opaque.
    if (!graphics.ReadRenderSurface(graphics.GetCanvas()->GetPrimarySurface(), image) ||
        !image.ChangeFormat(GAME::Image::Format::RGB) || !image.WriteTGA(writer)) {
        return false;
    }
    // An absolute name, so that it is not taken for a name in the mounted data.
    const std::string tga = fs::absolute(WithExtension(path, ".tga")).string();
    return files.SaveFile(tga, writer.GetBuffer(), writer.GetPosition());
}

// Whether the user pressed Escape in the frame the engine read.
bool EscapePressed(const GAME::Engine& engine) {
    const GAME::InputDevice* input = engine.GetInputDevice();
    for (unsigned i = 0; input != nullptr && i < input->GetNumButtonEvents(); ++i) {
        const GAME::InputDevice::ButtonEvent event = input->GetButtonEvent(i);
        if (event.keyCode == kEscapeKey && event.state == GAME::InputDevice::ButtonEvent::Pressed) return true;
    }
    return false;
}

// Plays the video to its end, or until a key or button skips it or the window closes.
void PlayVideo(GAME::Engine& engine, GAME::EWindow& window, const HostOptions& options) {
    std::string path = options.dataDirectory + "/" + options.video;
    if (options.video.front() == '/' || !std::filesystem::exists(path)) path = options.video;
    GAME::VideoPlayer player;
    if (!player.Open(path.c_str(), true, true)) return;
    while (player.GetIsPlaying() && window.ProcessMessages()) {
        engine.Update(GAME::WorldFrustum(), true);
        player.Update();
        player.Render();
        engine.PresentSurface();
    }
}

// Runs the engine on the mounted data; the number of errors it logged (a screenshot that could not
// be saved counts as one), or -1 when it did not start.
int RunEngine(GAME::FileSystem& fileSystem, const HostOptions& options) {
    GAME::GraphicsEngineSettings settings;
    settings.width = 640;
    settings.height = 480;
    ChooseVideoDriver(options.window);
    GAME::EWindow window;
    if (!window.Initialize("Sample host", settings.width, settings.height, nullptr, GAME::EWindow::Windowed)) {
        std::fprintf(stderr, "Sample host: no window\n");
        return -1;
    }
    SampleEngine engine;
    engine.SetLogPath(options.logDirectory);
    engine.SetDefaultSettingsPath(options.dataDirectory + "/" + GAME::sample::kOptionsFile);
    if (!engine.Initialize(window.GetSystemWindow(), settings, false, false, &fileSystem)) return -1;
    GAME::GraphicsEngine& graphics = *engine.GetGraphicsEngine();
    graphics.EnableStats(true);  // the statistics overlay over the world

    if (!options.video.empty()) PlayVideo(engine, window, options);

    int failures = 0;
    GAME::sample::FlightSummary summary;
    {
        SampleFlight flight(engine, options.frames);
        if (!flight.IsReady()) ++failures;
        const int progressEvery = std::max(1, flight.GetNumFrames() / kProgressLines);
        bool stopped = false;  // by the user
        while (flight.IsReady() && !flight.IsDone() && !stopped) {
            flight.Step([&](int point) {
                if (point < 0 || options.shots.empty()) return;
                const std::string shot = options.shots + "/" + std::to_string(point) + "-" +
                                         GAME::sample::kFlightPath[size_t(point)].name + ".jpg";
                if (!SaveScreenShots(graphics, fileSystem, shot)) ++failures;
            });
            stopped = !window.ProcessMessages() || EscapePressed(engine);
            if (flight.GetFrame() % progressEvery == 0 || flight.IsDone()) {
                std::printf("Sample host: frame %d of %d, %s, %d regions loaded\n", flight.GetFrame(),
                            flight.GetNumFrames(), flight.GetCurrentPoint().name, flight.GetNumRegionsLoaded());
                std::fflush(stdout);
            }
        }
        summary = flight.Summarize();
    }
    std::printf("Sample host: %d frames; frame time p50 %.2f ms, p99 %.2f ms, max %.2f ms; regions loaded %d times, "
                "unloaded %d times; %d errors\n",
                summary.frames, summary.p50Ms, summary.p99Ms, summary.maxMs, summary.regionsLoaded,
                summary.regionsUnloaded, engine.GetNumErrors() + failures);
    engine.Shutdown();
    return engine.GetNumErrors() + failures;
}

}  // namespace

int main(int argc, char** argv) {
    HostOptions options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--window") == 0) {
            options.window = true;
        } else if (hasValue && std::strcmp(argv[i], "--frames") == 0) {
            options.frames = std::atoi(argv[++i]);
        } else if (hasValue && std::strcmp(argv[i], "--data") == 0) {
            options.dataDirectory = argv[++i];
        } else if (hasValue && std::strcmp(argv[i], "--logs") == 0) {
            options.logDirectory = argv[++i];
        } else if (hasValue && std::strcmp(argv[i], "--shots") == 0) {
            options.shots = argv[++i];
        } else if (hasValue && std::strcmp(argv[i], "--video") == 0) {
            options.video = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--data <directory>] [--logs <directory>] [--frames <count>] "
                         "[--shots <directory>] [--window] [--video <file>]\n",
                         argv[0]);
            return 2;
        }
    }

    TemporaryDirectory temporary;
    if (temporary.GetPath().empty()) {
        std::fprintf(stderr, "Sample host: no temporary directory\n");
        return 1;
    }
    if (options.dataDirectory.empty()) {
        options.dataDirectory = temporary.GetPath() + "/Data";
        if (!GAME::sample::WriteSampleData(options.dataDirectory)) {
            std::fprintf(stderr, "Sample host: the sample data could not be written\n");
            return 1;
        }
    }
    if (options.logDirectory.empty()) options.logDirectory = temporary.GetPath() + "/Logs";

    GAME::FileSystem fileSystem;
    if (!fileSystem.AddDirectory(options.dataDirectory)) {
        std::fprintf(stderr, "Sample host: %s cannot be mounted\n", options.dataDirectory.c_str());
        return 1;
    }
    if (!fileSystem.AddDirectory(temporary.GetPath() + "/Saves", true)) {
        std::fprintf(stderr, "Sample host: no directory for what the engine saves\n");
        return 1;
    }
    const int errors = RunEngine(fileSystem, options);
    if (errors < 0) std::fprintf(stderr, "Sample host: the engine did not start\n");
    return errors == 0 ? 0 : 1;
}
