// The input device over events put into the system's queue: key codes, modifiers, text, the mouse
// events of a frame, key names, and activation.

#include <gtest/gtest.h>

#include <string>

#include "platform/KeyCodes.h"
#include "render/InputDevice.h"
#include "support/InputEvents.h"
#include "support/LogCapture.h"
#include "support/OffscreenWindow.h"

namespace GAME::test {
namespace {

using ButtonEvent = InputDevice::ButtonEvent;
using MouseEvent = InputDevice::MouseEvent;

class InputDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window.Get(), nullptr);
        DrainEvents();
        ASSERT_TRUE(device->Initialize(window.Get(), 512, 64));
    }
    void TearDown() override {
        DrainEvents();
        SetCapsLock(false);
    }

    // Reads a frame.
    void Frame() {
        device->Update();
        DrainEvents();
    }

    OffscreenWindow window{64, 48};
    std::unique_ptr<InputDevice> device = InputDevice::Create();
};

TEST_F(InputDeviceTest, EveryNumberedKeyGivesItsPressAndReleaseInOrder) {
    std::vector<int> codes;
    for (int code = 1; code <= kLastKeyboardKeyCode; ++code)
        if (ScancodeFromKeyCode(code) != 0) codes.push_back(code);
    for (int code : codes) {
        PushKey(window.Get(), ScancodeFromKeyCode(code), true);
        PushKey(window.Get(), ScancodeFromKeyCode(code), false);
    }
    PushKey(window.Get(), ScancodeOf("Keypad MemStore"), true);  // a key the engine does not number
    Frame();

    ASSERT_EQ(device->GetNumButtonEvents(), 2 * codes.size());
    for (size_t i = 0; i < codes.size(); ++i) {
        const ButtonEvent pressed = device->GetButtonEvent(unsigned(2 * i));
        const ButtonEvent released = device->GetButtonEvent(unsigned(2 * i + 1));
        EXPECT_EQ(pressed.keyCode, unsigned(codes[i]));
        EXPECT_EQ(pressed.state, ButtonEvent::Pressed);
        EXPECT_EQ(released.keyCode, unsigned(codes[i]));
        EXPECT_EQ(released.state, ButtonEvent::Released);
    }
    EXPECT_EQ(device->GetButtonEvent(100000).keyCode, 0u);
}

TEST_F(InputDeviceTest, ModifiersFollowHeldKeysAndCapsLockItsToggle) {
    const int rightShift = ScancodeFromKeyCode(54), rightAlt = ScancodeFromKeyCode(118),
              rightControl = ScancodeFromKeyCode(107), a = ScancodeFromKeyCode(30);
    // Caps lock toggled on elsewhere, with no key moving here: the next frame has it.
    SetCapsLock(true);
    EXPECT_FALSE(device->IsKeyDown(58));
    Frame();
    EXPECT_TRUE(device->IsKeyDown(58));
    EXPECT_EQ(device->GetMouseEvent(0).modifiers, (InputDevice::Modifiers{1, 0, 0, 0}));
    PushKey(window.Get(), rightShift, true, KeyModifiers::Shift);
    PushKey(window.Get(), rightControl, true, KeyModifiers::Shift | KeyModifiers::Control);
    PushKey(window.Get(), a, true, KeyModifiers::Shift | KeyModifiers::Control);  // events carry no toggle
    Frame();
    ASSERT_EQ(device->GetNumButtonEvents(), 3u);
    const InputDevice::Modifiers all{1, 1, 0, 1};
    for (unsigned i = 0; i < 3; ++i) EXPECT_EQ(device->GetButtonEvent(i).modifiers, all);  // the frame's modifiers
    // Caps lock toggled on, never pressed; the other shift not held.
    EXPECT_TRUE(device->IsKeyDown(30) && device->IsKeyDown(58) && !device->IsKeyDown(42));

    PushKey(window.Get(), rightShift, false, KeyModifiers::Control | KeyModifiers::CapsLock);
    PushKey(window.Get(), rightControl, false, KeyModifiers::CapsLock);
    PushKey(window.Get(), rightAlt, true, KeyModifiers::Alt | KeyModifiers::CapsLock);
    SetCapsLock(false);
    Frame();
    ASSERT_EQ(device->GetNumButtonEvents(), 3u);
    EXPECT_TRUE(!device->IsKeyDown(58) && device->IsKeyDown(30));  // 30 still held
    // The mouse events carry the same modifiers.
    for (const auto& modifiers : {device->GetButtonEvent(2).modifiers, device->GetMouseEvent(0).modifiers})
        EXPECT_EQ(modifiers, (InputDevice::Modifiers{0, 0, 1, 0}));
}

