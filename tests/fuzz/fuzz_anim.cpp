// Fuzzes the "ANM" reader through the full resource load: the input becomes a file that the
// animation manager loads. Whatever loads must sample at ordinary, boundary and absurd frames
// without reading outside its frames; the manager's memory usage must hold the file size exactly
// while a load succeeded, and nothing after a failure or once the animation is freed.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzResources.h"
#include "scene/GraphicsAnim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GAME::fuzz::ResourceHarness<GAME::GraphicsAnim> harness;
    if (size > 0x1000000) return 0;

    harness.WriteInput("input.anm", data, size);

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
