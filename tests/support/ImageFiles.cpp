#include "support/ImageFiles.h"

#include "files/BinaryWriter.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

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

// value (0-255) as the nearest of the levels of an n-bit channel.
uint32_t ToLevel(uint8_t value, uint32_t bits) {
    const uint32_t largest = (1u << bits) - 1u;
    return (value * largest + 127u) / 255u;
}

// An RGB colour as 16 bits: R, G, B of the bit counts given (5-5-5 or 5-6-5), from the top.
uint16_t Pack16(const uint8_t* colour, uint32_t greenBits) {
    return uint16_t(ToLevel(colour[0], 5) << (5 + greenBits) | ToLevel(colour[1], greenBits) << 5 |
                    ToLevel(colour[2], 5));
}

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
    // 16-bit colours keep the top bit set, and say so: it is still no alpha.
    const uint32_t colourBits = form.sixteenBits ? 16 : bytes * 8;
    const uint32_t alphaBits = form.sixteenBits ? 1 : bytes == 4 ? 8 : 0;
    const auto writeColour = [&form, bytes](BinaryWriter& out, const uint8_t* colour) {
        if (form.sixteenBits) {
            out.Write(uint16_t(0x8000 | Pack16(colour, 5)));
        } else {
            WriteBgr(out, colour, bytes);
        }
    };
    writer.Write(uint16_t(form.colourMapped ? palette.colours.size() : 0));
    writer.Write(uint8_t(form.colourMapped ? colourBits : 0));
    writer.Write(uint16_t(0));
    writer.Write(uint16_t(0));
    writer.Write(uint16_t(width));
    writer.Write(uint16_t(height));
    writer.Write(uint8_t(form.colourMapped ? 8 : colourBits));
    writer.Write(uint8_t((form.topFirst ? 0x20 : 0) | (form.rightToLeft ? 0x10 : 0) | alphaBits));
    writer.Write("id!", 3);
    if (form.colourMapped) {
        for (const std::vector<uint8_t>& colour : palette.colours) writeColour(writer, colour.data());
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
                writeColour(pixel, PixelAt(image, x, y));
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

namespace {

// One row of palette indices run-length encoded (RLE8, or RLE4 with two indices a byte): runs of
// equal indices, stored runs of three or more unequal ones, and for RLE4 pairs of unequal ones as
// one alternating run; then the end-of-line code.
void WriteRunLengthRow(BinaryWriter& writer, const uint8_t* indices, uint32_t width, bool fourBits) {
    const auto pair = [fourBits](uint8_t first, uint8_t second) {
        return fourBits ? uint8_t(first << 4 | second) : first;
    };
    for (uint32_t x = 0; x < width;) {
        uint32_t same = 1;
        while (x + same < width && same < 255 && indices[x + same] == indices[x]) ++same;
        if (same >= 2) {
            writer.Write(uint8_t(same));
            writer.Write(pair(indices[x], indices[x]));
            x += same;
            continue;
        }
        uint32_t differing = 1;
        while (x + differing < width && differing < 255 &&
               (x + differing + 1 >= width || indices[x + differing] != indices[x + differing + 1])) {
            ++differing;
        }
        if (differing < 3) {
            const uint32_t count = fourBits ? differing : 1;
            writer.Write(uint8_t(count));
            writer.Write(pair(indices[x], count == 2 ? indices[x + 1] : 0));
            x += count;
            continue;
        }
        writer.Write(uint8_t(0));
        writer.Write(uint8_t(differing));
        BinaryWriter stored;
        for (uint32_t i = 0; i < differing; i += fourBits ? 2 : 1) {
            stored.Write(pair(indices[x + i], i + 1 < differing ? indices[x + i + 1] : 0));
        }
        if (stored.GetPosition() % 2 != 0) stored.Write(uint8_t(0));
        writer.Write(stored.GetBuffer(), stored.GetPosition());
        x += differing;
    }
    writer.Write(uint8_t(0));
    writer.Write(uint8_t(0));
}

}  // namespace

std::vector<uint8_t> MakeBmp(const Image& image, const BmpForm& form) {
    const uint32_t bytes = PixelBytes(image);
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    const bool core = form.headerBytes == 12;
    const bool palettised = form.indexBits != 0;
    const uint32_t bits = palettised ? form.indexBits : form.sixteenBits ? 16 : bytes * 8;
    const Palette palette(image);
    if (palettised && palette.colours.size() > (1u << bits)) std::abort();
    const uint32_t entryBytes = core ? 3 : 4;
    const uint32_t paletteBytes = palettised ? uint32_t(palette.colours.size()) * entryBytes : 0;
    // Masks: R, G, B (and A at 32 bits); after a 40-byte header 16-bit files give three.
    const uint32_t masks16[4] = {0xF800, 0x07E0, 0x001F, 0};
    const uint32_t masks32[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
    const uint32_t* masks = bits == 16 ? masks16 : masks32;
    const bool masksAfterHeader = form.masks && form.headerBytes == 40;
    const uint32_t masksAfter = masksAfterHeader ? (bits == 16 ? 3 : 4) : 0;
    const uint32_t compression = palettised && form.runLength ? (bits == 8 ? 1 : 2)
                                 : form.masks                 ? (masksAfter == 4 ? 6 : 3)
                                                              : 0;

    // The pixels, rows in file order.
    BinaryWriter pixels;
    const uint32_t stride = (width * bits + 31) / 32 * 4;
    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t y = form.topFirst ? row : height - 1 - row;
        const uint8_t* indices = palette.indices.data() + size_t(y) * width;
        if (palettised && form.runLength) {
            WriteRunLengthRow(pixels, indices, width, bits == 4);
            continue;
        }
        const uint32_t start = pixels.GetPosition();
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* pixel = PixelAt(image, x, y);
            if (palettised) {
                // Indices from the top bits of each byte down.
                const uint32_t perByte = 8 / bits;
                if (x % perByte != 0) continue;
                uint8_t packed = 0;
                for (uint32_t i = 0; i < perByte && x + i < width; ++i) {
                    packed = uint8_t(packed | indices[x + i] << (8 - bits * (i + 1)));
                }
                pixels.Write(packed);
            } else if (bits == 16) {
                pixels.Write(Pack16(pixel, form.masks ? 6 : 5));
            } else if (form.masks) {
                pixels.Write(pixel, 4);
            } else {
                WriteBgr(pixels, pixel, bytes);
            }
        }
        while (pixels.GetPosition() - start < stride) pixels.Write(uint8_t(0));
    }
    if (palettised && form.runLength) {
        pixels.Write(uint8_t(0));
        pixels.Write(uint8_t(1));  // the end of the picture
    }

    const uint32_t pixelOffset = 14 + form.headerBytes + masksAfter * 4 + paletteBytes;
    BinaryWriter writer;
    writer.Write(uint8_t('B'));
    writer.Write(uint8_t('M'));
    writer.Write(pixelOffset + pixels.GetPosition());
    writer.Write(uint32_t(0));
    writer.Write(pixelOffset);
    writer.Write(form.headerBytes);
    if (core) {
        writer.Write(uint16_t(width));
        writer.Write(uint16_t(height));
        writer.Write(uint16_t(1));
        writer.Write(uint16_t(bits));
    } else {
        writer.Write(int32_t(width));
        writer.Write(form.topFirst ? -int32_t(height) : int32_t(height));
        writer.Write(uint16_t(1));
        writer.Write(uint16_t(bits));
        writer.Write(compression);
        writer.Write(pixels.GetPosition());
        writer.Write(uint32_t(2835));
        writer.Write(uint32_t(2835));
        writer.Write(uint32_t(palettised ? palette.colours.size() : 0));
        writer.Write(uint32_t(0));
        // The masks (in a longer header, or after the 40-byte one), then the rest of a longer
        // header left 0.
        uint32_t written = 40;
        if (form.masks) {
            for (uint32_t i = 0; i < (masksAfterHeader ? masksAfter : 4); ++i) writer.Write(masks[i]);
            if (!masksAfterHeader) written += 16;
        }
        for (; written < form.headerBytes; written += 4) writer.Write(uint32_t(0));
    }
    for (const std::vector<uint8_t>& colour : palette.colours) {
        if (!palettised) break;
        WriteBgr(writer, colour.data(), 3);
        if (!core) writer.Write(uint8_t(0));
    }
    writer.Write(pixels.GetBuffer(), pixels.GetPosition());
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
    const int colourType = form.palettised  ? PNG_COLOR_TYPE_PALETTE
                           : form.greyAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA
                           : bytes == 1     ? PNG_COLOR_TYPE_GRAY
                           : bytes == 3     ? PNG_COLOR_TYPE_RGB
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
            for (uint32_t c = 0; c < bytes; c += form.greyAlpha ? 3 : 1) {
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

namespace GAME::test {

std::vector<uint8_t> MakeCmykJpeg(const Image& inks, bool adobeMarker) {
    jpeg_compress_struct info = {};
    jpeg_error_mgr errors = {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = inks.GetWidth();
    info.image_height = inks.GetHeight();
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    info.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(inks.GetWidth()) * 4);
    while (info.next_scanline < info.image_height) {
        const uint8_t* in = inks.GetBuffer() + size_t(info.next_scanline) * inks.GetPitch();
        for (size_t i = 0; i < row.size(); ++i) row[i] = adobeMarker ? uint8_t(255 - in[i]) : in[i];
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace GAME::test
