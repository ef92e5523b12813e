// Images: TGA bytes and round trips, JPEG round trips, every form of every file format read against
// the pixels it was made from, the formats callers get, hostile and cut files, flips (a non-square
// transpose included), format changes, copies, and loads on several threads.

#include "render/Image.h"

#include "files/BinaryWriter.h"
#include "support/ImageFiles.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace GAME::test {
namespace {

// A width x height picture whose pixel (x, y) is (10 x, 20 y, x + y, 200 + x) (the last only for
// RGBA), so that every pixel and channel can be told apart.
Image MakePattern(uint32_t width, uint32_t height, Image::Format format) {
    Image image;
    EXPECT_TRUE(image.Create(width, height, format));
    const uint32_t bytes = image.GetBitsPerPixel() / 8;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* pixel = image.GetBuffer() + (size_t(y) * width + x) * bytes;
            const uint8_t channels[4] = {uint8_t(10 * x), uint8_t(20 * y), uint8_t(x + y), uint8_t(200 + x)};
            std::memcpy(pixel, channels, bytes);
        }
    }
    return image;
}

std::vector<uint8_t> Pixel(const Image& image, uint32_t x, uint32_t y) {
    const uint32_t bytes = image.GetBitsPerPixel() / 8;
    const uint8_t* pixel = image.GetBuffer() + (size_t(y) * image.GetWidth() + x) * bytes;
    return std::vector<uint8_t>(pixel, pixel + bytes);
}

std::vector<uint8_t> Tga(const Image& image) {
    BinaryWriter writer;
    EXPECT_TRUE(image.WriteTGA(writer));
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

bool SamePixels(const Image& a, const Image& b) {
    return a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() && a.GetFormat() == b.GetFormat() &&
           std::memcmp(a.GetBuffer(), b.GetBuffer(), size_t(a.GetPitch()) * a.GetHeight()) == 0;
}

TEST(ImageTest, TgaFilesAreBottomUpBgrAndReadBackAsTheyWere) {
    const Image rgba = MakePattern(3, 2, Image::Format::RGBA);
    const std::vector<uint8_t> bytes = Tga(rgba);
    ASSERT_EQ(bytes.size(), 18u + 3 * 2 * 4);
    const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), header, 18), 0);
    // The bottom row (y = 1) first, its first pixel (10 x 0, 20, 1, 200) as B, G, R, A.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 18, bytes.begin() + 22), (std::vector<uint8_t>{1, 20, 0, 200}));

    Image read;
    ASSERT_EQ(read.Load(bytes.data(), uint32_t(bytes.size()), Image::Format::None), Image::Error::None);
    EXPECT_TRUE(SamePixels(read, rgba));
    const Image rgb = MakePattern(5, 4, Image::Format::RGB);
    const std::vector<uint8_t> rgbBytes = Tga(rgb);
    EXPECT_EQ(rgbBytes[16], 24);
    ASSERT_EQ(read.Load(rgbBytes.data(), uint32_t(rgbBytes.size()), Image::Format::None), Image::Error::None);
    EXPECT_TRUE(SamePixels(read, rgb));
    // Asked for luminance, colour files are converted.
    ASSERT_EQ(read.Load(rgbBytes.data(), uint32_t(rgbBytes.size()), Image::Format::Luminance), Image::Error::None);
    EXPECT_EQ(read.GetFormat(), Image::Format::Luminance);

    // Luminance and oversized images are not written at all.
    BinaryWriter writer;
    EXPECT_FALSE(MakePattern(2, 2, Image::Format::Luminance).WriteTGA(writer));
    Image wide;
    ASSERT_TRUE(wide.Create(Image::kMaxTgaSize + 1, 1, Image::Format::RGB));
    EXPECT_FALSE(wide.WriteTGA(writer));
    EXPECT_EQ(writer.GetPosition(), 0u);
}

TEST(ImageTest, JpegFilesRoundTripTopRowFirst) {
    TempDirectory directory;
    // Red above blue, in blocks big enough to survive compression.
    Image image;
    ASSERT_TRUE(image.Create(16, 16, Image::Format::RGBA));
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            const uint8_t pixel[4] = {uint8_t(y < 8 ? 255 : 0), 0, uint8_t(y < 8 ? 0 : 255), 255};
            std::memcpy(image.GetBuffer() + (y * 16 + x) * 4, pixel, 4);
        }
    }
    const std::string path = directory.Join("Shots/Deeper/shot.jpg");
    ASSERT_EQ(image.SaveJPG(path.c_str()), Image::Error::None);
    ASSERT_EQ(image.SaveJPG(path.c_str()), Image::Error::None);  // overwriting is fine
    Image read;
    ASSERT_EQ(read.Load(path.c_str(), Image::Format::None), Image::Error::None);
    ASSERT_TRUE(read.GetFormat() == Image::Format::RGB && read.GetWidth() == 16u);
    const std::vector<uint8_t> top = Pixel(read, 4, 2);
    const std::vector<uint8_t> bottom = Pixel(read, 4, 13);
    EXPECT_TRUE(top[0] > 200 && top[2] < 60) << int(top[0]) << " " << int(top[2]);
    EXPECT_TRUE(bottom[0] < 60 && bottom[2] > 200) << int(bottom[0]) << " " << int(bottom[2]);

    EXPECT_EQ(Image().SaveJPG(path.c_str()), Image::Error::FormatNotSupported);
}

