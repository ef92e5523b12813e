#pragma once
// Input and window events put into the system's event queue as if the user had made them, for tests of the
// input device and windows. The window is an SDL_Window* (null: the event names no window);
// scancodes are SDL's.

#include <cstdint>
#include <string>

namespace GAME::test {

// Modifier state an event carries.
enum class KeyModifiers : uint16_t { None = 0, Shift = 1, Control = 2, Alt = 4, CapsLock = 8 };
constexpr KeyModifiers operator|(KeyModifiers a, KeyModifiers b) {
    return static_cast<KeyModifiers>(static_cast<uint16_t>(a) | static_cast<uint16_t>(b));
}

void PushKey(void* window, int scancode, bool down, KeyModifiers modifiers = KeyModifiers::None, bool repeat = false);
// Caps lock's toggle as the system's keyboard state holds it (a pushed key event never changes it).
void SetCapsLock(bool on);
// UTF-8 text of up to 31 bytes.
void PushText(void* window, const std::string& text);
// button: 1 left, 2 middle, 3 right (the system's numbering).
void PushButton(void* window, int button, bool down, int x = 0, int y = 0);
void PushWheel(void* window, int x, int y);
void PushMotion(void* window, int x, int y);
// What the system tells a window.
enum class WindowChange { Close, Minimized, Restored, Maximized, Resized, FocusLost };
void PushWindowChange(void* window, WindowChange change);
// The system's request to quit.
void PushQuit();
// Delivers nothing new but empties the queue, as a window's pump would.
void DrainEvents();

// SDL's scancodes the tests name.
int ScancodeOf(const char* keyName);
// The size of the first display.
void GetScreenSize(int& width, int& height);

}  // namespace GAME::test
