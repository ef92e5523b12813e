#pragma once
// ImageFileCheck: what every image reader shares. It tells which reader a file's first bytes call
// for (and names the formats no reader here takes), refuses picture sizes the engine never decodes
// (a few header bytes can claim any size) or pixels the file has no room for, and words why a file
// is refused.
//
// The readers (TgaFile, BmpFile, PngFile, JpegFile) decode into an Image in the file's own format
// and report the bits per pixel the file stores, from which Image picks the format a caller gets
// when it wants none in particular. A reader does not log: it says why it refused a file, and
// Image logs that once with the file's name. Each reason names what the file holds and, for a
// form that is not read, what is.

#include "render/Image.h"

#include <cstdint>
#include <string>

namespace GAME {

class ImageFileCheck {
public:
    enum class Kind {
        None,   // too short to be any image file
        Tga,    // no signature: every other file of at least a TGA header's 18 bytes
        Bmp,
        Png,
        Jpeg,
        Other,  // a known format that is no picture read here (OtherFormatName names it)
    };

    // What a reader reports besides the pixels.
    struct Report {
        uint32_t fileBits = 0;  // the bits per pixel the file stores
        std::string why;        // why the file was refused
    };

    // The largest width and height decoded.
    static constexpr uint32_t kMaxSize = 4096;

    // The reader the data calls for, by its signature.
    static Kind Identify(const uint8_t* data, uint32_t size);
    // The name of the known format the data's signature shows when no reader here takes it
    // ("a DDS texture", ...), else null.
    static const char* OtherFormatName(const uint8_t* data, uint32_t size);
    // None for a size the engine decodes; BadFileData for an empty picture, FormatNotSupported
    // above kMaxSize either way (both reported, naming the format).
    static Image::Error CheckSize(Report& report, const char* format, uint64_t width, uint64_t height);
    // None when the file holds at least the bytes the pixels need (least, of the available bytes
    // from where they start); else BadFileData, reported naming the format, the size and both
    // counts. Readers ask before they allocate: a header of a few bytes can claim 64 MB of pixels.
    static Image::Error CheckPixelBytes(Report& report, const char* format, uint64_t width, uint64_t height,
                                        uint64_t least, uint64_t available);
    // Records why a file is refused (printf-style) and returns the error.
    static Image::Error Refuse(Report& report, Image::Error error, const char* why, ...)
        __attribute__((format(printf, 3, 4)));
};

}  // namespace GAME