// An 8-bit palettised BMP of 4 x 2 pixels: palette index i is grey 30 i.
std::vector<uint8_t> MakePalettisedBmp() {
    BinaryWriter writer;
    const uint32_t paletteBytes = 256 * 4;
    const uint32_t pixelBytes = 4 * 2;
    writer.Write(uint8_t('B'));
    writer.Write(uint8_t('M'));
    writer.Write(uint32_t(54 + paletteBytes + pixelBytes));
    writer.Write(uint32_t(0));
    writer.Write(uint32_t(54 + paletteBytes));
    writer.Write(uint32_t(40));  // header size
    writer.Write(int32_t(4));
    writer.Write(int32_t(2));
    writer.Write(uint16_t(1));
    writer.Write(uint16_t(8));
    writer.Write(uint32_t(0));  // no compression
    writer.Write(pixelBytes);
    writer.Write(uint32_t(2835));
    writer.Write(uint32_t(2835));
    writer.Write(uint32_t(256));
    writer.Write(uint32_t(0));
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t grey = uint8_t(30 * i);
        for (const uint8_t channel : {grey, grey, grey, uint8_t(0)}) writer.Write(channel);
    }
    // Bottom row first: indices 4..7, then 0..3.
    for (const uint8_t index : std::initializer_list<uint8_t>{4, 5, 6, 7, 0, 1, 2, 3}) writer.Write(index);
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

TEST(ImageTest, PalettisedFilesReadAsLuminanceAndBrokenFilesFail) {
    const std::vector<uint8_t> bmp = MakePalettisedBmp();
    Image image;
    ASSERT_EQ(image.Load(bmp.data(), uint32_t(bmp.size()), Image::Format::None), Image::Error::None);
    EXPECT_EQ(image.GetFormat(), Image::Format::Luminance);
    EXPECT_EQ(Pixel(image, 1, 0), std::vector<uint8_t>{30});
    EXPECT_EQ(Pixel(image, 3, 1), std::vector<uint8_t>{7 * 30});

    const std::vector<uint8_t> tga = Tga(MakePattern(8, 8, Image::Format::RGBA));
    for (const uint32_t size : {1u, 18u, 100u, uint32_t(tga.size() - 1)}) {
        EXPECT_NE(image.Load(tga.data(), size, Image::Format::None), Image::Error::None) << size;
        EXPECT_TRUE(image.GetBuffer() == nullptr && image.GetWidth() == 0u) << size;
    }
    const std::string noise(200, '\x5a');
    EXPECT_NE(image.Load(noise.data(), uint32_t(noise.size()), Image::Format::None), Image::Error::None);
    EXPECT_EQ(image.Load(nullptr, 0, Image::Format::None), Image::Error::BadFileData);
    EXPECT_EQ(image.Load("/no/such/file.png", Image::Format::None), Image::Error::FileCannotBeOpened);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Jpeg(const Image& image) {
    const TempDirectory directory;
    const std::string path = directory.Join("image.jpg");
    EXPECT_EQ(image.SaveJPG(path.c_str()), Image::Error::None);
    return ReadBytes(path);
}

Image Converted(Image image, Image::Format format) {
    EXPECT_TRUE(image.ChangeFormat(format));
    return image;
}

// A picture with runs of equal pixels that cross rows, for the run-length forms.
Image MakeRuns(Image::Format format) {
    Image image = MakePattern(9, 4, format);
    const uint32_t bytes = image.GetBitsPerPixel() / 8;
    for (uint32_t i = 5; i < 22; ++i) std::memcpy(image.GetBuffer() + i * bytes, image.GetBuffer(), bytes);
    return image;
}

// A picture of few colours (16 distinct ones at most), one hexadecimal digit a pixel naming its
// colour, rows top first: for the 1 and 4-bit palettes and the run-length forms.
Image FromIndices(std::initializer_list<const char*> rows) {
    const uint32_t width = uint32_t(std::strlen(*rows.begin()));
    Image image;
    EXPECT_TRUE(image.Create(width, uint32_t(rows.size()), Image::Format::RGB));
    uint8_t* out = image.GetBuffer();
    for (const char* row : rows) {
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            const uint32_t index = uint32_t(std::stoul(std::string(1, row[x]), nullptr, 16));
            const uint8_t colour[3] = {uint8_t(index * 16), uint8_t(255 - index * 9), uint8_t(index * 37 % 251)};
            std::memcpy(out, colour, 3);
        }
    }
    return image;
}

// Runs of one colour, a stretch of 13 unequal ones, pairs and singles, across 13 (odd) columns.
Image MakeFewColours() {
    return FromIndices({"0000000000000", "0123456789abc", "0112223333445", "fe0f0ffffffe1"});
}

// The image with each channel at the nearest of the levels of a channel of so many bits (R, G,
// B), as a 16-bit file holds it: a 5-bit level k reads as k x 255 / 31, rounded.
Image AtLevels(Image image, const uint32_t (&bits)[3]) {
    for (uint32_t i = 0; i < image.GetWidth() * image.GetHeight() * 3; ++i) {
        const double largest = double((1u << bits[i % 3]) - 1u);
        const double level = std::round(image.GetBuffer()[i] * largest / 255.0);
        image.GetBuffer()[i] = uint8_t(std::lround(level * 255.0 / largest));
    }
    return image;
}

