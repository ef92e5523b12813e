// A window of the platform layer on the offscreen driver, the window messages of the queue, and the
// event capture of one window, over events put into the queue as if the user had made them.

#include "platform/InputCapture.h"
#include "platform/PlatformWindow.h"
#include "support/InputEvents.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace GAME::test {
namespace {

using Type = WindowMessage::Type;

TEST(PlatformWindowTest, SizeFrameTitleVisibilityAndMessages) {
    PlatformWindow window;
    ASSERT_TRUE(window.Create("First", 10, 20, 40, 30, WindowFrame::Decorated, nullptr));
    SDL_Window* const handle = static_cast<SDL_Window*>(window.GetHandle());
    EXPECT_TRUE(window.GetId() == SDL_GetWindowID(handle) && !window.IsActive());  // hidden: not active
    window.SetClientSize(48, 36);
    int x = 0, y = 0, width = 0, height = 0;
    window.GetClientSize(width, height);
    EXPECT_EQ(std::pair(width, height), std::pair(48, 36));
    ASSERT_TRUE(PlatformWindow::GetScreenRect(handle, x, y, width, height));
    EXPECT_EQ(std::pair(width, height), std::pair(48, 36));
    int left = -1, top = -1;
    window.GetPosition(left, top);
    EXPECT_EQ(std::pair(left, top), std::pair(x, y));
    window.Center();
    window.GetPosition(left, top);
    GetScreenSize(width, height);
    EXPECT_EQ(std::pair(left, top), std::pair((width - 48) / 2, (height - 36) / 2));
    window.SetTitle("Second");
    EXPECT_STREQ(SDL_GetWindowTitle(handle), "Second");
    const std::pair<WindowFrame, uint32_t> frames[] = {
        {WindowFrame::Decorated, 0},
        {WindowFrame::Resizable, SDL_WINDOW_RESIZABLE},
        {WindowFrame::Borderless, SDL_WINDOW_BORDERLESS},
        {WindowFrame::Topmost, SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR}};
    for (const auto& [frame, flags] : frames) {
        PlatformWindow framed;
        ASSERT_TRUE(framed.Create("Framed", 0, 0, 8, 8, frame, nullptr));
        const uint32_t mask = SDL_WINDOW_FULLSCREEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_BORDERLESS |
                              SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR;
        EXPECT_EQ(SDL_GetWindowFlags(static_cast<SDL_Window*>(framed.GetHandle())) & mask, flags) << int(frame);
    }
    window.Show(true);
    EXPECT_NE(SDL_GetWindowFlags(handle) & SDL_WINDOW_SHOWN, 0u);
    window.Show(false);
    EXPECT_EQ(SDL_GetWindowFlags(handle) & SDL_WINDOW_SHOWN, 0u);

    DrainEvents();
    PushKey(handle, ScancodeOf("Return"), true, KeyModifiers::Alt);
    PushKey(handle, ScancodeOf("Keypad Enter"), true);
    PushKey(nullptr, ScancodeOf("A"), true);
    PushButton(handle, 1, true);
    PushMotion(handle, 3, 4);
    for (WindowChange change : {WindowChange::Close, WindowChange::FocusLost, WindowChange::Minimized,
                                WindowChange::Restored, WindowChange::Maximized, WindowChange::Resized})
        PushWindowChange(handle, change);
    PushQuit();
    const uint32_t own = window.GetId();
    const std::tuple<Type, bool, bool, uint32_t> expected[] = {
        {Type::KeyDown, true, true, own}, {Type::KeyDown, true, false, own}, {Type::KeyDown, false, false, 0},
        {Type::ButtonDown, false, false, own}, {Type::Motion, false, false, own}, {Type::Close, false, false, own},
        {Type::FocusLost, false, false, own}, {Type::Minimized, false, false, own}, {Type::Restored, false, false, own},
        {Type::Resized, false, false, own}, {Type::Resized, false, false, own}, {Type::Quit, false, false, 0}};
    WindowMessage message;
    for (const auto& [type, enter, alt, id] : expected) {
        do ASSERT_TRUE(PollWindowMessage(message));
        while (message.type == Type::Other);  // what the system adds of its own
        EXPECT_EQ(std::tuple(message.type, message.enter, message.alt, message.windowId),
                  std::tuple(type, enter, alt, id));
    }
    // Pixels shown without GL: rows top first, the bytes R, G, B, A.
    const uint32_t pixels[4] = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};
    ASSERT_TRUE(window.ShowPixels(pixels, 2, 2));
    const SDL_Surface* shown = SDL_GetWindowSurface(handle);
    uint8_t red = 0, green = 0, blue = 0;
    SDL_GetRGB(static_cast<const uint32_t*>(shown->pixels)[shown->pitch / 4], shown->format, &red, &green, &blue);
    EXPECT_EQ(std::tuple(red, green, blue), std::tuple(0, 0, 255));
    ASSERT_TRUE(window.Create("Again", 0, 0, 8, 8, WindowFrame::Decorated, nullptr));  // "Second" goes
    for (uint32_t id = 1; id < 32; ++id) {
        SDL_Window* const open = SDL_GetWindowFromID(id);
        EXPECT_FALSE(open != nullptr && std::string(SDL_GetWindowTitle(open)) == "Second") << id;
    }
    window.Destroy();
    window.GetClientSize(width, height);
    EXPECT_TRUE(!window.IsOpen() && window.GetId() == 0u && width == 0);
    x = y = width = height = 5;
    EXPECT_FALSE(PlatformWindow::GetScreenRect(nullptr, x, y, width, height));
    EXPECT_EQ(x + y + width + height, 0);
}

