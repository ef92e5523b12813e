#pragma once
// FontStyle: a named text appearance from a style record (StyleManager): font, size, colour,
// drop shadow, attributes and filtering.

#include "core/Color.h"
#include "render/RenderDevice.h"

#include <string>

namespace GAME {

class GraphicsFont;

struct FontStyle {
    const GraphicsFont* font = nullptr;                     // one reference held; null without graphics
    std::string fontName;                                   // the font file
    Color color{1.0f, 1.0f, 1.0f, 1.0f};                    // alpha always 1
    int size = 12;                                          // pixels
    RenderFontStyle attributes = RenderFontStyle::Regular;  // bold and italic
    bool dropShadow = true;
    int shadowDistance = 1;                                 // pixels, down and right
    bool filter = false;                                    // linear rather than nearest sampling
};

}  // namespace GAME
