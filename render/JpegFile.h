#pragma once
// JpegFile: the JPEG reader and writer, over libjpeg-turbo.
//
// The reader takes grey, colour (YCbCr or RGB) and CMYK (or YCCK) files, baseline or
// progressive; CMYK pictures become RGB by multiplying each ink's complement with black's (the
// inks inverted as files with an Adobe marker store them), rounded. libjpeg's warnings about
// corrupt data (a file cut short among them, which it would otherwise finish with grey) fail the
// read as bad data, as do its errors, with the first reason it gave. Progressive files of more
// scans than any encoder writes are refused before they take long to decode.
//
// The writer saves luminance, RGB or RGBA images (alpha dropped) at quality 99 to a temporary
// file beside the target, then puts it in place, so a failed save leaves any earlier file whole.

#include "render/ImageFileCheck.h"

#include <cstdint>

namespace GAME {

class JpegFile {
public:
    // Decodes into image as luminance (grey files) or RGB; the file bits reported are 8 or 24.
    static Image::Error Read(const uint8_t* data, uint32_t size, Image& image, ImageFileCheck::Report& report);
    // Writes the image to path (whose directory must exist). FileCannotBeOpened when the file
    // cannot be made, FileReadWriteError when it cannot be written or put in place.
    static Image::Error Write(const Image& image, const char* path);
};

}  // namespace GAME