TEST(InputCaptureTest, RecordsTheWindowsEventsWithinTheirCapacities) {
    PlatformWindow window, other;
    ASSERT_TRUE(window.Create("Captured", 0, 0, 32, 32, WindowFrame::Decorated, nullptr));
    ASSERT_TRUE(other.Create("Other", 0, 0, 16, 16, WindowFrame::Decorated, nullptr));
    void* const handle = window.GetHandle();
    DrainEvents();
    InputCapture capture(handle, 3, 4);
    ASSERT_TRUE(capture.IsCapturing());
    EXPECT_FALSE(capture.IsWindowVisible());
    PushKey(handle, ScancodeOf("A"), true);
    PushText(handle, "a");
    PushKey(handle, ScancodeOf("A"), true, KeyModifiers::None, true);  // a repeat, and its text: dropped
    PushText(handle, "a");
    PushKey(other.GetHandle(), ScancodeOf("B"), true);  // another window's
    PushKey(nullptr, ScancodeOf("C"), false);
    PushKey(handle, ScancodeOf("D"), true);                            // beyond the capacity of 3
    for (int button : {1, 3, 2, 4}) PushButton(handle, button, true);  // 4, a side button: not recorded
    PushButton(handle, 1, false);
    PushWheel(handle, 0, -2);  // beyond the capacity of 4, but summed
    PushMotion(handle, 7, 9);
    std::vector<InputRecord> keyboard, mouse;
    int wheel = 0;
    capture.Take(keyboard, mouse, wheel);
    ASSERT_EQ(std::pair(keyboard.size(), wheel), std::pair(size_t(3), -2));
    EXPECT_EQ(std::tuple(keyboard[0].type, keyboard[0].keyCode, keyboard[1].type, keyboard[1].text, keyboard[2].type,
                         keyboard[2].keyCode),
              std::tuple(InputRecord::Type::KeyDown, 30, InputRecord::Type::Text, "a", InputRecord::Type::KeyUp, 46));
    ASSERT_EQ(mouse.size(), 4u);
    const int buttons[] = {InputRecord::Left, InputRecord::Right, InputRecord::Middle, InputRecord::Left};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::pair(mouse[i].button, mouse[i].type),
                  std::pair(buttons[i], i < 3 ? InputRecord::Type::ButtonDown : InputRecord::Type::ButtonUp));
    float x = 0.0f, y = 0.0f;
    EXPECT_TRUE(capture.TakeCursorPosition(x, y) && x == 7.0f && y == 9.0f);
    EXPECT_FALSE(capture.TakeCursorPosition(x, y));  // not moved since

    PushWheel(handle, 0, 3);
    capture.SetEnabled(false);  // what came before goes, and nothing is recorded but the pointer
    PushKey(handle, ScancodeOf("E"), true);
    PushWheel(handle, 0, 1);
    PushMotion(handle, 11, 13);
    capture.Take(keyboard, mouse, wheel);
    EXPECT_TRUE(keyboard.empty() && mouse.empty() && wheel == 0);
    capture.SetEnabled(true);
    EXPECT_TRUE(capture.TakeCursorPosition(x, y) && x == 11.0f && y == 13.0f);
    PushWheel(handle, 0, 3);
    capture.Take(keyboard, mouse, wheel);
    ASSERT_EQ(mouse.size(), 1u);
    EXPECT_EQ(std::tuple(mouse[0].type, mouse[0].wheel, wheel), std::tuple(InputRecord::Type::Wheel, 3, 3));
    window.Show(true);
    EXPECT_TRUE(capture.IsWindowVisible());
    const InputCapture none(nullptr, 1, 1);
    EXPECT_FALSE(none.IsCapturing() || none.IsWindowVisible());
    { InputCapture gone(handle, 1, 1); }
    PushKey(handle, ScancodeOf("F"), true);  // a capture that went watches no more
    DrainEvents();
}

}  // namespace
}  // namespace GAME::test
