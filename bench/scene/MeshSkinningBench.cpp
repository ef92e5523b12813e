// CPU skinning of a 10,000-vertex mesh over 60 bones (GraphicsMesh::SkinPositions), against a plain
// loop over the same vertices in flat arrays that multiplies each vertex by its weighted bone
// matrices.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/GraphicsMesh.h"
#include "scene/MeshFileWriter.h"
#include "scene/SkeletalPose.h"

namespace {

using namespace GAME;

constexpr uint32_t kVertices = 10000;
constexpr uint32_t kBones = 60;
constexpr uint32_t kStride = 12 + 16 + 4;

// A heap-shaped skeleton (bone i's children are 2i + 1 and 2i + 2), every vertex with four
// influences of weights summing to 1, one face set listing every bone.
std::vector<uint8_t> MakeSkinnedFile() {
    std::mt19937 random(7);
    const auto uniform = [&](float low, float high) {
        return std::uniform_real_distribution<float>(low, high)(random);
    };
    MeshFileWriter::Contents contents;
    contents.attributes = {0, 5, 6};
    contents.stride = kStride;
    for (uint32_t v = 0; v < kVertices; ++v) {
        const float position[3] = {uniform(-1, 1), uniform(0, 2), uniform(-1, 1)};
        float weights[4] = {uniform(0.1f, 1), uniform(0.1f, 1), uniform(0.1f, 1), uniform(0.1f, 1)};
        const float sum = weights[0] + weights[1] + weights[2] + weights[3];
        for (float& weight : weights) weight /= sum;
        uint8_t slots[4];
        for (uint8_t& slot : slots) slot = uint8_t(random() % kBones);
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(position);
        contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + sizeof(position));
        bytes = reinterpret_cast<const uint8_t*>(weights);
        contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + sizeof(weights));
        contents.vertexData.insert(contents.vertexData.end(), slots, slots + 4);
    }
    for (uint32_t v = 0; v + 2 < kVertices; v += 3) {
        contents.indices.insert(contents.indices.end(), {uint16_t(v), uint16_t(v + 1), uint16_t(v + 2)});
    }
    contents.indices.insert(contents.indices.end(),
                            {uint16_t(kVertices - 3), uint16_t(kVertices - 2), uint16_t(kVertices - 1)});
    GraphicsMesh::FaceSet set;
    set.faceCount = uint32_t(contents.indices.size() / 3);
    for (uint32_t b = 0; b < kBones; ++b) set.bones.push_back(b);
    contents.faceSets.push_back(set);
    for (uint32_t b = 0; b < kBones; ++b) {
        GraphicsMesh::Bone bone;
        bone.nameText = "Bone" + std::to_string(b);
        bone.relativeCoords = Coords::RotationY(0.05f * float(b)) * Coords::Translation(Vec3(0, 0.1f, 0));
        if (2 * b + 1 < kBones) {
            bone.firstChild = 2 * b + 1;
            bone.childCount = 2 * b + 2 < kBones ? 2 : 1;
        }
        contents.bones.push_back(bone);
    }
    contents.materials.emplace_back().shaderName = "Shaders/Skinned.ssh";
    contents.bounds = ABBox(Vec3(0, 1, 0), Vec3(1, 1, 1));
    BinaryWriter writer(1 << 20);
    if (!MeshFileWriter::Write(writer, contents)) std::abort();
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

// The mesh loaded from a file in a temporary directory, and its skinning matrices under a pose
// that turns every bone.
struct SkinnedMesh {
    SkinnedMesh() {
        std::string path = (std::filesystem::temp_directory_path() / "skinning_bench_XXXXXX").string();
        if (!mkdtemp(path.data()) || !files.AddDirectory(path, true)) std::abort();
        directory = path;
        const std::vector<uint8_t> bytes = MakeSkinnedFile();
        File* file = files.OpenFile("skinned.msh", FileMode::Write);
        if (!file || !file->Write(0, bytes.data(), uint32_t(bytes.size()))) std::abort();
        files.CloseFile(file);
        mesh = manager.LoadResource("skinned.msh");
        if (mesh->GetNumVertices() != kVertices) std::abort();
        SkeletalPose pose;
        for (uint32_t b = 0; b < kBones; ++b)
            pose.SetBoneCoords(mesh->GetBone(int(b)).name, Coords::RotationX(0.01f * float(b)));
        mesh->GetAbsCoords(pose, skin);
    }
    ~SkinnedMesh() { std::filesystem::remove_all(directory); }

    std::string directory;
    FileSystem files;
    ResourceLoader loader{files};
    ResourceManager<GraphicsMesh> manager{loader};
    const GraphicsMesh* mesh = nullptr;
    Coords skin[kBones];
};

SkinnedMesh& GetMesh() {
    static SkinnedMesh mesh;
    return mesh;
}

void BM_MeshSkinPositions(benchmark::State& state) {
    SkinnedMesh& skinned = GetMesh();
    std::vector<Vec3> out(kVertices);
    for (auto _ : state) {
        skinned.mesh->SkinPositions(skinned.skin, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kVertices);
}
BENCHMARK(BM_MeshSkinPositions)->Unit(benchmark::kMicrosecond);

// The baseline: the vertex bytes taken apart into flat arrays once, then each vertex multiplied by
// its four weighted bone matrices (the face set lists bone b in slot b).
void BM_PlainSkinningLoop(benchmark::State& state) {
    SkinnedMesh& skinned = GetMesh();
    const std::vector<uint8_t>& data = skinned.mesh->GetVertexData();
    std::vector<Vec3> positions(kVertices), out(kVertices);
    std::vector<float> weights(kVertices * 4);
    std::vector<uint8_t> bones(kVertices * 4);
    for (uint32_t v = 0; v < kVertices; ++v) {
        std::memcpy(&positions[v], &data[v * kStride], 12);
        std::memcpy(&weights[v * 4], &data[v * kStride + 12], 16);
        std::memcpy(&bones[v * 4], &data[v * kStride + 28], 4);
    }
    for (auto _ : state) {
        for (uint32_t v = 0; v < kVertices; ++v) {
            Vec3 p;
            for (uint32_t k = 0; k < 4; ++k) {
                p += skinned.skin[bones[v * 4 + k]].TransformPoint(positions[v]) * weights[v * 4 + k];
            }
            out[v] = p;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kVertices);
}
BENCHMARK(BM_PlainSkinningLoop)->Unit(benchmark::kMicrosecond);

}  // namespace
