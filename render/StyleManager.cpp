#include "render/StyleManager.h"

#include "core/Singleton.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/LoadTable.h"
#include "files/LocalizationManager.h"
#include "render/GraphicsEngine.h"

#include <cmath>

namespace GAME {

StyleManager::~StyleManager() { UnloadFonts(GetEngineGraphics()); }

void StyleManager::UnloadFonts(GraphicsEngine* graphics) {
    for (const auto& [name, style] : styles_) {
        if (graphics != nullptr) graphics->UnloadFont(style->font);
        style->font = nullptr;
        withoutFont_.insert(name);
    }
}

void StyleManager::ReleaseFonts(GraphicsEngine& graphics) {
    if (Singleton<StyleManager>::HasInstantiated()) Singleton<StyleManager>::Get()->UnloadFonts(&graphics);
}

FontStyle* StyleManager::GetStyle(const std::string& name) {
    auto found = styles_.find(name);
    if (found == styles_.end() || (withoutFont_.count(name) != 0 && GetEngineGraphics() != nullptr)) {
        LoadStyle(name);
        found = styles_.find(name);
    }
    return found->second.get();
}

void StyleManager::LoadStyle(const std::string& name) {
    const LoadTable& table = Singleton<ObjectManager>::Get()->GetLoadTable(name);
    GraphicsEngine* const graphics = GetEngineGraphics();
    const LocalizationManager& localization = LocalizationManager::Instance();
    auto style = std::make_unique<FontStyle>();

    const std::string specialFont = localization.GetSpecialFont();
    style->fontName = !specialFont.empty() ? specialFont : table.GetValue("fontName", kDefaultFontName);
    style->size = table.GetInt("fontSize", kDefaultSize);
    style->shadowDistance = table.GetInt("fontShadowDistance", kDefaultShadowDistance);
    if (graphics != nullptr && graphics->GetHeight() < kFullHeight) {
        const float scale = float(graphics->GetHeight()) * (1.0f / float(kFullHeight));
        style->size = int(std::ceil(float(style->size) * scale));
        style->shadowDistance = int(std::ceil(float(style->shadowDistance) * scale));
        const int minimum = table.GetInt("lowResMinimumFontSize", kDefaultLowResMinimumSize);
        if (style->size < minimum) {
            const char* key = localization.IsEnglish() ? "lowResFontName" : "lowResFontNameForeign";
            style->fontName = table.GetValue(key, style->fontName.c_str());
            style->size = minimum;
        }
    }
    if (graphics != nullptr) {
        style->font = graphics->LoadFont(style->fontName);
        withoutFont_.erase(name);
    } else {
        withoutFont_.insert(name);
    }

    style->color = Color(table.GetFloat("fontColorRed", 1.0f), table.GetFloat("fontColorGreen", 1.0f),
                         table.GetFloat("fontColorBlue", 1.0f), 1.0f);
    style->dropShadow = table.GetBool("fontDropShadow", false);
    const bool bold = table.GetBool("fontAttribBold", false);
    const bool italic = table.GetBool("fontAttribItalic", false);
    style->attributes = bold && italic ? RenderFontStyle::BoldItalic
                        : bold         ? RenderFontStyle::Bold
                        : italic       ? RenderFontStyle::Italic
                                       : RenderFontStyle::Regular;
    style->filter = table.GetBool("fontFilter", false);

    std::unique_ptr<FontStyle>& slot = styles_[name];
    if (slot == nullptr) {
        slot = std::move(style);
        return;
    }
    // A style loaded again stays the same object: callers keep pointers to styles.
    if (graphics != nullptr) graphics->UnloadFont(slot->font);
    *slot = *style;
}

}  // namespace GAME
