// The sample host: opens a window, starts the engine on a sample-data directory with the GL
// device, makes an entity carrying an actor from their records, loads the sample world's map with
// a camera flying over it (the regions stream in and out under it; arrow keys orbit, the wheel
// zooms), and runs frames in which the engine draws the host's interface widget (text in two font
// styles, textured and blended rectangles, a fan, a glow over the frame's bright parts, a radial
// wipe and a paragraph) under the statistics overlay. After the last frame it saves a screenshot
// as JPEG and TGA, shuts down and
// prints the engine's log.
//
// Usage: SampleHost [--data <directory>] [--logs <directory>] [--frames <count>]
//                   [--output <file.jpg>] [--window] [--video <file>]
// Without --data the host writes the sample data (SampleData.h) into a temporary directory;
// without --logs the log files go there too. The temporary directory is removed at exit. The
// screenshot goes to --output (default "screenshot.jpg"), the TGA next to it with the extension
// ".tga". The window is an offscreen one unless --window is given and a display is there, or
// SDL_VIDEODRIVER names another video driver. The host reads input through the engine: Escape
// (or closing the window) makes the frame the last one. Without --frames an offscreen window runs
// 10 frames and a real one until the user ends it. The exit code is 1 when the engine logged an
// error or the screenshot could not be saved. --video plays a video before the frames (a relative
// name is looked up in the data directory first: "--video Videos/Intro.mkv" plays the sample
// clip); any key or button skips it.

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "HostCamera.h"
#include "SampleData.h"

#include "core/Color.h"
#include "core/Rect.h"
#include "core/Singleton.h"
#include "core/Vec2.h"
#include "engine/Actor.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "render/Display.h"
#include "render/DisplayWidget.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/VideoPlayer.h"
#include "render/GraphicsEngineSettings.h"
#include "render/GraphicsTexture.h"
#include "render/EWindow.h"
#include "render/Image.h"
#include "render/InputDevice.h"
#include "render/Viewport.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

namespace {

namespace fs = std::filesystem;

using GAME::Color;
using GAME::Rect;
using GAME::XAlignment;
using GAME::YAlignment;
using GAME::sample::kActorRecord;
using GAME::sample::kBodyStyle;
using GAME::sample::kEntityRecord;
using GAME::sample::kTitleStyle;

constexpr unsigned kEscapeKey = 1;
constexpr int kOffscreenFrames = 10;  // without a count or a real window
constexpr uint32_t kWipeFrames = 90;

// What the command line asks for.
struct HostOptions {
    int frames = 0;  // 0: not given
    std::string dataDirectory;
    std::string logDirectory;
    std::string output = "screenshot.jpg";
    bool window = false;  // a real window when there is a display
    std::string video;    // played before the frames when given
};

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

// Sends the host's window to the offscreen video driver unless a real window is asked for and a
// display is there; true for a real window.
bool ChooseVideoDriver(bool real) {
    const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    if (real && !display) std::fprintf(stderr, "Sample host: no display; the window is offscreen\n");
    if (!real || !display) setenv("SDL_VIDEODRIVER", "offscreen", 0);
    return real && display;
}

// The interface the host draws each frame, with the textures it shows: the back widget of the
// engine's display, so the engine draws it inside its frame under its own widgets.
class SampleScreen final : public GAME::DisplayWidget {
public:
    explicit SampleScreen(GAME::GraphicsEngine& graphics)
        : graphics_(graphics),
          checker_(graphics.LoadTexture("Textures/Checker.dds")),
          gradient_(graphics.LoadTexture("Textures/Gradient.dds")),
          pulse_(graphics.LoadTexture("Textures/Pulse.tex")) {}
    ~SampleScreen() override {
        for (const GAME::GraphicsTexture* texture : {checker_, gradient_, pulse_}) graphics_.UnloadTexture(texture);
    }
    SampleScreen(const SampleScreen&) = delete;
    SampleScreen& operator=(const SampleScreen&) = delete;

