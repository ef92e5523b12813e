// Fuzzes the mesh instance's saved state (the pose stream, then the object box). Whatever the
// bytes, RestoreState either takes a whole state, which saves and restores again to the same
// pose and box, or refuses it and leaves the instance as it was.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/ABBox.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "scene/GraphicsMeshInstance.h"

namespace {

bool SameBox(const GAME::ABBox& a, const GAME::ABBox& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x100000) return 0;
    GAME::GraphicsMeshInstance instance;
    const GAME::ABBox before = instance.GetObjectSpaceBoundingBox();
    GAME::BinaryReader reader(data, static_cast<uint32_t>(size));
    if (!instance.RestoreState(reader)) {
        if (!instance.GetSkeletalPose().IsEmpty() || !SameBox(instance.GetObjectSpaceBoundingBox(), before)) {
            std::abort();
        }
        return 0;
    }
    GAME::BinaryWriter writer;
    instance.SaveState(writer);
    GAME::GraphicsMeshInstance copy;
    GAME::BinaryReader again(writer.GetBuffer(), writer.GetPosition());
    if (!copy.RestoreState(again)) std::abort();
    if (copy.GetSkeletalPose().GetNumBones() != instance.GetSkeletalPose().GetNumBones()) std::abort();
    if (!SameBox(copy.GetObjectSpaceBoundingBox(), instance.GetObjectSpaceBoundingBox())) std::abort();
    return 0;
}
