// The engine's key codes and the system's scancodes, converted both ways.

#include "platform/KeyCodes.h"
#include "support/InputEvents.h"

#include <gtest/gtest.h>

#include <set>

namespace GAME::test {
namespace {

TEST(KeyCodesTest, EveryKeyboardCodeConvertsBothWaysExceptTheKeysThisPlatformLacks) {
    const std::set<int> missing = {95, 98, 99, 100, 101, 103, 104, 135};
    std::set<int> scancodes;
    for (int code = 1; code <= kLastKeyboardKeyCode; ++code) {
        const int scancode = ScancodeFromKeyCode(code);
        EXPECT_EQ(scancode == 0, missing.count(code) == 1) << code;
        if (scancode != 0) {
            EXPECT_EQ(KeyCodeFromScancode(scancode), code) << code;
            scancodes.insert(scancode);
        }
    }
    EXPECT_EQ(scancodes.size(), size_t(kLastKeyboardKeyCode) - missing.size());  // no scancode twice
    for (int outside : {-1, 0, kWheelUpKeyCode, kMiddleMouseKeyCode, 1000}) EXPECT_EQ(ScancodeFromKeyCode(outside), 0);
    for (int outside : {-1, 0, 1, 100000}) EXPECT_EQ(KeyCodeFromScancode(outside), 0);

    // Keys around the gaps of the numbering and the arrows, by the system's names, which name them back.
    const std::pair<int, const char*> named[] = {
        {1, "Escape"}, {14, "Backspace"}, {28, "Return"}, {29, "Left Ctrl"}, {42, "Left Shift"}, {43, "\\"},
        {55, "Keypad *"}, {56, "Left Alt"}, {58, "CapsLock"}, {69, "Numlock"}, {83, "Keypad ."}, {85, "F11"},
        {89, "F15"}, {96, "Keypad ="}, {106, "Keypad Enter"}, {107, "Right Ctrl"}, {116, "Keypad /"},
        {117, "PrintScreen"}, {118, "Right Alt"}, {119, "Pause"}, {120, "Home"}, {121, "Up"}, {123, "Left"},
        {124, "Right"}, {125, "End"}, {126, "Down"}, {129, "Delete"}, {130, "Left GUI"}, {132, "Application"},
        {144, "MediaSelect"}};
    for (const auto& [code, name] : named) {
        EXPECT_EQ(KeyCodeFromScancode(ScancodeOf(name)), code) << name;
        EXPECT_EQ(GetScancodeName(ScancodeFromKeyCode(code)), name) << code;
    }
    for (int outside : {-1, 0, 512, 100000}) EXPECT_EQ(GetScancodeName(outside), "") << outside;
}

}  // namespace
}  // namespace GAME::test
