#pragma once
// ImageFileCheck: what every image reader shares. It tells which reader a file's first bytes call
// for, refuses picture sizes the engine never decodes (a few header bytes can claim any size), and
// logs why a file is refused.
//
// The readers (TgaFile, BmpFile, PngFile, JpegFile) decode into an Image in the file's own format
// and report the bits per pixel the file stores, from which Image picks the format a caller gets
// when it wants none in particular.

#include "render/Image.h"

#include <cstdint>

namespace GAME {

class ImageFileCheck {
public:
    enum class Kind {
        None,  // too short to be any image file
        Tga,   // no signature: every other file of at least a TGA header's 18 bytes
        Bmp,
        Png,
        Jpeg,
    };

    // The largest width and height decoded.
    static constexpr uint32_t kMaxSize = 4096;

    // The reader the data calls for, by its signature.
    static Kind Identify(const uint8_t* data, uint32_t size);
    // None for a size the engine decodes; BadFileData for an empty picture, FormatNotSupported
    // above kMaxSize either way (both logged, naming the format).
    static Image::Error CheckSize(const char* format, uint64_t width, uint64_t height);
    // Logs why a file of the format is refused and returns the error.
    static Image::Error Refuse(Image::Error error, const char* format, const char* why);
};

}  // namespace GAME
