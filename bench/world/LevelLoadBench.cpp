// Loading a level of 5,000 entities from a file image in memory, against reading the same bytes
// field by field without making anything (the floor any loader pays). The ratio is the cost of
// making, placing and loading the entities; the load's rate is reported as entities per second.
// The entities come from one record of the Entity class, so the measure is the level's own work
// and the object manager's, not a derived class's loading. The level is 1024 x 1024 units, and so
// are its sector layers; their block alone is measured too.

#include "LevelBuilder.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "files/StringTable.h"
#include "files/TableDepot.h"
#include "world/Level.h"
#include "world/SectorLayers.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace GAME {
namespace {

constexpr int kEntities = 5000;
constexpr const char* kRecord = "records/bench/entity.dbr";

// The record store, the builder (which keeps the store on the object manager) and the file image.
struct Fixture {
    Fixture() {
        char path[] = "/tmp/level_bench_XXXXXX";
        if (!mkdtemp(path)) std::abort();
        directory = path;
        std::filesystem::create_directories(directory + "/records/bench");
        std::ofstream(directory + "/" + kRecord) << "Class,Entity,\n";
        if (!files.AddDirectory(directory)) std::abort();
        builder = std::make_unique<LevelBuilder>(depot, Vec2(512, 512));
        if (builder->Scatter({kRecord}, kEntities, 7) != kEntities) std::abort();
        BinaryWriter writer;
        builder->Write(writer);
        image.assign(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    }
    ~Fixture() {
        builder.reset();
        std::filesystem::remove_all(directory);
    }

    std::string directory;
    FileSystem files;
    TableDepot depot{files};
    std::unique_ptr<LevelBuilder> builder;
    std::vector<unsigned char> image;
    Region region{nullptr, 0, "Bench", ABBox(Vec3(512, 0, 512), Vec3(512, 50, 512)), IntVec3(), RegionId()};
};

Fixture& GetFixture() {
    static Fixture fixture;
    return fixture;
}

void BM_LoadLevel(benchmark::State& state) {
    Fixture& fixture = GetFixture();
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    for (auto _ : state) {
        auto level = std::make_unique<Level>(&fixture.region);
        if (!level->Load(fixture.image.data(), uint32_t(fixture.image.size()), false)) state.SkipWithError("load");
        benchmark::DoNotOptimize(level->GetNumEntities());
        state.PauseTiming();
        level.reset();
        objects->DestroyPendingObjects(-1);
        state.ResumeTiming();
    }
    state.counters["entities/s"] = benchmark::Counter(kEntities, benchmark::Counter::kIsIterationInvariantRate);
}

// The level's sector-layers block alone (its 1024 x 1024 cells of six bytes), loaded into new
// layers as a level load does: its share of BM_LoadLevel.
void BM_LoadSectorLayers(benchmark::State& state) {
    Fixture& fixture = GetFixture();
    BinaryReader reader(fixture.image.data(), uint32_t(fixture.image.size()));
    reader.Skip(4);
    BinaryReader block;
    while (!reader.IsAtEnd()) {
        const uint32_t id = reader.ReadUInt32();
        BinaryReader chunk = reader.ReadBlock(reader.ReadUInt32());
        if (id == Level::kChunkSectorLayers) block = std::move(chunk);
    }
    for (auto _ : state) {
        BinaryReader chunk(block.GetStart(), block.GetSize());
        SectorLayers layers;
        if (!layers.Load(chunk) || layers.GetWidth() != 1024) state.SkipWithError("load");
        benchmark::DoNotOptimize(layers.GetValue(0, 5, 5));
    }
}

// Every field the loader reads, read and summed: the chunk walk, the name table and the entries.
void BM_ReadLevelBytes(benchmark::State& state) {
    Fixture& fixture = GetFixture();
    for (auto _ : state) {
        BinaryReader reader(fixture.image.data(), uint32_t(fixture.image.size()));
        reader.Skip(4);
        float sum = 0.0f;
        while (!reader.IsAtEnd()) {
            const uint32_t id = reader.ReadUInt32();
            BinaryReader chunk = reader.ReadBlock(reader.ReadUInt32());
            if (id != Level::kChunkEntities) continue;
            StringTable names;
            names.Read(chunk);
            const uint32_t count = chunk.ReadUInt32();
            for (uint32_t i = 0; i < count; ++i) {
                sum += float(chunk.ReadUInt32());
                sum += chunk.ReadCoords().origin.x;
                if (chunk.ReadBool()) sum += float(chunk.ReadUniqueId().GetPart(0));
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["entities/s"] = benchmark::Counter(kEntities, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_LoadLevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLevelBytes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadSectorLayers)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace GAME
