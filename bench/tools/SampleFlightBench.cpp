// The sample host's flight (tools/SampleFlight.h) over the sample world on the GL device, as the
// host flies it: with the regions streaming in and out on the level loading thread, against the
// same flight with every region loaded before it starts and kept loaded. Each run reports the 50th
// and 99th percentile and the worst of its frame times and how often a region was loaded and
// unloaded; the streaming run's p99 over the loaded run's p99 is what streaming costs in hitches.
// The streaming run also reports how long the level loading thread took for its levels on the
// clock over the processor time they took (summed, and the worst level): the loader is neither
// starved by the frames nor stretched by giving its processor away.
//
// The driver's shader cache: the streaming flight flown in processes of their own (the program
// runs itself, for that benchmark alone), once with the driver's on-disk shader cache disabled and
// once with it warm (a cache directory of its own, filled by a flight before). Every program is
// compiled as its shader loads, so a cold cache slows the loading and not the frames: the cold
// p99 over the warm p99 is what compiling costs in hitches, and the worst frame after the first
// over the median says whether any frame still waits on the driver. Each flight also reports how long
// it took to load (from the map to the first frame, the warm-up included) and its first frame.

#include "SampleData.h"
#include "SampleFlight.h"

#include "engine/Engine.h"
#include "files/FileSystem.h"
#include "render/EWindow.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsEngineSettings.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

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
        // The data goes with the program (each fresh flight writes its own).
        static const std::string written = directory;
        std::atexit([] { std::filesystem::remove_all(written); });
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
    double loadMs = 0.0;
    for (auto _ : state) {
        const auto loadStart = std::chrono::steady_clock::now();
        sample::SampleFlight flight(engine, sample::SampleFlight::kDefaultFrames, streaming);
        loadMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStart).count();
        if (!flight.IsReady()) Fail("the sample map does not load");
        while (!flight.IsDone()) flight.Step([](int) {});
        summary = flight.Summarize();
        state.SetIterationTime(summary.totalMs * 1e-3);
    }
    state.counters["load_ms"] = loadMs;
    state.counters["first_ms"] = summary.firstMs;
    state.counters["p50_ms"] = summary.p50Ms;
    state.counters["p99_ms"] = summary.p99Ms;
    state.counters["max_ms"] = summary.maxMs;
    state.counters["max_after_first_ms"] = summary.maxAfterFirstMs;
    state.counters["loads"] = summary.regionsLoaded;
    state.counters["unloads"] = summary.regionsUnloaded;
    state.counters["load_wall_over_cpu"] = summary.loadWallOverCpu;
    state.counters["worst_load_wall_over_cpu"] = summary.worstLoadWallOverCpu;
}

void BM_SampleFlightStreaming(benchmark::State& state) { RunFlight(state, true); }
void BM_SampleFlightAllLoaded(benchmark::State& state) { RunFlight(state, false); }

// The figures of a streaming flight flown by this program in a process of its own.
struct FreshFlight {
    double loadMs = 0.0;
    double firstMs = 0.0;
    double p50Ms = 0.0;
    double p99Ms = 0.0;
    double maxAfterFirstMs = 0.0;
};

// The value of a counter in a JSON report ("name": value).
double ReadCounter(const std::string& report, const char* name) {
    const std::string key = std::string("\"") + name + "\": ";
    const size_t at = report.rfind(key);
    if (at == std::string::npos) Fail("a fresh flight's report lacks a figure");
    return std::strtod(report.c_str() + at + key.size(), nullptr);
}

// Runs this program for the streaming flight alone with the driver's cache settings in environment
// (assignments the shell puts before the command) and reads its figures.
FreshFlight FlyInFreshProcess(const std::string& environment) {
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (length <= 0) Fail("the benchmark program cannot find itself");
    self[length] = '\0';
    const std::string command = environment + " '" + self +
                                "' --benchmark_filter='^BM_SampleFlightStreaming/' --benchmark_format=json 2>/dev/null";
    FILE* const pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) Fail("a fresh flight cannot start");
    std::string report;
    char buffer[4096];
    for (size_t read; (read = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;) report.append(buffer, read);
    if (::pclose(pipe) != 0) Fail("a fresh flight failed");
    return {ReadCounter(report, "load_ms"), ReadCounter(report, "first_ms"), ReadCounter(report, "p50_ms"), ReadCounter(report, "p99_ms"), ReadCounter(report, "max_after_first_ms")};
}

void BM_SampleFlightShaderCache(benchmark::State& state) {
    std::string cache = (std::filesystem::temp_directory_path() / "flight-shader-cache-XXXXXX").string();
    if (::mkdtemp(cache.data()) == nullptr) Fail("no temporary directory");
    const std::string warm = "MESA_SHADER_CACHE_DISABLE=false MESA_SHADER_CACHE_DIR='" + cache + "'";
    FreshFlight cold;
    FreshFlight warmed;
    for (auto _ : state) {
        FlyInFreshProcess(warm);  // fills the cache
        warmed = FlyInFreshProcess(warm);
        cold = FlyInFreshProcess("MESA_SHADER_CACHE_DISABLE=true");
    }
    std::filesystem::remove_all(cache);
    state.counters["cold_load_ms"] = cold.loadMs;
    state.counters["warm_load_ms"] = warmed.loadMs;
    state.counters["cold_first_ms"] = cold.firstMs;
    state.counters["warm_first_ms"] = warmed.firstMs;
    state.counters["cold_p99_ms"] = cold.p99Ms;
    state.counters["warm_p99_ms"] = warmed.p99Ms;
    state.counters["cold_p99_over_warm_p99"] = cold.p99Ms / warmed.p99Ms;
    state.counters["cold_worst_after_first_over_p50"] = cold.maxAfterFirstMs / cold.p50Ms;
    state.counters["warm_worst_after_first_over_p50"] = warmed.maxAfterFirstMs / warmed.p50Ms;
}

BENCHMARK(BM_SampleFlightShaderCache)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SampleFlightStreaming)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SampleFlightAllLoaded)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace GAME
