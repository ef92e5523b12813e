// The sample host's flight (tools/SampleFlight.h) over the sample world on the GL device, as the
// host flies it: with the regions streaming in and out on the level loading thread, against the
// same flight with every region loaded before it starts and kept loaded. Each run reports the 50th
// and 99th percentile and the worst of its frame times and how often a region was loaded and
// unloaded; the streaming run's p99 over the loaded run's p99 is what streaming costs in hitches.
// The streaming run also reports how long the level loading thread took for its levels on the
// clock over the processor time they took (summed, and the worst level): the loader is neither
// starved by the frames nor stretched by giving its processor away.

#include "SampleData.h"
#include "SampleFlight.h"

#include "engine/Engine.h"
#include "files/FileSystem.h"
#include "render/EWindow.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsEngineSettings.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace GAME {
namespace {

[[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "flight bench: %s\n", why);
    std::exit(1);
}

// The engine started once for the program, as the sample host starts it, on the sample data.
Engine& GetEngine() {
    static Engine* const engine = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        GraphicsEngineSettings settings;
        settings.width = 640;
        settings.height = 480;
        auto* window = new EWindow();
        if (!window->Initialize("bench", settings.width, settings.height, nullptr, EWindow::Windowed)) Fail("no window");
        std::string directory = (std::filesystem::temp_directory_path() / "flight-bench-XXXXXX").string();
        if (::mkdtemp(directory.data()) == nullptr) Fail("no temporary directory");
        if (!sample::WriteSampleData(directory)) Fail("the sample data cannot be written");
        auto* files = new FileSystem();
        if (!files->AddDirectory(directory)) Fail("the sample data cannot be mounted");
        auto* started = new Engine();
        started->SetLogPath(directory + "/Logs");
        started->SetDefaultSettingsPath(directory + "/" + sample::kOptionsFile);
        if (!started->Initialize(window->GetSystemWindow(), settings, false, false, files)) Fail("the engine does not start");
        started->GetGraphicsEngine()->EnableStats(true);
        return started;
    }();
    return *engine;
}

void RunFlight(benchmark::State& state, bool streaming) {
    Engine& engine = GetEngine();
    sample::FlightSummary summary;
    for (auto _ : state) {
        sample::SampleFlight flight(engine, sample::SampleFlight::kDefaultFrames, streaming);
        if (!flight.IsReady()) Fail("the sample map does not load");
        while (!flight.IsDone()) flight.Step([](int) {});
        summary = flight.Summarize();
        state.SetIterationTime(summary.totalMs * 1e-3);
    }
    state.counters["p50_ms"] = summary.p50Ms;
    state.counters["p99_ms"] = summary.p99Ms;
    state.counters["max_ms"] = summary.maxMs;
    state.counters["loads"] = summary.regionsLoaded;
    state.counters["unloads"] = summary.regionsUnloaded;
    state.counters["load_wall_over_cpu"] = summary.loadWallOverCpu;
    state.counters["worst_load_wall_over_cpu"] = summary.worstLoadWallOverCpu;
}

void BM_SampleFlightStreaming(benchmark::State& state) { RunFlight(state, true); }
void BM_SampleFlightAllLoaded(benchmark::State& state) { RunFlight(state, false); }

BENCHMARK(BM_SampleFlightStreaming)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SampleFlightAllLoaded)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace GAME
