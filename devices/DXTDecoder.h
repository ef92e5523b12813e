#pragma once
// DXTDecoder: decodes DXT1, DXT3 and DXT5 blocks on the CPU. The device uses it when the driver
// lacks S3TC, and the tests use it as the reference for what the driver draws.
//
// Colours expand from 5/6 bits by repeating their top bits; the interpolated colours and alphas
// are truncated thirds, halves, sevenths and fifths, and DXT1 blocks with colour0 <= colour1 give
// transparent black for index 3, as Direct3D decodes them.

#include "devices/DDSFile.h"

#include <cstdint>

namespace GAME {

class DXTDecoder {
public:
    // Decodes a width x height level of blocks in format (DXT1, DXT3 or DXT5) into rgba: 4 bytes
    // a texel (R, G, B, A), rows top first. blocks holds DDSFile::GetLevelSize bytes; rgba has room
    // for width * height texels. False for any other format.
    static bool Decode(DDSFormat format, uint32_t width, uint32_t height, const uint8_t* blocks, uint8_t* rgba);

private:
    // The 16 texels of one block, row by row, 4 bytes each.
    static void DecodeBlock(DDSFormat format, const uint8_t* block, uint8_t texels[64]);
};

}  // namespace GAME
