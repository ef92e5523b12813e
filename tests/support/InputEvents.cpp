#include "support/InputEvents.h"

#include <SDL2/SDL.h>

#include <algorithm>

namespace GAME::test {

namespace {

uint32_t IdOf(void* window) { return window != nullptr ? SDL_GetWindowID(static_cast<SDL_Window*>(window)) : 0; }

uint16_t ModOf(KeyModifiers modifiers) {
    const auto bits = static_cast<uint16_t>(modifiers);
    uint16_t mod = KMOD_NONE;
    if (bits & static_cast<uint16_t>(KeyModifiers::Shift)) mod |= KMOD_LSHIFT;
    if (bits & static_cast<uint16_t>(KeyModifiers::Control)) mod |= KMOD_LCTRL;
    if (bits & static_cast<uint16_t>(KeyModifiers::Alt)) mod |= KMOD_LALT;
    if (bits & static_cast<uint16_t>(KeyModifiers::CapsLock)) mod |= KMOD_CAPS;
    return mod;
}

}  // namespace

void PushKey(void* window, int scancode, bool down, KeyModifiers modifiers, bool repeat) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = IdOf(window);
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = static_cast<SDL_Scancode>(scancode);
    event.key.keysym.sym = SDL_GetKeyFromScancode(event.key.keysym.scancode);
    event.key.keysym.mod = ModOf(modifiers);
    SDL_PushEvent(&event);
}

void SetCapsLock(bool on) {
    SDL_SetModState(static_cast<SDL_Keymod>(on ? SDL_GetModState() | KMOD_CAPS : SDL_GetModState() & ~KMOD_CAPS));
}

void PushText(void* window, const std::string& text) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = IdOf(window);
    std::copy_n(text.begin(), std::min(text.size(), sizeof(event.text.text) - 1), event.text.text);
    SDL_PushEvent(&event);
}

void PushButton(void* window, int button, bool down, int x, int y) {
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = IdOf(window);
    event.button.button = static_cast<uint8_t>(button);
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
}

void PushWheel(void* window, int x, int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = IdOf(window);
    event.wheel.x = x;
    event.wheel.y = y;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    SDL_PushEvent(&event);
}

void PushMotion(void* window, int x, int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = IdOf(window);
    event.motion.x = x;
    event.motion.y = y;
    SDL_PushEvent(&event);
}

void PushWindowChange(void* window, WindowChange change) {
    static constexpr uint8_t kEvents[] = {SDL_WINDOWEVENT_CLOSE,     SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED,
                                          SDL_WINDOWEVENT_MAXIMIZED, SDL_WINDOWEVENT_RESIZED,   SDL_WINDOWEVENT_FOCUS_LOST};
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = IdOf(window);
    event.window.event = kEvents[static_cast<int>(change)];
    SDL_PushEvent(&event);
}

void PushQuit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

void DrainEvents() {
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

int ScancodeOf(const char* keyName) { return SDL_GetScancodeFromName(keyName); }

}  // namespace GAME::test

namespace GAME::test {

void GetScreenSize(int& width, int& height) {
    SDL_Rect bounds{};
    SDL_GetDisplayBounds(0, &bounds);
    width = bounds.w;
    height = bounds.h;
}

}  // namespace GAME::test
