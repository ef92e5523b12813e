#pragma once
// TgaFile: the TGA reader and writer.
//
// The reader takes uncompressed and run-length encoded pictures of three kinds: colour-mapped
// (8-bit indices into a map of 15, 16, 24 or 32-bit colours), true colour (15, 16, 24 or 32 bits)
// and grey (8 bits), with their rows and columns in any of the four orders the descriptor byte
// allows. The fourth byte of a 32-bit colour is always alpha, whatever alpha bit count the
// descriptor declares: the engine's own files declare none. 15 and 16-bit colours are 5 bits each
// of R, G and B, scaled to 0-255 and rounded; their top bit is not read as alpha, since a picture
// whose writer never set it would come out wholly transparent. A colour index outside the map, a
// run that leaves the file or a picture cut short fails as bad data.
//
// The writer writes what Image::WriteTGA promises: uncompressed true colour, bottom row first.

#include "render/ImageFileCheck.h"

#include <cstdint>

namespace GAME {

class BinaryWriter;

class TgaFile {
public:
    // Decodes into image in the file's own format: the map's colours (RGB or RGBA) for a
    // colour-mapped file, RGB or RGBA for true colour, luminance for grey. The file bits reported
    // are 8 for colour indices, else those of the decoded format.
    static Image::Error Read(const uint8_t* data, uint32_t size, Image& image, ImageFileCheck::Report& report);
    // Writes an RGB or RGBA image of at most Image::kMaxTgaSize either way; false otherwise,
    // with nothing written.
    static bool Write(const Image& image, BinaryWriter& writer);
};

}  // namespace GAME
