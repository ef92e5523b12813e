// Poses per second for a 60-bone skeleton: one animation sampled into a pose, two poses blended,
// and a channel cross-fading between two animations (both sampled, then blended, with root motion).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/AnimChannel.h"
#include "scene/GraphicsAnim.h"
#include "scene/GraphicsAnimWriter.h"

namespace {

using namespace GAME;

constexpr int kBones = 60;
constexpr uint32_t kFrames = 31;

// Two 60-bone animations of 31 frames at 30 fps with turning bones, written to a temporary
// directory and loaded; the directory is removed at exit.
class Skeleton {
public:
    Skeleton() {
        root_ = (std::filesystem::temp_directory_path() / "game-anim-bench-XXXXXX").string();
        if (!::mkdtemp(root_.data())) std::abort();
        files_.AddDirectory(root_, true);
        walk = Make("walk.anm", 0.05f);
        run = Make("run.anm", -0.08f);
        for (int i = 0; i < kBones; ++i) bones[i] = Name::Create(("Bone" + std::to_string(i)).c_str());
    }
    ~Skeleton() { std::filesystem::remove_all(root_); }

    const GraphicsAnim* walk = nullptr;
    const GraphicsAnim* run = nullptr;
    Name bones[kBones];

private:
    const GraphicsAnim* Make(const std::string& name, float turn) {
        GraphicsAnimWriter::Contents contents;
        contents.frameCount = kFrames;
        for (int b = 0; b < kBones; ++b) {
            GraphicsAnim::Track track;
            track.nameText = "Bone" + std::to_string(b);
            for (uint32_t f = 0; f < kFrames; ++f) {
                const float angle = turn * float(f + b);
                SkeletalPose::AffineParts parts;
                parts.translation = Vec3(0.1f * float(f), 1.0f, 0.0f);
                parts.rotation = Quaternion(std::sin(angle), 0.0f, 0.0f, std::cos(angle));
                track.frames.push_back(parts);
            }
            contents.tracks.push_back(std::move(track));
        }
        BinaryWriter writer;
        if (!GraphicsAnimWriter::Write(writer, contents)) std::abort();
        File* file = files_.OpenFile(name, FileMode::Write);
        if (!file || !file->Write(0, writer.GetBuffer(), writer.GetPosition())) std::abort();
        files_.CloseFile(file);
        const GraphicsAnim* anim = manager_.LoadResource(name);
        if (anim->GetNumBones() != kBones) std::abort();
        return anim;
    }

    std::string root_;
    FileSystem files_;
    ResourceLoader loader_{files_};
    ResourceManager<GraphicsAnim> manager_{loader_};
};

Skeleton& GetSkeleton() {
    static Skeleton skeleton;
    return skeleton;
}

void BM_SamplePose(benchmark::State& state) {
    const Skeleton& skeleton = GetSkeleton();
    SkeletalPose pose;
    float time = 0.0f;
    for (auto _ : state) {
        skeleton.walk->GetPose(pose, time, true);
        time += 16.0f;
        benchmark::DoNotOptimize(pose);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SamplePose);

void BM_BlendPoses(benchmark::State& state) {
    const Skeleton& skeleton = GetSkeleton();
    SkeletalPose a, b, mixed;
    skeleton.walk->GetPose(a, 100.0f, true);
    skeleton.run->GetPose(b, 300.0f, true);
    for (auto _ : state) {
        mixed = a;  // the copy into a kept table is part of the work: a blend needs a fresh target
        mixed.Blend(b, 0.3f);
        benchmark::DoNotOptimize(mixed);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BlendPoses);

// Every update samples both animations of the fade and blends them.
void BM_ChannelCrossFade(benchmark::State& state) {
    const Skeleton& skeleton = GetSkeleton();
    AnimChannel channel;
    channel.PlayAnimation(skeleton.walk, true, 1.0f, 0);
    channel.PlayAnimation(skeleton.run, true, 1.0f, 2000000000);
    SkeletalPose pose;
    Vec3 velocity;
    for (auto _ : state) {
        channel.Update(16, skeleton.bones[0], pose, velocity, false);
        benchmark::DoNotOptimize(velocity);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChannelCrossFade);

}  // namespace
