// Fuzzes the instance-group records (chunk 17 of the world and map files, read by the instance
// group manager). Groups that read must save, read again and save again to the same bytes; the
// groups are dropped after each input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "world/InstanceGroupManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x100000) return 0;
    GAME::InstanceGroupManager& groups = *GAME::InstanceGroupManager::Get();
    GAME::BinaryReader reader(data, static_cast<uint32_t>(size));
    if (groups.Load(reader, "fuzz input")) {
        GAME::BinaryWriter first;
        groups.Save(first);
        GAME::BinaryReader again(first.GetBuffer(), first.GetPosition());
        if (!groups.Load(again, "fuzz input") || !again.IsAtEnd()) std::abort();
        GAME::BinaryWriter second;
        groups.Save(second);
        if (second.GetPosition() != first.GetPosition() ||
            std::memcmp(second.GetBuffer(), first.GetBuffer(), first.GetPosition()) != 0)
            std::abort();
    }
    groups.Clear();
    return 0;
}
