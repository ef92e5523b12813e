// DDS headers, level layout, reduction and refusal of hostile files; the CPU DXT decoder.

#include "DDSBuilder.h"
#include "devices/DDSFile.h"
#include "devices/DXTDecoder.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace GAME::test {
namespace {

std::vector<uint8_t> Zeros(DDSFormat format, uint32_t width, uint32_t height, uint32_t levels) {
    return DDSBuilder::File(format, width, height, levels, [](uint32_t, std::vector<uint8_t>&) {});
}

TEST(DDSFileTest, LevelsOfEveryFormatLieBackToBack) {
    const struct {
        DDSFormat format;
        uint32_t topLevelBytes;  // of a 16 x 8 texture
    } cases[] = {
        {DDSFormat::DXT1, 64},      {DDSFormat::DXT3, 128},     {DDSFormat::DXT5, 128},
        {DDSFormat::A8R8G8B8, 512}, {DDSFormat::X8R8G8B8, 512}, {DDSFormat::A8B8G8R8, 512},
        {DDSFormat::X8B8G8R8, 512}, {DDSFormat::R8G8B8, 384},   {DDSFormat::R5G6B5, 256},
        {DDSFormat::X1R5G5B5, 256}, {DDSFormat::A1R5G5B5, 256}, {DDSFormat::A4R4G4B4, 256},
        {DDSFormat::L8, 128},       {DDSFormat::A8, 128},       {DDSFormat::A8L8, 256},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> file = Zeros(c.format, 16, 8, 5);
        DDSFile dds;
        ASSERT_TRUE(dds.Parse(file.data(), uint32_t(file.size()), 0)) << int(c.format);
        EXPECT_EQ(dds.GetFormat(), c.format);
        ASSERT_EQ(dds.GetLevels().size(), 5u);
        const std::vector<DDSLevel>& levels = dds.GetLevels();
        EXPECT_EQ(std::vector({levels[0].size, levels[0].offset, levels[0].width, levels[0].height, levels[3].width,
                               levels[3].height, levels[4].width, levels[4].height}),
                  std::vector({c.topLevelBytes, DDSFile::kHeaderSize, 16u, 8u, 2u, 1u, 1u, 1u}));
        EXPECT_EQ(dds.GetLevels()[4].offset + dds.GetLevels()[4].size, file.size());
        EXPECT_EQ(DDSFile::GetFileLength(file.data(), DDSFile::kHeaderSize), file.size());
    }
}

TEST(DDSFileTest, ReductionDropsTopLevelsButKeepsWholeBlocks) {
    const std::vector<uint8_t> plain = Zeros(DDSFormat::A8R8G8B8, 32, 32, 6);
    DDSFile dds;
    // At least one level stays; a negative reduction is none.
    for (const auto& [reduction, width, levels] :
         {std::tuple(1, 16u, size_t(5)), {2, 8u, size_t(4)}, {99, 1u, size_t(1)}, {-2, 32u, size_t(6)}}) {
        ASSERT_TRUE(dds.Parse(plain.data(), uint32_t(plain.size()), reduction));
        EXPECT_EQ(std::pair(dds.GetLevels().front().width, dds.GetLevels().size()), std::pair(width, levels));
    }

    // Compressed levels stay whole blocks: one block high or wide already, a texture is not reduced.
    for (const auto& [width, height, reduction, kept] : {std::tuple(32u, 16u, 4, std::pair(8u, 4u)),
                                                         {16u, 16u, 4, std::pair(4u, 4u)},
                                                         {16u, 4u, 1, std::pair(16u, 4u)},
                                                         {4u, 16u, 1, std::pair(4u, 16u)}}) {
        const std::vector<uint8_t> compressed = Zeros(DDSFormat::DXT5, width, height, 5);
        ASSERT_TRUE(dds.Parse(compressed.data(), uint32_t(compressed.size()), reduction));
        EXPECT_EQ(std::pair(dds.GetLevels().front().width, dds.GetLevels().front().height), kept);
        // The full length is needed whatever the reduction: the large levels come first.
        EXPECT_EQ(DDSFile::GetFileLength(compressed.data(), uint32_t(compressed.size())), compressed.size());
    }
}

TEST(DDSFileTest, HostileHeadersAreRefusedWithoutReadingPastTheData) {
    LogCapture log;
    const std::vector<uint8_t> good = Zeros(DDSFormat::DXT1, 64, 64, 7);
    DDSFile dds;
    // Every truncation fails cleanly (ASan checks that nothing reads past the copy).
    for (size_t length = 0; length < good.size(); length += 7) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + long(length));
        EXPECT_FALSE(dds.Parse(cut.data(), uint32_t(cut.size()), 0)) << length;
    }
    std::vector<uint8_t> trailing = good;
    trailing.resize(good.size() + 100, 0xAB);
    EXPECT_TRUE(dds.Parse(trailing.data(), uint32_t(trailing.size()), 0) && !dds.Parse(nullptr, 500, 0));

    auto refused = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> bad = good;
        DDSBuilder::Put(bad, at, value);
        return !dds.Parse(bad.data(), uint32_t(bad.size()), 0) && DDSFile::GetFileLength(bad.data(), 128) == 0;
    };
    // The tag, the header size, height 0, a width beyond any texture, an unknown code, a cube map.
    for (const auto& [at, value] : {std::pair<size_t, uint32_t>(0, 0x20534444 + 1),
                                    {4, 100},
                                    {12, 0},
                                    {16, 0x7FFFFFFF},
                                    {84, 0x31545844 + 1},
                                    {112, 0x200}})
        EXPECT_TRUE(refused(at, value)) << at;
    EXPECT_GT(log.Count(LogPriority::Error), 0u);

    // A level count beyond the chain is cut back to it rather than trusted.
    std::vector<uint8_t> manyLevels = good;
    DDSBuilder::Put(manyLevels, 28, 1000);
    ASSERT_TRUE(dds.Parse(manyLevels.data(), uint32_t(manyLevels.size()), 0));
    EXPECT_EQ(dds.GetLevels().size(), 7u);
    // A huge texture's length is computed without overflow and its data found missing.
    const std::vector<uint8_t> huge = DDSBuilder::Header(DDSFormat::A8R8G8B8, 16384, 16384, 15);
    EXPECT_GT(DDSFile::GetFileLength(huge.data(), uint32_t(huge.size())), 1u << 30);
    EXPECT_FALSE(dds.Parse(huge.data(), uint32_t(huge.size()), 0));
    EXPECT_TRUE(dds.GetFormat() == DDSFormat::Unknown && dds.GetLevels().empty());  // nothing of the last file
}

