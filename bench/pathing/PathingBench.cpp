// Costs of pathing: triangulating a plug outline and finding paths across a large open level.

#include <benchmark/benchmark.h>

#include <memory>
#include <utility>

#include "core/Random.h"
#include "core/WorldVec3.h"
#include "pathing/PathFinder.h"
#include "pathing/PathMesh.h"
#include "pathing/TriangulationData.h"

namespace {

using namespace GAME;

TriangulationData::Point At(float x, float z) {
    TriangulationData::Point p;
    p.x = x;
    p.z = z;
    p.normal = Vec3(0.0f, 1.0f, 0.0f);
    return p;
}

// 10,000 unit segments, the shape of a visibility boundary: 625 hidden patches of 4 x 4 samples on
// a 25 x 25 layout, each outlined counter-clockwise.
void BM_Triangulate10000Segments(benchmark::State& state) {
    TriangulationData data;
    data.SetSnapTolerance(0.001);
    for (int row = 0; row < 25; ++row) {
        for (int column = 0; column < 25; ++column) {
            const float x0 = column * 6.0f, z0 = row * 6.0f;
            for (int i = 0; i < 4; ++i) data.AddSegment(At(x0 + i, z0), At(x0 + i + 1, z0));
            for (int i = 0; i < 4; ++i) data.AddSegment(At(x0 + 4, z0 + i), At(x0 + 4, z0 + i + 1));
            for (int i = 4; i > 0; --i) data.AddSegment(At(x0 + i, z0 + 4), At(x0 + i - 1, z0 + 4));
            for (int i = 4; i > 0; --i) data.AddSegment(At(x0, z0 + i), At(x0, z0 + i - 1));
        }
    }
    for (auto _ : state) benchmark::DoNotOptimize(data.Triangulate());
    state.counters["segments"] = data.GetNumSegments();
    state.counters["triangles"] = static_cast<double>(data.GetTriangles().size());
}
BENCHMARK(BM_Triangulate10000Segments)->Unit(benchmark::kMillisecond);

// A 256 x 256-cell walkable grid (two triangles per cell) with 200 wall segments standing on it as
// obstacles; paths between random walkable points.
void BM_FindPath256Grid(benchmark::State& state) {
    SeedRand15(7);
    mem::vector<PathFace> walkable;
    for (int z = 0; z < 256; ++z) {
        for (int x = 0; x < 256; ++x) {
            const Vec3 a(float(x), 0.0f, float(z)), b(float(x + 1), 0.0f, float(z));
            const Vec3 c(float(x + 1), 0.0f, float(z + 1)), d(float(x), 0.0f, float(z + 1));
            walkable.push_back(PathFace{{a, b, c}});
            walkable.push_back(PathFace{{a, c, d}});
        }
    }
    mem::vector<PathFace> walls;
    for (int i = 0; i < 200; ++i) {
        const float x = Rand15() % 250 + 3.5f, z = Rand15() % 250 + 3.5f, length = float(Rand15() % 24 + 4);
        const Vec3 end = Rand15() & 1 ? Vec3(x + length, 0.0f, z) : Vec3(x, 0.0f, z + length);
        walls.push_back(PathFace{{Vec3(x, -1.0f, z), end + Vec3(0.0f, -1.0f, 0.0f), (Vec3(x, 3.0f, z) + end) * 0.5f}});
    }
    PathMesh mesh;
    mesh.Create(walkable, walls);
    alignas(16) static char regionStorage[16];
    Region* region = reinterpret_cast<Region*>(regionStorage);
    mesh.SetRegion(region);
    PathFinder finder;
    finder.AddMesh(&mesh);

    mem::vector<std::pair<WorldVec3, WorldVec3>> trips;
    while (trips.size() < 64) {
        const Vec3 from(Rand15() % 256 + 0.3f, 0.0f, Rand15() % 256 + 0.6f);
        const Vec3 to(Rand15() % 256 + 0.3f, 0.0f, Rand15() % 256 + 0.6f);
        if (mesh.FindTriangle(from) >= 0 && mesh.FindTriangle(to) >= 0) trips.emplace_back(WorldVec3(region, from), WorldVec3(region, to));
    }
    size_t trip = 0, found = 0;
    for (auto _ : state) {
        const auto& [from, to] = trips[trip++ % trips.size()];
        const std::unique_ptr<Path> path = finder.FindPath(0, from, to, Vec3(), 0.0f, 0.0f, 0.0f, 0.0f, 0);
        found += path != nullptr;
        benchmark::DoNotOptimize(path.get());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.counters["paths/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
    state.counters["triangles"] = mesh.GetNumTriangles();
}
BENCHMARK(BM_FindPath256Grid)->Unit(benchmark::kMicrosecond);

}  // namespace
