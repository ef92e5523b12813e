#include "render/BmpFile.h"

#include "files/BinaryReader.h"
#include "render/ImageFileCheck.h"

#include <bit>

namespace GAME {

namespace {

constexpr const char* kFormat = "BMP";

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
// Compression codes read: none, and bit-field masks for R, G, B (and A).
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;
// Headers from this long hold the alpha mask after the three colour masks.
constexpr uint32_t kAlphaMaskHeaderBytes = 56;
constexpr uint32_t kMaxPaletteEntries = 256;

// One channel of a 32-bit pixel: a run of bits, scaled to 8 bits. An empty mask reads as 255.
class Channel {
public:
    // False for a mask whose bits are not one run.
    bool Set(uint32_t mask) {
        mask_ = mask;
        if (mask == 0) return true;
        shift_ = uint32_t(std::countr_zero(mask));
        const uint32_t bits = mask >> shift_;
        width_ = uint32_t(std::popcount(bits));
        return (bits & (bits + 1)) == 0;
    }
    uint8_t Read(uint32_t pixel) const {
        if (mask_ == 0) return 255;
        const uint32_t value = (pixel & mask_) >> shift_;
        if (width_ >= 8) return uint8_t(value >> (width_ - 8));
        return uint8_t(value * 255u / ((1u << width_) - 1u));
    }

private:
    uint32_t mask_ = 0;
    uint32_t shift_ = 0;
    uint32_t width_ = 0;
};

}  // namespace

Image::Error BmpFile::Read(const uint8_t* data, uint32_t size, Image& image, uint32_t& fileBits) {
    BinaryReader reader(data, size);
    reader.Skip(10);  // signature, file size, two reserved words
    const uint32_t pixelOffset = reader.ReadUInt32();
    const uint32_t headerBytes = reader.ReadUInt32();
    const int32_t width = reader.ReadInt32();
    const int32_t height = reader.ReadInt32();
    const uint16_t planes = reader.ReadUInt16();
    const uint16_t bits = reader.ReadUInt16();
    const uint32_t compression = reader.ReadUInt32();
    reader.Skip(12);  // picture size, resolutions
    const uint32_t coloursUsed = reader.ReadUInt32();
    reader.Skip(4);  // important colours
    // The masks follow the 40-byte header, or fill the next fields of a longer one: either way
    // they start here.
    uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    const bool bitFields = compression == kBitFields || compression == kAlphaBitFields;
    if (bitFields) {
        for (int i = 0; i < 3; ++i) masks[i] = reader.ReadUInt32();
        masks[3] = compression == kAlphaBitFields || headerBytes >= kAlphaMaskHeaderBytes ? reader.ReadUInt32() : 0;
    }
    if (reader.Failed()) return ImageFileCheck::Refuse(Image::Error::BadFileData, kFormat, "the header is cut short");
    if (headerBytes < kInfoHeaderBytes) {
        return ImageFileCheck::Refuse(Image::Error::FormatNotSupported, kFormat, "a core header is not read");
    }
    const bool known = (bits == 8 && compression == kUncompressed) || (bits == 24 && compression == kUncompressed) ||
                       (bits == 32 && (compression == kUncompressed || bitFields));
    if (!known) {
        return ImageFileCheck::Refuse(Image::Error::FormatNotSupported, kFormat,
                                      "only uncompressed 8, 24 and 32-bit pictures are read");
    }
    if (planes != 1 || width < 0) return ImageFileCheck::Refuse(Image::Error::BadFileData, kFormat, "a bad header");
    const bool topFirst = height < 0;
    const uint64_t rows = topFirst ? uint64_t(-int64_t(height)) : uint64_t(height);
    const Image::Error sizeError = ImageFileCheck::CheckSize(kFormat, uint64_t(width), rows);
    if (sizeError != Image::Error::None) return sizeError;

    Channel channels[4];
    for (int i = 0; i < 4; ++i) {
        if (!channels[i].Set(masks[i]) || (i < 3 && masks[i] == 0)) {
            return ImageFileCheck::Refuse(Image::Error::BadFileData, kFormat, "a bit-field mask is not one run of bits");
        }
    }
    const uint32_t paletteEntries = bits == 8 ? (coloursUsed != 0 ? coloursUsed : kMaxPaletteEntries) : 0;
    const uint64_t paletteStart = uint64_t(kFileHeaderBytes) + headerBytes;
    const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t rowBytes = uint64_t(width) * bits / 8;
    if (paletteEntries > kMaxPaletteEntries || paletteStart + uint64_t(paletteEntries) * 4 > size ||
        uint64_t(pixelOffset) + stride * (rows - 1) + rowBytes > size) {
        return ImageFileCheck::Refuse(Image::Error::BadFileData, kFormat, "the palette or the pixels are cut short");
    }

    const uint32_t w = uint32_t(width);
    const uint32_t h = uint32_t(rows);
    if (!image.Create(w, h, bits == 32 ? Image::Format::RGBA : Image::Format::RGB)) return Image::Error::OutOfMemory;
    const uint8_t* const palette = data + paletteStart;
    const uint32_t pixelBytes = image.GetBitsPerPixel() / 8;
    bool anyAlpha = false;
    for (uint32_t row = 0; row < h; ++row) {
        const uint8_t* in = data + pixelOffset + stride * row;
        uint8_t* out = image.GetBuffer() + size_t(topFirst ? row : h - 1 - row) * image.GetPitch();
        for (uint32_t x = 0; x < w; ++x, out += pixelBytes) {
            if (bits == 32) {
                const uint32_t pixel = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
                for (int i = 0; i < 4; ++i) out[i] = channels[i].Read(pixel);
                anyAlpha = anyAlpha || out[3] != 0;
                in += 4;
                continue;
            }
            const uint8_t* colour = in;  // B, G, R
            if (bits == 8) {
                if (in[0] >= paletteEntries) {
                    return ImageFileCheck::Refuse(Image::Error::BadFileData, kFormat, "an index lies outside the palette");
                }
                colour = palette + size_t(in[0]) * 4;
            }
            out[0] = colour[2];
            out[1] = colour[1];
            out[2] = colour[0];
            in += bits / 8;
        }
    }
    // Files without masks often leave the fourth byte 0 throughout: they hold no alpha.
    if (bits == 32 && !bitFields && !anyAlpha) {
        for (size_t i = 3; i < size_t(w) * h * 4; i += 4) image.GetBuffer()[i] = 255;
    }
    fileBits = bits;
    return Image::Error::None;
}

}  // namespace GAME
