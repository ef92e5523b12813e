#include "platform/PlatformWindow.h"

#include "core/Log.h"
#include "platform/GLDriver.h"

#include <SDL2/SDL.h>

namespace GAME {

namespace {

SDL_Window* AsSdl(void* window) { return static_cast<SDL_Window*>(window); }

uint32_t FlagsOf(WindowFrame frame) {
    switch (frame) {
        case WindowFrame::Decorated: return 0;
        case WindowFrame::Resizable: return SDL_WINDOW_RESIZABLE;
        case WindowFrame::Borderless: return SDL_WINDOW_BORDERLESS;
        case WindowFrame::Topmost: return SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR;
    }
    return 0;
}

}  // namespace

bool PlatformWindow::Create(const std::string& title, int x, int y, int width, int height, WindowFrame frame,
                            const void* icon) {
    Destroy();
    KeepGLDriverLoaded();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        Log(LogPriority::Error, "Window: the video system does not start: %s", SDL_GetError());
        return false;
    }
    videoStarted_ = true;
    window_ = SDL_CreateWindow(title.c_str(), x, y, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | FlagsOf(frame));
    if (window_ == nullptr) {
        Log(LogPriority::Error, "Window: \"%s\" cannot be made: %s", title.c_str(), SDL_GetError());
        Destroy();
        return false;
    }
    // SDL keeps no reference to the icon: the caller's surface may go afterwards.
    if (icon != nullptr) SDL_SetWindowIcon(AsSdl(window_), static_cast<SDL_Surface*>(const_cast<void*>(icon)));
    return true;
}

void PlatformWindow::Destroy() {
    if (window_ != nullptr) SDL_DestroyWindow(AsSdl(window_));
    window_ = nullptr;
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
}

uint32_t PlatformWindow::GetId() const { return window_ != nullptr ? SDL_GetWindowID(AsSdl(window_)) : 0; }

void PlatformWindow::SetFrame(WindowFrame frame) {
    if (window_ == nullptr) return;
    const uint32_t flags = FlagsOf(frame);
    SDL_SetWindowBordered(AsSdl(window_), (flags & SDL_WINDOW_BORDERLESS) ? SDL_FALSE : SDL_TRUE);
    SDL_SetWindowResizable(AsSdl(window_), (flags & SDL_WINDOW_RESIZABLE) ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowAlwaysOnTop(AsSdl(window_), (flags & SDL_WINDOW_ALWAYS_ON_TOP) ? SDL_TRUE : SDL_FALSE);
}

void PlatformWindow::SetClientSize(int width, int height) {
    if (window_ != nullptr) SDL_SetWindowSize(AsSdl(window_), width, height);
}

void PlatformWindow::GetClientSize(int& width, int& height) const {
    width = height = 0;
    if (window_ != nullptr) SDL_GetWindowSize(AsSdl(window_), &width, &height);
}

void PlatformWindow::Center() {
    if (window_ == nullptr) return;
    const int display = SDL_GetWindowDisplayIndex(AsSdl(window_));
    const int centred = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(display < 0 ? 0 : display));
    SDL_SetWindowPosition(AsSdl(window_), centred, centred);
}

void PlatformWindow::GetPosition(int& x, int& y) const {
    x = y = 0;
    if (window_ != nullptr) SDL_GetWindowPosition(AsSdl(window_), &x, &y);
}

void PlatformWindow::SetTitle(const std::string& title) {
    if (window_ != nullptr) SDL_SetWindowTitle(AsSdl(window_), title.c_str());
}

void PlatformWindow::Show(bool show) {
    if (window_ == nullptr) return;
    if (show) {
        SDL_ShowWindow(AsSdl(window_));
    } else {
        SDL_HideWindow(AsSdl(window_));
    }
}

void PlatformWindow::Raise() {
    if (window_ != nullptr) SDL_RaiseWindow(AsSdl(window_));
}

void PlatformWindow::Maximize() {
    if (window_ != nullptr) SDL_MaximizeWindow(AsSdl(window_));
}

bool PlatformWindow::IsActive() const {
    if (window_ == nullptr) return false;
    const uint32_t flags = SDL_GetWindowFlags(AsSdl(window_));
    return (flags & SDL_WINDOW_SHOWN) && !(flags & SDL_WINDOW_MINIMIZED) && (flags & SDL_WINDOW_INPUT_FOCUS);
}

void PlatformWindow::SetCursorVisible(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

bool PlatformWindow::ShowPixels(const uint32_t* pixels, int width, int height) {
    // A window surface may otherwise be a GL texture drawn with a context of SDL's own, made
    // current over the render device's.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Window* const glWindow = SDL_GL_GetCurrentWindow();
    const SDL_GLContext glContext = SDL_GL_GetCurrentContext();
    SDL_Surface* surface = window_ != nullptr ? SDL_GetWindowSurface(AsSdl(window_)) : nullptr;
    SDL_Surface* source = surface != nullptr ? SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width,
                                                                                 height, 32, width * 4,
                                                                                 SDL_PIXELFORMAT_ABGR8888)
                                             : nullptr;
    const bool shown = source != nullptr && SDL_BlitSurface(source, nullptr, surface, nullptr) == 0 &&
                       SDL_UpdateWindowSurface(AsSdl(window_)) == 0;
    if (!shown) Log(LogPriority::Error, "Window: the pixels cannot be shown: %s", SDL_GetError());
    SDL_FreeSurface(source);
    if (glContext != nullptr && SDL_GL_GetCurrentContext() != glContext) SDL_GL_MakeCurrent(glWindow, glContext);
    return shown;
}

bool PlatformWindow::GetScreenRect(void* window, int& x, int& y, int& width, int& height) {
    x = y = width = height = 0;
    if (window == nullptr) return false;
    SDL_GetWindowPosition(AsSdl(window), &x, &y);
    SDL_GetWindowSize(AsSdl(window), &width, &height);
    return true;
}

bool PollWindowMessage(WindowMessage& message) {
    SDL_Event event;
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0 || SDL_PollEvent(&event) == 0) return false;
    message = WindowMessage();
    using Type = WindowMessage::Type;
    switch (event.type) {
        case SDL_QUIT: message.type = Type::Quit; break;
        case SDL_KEYDOWN:
            message.type = Type::KeyDown;
            message.windowId = event.key.windowID;
            message.enter = event.key.keysym.scancode == SDL_SCANCODE_RETURN ||
                            event.key.keysym.scancode == SDL_SCANCODE_KP_ENTER;
            message.alt = (event.key.keysym.mod & KMOD_ALT) != 0;
            break;
        case SDL_MOUSEBUTTONDOWN:
            message.type = Type::ButtonDown;
            message.windowId = event.button.windowID;
            break;
        case SDL_MOUSEMOTION:
            message.type = Type::Motion;
            message.windowId = event.motion.windowID;
            break;
        case SDL_WINDOWEVENT:
            message.windowId = event.window.windowID;
            switch (event.window.event) {
                case SDL_WINDOWEVENT_CLOSE: message.type = Type::Close; break;
                case SDL_WINDOWEVENT_FOCUS_LOST: message.type = Type::FocusLost; break;
                case SDL_WINDOWEVENT_MINIMIZED: message.type = Type::Minimized; break;
                case SDL_WINDOWEVENT_RESTORED: message.type = Type::Restored; break;
                case SDL_WINDOWEVENT_MAXIMIZED:
                case SDL_WINDOWEVENT_RESIZED: message.type = Type::Resized; break;
                default: break;
            }
            break;
        default: break;
    }
    return true;
}

}  // namespace GAME
