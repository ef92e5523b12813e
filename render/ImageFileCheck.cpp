#include "render/ImageFileCheck.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace GAME {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kTgaHeaderBytes = 18;

// Formats a picture file is often mistaken for. Without them such a file would reach the TGA
// reader, the one format without a signature, and be refused as a TGA file it never was.
struct OtherFormat {
    const char* signature;
    uint32_t length;
    uint32_t offset;
    const char* name;
};
constexpr OtherFormat kOtherFormats[] = {
    {"DDS ", 4, 0, "a DDS texture (textures load through the texture manager)"},
    {"TEX", 3, 0, "a TEX texture (textures load through the texture manager)"},
    {"GIF8", 4, 0, "a GIF picture"},
    {"II*\0", 4, 0, "a TIFF picture"},
    {"MM\0*", 4, 0, "a TIFF picture"},
    {"WEBP", 4, 8, "a WebP picture"},
};

}  // namespace

ImageFileCheck::Kind ImageFileCheck::Identify(const uint8_t* data, uint32_t size) {
    if (data == nullptr) return Kind::None;
    if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) return Kind::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return Kind::Jpeg;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return Kind::Bmp;
    if (OtherFormatName(data, size) != nullptr) return Kind::Other;
    return size >= kTgaHeaderBytes ? Kind::Tga : Kind::None;
}

const char* ImageFileCheck::OtherFormatName(const uint8_t* data, uint32_t size) {
    for (const OtherFormat& format : kOtherFormats) {
        if (data != nullptr && size >= format.offset + format.length &&
            std::memcmp(data + format.offset, format.signature, format.length) == 0) {
            return format.name;
        }
    }
    return nullptr;
}

Image::Error ImageFileCheck::CheckSize(Report& report, const char* format, uint64_t width, uint64_t height) {
    if (width == 0 || height == 0) {
        return Refuse(report, Image::Error::BadFileData, "the %s picture is empty (%llu x %llu pixels)", format,
                      static_cast<unsigned long long>(width), static_cast<unsigned long long>(height));
    }
    if (width > kMaxSize || height > kMaxSize) {
        return Refuse(report, Image::Error::FormatNotSupported,
                      "the %s picture of %llu x %llu pixels is larger than the %u either way that is read", format,
                      static_cast<unsigned long long>(width), static_cast<unsigned long long>(height), kMaxSize);
    }
    return Image::Error::None;
}

Image::Error ImageFileCheck::CheckPixelBytes(Report& report, const char* format, uint64_t width, uint64_t height,
                                             uint64_t least, uint64_t available) {
    if (least <= available) return Image::Error::None;
    return Refuse(report, Image::Error::BadFileData,
                  "the %s pixels are cut short: %llu x %llu pixels need at least %llu bytes, and %llu are there",
                  format, static_cast<unsigned long long>(width), static_cast<unsigned long long>(height),
                  static_cast<unsigned long long>(least), static_cast<unsigned long long>(available));
}

Image::Error ImageFileCheck::Refuse(Report& report, Image::Error error, const char* why, ...) {
    char text[512];
    va_list args;
    va_start(args, why);
    std::vsnprintf(text, sizeof(text), why, args);
    va_end(args);
    report.why = text;
    return error;
}

}  // namespace GAME
