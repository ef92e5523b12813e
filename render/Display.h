#pragma once
// Display: the ordered list of widgets on the screen, index 0 the front. The engine updates it
// and hands it the frame's input; the graphics engine draws it inside the canvas frame, back to
// front, so that the front widget lands on top. Widgets are not owned. Main thread only.

#include "core/Mem.h"
#include "render/InputDevice.h"

namespace GAME {

class DisplayWidget;
class GraphicsCanvas;

class Display {
public:
    // Appended at the back, behind every widget already there.
    void AddWidget(DisplayWidget* widget);
    // Removes the widget (its first occurrence); nothing when it is not there. Safe from inside
    // a widget's Update or event handler: a widget removed at or before the one being visited
    // moves the walk back by one, so the widget that slides into its place is not skipped and a
    // removed one is not called.
    void RemoveWidget(DisplayWidget* widget);
    int GetNumWidgets() const { return int(widgets_.size()); }
    DisplayWidget* GetWidget(int index) const { return widgets_[size_t(index)]; }

    // Updates every widget front to back, widgets added during the update included (at the back).
    void Update();
    // Draws every widget back to front.
    void Render(GraphicsCanvas& canvas) const;
    // Offers the event to the widgets front to back until one takes it; true when one did.
    bool HandleKeyEvent(const InputDevice::ButtonEvent& event);
    bool HandleMouseEvent(const InputDevice::MouseEvent& event);
    // Hands every event the device made this frame to the widgets: the mouse events, then the
    // keyboard events, each oldest first.
    void HandleInput(const InputDevice& input);

private:
    // Calls visit(widget) from index 0 on, re-reading the list each step, until it returns true;
    // whether one did. Walks do not nest: a widget does not update the display or hand it events
    // from inside its own Update or handler.
    template <class Visit>
    bool VisitFrontToBack(Visit visit);

    mem::vector<DisplayWidget*> widgets_;
    // The widget being updated or offered an event; -1 outside a walk (and while the front
    // widget has just removed itself).
    int walkIndex_ = -1;
};

}  // namespace GAME
