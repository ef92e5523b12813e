#pragma once
// EWindow: a window the engine makes and pumps for its host, in one of five styles, with the
// client area of the size asked for, centred, and the host told of Alt+Enter, minimise and
// restore (WindowEventHandler).
//
// Styles and their frames:
// - Windowed: title bar and borders, fixed size;
// - Resizable: title bar and borders, resized and maximised by the user;
// - Borderless: no title bar or borders;
// - FullScreen: a borderless window above the others, at the size asked for (the host asks for
//   the screen's), that behaves like a screen saver: a key press or a click closes it, and so do
//   mouse movements and losses of focus once 25 of them have come to full-screen windows (the
//   count is the process's and never starts again); the cursor is hidden while it is open;
// - Child: a borderless window above the others, over the parent window's client area (the
//   platform has no child windows); input does not close it.
// Every window can hold a GL context.
//
// The pump (ProcessMessages) handles every pending message of the process, each for the window
// it names, as one thread's message loop serves all its windows; a message that names no window
// is the pumping window's. A quit request (the system's, or the last window closed by the user)
// closes every window. Closing a window sets its closed flag and ends its pump; it does not end
// the pumps of the process's other windows (an inspector window closes alone).
//
// Main thread only: the thread that made the window pumps it.

#include <string>

#include "platform/PlatformWindow.h"

namespace GAME {

class WindowEventHandler;

class EWindow {
public:
    enum Style : int { Windowed = 0, Resizable = 1, Borderless = 2, FullScreen = 3, Child = 4 };

    // Mouse movements and focus losses that close full-screen windows.
    static constexpr int kFullScreenMoveLimit = 25;

    EWindow() = default;
    virtual ~EWindow();
    EWindow(const EWindow&) = delete;
    EWindow& operator=(const EWindow&) = delete;

    // Makes the window (destroying one made before) with the caption, client size, icon (an
    // SDL_Surface*, may be null) and style; a Child window takes its place and size from the
    // parent (an SDL_Window*) instead. Other styles are then sized (SetSize) and centred. Shows
    // the window and brings it to the front. False, with an error, when it cannot be made or a
    // Child has no parent.
    bool Initialize(const std::string& caption, int width, int height, const void* icon, Style style,
                    void* parent = nullptr);
    // Stores the size and style; unless the style is FullScreen or Child, gives the window that
    // frame and client size. A value outside the styles is taken as Windowed, with a warning.
    void SetSize(int width, int height, Style style);
    // Centres the window on the screen and stores its position.
    void Center();
    // Handles every pending message; false once a quit request came or this window is closed.
    bool ProcessMessages();
    // Sets the closed flag: the pump returns false from now on.
    void Close();
    // Closes and destroys the window.
    void Destroy();

    void SetEventHandler(WindowEventHandler* handler) { handler_ = handler; }
    void SetCaption(const std::string& caption) { window_.SetTitle(caption); }
    void Maximize() { window_.Maximize(); }
    void Show(bool show) { window_.Show(show); }
    void Activate() { window_.Raise(); }
    // Shown, not minimised, and with input focus.
    bool IsActive() const { return window_.IsActive(); }
    bool IsClosed() const { return closed_; }
    // The client area's current size.
    int GetClientWidth() const;
    int GetClientHeight() const;
    int GetX() const { return x_; }
    int GetY() const { return y_; }
    // The SDL_Window* (for the render device); null before Initialize.
    void* GetSystemWindow() const { return window_.GetHandle(); }
    Style GetStyle() const { return style_; }
    // Shows pixels in a window no GL context draws to (PlatformWindow::ShowPixels).
    bool ShowPixels(const uint32_t* pixels, int width, int height) { return window_.ShowPixels(pixels, width, height); }

private:
    static EWindow* FindWindow(uint32_t id);
    void HandleMessage(const WindowMessage& message);
    void HandleFullScreenMessage(const WindowMessage& message);

    PlatformWindow window_;
    void* parent_ = nullptr;
    WindowEventHandler* handler_ = nullptr;  // the host's; may be null
    int x_ = 0;
    int y_ = 0;
    int width_ = 0;
    int height_ = 0;
    Style style_ = Windowed;
    bool closed_ = false;
};

}  // namespace GAME