// Each form each reader takes decodes to the pixels it was made from, top row first. The width
// of 5 pads BMP rows.
TEST(ImageTest, EveryFileFormDecodesToItsPixels) {
    const Image rgb = MakePattern(5, 3, Image::Format::RGB);
    const Image rgba = MakePattern(5, 3, Image::Format::RGBA);
    const Image grey = Converted(rgb, Image::Format::Luminance);
    const Image runs = MakeRuns(Image::Format::RGBA);
    const Image greyRuns = Converted(MakeRuns(Image::Format::RGB), Image::Format::Luminance);
    const Image column = MakePattern(1, 3, Image::Format::RGB);
    const Image twoColours = FromIndices({"0110100111010", "1111111111111", "0000000000001"});
    const Image fewColours = MakeFewColours();
    // Every 5-bit level of red and blue, every 6-bit one of green (the pattern's 0-250 red, 0-150
    // green and 0-29 blue would leave most untried).
    Image wideRgb = MakePattern(16, 4, Image::Format::RGB);
    for (uint32_t i = 0; i < 64; ++i) {
        const uint8_t colour[3] = {uint8_t(i % 32 * 255 / 31), uint8_t(i * 255 / 63), uint8_t((31 - i % 32) * 8)};
        std::memcpy(wideRgb.GetBuffer() + i * 3, colour, 3);
    }
    const Image levels555 = AtLevels(wideRgb, {5, 5, 5});
    const Image levels565 = AtLevels(wideRgb, {5, 6, 5});
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const Image& expected;
    };
    const Case cases[] = {
        {"TGA 24 bits", MakeTga(rgb, {}), rgb},
        {"TGA 24 bits, one column", MakeTga(column, {}), column},
        {"TGA 32 bits, top first, right to left", MakeTga(rgba, {.topFirst = true, .rightToLeft = true}), rgba},
        {"TGA 32 bits, right to left", MakeTga(rgba, {.rightToLeft = true}), rgba},
        {"TGA run-length", MakeTga(runs, {.runLength = true}), runs},
        {"TGA colour-mapped 24 bits", MakeTga(rgb, {.colourMapped = true, .mapStart = 5}), rgb},
        {"TGA colour-mapped 32 bits, run-length", MakeTga(runs, {.colourMapped = true, .runLength = true}), runs},
        {"TGA grey", MakeTga(grey, {.topFirst = true}), grey},
        {"TGA grey run-length", MakeTga(greyRuns, {.runLength = true}), greyRuns},
        {"BMP 24 bits", MakeBmp(rgb, {}), rgb},
        {"BMP 24 bits, V5 header", MakeBmp(rgb, {.headerBytes = 124}), rgb},
        {"BMP 24 bits, top first", MakeBmp(rgb, {.topFirst = true}), rgb},
        {"BMP 8 bits", MakeBmp(rgb, {.indexBits = 8}), rgb},
        {"BMP 32 bits", MakeBmp(rgba, {}), rgba},
        {"BMP 32 bits, masks after the header", MakeBmp(rgba, {.masks = true}), rgba},
        {"BMP 32 bits, V4 header with masks", MakeBmp(rgba, {.headerBytes = 108, .masks = true}), rgba},
        {"BMP 32 bits, V5 header with masks", MakeBmp(rgba, {.headerBytes = 124, .masks = true}), rgba},
        {"BMP 1 bit", MakeBmp(twoColours, {.indexBits = 1}), twoColours},
        {"BMP 1 bit, core header", MakeBmp(twoColours, {.headerBytes = 12, .indexBits = 1}), twoColours},
        {"BMP 4 bits", MakeBmp(fewColours, {.indexBits = 4, .topFirst = true}), fewColours},
        {"BMP 4 bits, core header", MakeBmp(fewColours, {.headerBytes = 12, .indexBits = 4}), fewColours},
        {"BMP 8 bits, core header", MakeBmp(rgb, {.headerBytes = 12, .indexBits = 8}), rgb},
        {"BMP 24 bits, core header", MakeBmp(rgb, {.headerBytes = 12}), rgb},
        {"BMP RLE8", MakeBmp(fewColours, {.indexBits = 8, .runLength = true}), fewColours},
        {"BMP RLE8, V5 header", MakeBmp(rgb, {.headerBytes = 124, .indexBits = 8, .runLength = true}), rgb},
        {"BMP RLE4", MakeBmp(fewColours, {.indexBits = 4, .runLength = true}), fewColours},
        {"BMP 16 bits, 5-5-5", MakeBmp(wideRgb, {.sixteenBits = true}), levels555},
        {"BMP 16 bits, 5-6-5 masks", MakeBmp(wideRgb, {.sixteenBits = true, .masks = true}), levels565},
        {"BMP 16 bits, V5 header with 5-6-5 masks",
         MakeBmp(wideRgb, {.headerBytes = 124, .sixteenBits = true, .masks = true}), levels565},
        {"TGA 16 bits", MakeTga(wideRgb, {.sixteenBits = true}), levels555},
        {"TGA colour-mapped 16 bits, run-length",
         MakeTga(wideRgb, {.colourMapped = true, .runLength = true, .sixteenBits = true}), levels555},
        {"PNG grey", MakePng(grey, {}), grey},
        {"PNG RGB", MakePng(rgb, {}), rgb},
        {"PNG RGBA, interlaced", MakePng(rgba, {.interlaced = true}), rgba},
        {"PNG RGB, 16 bits", MakePng(rgb, {.sixteenBits = true}), rgb},
        {"PNG grey, 16 bits, interlaced", MakePng(grey, {.sixteenBits = true, .interlaced = true}), grey},
        {"PNG palettised", MakePng(rgb, {.palettised = true}), rgb},
        {"PNG palettised with transparency", MakePng(rgba, {.palettised = true}), rgba},
    };
    for (const Case& test : cases) {
        Image image;
        ASSERT_EQ(image.Load(test.bytes.data(), uint32_t(test.bytes.size()), test.expected.GetFormat()),
                  Image::Error::None)
            << test.name;
        EXPECT_TRUE(SamePixels(image, test.expected)) << test.name;
    }
    // Channels of 5 and 6 bits are scaled and rounded, not cut: 5-bit 16 is 132, 6-bit 32 is 130.
    Image image;
    const std::vector<uint8_t> sixteen = MakeBmp(wideRgb, {.sixteenBits = true, .masks = true});
    ASSERT_EQ(image.Load(sixteen.data(), uint32_t(sixteen.size()), Image::Format::RGB), Image::Error::None);
    EXPECT_EQ(Pixel(image, 0, 2), (std::vector<uint8_t>{0, 130, 247}));
    EXPECT_EQ(Pixel(image, 0, 1), (std::vector<uint8_t>{132, 65, 123}));
    // A 32-bit BMP whose fourth bytes are all 0 holds no alpha.
    Image clear = rgba;
    for (uint32_t i = 3; i < 5 * 3 * 4; i += 4) clear.GetBuffer()[i] = 0;
    const std::vector<uint8_t> bmp = MakeBmp(clear, {});
    ASSERT_EQ(image.Load(bmp.data(), uint32_t(bmp.size()), Image::Format::None), Image::Error::None);
    EXPECT_EQ(Pixel(image, 4, 2), (std::vector<uint8_t>{40, 40, 6, 255}));
}

