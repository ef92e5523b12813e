#pragma once
// StatisticsWidget: the statistics overlay. Draws the lines added to this frame's statistics
// (Engine::AddStatisticText: the graphics engine's frame statistics while they are on, the
// renderers' debug lines) in the engine's utility font style on a translucent box in the top left
// corner; nothing when there are none. The engine adds one to its display unless input (and with
// it the debug widgets) is suppressed.

#include "render/DisplayWidget.h"

namespace GAME {

class StatisticsWidget final : public DisplayWidget {
public:
    // The box's corner from the top left of the screen, pixels.
    static constexpr int kMargin = 8;

    void Render(GraphicsCanvas& canvas) const override;
};

}  // namespace GAME
