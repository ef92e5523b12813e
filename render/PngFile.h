#pragma once
// PngFile: the PNG reader, over libpng. Every colour type and depth is read: palettes become
// their colours, transparency becomes alpha, grey with alpha becomes RGBA, 16-bit samples are
// scaled to 8 bits, interlaced pictures are put together. A cut or corrupt file (a bad checksum
// included) fails as bad data, with libpng's reason logged.

#include "render/ImageFileCheck.h"

#include <cstdint>

namespace GAME {

class PngFile {
public:
    // Decodes into image as luminance, RGB or RGBA (whichever holds the file's samples); the
    // file bits reported are the bit depth the samples are read at (16-bit ones at 8) times the
    // samples per pixel (the depth of the index for a palettised file).
    static Image::Error Read(const uint8_t* data, uint32_t size, Image& image, ImageFileCheck::Report& report);
};

}  // namespace GAME
