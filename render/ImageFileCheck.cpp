#include "render/ImageFileCheck.h"

#include "core/Log.h"

#include <cstring>

namespace GAME {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kTgaHeaderBytes = 18;

}  // namespace

ImageFileCheck::Kind ImageFileCheck::Identify(const uint8_t* data, uint32_t size) {
    if (data == nullptr) return Kind::None;
    if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) return Kind::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return Kind::Jpeg;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return Kind::Bmp;
    return size >= kTgaHeaderBytes ? Kind::Tga : Kind::None;
}

Image::Error ImageFileCheck::CheckSize(const char* format, uint64_t width, uint64_t height) {
    if (width == 0 || height == 0) return Refuse(Image::Error::BadFileData, format, "an empty picture");
    if (width > kMaxSize || height > kMaxSize) {
        Log(LogPriority::Error, "Image: a %s picture of %llu x %llu pixels is larger than %u either way", format,
            static_cast<unsigned long long>(width), static_cast<unsigned long long>(height), kMaxSize);
        return Image::Error::FormatNotSupported;
    }
    return Image::Error::None;
}

Image::Error ImageFileCheck::Refuse(Image::Error error, const char* format, const char* why) {
    Log(LogPriority::Error, "Image: a %s file is refused: %s", format, why);
    return error;
}

}  // namespace GAME
