#pragma once
// PlatformWindow: one top-level SDL window that can hold a GL context, and the window messages
// of the process's event queue. The window keeps SDL's video started while it lives, and the GL
// driver loaded (platform/GLDriver.h). Main thread only.
//
// SDL has no child windows and no window procedures: a window owner polls the queue
// (PollWindowMessage) and handles each message for the window it names.

#include <cstdint>
#include <string>

namespace GAME {

// The frame of a window.
enum class WindowFrame {
    Decorated,   // title bar and borders, fixed size
    Resizable,   // title bar and borders, resized and maximised by the user
    Borderless,  // no title bar or borders
    Topmost,     // no title bar or borders, above other windows, not in the task bar
};

// What happened to a window, or the quit request of the process.
struct WindowMessage {
    enum class Type { Quit, Close, KeyDown, ButtonDown, Motion, FocusLost, Minimized, Restored, Resized, Other };

    Type type = Type::Other;
    uint32_t windowId = 0;   // the window it names; 0 for none
    bool enter = false;      // KeyDown: the key is Return (either one)
    bool alt = false;        // KeyDown: an Alt key is held
};

class PlatformWindow {
public:
    PlatformWindow() = default;
    ~PlatformWindow() { Destroy(); }
    PlatformWindow(const PlatformWindow&) = delete;
    PlatformWindow& operator=(const PlatformWindow&) = delete;

    // Opens a hidden window with the client area at (x, y) of the screen, the title and frame, and
    // the icon (an SDL_Surface*, may be null). A window already open is destroyed first. False,
    // with an error, when it cannot.
    bool Create(const std::string& title, int x, int y, int width, int height, WindowFrame frame, const void* icon);
    void Destroy();

    bool IsOpen() const { return window_ != nullptr; }
    // The SDL_Window*; null while closed.
    void* GetHandle() const { return window_; }
    // The id window messages name it by; 0 while closed.
    uint32_t GetId() const;

    void SetFrame(WindowFrame frame);
    void SetClientSize(int width, int height);
    void GetClientSize(int& width, int& height) const;
    // Centres the window on its display.
    void Center();
    void GetPosition(int& x, int& y) const;
    void SetTitle(const std::string& title);
    void Show(bool show);
    // Brings the window to the front and asks for input focus.
    void Raise();
    void Maximize();
    // Shown, not minimised, with input focus.
    bool IsActive() const;
    void SetCursorVisible(bool visible);
    // Shows width x height pixels (0xAABBGGRR words, rows top first) in the window's client area
    // without a GL context; false, with an error, when the window cannot show them.
    bool ShowPixels(const uint32_t* pixels, int width, int height);

    // The client rectangle on the screen of any SDL window; false for null.
    static bool GetScreenRect(void* window, int& x, int& y, int& width, int& height);

private:
    void* window_ = nullptr;
    bool videoStarted_ = false;
};

// Takes the next pending window message of the process (main thread), delivering the system's
// events first; false when none is left.
bool PollWindowMessage(WindowMessage& message);

}  // namespace GAME