TEST_F(InputDeviceTest, TextJoinsItsPressAndTextWithoutAPressIsKept) {
    const int e = ScancodeFromKeyCode(18), quote = ScancodeFromKeyCode(40);
    PushKey(window.Get(), quote, true);  // a dead key: no text of its own
    PushKey(window.Get(), quote, false);
    PushKey(window.Get(), e, true);
    PushText(window.Get(), "\xC3\xA9");  // é, composed by the system
    PushKey(window.Get(), e, true, KeyModifiers::None, true);  // auto-repeat: neither key nor text
    PushText(window.Get(), "\xC3\xA9");
    PushKey(window.Get(), e, false);
    PushText(window.Get(), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E abcdefghi");  // an input method's 13 characters
    Frame();

    ASSERT_EQ(device->GetNumButtonEvents(), 6u);
    EXPECT_STREQ(device->GetButtonEvent(0).GetText(), L"");
    EXPECT_EQ(device->GetButtonEvent(2).keyCode, 18u);
    EXPECT_STREQ(device->GetButtonEvent(2).GetText(), L"\u00e9");
    EXPECT_TRUE(device->GetButtonEvent(3).state == ButtonEvent::Released && device->GetButtonEvent(3).text[0] == 0);
    EXPECT_TRUE(device->GetButtonEvent(4).keyCode == 0 && device->GetButtonEvent(4).state == ButtonEvent::Pressed);
    EXPECT_STREQ(device->GetButtonEvent(4).GetText(), L"\u65e5\u672c\u8a9e abcdef");
    EXPECT_STREQ(device->GetButtonEvent(5).GetText(), L"ghi");
}

TEST_F(InputDeviceTest, MouseEventsOfAFrameFollowTheStateEvent) {
    PushMotion(window.Get(), 10, 20);
    PushButton(window.Get(), 1, true);
    PushButton(window.Get(), 3, true);
    PushButton(window.Get(), 2, true);
    PushWheel(window.Get(), 0, 2);
    PushWheel(window.Get(), 0, -1);
    PushWheel(window.Get(), 1, 0);  // sideways only: no event
    PushButton(window.Get(), 3, false);
    PushButton(window.Get(), 3, false);  // not down any more: no event
    Frame();

    const uint32_t types[] = {MouseEvent::State,   MouseEvent::LeftDown,  MouseEvent::RightDown, MouseEvent::MiddleDown,
                              MouseEvent::WheelUp, MouseEvent::WheelDown, MouseEvent::RightUp};
    const uint8_t rights[] = {0, 0, 1, 1, 1, 1, 0};
    ASSERT_EQ(device->GetNumMouseEvents(), std::size(types));
    for (unsigned i = 0; i < std::size(types); ++i) {
        const MouseEvent event = device->GetMouseEvent(i);
        EXPECT_EQ(event.type, types[i]) << i;
        EXPECT_EQ(event.x, 10.0f);
        EXPECT_EQ(event.y, 20.0f);
        EXPECT_EQ(event.wheel, InputDevice::kWheelDelta);
        EXPECT_EQ(event.left, 1);
        EXPECT_EQ(event.right, rights[i]) << i;
        EXPECT_EQ(event.middle, i == 0 || i >= 3 ? 1 : 0) << i;  // the state event: as the frame leaves them
    }

    // Held over a frame: the next state event still has them; releasing gives the up events.
    Frame();
    ASSERT_EQ(device->GetNumMouseEvents(), 1u);
    EXPECT_EQ(device->GetMouseEvent(0).left, 1);
    PushButton(window.Get(), 1, false);
    PushButton(window.Get(), 2, false);
    PushWheel(window.Get(), 0, -3);
    Frame();
    ASSERT_EQ(device->GetNumMouseEvents(), 4u);
    EXPECT_EQ(device->GetMouseEvent(1).type, MouseEvent::LeftUp);
    EXPECT_EQ(device->GetMouseEvent(2).type, MouseEvent::MiddleUp);
    EXPECT_EQ(device->GetMouseEvent(3).wheel, -2 * InputDevice::kWheelDelta);
    EXPECT_EQ(device->GetMouseEvent(3).left + device->GetMouseEvent(3).middle, 0);
    // More notches than the mouse buffer of 64 holds: the events stop there, the total does not.
    for (int i = 0; i < 70; ++i) PushWheel(window.Get(), 0, 1);
    Frame();
    EXPECT_EQ(std::pair(device->GetNumMouseEvents(), device->GetMouseEvent(0).wheel),
              std::pair(65u, 68 * InputDevice::kWheelDelta));
}

TEST(MouseEventTest, MiddleButtonAndWheelConvertToTheirKeyCodes) {
    const std::tuple<uint32_t, uint32_t, uint32_t> conversions[] = {
        {MouseEvent::MiddleDown, 147, ButtonEvent::Pressed}, {MouseEvent::MiddleUp, 147, ButtonEvent::Released},
        {MouseEvent::WheelUp, 145, ButtonEvent::Pressed},    {MouseEvent::WheelDown, 146, ButtonEvent::Pressed},
        {MouseEvent::LeftDown, 9, ButtonEvent::Released},    {MouseEvent::State, 9, ButtonEvent::Released}};
    for (const auto& [type, code, state] : conversions) {
        MouseEvent mouse;
        mouse.type = type;
        mouse.modifiers.alt = 1;
        ButtonEvent button;
        button.keyCode = 9;
        button.state = ButtonEvent::Released;
        mouse.ConvertToButtonEvent(button);
        EXPECT_EQ(button.keyCode, code) << type;
        EXPECT_EQ(button.state, state) << type;
        EXPECT_EQ(button.modifiers.alt, 1) << type;
    }
}

TEST_F(InputDeviceTest, KeyNamesAndOtherWindowsAndActivation) {
    std::wstring name;
    for (const auto& [code, expected] : {std::pair(147u, L"Middle Mouse"), {145u, L"Wheel Up"}, {42u, L"Left Shift"}})
        EXPECT_TRUE(device->GetKeyName(code, name) && name == expected) << code;
    name = L"kept";
    EXPECT_FALSE(device->GetKeyName(0, name));
    EXPECT_FALSE(device->GetKeyName(95, name));
    EXPECT_EQ(name, L"kept");

    // Another window's input is not this window's.
    OffscreenWindow other(16, 16);
    PushKey(other.Get(), ScancodeFromKeyCode(30), true);
    PushButton(other.Get(), 1, true);
    PushKey(nullptr, ScancodeFromKeyCode(31), true);  // no window named: taken
    Frame();
    ASSERT_EQ(device->GetNumButtonEvents(), 1u);
    EXPECT_EQ(device->GetButtonEvent(0).keyCode, 31u);
    EXPECT_EQ(device->GetNumMouseEvents(), 1u);
    device->Activate();  // already active: nothing changes
    EXPECT_TRUE(device->IsKeyDown(31));

    // Inactive: nothing is read, and what happened meanwhile is lost, but where the pointer went.
    device->Deactivate();
    PushKey(window.Get(), ScancodeFromKeyCode(32), true);
    PushMotion(window.Get(), 30, 40);
    device->Update();
    EXPECT_EQ(device->GetNumButtonEvents(), 0u);
    EXPECT_EQ(device->GetNumMouseEvents(), 0u);
    device->Activate();
    EXPECT_EQ(device->GetNumButtonEvents(), 0u);
    EXPECT_FALSE(device->IsKeyDown(31));
    ASSERT_EQ(device->GetNumMouseEvents(), 1u);
    EXPECT_EQ(std::pair(device->GetMouseEvent(0).x, device->GetMouseEvent(0).y), std::pair(30.0f, 40.0f));
}

TEST(InputDeviceStartTest, NoWindowIsAnError) {
    LogCapture log;
    const std::unique_ptr<InputDevice> device = InputDevice::Create();
    EXPECT_FALSE(device->Initialize(nullptr, 8, 8));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "no window"));
    device->Deactivate();  // never active: nothing to stop
}

}  // namespace
}  // namespace GAME::test
