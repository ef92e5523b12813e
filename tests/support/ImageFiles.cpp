#include "support/ImageFiles.h"

#include "files/BinaryWriter.h"

#include <png.h>

#include <cstdlib>
#include <cstring>

namespace GAME::test {

namespace {

std::vector<uint8_t> Bytes(const BinaryWriter& writer) {
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

uint32_t PixelBytes(const Image& image) { return image.GetBitsPerPixel() / 8; }

const uint8_t* PixelAt(const Image& image, uint32_t x, uint32_t y) {
    return image.GetBuffer() + (size_t(y) * image.GetWidth() + x) * PixelBytes(image);
}

// The image's distinct colours in order of first appearance, and each pixel's index among them.
struct Palette {
    explicit Palette(const Image& image) {
        const uint32_t bytes = PixelBytes(image);
        for (uint32_t y = 0; y < image.GetHeight(); ++y) {
            for (uint32_t x = 0; x < image.GetWidth(); ++x) {
                const std::vector<uint8_t> colour(PixelAt(image, x, y), PixelAt(image, x, y) + bytes);
                size_t index = 0;
                while (index < colours.size() && colours[index] != colour) ++index;
                if (index == colours.size()) colours.push_back(colour);
                if (colours.size() > 256) std::abort();
                indices.push_back(uint8_t(index));
            }
        }
    }
    std::vector<std::vector<uint8_t>> colours;
    std::vector<uint8_t> indices;  // rows top first
};

void WriteBgr(BinaryWriter& writer, const uint8_t* colour, uint32_t bytes) {
    if (bytes == 1) {
        writer.Write(colour[0]);
        return;
    }
    writer.Write(colour[2]);
    writer.Write(colour[1]);
    writer.Write(colour[0]);
    if (bytes == 4) writer.Write(colour[3]);
}

}  // namespace

std::vector<uint8_t> MakeTga(const Image& image, const TgaForm& form) {
    const uint32_t bytes = PixelBytes(image);
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    const Palette palette(image);
    BinaryWriter writer;
    writer.Write(uint8_t(3));  // identification: passed over by readers
    writer.Write(uint8_t(form.colourMapped ? 1 : 0));
    const uint8_t kind = form.colourMapped ? 1 : bytes == 1 ? 3 : 2;
    writer.Write(uint8_t(kind + (form.runLength ? 8 : 0)));
    writer.Write(uint16_t(form.colourMapped ? form.mapStart : 0));
    writer.Write(uint16_t(form.colourMapped ? palette.colours.size() : 0));
    writer.Write(uint8_t(form.colourMapped ? bytes * 8 : 0));
    writer.Write(uint16_t(0));
    writer.Write(uint16_t(0));
    writer.Write(uint16_t(width));
    writer.Write(uint16_t(height));
    writer.Write(uint8_t(form.colourMapped ? 8 : bytes * 8));
    writer.Write(uint8_t((form.topFirst ? 0x20 : 0) | (form.rightToLeft ? 0x10 : 0) | (bytes == 4 ? 8 : 0)));
    writer.Write("id!", 3);
    if (form.colourMapped) {
        for (const std::vector<uint8_t>& colour : palette.colours) WriteBgr(writer, colour.data(), bytes);
    }
    // The stored pixels in file order, each as its stored bytes.
    std::vector<std::vector<uint8_t>> stored;
    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t y = form.topFirst ? row : height - 1 - row;
        for (uint32_t column = 0; column < width; ++column) {
            const uint32_t x = form.rightToLeft ? width - 1 - column : column;
            BinaryWriter pixel;
            if (form.colourMapped) {
                pixel.Write(uint8_t(form.mapStart + palette.indices[size_t(y) * width + x]));
            } else {
                WriteBgr(pixel, PixelAt(image, x, y), bytes);
            }
            stored.push_back(Bytes(pixel));
        }
    }
    // Run-length packets: repeats of equal pixels, raw packets between them, up to 128 pixels
    // each and running on across rows.
    for (size_t at = 0; at < stored.size();) {
        if (!form.runLength) {
            writer.Write(stored[at].data(), uint32_t(stored[at].size()));
            ++at;
            continue;
        }
        size_t same = 1;
        while (at + same < stored.size() && same < 128 && stored[at + same] == stored[at]) ++same;
        if (same >= 2) {
            writer.Write(uint8_t(0x80 | (same - 1)));
            writer.Write(stored[at].data(), uint32_t(stored[at].size()));
            at += same;
            continue;
        }
        size_t raw = 1;
        while (at + raw < stored.size() && raw < 128 &&
               (at + raw + 1 >= stored.size() || stored[at + raw] != stored[at + raw + 1])) {
            ++raw;
        }
        writer.Write(uint8_t(raw - 1));
        for (size_t i = 0; i < raw; ++i) writer.Write(stored[at + i].data(), uint32_t(stored[at + i].size()));
        at += raw;
    }
    return Bytes(writer);
}

std::vector<uint8_t> MakeBmp(const Image& image, const BmpForm& form) {
    const uint32_t bytes = PixelBytes(image);
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    const uint32_t bits = form.palettised ? 8 : bytes * 8;
    const Palette palette(image);
    const uint32_t paletteBytes = form.palettised ? uint32_t(palette.colours.size()) * 4 : 0;
    const bool masksAfterHeader = form.masks && form.headerBytes == 40;
    const uint32_t pixelOffset = 14 + form.headerBytes + (masksAfterHeader ? 16 : 0) + paletteBytes;
    const uint32_t stride = (width * bits + 31) / 32 * 4;
    BinaryWriter writer;
    writer.Write(uint8_t('B'));
    writer.Write(uint8_t('M'));
    writer.Write(pixelOffset + stride * height);
    writer.Write(uint32_t(0));
    writer.Write(pixelOffset);
    writer.Write(form.headerBytes);
    writer.Write(int32_t(width));
    writer.Write(form.topFirst ? -int32_t(height) : int32_t(height));
    writer.Write(uint16_t(1));
    writer.Write(uint16_t(bits));
    writer.Write(uint32_t(form.masks ? (masksAfterHeader ? 6 : 3) : 0));
    writer.Write(stride * height);
    writer.Write(uint32_t(2835));
    writer.Write(uint32_t(2835));
    writer.Write(uint32_t(form.palettised ? palette.colours.size() : 0));
    writer.Write(uint32_t(0));
    // Masks for R, G, B, A (in a longer header, or after the 40-byte one), then the rest of a
    // longer header left 0.
    const uint32_t masks[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
    uint32_t written = 40;
    if (form.masks) {
        for (const uint32_t mask : masks) writer.Write(mask);
        if (!masksAfterHeader) written += 16;
    }
    for (; written < form.headerBytes; written += 4) writer.Write(uint32_t(0));
    for (const std::vector<uint8_t>& colour : palette.colours) {
        if (!form.palettised) break;
        WriteBgr(writer, colour.data(), 3);
        writer.Write(uint8_t(0));
    }
    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t y = form.topFirst ? row : height - 1 - row;
        uint32_t rowBytes = 0;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* pixel = PixelAt(image, x, y);
            if (form.palettised) {
                writer.Write(palette.indices[size_t(y) * width + x]);
            } else if (form.masks) {
                writer.Write(pixel, 4);
            } else {
                WriteBgr(writer, pixel, bytes);
            }
            rowBytes += bits / 8;
        }
        for (; rowBytes < stride; ++rowBytes) writer.Write(uint8_t(0));
    }
    return Bytes(writer);
}

