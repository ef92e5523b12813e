// Hitches: frame times of a viewer flying over 64 regions of 400 entities each (eight rows of
// eight, row after row), with the regions streaming in and out under it on the level loading
// thread, against the same flight with every region loaded before it starts (and kept loaded).
// Each run reports the 50th and 99th percentile of its frame times (and the worst, which for the
// streaming run is its first frame: the viewer's own region is loaded at once); the streaming
// run's p99 over the steady run's p99 is the hitch ratio.

#include "LevelBuilder.h"
#include "core/Frustum.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "world/LevelLoadingThread.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace GAME {
namespace {

constexpr int kSide = 8;                 // regions a row, and rows
constexpr float kRegionSize = 64.0f;
constexpr int kEntities = 400;           // a region
constexpr float kSpeed = 2.0f;           // units a frame
// Frames start this far apart (the wait is not timed), so the loading thread has the time between
// frames that it would have in a game; flat out, the viewer would outrun any loader.
constexpr std::chrono::microseconds kFramePeriod{2000};
constexpr float kViewHalfSize = 40.0f;   // the viewer sees a box of this half size
constexpr float kLoadInflation = 64.0f;  // regions this much beyond the view are read ahead
constexpr const char* kRecord = "records/bench/entity.dbr";

class BenchEngine : public Engine {
public:
    using Engine::SetFileSystem;
};

// The level files and the engine that streams them.
struct Fixture {
    Fixture() {
        char path[] = "/tmp/streaming_bench_XXXXXX";
        if (!mkdtemp(path)) std::abort();
        directory = path;
        std::filesystem::create_directories(directory + "/records/bench");
        std::ofstream(directory + "/" + kRecord) << "Class,Entity,\n";
        if (!files.AddDirectory(directory, true)) std::abort();
        for (int i = 0; i < kSide * kSide; ++i) {
            LevelBuilder builder(depot, Vec2(0.5f * kRegionSize, 0.5f * kRegionSize));
            if (builder.Scatter({kRecord}, kEntities, uint32_t(i + 1)) != kEntities ||
                !builder.Save(files, LevelName(i), true))
                std::abort();
        }
        Singleton<ObjectManager>::Get()->SetTableDepot(&depot);
        engine.SetFileSystem(&files);
        engine.SetLevelLoadInflation(kLoadInflation);
    }
    ~Fixture() {
        engine.GetWorld()->Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
        std::filesystem::remove_all(directory);
    }
    static std::string LevelName(int index) {
        std::string name = std::to_string(index);
        name.insert(0, "level");
        return name.append(".lvl");
    }

    // A world of the regions, none loaded.
    World& MakeWorld() {
        World& world = *engine.GetWorld();
        world.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        const float half = 0.5f * kRegionSize;
        for (int i = 0; i < kSide * kSide; ++i) {
            world.AddRegion(LevelName(i), IntVec3(int(kRegionSize) * (i % kSide), 0, int(kRegionSize) * (i / kSide)),
                            ABBox(Vec3(half, 0, half), Vec3(half, 16, half)), RegionId());
        }
        world.BuildConnectivity();
        return world;
    }

    std::string directory;
    FileSystem files;
    TableDepot depot{files};
    BenchEngine engine;
};

Fixture& GetFixture() {
    static Fixture fixture;
    return fixture;
}


// The viewer's path: along each row, the next row the other way (world space), one point a frame.
std::vector<Vec3> FlightPath() {
    std::vector<Vec3> path;
    const float length = kRegionSize * kSide;
    for (int row = 0; row < kSide; ++row) {
        const float z = (float(row) + 0.5f) * kRegionSize;
        for (float s = 0.5f; s < length; s += kSpeed) path.push_back(Vec3(row % 2 ? length - s : s, 0.0f, z));
    }
    return path;
}

// Flies the path, one engine frame a point; the frame times in microseconds. keepLoaded marks every
// region used before each frame (outside the timing), so none is unloaded.
std::vector<double> Fly(World& world, bool keepLoaded) {
    Engine& engine = GetFixture().engine;
    std::vector<double> times;
    for (const Vec3& point : FlightPath()) {
        if (keepLoaded) {
            for (int i = 0; i < world.GetNumRegions(); ++i) world.GetRegion(i)->MarkAsUsedThisFrame();
        }
        const int column = std::clamp(int(point.x / kRegionSize), 0, kSide - 1);
        const int row = std::clamp(int(point.z / kRegionSize), 0, kSide - 1);
        Region* region = world.GetRegion(row * kSide + column);
        const Vec3 local(point.x - kRegionSize * float(column), 0.0f, point.z - kRegionSize * float(row));
        const auto start = std::chrono::steady_clock::now();
        const Frustum view = Frustum::FromBox(ABBox(local, Vec3(kViewHalfSize, kViewHalfSize, kViewHalfSize)));
        engine.Update(WorldFrustum(region, view), true);
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        std::this_thread::sleep_until(start + kFramePeriod);
    }
    return times;
}

void ReportPercentiles(benchmark::State& state, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const auto at = [&](double share) { return times[std::min(times.size() - 1, size_t(share * double(times.size())))]; };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = times.back();
    state.counters["frames"] = double(times.size());  // over every iteration
}

// Flies the path once an iteration over a fresh world: streaming, or with every region loaded
// first and kept loaded. The iteration time is the sum of the frame times.
void RunFlight(benchmark::State& state, bool allLoaded) {
    LevelLoadingThread::Get().SetManual(false);
    std::vector<double> times;
    for (auto _ : state) {
        World& world = GetFixture().MakeWorld();
        if (allLoaded) {
            for (int i = 0; i < world.GetNumRegions(); ++i) world.GetRegion(i)->LoadLevel(true);
        }
        const std::vector<double> flight = Fly(world, allLoaded);
        times.insert(times.end(), flight.begin(), flight.end());
        double total = 0;
        for (double t : flight) total += t;
        state.SetIterationTime(total * 1e-6);
        state.counters["loaded_at_end"] = double(world.GetNumLevelsLoaded());
    }
    ReportPercentiles(state, times);
}

void BM_FlightStreaming(benchmark::State& state) { RunFlight(state, false); }
void BM_FlightAllLoaded(benchmark::State& state) { RunFlight(state, true); }

BENCHMARK(BM_FlightStreaming)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlightAllLoaded)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace GAME
