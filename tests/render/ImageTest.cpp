// Images: TGA bytes and round trips through DevIL, JPEG round trips, palettised and broken files,
// flips (a non-square transpose included), format changes, copies, and loads on several threads.

#include "render/Image.h"

#include "files/BinaryWriter.h"
#include "render/ImageFileCheck.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
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
    // Asked for luminance, colour files are converted by DevIL.
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
    EXPECT_EQ(read.GetFormat(), Image::Format::RGB);
    ASSERT_EQ(read.GetWidth(), 16u);
    const std::vector<uint8_t> top = Pixel(read, 4, 2);
    const std::vector<uint8_t> bottom = Pixel(read, 4, 13);
    EXPECT_GT(top[0], 200);
    EXPECT_LT(top[2], 60);
    EXPECT_LT(bottom[0], 60);
    EXPECT_GT(bottom[2], 200);

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
        EXPECT_EQ(image.GetBuffer(), nullptr);
        EXPECT_EQ(image.GetWidth(), 0u);
    }
    const std::string noise(200, '\x5a');
    EXPECT_NE(image.Load(noise.data(), uint32_t(noise.size()), Image::Format::None), Image::Error::None);
    EXPECT_EQ(image.Load(nullptr, 0, Image::Format::None), Image::Error::BadFileData);
    EXPECT_EQ(image.Load("/no/such/file.png", Image::Format::None), Image::Error::FileCannotBeOpened);
}

// Heads that claim more than the file holds, or sizes no picture of the engine has, never reach
// DevIL.
TEST(ImageTest, FileHeadsAreCheckedBeforeDecoding) {
    LogCapture log;
    const char* why = nullptr;
    std::vector<uint8_t> bmp = MakePalettisedBmp();
    EXPECT_EQ(ImageFileCheck::Inspect(bmp.data(), uint32_t(bmp.size()), why), ImageFileCheck::Kind::Bmp);
    bmp[21] = 0x31;  // a width of about 822 million
    EXPECT_EQ(ImageFileCheck::Inspect(bmp.data(), uint32_t(bmp.size()), why), ImageFileCheck::Kind::None);
    EXPECT_STREQ(why, "a BMP image of an unsupported size");
    bmp = MakePalettisedBmp();
    bmp[30] = 1;  // run-length encoded
    EXPECT_EQ(ImageFileCheck::Inspect(bmp.data(), uint32_t(bmp.size()), why), ImageFileCheck::Kind::None);
    Image image;
    EXPECT_EQ(image.Load(bmp.data(), uint32_t(bmp.size()), Image::Format::None), Image::Error::FormatNotSupported);

    std::vector<uint8_t> tga = Tga(MakePattern(4, 4, Image::Format::RGB));
    EXPECT_EQ(ImageFileCheck::Inspect(tga.data(), uint32_t(tga.size()), why), ImageFileCheck::Kind::Tga);
    tga[2] = 10;  // run-length encoded
    EXPECT_EQ(ImageFileCheck::Inspect(tga.data(), uint32_t(tga.size()), why), ImageFileCheck::Kind::None);
    tga = Tga(MakePattern(4, 4, Image::Format::RGB));
    tga[13] = 0x20;  // 8196 wide
    EXPECT_EQ(ImageFileCheck::Inspect(tga.data(), uint32_t(tga.size()), why), ImageFileCheck::Kind::None);

    // PNG and JPEG by their declared size.
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                0, 0, 0x40, 0, 0, 0, 0, 1, 8, 2, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ImageFileCheck::Inspect(png.data(), uint32_t(png.size()), why), ImageFileCheck::Kind::None);
    png[18] = 0;
    png[19] = 16;
    EXPECT_EQ(ImageFileCheck::Inspect(png.data(), uint32_t(png.size()), why), ImageFileCheck::Kind::None);
    EXPECT_STREQ(why, "a PNG file cut short");
    // With its end chunk, and a chunk whose length runs past the end.
    const uint8_t end[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    png.insert(png.end(), std::begin(end), std::end(end));
    EXPECT_EQ(ImageFileCheck::Inspect(png.data(), uint32_t(png.size()), why), ImageFileCheck::Kind::Png);
    png[36] = 0x3F;
    EXPECT_EQ(ImageFileCheck::Inspect(png.data(), uint32_t(png.size()), why), ImageFileCheck::Kind::None);
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xC0, 0,    11,   8,
                                 0xFF, 0xDC, 0,    16,   3, 0, 0, 0, 0xFF, 0xDA, 0,    2,    0xFF, 0xD9};
    EXPECT_EQ(ImageFileCheck::Inspect(jpeg.data(), uint32_t(jpeg.size()), why), ImageFileCheck::Kind::None);
    EXPECT_STREQ(why, "a JPEG image of an unsupported size");
    jpeg[13] = 0;
    EXPECT_EQ(ImageFileCheck::Inspect(jpeg.data(), uint32_t(jpeg.size()), why), ImageFileCheck::Kind::Jpeg);
    // Without its end marker, or cut inside a segment.
    EXPECT_EQ(ImageFileCheck::Inspect(jpeg.data(), uint32_t(jpeg.size() - 1), why), ImageFileCheck::Kind::None);
    EXPECT_EQ(ImageFileCheck::Inspect(jpeg.data(), 14, why), ImageFileCheck::Kind::None);
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
    EXPECT_EQ(image.GetWidth(), 2u);
    EXPECT_EQ(image.GetHeight(), 3u);
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
    EXPECT_EQ(Pixel(rgb, 1, 1), (std::vector<uint8_t>{10, 20, 2}));
    ASSERT_TRUE(image.ChangeFormat(Image::Format::RGB));
    EXPECT_EQ(Pixel(image, 1, 1), (std::vector<uint8_t>{15, 15, 15}));
    EXPECT_EQ(Pixel(image, 0, 0), (std::vector<uint8_t>{0, 0, 0}));
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
    EXPECT_EQ(image.GetBuffer(), nullptr);
    EXPECT_EQ(image.GetFormat(), Image::Format::None);
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
