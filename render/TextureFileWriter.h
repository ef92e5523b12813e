#pragma once
// TextureFileWriter: writes the texture files GraphicsTexture reads (the forms are described
// there): DDS images of 32-bit texels with their mip chains, and "TEX" containers of DDS frames.
// Tests and the sample-data generator make their textures with it.

#include "core/Mem.h"

#include <cstdint>

namespace GAME {

class BinaryWriter;

class TextureFileWriter {
public:
    static constexpr char kDdsTag[] = "DDS ";
    static constexpr char kTexTag[] = "TEX";
    static constexpr uint8_t kTexVersion = 1;
    static constexpr uint32_t kTexHeaderSize = 8;   // tag, version byte, frame rate
    static constexpr uint32_t kDdsHeaderSize = 128;  // tag and the 124-byte header

    // A DDS image in the A8R8G8B8 format of width x height texels (0xAARRGGBB, rows top first)
    // with mipLevels levels in all (0: the full chain down to 1 x 1; more than the full chain is
    // cut to it), each level the 2 x 2 average of the one above.
    static void WriteDDS(BinaryWriter& out, uint32_t width, uint32_t height, const uint32_t* texels,
                         uint32_t mipLevels);
    // A TEX container showing frameRate frames a second; each frame is the bytes of a DDS file.
    static void WriteTEX(BinaryWriter& out, int32_t frameRate, const mem::vector<mem::vector<uint8_t>>& frames);
};

}  // namespace GAME
