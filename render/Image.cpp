#include "render/Image.h"

#include "core/Log.h"
#include "core/System.h"
#include "files/BinaryWriter.h"
#include "render/ImageFileCheck.h"

#include <IL/il.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace GAME {

namespace {

// Zero bytes after the data handed to DevIL.
constexpr size_t kReadPadding = 16;

// Serialises every use of DevIL (see the header).
std::mutex& DevILLock() {
    static std::mutex lock;
    return lock;
}

// Starts DevIL once and sets the origin every sequence relies on: rows top first. The caller
// holds the DevIL lock.
void PrepareDevIL() {
    static bool started = false;
    if (!started) {
        ilInit();
        started = true;
    }
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    // Errors left from an earlier sequence must not be taken for this one's.
    while (ilGetError() != IL_NO_ERROR) {
    }
}

// The most recent DevIL error as an Image::Error; the rest of DevIL's error stack is emptied.
Image::Error TakeDevILError() {
    const ILenum error = ilGetError();
    while (ilGetError() != IL_NO_ERROR) {
    }
    switch (error) {
        case IL_NO_ERROR: return Image::Error::None;
        case IL_OUT_OF_MEMORY: return Image::Error::OutOfMemory;
        case IL_FORMAT_NOT_SUPPORTED: return Image::Error::FormatNotSupported;
        case IL_ILLEGAL_FILE_VALUE:
        case IL_INVALID_FILE_HEADER: return Image::Error::BadFileData;
        case IL_COULD_NOT_OPEN_FILE: return Image::Error::FileCannotBeOpened;
        case IL_FILE_READ_ERROR: return Image::Error::FileReadWriteError;  // also IL_FILE_WRITE_ERROR
        default: return Image::Error::Other;
    }
}

// A DevIL image, bound while it lives; the caller holds the DevIL lock.
class BoundDevILImage {
public:
    BoundDevILImage() {
        ilGenImages(1, &name_);
        ilBindImage(name_);
    }
    ~BoundDevILImage() { ilDeleteImages(1, &name_); }
    BoundDevILImage(const BoundDevILImage&) = delete;
    BoundDevILImage& operator=(const BoundDevILImage&) = delete;

private:
    ILuint name_ = 0;
};

ILenum ToDevILType(ImageFileCheck::Kind kind) {
    switch (kind) {
        case ImageFileCheck::Kind::Tga: return IL_TGA;
        case ImageFileCheck::Kind::Bmp: return IL_BMP;
        case ImageFileCheck::Kind::Png: return IL_PNG;
        case ImageFileCheck::Kind::Jpeg: return IL_JPG;
        case ImageFileCheck::Kind::None: break;
    }
    return IL_TYPE_UNKNOWN;
}

ILenum ToDevILFormat(Image::Format format) {
    switch (format) {
        case Image::Format::RGB: return IL_RGB;
        case Image::Format::RGBA: return IL_RGBA;
        case Image::Format::Luminance: return IL_LUMINANCE;
        case Image::Format::None: break;
    }
    return 0;
}

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
    const Error error = Decode(data, size, wanted);
    if (error != Error::None) {
        Log(LogPriority::Error, "Image: %u bytes could not be decoded (error %u)", size, unsigned(error));
    }
    return error;
}

Image::Error Image::Decode(const void* data, uint32_t size, Format wanted) {
    Destroy();
    if (data == nullptr || size == 0) return Error::BadFileData;
    // DevIL's readers look a byte past the end of what they are given: they get a copy with room.
    // Only files whose head ImageFileCheck accepts reach DevIL at all.
    std::vector<uint8_t> padded(size_t(size) + kReadPadding, 0);
    std::memcpy(padded.data(), data, size);
    std::lock_guard<std::mutex> lock(DevILLock());
    PrepareDevIL();
    const BoundDevILImage bound;
    const char* why = nullptr;
    const ILenum type = ToDevILType(ImageFileCheck::Inspect(padded.data(), size, why));
    if (type == IL_TYPE_UNKNOWN) {
        Log(LogPriority::Error, "Image: the data is %s", why);
        return Error::FormatNotSupported;
    }
    // Some readers note errors (a missing optional footer) on loads that succeed: the result counts.
    const bool loaded = ilLoadL(type, padded.data(), size);
    const Error error = TakeDevILError();
    if (!loaded) return error != Error::None ? error : Error::FormatNotSupported;
    return CopyFromBoundImage(wanted);
}

