#pragma once
// Image files of chosen forms, built from an Image for the image tests and the fuzz seeds: TGA
// and BMP byte by byte, PNG through libpng, CMYK JPEG through libjpeg. Colour-mapped and
// palettised forms index the image's distinct colours (at most 256) in the order they first
// appear.

#include "render/Image.h"

#include <cstdint>
#include <vector>

namespace GAME::test {

// Luminance images become grey TGA files, RGB and RGBA true colour (24 or 32 bits) or a colour
// map of that depth.
struct TgaForm {
    bool colourMapped = false;
    uint16_t mapStart = 0;  // the index of the map's first entry
    bool runLength = false;
    bool topFirst = false;
    bool rightToLeft = false;
    // RGB images: 16-bit colours (5 bits a channel, the nearest level, and the top bit set)
    // instead of 24-bit ones.
    bool sixteenBits = false;
};
std::vector<uint8_t> MakeTga(const Image& image, const TgaForm& form);

// RGB images become 24-bit files (or palettised, or 16-bit ones), RGBA images 32-bit.
struct BmpForm {
    uint32_t headerBytes = 40;  // 12 for the core header, 40, or 108 and 124 for the V4 and V5 headers
    uint32_t indexBits = 0;     // 1, 4 or 8: palette indices instead of colours
    bool runLength = false;     // 4 or 8-bit indices run-length encoded (RLE4, RLE8)
    bool topFirst = false;
    // RGB images: 16-bit pixels, each channel the nearest of its levels: 5-5-5, or 5-6-5 with
    // masks.
    bool sixteenBits = false;
    // 32 bits: bit-field masks for R, G, B, A in the bytes' own order (R first), inside a V4 or V5
    // header or after a 40-byte one; without them the pixels are B, G, R, A.
    bool masks = false;
};
std::vector<uint8_t> MakeBmp(const Image& image, const BmpForm& form);

// Luminance images become grey files, RGB and RGBA colour files or palettised ones (with a
// transparency chunk for RGBA), or RGBA grey with alpha (red as the grey).
struct PngForm {
    bool palettised = false;
    bool greyAlpha = false;
    bool sixteenBits = false;  // each sample v stored as v x 257
    bool interlaced = false;
};
std::vector<uint8_t> MakePng(const Image& image, const PngForm& form);

// A CMYK JPEG file from an RGBA image whose channels are the C, M, Y and K inks (0 none, 255
// full), at quality 100. With the Adobe marker the inks are stored inverted, as common writers
// store them; without it as they are.
std::vector<uint8_t> MakeCmykJpeg(const Image& inks, bool adobeMarker);

}  // namespace GAME::test
