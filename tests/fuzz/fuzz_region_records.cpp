// Fuzzes the world file's region records: the first byte chooses a region record with or without
// its zone record, or a run of region icon records; the rest is the payload. Whatever reads must
// write back to the bytes it read, and read again to the same thing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "world/Region.h"
#include "world/RegionRecord.h"

namespace {

void FuzzRegionRecord(const uint8_t* data, uint32_t size, bool withZoneRecord) {
    GAME::BinaryReader reader(data, size);
    GAME::RegionRecord record;
    if (!record.Read(reader, withZoneRecord)) return;
    GAME::BinaryWriter writer;
    record.Write(writer);
    const uint32_t written = writer.GetPosition() - (withZoneRecord ? 0u : 4u);  // an empty zone record
    if (written != reader.GetPosition() || std::memcmp(writer.GetBuffer(), data, written) != 0) std::abort();
}

void FuzzIcons(const uint8_t* data, uint32_t size) {
    GAME::BinaryReader reader(data, size);
    GAME::Region region(nullptr, 0, "fuzz", GAME::ABBox(), GAME::IntVec3(), GAME::RegionId(1, 0, 0, 0));
    GAME::Region copy(nullptr, 0, "copy", GAME::ABBox(), GAME::IntVec3(), GAME::RegionId(2, 0, 0, 0));
    while (!reader.IsAtEnd() && region.LoadRegionIcon(reader)) {
        GAME::BinaryWriter writer;
        region.SaveRegionIcon(writer);
        GAME::BinaryReader again(writer.GetBuffer(), writer.GetPosition());
        if (!copy.LoadRegionIcon(again) || !again.IsAtEnd() || copy.GetIconData().bytes != region.GetIconData().bytes ||
            copy.GetIconData().width != region.GetIconData().width)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 0xffffffffu) return 0;
    const uint32_t payloadSize = static_cast<uint32_t>(size - 1);
    switch (data[0] % 3) {
        case 0: FuzzRegionRecord(data + 1, payloadSize, true); break;
        case 1: FuzzRegionRecord(data + 1, payloadSize, false); break;
        default: FuzzIcons(data + 1, payloadSize); break;
    }
    return 0;
}
