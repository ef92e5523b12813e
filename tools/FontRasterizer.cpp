#include "FontRasterizer.h"

#include "core/Log.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace GAME::sample {

namespace {

// Space left around each glyph in the atlas, so that filtering never reads a neighbour.
constexpr uint32_t kPadding = 1;

struct LibraryCloser {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceCloser {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using Library = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryCloser>;
using Face = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceCloser>;

// 26.6 fixed point to whole pixels.
int RoundPixels(FT_Pos value) { return int(std::lround(double(value) / 64.0)); }

// One rendered glyph before it is placed in the atlas.
struct Rendered {
    DeviceFontGlyph glyph;
    std::vector<uint8_t> coverage;  // width x height, rows top first
};

}  // namespace

bool FontRasterizer::Rasterize(const std::string& faceFile, uint32_t pixelSize, RenderFontStyle style,
                               const std::vector<uint16_t>& codes, DeviceFontFace& face) {
    FT_Library rawLibrary = nullptr;
    if (FT_Init_FreeType(&rawLibrary) != 0) {
        Log(LogPriority::Error, "FontRasterizer: FreeType does not start");
        return false;
    }
    const Library library(rawLibrary);
    FT_Face rawFace = nullptr;
    if (FT_New_Face(library.get(), faceFile.c_str(), 0, &rawFace) != 0) {
        Log(LogPriority::Error, "FontRasterizer: %s is not a face FreeType can read", faceFile.c_str());
        return false;
    }
    const Face ftFace(rawFace);
    if (FT_Set_Pixel_Sizes(ftFace.get(), 0, pixelSize) != 0) {
        Log(LogPriority::Error, "FontRasterizer: %s has no size %u", faceFile.c_str(), pixelSize);
        return false;
    }

    face = DeviceFontFace();
    face.style = style;
    face.baseSize = pixelSize;
    const FT_Size_Metrics& metrics = ftFace->size->metrics;
    face.ascent = RoundPixels(metrics.ascender);
    face.descent = -RoundPixels(metrics.descender);
    face.lineHeight = RoundPixels(metrics.height);

    std::vector<Rendered> rendered;
    std::vector<FT_UInt> indices;
    for (const uint16_t code : codes) {
        const FT_UInt index = FT_Get_Char_Index(ftFace.get(), code);
        if (index == 0 || FT_Load_Glyph(ftFace.get(), index, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot slot = ftFace->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int yOffset = face.ascent - slot->bitmap_top;
        const int advance = RoundPixels(slot->advance.x);
        if (bitmap.width > 255 || bitmap.rows > 255 || bitmap.pixel_mode != FT_PIXEL_MODE_GRAY ||
            slot->bitmap_left < -128 || slot->bitmap_left > 127 || yOffset < -128 || yOffset > 127 || advance < 0 ||
            advance > 255) {
            Log(LogPriority::Error, "FontRasterizer: character %u of %s does not fit a face at %u pixels", code,
                faceFile.c_str(), pixelSize);
            return false;
        }
        Rendered glyph;
        glyph.glyph.code = code;
        glyph.glyph.width = uint8_t(bitmap.width);
        glyph.glyph.height = uint8_t(bitmap.rows);
        glyph.glyph.xOffset = int8_t(slot->bitmap_left);
        glyph.glyph.yOffset = int8_t(yOffset);
        glyph.glyph.advance = uint8_t(advance);
        glyph.coverage.resize(size_t(bitmap.width) * bitmap.rows);
        for (uint32_t row = 0; row < bitmap.rows; ++row) {
            std::memcpy(glyph.coverage.data() + size_t(row) * bitmap.width, bitmap.buffer + ptrdiff_t(row) * bitmap.pitch,
                        bitmap.width);
        }
        rendered.push_back(std::move(glyph));
        indices.push_back(index);
    }

    // Shelves from the top: glyphs left to right, a new shelf below when a row is full.
    uint32_t x = kPadding;
    uint32_t y = kPadding;
    uint32_t shelfHeight = 0;
    for (Rendered& glyph : rendered) {
        if (x + glyph.glyph.width + kPadding > kAtlasWidth) {
            x = kPadding;
            y += shelfHeight + kPadding;
            shelfHeight = 0;
        }
        glyph.glyph.x = uint16_t(x);
        glyph.glyph.y = uint16_t(y);
        x += glyph.glyph.width + kPadding;
        shelfHeight = std::max<uint32_t>(shelfHeight, glyph.glyph.height);
    }
    face.atlasWidth = kAtlasWidth;
    face.atlasHeight = std::max<uint32_t>(y + shelfHeight + kPadding, 1);
    if (face.atlasHeight > DeviceFontFile::kMaxAtlasSize) {
        Log(LogPriority::Error, "FontRasterizer: the glyphs of %s at %u pixels do not fit an atlas", faceFile.c_str(),
            pixelSize);
        return false;
    }
    face.atlas.assign(size_t(face.atlasWidth) * face.atlasHeight, 0);
    for (const Rendered& glyph : rendered) {
        for (uint32_t row = 0; row < glyph.glyph.height; ++row) {
            std::memcpy(face.atlas.data() + size_t(glyph.glyph.y + row) * face.atlasWidth + glyph.glyph.x,
                        glyph.coverage.data() + size_t(row) * glyph.glyph.width, glyph.glyph.width);
        }
        face.glyphs.push_back(glyph.glyph);
    }
    std::sort(face.glyphs.begin(), face.glyphs.end(),
              [](const DeviceFontGlyph& a, const DeviceFontGlyph& b) { return a.code < b.code; });

    if (FT_HAS_KERNING(ftFace.get())) {
        for (size_t first = 0; first < rendered.size(); ++first) {
            for (size_t second = 0; second < rendered.size(); ++second) {
                FT_Vector kerning{};
                if (FT_Get_Kerning(ftFace.get(), indices[first], indices[second], FT_KERNING_UNFITTED, &kerning) != 0) {
                    continue;
                }
                const int amount = RoundPixels(kerning.x);
                if (amount != 0) {
                    face.kerning.push_back({rendered[first].glyph.code, rendered[second].glyph.code, int16_t(amount)});
                }
            }
        }
    }
    return true;
}

}  // namespace GAME::sample
