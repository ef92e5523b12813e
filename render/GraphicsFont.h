#pragma once
// GraphicsFont: the font resource (".fnt"). Its bytes go whole to the render device, which makes
// the device font that lays out and draws glyphs.
//
// File formats: a file starting 'F', 'N', 'T', 0x01 is the old format, which only names a system
// font: the device gets the name alone and draws its own face (a warning is logged). Any other
// file of at least 4 bytes is the current format and goes to the device with its length
// (DeviceFontFile is the layout the devices of this engine read). Shorter files are refused. The
// device font's name is the file's base name without extension ("Fonts/Body Text.fnt" gives
// "Body Text").
//
// Text escapes (unless Engine::DoCharacterProcessing is off): "^" and a letter sets the colour
// from a table of 17 (the alpha is kept; a letter without a colour just vanishes with its caret),
// "^^" draws a caret; "&B", "&I" and "&S" set bold, italic and regular, "&&" draws an ampersand, an
// "&" before anything else is drawn; braces are never drawn.
//
// Drawing splits the text into runs of one colour and style (at most kMaxRun characters) and hands
// each to the device font; an escape applies to the text after it. With a drop shadow each run is
// drawn first shadowDistance pixels down and right in black at 0.66 of the text's alpha.

#include "core/Color.h"
#include "core/Rect.h"
#include "files/Resource.h"
#include "render/RenderDevice.h"

#include <cstdint>
#include <string>

namespace GAME {

class GraphicsEngine;

class GraphicsFont final : public Resource {
public:
    // Bits of ProcessCharacter's result.
    static constexpr unsigned kDrawCharacter = 0x1;  // the character is drawn
    static constexpr unsigned kSkipNext = 0x2;       // the next character belongs to the escape
    static constexpr unsigned kStateChanged = 0x4;   // the colour or the style changed
    // The longest run handed to the device at once.
    static constexpr int kMaxRun = 511;
    // Device text flags: drawing is one line without clipping; measuring adds calculate-rectangle.
    static constexpr uint32_t kDrawFlags = RenderFont::kSingleLine | RenderFont::kNoClip;
    static constexpr uint32_t kMeasureFlags = kDrawFlags | RenderFont::kCalculateRect;

    GraphicsFont(BaseResourceManager* manager, const std::string& fileName, GraphicsEngine& graphics);
    ~GraphicsFont() override;

    InitResult Initialize(const void* data, uint32_t size) override;
    void Destroy() override;
    size_t GetSystemMemoryUsage() const override;
    size_t GetVideoMemoryUsage() const override;

    // The device font's name for a font file name.
    static std::string GetDeviceFontName(const std::string& fileName);

    // What the character c, followed by next, does (the bits above); the colour and the style
    // take what an escape sets.
    static unsigned ProcessCharacter(unsigned c, unsigned next, RenderFontStyle& style, Color& color);

    // Draws the text with the pen at its top-left corner; pen.x moves right by what is drawn,
    // which is returned (pixels). 0 when the font did not load.
    int DrawText(const wchar_t* text, Rect& pen, uint32_t deviceFlags, int size, const Color& color, bool shadow,
                 int shadowDistance, RenderFontStyle style, bool filter) const;
    int DrawText(const char* text, Rect& pen, uint32_t deviceFlags, int size, const Color& color, bool shadow,
                 int shadowDistance, RenderFontStyle style, bool filter) const;
    // The width DrawText would draw, drawing nothing.
    int MeasureText(const wchar_t* text, int size, RenderFontStyle style) const;
    int MeasureText(const char* text, int size, RenderFontStyle style) const;

    // Brackets several DrawText calls so that the device may draw them together (brackets nest).
    void BeginBatch() const;
    void EndBatch() const;

private:
    template <class Char>
    int DrawRuns(const Char* text, Rect& pen, uint32_t deviceFlags, int size, const Color& color, bool shadow,
                 int shadowDistance, RenderFontStyle style, bool filter) const;

    GraphicsEngine& graphics_;
    RenderFont* font_ = nullptr;  // owned through the device
};

}  // namespace GAME
