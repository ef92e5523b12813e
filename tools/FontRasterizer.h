#pragma once
// FontRasterizer: draws the characters of a TrueType or OpenType face file with FreeType into a
// device-font face (DeviceFontFile): an 8-bit coverage atlas, glyph metrics and kerning. The
// sample-data generator makes its fonts with it, from a face the system ships.

#include "render/DeviceFontFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace GAME::sample {

class FontRasterizer {
public:
    // Atlas width in texels; the height grows with the glyphs.
    static constexpr uint32_t kAtlasWidth = 256;

    // Renders the codes the face has (others are left out; devices draw '?' for them) at
    // pixelSize as a face of the style. False, with the reason logged, when the face file cannot
    // be read or the glyphs do not fit a face.
    static bool Rasterize(const std::string& faceFile, uint32_t pixelSize, RenderFontStyle style,
                          const std::vector<uint16_t>& codes, DeviceFontFace& face);
};

}  // namespace GAME::sample
