#pragma once
// PlatformInputDevice: the input device over the platform's event capture (platform/InputCapture.h).
//
// The device keeps its own keyboard and button state from the captured events rather than asking
// the system, so events pushed by the program count as typed ones. Caps lock is a toggle, not a
// held key: it is read from the system's keyboard state at every update, so it is right from the
// first frame whatever happened before or in other windows.
//
// Text: the text event that follows a key press is that press's text (dead keys and input
// methods are composed by the system). Text that follows no press of this frame, and text beyond
// ButtonEvent::kMaxText characters, goes into extra pressed events of key code 0, kMaxText
// characters each, so no typed character is lost.
//
// The cursor position follows the pointer's motion over the window, but only while the window is
// shown and not minimised; the system moves it only for the window under the pointer or holding
// the buttons, as the foreground test did elsewhere. The motion is followed while the device is
// inactive too, so after Activate the position is current at once. What the system cannot give:
// it reports the pointer to a window only while the pointer is over it (or held by a button
// pressed over it), so where the pointer is outside the window is not known, and the position
// stays where it left. Buttons are never swapped here: the system reports them as the user
// configured them.
//
// The wheel total counts every notch, those whose events the full mouse buffer dropped included.

#include "render/InputDevice.h"

#include <array>
#include <memory>
#include <vector>

#include "platform/InputCapture.h"
#include "platform/KeyCodes.h"

namespace GAME {

class PlatformInputDevice : public InputDevice {
public:
    PlatformInputDevice() = default;

    bool Initialize(void* window, unsigned keyboardBufferSize, unsigned mouseBufferSize) override;
    void Update() override;
    bool IsKeyDown(unsigned keyCode) const override;
    unsigned GetNumButtonEvents() const override { return static_cast<unsigned>(buttonEvents_.size()); }
    ButtonEvent GetButtonEvent(unsigned index) const override;
    unsigned GetNumMouseEvents() const override { return static_cast<unsigned>(mouseEvents_.size()); }
    MouseEvent GetMouseEvent(unsigned index) const override;
    bool GetKeyName(unsigned keyCode, std::wstring& name) const override;
    void SetSwallowSystemKeys(bool swallow) override { swallowSystemKeys_ = swallow; }
    void Activate() override;
    void Deactivate() override;

private:
    static constexpr unsigned kCapsLockKeyCode = 58;

    Modifiers ReadModifiers() const;
    void MakeMouseEvents(const Modifiers& modifiers);
    void MakeButtonEvents(const Modifiers& modifiers);
    // Adds text to the last event when it is the press the text follows, the rest as key code 0.
    void AddText(const std::wstring& text, bool followsPress, const Modifiers& modifiers);

    std::unique_ptr<InputCapture> capture_;
    bool active_ = false;
    bool swallowSystemKeys_ = true;

    std::array<bool, kLastKeyboardKeyCode + 1> keysDown_{};
    bool capsLock_ = false;
    float x_ = 0.0f;
    float y_ = 0.0f;
    int32_t wheel_ = 0;
    uint8_t buttons_[3] = {};  // left, right, middle

    std::vector<InputRecord> keyboardRecords_;  // this frame's, kept for their storage
    std::vector<InputRecord> mouseRecords_;
    std::vector<ButtonEvent> buttonEvents_;
    std::vector<MouseEvent> mouseEvents_;
};

}  // namespace GAME