namespace {

void AppendPngBytes(png_structp png, png_bytep data, size_t size) {
    auto& out = *static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out.insert(out.end(), data, data + size);
}

void FlushPng(png_structp) {}

}  // namespace

std::vector<uint8_t> MakePng(const Image& image, const PngForm& form) {
    const uint32_t bytes = PixelBytes(image);
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    const Palette palette(image);
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) std::abort();
    png_set_write_fn(png, &out, AppendPngBytes, FlushPng);
    const int colourType = form.palettised ? PNG_COLOR_TYPE_PALETTE
                           : bytes == 1    ? PNG_COLOR_TYPE_GRAY
                           : bytes == 3    ? PNG_COLOR_TYPE_RGB
                                           : PNG_COLOR_TYPE_RGBA;
    png_set_IHDR(png, info, width, height, form.sixteenBits ? 16 : 8, colourType,
                 form.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> colours;
    std::vector<png_byte> alphas;
    if (form.palettised) {
        for (const std::vector<uint8_t>& colour : palette.colours) {
            colours.push_back(png_color{colour[0], colour[bytes == 1 ? 0 : 1], colour[bytes == 1 ? 0 : 2]});
            if (bytes == 4) alphas.push_back(colour[3]);
        }
        png_set_PLTE(png, info, colours.data(), int(colours.size()));
        if (!alphas.empty()) png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
    }
    png_write_info(png, info);
    // Rows as stored: indices, or samples (big-endian pairs of v x 257 for 16 bits).
    std::vector<std::vector<png_byte>> rows(height);
    std::vector<png_bytep> rowPointers;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            if (form.palettised) {
                rows[y].push_back(palette.indices[size_t(y) * width + x]);
                continue;
            }
            for (uint32_t c = 0; c < bytes; ++c) {
                rows[y].push_back(PixelAt(image, x, y)[c]);
                if (form.sixteenBits) rows[y].push_back(PixelAt(image, x, y)[c]);
            }
        }
        rowPointers.push_back(rows[y].data());
    }
    png_write_image(png, rowPointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace GAME::test