Image::Error Image::CopyFromBoundImage(Format wanted) {
    const ILint width = ilGetInteger(IL_IMAGE_WIDTH);
    const ILint height = ilGetInteger(IL_IMAGE_HEIGHT);
    const ILint bits = ilGetInteger(IL_IMAGE_BITS_PER_PIXEL);
    if (width <= 0 || height <= 0) return Error::BadFileData;
    // A few header bytes can claim any size; more than this is not a picture the engine uses.
    if (uint64_t(width) * uint64_t(height) > kMaxDecodedPixels) return Error::OutOfMemory;
    if (wanted == Format::None) wanted = bits >= 32 ? Format::RGBA : bits < 24 ? Format::Luminance : Format::RGB;
    // DevIL's copy of palettised pixels into another format writes out of bounds (it crashes on a
    // plain 8-bit BMP), so colour indices are turned into colours first.
    if (ilGetInteger(IL_IMAGE_FORMAT) == IL_COLOUR_INDEX && !ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE)) {
        const Error error = TakeDevILError();
        return error != Error::None ? error : Error::BadFileData;
    }
    if (!Create(uint32_t(width), uint32_t(height), wanted)) return Error::OutOfMemory;
    if (!ilCopyPixels(0, 0, 0, ILuint(width), ILuint(height), 1, ToDevILFormat(wanted), IL_UNSIGNED_BYTE, pixels_)) {
        const Error error = TakeDevILError();
        Destroy();
        return error != Error::None ? error : Error::Other;
    }
    return Error::None;
}

Image::Error Image::Load(const char* path, Format wanted) {
    Destroy();
    std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        Log(LogPriority::Error, "Image: %s cannot be opened", path != nullptr ? path : "");
        return Error::FileCannotBeOpened;
    }
    Error error = Error::None;
    void* bytes = nullptr;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length < 0 || length > long(std::numeric_limits<uint32_t>::max()) || std::fseek(file, 0, SEEK_SET) != 0) {
        error = Error::FileReadWriteError;
    } else if ((bytes = std::malloc(std::max<size_t>(size_t(length), 1))) == nullptr) {
        error = Error::OutOfMemory;
    } else if (std::fread(bytes, 1, size_t(length), file) != size_t(length)) {
        error = Error::FileReadWriteError;
    }
    std::fclose(file);
    if (error == Error::None) error = Decode(bytes, uint32_t(length), wanted);
    std::free(bytes);
    if (error != Error::None) Log(LogPriority::Error, "Image: %s could not be read (error %u)", path, unsigned(error));
    return error;
}

Image::Error Image::SaveJPG(const char* path) const {
    const ILenum format = ToDevILFormat(format_);
    if (format == 0 || pixels_ == nullptr) return Error::FormatNotSupported;
    if (path == nullptr) return Error::FileCannotBeOpened;
    const std::string file = path;
    const size_t slash = file.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !CreateDirectoryPath(file.substr(0, slash).c_str())) {
        return Error::FileCannotBeOpened;
    }
    std::lock_guard<std::mutex> lock(DevILLock());
    PrepareDevIL();
    const BoundDevILImage bound;
    if (!ilTexImage(width_, height_, 1, ILubyte(bitsPerPixel_ / 8), format, IL_UNSIGNED_BYTE, pixels_)) {
        TakeDevILError();
        return Error::FormatNotSupported;
    }
    // The pixels are top row first; DevIL assumes the other way round for images it is handed.
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    ilEnable(IL_FILE_OVERWRITE);
    if (!ilSave(IL_JPG, path)) {
        const Error error = TakeDevILError();
        return error != Error::None ? error : Error::Other;
    }
    return Error::None;
}

bool Image::WriteTGA(BinaryWriter& writer) const {
    if ((format_ != Format::RGB && format_ != Format::RGBA) || width_ > kMaxTgaSize || height_ > kMaxTgaSize) {
        return false;
    }
    writer.Write(uint8_t(0));   // identification length
    writer.Write(uint8_t(0));   // no colour map
    writer.Write(uint8_t(2));   // uncompressed true colour
    writer.Write(uint16_t(0));  // colour map start
    writer.Write(uint16_t(0));  // colour map length
    writer.Write(uint8_t(0));   // colour map depth
    writer.Write(uint16_t(0));  // x origin
    writer.Write(uint16_t(0));  // y origin
    writer.Write(uint16_t(width_));
    writer.Write(uint16_t(height_));
    writer.Write(uint8_t(bitsPerPixel_));
    writer.Write(uint8_t(0));  // bottom row first, no alpha bits declared
    const uint32_t pixelBytes = bitsPerPixel_ / 8;
    const uint32_t pitch = GetPitch();
    std::vector<uint8_t> row(pitch);
    for (uint32_t y = height_; y-- > 0;) {
        const uint8_t* source = pixels_ + size_t(y) * pitch;
        for (uint32_t x = 0; x < width_; ++x) {
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
