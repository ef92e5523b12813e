#include "render/EWindow.h"

#include <algorithm>
#include <vector>

#include "core/Log.h"
#include "render/WindowEventHandler.h"

namespace GAME {

namespace {

// The windows made and not destroyed, for the pump to find a message's window.
std::vector<EWindow*>& LiveWindows() {
    static std::vector<EWindow*> windows;
    return windows;
}

// Left of the full-screen windows' count of movements and focus losses; never reset.
int gFullScreenMovesLeft = EWindow::kFullScreenMoveLimit;

WindowFrame FrameOf(EWindow::Style style) {
    switch (style) {
        case EWindow::Resizable: return WindowFrame::Resizable;
        case EWindow::Borderless: return WindowFrame::Borderless;
        case EWindow::FullScreen:
        case EWindow::Child: return WindowFrame::Topmost;
        default: return WindowFrame::Decorated;
    }
}

}  // namespace

EWindow::~EWindow() { Destroy(); }

bool EWindow::Initialize(const std::string& caption, int width, int height, const void* icon, Style style,
                         void* parent) {
    Destroy();
    closed_ = false;
    width_ = width;
    height_ = height;
    style_ = style;
    parent_ = parent;
    x_ = y_ = 0;
    if (style == Child && !PlatformWindow::GetScreenRect(parent, x_, y_, width_, height_)) {
        Log(LogPriority::Error, "Window \"%s\": a child window needs a parent", caption.c_str());
        return false;
    }
    if (!window_.Create(caption, x_, y_, width_, height_, FrameOf(style), icon)) return false;
    LiveWindows().push_back(this);
    if (style != Child) {
        SetSize(width, height, style);
        Center();
    }
    if (style == FullScreen) window_.SetCursorVisible(false);
    window_.Show(true);
    window_.Raise();
    return true;
}

void EWindow::SetSize(int width, int height, Style style) {
    if (style < Windowed || style > Child) {
        Log(LogPriority::Warning, "Window: style %d is not a window style; the window is made Windowed",
            static_cast<int>(style));
        style = Windowed;
    }
    width_ = width;
    height_ = height;
    style_ = style;
    if (style == FullScreen || style == Child) return;
    window_.SetFrame(FrameOf(style));
    window_.SetClientSize(width, height);
}

void EWindow::Center() {
    window_.Center();
    window_.GetPosition(x_, y_);
}

bool EWindow::ProcessMessages() {
    WindowMessage message;
    while (PollWindowMessage(message)) {
        if (message.type == WindowMessage::Type::Quit) {
            for (EWindow* window : LiveWindows()) window->Close();
            continue;
        }
        EWindow* window = message.windowId != 0 ? FindWindow(message.windowId) : this;
        if (window == nullptr) continue;
        if (window->style_ == FullScreen || window->style_ == Child) {
            window->HandleFullScreenMessage(message);
        } else {
            window->HandleMessage(message);
        }
    }
    return !closed_;
}

EWindow* EWindow::FindWindow(uint32_t id) {
    for (EWindow* window : LiveWindows())
        if (window->window_.GetId() == id) return window;
    return nullptr;
}

void EWindow::HandleMessage(const WindowMessage& message) {
    using Type = WindowMessage::Type;
    switch (message.type) {
        case Type::Close: Close(); break;
        case Type::KeyDown:
            if (message.enter && message.alt && handler_ != nullptr) handler_->OnAltEnter();
            break;
        case Type::Minimized:
            if (handler_ != nullptr) handler_->OnMinimize();
            break;
        case Type::Restored:
        case Type::Resized:
            if (handler_ != nullptr) handler_->OnRestore();
            break;
        default: break;
    }
}

void EWindow::HandleFullScreenMessage(const WindowMessage& message) {
    using Type = WindowMessage::Type;
    const bool child = style_ == Child;
    switch (message.type) {
        case Type::Close: Close(); break;
        case Type::KeyDown:
        case Type::ButtonDown:
            if (!child) Close();
            break;
        case Type::Motion:
        case Type::FocusLost:
            if (!child && --gFullScreenMovesLeft <= 0) Close();
            break;
        default: break;
    }
}

void EWindow::Close() { closed_ = true; }

void EWindow::Destroy() {
    if (!window_.IsOpen()) return;
    Close();
    if (style_ == FullScreen) window_.SetCursorVisible(true);
    auto& windows = LiveWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
    window_.Destroy();
}

int EWindow::GetClientWidth() const {
    int width = 0, height = 0;
    window_.GetClientSize(width, height);
    return width;
}

int EWindow::GetClientHeight() const {
    int width = 0, height = 0;
    window_.GetClientSize(width, height);
    return height;
}

}  // namespace GAME
