// The rebuild of one 257 x 257-sample region after edits, with 50 hidden patches (the ground
// under meshes cut into it, closed by plugs) and 50 impassable patches: the navigation mesh made
// again from the passability, against its triangulation alone (outline and triangulator, the
// share of the rebuild the triangulation takes), and the plugs of the whole region made again.
//
// Then the whole rebuild of a region with 50 tiles (the sample paving slab, turned and placed at
// random) and 50 impassable patches: every sample marked, the heights blended toward the tiles,
// the samples under them hidden, the plugs around them made, and the navigation mesh made again;
// against the two triangulations it holds (the plugs' outline and the navigation mesh's).

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "SampleTiles.h"
#include "core/Coords.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/GraphicsMesh.h"

#include "pathing/PathMesh.h"
#include "render/DirtyRect.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainObject.h"
#include "terrain/TerrainPathMeshCalculator.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainTile.h"

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

// The sample tile's mesh, read without a graphics engine from a directory of its own.
class TileMesh {
public:
    TileMesh() {
        const std::filesystem::path directory = std::filesystem::temp_directory_path() / "terrain_rebuild_bench";
        std::filesystem::create_directories(directory);
        files_.AddDirectory(directory.string(), true);
        sample::WriteTiles(files_);
        mesh_ = manager_.LoadResource(sample::kTileMesh);
        mesh_->EnsureAvailable();
    }
    ~TileMesh() { manager_.UnloadResource(mesh_); }
    const GraphicsMesh* Get() const { return mesh_; }

private:
    FileSystem files_;
    ResourceLoader loader_{files_};
    ResourceManager<GraphicsMesh> manager_{loader_};
    const GraphicsMesh* mesh_ = nullptr;
};

// Rolling ground with 50 tiles, apart from each other and from the edge, and 50 impassable patches.
struct TiledRegion {
    TiledRegion() {
        terrain.New(kCells, kCells);
        for (unsigned z = 0; z <= kCells; ++z) {
            for (unsigned x = 0; x <= kCells; ++x)
                terrain.SetBaseHeight(x, z, 8.0f * std::sin(float(x) * 0.03f) * std::cos(float(z) * 0.02f));
        }
        std::mt19937 random(11);
        std::uniform_int_distribution<unsigned> patch(2, kCells - 12), size(3, 8);
        std::uniform_real_distribution<float> turn(0.0f, 2.0f * Pi);
        // Tiles on a 7 x 8 lattice of 32-unit spacing, jittered, sunk half their height.
        for (int i = 0; i < kPatches; ++i) {
            const float x = 24.0f + 30.0f * float(i % 7) + float(random() % 5);
            const float z = 20.0f + 30.0f * float(i / 7) + float(random() % 5);
            const float y = terrain.GetHeightInterpolated(x, z) - 0.5f * sample::kTileTopHeight;
            tiles.push_back(terrain.CreateTile(Coords::Translation(Vec3(x, y, z)) * Coords::RotationY(turn(random)),
                                               mesh.Get()));
        }
        for (int i = 0; i < kPatches; ++i) {
            const unsigned x0 = patch(random), z0 = patch(random), w = size(random), h = size(random);
            for (unsigned z = z0; z < z0 + h; ++z) {
                for (unsigned x = x0; x < x0 + w; ++x) terrain.SetPassable(x, z, 2);
            }
        }
        terrain.ProcessDirtyRects();
    }
    ~TiledRegion() {
        for (TerrainTile* tile : tiles) terrain.DestroyTile(tile);
    }

    TileMesh mesh;
    Terrain terrain{nullptr};
    mem::vector<TerrainTile*> tiles;
};

int CountPlugs(const Terrain& terrain) {
    mem::vector<TerrainObject*> objects;
    terrain.GetAllObjects(objects);
    int plugs = 0;
    for (const TerrainObject* object : objects) plugs += object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo);
    return plugs;
}

void BM_RegionRebuildWithTiles(benchmark::State& state) {
    TiledRegion region;
    PathMesh mesh;
    for (auto _ : state) {
        region.terrain.AddDirtyRect(DirtyRect(0, 0, int(kCells) + 1, int(kCells) + 1));
        region.terrain.ProcessDirtyRects();
        TerrainPathMeshCalculator(region.terrain).CreateNavigationMesh(mesh);
        benchmark::DoNotOptimize(mesh.GetNumTriangles());
    }
    state.counters["plugs"] = double(CountPlugs(region.terrain));
    state.counters["pathTriangles"] = double(mesh.GetNumTriangles());
}
BENCHMARK(BM_RegionRebuildWithTiles)->Unit(benchmark::kMillisecond);

// The triangulations of the same rebuild: the plugs of the whole region built again over the
// same hidden samples and tile outlines, and the navigation mesh's walkable faces.
void BM_RegionTriangulationsWithTiles(benchmark::State& state) {
    TiledRegion region;
    DirtyRectSet all;
    all.AddRect(DirtyRect(0, 0, int(kCells) + 1, int(kCells) + 1));
    for (auto _ : state) {
        state.PauseTiming();
        mem::vector<TerrainObject*> objects;
        region.terrain.GetAllObjects(objects);
        for (TerrainObject* object : objects) {
            if (!object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) continue;
            region.terrain.RemoveObjectFromSpace(object);
            delete object;
        }
        state.ResumeTiming();
        region.terrain.BuildPlugs(all);
        benchmark::DoNotOptimize(TerrainPathMeshCalculator(region.terrain).CreateWalkableFaces().size());
    }
}
BENCHMARK(BM_RegionTriangulationsWithTiles)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace GAME