// wanted None follows the depth the file stores; other wants are converted to.
TEST(ImageTest, FormatsFollowTheFileOrTheWish) {
    const Image rgb = MakePattern(4, 4, Image::Format::RGB);
    const Image rgba = MakePattern(4, 4, Image::Format::RGBA);
    Image greyColours = Converted(Converted(rgb, Image::Format::Luminance), Image::Format::RGB);
    const struct {
        std::vector<uint8_t> bytes;
        Image::Format format;
    } files[] = {
        {MakeTga(rgb, {}), Image::Format::RGB},
        {MakeTga(rgba, {.runLength = true}), Image::Format::RGBA},
        {MakeTga(greyColours, {.colourMapped = true}), Image::Format::Luminance},
        {MakeBmp(rgb, {.headerBytes = 124}), Image::Format::RGB},
        {MakeBmp(rgba, {.headerBytes = 124, .masks = true}), Image::Format::RGBA},
        {MakeBmp(greyColours, {.indexBits = 8}), Image::Format::Luminance},
        {MakeBmp(greyColours, {.indexBits = 4, .runLength = true}), Image::Format::Luminance},
        {MakeBmp(rgb, {.sixteenBits = true}), Image::Format::RGB},
        {MakeTga(rgb, {.sixteenBits = true}), Image::Format::RGB},
        {MakePng(rgb, {}), Image::Format::RGB},
        {MakePng(rgba, {}), Image::Format::RGBA},
        {MakePng(greyColours, {.palettised = true}), Image::Format::Luminance},
        {MakePng(Converted(rgb, Image::Format::Luminance), {}), Image::Format::Luminance},
        {Jpeg(rgb), Image::Format::RGB},
        {Jpeg(Converted(rgb, Image::Format::Luminance)), Image::Format::Luminance},
        // 16-bit samples are read at 8 bits, so they count as 8.
        {MakePng(rgb, {.sixteenBits = true}), Image::Format::RGB},
        {MakePng(rgba, {.sixteenBits = true}), Image::Format::RGBA},
        {MakePng(rgba, {.greyAlpha = true}), Image::Format::Luminance},
        {MakePng(rgba, {.greyAlpha = true, .sixteenBits = true}), Image::Format::Luminance},
    };
    for (const auto& file : files) {
        Image image;
        ASSERT_EQ(image.Load(file.bytes.data(), uint32_t(file.bytes.size()), Image::Format::None), Image::Error::None);
        EXPECT_EQ(image.GetFormat(), file.format) << &file - files;
    }
    // Palettised grey reads back exactly.
    Image image;
    ASSERT_EQ(image.Load(files[2].bytes.data(), uint32_t(files[2].bytes.size()), Image::Format::None),
              Image::Error::None);
    EXPECT_TRUE(SamePixels(image, Converted(greyColours, Image::Format::Luminance)));
    // Colours to luminance rounded: (10, 20, 2) gives 0.3 x 10 + 0.59 x 20 + 0.11 x 2 = 15.02.
    ASSERT_EQ(image.Load(files[0].bytes.data(), uint32_t(files[0].bytes.size()), Image::Format::Luminance),
              Image::Error::None);
    EXPECT_EQ(Pixel(image, 1, 1), std::vector<uint8_t>{15});
    ASSERT_EQ(image.Load(files[0].bytes.data(), uint32_t(files[0].bytes.size()), Image::Format::RGBA),
              Image::Error::None);
    EXPECT_EQ(Pixel(image, 1, 1), (std::vector<uint8_t>{10, 20, 2, 255}));
    ASSERT_EQ(image.Load(files[12].bytes.data(), uint32_t(files[12].bytes.size()), Image::Format::RGBA),
              Image::Error::None);
    EXPECT_EQ(Pixel(image, 1, 1), (std::vector<uint8_t>{15, 15, 15, 255}));
}

