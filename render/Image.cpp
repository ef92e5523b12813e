#include "render/Image.h"

#include "core/Log.h"
#include "core/System.h"
#include "render/BmpFile.h"
#include "render/ImageFileCheck.h"
#include "render/JpegFile.h"
#include "render/PngFile.h"
#include "render/TgaFile.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace GAME {

namespace {

constexpr const char* kFormatsRead = "TGA, BMP, PNG and JPEG files";

}  // namespace

Image::Image(const Image& other) { Create(other.width_, other.height_, other.format_, other.pixels_); }

Image& Image::operator=(const Image& other) {
    // Create frees the old pixels first, so a copy of itself must not read them afterwards.
    if (this != &other) Create(other.width_, other.height_, other.format_, other.pixels_);
    return *this;
}

Image::~Image() { Destroy(); }

uint32_t Image::GetBitsPerPixel(Format format) {
    switch (format) {
        case Format::RGB: return 24;
        case Format::RGBA: return 32;
        case Format::Luminance: return 8;
        case Format::None: break;
    }
    return 0;
}

bool Image::GetByteCount(uint32_t width, uint32_t height, Format format, size_t& bytes) {
    const size_t pixelBytes = GetBitsPerPixel(format) / 8;
    bytes = 0;
    if (width != 0 && height > std::numeric_limits<size_t>::max() / width) return false;
    const size_t pixels = size_t(width) * height;
    if (pixelBytes != 0 && pixels > std::numeric_limits<size_t>::max() / pixelBytes) return false;
    bytes = pixels * pixelBytes;
    return true;
}

bool Image::Create(uint32_t width, uint32_t height, Format format, const void* pixels) {
    Destroy();
    size_t bytes = 0;
    if (!GetByteCount(width, height, format, bytes)) {
        Log(LogPriority::Error, "Image: %u x %u pixels do not fit in memory", width, height);
        return false;
    }
    if (bytes != 0) {
        pixels_ = static_cast<uint8_t*>(std::malloc(bytes));
        if (pixels_ == nullptr) {
            Log(LogPriority::Error, "Image: out of memory for %u x %u pixels", width, height);
            return false;
        }
        if (pixels != nullptr) std::memcpy(pixels_, pixels, bytes);
    }
    width_ = width;
    height_ = height;
    format_ = format;
    bitsPerPixel_ = GetBitsPerPixel(format);
    return true;
}

void Image::Destroy() {
    std::free(pixels_);
    pixels_ = nullptr;
    width_ = height_ = bitsPerPixel_ = 0;
    format_ = Format::None;
}

// ---------------------------------------------------------------------------------------------
// Decoding and saving
// ---------------------------------------------------------------------------------------------

Image::Error Image::Load(const void* data, uint32_t size, Format wanted) {
    std::string why;
    const Error error = Decode(data, size, wanted, why);
    if (error != Error::None) {
        Log(LogPriority::Error, "Image: %u bytes in memory cannot be loaded: %s", size, why.c_str());
    }
    return error;
}

Image::Error Image::Decode(const void* data, uint32_t size, Format wanted, std::string& why) {
    Destroy();
    const uint8_t* const bytes = static_cast<const uint8_t*>(data);
    ImageFileCheck::Report report;
    Error error = Error::FormatNotSupported;
    switch (ImageFileCheck::Identify(bytes, size)) {
        case ImageFileCheck::Kind::Tga: error = TgaFile::Read(bytes, size, *this, report); break;
        case ImageFileCheck::Kind::Bmp: error = BmpFile::Read(bytes, size, *this, report); break;
        case ImageFileCheck::Kind::Png: error = PngFile::Read(bytes, size, *this, report); break;
        case ImageFileCheck::Kind::Jpeg: error = JpegFile::Read(bytes, size, *this, report); break;
        case ImageFileCheck::Kind::Other:
            error = ImageFileCheck::Refuse(report, Error::FormatNotSupported, "it is %s; the pictures read are %s",
                                           ImageFileCheck::OtherFormatName(bytes, size), kFormatsRead);
            break;
        case ImageFileCheck::Kind::None:
            error = ImageFileCheck::Refuse(report, Error::BadFileData,
                                           "it is too short for any picture file (the pictures read are %s)",
                                           kFormatsRead);
            break;
    }
    if (error == Error::None) {
        const uint32_t bits = report.fileBits;
        if (wanted == Format::None) wanted = bits >= 32 ? Format::RGBA : bits < 24 ? Format::Luminance : Format::RGB;
        error = ConvertDecoded(wanted);
        if (error != Error::None) why = "out of memory to convert the picture";
    } else {
        why = std::move(report.why);
    }
    if (error != Error::None) Destroy();
    return error;
}

Image::Error Image::ConvertDecoded(Format target) {
    if (target == format_) return Error::None;
    Image converted;
    if (!converted.Create(width_, height_, target)) return Error::OutOfMemory;
    const size_t from = bitsPerPixel_ / 8;
    const size_t to = converted.bitsPerPixel_ / 8;
    const size_t count = size_t(width_) * height_;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* in = pixels_ + i * from;
        uint8_t* out = converted.pixels_ + i * to;
        if (to == 1) {
            // Integer weights summing to 256, rounded, unlike ChangeFormat's: grey stays grey.
            out[0] = from == 1 ? in[0] : uint8_t((77u * in[0] + 150u * in[1] + 29u * in[2] + 128u) >> 8);
            continue;
        }
        for (size_t c = 0; c < 3; ++c) out[c] = in[from == 1 ? 0 : c];
        if (to == 4) out[3] = from == 4 ? in[3] : 255;
    }
    std::swap(pixels_, converted.pixels_);
    format_ = target;
    bitsPerPixel_ = converted.bitsPerPixel_;
    return Error::None;
}

