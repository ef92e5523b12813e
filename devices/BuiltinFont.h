#pragma once
// BuiltinFont: the device's own small bitmap font, drawn for this engine: ASCII 32 to 126, 5 x 8
// texels a glyph (7 rows above the baseline, 1 below), advancing 6. Old-format and unreadable
// font files draw with it, so debug text always works and tests need no font files.

#include "render/DeviceFontFile.h"

namespace GAME {

class BuiltinFont {
public:
    static constexpr uint32_t kFirstCode = 32;
    static constexpr uint32_t kLastCode = 126;

    // The font as a face at base size 8, with its atlas.
    static DeviceFontFace MakeFace();
};

}  // namespace GAME
