#include "render/BmpFile.h"

#include "files/BinaryReader.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace GAME {

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
// Headers from this long hold the alpha mask after the three colour masks.
constexpr uint32_t kAlphaMaskHeaderBytes = 56;
constexpr uint32_t kMaxPaletteEntries = 256;

// Compression codes.
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

constexpr const char* kFormsRead =
    "the BMP forms read are uncompressed pictures of 1, 4, 8, 16, 24 and 32 bits, RLE8 and RLE4 run-length "
    "pictures, and bit-field masks at 16 and 32 bits";

const char* CompressionName(uint32_t compression) {
    switch (compression) {
        case kUncompressed: return "uncompressed";
        case kRle8: return "RLE8";
        case kRle4: return "RLE4";
        case kBitFields: return "bit fields";
        case 4: return "a JPEG picture inside";
        case 5: return "a PNG picture inside";
        case kAlphaBitFields: return "alpha bit fields";
        default: return "an unknown compression";
    }
}

// Whether the reader takes pixels of the depth with the compression.
bool IsRead(uint32_t bits, uint32_t compression) {
    switch (compression) {
        case kUncompressed: return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
        case kRle8: return bits == 8;
        case kRle4: return bits == 4;
        case kBitFields:
        case kAlphaBitFields: return bits == 16 || bits == 32;
        default: return false;
    }
}

// One channel of a 16- or 32-bit pixel: a run of bits, scaled to 8 bits. An empty mask reads as
// 255.
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
        const uint32_t largest = (1u << width_) - 1u;
        return uint8_t((value * 255u + largest / 2) / largest);
    }

private:
    uint32_t mask_ = 0;
    uint32_t shift_ = 0;
    uint32_t width_ = 0;
};

// What the decoding needs of a core or an information header.
struct Header {
    uint32_t pixelOffset = 0;
    uint32_t headerBytes = 0;
    int64_t width = 0;
    int64_t height = 0;  // negative: rows top first
    uint32_t planes = 0;
    uint32_t bits = 0;
    uint32_t compression = kUncompressed;
    uint32_t coloursUsed = 0;
    uint32_t paletteEntryBytes = 4;  // 3 in core files
    bool bitFields = false;
    uint32_t masks[4] = {};  // R, G, B, A, for 16 and 32 bits
};