Image::Error Image::Load(const char* path, Format wanted) {
    Destroy();
    std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        Log(LogPriority::Error, "Image: \"%s\" cannot be opened", path != nullptr ? path : "");
        return Error::FileCannotBeOpened;
    }
    Error error = Error::None;
    std::string why;
    void* bytes = nullptr;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length < 0 || length > long(std::numeric_limits<uint32_t>::max()) || std::fseek(file, 0, SEEK_SET) != 0) {
        error = Error::FileReadWriteError;
        why = "its length cannot be told";
    } else if ((bytes = std::malloc(std::max<size_t>(size_t(length), 1))) == nullptr) {
        error = Error::OutOfMemory;
        why = "out of memory to read it";
    } else if (std::fread(bytes, 1, size_t(length), file) != size_t(length)) {
        error = Error::FileReadWriteError;
        why = "it cannot be read";
    }
    std::fclose(file);
    if (error == Error::None) error = Decode(bytes, uint32_t(length), wanted, why);
    std::free(bytes);
    if (error != Error::None) Log(LogPriority::Error, "Image: \"%s\" cannot be loaded: %s", path, why.c_str());
    return error;
}

Image::Error Image::SaveJPG(const char* path) const {
    if (format_ == Format::None || pixels_ == nullptr) return Error::FormatNotSupported;
    if (path == nullptr) return Error::FileCannotBeOpened;
    const std::string file = path;
    const size_t slash = file.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !CreateDirectoryPath(file.substr(0, slash).c_str())) {
        return Error::FileCannotBeOpened;
    }
    return JpegFile::Write(*this, path);
}

bool Image::WriteTGA(BinaryWriter& writer) const { return TgaFile::Write(*this, writer); }

// ---------------------------------------------------------------------------------------------
// Flips and conversion
// ---------------------------------------------------------------------------------------------

template <class Map>
void Image::Remap(uint32_t width, uint32_t height, Map map) {
    const size_t pixelBytes = bitsPerPixel_ / 8;
    size_t bytes = 0;
    GetByteCount(width_, height_, format_, bytes);
    if (pixels_ == nullptr || bytes == 0) return;
    uint8_t* remapped = static_cast<uint8_t*>(std::malloc(bytes));
    if (remapped == nullptr) {
        Log(LogPriority::Error, "Image: out of memory to flip %u x %u pixels", width_, height_);
        return;
    }
    for (uint32_t y = 0; y < height_; ++y) {
        for (uint32_t x = 0; x < width_; ++x) {
            const auto [toX, toY] = map(x, y);
            std::memcpy(remapped + (size_t(toY) * width + toX) * pixelBytes,
                        pixels_ + (size_t(y) * width_ + x) * pixelBytes, pixelBytes);
        }
    }
    std::free(pixels_);
    pixels_ = remapped;
    width_ = width;
    height_ = height;
}

void Image::FlipHorizontally() {
    const uint32_t last = width_ - 1;
    Remap(width_, height_, [last](uint32_t x, uint32_t y) { return std::pair(last - x, y); });
}

void Image::FlipVertically() {
    const uint32_t last = height_ - 1;
    Remap(width_, height_, [last](uint32_t x, uint32_t y) { return std::pair(x, last - y); });
}

void Image::FlipDiagonally() {
    Remap(height_, width_, [](uint32_t x, uint32_t y) { return std::pair(y, x); });
}

bool Image::ChangeFormat(Format target) {
    const size_t pixels = size_t(width_) * height_;
    const bool fromColour = format_ == Format::RGB || format_ == Format::RGBA;
    if (target == Format::Luminance && fromColour) {
        const size_t step = bitsPerPixel_ / 8;
        for (size_t i = 0; i < pixels; ++i) {
            const uint8_t* pixel = pixels_ + i * step;
            pixels_[i] = uint8_t(float(pixel[0]) * 0.3f + float(pixel[2]) * 0.11f + float(pixel[1]) * 0.59f);
        }
        format_ = target;
    } else if (target == Format::RGB && format_ == Format::RGBA) {
        for (size_t i = 0; i < pixels; ++i) std::memmove(pixels_ + i * 3, pixels_ + i * 4, 3);
        format_ = target;
    } else if (target == Format::RGB && format_ == Format::Luminance) {
        uint8_t* grown = pixels != 0 ? static_cast<uint8_t*>(std::realloc(pixels_, pixels * 3)) : pixels_;
        if (pixels != 0 && grown == nullptr) {
            Log(LogPriority::Error, "Image: out of memory to convert %u x %u pixels", width_, height_);
        } else {
            pixels_ = grown;
            // From the last pixel back, so that no grey value is overwritten before it is read.
            for (size_t i = pixels; i-- > 0;) std::memset(pixels_ + i * 3, pixels_[i], 3);
            format_ = target;
        }
    }
    bitsPerPixel_ = GetBitsPerPixel(format_);
    return format_ == target;
}

}  // namespace GAME
