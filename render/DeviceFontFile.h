#pragma once
// DeviceFontFile: the content of a current-format font file (".fnt"), read and written here so
// that the render devices and the font generator share one definition.
//
// Layout, little-endian:
//   char[4] 'F','N','T',0x02
//   u32 face count (1..4)
//   per face:
//     u32 style (RenderFontStyle 0..3), u32 base pixel size (4..256),
//     i32 ascent, i32 descent, i32 line height (base pixels),
//     u32 atlas width, u32 atlas height (1..4096 each),
//     u32 glyph count (<= 65536), glyphs sorted by strictly increasing code:
//       u16 UTF-16 code unit, u16 x, u16 y, u8 width, u8 height, i8 x offset, i8 y offset,
//       u8 advance, u8 padding (0)
//     u32 kerning pair count (<= 65536), pairs in any order: u16 first, u16 second, i16 amount,
//       u16 padding; of a pair listed twice, the first one holds
//     u32 atlas byte count (= atlas width * atlas height), the atlas: 8-bit coverage, rows top first
//
// A glyph's offsets place its atlas rectangle relative to the pen at the top-left corner of the
// line; the pen then moves right by the advance (plus any kerning with the next character). A file
// starting with 'F','N','T',0x01 is the old format, which only names a system font: devices draw
// it with a built-in face.

#include "render/RenderDevice.h"

#include <cstdint>
#include <vector>

namespace GAME {

// One character of a face: where it lies in the atlas and how it is placed.
struct DeviceFontGlyph {
    uint16_t code = 0;    // UTF-16 code unit
    uint16_t x = 0;       // atlas rectangle, texels
    uint16_t y = 0;
    uint8_t width = 0;
    uint8_t height = 0;
    int8_t xOffset = 0;   // rectangle corner relative to the pen (line top-left), base pixels
    int8_t yOffset = 0;
    uint8_t advance = 0;  // pen movement, base pixels
};

// A correction of the advance between two characters.
struct DeviceFontKerning {
    uint16_t first = 0;   // the character on the left
    uint16_t second = 0;  // the character on the right
    int16_t amount = 0;   // added to the first one's advance, base pixels
};

// One style of a font at its base size, with its glyph atlas.
struct DeviceFontFace {
    RenderFontStyle style = RenderFontStyle::Regular;
    uint32_t baseSize = 0;     // pixel size the atlas was drawn at
    int32_t ascent = 0;        // base pixels above the baseline
    int32_t descent = 0;       // base pixels below the baseline
    int32_t lineHeight = 0;    // base pixels from one line to the next
    uint32_t atlasWidth = 0;   // texels
    uint32_t atlasHeight = 0;  // texels
    std::vector<DeviceFontGlyph> glyphs;      // sorted by code
    std::vector<DeviceFontKerning> kerning;   // sorted by first, then second (Read sorts them)
    std::vector<uint8_t> atlas;               // atlasWidth * atlasHeight coverage bytes, rows top first

    // The glyph of the code, or null.
    const DeviceFontGlyph* FindGlyph(uint16_t code) const;
    // The kerning amount between two characters (0 when the pair has none).
    int GetKerning(uint16_t first, uint16_t second) const;
};

class DeviceFontFile {
public:
    static constexpr uint32_t kMaxFaces = 4;
    static constexpr uint32_t kMinBaseSize = 4;
    static constexpr uint32_t kMaxBaseSize = 256;
    static constexpr uint32_t kMaxAtlasSize = 4096;
    static constexpr uint32_t kMaxGlyphs = 65536;
    static constexpr uint32_t kMaxKerningPairs = 65536;

    // True when the bytes start with the old format's tag ('F','N','T',0x01).
    static bool IsOldFormat(const void* data, uint32_t size);

    // Reads a current-format file. False, with a logged error naming the file, when it is not one,
    // is truncated or holds values out of range; the faces are then empty.
    bool Read(const void* data, uint32_t size, const char* name);
    // The file's bytes; false (logged) when a face breaks the limits above, which Read would refuse.
    bool Write(std::vector<uint8_t>& out) const;

    std::vector<DeviceFontFace> faces;

private:
    // Why the face cannot be stored, or null when it can.
    static const char* Validate(const DeviceFontFace& face);
};

}  // namespace GAME
