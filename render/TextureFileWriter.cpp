#include "render/TextureFileWriter.h"

#include "files/BinaryWriter.h"

#include <algorithm>

namespace GAME {

namespace {

// Header flags: caps, height, width, pitch, pixel format, mip-map count.
constexpr uint32_t kHeaderFlags = 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000;
// Pixel-format flags: alpha channel, RGB masks.
constexpr uint32_t kPixelFormatFlags = 0x1 | 0x40;
// Caps: texture; with mips also complex and mip-map.
constexpr uint32_t kCapsTexture = 0x1000;
constexpr uint32_t kCapsMipMaps = 0x8 | 0x400000;

uint32_t CountFullChain(uint32_t width, uint32_t height) {
    uint32_t levels = 1;
    while ((std::max(width, height) >> levels) != 0) ++levels;
    return levels;
}

// The next mip level: each texel the channel-wise average of the (up to) 2 x 2 texels above it.
mem::vector<uint32_t> Halve(const mem::vector<uint32_t>& texels, uint32_t width, uint32_t height) {
    const uint32_t halfWidth = std::max(1u, width / 2);
    const uint32_t halfHeight = std::max(1u, height / 2);
    mem::vector<uint32_t> result(size_t(halfWidth) * halfHeight);
    for (uint32_t y = 0; y < halfHeight; ++y) {
        for (uint32_t x = 0; x < halfWidth; ++x) {
            const uint32_t x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
            const uint32_t y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
            const uint32_t samples[4] = {texels[size_t(y0) * width + x0], texels[size_t(y0) * width + x1],
                                         texels[size_t(y1) * width + x0], texels[size_t(y1) * width + x1]};
            uint32_t texel = 0;
            for (uint32_t shift = 0; shift < 32; shift += 8) {
                uint32_t sum = 2;  // rounds to nearest
                for (const uint32_t sample : samples) sum += (sample >> shift) & 0xFF;
                texel |= (sum / 4) << shift;
            }
            result[size_t(y) * halfWidth + x] = texel;
        }
    }
    return result;
}

}  // namespace

void TextureFileWriter::WriteDDS(BinaryWriter& out, uint32_t width, uint32_t height, const uint32_t* texels,
                                 uint32_t mipLevels) {
    const uint32_t fullChain = CountFullChain(width, height);
    const uint32_t levels = mipLevels == 0 ? fullChain : std::min(mipLevels, fullChain);
    out.Write(kDdsTag, 4);
    out.Write(124u);
    out.Write(kHeaderFlags);
    out.Write(height);
    out.Write(width);
    out.Write(width * 4);  // pitch
    out.Write(0u);         // depth
    out.Write(levels);
    for (int i = 0; i < 11; ++i) out.Write(0u);
    out.Write(32u);  // pixel format: size, flags, FourCC, bits, red, green, blue and alpha masks
    out.Write(kPixelFormatFlags);
    out.Write(0u);
    out.Write(32u);
    out.Write(0x00FF0000u);
    out.Write(0x0000FF00u);
    out.Write(0x000000FFu);
    out.Write(0xFF000000u);
    out.Write(levels > 1 ? kCapsTexture | kCapsMipMaps : kCapsTexture);
    for (int i = 0; i < 4; ++i) out.Write(0u);  // caps 2-4, reserved

    // 0xAARRGGBB words are the bytes B, G, R, A of A8R8G8B8 on this little-endian host.
    mem::vector<uint32_t> level(texels, texels + size_t(width) * height);
    for (uint32_t i = 0; i < levels; ++i) {
        out.Write(level.data(), static_cast<uint32_t>(level.size() * sizeof(uint32_t)));
        if (i + 1 < levels) {
            level = Halve(level, width, height);
            width = std::max(1u, width / 2);
            height = std::max(1u, height / 2);
        }
    }
}

void TextureFileWriter::WriteTEX(BinaryWriter& out, int32_t frameRate, const mem::vector<mem::vector<uint8_t>>& frames) {
    out.Write(kTexTag, 3);
    out.Write(kTexVersion);
    out.Write(static_cast<int>(frameRate));
    for (const mem::vector<uint8_t>& frame : frames) {
        out.Write(static_cast<uint32_t>(frame.size()));
        out.Write(frame.data(), static_cast<uint32_t>(frame.size()));
    }
}

}  // namespace GAME
