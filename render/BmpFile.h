#pragma once
// BmpFile: the BMP reader. It takes uncompressed pictures of 8 bits (indices into the palette),
// 24 bits (B, G, R) and 32 bits, with the 40-byte information header or any longer one (the V4
// and V5 headers common tools write), rows bottom first or, for a negative height, top first.
// 32-bit pixels are read through bit-field masks: those the file gives (inside a V4 or V5 header,
// or after a 40-byte one), else B, G, R and a fourth byte that is alpha unless every pixel leaves
// it 0 (then the picture is opaque). Run-length encoded and core-header files are not read; an
// index outside the palette or a picture cut short fails as bad data.

#include "render/Image.h"

#include <cstdint>

namespace GAME {

class BmpFile {
public:
    // Decodes into image as RGB (8 and 24 bits) or RGBA (32 bits); fileBits is the file's bit
    // count.
    static Image::Error Read(const uint8_t* data, uint32_t size, Image& image, uint32_t& fileBits);
};

}  // namespace GAME
