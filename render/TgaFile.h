#pragma once
// TgaFile: the TGA reader and writer.
//
// The reader takes uncompressed and run-length encoded pictures of three kinds: colour-mapped
// (8-bit indices into a map of 24- or 32-bit colours), true colour (24 or 32 bits) and grey
// (8 bits), with their rows and columns in any of the four orders the descriptor byte allows.
// The fourth byte of a 32-bit colour is always alpha, whatever alpha bit count the descriptor
// declares: the engine's own files declare none. A colour index outside the map, a run that
// leaves the file or a picture cut short fails as bad data.
//
// The writer writes what Image::WriteTGA promises: uncompressed true colour, bottom row first.

#include "render/Image.h"

#include <cstdint>

namespace GAME {

class BinaryWriter;

class TgaFile {
public:
    // Decodes into image in the file's own format: the map's colours (RGB or RGBA) for a
    // colour-mapped file, RGB or RGBA for true colour, luminance for grey. fileBits is the pixel
    // depth the file declares (8 for colour indices).
    static Image::Error Read(const uint8_t* data, uint32_t size, Image& image, uint32_t& fileBits);
    // Writes an RGB or RGBA image of at most Image::kMaxTgaSize either way; false otherwise,
    // with nothing written.
    static bool Write(const Image& image, BinaryWriter& writer);
};

}  // namespace GAME
