// The rebuild of one 257 x 257-sample region after edits, with 50 hidden patches (the ground
// under meshes cut into it, closed by plugs) and 50 impassable patches: the navigation mesh made
// again from the passability, against its triangulation alone (outline and triangulator, the
// share of the rebuild the triangulation takes), and the plugs of the whole region made again.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "pathing/PathMesh.h"
#include "render/DirtyRect.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainObject.h"
#include "terrain/TerrainPathMeshCalculator.h"
#include "terrain/TerrainPlug.h"

namespace GAME {
namespace {

constexpr unsigned kCells = 256;
constexpr int kPatches = 50;

// Rolling ground with 50 hidden patches and 50 impassable ones, 3 to 8 cells a side.
void MakeRegion(Terrain& terrain) {
    terrain.New(kCells, kCells);
    for (unsigned z = 0; z <= kCells; ++z) {
        for (unsigned x = 0; x <= kCells; ++x)
            terrain.SetBaseHeight(x, z, 8.0f * std::sin(float(x) * 0.03f) * std::cos(float(z) * 0.02f));
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<unsigned> place(2, kCells - 12), size(3, 8);
    for (int i = 0; i < 2 * kPatches; ++i) {
        const unsigned x0 = place(random), z0 = place(random), w = size(random), h = size(random);
        for (unsigned z = z0; z < z0 + h; ++z) {
            for (unsigned x = x0; x < x0 + w; ++x) {
                if (i < kPatches)
                    terrain.SetInvisible(int(x), int(z), true);
                else
                    terrain.SetPassable(x, z, 2);
            }
        }
    }
}

void BM_PathMeshRebuild(benchmark::State& state) {
    Terrain terrain(nullptr);
    MakeRegion(terrain);
    PathMesh mesh;
    for (auto _ : state) {
        TerrainPathMeshCalculator(terrain).CreateNavigationMesh(mesh);
        benchmark::DoNotOptimize(mesh.GetNumTriangles());
    }
    state.counters["triangles"] = double(mesh.GetNumTriangles());
}
BENCHMARK(BM_PathMeshRebuild)->Unit(benchmark::kMillisecond);

void BM_PathMeshTriangulationOnly(benchmark::State& state) {
    Terrain terrain(nullptr);
    MakeRegion(terrain);
    for (auto _ : state) benchmark::DoNotOptimize(TerrainPathMeshCalculator(terrain).CreateWalkableFaces().size());
}
BENCHMARK(BM_PathMeshTriangulationOnly)->Unit(benchmark::kMillisecond);

void BM_PlugRebuild(benchmark::State& state) {
    Terrain terrain(nullptr);
    MakeRegion(terrain);
    DirtyRectSet region;
    region.AddRect(DirtyRect(0, 0, int(kCells) + 1, int(kCells) + 1));
    for (auto _ : state) {
        state.PauseTiming();
        mem::vector<TerrainObject*> objects;
        terrain.GetAllObjects(objects);
        for (TerrainObject* object : objects) {
            if (!object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) continue;
            terrain.RemoveObjectFromSpace(object);
            delete object;
        }
        state.ResumeTiming();
        terrain.BuildPlugs(region);
    }
}
BENCHMARK(BM_PlugRebuild)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace GAME
