// Fuzzes the settings-file reader and the getters over what it read.

#include <cstddef>
#include <cstdint>

#include "files/Options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GAME::Options options;
    options.Parse(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
    options.GetInt2(GAME::Options::Int2Name::resolution);
    options.GetString(GAME::Options::StringName::language);
    return 0;
}
