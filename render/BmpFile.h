#pragma once
// BmpFile: the BMP reader. It takes the forms common tools write:
// - palette indices of 1, 4 and 8 bits, uncompressed, and run-length encoded 8-bit (RLE8) and
//   4-bit (RLE4) pictures;
// - 16-bit pixels (5-5-5 without masks) and 32-bit pixels, each through bit-field masks when the
//   file gives them (inside a V4 or V5 header, or after a 40-byte one);
// - 24-bit pixels (B, G, R);
// with the 12-byte core header (whose palette holds 3-byte colours), the 40-byte information
// header or any longer one (V4, V5), rows bottom first or, for a negative height, top first.
//
// Decisions: mask channels narrower than 8 bits are scaled to 0-255 and rounded (a 5-bit 31 is
// 255, 16 is 132). 32-bit pixels without masks are B, G, R and a fourth byte that is alpha unless
// every pixel leaves it 0 (then the picture is opaque). Pixels a run-length picture skips (with
// its delta and end-of-line codes) are left as the picture starts, at palette entry 0: the codes
// only move on, giving those pixels no colour of their own; runs past the picture's edge are cut
// at it. An index outside the palette, a run-length picture without its end code, or a picture
// cut short fails as bad data. Uncompressed pixels are checked against the file's size before
// they are allocated; a run-length picture is bounded by the largest size alone, since a few
// bytes of legal codes may skip all but a few pixels of a picture of any size.

#include "render/ImageFileCheck.h"

#include <cstdint>

namespace GAME {

class BmpFile {
public:
    // Decodes into image as RGB, or RGBA for 32-bit pixels and 16-bit ones with an alpha mask.
    // The file bits reported are the index depth for palettised pictures, else those of the
    // decoded format (a 16-bit picture is colour, not grey).
    static Image::Error Read(const uint8_t* data, uint32_t size, Image& image, ImageFileCheck::Report& report);
};

}  // namespace GAME