    void Render(GAME::GraphicsCanvas& canvas) const override {
        const uint32_t frame = GAME::gEngine->GetFrameCount();
        const float width = float(canvas.GetWidth());
        canvas.SetDefaultState();
        canvas.ClearRenderSurface(nullptr, Color(0.07f, 0.09f, 0.13f, 1.0f),
                                  GAME::RenderDevice::kClearColor | GAME::RenderDevice::kClearDepth);

        canvas.RenderText(Rect(0.0f, 14.0f, width, 0.0f), "The engine draws its interface", kTitleStyle, 1.0f,
                          XAlignment::Center, YAlignment::Top);
        canvas.RenderRect(Rect(24.0f, 48.0f, width - 48.0f, 2.0f), Color(1.0f, 0.82f, 0.35f, 0.8f));

        // Textured rectangles, one of them animated, and a translucent fill over them.
        canvas.RenderRect(Rect(40.0f, 72.0f, 192.0f, 192.0f), Rect(0.0f, 0.0f, 64.0f, 64.0f), checker_,
                          Color(1.0f, 1.0f, 1.0f, 1.0f));
        canvas.RenderRect(Rect(248.0f, 72.0f, 48.0f, 48.0f), Rect(0.0f, 0.0f, 16.0f, 16.0f), pulse_,
                          Color(1.0f, 1.0f, 1.0f, 1.0f));
        canvas.RenderRect(Rect(136.0f, 168.0f, 144.0f, 120.0f), Color(0.85f, 0.2f, 0.25f, 0.55f));
        canvas.RenderRect(Rect(40.0f, 300.0f, 256.0f, 20.0f), Rect(0.0f, 0.0f, 128.0f, 16.0f), gradient_,
                          Color(0.45f, 0.8f, 1.0f, 1.0f));

        // Three quarters of a disc, clockwise from the top.
        const GAME::Vec2 centre(480.0f, 168.0f);
        mem::vector<GAME::Vec2> fan = {centre};
        for (int degrees = 0; degrees <= 270; degrees += 10) {
            const float angle = float(degrees) * 3.14159265f / 180.0f;
            fan.emplace_back(centre.x + 88.0f * std::sin(angle), centre.y - 88.0f * std::cos(angle));
        }
        canvas.RenderTriFan(fan, Color(0.2f, 0.75f, 0.65f, 0.9f));

        // The bright parts drawn so far glow; a square sweeps shut over the animated texture once
        // every kWipeFrames frames.
        canvas.HotBlurFrameBuffer(unsigned(canvas.GetWidth()) / 2, unsigned(canvas.GetHeight()) / 2, 0.3f, 1.0f, 1.0f);
        canvas.RenderSquareRadialWipeEffect(Rect(248.0f, 72.0f, 48.0f, 48.0f), GAME::Vec2(0.0f, 0.0f),
                                            Color(0.07f, 0.09f, 0.13f, 0.85f), float(frame % kWipeFrames) / float(kWipeFrames));
        canvas.RenderText(Rect(392.0f, 272.0f, 176.0f, 0.0f), "a fan", kBodyStyle, 1.0f, XAlignment::Center,
                          YAlignment::Top);

        canvas.RenderText(40, 340, "Body text in the ^Ysecond style^W, with ^Gcolour^W escapes and &Bbold&S words.",
                          kBodyStyle, 1.0f, XAlignment::Left, YAlignment::Top);
        const mem::vector<std::wstring> lines = {L"A paragraph on a translucent box,",
                                                       L"measured by its longest line,",
                                                       L"with lines drawn in one batch."};
        canvas.RenderTextParagraph(43, 378, Color(0.9f, 0.92f, 0.95f, 1.0f), Color(0.2f, 0.3f, 0.45f, 0.6f), lines,
                                   kBodyStyle, false);
        const std::string counter = "frame " + std::to_string(frame);
        const Color counterColor(0.07f, 0.09f, 0.13f, 1.0f);
        canvas.RenderTextBox(int(width) - 64, 456, Color(1.0f, 0.82f, 0.35f, 0.9f), counter.c_str(), kBodyStyle, 1.0f,
                             true, &counterColor);
    }

private:
    GAME::GraphicsEngine& graphics_;
    const GAME::GraphicsTexture* checker_;
    const GAME::GraphicsTexture* gradient_;
    const GAME::GraphicsTexture* pulse_;
};

// The path with its extension replaced.
std::string WithExtension(const std::string& path, const char* extension) {
    return fs::path(path).replace_extension(extension).string();
}

// Saves the primary surface as JPEG at the path and as TGA next to it; false on failure.
bool SaveScreenShots(const GAME::GraphicsEngine& graphics, const std::string& path) {
    if (!graphics.SaveScreenShot(path.c_str())) return false;
    GAME::Image image;
    GAME::BinaryWriter writer;
    // The frame buffer's alpha is what blending left there, not coverage: the TGA is opaque.
    if (!graphics.ReadRenderSurface(graphics.GetCanvas()->GetPrimarySurface(), image) ||
        !image.ChangeFormat(GAME::Image::Format::RGB) || !image.WriteTGA(writer)) {
        return false;
    }
    const std::string tga = WithExtension(path, ".tga");
    std::FILE* file = std::fopen(tga.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(writer.GetBuffer(), 1, writer.GetPosition(), file) ==
                                                writer.GetPosition();
    if (file != nullptr && std::fclose(file) != 0) return false;
    if (!written) std::fprintf(stderr, "Sample host: %s could not be written\n", tga.c_str());
    return written;
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
    const bool realWindow = ChooseVideoDriver(options.window);
    const int frames = options.frames > 0 ? options.frames : realWindow ? 0 : kOffscreenFrames;
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
    graphics.EnableStats(true);  // the statistics overlay over the host's interface

    GAME::ObjectManager* objects = GAME::Singleton<GAME::ObjectManager>::Get();
    GAME::Entity* entity = objects->CreateObjectFromFile<GAME::Entity>(kEntityRecord);
    GAME::Actor* actor = objects->CreateObjectFromFile<GAME::Actor>(kActorRecord);
    if (entity && actor) entity->Attach(actor, GAME::Coords::Identity, "");

    if (!options.video.empty()) PlayVideo(engine, window, options);

    int failures = 0;
    {
        SampleScreen screen(graphics);
        GAME::Display& display = *engine.GetDisplay();
        display.AddWidget(&screen);
        // The camera flies over the sample world, whose regions stream in and out under it.
        GAME::World& world = *engine.GetWorld();
        const bool worldLoaded = world.Load(GAME::sample::kSampleMap, true, true);
        GAME::HostCamera camera(world, engine.GetInputDevice());
        const GAME::Viewport viewport(0, 0, settings.width, settings.height);
        // The last frame is the asked-for count, or the one in which the user pressed Escape or
        // closed the window; a real window without a count runs until the user ends it.
        bool last = false;
        for (int frame = 0; !last; ++frame) {
            last = !window.ProcessMessages() || frame + 1 == frames;
            camera.UpdateFromInput();
            camera.Advance(engine.GetUpdateTime());
            camera.Update();
            engine.Update(worldLoaded ? camera.GetFrustum(viewport) : GAME::WorldFrustum(), true);
            last = last || EscapePressed(engine);
            if (entity) entity->Update(engine.GetUpdateTime());
            engine.Render();
            if (last && !SaveScreenShots(graphics, options.output)) ++failures;
            engine.PresentSurface();
        }
        display.RemoveWidget(&screen);
    }
    engine.Log(GAME::LogPriority::Info, "Sample host: %u frames, %d objects, screenshot %s", engine.GetFrameCount(),
               objects->GetNumObjects(), failures == 0 ? options.output.c_str() : "not saved");

    objects->DestroyObjectEx(actor, __FILE__, __LINE__);
    objects->DestroyObjectEx(entity, __FILE__, __LINE__);
    engine.Update(GAME::WorldFrustum(), true);
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
        } else if (hasValue && std::strcmp(argv[i], "--output") == 0) {
            options.output = argv[++i];
        } else if (hasValue && std::strcmp(argv[i], "--video") == 0) {
            options.video = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--data <directory>] [--logs <directory>] [--frames <count>] "
                         "[--output <file.jpg>] [--window] [--video <file>]\n",
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
    const int errors = RunEngine(fileSystem, options);
    if (errors < 0) std::fprintf(stderr, "Sample host: the engine did not start\n");
    return errors == 0 ? 0 : 1;
}