// Forms that are not read are unsupported (2); files that contradict themselves are bad data
// (3); both are logged.
TEST(ImageTest, HostileFilesAreRefusedByMeaning) {
    LogCapture log;
    Image image;
    const auto load = [&image](const std::vector<uint8_t>& bytes) {
        const Image::Error error = image.Load(bytes.data(), uint32_t(bytes.size()), Image::Format::None);
        EXPECT_EQ(image.GetBuffer(), nullptr);
        return error;
    };
    // The colour-mapped TGA that crashed the old decoder: its indices leave its colour map.
    const std::vector<uint8_t> crash = ReadBytes(GAME_IMAGE_CORPUS_DIRECTORY "/crash-palette-tga");
    ASSERT_FALSE(crash.empty());
    EXPECT_EQ(load(crash), Image::Error::BadFileData);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "a TGA colour index lies outside the colour map"));

    // Files with one byte changed.
    const Image rgb = MakePattern(4, 4, Image::Format::RGB);
    constexpr Image::Error bad = Image::Error::BadFileData, unread = Image::Error::FormatNotSupported;
    struct Patch {
        std::vector<uint8_t> file;
        ptrdiff_t at;  // from the end when negative
        uint8_t value;
        Image::Error error;
    };
    const Patch patches[] = {
        {MakeTga(rgb, {.colourMapped = true, .mapStart = 2}), -1, 1, bad},  // below the map's first index
        {MakeTga(rgb, {}), 16, 12, unread},                                 // 12-bit colours are not read
        {MakeTga(rgb, {}), 13, 0x20, unread},                               // 8196 wide
        {MakeBmp(rgb, {.indexBits = 8}), -1, 200, bad},                     // past the 16 palette entries
        {MakeBmp(rgb, {}), 21, 0x31, unread},                               // a width of about 822 million
        {MakeBmp(rgb, {}), 30, 1, unread},  // 24 bits run-length encoded, a JPEG or a PNG inside
        {MakeBmp(rgb, {}), 30, 4, unread},
        {MakeBmp(rgb, {}), 30, 5, unread},
        {MakeBmp(rgb, {.indexBits = 4, .runLength = true}), 28, 8, unread},  // RLE4 with 8-bit indices
        {MakeBmp(rgb, {}), 14, 16, unread},  // a header between the core one and the information one
        {MakeBmp(MakePattern(4, 4, Image::Format::RGBA), {.masks = true}), 56, 1, bad},  // red mask 0x000100FF
    };
    for (Patch patch : patches) {
        patch.file[size_t(patch.at < 0 ? ptrdiff_t(patch.file.size()) + patch.at : patch.at)] = patch.value;
        EXPECT_EQ(load(patch.file), patch.error) << patch.at << " " << int(patch.value);
    }
    EXPECT_EQ(load(std::vector<uint8_t>(200, 0x5A)), unread);
    // Pictures that declare more pixels than the file has room for are refused before their pixels
    // are allocated (small files of hostile or cut data claim pictures of many megabytes).
    struct Claim {
        std::vector<uint8_t> file;
        size_t widthAt;
        const char* error;
    };
    for (Claim claim : {Claim{MakeTga(rgb, {}), 13,
                              "TGA pixels are cut short: 4096 x 4 pixels need at least 49152 "
                              "bytes, and 48 are there"},
                        Claim{MakeTga(rgb, {.runLength = true}), 13, "4096 x 4 pixels need at least 512 bytes, and "},
                        Claim{MakeBmp(rgb, {}), 19,
                              "BMP pixels are cut short: 4096 x 4 pixels need at least 49152 "
                              "bytes, and 48 are there"}}) {
        claim.file[claim.widthAt - 1] = 0;
        claim.file[claim.widthAt] = 0x10;
        EXPECT_EQ(load(claim.file), Image::Error::BadFileData) << claim.error;
        EXPECT_TRUE(log.Contains(LogPriority::Error, claim.error)) << claim.error;
    }

    Image wide;
    ASSERT_TRUE(wide.Create(5000, 1, Image::Format::Luminance));
    std::memset(wide.GetBuffer(), 7, 5000);
    EXPECT_EQ(load(MakePng(wide, {})), Image::Error::FormatNotSupported);
    EXPECT_EQ(load(Jpeg(wide)), Image::Error::FormatNotSupported);
    std::vector<uint8_t> png = MakePng(rgb, {});
    png[png.size() - 20] ^= 0x40;  // inside the pixel data: its checksum no longer holds
    EXPECT_EQ(load(png), Image::Error::BadFileData);
    std::vector<uint8_t> jpeg = Jpeg(MakePattern(16, 16, Image::Format::RGB));
    jpeg.insert(jpeg.end() - 2, 40, 0x33);  // bytes that are no part of the scan
    EXPECT_EQ(load(jpeg), Image::Error::BadFileData);
}

