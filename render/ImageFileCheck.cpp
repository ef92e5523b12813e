#include "render/ImageFileCheck.h"

#include <cstring>

namespace GAME {

namespace {

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }
uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | uint32_t(p[1]); }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

bool SizeIsSensible(uint64_t width, uint64_t height) {
    return width >= 1 && height >= 1 && width <= ImageFileCheck::kMaxSize && height <= ImageFileCheck::kMaxSize;
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

ImageFileCheck::Kind ImageFileCheck::Inspect(const uint8_t* data, uint32_t size, const char*& why) {
    why = nullptr;
    if (data == nullptr || size < 4) {
        why = "too short";
        return Kind::None;
    }
    if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) return InspectPng(data, size, why);
    if (data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return InspectJpeg(data, size, why);
    if (data[0] == 'B' && data[1] == 'M') return InspectBmp(data, size, why);
    // TGA files carry no signature: a head that reads as one is taken for one.
    return InspectTga(data, size, why);
}

ImageFileCheck::Kind ImageFileCheck::InspectTga(const uint8_t* data, uint32_t size, const char*& why) {
    constexpr uint32_t kHeader = 18;
    if (size < kHeader) {
        why = "not a known image format";
        return Kind::None;
    }
    const uint32_t idLength = data[0];
    const uint32_t mapType = data[1];
    const uint32_t imageType = data[2];
    const uint32_t mapLength = Le16(data + 5);
    const uint32_t mapBits = data[7];
    const uint32_t width = Le16(data + 12);
    const uint32_t height = Le16(data + 14);
    const uint32_t bits = data[16];
    bool known = false;
    switch (imageType) {
        case 1: known = mapType == 1 && bits == 8 && (mapBits == 24 || mapBits == 32) && mapLength >= 1 &&
                        mapLength <= 256 && Le16(data + 3) == 0;
                break;
        case 2: known = mapType == 0 && (bits == 24 || bits == 32); break;
        case 3: known = mapType == 0 && bits == 8; break;
        default: break;
    }
    if (!known) {
        why = "not a known image format (or a TGA form that is not read)";
        return Kind::None;
    }
    if (!SizeIsSensible(width, height)) {
        why = "a TGA image of an unsupported size";
        return Kind::None;
    }
    const uint64_t needed = uint64_t(kHeader) + idLength + (mapType == 1 ? uint64_t(mapLength) * (mapBits / 8) : 0) +
                            uint64_t(width) * height * (bits / 8);
    if (needed > size) {
        why = "a TGA file cut short";
        return Kind::None;
    }
    return Kind::Tga;
}

ImageFileCheck::Kind ImageFileCheck::InspectBmp(const uint8_t* data, uint32_t size, const char*& why) {
    constexpr uint32_t kFileHeader = 14;
    constexpr uint32_t kInfoHeader = 40;
    if (size < kFileHeader + kInfoHeader) {
        why = "a BMP file cut short";
        return Kind::None;
    }
    const uint32_t pixelOffset = Le32(data + 10);
    const uint32_t headerSize = Le32(data + 14);
    const int32_t width = int32_t(Le32(data + 18));
    const int32_t height = int32_t(Le32(data + 22));
    const uint32_t planes = Le16(data + 26);
    const uint32_t bits = Le16(data + 28);
    const uint32_t compression = Le32(data + 30);
    const uint32_t coloursUsed = Le32(data + 46);
    // Heights are negative for top-down files.
    const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    if (headerSize < kInfoHeader || planes != 1 || compression != 0 || (bits != 8 && bits != 24 && bits != 32)) {
        why = "a BMP form that is not read";
        return Kind::None;
    }
    if (width < 0 || !SizeIsSensible(uint64_t(width), rows)) {
        why = "a BMP image of an unsupported size";
        return Kind::None;
    }
    const uint64_t palette = bits == 8 ? uint64_t(coloursUsed != 0 ? coloursUsed : 256) * 4 : 0;
    const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    if ((bits == 8 && coloursUsed > 256) || uint64_t(kFileHeader) + headerSize + palette > pixelOffset ||
        uint64_t(pixelOffset) + stride * rows > size) {
        why = "a BMP file cut short or with a bad layout";
        return Kind::None;
    }
    return Kind::Bmp;
}

ImageFileCheck::Kind ImageFileCheck::InspectPng(const uint8_t* data, uint32_t size, const char*& why) {
    // The first chunk is the header: length 13, "IHDR", width and height big-endian.
    if (size < 33 || Be32(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0) {
        why = "a PNG file without its header";
        return Kind::None;
    }
    if (!SizeIsSensible(Be32(data + 16), Be32(data + 20))) {
        why = "a PNG image of an unsupported size";
        return Kind::None;
    }
    // Every chunk (length, type, data, checksum) must lie inside the file up to the end chunk:
    // DevIL keeps libpng reading past the end of a cut file, round and round.
    for (uint64_t at = 8; at + 12 <= size;) {
        const uint64_t next = at + 12 + Be32(data + at);
        if (next > size) break;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return Kind::Png;
        at = next;
    }
    why = "a PNG file cut short";
    return Kind::None;
}

ImageFileCheck::Kind ImageFileCheck::InspectJpeg(const uint8_t* data, uint32_t size, const char*& why) {
    // Segments after the start of image, each FF xx and a big-endian length counting itself, up to
    // the start of scan; one of them a start of frame (C0-CF except C4, C8, CC) with the size. The
    // file must end with the end-of-image marker: DevIL's source for the decoder spins for ever on
    // a stream that runs out.
    bool frame = false;
    uint32_t at = 2;
    while (uint64_t(at) + 4 <= size && data[at] == 0xFF) {
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at;  // fill byte
            continue;
        }
        const uint32_t length = Be16(data + at + 2);
        if (length < 2 || uint64_t(at) + 2 + length > size) break;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (length < 7) break;
            if (!SizeIsSensible(Be16(data + at + 7), Be16(data + at + 5))) {
                why = "a JPEG image of an unsupported size";
                return Kind::None;
            }
            frame = true;
        }
        if (marker == 0xDA) {
            if (frame && size >= 2 && data[size - 2] == 0xFF && data[size - 1] == 0xD9) return Kind::Jpeg;
            break;
        }
        at += 2 + length;
    }
    why = "a JPEG file cut short or without a frame header";
    return Kind::None;
}

}  // namespace GAME
