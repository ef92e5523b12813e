// The sample host: opens a window, starts the engine on a sample-data directory with the GL
// device, makes an entity carrying an actor from their records, runs and shows frames, and shuts
// down, printing the engine's log.
//
// Usage: SampleHost [--data <directory>] [--logs <directory>] [--frames <count>]
// Without --data the host writes the sample data (SampleData.h) into a temporary directory;
// without --logs the log files go there too. The temporary directory is removed at exit. The
// window is an offscreen one unless SDL_VIDEODRIVER names another video driver. The exit code is 1
// when the engine logged an error.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <SDL2/SDL.h>

#include "SampleData.h"

#include "core/Singleton.h"
#include "engine/Actor.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "platform/GLDriver.h"
#include "render/GraphicsEngineSettings.h"
#include "world/WorldFrustum.h"

namespace {

namespace fs = std::filesystem;

using GAME::sample::kActorRecord;
using GAME::sample::kEntityRecord;

// Prints every log line, and keeps it in the engine's log files.
class SampleEngine : public GAME::Engine {
public:
    using Engine::Log;
    void Log(GAME::LogPriority priority, unsigned category, const char* format, va_list args) override {
        static const char* const kLabels[] = {"info", "error", "warning"};
        char text[2048];
        std::vsnprintf(text, sizeof(text), format, args);
        const std::string categoryName = GetLogCategoryName(category);
        std::printf("[%s]%s%s%s %s\n", kLabels[static_cast<int>(priority) % 3], categoryName.empty() ? "" : "[",
                    categoryName.c_str(), categoryName.empty() ? "" : "]", text);
        WriteToLogFiles(priority, category, text);
        if (priority == GAME::LogPriority::Error) ++errors_;
    }

    int GetNumErrors() const { return errors_; }

private:
    int errors_ = 0;
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

// An SDL window for the GL device, with SDL's video started for it.
class Window {
public:
    Window(int width, int height) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        GAME::KeepGLDriverLoaded();
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
        window_ = SDL_CreateWindow("Sample host", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                   SDL_WINDOW_OPENGL);
    }
    ~Window() {
        if (window_) SDL_DestroyWindow(window_);
        SDL_Quit();
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    SDL_Window* Get() const { return window_; }

private:
    SDL_Window* window_ = nullptr;
};

// Runs the engine on the mounted data; the number of errors it logged, or -1 when it did not start.
int RunEngine(GAME::FileSystem& fileSystem, const std::string& dataDirectory, const std::string& logDirectory,
              int frames) {
    GAME::GraphicsEngineSettings settings;
    settings.width = 640;
    settings.height = 480;
    const Window window(settings.width, settings.height);
    if (!window.Get()) {
        std::fprintf(stderr, "Sample host: no window: %s\n", SDL_GetError());
        return -1;
    }
    SampleEngine engine;
    engine.SetLogPath(logDirectory);
    engine.SetDefaultSettingsPath(dataDirectory + "/" + GAME::sample::kOptionsFile);
    if (!engine.Initialize(window.Get(), settings, true, false, &fileSystem)) return -1;

    GAME::ObjectManager* objects = GAME::Singleton<GAME::ObjectManager>::Get();
    GAME::Entity* entity = objects->CreateObjectFromFile<GAME::Entity>(kEntityRecord);
    GAME::Actor* actor = objects->CreateObjectFromFile<GAME::Actor>(kActorRecord);
    if (entity && actor) entity->Attach(actor, GAME::Coords::Identity, "");

    const GAME::WorldFrustum viewer;
    for (int frame = 0; frame < frames; ++frame) {
        engine.Update(viewer, true);
        if (entity) entity->Update(engine.GetUpdateTime());
        engine.Render();
        engine.PresentSurface();
    }
    engine.Log(GAME::LogPriority::Info, "Sample host: %u frames, %d objects", engine.GetFrameCount(),
               objects->GetNumObjects());

    objects->DestroyObjectEx(actor, __FILE__, __LINE__);
    objects->DestroyObjectEx(entity, __FILE__, __LINE__);
    engine.Update(viewer, true);
    engine.Shutdown();
    return engine.GetNumErrors();
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 10;
    std::string dataDirectory;
    std::string logDirectory;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0) {
            frames = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--data") == 0) {
            dataDirectory = argv[i + 1];
        } else if (std::strcmp(argv[i], "--logs") == 0) {
            logDirectory = argv[i + 1];
        } else {
            std::fprintf(stderr, "usage: %s [--data <directory>] [--logs <directory>] [--frames <count>]\n", argv[0]);
            return 2;
        }
    }

    TemporaryDirectory temporary;
    if (temporary.GetPath().empty()) {
        std::fprintf(stderr, "Sample host: no temporary directory\n");
        return 1;
    }
    if (dataDirectory.empty()) {
        dataDirectory = temporary.GetPath() + "/Data";
        if (!GAME::sample::WriteSampleData(dataDirectory)) {
            std::fprintf(stderr, "Sample host: the sample data could not be written\n");
            return 1;
        }
    }
    if (logDirectory.empty()) logDirectory = temporary.GetPath() + "/Logs";

    GAME::FileSystem fileSystem;
    if (!fileSystem.AddDirectory(dataDirectory)) {
        std::fprintf(stderr, "Sample host: %s cannot be mounted\n", dataDirectory.c_str());
        return 1;
    }
    const int errors = RunEngine(fileSystem, dataDirectory, logDirectory, frames);
    if (errors < 0) std::fprintf(stderr, "Sample host: the engine did not start\n");
    return errors == 0 ? 0 : 1;
}
