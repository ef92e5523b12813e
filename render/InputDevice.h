#pragma once
// InputDevice: the keyboard and the mouse, read once a frame. The engine makes one for its window
// (unless the host suppresses input), calls Update every frame and hands the frame's events to the
// display's widgets.
//
// Key codes are the engine's numbering of platform/KeyCodes.h: 1 to 144 keyboard keys, 145 and 146
// the wheel turned up and down, 147 the middle mouse button.
//
// Each Update makes the frame's events, oldest first:
// - mouse: first one event of type State with the frame's cursor position, wheel sum, buttons and
//   modifiers; then one event per button that went down or up and per wheel movement, each with the
//   frame's position, wheel sum and modifiers and the buttons as that event left them;
// - keyboard: one event per key that went down or up, with the frame's modifiers and the text the
//   key produced.
// Main thread only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace GAME {

class InputDevice {
public:
    // Caps lock (toggled on), shift, alt and control (either key down); 1 or 0.
    struct Modifiers {
        uint8_t capsLock = 0;
        uint8_t shift = 0;
        uint8_t alt = 0;
        uint8_t control = 0;

        bool operator==(const Modifiers&) const = default;
    };

    class ButtonEvent {
    public:
        enum State : uint32_t { Pressed = 0, Released = 1 };
        static constexpr size_t kMaxText = 10;

        virtual ~ButtonEvent() = default;

        // The characters the key produced; empty for most releases and for keys that type nothing.
        const wchar_t* GetText() const { return text; }

        uint32_t keyCode = 0;  // 0 for text typed without a key of its own (an input method's)
        uint32_t state = Pressed;
        Modifiers modifiers;
        wchar_t text[kMaxText + 1] = {};  // kMaxText characters and the terminator
    };

    struct MouseEvent {
        enum Type : uint32_t {
            State = 0,
            LeftDown = 1,
            RightDown = 2,
            MiddleDown = 3,
            LeftUp = 4,
            RightUp = 5,
            MiddleUp = 6,
            WheelUp = 7,
            WheelDown = 8,
        };

        // Middle button and wheel events as the key codes 145 to 147 (wheel events are presses);
        // copies the modifiers, and leaves code and state alone for the other types.
        void ConvertToButtonEvent(ButtonEvent& event) const;

        uint32_t type = State;
        float x = 0.0f;      // the cursor in the window's client area, pixels
        float y = 0.0f;
        int32_t wheel = 0;   // all wheel movement since the device was made, kWheelDelta a notch
        uint8_t left = 0;    // button states, 1 down
        uint8_t right = 0;
        uint8_t middle = 0;
        Modifiers modifiers;
    };

    // Wheel units of one notch, as the Windows mouse reported them to the engine's widgets.
    static constexpr int32_t kWheelDelta = 120;

    // The platform's input device, not yet initialized.
    static std::unique_ptr<InputDevice> Create();

    virtual ~InputDevice() = default;

    // Starts reading the window (an SDL_Window*) with room for the given numbers of keyboard and
    // mouse events a frame (more are dropped). False, with an error, when it cannot.
    virtual bool Initialize(void* window, unsigned keyboardBufferSize, unsigned mouseBufferSize) = 0;
    // Reads the frame's input and makes its events; does nothing while inactive.
    virtual void Update() = 0;
    // Whether the key is held; for caps lock (58) whether it is toggled on.
    virtual bool IsKeyDown(unsigned keyCode) const = 0;
    virtual unsigned GetNumButtonEvents() const = 0;
    // A copy of the frame's event; a default event for an index out of range.
    virtual ButtonEvent GetButtonEvent(unsigned index) const = 0;
    virtual unsigned GetNumMouseEvents() const = 0;
    virtual MouseEvent GetMouseEvent(unsigned index) const = 0;
    // The key's name for the user ("Wheel Up", "Left Shift"); false for a code without one.
    virtual bool GetKeyName(unsigned keyCode, std::wstring& name) const = 0;
    // Whether the system keys (the Windows keys) are kept from other programs while the game
    // runs, with the accessibility shortcuts left alone, or passed on with those shortcuts
    // switched off. Nothing on this platform intercepts them: the flag is only kept.
    virtual void SetSwallowSystemKeys(bool swallow) = 0;
    // Resumes reading (and reads a frame at once) after Deactivate; input while inactive is lost.
    virtual void Activate() = 0;
    // Stops reading: Update makes no events until Activate.
    virtual void Deactivate() = 0;
};

}  // namespace GAME