// An 8-bit run-length BMP of 4 x 3 pixels (or as given) and three colours (0 grey, 1 red, 2
// blue), its codes as given.
std::vector<uint8_t> MakeRunLengthBmp(std::initializer_list<uint8_t> codes, int32_t width = 4, int32_t height = 3) {
    BinaryWriter writer;
    const uint32_t pixelOffset = 14 + 40 + 3 * 4;
    writer.Write(uint8_t('B'));
    writer.Write(uint8_t('M'));
    writer.Write(uint32_t(pixelOffset + codes.size()));
    writer.Write(uint32_t(0));
    writer.Write(pixelOffset);
    writer.Write(uint32_t(40));
    writer.Write(width);
    writer.Write(height);
    writer.Write(uint16_t(1));
    writer.Write(uint16_t(8));
    writer.Write(uint32_t(1));  // RLE8
    writer.Write(uint32_t(codes.size()));
    writer.Write(uint32_t(2835));
    writer.Write(uint32_t(2835));
    writer.Write(uint32_t(3));
    writer.Write(uint32_t(0));
    for (const uint32_t colour : {0x00808080u, 0x00FF0000u, 0x000000FFu}) writer.Write(colour);  // B, G, R, 0
    for (const uint8_t code : codes) writer.Write(code);
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

// Run-length codes that move on skip pixels (which take the first colour), runs are cut at the
// picture's edge, and a picture needs its end code; a file a common tool wrote reads as it shows.
TEST(ImageTest, RunLengthBmpsSkipClipAndEnd) {
    LogCapture log;
    const std::vector<uint8_t> bmp = MakeRunLengthBmp({
        3, 1, 0, 0,  // bottom row: three red, then the end of the line
        0, 2, 2, 1,  // a move 2 right and 1 up, over the middle row, to the top row's third pixel
        6, 2,        // six blue: two fit
        0, 1,        // the end
    });
    Image image;
    ASSERT_EQ(image.Load(bmp.data(), uint32_t(bmp.size()), Image::Format::RGB), Image::Error::None);
    const std::vector<uint8_t> grey{128, 128, 128}, red{255, 0, 0}, blue{0, 0, 255};
    const std::vector<uint8_t> expected[3][4] = {
        {grey, grey, blue, blue}, {grey, grey, grey, grey}, {red, red, red, grey}};
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(Pixel(image, x, y), expected[y][x]) << x << ", " << y;
    }
    // A move 1 right and 1 up, then stored indices, an odd count padded to a whole word.
    const std::vector<uint8_t> stored = MakeRunLengthBmp({0, 2, 1, 1, 0, 3, 1, 2, 1, 0, 0, 1});
    ASSERT_EQ(image.Load(stored.data(), uint32_t(stored.size()), Image::Format::RGB), Image::Error::None);
    const std::vector<uint8_t> middle[4] = {grey, red, blue, red};
    for (uint32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(Pixel(image, x, 1), middle[x]) << x;
        EXPECT_EQ(Pixel(image, x, 2), grey) << x;
    }
    // Cut anywhere (before its end code, in its indices, in its move) the picture is cut short.
    for (size_t cut = 2; cut <= 10; cut += 2) {
        EXPECT_EQ(image.Load(stored.data(), uint32_t(stored.size() - cut), Image::Format::RGB),
                  Image::Error::BadFileData);
    }
    EXPECT_TRUE(log.Contains(LogPriority::Error, "the BMP RLE8 pixels are cut short"));
    // An index past the three colours.
    const std::vector<uint8_t> outside = MakeRunLengthBmp({2, 3, 0, 1});
    EXPECT_EQ(image.Load(outside.data(), uint32_t(outside.size()), Image::Format::RGB), Image::Error::BadFileData);
    // A picture of 2048 x 2048 in a few bytes: a move 255 right and up, two red, the end.
    const std::vector<uint8_t> sparse = MakeRunLengthBmp({0, 2, 255, 255, 2, 1, 0, 1}, 2048, 2048);
    ASSERT_EQ(image.Load(sparse.data(), uint32_t(sparse.size()), Image::Format::RGB), Image::Error::None);
    EXPECT_EQ(std::tuple(Pixel(image, 256, 1792), Pixel(image, 257, 1792), Pixel(image, 2047, 0)),
              std::tuple(red, grey, grey));

    // An 8-bit picture as ImageMagick writes it by default: run-length encoded, V5 header.
    const std::vector<uint8_t> written = ReadBytes(GAME_IMAGE_CORPUS_DIRECTORY "/regression-rle8-v5-header.bmp");
    ASSERT_EQ(image.Load(written.data(), uint32_t(written.size()), Image::Format::None), Image::Error::None);
    EXPECT_EQ(image.GetFormat(), Image::Format::Luminance);  // palettised
    ASSERT_EQ(image.Load(written.data(), uint32_t(written.size()), Image::Format::RGB), Image::Error::None);
    ASSERT_EQ(image.GetWidth(), 30u);
    ASSERT_EQ(image.GetHeight(), 18u);
    EXPECT_EQ(Pixel(image, 0, 0), (std::vector<uint8_t>{107, 198, 90}));
    EXPECT_EQ(Pixel(image, 29, 0), (std::vector<uint8_t>{135, 165, 101}));
    EXPECT_EQ(Pixel(image, 0, 17), (std::vector<uint8_t>{135, 13, 83}));
    EXPECT_EQ(Pixel(image, 29, 17), (std::vector<uint8_t>{26, 56, 40}));
    EXPECT_EQ(Pixel(image, 15, 9), (std::vector<uint8_t>{88, 50, 42}));
    uint64_t sum = 0;
    for (uint32_t i = 0; i < 30 * 18 * 3; ++i) sum += image.GetBuffer()[i];
    EXPECT_EQ(sum, 116266u);
}

