#include "render/StatisticsWidget.h"

#include "core/Color.h"
#include "engine/Engine.h"
#include "files/LocalizationManager.h"
#include "render/GraphicsCanvas.h"

namespace GAME {

void StatisticsWidget::Render(GraphicsCanvas& canvas) const {
    if (gEngine == nullptr) return;
    const mem::vector<std::string>& text = gEngine->GetStatisticText();
    if (text.empty()) return;
    mem::vector<std::wstring> lines;
    lines.reserve(text.size());
    for (const std::string& line : text) lines.push_back(LocalizationManager::ToWChar(line));
    canvas.RenderTextParagraph(kMargin, kMargin, Color(1.0f, 1.0f, 1.0f, 1.0f), Color(0.0f, 0.0f, 0.0f, 0.5f), lines,
                               gEngine->GetUtilityFontStyle(), false);
}

}  // namespace GAME
