// Loading a 1025 x 1025-sample run-time terrain (rolling hills, grass under painted rock) from
// its block in memory, as the level loader does (heights, sample masks, layers with their types,
// the ground blocks and their tree), against only reading the block's bytes out of the same
// memory. The terrain types come from a record store of their own.

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainRT.h"

namespace GAME {
namespace {

constexpr unsigned kCells = 1024;

struct RunTimeBlock {
    std::string directory = (std::filesystem::temp_directory_path() / "terrain_load_bench").string();
    FileSystem files;
    std::unique_ptr<TableDepot> records;
    std::vector<uint8_t> bytes;

    RunTimeBlock() {
        std::filesystem::create_directories(directory + "/records");
        std::ofstream(directory + "/records/grass.dbr") << "Class,TerrainType,\nsurfaceType,Grass,\n";
        std::ofstream(directory + "/records/rock.dbr") << "Class,TerrainType,\nsurfaceType,Stone,\n";
        files.AddDirectory(directory);
        records = std::make_unique<TableDepot>(files);
        Singleton<ObjectManager>::Get()->SetTableDepot(records.get());

        Terrain terrain(nullptr);
        terrain.New(kCells, kCells);
        terrain.AddLayer("records/grass.dbr");
        terrain.AddLayer("records/rock.dbr");
        for (unsigned z = 0; z <= kCells; ++z) {
            for (unsigned x = 0; x <= kCells; ++x) {
                terrain.SetBaseHeight(x, z, 20.0f * std::sin(float(x) * 0.013f) * std::cos(float(z) * 0.017f));
                if (x < kCells && z < kCells) terrain.SetLayerOpacity(1, x, z, uint8_t((x * 7 + z * 3) % 256));
            }
        }
        terrain.AddDirtyRect(DirtyRect(0, 0, int(kCells + 1), int(kCells + 1)));
        terrain.AddOpacityDirtyRect(DirtyRect(0, 0, int(kCells), int(kCells)));
        terrain.Update(nullptr, 0, 0);
        BinaryWriter writer(1 << 20);
        terrain.SaveRunTimeFormat(writer);
        bytes.assign(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    }
    ~RunTimeBlock() {
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
        std::filesystem::remove_all(directory);
    }
};

RunTimeBlock& Block() {
    static RunTimeBlock block;
    return block;
}

void BM_LoadRunTimeTerrain(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Block().bytes;
    for (auto _ : state) {
        TerrainRT terrain(nullptr);
        BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
        if (!terrain.Load(reader, 14)) state.SkipWithError("the block did not load");
        benchmark::DoNotOptimize(terrain.GetNumBlocksX());
        terrain.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_LoadRunTimeTerrain)->Unit(benchmark::kMillisecond);

// The baseline: the same bytes read out of memory into arrays of their own.
void BM_ReadRunTimeBlockBytes(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Block().bytes;
    for (auto _ : state) {
        std::vector<uint8_t> copy(bytes.size());
        BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
        reader.ReadBytes(copy.data(), uint32_t(copy.size()));
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_ReadRunTimeBlockBytes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace GAME
