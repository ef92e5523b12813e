#include "devices/DXTDecoder.h"

#include <algorithm>
#include <cstring>

namespace GAME {

namespace {

void Expand565(uint16_t c, uint8_t rgb[3]) {
    const uint32_t r = (c >> 11) & 0x1F;
    const uint32_t g = (c >> 5) & 0x3F;
    const uint32_t b = c & 0x1F;
    rgb[0] = uint8_t((r << 3) | (r >> 2));
    rgb[1] = uint8_t((g << 2) | (g >> 4));
    rgb[2] = uint8_t((b << 3) | (b >> 2));
}

// The colour half of a block (8 bytes): four palette entries picked by 2-bit indices. A DXT1
// block in three-colour mode has transparent black for index 3; DXT3 and DXT5 always have four.
void DecodeColors(const uint8_t* block, bool allowThreeColor, uint8_t texels[64]) {
    const uint16_t c0 = uint16_t(block[0] | block[1] << 8);
    const uint16_t c1 = uint16_t(block[2] | block[3] << 8);
    uint8_t palette[4][4];
    Expand565(c0, palette[0]);
    Expand565(c1, palette[1]);
    palette[0][3] = palette[1][3] = 255;
    palette[2][3] = palette[3][3] = 255;
    if (!allowThreeColor || c0 > c1) {
        for (int i = 0; i < 3; ++i) {
            palette[2][i] = uint8_t((2 * palette[0][i] + palette[1][i]) / 3);
            palette[3][i] = uint8_t((palette[0][i] + 2 * palette[1][i]) / 3);
        }
    } else {
        for (int i = 0; i < 3; ++i) {
            palette[2][i] = uint8_t((palette[0][i] + palette[1][i]) / 2);
            palette[3][i] = 0;
        }
        palette[3][3] = 0;
    }
    const uint32_t indices = uint32_t(block[4]) | uint32_t(block[5]) << 8 | uint32_t(block[6]) << 16 |
                             uint32_t(block[7]) << 24;
    for (int t = 0; t < 16; ++t) {
        std::memcpy(texels + 4 * t, palette[(indices >> (2 * t)) & 3], 4);
    }
}

// DXT3 alpha: 4 bits a texel, scaled to 0..255.
void DecodeExplicitAlpha(const uint8_t* block, uint8_t texels[64]) {
    for (int t = 0; t < 16; ++t) {
        const uint32_t nibble = (block[t / 2] >> ((t & 1) * 4)) & 0xF;
        texels[4 * t + 3] = uint8_t(nibble * 17);
    }
}

// DXT5 alpha: two end points and 3-bit indices into eight values between them.
void DecodeInterpolatedAlpha(const uint8_t* block, uint8_t texels[64]) {
    const uint32_t a0 = block[0];
    const uint32_t a1 = block[1];
    uint8_t values[8] = {uint8_t(a0), uint8_t(a1)};
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i) {
            values[i + 1] = uint8_t(((7 - i) * a0 + i * a1) / 7);
        }
    } else {
        for (uint32_t i = 1; i < 5; ++i) {
            values[i + 1] = uint8_t(((5 - i) * a0 + i * a1) / 5);
        }
        values[6] = 0;
        values[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= uint64_t(block[2 + i]) << (8 * i);
    }
    for (int t = 0; t < 16; ++t) {
        texels[4 * t + 3] = values[(bits >> (3 * t)) & 7];
    }
}

}  // namespace

void DXTDecoder::DecodeBlock(DDSFormat format, const uint8_t* block, uint8_t texels[64]) {
    switch (format) {
        case DDSFormat::DXT1:
            DecodeColors(block, true, texels);
            break;
        case DDSFormat::DXT3:
            DecodeColors(block + 8, false, texels);
            DecodeExplicitAlpha(block, texels);
            break;
        default:
            DecodeColors(block + 8, false, texels);
            DecodeInterpolatedAlpha(block, texels);
            break;
    }
}

bool DXTDecoder::Decode(DDSFormat format, uint32_t width, uint32_t height, const uint8_t* blocks, uint8_t* rgba) {
    if (!DDSFile::IsCompressed(format)) {
        return false;
    }
    const uint32_t blockBytes = format == DDSFormat::DXT1 ? 8 : 16;
    const uint32_t blocksWide = std::max(1u, (width + 3) / 4);
    const uint32_t blocksHigh = std::max(1u, (height + 3) / 4);
    uint8_t texels[64];
    for (uint32_t by = 0; by < blocksHigh; ++by) {
        for (uint32_t bx = 0; bx < blocksWide; ++bx) {
            DecodeBlock(format, blocks + (size_t(by) * blocksWide + bx) * blockBytes, texels);
            // Blocks of a level smaller than 4 x 4 (or not a multiple of 4) are cut to the level.
            const uint32_t rows = std::min(4u, height - by * 4);
            const uint32_t columns = std::min(4u, width - bx * 4);
            for (uint32_t y = 0; y < rows; ++y) {
                std::memcpy(rgba + ((size_t(by) * 4 + y) * width + bx * 4) * 4, texels + y * 16, columns * 4);
            }
        }
    }
    return true;
}

}  // namespace GAME
