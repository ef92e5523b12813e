#include "render/TgaFile.h"

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/ImageFileCheck.h"

#include <algorithm>
#include <vector>

namespace GAME {

namespace {

// Image types; run-length encoded forms add 8.
constexpr uint8_t kColourMapped = 1;
constexpr uint8_t kTrueColour = 2;
constexpr uint8_t kGrey = 3;
constexpr uint8_t kRunLength = 8;

// Descriptor bits: rows stored top first; pixels of a row stored right to left.
constexpr uint8_t kTopFirst = 0x20;
constexpr uint8_t kRightToLeft = 0x10;

// A run-length packet header: the high bit marks one pixel repeated, the low seven bits hold the
// pixel count less one.
constexpr uint8_t kRepeat = 0x80;

// A 15- or 16-bit colour (x R5 G5 B5, little-endian) as bytes B, G, R like the wider ones.
void ExpandColour16(const uint8_t* in, uint8_t* out) {
    const uint32_t colour = uint32_t(in[0]) | uint32_t(in[1]) << 8;
    for (uint32_t c = 0; c < 3; ++c) out[c] = uint8_t(((colour >> (5 * c) & 0x1F) * 255u + 15u) / 31u);
}

Image::Format FormatOfBytes(uint32_t bytes) {
    return bytes == 4 ? Image::Format::RGBA : bytes == 1 ? Image::Format::Luminance : Image::Format::RGB;
}

bool IsColourDepth(uint8_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

Image::Error TgaFile::Read(const uint8_t* data, uint32_t size, Image& image, ImageFileCheck::Report& report) {
    BinaryReader reader(data, size);
    const uint8_t idLength = reader.ReadUInt8();
    const uint8_t mapType = reader.ReadUInt8();
    const uint8_t imageType = reader.ReadUInt8();
    const uint16_t mapStart = reader.ReadUInt16();
    const uint16_t mapLength = reader.ReadUInt16();
    const uint8_t mapBits = reader.ReadUInt8();
    reader.Skip(4);  // x and y origin
    const uint16_t width = reader.ReadUInt16();
    const uint16_t height = reader.ReadUInt16();
    const uint8_t bits = reader.ReadUInt8();
    const uint8_t descriptor = reader.ReadUInt8();
    if (reader.Failed()) {
        return ImageFileCheck::Refuse(report, Image::Error::BadFileData, "the TGA header is cut short");
    }

    const uint8_t kind = uint8_t(imageType & ~kRunLength);
    const bool runLength = (imageType & kRunLength) != 0;
    bool known = mapType <= 1;
    switch (kind) {
        case kColourMapped:
            known = known && mapType == 1 && bits == 8 && IsColourDepth(mapBits) && mapLength != 0;
            break;
        case kTrueColour: known = known && IsColourDepth(bits); break;
        case kGrey: known = known && bits == 8; break;
        default: known = false; break;
    }
    if (!known) {
        // TGA files have no signature: this may be no TGA file at all.
        return ImageFileCheck::Refuse(
            report, Image::Error::FormatNotSupported,
            "without a PNG, JPEG or BMP signature it was read as TGA, and a TGA picture of image type %u, colour "
            "map type %u (%u bits), %u bits per pixel is not read; the TGA forms read are colour-mapped (8-bit "
            "indices into 15, 16, 24 or 32-bit colours), true-colour (15, 16, 24 or 32 bits) and grey (8 bits), "
            "uncompressed or run-length encoded",
            imageType, mapType, mapBits, bits);
    }
    const Image::Error sizeError = ImageFileCheck::CheckSize(report, "TGA", width, height);
    if (sizeError != Image::Error::None) return sizeError;

    // A colour map may come with any picture; only colour-mapped pictures use it.
    const uint32_t mapEntryBytes = (uint32_t(mapBits) + 7) / 8;
    reader.Skip(idLength);
    const uint8_t* map = reader.GetCursor();
    if (mapType == 1) reader.Skip(uint32_t(mapLength) * mapEntryBytes);
    if (reader.Failed()) {
        return ImageFileCheck::Refuse(report, Image::Error::BadFileData, "the TGA colour map is cut short");
    }

    const uint32_t storedBytes = (bits + 7u) / 8u;
    // Pixels in the file's order; an uncompressed picture is one raw run of them all, and a
    // run-length packet holds at most 128 pixels in a header byte and at least one pixel.
    const size_t count = size_t(width) * height;
    const uint64_t least = runLength ? (count + 127) / 128 * (1 + storedBytes) : uint64_t(count) * storedBytes;
    const Image::Error roomError =
        ImageFileCheck::CheckPixelBytes(report, "TGA", width, height, least, reader.GetRemaining());
    if (roomError != Image::Error::None) return roomError;
    const uint32_t colourBytes = kind == kColourMapped ? mapEntryBytes : storedBytes;
    if (!image.Create(width, height, FormatOfBytes(colourBytes))) return Image::Error::OutOfMemory;
    const uint32_t pixelBytes = image.GetBitsPerPixel() / 8;
    // Stored colours are B, G, R (, A) or 16 bits; an index is looked up in the map first.
    auto convert = [&](const uint8_t* in, uint8_t* out) {
        if (kind == kColourMapped) {
            if (in[0] < mapStart || in[0] - mapStart >= mapLength) return false;
            in = map + size_t(in[0] - mapStart) * mapEntryBytes;
        }
        uint8_t wide[3];
        if (colourBytes == 2) {
            ExpandColour16(in, wide);
            in = wide;
        }
        if (pixelBytes == 1) {
            out[0] = in[0];
        } else {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (pixelBytes == 4) out[3] = in[3];
        }
        return true;
    };

    uint8_t* const pixels = image.GetBuffer();
    for (size_t done = 0; done < count;) {
        size_t run = count - done;
        bool repeat = false;
        if (runLength) {
            const uint8_t packet = reader.ReadUInt8();
            repeat = (packet & kRepeat) != 0;
            // A run past the last pixel is cut at it.
            run = std::min<size_t>((packet & ~kRepeat) + 1u, run);
        }
        const uint8_t* stored = reader.GetCursor();
        if (!reader.Skip(uint32_t((repeat ? 1 : run) * storedBytes))) {
            return ImageFileCheck::Refuse(report, Image::Error::BadFileData, "the TGA pixels are cut short");
        }
        for (size_t i = 0; i < run; ++i) {
            if (!convert(stored + (repeat ? 0 : i * storedBytes), pixels + (done + i) * pixelBytes)) {
                return ImageFileCheck::Refuse(report, Image::Error::BadFileData,
                                              "a TGA colour index lies outside the colour map of %u colours from %u",
                                              mapLength, mapStart);
            }
        }
        done += run;
    }
    if ((descriptor & kTopFirst) == 0) image.FlipVertically();
    if ((descriptor & kRightToLeft) != 0) image.FlipHorizontally();
    report.fileBits = kind == kColourMapped ? bits : image.GetBitsPerPixel();
    return Image::Error::None;
}

bool TgaFile::Write(const Image& image, BinaryWriter& writer) {
    const Image::Format format = image.GetFormat();
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    if ((format != Image::Format::RGB && format != Image::Format::RGBA) || width > Image::kMaxTgaSize ||
        height > Image::kMaxTgaSize) {
        return false;
    }
    const uint32_t bitsPerPixel = image.GetBitsPerPixel();
    writer.Write(uint8_t(0));            // identification length
    writer.Write(uint8_t(0));            // no colour map
    writer.Write(kTrueColour);           // uncompressed true colour
    writer.Write(uint16_t(0));           // colour map start
    writer.Write(uint16_t(0));           // colour map length
    writer.Write(uint8_t(0));            // colour map depth
    writer.Write(uint16_t(0));           // x origin
    writer.Write(uint16_t(0));           // y origin
    writer.Write(uint16_t(width));
    writer.Write(uint16_t(height));
    writer.Write(uint8_t(bitsPerPixel));
    writer.Write(uint8_t(0));  // bottom row first, no alpha bits declared
    const uint32_t pixelBytes = bitsPerPixel / 8;
    const uint32_t pitch = image.GetPitch();
    std::vector<uint8_t> row(pitch);
    for (uint32_t y = height; y-- > 0;) {
        const uint8_t* source = image.GetBuffer() + size_t(y) * pitch;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* pixel = source + size_t(x) * pixelBytes;
            uint8_t* target = row.data() + size_t(x) * pixelBytes;
            target[0] = pixel[2];
            target[1] = pixel[1];
            target[2] = pixel[0];
            if (pixelBytes == 4) target[3] = pixel[3];
        }
        writer.Write(row.data(), pitch);
    }
    return !writer.Failed();
}

}  // namespace GAME
