// Fuzzes the "ANM" reader through the full resource load: the input becomes a file that the
// animation manager loads. Whatever loads must sample at ordinary, boundary and absurd frames
// without reading outside its frames; the manager's memory usage must hold the file size exactly
// while a load succeeded, and nothing after a failure or once the animation is freed.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/File.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/GraphicsAnim.h"

namespace {

struct Harness {
    Harness() {
        char path[] = "/tmp/fuzz_anim_XXXXXX";
        if (!mkdtemp(path)) std::abort();
        directory = path;
        if (!files.AddDirectory(directory, true)) std::abort();
    }
    ~Harness() { std::filesystem::remove_all(directory); }

    std::string directory;
    GAME::FileSystem files;
    GAME::ResourceLoader loader{files};
    GAME::ResourceManager<GAME::GraphicsAnim> manager{loader};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    if (size > 0x1000000) return 0;

    GAME::File* file = harness.files.OpenFile("input.anm", GAME::FileMode::Write);
    if (!file || (size && !file->Write(0, data, static_cast<uint32_t>(size)))) std::abort();
    harness.files.CloseFile(file);

    const GAME::GraphicsAnim* anim = harness.manager.LoadResource("input.anm");
    anim->EnsureAvailable();
    const bool loaded = anim->GetInitResult() == GAME::Resource::InitResult::Success;
    if (harness.manager.GetMemoryUsage() != (loaded ? size : 0)) std::abort();
    if (!loaded && (anim->GetNumBones() != 0 || anim->GetNumCallbackPoints() != 0)) std::abort();

    GAME::SkeletalPose pose;
    const float length = static_cast<float>(anim->GetLength());
    for (const float frame : {0.0f, 0.5f, length - 1.0f, length - 0.5f, length, length * 2.5f + 0.25f, 3.0e9f}) {
        anim->GetFramePose(pose, frame, true);
        anim->GetFramePose(pose, frame, false);
    }
    if (anim->GetNumBones() > 0 && pose.IsEmpty()) std::abort();
    for (int i = 0; i < anim->GetNumCallbackPoints(); ++i) {
        if (anim->GetCallbackPoint(i).nameText.empty()) std::abort();
    }

    harness.manager.UnloadResource(anim);
    harness.manager.UnloadUnreferencedResources();
    if (harness.manager.GetMemoryUsage() != 0) std::abort();
    return 0;
}
