// Costs of the per-file work of loading: checked binary reads, record parsing and name look-ups.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "files/LoadTable.h"

namespace {

using namespace GAME;

// Reading a block of u32 and float fields, as mesh and level loaders do.
void BM_BinaryReaderFields(benchmark::State& state) {
    BinaryWriter writer(64 * 1024);
    for (unsigned i = 0; i < 8192; ++i) {
        writer.Write(i);
        writer.Write(static_cast<float>(i));
    }
    for (auto _ : state) {
        BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
        uint32_t sum = 0;
        float total = 0.0f;
        while (!reader.IsAtEnd()) {
            sum += reader.ReadUInt32();
            total += reader.ReadFloat();
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * writer.GetPosition());
}
BENCHMARK(BM_BinaryReaderFields);

// Parsing a typical record of 60 fields, a few of them arrays.
void BM_LoadTableParse(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "field" + std::to_string(i) + "," + (i % 10 == 0 ? "0.1;0.2;0.3;0.4" : std::to_string(i * 7)) + ",\r\n";
    for (auto _ : state) {
        LoadTable table("bench.dbr");
        table.Parse(text.data(), static_cast<uint32_t>(text.size()));
        benchmark::DoNotOptimize(table.GetInt("field7", 0));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}
BENCHMARK(BM_LoadTableParse);

// DoesFileExist over a mounted directory of 1000 files, half the names missing.
void BM_FileSystemExists(benchmark::State& state) {
    namespace fs = std::filesystem;
    std::string root = (fs::temp_directory_path() / "game-bench-XXXXXX").string();
    if (!::mkdtemp(root.data())) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    for (int i = 0; i < 1000; ++i) {
        const fs::path path = fs::path(root) / ("Dir" + std::to_string(i % 10)) / ("File" + std::to_string(i) + ".Dat");
        fs::create_directories(path.parent_path());
        std::ofstream(path) << i;
    }
    FileSystem files;
    files.AddDirectory(root);
    int i = 0;
    for (auto _ : state) {
        const std::string name = "dir" + std::to_string(i % 10) + "/file" + std::to_string(i % 2000) + ".dat";
        benchmark::DoNotOptimize(files.DoesFileExist(name));
        ++i;
    }
    fs::remove_all(root);
}
BENCHMARK(BM_FileSystemExists);

}  // namespace
