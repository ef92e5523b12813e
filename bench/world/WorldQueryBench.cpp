// Entity queries of the world over 64 regions (eight by eight, 128 units each) of 2,000 entities,
// against scanning every entity of the world with the same test. The world tests region boxes,
// then asks only the levels whose boxes the shape meets; the scan moves each entity's box into
// the query's region and tests it. The ratio is the scan's time over the world's.

#include "core/IntersectionTests.h"
#include "core/Singleton.h"
#include "core/Sphere.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "pathing/PathFinder.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace GAME {
namespace {

constexpr int kRegionsPerSide = 8;
constexpr float kRegionSize = 128.0f;
constexpr int kEntitiesPerRegion = 2000;
constexpr int kQueries = 256;

struct Fixture {
    Fixture() {
        std::mt19937 random(11);
        std::uniform_real_distribution<float> along(0.0f, kRegionSize);
        for (int i = 0; i < kRegionsPerSide * kRegionsPerSide; ++i) {
            const IntVec3 offset(int(kRegionSize) * (i % kRegionsPerSide), 0, int(kRegionSize) * (i / kRegionsPerSide));
            Region* region = world.GetRegion(world.AddRegion("r" + std::to_string(i), offset, ABBox(), RegionId()));
            auto level = std::make_unique<Level>(region);
            level->NewSpace(Vec2(0.5f * kRegionSize, 0.5f * kRegionSize));
            level->PostLoad(false);
            region->SetLevel(std::move(level));
            for (int e = 0; e < kEntitiesPerRegion; ++e) {
                auto* entity = static_cast<Entity*>(Singleton<ObjectManager>::Get()->CreateObject("Entity"));
                const Vec3 at(along(random) - 0.5f * kRegionSize, 0.0f, along(random) - 0.5f * kRegionSize);
                entity->SetRegionBoundingBox(ABBox(at, Vec3(0.5f, 1.0f, 0.5f)), false);
                world.AddEntity(entity, WorldCoords(region, Coords::Translation(at)), false);
                entities.push_back(entity);
            }
            world.UpdateRegionBoundingBox(region->GetLevel());
        }
        world.BuildConnectivity();
        for (int q = 0; q < kQueries; ++q) {
            Region* ref = world.GetRegion(int(random() % unsigned(world.GetNumRegions())));
            queries.emplace_back(ref, Sphere(Vec3(along(random) - 0.5f * kRegionSize, 0.0f, along(random) - 0.5f * kRegionSize), 12.0f));
        }
    }
    ~Fixture() {
        world.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        Singleton<PathFinder>::Destroy();
    }

    Engine engine;
    World world;
    mem::vector<Entity*> entities;
    mem::vector<std::pair<Region*, Sphere>> queries;
};

Fixture& GetFixture() {
    static Fixture fixture;
    return fixture;
}

void BM_WorldSphereQuery(benchmark::State& state) {
    Fixture& fixture = GetFixture();
    mem::vector<Entity*> found;
    size_t total = 0;
    for (auto _ : state) {
        for (const auto& [ref, sphere] : fixture.queries) {
            found.clear();
            fixture.world.GetEntitiesInSphere(found, ref, sphere, false);
            total += found.size();
        }
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(int64_t(state.iterations()) * kQueries);
}
BENCHMARK(BM_WorldSphereQuery)->Unit(benchmark::kMicrosecond);

void BM_ScanEveryEntity(benchmark::State& state) {
    Fixture& fixture = GetFixture();
    mem::vector<Entity*> found;
    size_t total = 0;
    for (auto _ : state) {
        for (const auto& [ref, sphere] : fixture.queries) {
            found.clear();
            for (Entity* entity : fixture.entities) {
                ABBox box = entity->GetRegionBoundingBox(false);
                box.Translate(GetOffsetDifference(entity->GetRegion(), ref));
                if (TestIntersection(box, sphere)) found.push_back(entity);
            }
            total += found.size();
        }
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(int64_t(state.iterations()) * kQueries);
}
BENCHMARK(BM_ScanEveryEntity)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace GAME
