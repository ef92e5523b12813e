#pragma once
// Image: a picture in system memory (screenshots, surface captures, generated maps). It decodes
// TGA, BMP, PNG and JPEG files (TgaFile and BmpFile are our own bounds-checked readers, PngFile
// and JpegFile go through libpng and libjpeg-turbo), saves JPEG files, writes uncompressed TGA,
// mirrors and transposes, and converts between its three formats. It never touches the render
// device. Every reader keeps its state to itself, so images load on any thread.
//
// Pixels are packed rows, top row first, without gaps: pitch = bits per pixel / 8 x width.
//
// Sizes are checked: a buffer whose byte count does not fit is refused (OutOfMemory) rather than
// wrapped around, and files declaring more than 4096 pixels either way are not decoded
// (FormatNotSupported).
//
// Load's errors by meaning: FormatNotSupported for data that is no image file read here (or a
// form of one that is not read), BadFileData for a file that is cut short, corrupt or
// inconsistent, OutOfMemory when the pixels cannot be allocated. Each failure is logged once,
// naming the file (or, for data in memory, its length), what was found and, for a form that is
// not read, what is.

#include <cstddef>
#include <cstdint>
#include <string>

namespace GAME {

class BinaryWriter;

class Image {
public:
    enum class Format : uint32_t {
        None = 0,       // no pixels (0 bits)
        RGB = 1,        // 24 bits: bytes R, G, B
        RGBA = 2,       // 32 bits: bytes R, G, B, A
        Luminance = 3,  // 8 bits
    };

    enum class Error : uint32_t {
        None = 0,
        OutOfMemory = 1,
        FormatNotSupported = 2,
        BadFileData = 3,
        FileCannotBeOpened = 4,
        FileReadWriteError = 5,
        Other = 6,
    };

    // The largest width and height a TGA header can hold.
    static constexpr uint32_t kMaxTgaSize = 65535;

    Image() = default;
    Image(const Image& other);
    Image& operator=(const Image& other);
    virtual ~Image();

    // Replaces the picture with width x height pixels of the format, copied from pixels when given
    // (else left unset). False (and an empty image) when the buffer cannot be allocated.
    bool Create(uint32_t width, uint32_t height, Format format, const void* pixels = nullptr);
    // Frees the pixels and zeroes the size and format.
    void Destroy();

    uint32_t GetWidth() const { return width_; }
    uint32_t GetHeight() const { return height_; }
    Format GetFormat() const { return format_; }
    uint32_t GetBitsPerPixel() const { return bitsPerPixel_; }
    uint32_t GetPitch() const { return bitsPerPixel_ / 8 * width_; }
    uint8_t* GetBuffer() { return pixels_; }
    const uint8_t* GetBuffer() const { return pixels_; }

    // Decodes a file's bytes; the rows come top first whatever order the file keeps. wanted None
    // follows the bits per pixel the file stores: 32 or more RGBA, fewer than 24 luminance
    // (8-bit palettised files too), else RGB. Other formats are converted to: colours become
    // luminance as 0.3 R + 0.59 G + 0.11 B rounded (a grey colour keeps its value), grey becomes
    // R = G = B, missing alpha is 255. A failure leaves an empty image and is logged.
    Error Load(const void* data, uint32_t size, Format wanted);
    // Reads the file whole and decodes it.
    Error Load(const char* path, Format wanted);
    // Writes a JPEG file (the directories along the path are made); RGB, RGBA and luminance only.
    Error SaveJPG(const char* path) const;
    // Writes an uncompressed TGA image: an 18-byte header, then the rows bottom first as B, G, R
    // (and A). RGB and RGBA images no larger than kMaxTgaSize each way only; false otherwise, with
    // nothing written.
    bool WriteTGA(BinaryWriter& writer) const;

    void FlipHorizontally();
    void FlipVertically();
    // Transposes: pixel (x, y) goes to (y, x), and width and height are exchanged.
    void FlipDiagonally();

    // Converts RGB or RGBA to luminance (0.3 R + 0.59 G + 0.11 B, truncated), RGBA to RGB (alpha
    // dropped) and luminance to RGB (grey); every other request leaves the pixels as they are.
    // True when the format is now the target.
    bool ChangeFormat(Format target);

    // Bits per pixel of a format.
    static uint32_t GetBitsPerPixel(Format format);

private:
    // Byte count of width x height pixels of the format; false when it does not fit.
    static bool GetByteCount(uint32_t width, uint32_t height, Format format, size_t& bytes);
    // Load without the log line; why says what a failure found.
    Error Decode(const void* data, uint32_t size, Format wanted, std::string& why);
    // Converts a decoded picture to the format (see Load).
    Error ConvertDecoded(Format target);
    // Moves each pixel to where map sends it in a new buffer of the same size; the buffer then
    // has width x height pixels.
    template <class Map>
    void Remap(uint32_t width, uint32_t height, Map map);

    uint32_t width_ = 0;
    uint32_t height_ = 0;
    Format format_ = Format::None;
    uint32_t bitsPerPixel_ = 0;
    uint8_t* pixels_ = nullptr;  // owned; allocated with the C allocator
};

}  // namespace GAME
