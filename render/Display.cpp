#include "render/Display.h"

#include <algorithm>

#include "render/DisplayWidget.h"

namespace GAME {

void Display::AddWidget(DisplayWidget* widget) { widgets_.push_back(widget); }

void Display::RemoveWidget(DisplayWidget* widget) {
    const auto found = std::find(widgets_.begin(), widgets_.end(), widget);
    if (found == widgets_.end()) return;
    const int index = int(found - widgets_.begin());
    widgets_.erase(found);
    // A widget removed before the one being visited shifts it forward too, not only its own
    // removal: either way the walk must look at the same slot again.
    if (index <= walkIndex_) --walkIndex_;
}

template <class Visit>
bool Display::VisitFrontToBack(Visit visit) {
    bool taken = false;
    for (walkIndex_ = 0; !taken && walkIndex_ < GetNumWidgets(); ++walkIndex_)
        taken = visit(*widgets_[size_t(walkIndex_)]);
    walkIndex_ = -1;
    return taken;
}

void Display::Update() {
    VisitFrontToBack([](DisplayWidget& widget) {
        widget.Update();
        return false;
    });
}

void Display::Render(GraphicsCanvas& canvas) const {
    for (auto widget = widgets_.rbegin(); widget != widgets_.rend(); ++widget) (*widget)->Render(canvas);
}

bool Display::HandleKeyEvent(const InputDevice::ButtonEvent& event) {
    return VisitFrontToBack([&](DisplayWidget& widget) { return widget.HandleKeyEvent(event); });
}

bool Display::HandleMouseEvent(const InputDevice::MouseEvent& event) {
    return VisitFrontToBack([&](DisplayWidget& widget) { return widget.HandleMouseEvent(event); });
}

void Display::HandleInput(const InputDevice& input) {
    for (unsigned i = 0; i < input.GetNumMouseEvents(); ++i) HandleMouseEvent(input.GetMouseEvent(i));
    for (unsigned i = 0; i < input.GetNumButtonEvents(); ++i) HandleKeyEvent(input.GetButtonEvent(i));
}

}  // namespace GAME
