// The device font file format: round trip, and refusal of truncated or corrupt files.

#include "render/DeviceFontFile.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <tuple>

namespace GAME::test {
namespace {

DeviceFontFace MakeFace(RenderFontStyle style) {
    DeviceFontFace face;
    face.style = style;
    face.baseSize = 12;
    face.ascent = 10;
    face.descent = -3;
    face.lineHeight = 14;
    face.atlasWidth = 16;
    face.atlasHeight = 8;
    face.atlas.resize(16 * 8);
    for (size_t i = 0; i < face.atlas.size(); ++i) face.atlas[i] = uint8_t(i * 7);
    face.glyphs = {DeviceFontGlyph{'A', 0, 0, 5, 8, -1, 2, 6}, DeviceFontGlyph{'B', 5, 0, 5, 8, 0, -2, 7},
                   DeviceFontGlyph{0x263A, 10, 0, 6, 8, 1, 0, 8}};
    face.kerning = {DeviceFontKerning{'A', 'B', -1}, DeviceFontKerning{'B', 'A', 2}};
    return face;
}

void ExpectSameFace(const DeviceFontFace& a, const DeviceFontFace& b) {
    EXPECT_EQ(std::tuple(a.style, a.baseSize, a.ascent, a.descent, a.lineHeight, a.atlasWidth, a.atlasHeight, a.atlas),
              std::tuple(b.style, b.baseSize, b.ascent, b.descent, b.lineHeight, b.atlasWidth, b.atlasHeight, b.atlas));
    const auto glyph = [](const DeviceFontGlyph& g) {
        return std::tuple(g.code, g.x, g.y, g.width, g.height, g.xOffset, g.yOffset, g.advance);
    };
    ASSERT_EQ(a.glyphs.size(), b.glyphs.size());
    for (size_t i = 0; i < a.glyphs.size(); ++i) EXPECT_EQ(glyph(a.glyphs[i]), glyph(b.glyphs[i])) << i;
    ASSERT_EQ(a.kerning.size(), b.kerning.size());
    EXPECT_EQ(a.kerning[0].amount, b.kerning[0].amount);
}

TEST(DeviceFontFileTest, WritesAndReadsEveryField) {
    DeviceFontFile file;
    file.faces = {MakeFace(RenderFontStyle::Regular), MakeFace(RenderFontStyle::BoldItalic)};
    for (int16_t amount = 0; amount < 40; ++amount) {
        file.faces[1].kerning.push_back(DeviceFontKerning{'A', 'V', amount});  // repeated pair: the first holds
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(file.Write(bytes));
    EXPECT_EQ(bytes[3], 0x02);
    EXPECT_FALSE(DeviceFontFile::IsOldFormat(bytes.data(), uint32_t(bytes.size())));

    DeviceFontFile read;
    ASSERT_TRUE(read.Read(bytes.data(), uint32_t(bytes.size()), "Test"));
    ASSERT_EQ(read.faces.size(), 2u);
    ExpectSameFace(read.faces[0], file.faces[0]);
    ExpectSameFace(read.faces[1], file.faces[1]);
    const DeviceFontFace& face = read.faces[0];
    ASSERT_NE(face.FindGlyph(0x263A), nullptr);
    EXPECT_EQ(face.FindGlyph(0x263A)->x, 10);
    EXPECT_EQ(face.FindGlyph('C'), nullptr);
    EXPECT_EQ(face.GetKerning('A', 'B'), -1);
    EXPECT_EQ(face.GetKerning('A', 'A'), 0);
    EXPECT_EQ(read.faces[1].GetKerning('A', 'V'), 0);
    std::vector<uint8_t> again, third;
    ASSERT_TRUE(read.Write(again));
    ASSERT_TRUE(read.Read(again.data(), uint32_t(again.size()), "Again") && read.Write(third));
    EXPECT_EQ(third, again);
}

TEST(DeviceFontFileTest, TruncatedAndCorruptFilesAreRefused) {
    LogCapture log;
    DeviceFontFile file;
    file.faces = {MakeFace(RenderFontStyle::Regular)};
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(file.Write(bytes));
    DeviceFontFile read;
    for (size_t length = 0; length < bytes.size(); ++length) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(length));
        EXPECT_FALSE(read.Read(cut.data(), uint32_t(cut.size()), "Cut")) << length;
        EXPECT_TRUE(read.faces.empty());
    }
    auto corrupt = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> bad = bytes;
        for (int i = 0; i < 4; ++i) bad[at + size_t(i)] = uint8_t(value >> (8 * i));
        return !read.Read(bad.data(), uint32_t(bad.size()), "Bad");
    };
    EXPECT_TRUE(corrupt(4, 0));            // no faces
    EXPECT_TRUE(corrupt(4, 5));            // too many faces
    EXPECT_TRUE(corrupt(8, 7));            // unknown style
    EXPECT_TRUE(corrupt(12, 1000));        // base size
    EXPECT_TRUE(corrupt(28, 5000));        // atlas width over the limit
    EXPECT_TRUE(corrupt(36, 0x7FFFFFFF));  // glyph count beyond the data
    EXPECT_TRUE(corrupt(40, 'C'));         // glyphs out of order ('C' then 'B')
    EXPECT_TRUE(corrupt(40 + 2, 14));      // glyph x: 'A' would leave the 16-texel atlas
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Bad"));
    const uint8_t old[4] = {'F', 'N', 'T', 0x01};
    EXPECT_TRUE(DeviceFontFile::IsOldFormat(old, 4));
    EXPECT_FALSE(read.Read(old, 4, "Old"));

    // The writer refuses what the reader would.
    file.faces[0].atlas.pop_back();
    EXPECT_FALSE(file.Write(bytes));
    file.faces.clear();
    EXPECT_FALSE(file.Write(bytes));
}

}  // namespace
}  // namespace GAME::test
