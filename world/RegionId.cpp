#include "world/RegionId.h"

#include "core/UniqueId.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

namespace {

uint32_t ByteSwap(uint32_t word) {
    return (word >> 24) | ((word >> 8) & 0xFF00u) | ((word << 8) & 0xFF0000u) | (word << 24);
}

}  // namespace

RegionId RegionId::CreateUnique() {
    // UniqueId holds the GUID's bytes as four little-endian words: word 1 is data2 in its low half
    // and data3 in its high half, words 2 and 3 are data4 read little-endian. Its version bits make
    // it never null, so the id made from it is never invalid.
    UniqueId guid;
    guid.Create();
    const uint32_t middle = guid.GetPart(1);
    return RegionId(guid.GetPart(0), (middle << 16) | (middle >> 16), ByteSwap(guid.GetPart(2)),
                    ByteSwap(guid.GetPart(3)));
}

void RegionId::Read(BinaryReader& reader) {
    uint32_t words[4];
    for (uint32_t& word : words) word = reader.ReadUInt32();
    *this = reader.Failed() ? RegionId() : RegionId(words[0], words[1], words[2], words[3]);
}

void RegionId::Write(BinaryWriter& writer) const {
    for (uint32_t word : words_) writer.Write(static_cast<unsigned int>(word));
}

}  // namespace GAME
