#pragma once
// WindowEventHandler: what the host is told about its window (EWindow::SetEventHandler).

namespace GAME {

class WindowEventHandler {
public:
    virtual ~WindowEventHandler() = default;
    // Alt+Enter was pressed in the window (hosts switch between windowed and full screen).
    virtual void OnAltEnter() = 0;
    virtual void OnMinimize() = 0;
    // The window was restored, maximised or resized by the user.
    virtual void OnRestore() = 0;
};

}  // namespace GAME