Image::Error ReadHeader(const uint8_t* data, uint32_t size, Header& header, ImageFileCheck::Report& report) {
    BinaryReader reader(data, size);
    reader.Skip(10);  // signature, file size, two reserved words
    header.pixelOffset = reader.ReadUInt32();
    header.headerBytes = reader.ReadUInt32();
    if (header.headerBytes == kCoreHeaderBytes) {
        header.width = reader.ReadUInt16();
        header.height = reader.ReadUInt16();
        header.planes = reader.ReadUInt16();
        header.bits = reader.ReadUInt16();
        header.paletteEntryBytes = 3;
    } else {
        header.width = reader.ReadInt32();
        header.height = reader.ReadInt32();
        header.planes = reader.ReadUInt16();
        header.bits = reader.ReadUInt16();
        header.compression = reader.ReadUInt32();
        reader.Skip(12);  // picture size, resolutions
        header.coloursUsed = reader.ReadUInt32();
        reader.Skip(4);  // important colours
        // The masks follow the 40-byte header, or fill the next fields of a longer one: either way
        // they start here.
        header.bitFields = header.compression == kBitFields || header.compression == kAlphaBitFields;
        if (header.bitFields) {
            for (int i = 0; i < 3; ++i) header.masks[i] = reader.ReadUInt32();
            const bool alpha = header.compression == kAlphaBitFields || header.headerBytes >= kAlphaMaskHeaderBytes;
            header.masks[3] = alpha ? reader.ReadUInt32() : 0;
        }
    }
    if (reader.Failed()) {
        return ImageFileCheck::Refuse(report, Image::Error::BadFileData, "the BMP header is cut short");
    }
    if (header.headerBytes != kCoreHeaderBytes && header.headerBytes < kInfoHeaderBytes) {
        return ImageFileCheck::Refuse(report, Image::Error::FormatNotSupported,
                                      "a BMP header of %u bytes is not read; the headers read are the 12-byte core "
                                      "header and those of 40 bytes or more",
                                      header.headerBytes);
    }
    if (!IsRead(header.bits, header.compression)) {
        return ImageFileCheck::Refuse(report, Image::Error::FormatNotSupported,
                                      "a BMP picture of %u bits per pixel, %s (compression %u), is not read; %s",
                                      header.bits, CompressionName(header.compression), header.compression,
                                      kFormsRead);
    }
    if (header.planes != 1 || header.width < 0) {
        return ImageFileCheck::Refuse(report, Image::Error::BadFileData,
                                      "the BMP header is corrupt (%u planes, a width of %lld)", header.planes,
                                      static_cast<long long>(header.width));
    }
    if (!header.bitFields) {
        // Without masks 16-bit pixels are 5-5-5 and 32-bit ones B, G, R and perhaps alpha.
        const uint32_t defaults16[4] = {0x7C00, 0x03E0, 0x001F, 0};
        const uint32_t defaults32[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
        for (int i = 0; i < 4; ++i) header.masks[i] = header.bits == 16 ? defaults16[i] : defaults32[i];
    }
    return Image::Error::None;
}

// Decodes a run-length picture into palette indices, width x height in the file's row order
// (pixels it skips are left as they were). False when the data ends before the end code.
bool DecodeRunLength(const uint8_t* in, size_t length, bool fourBits, uint32_t width, uint32_t height,
                     std::vector<uint8_t>& indices) {
    // Wide enough that no run of codes makes them wrap round into the picture.
    uint64_t x = 0;
    uint64_t y = 0;
    const auto put = [&](uint8_t index) {
        if (x < width && y < height) indices[size_t(y) * width + size_t(x)] = index;
        ++x;
    };
    // The i-th index of a run: 4-bit indices are two to a byte, the high one first.
    const auto index = [fourBits](const uint8_t* bytes, uint32_t i) {
        return fourBits ? uint8_t(bytes[i / 2] >> (i % 2 == 0 ? 4 : 0) & 0x0F) : bytes[i];
    };
    size_t at = 0;
    while (at + 2 <= length) {
        const uint8_t count = in[at];
        const uint8_t code = in[at + 1];
        at += 2;
        if (count != 0) {  // count pixels of the index (or the pair of indices) in code
            for (uint32_t i = 0; i < count; ++i) put(index(&code, fourBits ? i % 2 : 0));
            continue;
        }
        if (code == 0) {  // end of line
            x = 0;
            ++y;
        } else if (code == 1) {  // end of the picture
            return true;
        } else if (code == 2) {  // a move right and up
            if (at + 2 > length) return false;
            x += in[at];
            y += in[at + 1];
            at += 2;
        } else {  // code indices stored as they are, padded to an even byte count
            const size_t bytes = fourBits ? (code + 1u) / 2u : code;
            if (at + bytes > length) return false;
            for (uint32_t i = 0; i < code; ++i) put(index(in + at, i));
            at += bytes + bytes % 2;
        }
    }
    return false;
}

}  // namespace

