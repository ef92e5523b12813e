// Fuzzes the text record parser and every getter over what it parsed.

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/LoadTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GAME::LoadTable table("fuzz.dbr");
    table.Parse(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));

    // Ask for the first line's key, whatever it is, so the getters meet parsed values.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string key = text.substr(0, text.find(','));
    for (const char* name : {key.c_str(), "a", ""}) {
        table.GetValue(name, "");
        table.GetInt(name, 0);
        table.GetFloat(name, 0.0f);
        table.GetBool(name, false);
        const int count = table.GetNumElementsForField(name);
        for (int i = -1; i <= count; ++i) {
            table.GetArrayValue(name, i, "");
            table.GetArrayReal(name, i, 0.0f);
        }
        mem::vector<int> ints;
        table.GetArrayInt(name, ints);
        mem::vector<float> reals;
        table.GetArrayReal(name, reals);
    }
    return 0;
}
