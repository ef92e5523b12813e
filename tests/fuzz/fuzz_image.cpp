// Fuzzes image decoding through Image (the TGA and BMP readers, libpng and libjpeg behind it):
// every wanted format of the bytes. A decoded image must have the buffer its size says; it must
// survive the flips and conversions, and as TGA read back to the same pixels.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/BinaryWriter.h"
#include "render/Image.h"

namespace {

using GAME::Image;

void Check(const Image& image) {
    if (image.GetBuffer() == nullptr || image.GetWidth() == 0 || image.GetHeight() == 0) std::abort();
    // Touch the last byte: the buffer must be as large as the size says.
    const size_t bytes = size_t(image.GetPitch()) * image.GetHeight();
    volatile uint8_t last = image.GetBuffer()[bytes - 1];
    (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    for (const Image::Format wanted :
         {Image::Format::None, Image::Format::RGB, Image::Format::RGBA, Image::Format::Luminance}) {
        Image image;
        if (image.Load(data, static_cast<uint32_t>(size), wanted) != Image::Error::None) {
            if (image.GetBuffer() != nullptr || image.GetWidth() != 0) std::abort();
            continue;
        }
        Check(image);
        if (wanted != Image::Format::None && image.GetFormat() != wanted) std::abort();
        // Images too large to turn over cheaply are left at that.
        if (size_t(image.GetWidth()) * image.GetHeight() > (1u << 16)) continue;
        Image copy = image;
        copy.FlipDiagonally();
        copy.FlipHorizontally();
        copy.FlipVertically();
        Check(copy);
        if (copy.GetWidth() != image.GetHeight()) std::abort();
        if (image.GetFormat() == Image::Format::Luminance) image.ChangeFormat(Image::Format::RGB);
        GAME::BinaryWriter writer;
        if (!image.WriteTGA(writer)) continue;
        Image read;
        if (read.Load(writer.GetBuffer(), writer.GetPosition(), image.GetFormat()) != Image::Error::None ||
            read.GetWidth() != image.GetWidth() || read.GetHeight() != image.GetHeight() ||
            std::memcmp(read.GetBuffer(), image.GetBuffer(), size_t(image.GetPitch()) * image.GetHeight()) != 0) {
            std::abort();
        }
        image.ChangeFormat(Image::Format::Luminance);
        Check(image);
    }
    return 0;
}
