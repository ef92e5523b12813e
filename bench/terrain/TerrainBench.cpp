// Frustum queries over the objects of a 1025 x 1025-sample terrain (114 x 114 = 12,996 ground
// blocks on rolling hills) through the terrain's tree, against testing every object. The frusta
// are a game camera's: 30 to 60 units above the ground, looking a little down, reaching 150 or
// 400 units; they stand anywhere over the terrain and look any way.
//
// Ray queries over the same terrain through the terrain (the tree walked nearest-first, each block
// whose bounds the ray enters testing its cells), against testing every triangle of the blocks
// the ray's box touches with the same cell walk. The rays are picking rays of the same cameras:
// from the eye to a point of the ground 20 to 150 (or 400) units away, reaching 10% beyond it.

#include "core/Coords.h"
#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/Ray.h"
#include "terrain/TerrainBlock.h"
#include "render/Camera.h"
#include "render/Viewport.h"
#include "terrain/Terrain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace GAME {
namespace {

constexpr uint32_t kSamples = 1025;
constexpr int kQueries = 256;

float Hills(uint32_t x, uint32_t z) {
    return 20.0f * std::sin(float(x) * 0.013f) * std::cos(float(z) * 0.017f) + 6.0f * std::sin(float(x + z) * 0.05f);
}

// The editable terrain raised to the hills the way the editor shapes it: heights sample by sample,
// then one rebuild of the whole area.
void RaiseHills(Terrain& terrain) {
    terrain.New(kSamples - 1, kSamples - 1);
    for (uint32_t z = 0; z < kSamples; ++z) {
        for (uint32_t x = 0; x < kSamples; ++x) terrain.SetBaseHeight(x, z, Hills(x, z));
    }
    terrain.AddDirtyRect(DirtyRect(0, 0, int(kSamples), int(kSamples)));
    terrain.ProcessDirtyRects();
}

// The terrain, every object in it, and the frusta of each reach.
struct Scene {
    Terrain terrain{nullptr};
    mem::vector<TerrainObject*> objects;
    mem::vector<Frustum> frusta[2];
    mem::vector<Ray> rays[2];

    Scene() {
        RaiseHills(terrain);
        terrain.GetAllObjects(objects);
        std::mt19937 random(1025u);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        const float reach[2] = {150.0f, 400.0f};
        for (int i = 0; i < kQueries; ++i) {
            const float x = unit(random) * float(kSamples - 1), z = unit(random) * float(kSamples - 1);
            const Vec3 eye(x, terrain.GetHeightInterpolated(x, z) + 30.0f + 30.0f * unit(random), z);
            const float heading = unit(random) * 6.2831853f;
            const Vec3 forward = Vec3(std::cos(heading), -0.35f, std::sin(heading)).Unit();
            for (int r = 0; r < 2; ++r) {
                Camera camera;
                camera.SetCoords(Coords::LookIn(eye, forward, Vec3(0, 1, 0)));
                camera.SetFOV(1.0f);
                camera.SetFarPlane(reach[r]);
                frusta[r].push_back(camera.GetFrustum(Viewport(0, 0, 1024, 768)));
                const float distance = 20.0f + (reach[r] - 20.0f) * unit(random);
                const float angle = heading + (unit(random) - 0.5f);
                const float tx = std::clamp(x + std::cos(angle) * distance, 0.0f, float(kSamples - 1));
                const float tz = std::clamp(z + std::sin(angle) * distance, 0.0f, float(kSamples - 1));
                const Vec3 target(tx, terrain.GetHeightInterpolated(tx, tz), tz);
                rays[r].emplace_back(eye, (target - eye) * 1.1f);
            }
        }
    }

    static Scene& Get() {
        static Scene scene;
        return scene;
    }
};

// One query per iteration, cycling through the frusta of the reach; query(frustum, found).
template <class Query>
void RunQueries(benchmark::State& state, const Query& query) {
    const mem::vector<Frustum>& frusta = Scene::Get().frusta[state.range(0) == 150 ? 0 : 1];
    mem::vector<TerrainObject*> found;
    size_t objects = 0;
    int i = 0;
    for (auto _ : state) {
        found.clear();
        query(frusta[size_t(i)], found);
        objects += found.size();
        benchmark::DoNotOptimize(found.data());
        i = (i + 1) % kQueries;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["objects"] = benchmark::Counter(double(objects) / double(state.iterations()));
    state.counters["queries/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TerrainFrustumTree(benchmark::State& state) {
    const Terrain& terrain = Scene::Get().terrain;
    RunQueries(state, [&terrain](const Frustum& frustum, mem::vector<TerrainObject*>& found) {
        terrain.GetObjectsInFrustum(found, &frustum, 1, nullptr);
    });
}

void BM_TerrainFrustumScan(benchmark::State& state) {
    const mem::vector<TerrainObject*>& objects = Scene::Get().objects;
    RunQueries(state, [&objects](const Frustum& frustum, mem::vector<TerrainObject*>& found) {
        for (TerrainObject* object : objects) {
            if (frustum.TestABBox(object->GetBoundingBox())) found.push_back(object);
        }
    });
}

// One ray per iteration, cycling through the rays of the reach; query(ray, hit).
template <class Query>
void RunRays(benchmark::State& state, const Query& query) {
    const mem::vector<Ray>& rays = Scene::Get().rays[state.range(0) == 150 ? 0 : 1];
    size_t hits = 0;
    int i = 0;
    for (auto _ : state) {
        Intersection hit;
        query(rays[size_t(i)], hit);
        hits += hit.distance < Infinity;
        benchmark::DoNotOptimize(hit.distance);
        i = (i + 1) % kQueries;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["hit share"] = benchmark::Counter(double(hits) / double(state.iterations()));
    state.counters["rays/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TerrainRayTree(benchmark::State& state) {
    const Terrain& terrain = Scene::Get().terrain;
    RunRays(state, [&terrain](const Ray& ray, Intersection& hit) {
        terrain.GetIntersection(ray, hit, PhysicsSurface::None);
    });
}

void BM_TerrainRayBlocks(benchmark::State& state) {
    const Terrain& terrain = Scene::Get().terrain;
    RunRays(state, [&terrain](const Ray& ray, Intersection& hit) {
        // The blocks under the box of the ray's segment, every cell of each.
        const Vec3 low = Min(ray.origin, ray.origin + ray.direction), high = Max(ray.origin, ray.origin + ray.direction);
        const int last = int(terrain.GetNumBlocksX()) - 1;
        const int c0 = std::clamp(int(low.x) / 9, 0, last), c1 = std::clamp(int(high.x) / 9, 0, last);
        const int r0 = std::clamp(int(low.z) / 9, 0, last), r1 = std::clamp(int(high.z) / 9, 0, last);
        int cellX = 0, cellZ = 0;
        for (int row = r0; row <= r1; ++row) {
            for (int column = c0; column <= c1; ++column) {
                terrain.GetIntersection(ray, column * 9, row * 9, column * 9 + 8, row * 9 + 8, hit, cellX, cellZ);
            }
        }
    });
}

BENCHMARK(BM_TerrainRayTree)->ArgName("reach")->Arg(150)->Arg(400);
BENCHMARK(BM_TerrainRayBlocks)->ArgName("reach")->Arg(150)->Arg(400);
BENCHMARK(BM_TerrainFrustumTree)->ArgName("reach")->Arg(150)->Arg(400);
BENCHMARK(BM_TerrainFrustumScan)->ArgName("reach")->Arg(150)->Arg(400);

}  // namespace
}  // namespace GAME
