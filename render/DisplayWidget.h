#pragma once
// DisplayWidget: something drawn on the screen every frame over the scene (debug displays, the
// statistics, the host's own interface screens), kept in the engine's Display. The display does
// not own its widgets: whoever adds one removes it before deleting it.

#include "render/InputDevice.h"

namespace GAME {

class GraphicsCanvas;

class DisplayWidget {
public:
    virtual ~DisplayWidget() = default;

    // Once a frame before the frame is drawn. A widget may add or remove widgets here, itself
    // included.
    virtual void Update() {}
    // Draws the widget inside the canvas's frame.
    virtual void Render(GraphicsCanvas& canvas) const = 0;
    // An input event of this frame; true when the widget took it, so that the widgets behind it
    // do not see it.
    virtual bool HandleKeyEvent(const InputDevice::ButtonEvent& /*event*/) { return false; }
    virtual bool HandleMouseEvent(const InputDevice::MouseEvent& /*event*/) { return false; }
};

}  // namespace GAME
