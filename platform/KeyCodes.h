#pragma once
// The engine's key codes and the platform's keys (SDL scancodes, the USB HID usages).
//
// The engine numbers keys 1 to 147: 1 to 144 are the PC keyboard's set-1 codes in ascending order
// (1 to 83 are set-1 codes 0x01 to 0x53 themselves; 84 to 144 the extended and national keys from
// 0x56 to 0xED), 145 and 146 the mouse wheel up and down and 147 the middle mouse button. One
// table pairs every keyboard code with its scancode and serves both conversions. A few set-1 keys
// have no scancode on this platform (the NEC PC-98 keys "@", ":", "_", "AX" and "unlabeled", the
// Japanese "Kanji", the Brazilian keypad "." and "Wake"): they convert to and from 0.

#include <string>

namespace GAME {

inline constexpr int kFirstKeyCode = 1;
inline constexpr int kLastKeyboardKeyCode = 144;
inline constexpr int kWheelUpKeyCode = 145;
inline constexpr int kWheelDownKeyCode = 146;
inline constexpr int kMiddleMouseKeyCode = 147;
inline constexpr int kLastKeyCode = kMiddleMouseKeyCode;

// The engine code of a scancode; 0 for a scancode the engine does not number.
int KeyCodeFromScancode(int scancode);
// The scancode of an engine keyboard code; 0 for any other value.
int ScancodeFromKeyCode(int keyCode);
// The name of the key with the scancode in the user's keyboard layout ("Left Shift", "Z"), or
// else the name of the scancode; empty when it has neither.
std::string GetScancodeName(int scancode);

}  // namespace GAME
