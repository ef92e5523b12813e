#include "render/PngFile.h"

#include "render/ImageFileCheck.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace GAME {

namespace {

// The bytes libpng reads from, and the reason it gave up.
struct PngSource {
    const uint8_t* data;
    uint32_t size;
    uint32_t position;
    char why[160];
};

void ReadPngBytes(png_structp png, png_bytep out, size_t count) {
    PngSource& source = *static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source.size - source.position) png_error(png, "the file is cut short");
    std::memcpy(out, source.data + source.position, count);
    source.position += uint32_t(count);
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    PngSource& source = *static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source.why, sizeof(source.why), "%s", message);
    png_longjmp(png, 1);
}

// Warnings are about ancillary chunks, which are passed over.
void OnPngWarning(png_structp, png_const_charp) {}

// Reads the picture; libpng's errors jump back to the start. Only trivially destructible objects
// live in this frame, and image belongs to the caller.
Image::Error DecodePng(png_structp png, png_infop info, Image& image, ImageFileCheck::Report& report) {
    if (setjmp(png_jmpbuf(png)) != 0) return Image::Error::BadFileData;
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const Image::Error sizeError = ImageFileCheck::CheckSize(report, "PNG", width, height);
    if (sizeError != Image::Error::None) return sizeError;
    const png_byte colourType = png_get_color_type(png, info);
    const png_byte depth = png_get_bit_depth(png, info);
    // 16-bit samples are read as 8-bit ones, so they count as 8 bits: a 16-bit RGB file is RGB
    // to a caller who wants none in particular, and 16-bit grey with alpha is grey.
    report.fileBits = uint32_t(depth == 16 ? 8 : depth) * png_get_channels(png, info);

    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (transparency) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_scale_16(png);
    // Grey with alpha has no format of its own.
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0 && ((colourType & PNG_COLOR_MASK_ALPHA) != 0 || transparency)) {
        png_set_gray_to_rgb(png);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_byte channels = png_get_channels(png, info);
    const Image::Format format = channels == 4 ? Image::Format::RGBA
                                 : channels == 3 ? Image::Format::RGB
                                                 : Image::Format::Luminance;
    if (!image.Create(width, height, format)) return Image::Error::OutOfMemory;
    if (png_get_rowbytes(png, info) != image.GetPitch()) png_error(png, "unexpected row size");
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, image.GetBuffer() + size_t(y) * image.GetPitch(), nullptr);
    }
    // The chunks after the pixels are checked too: a file cut before its end chunk is not whole.
    png_read_end(png, nullptr);
    return Image::Error::None;
}

}  // namespace

Image::Error PngFile::Read(const uint8_t* data, uint32_t size, Image& image, ImageFileCheck::Report& report) {
    PngSource source{data, size, 0, ""};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnPngError, OnPngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return ImageFileCheck::Refuse(report, Image::Error::OutOfMemory, "libpng could not start");
    }
    png_set_read_fn(png, &source, ReadPngBytes);
    const Image::Error error = DecodePng(png, info, image, report);
    png_destroy_read_struct(&png, &info, nullptr);
    if (error == Image::Error::BadFileData && report.why.empty()) {
        return ImageFileCheck::Refuse(report, error, "the PNG file is corrupt or cut short (libpng: %s)", source.why);
    }
    return error;
}

}  // namespace GAME