TEST(DXTDecoderTest, DecodesColourModesAndBothAlphaEncodings) {
    // DXT1, four-colour mode: colour0 = pure red (0xF800) > colour1 = pure blue (0x001F).
    // Indices: row 0 all 0, row 1 all 1, row 2 all 2, row 3 all 3.
    const uint8_t fourColour[8] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x55, 0xAA, 0xFF};
    uint8_t rgba[16 * 4];
    ASSERT_TRUE(DXTDecoder::Decode(DDSFormat::DXT1, 4, 4, fourColour, rgba));
    // Red; blue; 2/3 red + 1/3 blue; 1/3 red + 2/3 blue.
    EXPECT_EQ(
        std::vector({rgba[0], rgba[2], rgba[4 * 4 + 2], rgba[8 * 4], rgba[8 * 4 + 2], rgba[12 * 4], rgba[12 * 4 + 3]}),
        std::vector<uint8_t>({255, 0, 255, 170, 85, 85, 255}));

    // Three-colour mode (colour0 <= colour1): index 2 is the mean, index 3 transparent black.
    const uint8_t threeColour[8] = {0x1F, 0x00, 0x00, 0xF8, 0x00, 0x00, 0xAA, 0xFF};
    ASSERT_TRUE(DXTDecoder::Decode(DDSFormat::DXT1, 4, 4, threeColour, rgba));
    EXPECT_EQ(std::vector({rgba[8 * 4], rgba[8 * 4 + 2], rgba[12 * 4 + 3], rgba[12 * 4]}),
              std::vector<uint8_t>({127, 127, 0, 0}));

    // DXT3: explicit 4-bit alpha, texel t takes nibble t.
    uint8_t dxt3[16] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    std::memcpy(dxt3 + 8, fourColour, 8);
    ASSERT_TRUE(DXTDecoder::Decode(DDSFormat::DXT3, 4, 4, dxt3, rgba));
    for (int t = 0; t < 16; ++t) EXPECT_EQ(rgba[t * 4 + 3], t * 17);
    // DXT5, eight-value mode (alpha0 > alpha1) and six-value mode with 0 and 255.
    uint8_t dxt5[16] = {200, 60};
    uint64_t indices = 0;
    for (int t = 0; t < 16; ++t) indices |= uint64_t(t % 8) << (3 * t);
    for (int i = 0; i < 6; ++i) dxt5[2 + i] = uint8_t(indices >> (8 * i));
    std::memcpy(dxt5 + 8, fourColour, 8);
    ASSERT_TRUE(DXTDecoder::Decode(DDSFormat::DXT5, 4, 4, dxt5, rgba));
    EXPECT_EQ(std::vector({rgba[3], rgba[1 * 4 + 3], rgba[2 * 4 + 3], rgba[7 * 4 + 3]}),
              std::vector<uint8_t>({200, 60, (6 * 200 + 60) / 7, (200 + 6 * 60) / 7}));
    dxt5[0] = 60;
    dxt5[1] = 200;
    ASSERT_TRUE(DXTDecoder::Decode(DDSFormat::DXT5, 4, 4, dxt5, rgba));
    EXPECT_EQ(std::vector({rgba[2 * 4 + 3], rgba[6 * 4 + 3], rgba[7 * 4 + 3]}),
              std::vector<uint8_t>({(4 * 60 + 200) / 5, 0, 255}));
    dxt5[1] = 60;  // equal alphas are six-value mode too
    ASSERT_TRUE(DXTDecoder::Decode(DDSFormat::DXT5, 4, 4, dxt5, rgba));
    EXPECT_EQ(std::vector({rgba[2 * 4 + 3], rgba[6 * 4 + 3], rgba[7 * 4 + 3]}), std::vector<uint8_t>({60, 0, 255}));

    EXPECT_FALSE(DXTDecoder::Decode(DDSFormat::A8R8G8B8, 4, 4, dxt5, rgba));
}

TEST(DXTDecoderTest, LevelsSmallerThanABlockAreCut) {
    const uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x55, 0xAA, 0xFF};
    uint8_t rgba[2 * 2 * 4 + 4];
    rgba[16] = 0x5A;  // a guard past the level
    ASSERT_TRUE(DXTDecoder::Decode(DDSFormat::DXT1, 2, 2, block, rgba));
    // (0, 0): index 0, red; (0, 1): index 1, blue; the guard untouched.
    EXPECT_EQ(std::vector({rgba[0], rgba[2 * 4 + 2], rgba[16]}), std::vector<uint8_t>({255, 255, 0x5A}));
}

}  // namespace
}  // namespace GAME::test
