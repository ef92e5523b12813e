#pragma once
// StyleManager: the font styles by record name (Singleton<StyleManager>::Get). A style is loaded
// from its record on first use and kept; the style records' keys and defaults:
//   "fontName"            font file ("Fonts/Albertus MT.fnt"); the language's special font
//                         (LocalizationManager::GetSpecialFont) replaces it when there is one
//   "fontSize"            pixels (16)
//   "fontShadowDistance"  pixels (1)
//   "fontColorRed", "fontColorGreen", "fontColorBlue"   (1.0 each; alpha is 1)
//   "fontDropShadow", "fontAttribBold", "fontAttribItalic", "fontFilter"   (false each)
//   "lowResMinimumFontSize", "lowResFontName", "lowResFontNameForeign"   (see below)
// Below 768 lines of height (the graphics engine's) the size and shadow distance scale with the
// height, rounded up; a size then below "lowResMinimumFontSize" (12) becomes that size, in the font
// "lowResFontName" for English or "lowResFontNameForeign" for other languages (each defaulting to
// the font chosen so far). A missing record gives a style of all the defaults (the record store
// logs the miss).
//
// The styles hold references on fonts of the graphics engine that was running when they loaded
// (gEngine's). That graphics engine takes the fonts back before it goes (ReleaseFonts); the styles
// themselves stay (holders keep pointers to them, for as long as the style manager lives) and are
// loaded again, in place, on their next use under a running graphics engine. A style loaded while
// no graphics engine runs has no font and is loaded again the same way.
//
// Main thread only.

#include "render/FontStyle.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace GAME {

class GraphicsEngine;

class StyleManager {
public:
    static constexpr const char* kDefaultFontName = "Fonts/Albertus MT.fnt";
    static constexpr int kDefaultSize = 16;
    static constexpr int kDefaultShadowDistance = 1;
    static constexpr int kDefaultLowResMinimumSize = 12;
    // Heights below this scale the styles down.
    static constexpr int kFullHeight = 768;

    StyleManager() = default;
    // Unloads the fonts (through gEngine's graphics engine, when it still runs) and frees the styles.
    ~StyleManager();
    StyleManager(const StyleManager&) = delete;
    StyleManager& operator=(const StyleManager&) = delete;

    // The style of the record, loaded first when new or without a font; never null, and the same
    // object for the name as long as the style manager lives.
    FontStyle* GetStyle(const std::string& name);
    // Loads (again) the style of the record.
    void LoadStyle(const std::string& name);

    // Called by a graphics engine as it goes: the style manager, if there is one, unloads every
    // style's font through it; the styles stay, without fonts.
    static void ReleaseFonts(GraphicsEngine& graphics);

private:
    // Unloads every style's font through the graphics engine (when there is one).
    void UnloadFonts(GraphicsEngine* graphics);

    std::map<std::string, std::unique_ptr<FontStyle>> styles_;
    std::set<std::string> withoutFont_;  // styles to load again once a graphics engine runs
};

}  // namespace GAME
