// Mesh load throughput (bytes per second) of a 50,000-triangle version-11 mesh read from memory,
// against a plain copy of the same bytes into a new buffer.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/GraphicsMesh.h"
#include "scene/MeshFileWriter.h"

namespace {

using namespace GAME;

constexpr uint32_t kColumns = 200;
constexpr uint32_t kRows = 125;  // 200 x 125 quads: 50,000 triangles over 25,326 vertices

// A terrain-like grid with positions, normals and texture coordinates, one material, one face set.
std::vector<uint8_t> MakeGridFile() {
    MeshFileWriter::Contents contents;
    contents.attributes = {0, 1, 4};
    contents.stride = 32;
    for (uint32_t r = 0; r <= kRows; ++r) {
        for (uint32_t c = 0; c <= kColumns; ++c) {
            const float vertex[8] = {float(c), 0.01f * float((r * 7 + c * 3) % 50), float(r), 0, 1, 0,
                                     float(c) / kColumns, float(r) / kRows};
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(vertex);
            contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + sizeof(vertex));
        }
    }
    for (uint32_t r = 0; r < kRows; ++r) {
        for (uint32_t c = 0; c < kColumns; ++c) {
            const uint16_t a = uint16_t(r * (kColumns + 1) + c), b = uint16_t(a + 1), d = uint16_t(a + kColumns + 1);
            contents.indices.insert(contents.indices.end(), {a, d, b, b, d, uint16_t(d + 1)});
        }
    }
    GraphicsMesh::FaceSet set;
    set.faceCount = kRows * kColumns * 2;
    contents.faceSets.push_back(set);
    contents.materials.push_back(GraphicsMesh::Material{"Shaders/Basic.ssh", {}});
    contents.bounds = ABBox(Vec3(100, 0.25f, 62.5f), Vec3(100, 0.25f, 62.5f));
    contents.sections = {"Ground"};
    BinaryWriter writer(1 << 20);
    if (!MeshFileWriter::Write(writer, contents)) std::abort();
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

const std::vector<uint8_t>& GetGridFile() {
    static const std::vector<uint8_t> file = MakeGridFile();
    return file;
}

void BM_MeshLoad(benchmark::State& state) {
    const std::vector<uint8_t>& file = GetGridFile();
    FileSystem files;
    ResourceLoader loader{files};
    ResourceManager<GraphicsMesh> manager{loader};
    GraphicsMesh mesh(&manager, "grid.msh");
    for (auto _ : state) {
        if (mesh.Initialize(file.data(), uint32_t(file.size())) != Resource::InitResult::Success) std::abort();
        benchmark::DoNotOptimize(&mesh);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_MeshLoad)->Unit(benchmark::kMicrosecond);

// The baseline: the same bytes copied into a buffer made for them.
void BM_MeshBytesCopy(benchmark::State& state) {
    const std::vector<uint8_t>& file = GetGridFile();
    for (auto _ : state) {
        std::vector<uint8_t> copy(file.size());
        std::memcpy(copy.data(), file.data(), file.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_MeshBytesCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
