// Fuzzes the world file reader: the input is a ".wrl" image. What reads must write back in the
// current form and read again to the same quest files and regions (names, boxes, offsets, ids),
// with the icon and instance payloads unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "world/WorldFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x100000) return 0;
    GAME::BinaryReader reader(data, static_cast<uint32_t>(size));
    GAME::WorldFile file;
    if (!file.Read(reader)) return 0;
    GAME::BinaryWriter writer;
    GAME::WorldFile::Write(
        writer, file.GetQuestFiles(), file.GetRegions(),
        [&file](GAME::BinaryWriter& out) {
            if (!file.GetIconData().empty()) out.Write(file.GetIconData().data(), uint32_t(file.GetIconData().size()));
        },
        [&file](GAME::BinaryWriter& out) {
            if (!file.GetInstanceData().empty())
                out.Write(file.GetInstanceData().data(), uint32_t(file.GetInstanceData().size()));
        });
    GAME::BinaryReader again(writer.GetBuffer(), writer.GetPosition());
    GAME::WorldFile copy;
    if (!copy.Read(again)) std::abort();
    if (copy.GetQuestFiles() != file.GetQuestFiles() || copy.GetRegions().size() != file.GetRegions().size() ||
        copy.GetIconData() != file.GetIconData() || copy.GetInstanceData() != file.GetInstanceData())
        std::abort();
    for (size_t i = 0; i < file.GetRegions().size(); ++i) {
        const GAME::RegionRecord& a = file.GetRegions()[i];
        const GAME::RegionRecord& b = copy.GetRegions()[i];
        if (a.name != b.name || !(a.offset == b.offset) || !(a.id == b.id)) std::abort();
        // NaN boxes do not compare equal to themselves: compare their bytes.
        if (std::memcmp(&a.box, &b.box, sizeof(a.box)) != 0) std::abort();
    }
    return 0;
}