// CMYK files become RGB, whether their inks are stored inverted (with the Adobe marker) or not.
TEST(ImageTest, CmykJpegsBecomeRgb) {
    // Four 8 x 8 blocks of C, M, Y, K: red, a dark orange, cyan and no ink.
    Image inks;
    ASSERT_TRUE(inks.Create(16, 16, Image::Format::RGBA));
    const uint8_t blocks[4][4] = {{0, 255, 255, 0}, {0, 128, 255, 64}, {255, 0, 0, 0}, {0, 0, 0, 0}};
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            std::memcpy(inks.GetBuffer() + (y * 16 + x) * 4, blocks[y / 8 * 2 + x / 8], 4);
        }
    }
    // Each ink's complement times black's: (255 - 128) x (255 - 64) / 255 = 95.1.
    const int expected[4][3] = {{255, 0, 0}, {191, 95, 0}, {0, 255, 255}, {255, 255, 255}};
    for (const bool adobe : {true, false}) {
        const std::vector<uint8_t> jpeg = MakeCmykJpeg(inks, adobe);
        Image image;
        ASSERT_EQ(image.Load(jpeg.data(), uint32_t(jpeg.size()), Image::Format::None), Image::Error::None) << adobe;
        ASSERT_EQ(image.GetFormat(), Image::Format::RGB);
        for (uint32_t block = 0; block < 4; ++block) {
            const std::vector<uint8_t> pixel = Pixel(image, block % 2 * 8 + 3, block / 2 * 8 + 4);
            for (uint32_t c = 0; c < 3; ++c) {
                EXPECT_NEAR(pixel[c], expected[block][c], 2) << adobe << " block " << block << " channel " << c;
            }
        }
    }
}

// One line for each refusal: the file, what it holds, and what is read.
TEST(ImageTest, RefusalsNameTheFileWhatItHoldsAndWhatIsRead) {
    TempDirectory directory;
    const std::string path = directory.Join("Refused");
    const auto refusal = [&path](const std::vector<uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        LogCapture log;
        Image image;
        EXPECT_NE(image.Load(path.c_str(), Image::Format::None), Image::Error::None);
        const std::vector<LogCapture::Line> lines = log.Lines();
        EXPECT_EQ(lines.size(), 1u);
        const std::string line = lines.empty() ? "" : lines[0].text;
        EXPECT_NE(line.find("\"" + path + "\" cannot be loaded: "), std::string::npos) << line;
        return line;
    };
    std::vector<uint8_t> dds(128, 0);
    std::memcpy(dds.data(), "DDS ", 4);
    const Image rgb = MakePattern(8, 8, Image::Format::RGB);
    std::vector<uint8_t> bmp = MakeBmp(rgb, {}), tga = MakeTga(rgb, {}), png = MakePng(rgb, {});
    bmp[30] = 4;
    tga[16] = 12;
    png.resize(png.size() - 30);
    const std::vector<uint8_t> jpeg = Jpeg(MakePattern(32, 32, Image::Format::RGB));
    // libjpeg's own reason, when it gives up first.
    std::vector<uint8_t> precision = Jpeg(rgb);
    const uint8_t frameMarker[2] = {0xFF, 0xC0};
    const auto frame = std::search(precision.begin(), precision.end(), frameMarker, frameMarker + 2);
    ASSERT_NE(frame, precision.end());
    frame[4] = 12;  // the sample precision
    const auto bytes = [](const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); };
    const std::string cutJpeg = "the JPEG file is cut short (libjpeg: Premature end of JPEG file)";
    const std::pair<std::vector<uint8_t>, std::string> refusals[] = {
        {dds, "it is a DDS texture (textures load through the texture manager); the pictures read are"},
        {bmp, "24 bits per pixel, a JPEG picture inside (compression 4), is not read; the BMP forms read are"},
        {tga, "12 bits per pixel is not read; the TGA forms read are colour-mapped (8-bit indices into 15, 16, 24 "
              "or 32-bit colours), true-colour (15, 16, 24 or 32 bits) and grey (8 bits), uncompressed or run-length "
              "encoded"},
        {{jpeg.begin(), jpeg.begin() + ptrdiff_t(jpeg.size() * 3 / 4)}, cutJpeg},  // cut in its scan
        {{jpeg.begin(), jpeg.begin() + 200}, cutJpeg},                             // and in its tables
        {png, "the PNG file is corrupt or cut short"},
        {precision, "the JPEG data is corrupt (libjpeg: Unsupported JPEG data precision 12)"},
        {bytes(std::string("RIFF\x38\0\0\0WEBPVP8 ", 16)), "it is a WebP picture"},
        {bytes("TEX\x01"), "it is a TEX texture"},
        {bytes("GIF89a"), "it is a GIF picture"},
        {bytes(std::string("II*\0", 4)), "it is a TIFF picture"},
        {bytes(std::string("MM\0*", 4)), "it is a TIFF picture"},
        {std::vector<uint8_t>(5, 1),
         "too short for any picture file (the pictures read are TGA, BMP, PNG and JPEG files)"},
    };
    for (const auto& [file, says] : refusals) {
        const std::string line = refusal(file);
        EXPECT_NE(line.find(says), std::string::npos) << line;
    }

    // Data in memory is named by its length.
    LogCapture log;
    Image image;
    EXPECT_EQ(image.Load(dds.data(), uint32_t(dds.size()), Image::Format::None), Image::Error::FormatNotSupported);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Image: 128 bytes in memory cannot be loaded: it is a DDS texture"));
}

