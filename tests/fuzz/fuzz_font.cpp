// Fuzzes the font-file reader (DeviceFontFile::Read, read for every font at start-up). A file that
// reads must write back, read again to the same faces and write the same bytes again; one that
// fails leaves no face. The faces' lookups answer for every character.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "render/DeviceFontFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x400000) return 0;
    GAME::DeviceFontFile file;
    if (!file.Read(data, static_cast<uint32_t>(size), "fuzz.fnt")) {
        if (!file.faces.empty()) std::abort();
        return 0;
    }
    std::vector<uint8_t> first;
    if (!file.Write(first)) std::abort();
    GAME::DeviceFontFile again;
    if (!again.Read(first.data(), static_cast<uint32_t>(first.size()), "again.fnt")) std::abort();
    std::vector<uint8_t> second;
    if (!again.Write(second) || second != first) std::abort();
    for (const GAME::DeviceFontFace& face : file.faces) {
        for (const GAME::DeviceFontGlyph& glyph : face.glyphs) {
            const GAME::DeviceFontGlyph* found = face.FindGlyph(glyph.code);
            if (found == nullptr || found->code != glyph.code) std::abort();
        }
        for (const GAME::DeviceFontKerning& pair : face.kerning) face.GetKerning(pair.first, pair.second);
    }
    return 0;
}
