// Frustum queries over the objects of a 1025 x 1025-sample terrain (114 x 114 = 12,996 ground
// blocks on rolling hills) through the terrain's tree, against testing every object. The frusta
// are a game camera's: 30 to 60 units above the ground, looking a little down, reaching 150 or
// 400 units; they stand anywhere over the terrain and look any way.

#include "core/Coords.h"
#include "core/Frustum.h"
#include "render/Camera.h"
#include "render/Viewport.h"
#include "terrain/TerrainBase.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace GAME {
namespace {

constexpr uint32_t kSamples = 1025;
constexpr int kQueries = 256;

float Hills(uint32_t x, uint32_t z) {
    return 20.0f * std::sin(float(x) * 0.013f) * std::cos(float(z) * 0.017f) + 6.0f * std::sin(float(x + z) * 0.05f);
}

// A terrain of heights only: the blocks and the tree are what the queries walk.
class HillTerrain final : public TerrainBase {
public:
    HillTerrain() : TerrainBase(TerrainBaseType::RunTime, nullptr) {
        SetNumSamples(kSamples, kSamples);
        InitializeBlocks(false);
    }

    bool Load(BinaryReader&, int) override { return false; }
    bool LoadRenderData() override { return true; }
    void Update(const Frustum*, unsigned, int) override {}
    void PreLoad(int, const Frustum*, unsigned) override {}
    float GetHeight(unsigned x, unsigned z) const override { return Hills(x, z); }
    const TerrainType* GetLayerTerrainType(unsigned) const override { return nullptr; }
    uint8_t GetLayerOpacity(unsigned, unsigned, unsigned) const override { return 0; }
    void GetLayersInBox(mem::vector<unsigned>& out, const ABBox&) const override { out.clear(); }
    bool LowQuality() const override { return false; }

private:
    void CreateMapGeometry() override {}
    void DestroyMapGeometry() override {}
};

// The terrain, every object in it, and the frusta of each reach.
struct Scene {
    HillTerrain terrain;
    mem::vector<TerrainObject*> objects;
    mem::vector<Frustum> frusta[2];

    Scene() {
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
    const HillTerrain& terrain = Scene::Get().terrain;
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

BENCHMARK(BM_TerrainFrustumTree)->ArgName("reach")->Arg(150)->Arg(400);
BENCHMARK(BM_TerrainFrustumScan)->ArgName("reach")->Arg(150)->Arg(400);

}  // namespace
}  // namespace GAME