Image::Error BmpFile::Read(const uint8_t* data, uint32_t size, Image& image, ImageFileCheck::Report& report) {
    Header header;
    Image::Error error = ReadHeader(data, size, header, report);
    if (error != Image::Error::None) return error;
    const bool topFirst = header.height < 0;
    const uint64_t rows = uint64_t(topFirst ? -header.height : header.height);
    error = ImageFileCheck::CheckSize(report, "BMP", uint64_t(header.width), rows);
    if (error != Image::Error::None) return error;
    const uint32_t w = uint32_t(header.width);
    const uint32_t h = uint32_t(rows);
    const uint32_t bits = header.bits;

    Channel channels[4];
    for (int i = 0; i < 4; ++i) {
        if (!channels[i].Set(header.masks[i]) || (i < 3 && header.masks[i] == 0)) {
            return ImageFileCheck::Refuse(report, Image::Error::BadFileData,
                                          "the BMP bit-field mask 0x%08X is not one run of bits", header.masks[i]);
        }
    }
    const bool palettised = bits <= 8;
    const uint64_t paletteStart = uint64_t(kFileHeaderBytes) + header.headerBytes;
    uint32_t paletteEntries = !palettised ? 0 : header.coloursUsed != 0 ? header.coloursUsed : 1u << bits;
    // Writers often leave the colour count 0 (core headers have none) and store fewer colours than
    // an index can reach: the pixels' start then ends the palette.
    if (header.pixelOffset >= paletteStart) {
        const uint64_t room = (header.pixelOffset - paletteStart) / header.paletteEntryBytes;
        paletteEntries = uint32_t(std::min<uint64_t>(paletteEntries, room));
    }
    if (paletteEntries > kMaxPaletteEntries) {
        return ImageFileCheck::Refuse(report, Image::Error::BadFileData,
                                      "the BMP palette claims %u colours, more than the %u an index can reach",
                                      paletteEntries, kMaxPaletteEntries);
    }
    if (paletteStart + uint64_t(paletteEntries) * header.paletteEntryBytes > size) {
        return ImageFileCheck::Refuse(report, Image::Error::BadFileData, "the BMP palette is cut short");
    }
    const bool runLength = header.compression == kRle8 || header.compression == kRle4;
    const uint64_t stride = (uint64_t(w) * bits + 31) / 32 * 4;
    const uint32_t pixelStart = std::min(header.pixelOffset, size);
    const uint32_t available = size - pixelStart;
    // Run-length pictures are bounded by the size limit alone (see BmpFile.h).
    if (!runLength) {
        const uint64_t rowBytes = (uint64_t(w) * bits + 7) / 8;
        error = ImageFileCheck::CheckPixelBytes(report, "BMP", w, h, stride * (h - 1) + rowBytes, available);
        if (error != Image::Error::None) return error;
    }

    // Palette indices, in the file's row order.
    std::vector<uint8_t> indices;
    if (palettised) {
        indices.assign(size_t(w) * h, 0);
        if (runLength) {
            if (!DecodeRunLength(data + pixelStart, available, header.compression == kRle4, w, h, indices)) {
                return ImageFileCheck::Refuse(report, Image::Error::BadFileData,
                                              "the BMP %s pixels are cut short (no end code)",
                                              CompressionName(header.compression));
            }
        } else {
            const uint32_t mask = (1u << bits) - 1u;
            for (uint32_t row = 0; row < h; ++row) {
                const uint8_t* in = data + header.pixelOffset + stride * row;
                for (uint32_t x = 0; x < w; ++x) {
                    const uint32_t bit = x * bits;
                    indices[size_t(row) * w + x] = uint8_t(in[bit / 8] >> (8 - bits - bit % 8) & mask);
                }
            }
        }
    }

    const bool alpha = bits == 32 || (bits == 16 && header.masks[3] != 0);
    if (!image.Create(w, h, alpha ? Image::Format::RGBA : Image::Format::RGB)) return Image::Error::OutOfMemory;
    const uint8_t* const palette = data + paletteStart;
    const uint32_t pixelBytes = image.GetBitsPerPixel() / 8;
    bool anyAlpha = false;
    for (uint32_t row = 0; row < h; ++row) {
        const uint8_t* in = palettised ? nullptr : data + header.pixelOffset + stride * row;
        uint8_t* out = image.GetBuffer() + size_t(topFirst ? row : h - 1 - row) * image.GetPitch();
        for (uint32_t x = 0; x < w; ++x, out += pixelBytes) {
            if (bits == 16 || bits == 32) {
                uint32_t pixel = 0;
                for (uint32_t byte = 0; byte < bits / 8; ++byte) pixel |= uint32_t(*in++) << (8 * byte);
                for (uint32_t i = 0; i < pixelBytes; ++i) out[i] = channels[i].Read(pixel);
                anyAlpha = anyAlpha || (alpha && out[3] != 0);
                continue;
            }
            const uint8_t* colour = in;  // B, G, R, or the palette's entry
            if (palettised) {
                const uint8_t index = indices[size_t(row) * w + x];
                if (index >= paletteEntries) {
                    return ImageFileCheck::Refuse(report, Image::Error::BadFileData,
                                                  "a BMP pixel uses colour %u of a palette of %u", index,
                                                  paletteEntries);
                }
                colour = palette + size_t(index) * header.paletteEntryBytes;
            } else {
                in += 3;
            }
            out[0] = colour[2];
            out[1] = colour[1];
            out[2] = colour[0];
        }
    }
    // Files without masks often leave the fourth byte 0 throughout: they hold no alpha.
    if (bits == 32 && !header.bitFields && !anyAlpha) {
        for (size_t i = 3; i < size_t(w) * h * 4; i += 4) image.GetBuffer()[i] = 255;
    }
    report.fileBits = palettised ? bits : image.GetBitsPerPixel();
    return Image::Error::None;
}

}  // namespace GAME
