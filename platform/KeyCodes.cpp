#include "platform/KeyCodes.h"

#include <SDL2/SDL.h>

#include <array>
#include <utility>

namespace GAME {

namespace {

// Scancode of each engine keyboard code; index 0 is no key.
constexpr std::array<SDL_Scancode, kLastKeyboardKeyCode + 1> kScancodes = {
    SDL_SCANCODE_UNKNOWN,
    // 1 - 14: 0x01 - 0x0E
    SDL_SCANCODE_ESCAPE, SDL_SCANCODE_1, SDL_SCANCODE_2, SDL_SCANCODE_3, SDL_SCANCODE_4, SDL_SCANCODE_5,
    SDL_SCANCODE_6, SDL_SCANCODE_7, SDL_SCANCODE_8, SDL_SCANCODE_9, SDL_SCANCODE_0, SDL_SCANCODE_MINUS,
    SDL_SCANCODE_EQUALS, SDL_SCANCODE_BACKSPACE,
    // 15 - 29: 0x0F - 0x1D
    SDL_SCANCODE_TAB, SDL_SCANCODE_Q, SDL_SCANCODE_W, SDL_SCANCODE_E, SDL_SCANCODE_R, SDL_SCANCODE_T,
    SDL_SCANCODE_Y, SDL_SCANCODE_U, SDL_SCANCODE_I, SDL_SCANCODE_O, SDL_SCANCODE_P, SDL_SCANCODE_LEFTBRACKET,
    SDL_SCANCODE_RIGHTBRACKET, SDL_SCANCODE_RETURN, SDL_SCANCODE_LCTRL,
    // 30 - 42: 0x1E - 0x2A
    SDL_SCANCODE_A, SDL_SCANCODE_S, SDL_SCANCODE_D, SDL_SCANCODE_F, SDL_SCANCODE_G, SDL_SCANCODE_H,
    SDL_SCANCODE_J, SDL_SCANCODE_K, SDL_SCANCODE_L, SDL_SCANCODE_SEMICOLON, SDL_SCANCODE_APOSTROPHE,
    SDL_SCANCODE_GRAVE, SDL_SCANCODE_LSHIFT,
    // 43 - 58: 0x2B - 0x3A
    SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_Z, SDL_SCANCODE_X, SDL_SCANCODE_C, SDL_SCANCODE_V, SDL_SCANCODE_B,
    SDL_SCANCODE_N, SDL_SCANCODE_M, SDL_SCANCODE_COMMA, SDL_SCANCODE_PERIOD, SDL_SCANCODE_SLASH,
    SDL_SCANCODE_RSHIFT, SDL_SCANCODE_KP_MULTIPLY, SDL_SCANCODE_LALT, SDL_SCANCODE_SPACE, SDL_SCANCODE_CAPSLOCK,
    // 59 - 70: 0x3B - 0x46
    SDL_SCANCODE_F1, SDL_SCANCODE_F2, SDL_SCANCODE_F3, SDL_SCANCODE_F4, SDL_SCANCODE_F5, SDL_SCANCODE_F6,
    SDL_SCANCODE_F7, SDL_SCANCODE_F8, SDL_SCANCODE_F9, SDL_SCANCODE_F10, SDL_SCANCODE_NUMLOCKCLEAR,
    SDL_SCANCODE_SCROLLLOCK,
    // 71 - 83: 0x47 - 0x53
    SDL_SCANCODE_KP_7, SDL_SCANCODE_KP_8, SDL_SCANCODE_KP_9, SDL_SCANCODE_KP_MINUS, SDL_SCANCODE_KP_4,
    SDL_SCANCODE_KP_5, SDL_SCANCODE_KP_6, SDL_SCANCODE_KP_PLUS, SDL_SCANCODE_KP_1, SDL_SCANCODE_KP_2,
    SDL_SCANCODE_KP_3, SDL_SCANCODE_KP_0, SDL_SCANCODE_KP_PERIOD,
    // 84 - 89: 0x56 (the ISO key left of Z), 0x57, 0x58, 0x64 - 0x66
    SDL_SCANCODE_NONUSBACKSLASH, SDL_SCANCODE_F11, SDL_SCANCODE_F12, SDL_SCANCODE_F13, SDL_SCANCODE_F14,
    SDL_SCANCODE_F15,
    // 90 - 96: 0x70 kana, 0x73 Brazilian "/", 0x79 convert, 0x7B no convert, 0x7D yen,
    // 0x7E Brazilian keypad "." (none), 0x8D keypad "="
    SDL_SCANCODE_INTERNATIONAL2, SDL_SCANCODE_INTERNATIONAL1, SDL_SCANCODE_INTERNATIONAL4,
    SDL_SCANCODE_INTERNATIONAL5, SDL_SCANCODE_INTERNATIONAL3, SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_KP_EQUALS,
    // 97 - 105: 0x90 previous track, 0x91 "@", 0x92 ":", 0x93 "_", 0x94 kanji, 0x95 stop, 0x96 "AX",
    // 0x97 unlabeled, 0x99 next track
    SDL_SCANCODE_AUDIOPREV, SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_UNKNOWN,
    SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_STOP, SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_AUDIONEXT,
    // 106 - 119: 0x9C keypad enter, 0x9D right control, 0xA0 mute, 0xA1 calculator, 0xA2 play/pause,
    // 0xA4 media stop, 0xAE volume down, 0xB0 volume up, 0xB2 web home, 0xB3 keypad ",",
    // 0xB5 keypad "/", 0xB7 print screen, 0xB8 right alt, 0xC5 pause
    SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_RCTRL, SDL_SCANCODE_MUTE, SDL_SCANCODE_CALCULATOR, SDL_SCANCODE_AUDIOPLAY,
    SDL_SCANCODE_AUDIOSTOP, SDL_SCANCODE_VOLUMEDOWN, SDL_SCANCODE_VOLUMEUP, SDL_SCANCODE_AC_HOME,
    SDL_SCANCODE_KP_COMMA, SDL_SCANCODE_KP_DIVIDE, SDL_SCANCODE_PRINTSCREEN, SDL_SCANCODE_RALT, SDL_SCANCODE_PAUSE,
    // 120 - 129: 0xC7 home, 0xC8 up, 0xC9 page up, 0xCB left, 0xCD right, 0xCF end, 0xD0 down,
    // 0xD1 page down, 0xD2 insert, 0xD3 delete
    SDL_SCANCODE_HOME, SDL_SCANCODE_UP, SDL_SCANCODE_PAGEUP, SDL_SCANCODE_LEFT, SDL_SCANCODE_RIGHT,
    SDL_SCANCODE_END, SDL_SCANCODE_DOWN, SDL_SCANCODE_PAGEDOWN, SDL_SCANCODE_INSERT, SDL_SCANCODE_DELETE,
    // 130 - 135: 0xDB left Windows, 0xDC right Windows, 0xDD menu, 0xDE power, 0xDF sleep, 0xE3 wake
    SDL_SCANCODE_LGUI, SDL_SCANCODE_RGUI, SDL_SCANCODE_APPLICATION, SDL_SCANCODE_POWER, SDL_SCANCODE_SLEEP,
    SDL_SCANCODE_UNKNOWN,
    // 136 - 144: 0xE5 web search, 0xE6 favourites, 0xE7 refresh, 0xE8 web stop, 0xE9 forward,
    // 0xEA back, 0xEB my computer, 0xEC mail, 0xED media select
    SDL_SCANCODE_AC_SEARCH, SDL_SCANCODE_AC_BOOKMARKS, SDL_SCANCODE_AC_REFRESH, SDL_SCANCODE_AC_STOP,
    SDL_SCANCODE_AC_FORWARD, SDL_SCANCODE_AC_BACK, SDL_SCANCODE_COMPUTER, SDL_SCANCODE_MAIL,
    SDL_SCANCODE_MEDIASELECT,
};
static_assert(kScancodes[kLastKeyboardKeyCode] == SDL_SCANCODE_MEDIASELECT, "one scancode for every keyboard code");

// The reverse of kScancodes, built from it so the two conversions cannot disagree.
const std::array<unsigned char, SDL_NUM_SCANCODES>& KeyCodesByScancode() {
    static const std::array<unsigned char, SDL_NUM_SCANCODES> table = [] {
        std::array<unsigned char, SDL_NUM_SCANCODES> codes{};
        for (int code = kFirstKeyCode; code <= kLastKeyboardKeyCode; ++code)
            if (kScancodes[code] != SDL_SCANCODE_UNKNOWN) codes[kScancodes[code]] = static_cast<unsigned char>(code);
        return codes;
    }();
    return table;
}

}  // namespace

int KeyCodeFromScancode(int scancode) {
    return scancode > 0 && scancode < SDL_NUM_SCANCODES ? KeyCodesByScancode()[static_cast<size_t>(scancode)] : 0;
}

int ScancodeFromKeyCode(int keyCode) {
    return keyCode >= kFirstKeyCode && keyCode <= kLastKeyboardKeyCode ? kScancodes[static_cast<size_t>(keyCode)] : 0;
}

std::string GetScancodeName(int scancode) {
    if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) return std::string();
    const SDL_Scancode code = static_cast<SDL_Scancode>(scancode);
    const std::string name = SDL_GetKeyName(SDL_GetKeyFromScancode(code));
    return name.empty() ? SDL_GetScancodeName(code) : name;
}

}  // namespace GAME
