#pragma once
// ImageFileCheck: looks at the head of an image file before DevIL decodes it. DevIL's own readers
// trust the sizes a file declares (a BMP of a huge width overflows its buffer arithmetic, a TGA
// whose pixels are cut short is read past its end), so Image hands DevIL only files whose head is
// consistent and whose picture is of a sensible size:
// - TGA: uncompressed true colour (24 or 32 bits), grey (8 bits) or colour-mapped (8-bit indices
//   into 24- or 32-bit colours), with every pixel present;
// - BMP: uncompressed 8-bit (palettised), 24-bit or 32-bit, with every row present;
// - PNG, whose chunks must all lie inside the file, and JPEG, whose segments up to the scan must
//   and which must end with its end marker; both by their declared width and height (their
//   libraries check the data inside).
// Run-length encoded TGA and BMP files are refused.

#include <cstdint>

namespace GAME {

class ImageFileCheck {
public:
    enum class Kind {
        None,  // not an image file Image decodes
        Tga,
        Bmp,
        Png,
        Jpeg,
    };

    // The largest width and height accepted.
    static constexpr uint32_t kMaxSize = 4096;

    // The kind of the file, or None with why set to the reason.
    static Kind Inspect(const uint8_t* data, uint32_t size, const char*& why);

private:
    static Kind InspectTga(const uint8_t* data, uint32_t size, const char*& why);
    static Kind InspectBmp(const uint8_t* data, uint32_t size, const char*& why);
    static Kind InspectPng(const uint8_t* data, uint32_t size, const char*& why);
    static Kind InspectJpeg(const uint8_t* data, uint32_t size, const char*& why);
};

}  // namespace GAME
