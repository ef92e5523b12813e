// Fuzzes StringTable::Read, then checks that whatever was read writes back to the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/StringTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GAME::BinaryReader reader(data, static_cast<uint32_t>(size));
    GAME::StringTable table;
    if (!table.Read(reader)) return 0;

    GAME::BinaryWriter writer;
    table.Write(writer);
    if (writer.GetPosition() != reader.GetPosition() || std::memcmp(writer.GetBuffer(), data, writer.GetPosition()) != 0)
        std::abort();
    for (int i = 0; i < table.GetNumStrings(); ++i)
        if (!table.GetString(i)) std::abort();
    return 0;
}