// Cut anywhere, a file fails: bad data once the reader has what it needs to know its kind.
TEST(ImageTest, CutFilesFailAtEveryLength) {
    LogCapture log;
    const Image rgba = MakePattern(4, 4, Image::Format::RGBA);
    const Image rgb = MakePattern(8, 8, Image::Format::RGB);
    const std::vector<uint8_t> files[] = {
        MakeTga(rgba, {}),
        MakeTga(MakeRuns(Image::Format::RGB), {.runLength = true}),
        MakeTga(rgba, {.colourMapped = true}),
        MakeBmp(rgba, {.headerBytes = 124, .masks = true}),
        MakeBmp(rgb, {.indexBits = 8}),
        MakeBmp(MakeFewColours(), {.indexBits = 8, .runLength = true}),
        MakeBmp(MakeFewColours(), {.indexBits = 4, .runLength = true}),
        MakeBmp(rgb, {.sixteenBits = true, .masks = true}),
        MakeTga(rgb, {.colourMapped = true, .sixteenBits = true}),
        MakePng(rgba, {.interlaced = true}),
        Jpeg(rgb),
        MakeCmykJpeg(rgba, true),
    };
    for (const std::vector<uint8_t>& file : files) {
        Image image;
        for (uint32_t size = 0; size < file.size(); ++size) {
            const Image::Error error = image.Load(file.data(), size, Image::Format::None);
            ASSERT_TRUE(size >= 18 ? error == Image::Error::BadFileData : error != Image::Error::None)
                << &file - files << " cut to " << size;
            ASSERT_EQ(image.GetBuffer(), nullptr);
        }
    }
}

TEST(ImageTest, FlipsMoveEveryPixel) {
    const Image original = MakePattern(3, 2, Image::Format::RGB);
    Image image = original;
    image.FlipVertically();
    EXPECT_EQ(Pixel(image, 2, 0), Pixel(original, 2, 1));
    image.FlipVertically();
    EXPECT_TRUE(SamePixels(image, original));
    image.FlipHorizontally();
    EXPECT_EQ(Pixel(image, 0, 1), Pixel(original, 2, 1));
    // A non-square transpose exchanges the width and height.
    image = original;
    image.FlipDiagonally();
    EXPECT_EQ(std::pair(image.GetWidth(), image.GetHeight()), std::pair(2u, 3u));
    EXPECT_EQ(Pixel(image, 1, 2), Pixel(original, 2, 1));
    EXPECT_EQ(Pixel(image, 0, 1), Pixel(original, 1, 0));
    image.FlipDiagonally();
    EXPECT_TRUE(SamePixels(image, original));
    Image empty;
    empty.FlipDiagonally();
    EXPECT_EQ(empty.GetWidth(), 0u);
}

TEST(ImageTest, FormatChanges) {
    Image image = MakePattern(2, 2, Image::Format::RGBA);
    EXPECT_TRUE(image.ChangeFormat(Image::Format::RGBA));  // already so
    ASSERT_TRUE(image.ChangeFormat(Image::Format::RGB));
    EXPECT_EQ(image.GetBitsPerPixel(), 24u);
    EXPECT_EQ(Pixel(image, 1, 1), (std::vector<uint8_t>{10, 20, 2}));
    Image rgb = image;
    ASSERT_TRUE(image.ChangeFormat(Image::Format::Luminance));
    // 10 x 0.3 + 2 x 0.11 + 20 x 0.59 = 15.02, truncated.
    EXPECT_EQ(Pixel(image, 1, 1), std::vector<uint8_t>{15});
    EXPECT_FALSE(rgb.ChangeFormat(Image::Format::RGBA));
    // Already so: untouched.
    EXPECT_TRUE(rgb.ChangeFormat(Image::Format::RGB) && Pixel(rgb, 1, 1) == std::vector<uint8_t>({10, 20, 2}));
    ASSERT_TRUE(image.ChangeFormat(Image::Format::RGB));
    EXPECT_EQ(Pixel(image, 1, 1), (std::vector<uint8_t>{15, 15, 15}));
    EXPECT_EQ(Pixel(image, 0, 0), (std::vector<uint8_t>{0, 0, 0}));
    Image small;  // no pixels to grow, then one (grown too: a sanitizer sees a write past it)
    EXPECT_TRUE(small.Create(0, 0, Image::Format::Luminance) && small.ChangeFormat(Image::Format::RGB));
    ASSERT_TRUE(small.Create(1, 1, Image::Format::Luminance));
    small.GetBuffer()[0] = 7;
    ASSERT_TRUE(small.ChangeFormat(Image::Format::RGB));
    EXPECT_EQ(Pixel(small, 0, 0), (std::vector<uint8_t>{7, 7, 7}));
}

TEST(ImageTest, CopiesAreDeepAndSelfAssignmentKeepsThePixels) {
    Image image = MakePattern(4, 3, Image::Format::RGBA);
    const Image copy(image);
    EXPECT_NE(copy.GetBuffer(), image.GetBuffer());
    EXPECT_TRUE(SamePixels(copy, image));
    Image& alias = image;
    image = alias;
    EXPECT_TRUE(SamePixels(copy, image));
    // A size whose byte count does not fit is refused, not wrapped.
    LogCapture log;
    EXPECT_FALSE(image.Create(0xFFFFFFFFu, 0xFFFFFFFFu, Image::Format::RGBA));
    EXPECT_TRUE(image.GetBuffer() == nullptr && image.GetFormat() == Image::Format::None);
}

TEST(ImageTest, LoadsOnSeveralThreadsAtOnce) {
    const Image expected = MakePattern(16, 16, Image::Format::RGBA);
    const std::vector<uint8_t> bytes = Tga(expected);
    TempDirectory directory;
    std::vector<std::thread> threads;
    std::vector<int> good(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const std::string path = directory.Join("shot" + std::to_string(t) + ".jpg");
            for (int i = 0; i < 20; ++i) {
                Image image;
                if (image.Load(bytes.data(), uint32_t(bytes.size()), Image::Format::None) == Image::Error::None &&
                    SamePixels(image, expected) && image.SaveJPG(path.c_str()) == Image::Error::None) {
                    ++good[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(good, (std::vector<int>{20, 20, 20, 20}));
}

}  // namespace
}  // namespace GAME::test
