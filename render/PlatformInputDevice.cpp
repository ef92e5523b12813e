#include "render/PlatformInputDevice.h"

#include "core/Log.h"
#include "core/TextEncoding.h"

#include <algorithm>

namespace GAME {

namespace {

constexpr unsigned kLeftShift = 42, kRightShift = 54, kLeftAlt = 56, kRightAlt = 118, kLeftControl = 29,
                   kRightControl = 107;

}  // namespace

bool PlatformInputDevice::Initialize(void* window, unsigned keyboardBufferSize, unsigned mouseBufferSize) {
    if (window == nullptr) {
        Log(LogPriority::Error, "InputDevice: no window to read input from");
        return false;
    }
    capture_ = std::make_unique<InputCapture>(window, keyboardBufferSize, mouseBufferSize);
    if (!capture_->IsCapturing()) {
        capture_.reset();
        return false;
    }
    keysDown_ = {};
    capsLock_ = InputCapture::IsCapsLockOn();
    x_ = y_ = 0.0f;
    wheel_ = 0;
    std::fill(std::begin(buttons_), std::end(buttons_), uint8_t(0));
    active_ = true;
    return true;
}

void PlatformInputDevice::Update() {
    if (!active_ || !capture_) return;
    int wheelNotches = 0;
    capture_->Take(keyboardRecords_, mouseRecords_, wheelNotches);
    wheel_ += wheelNotches * kWheelDelta;

    for (const InputRecord& record : keyboardRecords_) {
        if (record.type == InputRecord::Type::Text) continue;
        if (record.keyCode != 0)
            keysDown_[static_cast<size_t>(record.keyCode)] = record.type == InputRecord::Type::KeyDown;
    }
    capsLock_ = InputCapture::IsCapsLockOn();
    float x = 0.0f, y = 0.0f;
    if (capture_->TakeCursorPosition(x, y) && capture_->IsWindowVisible()) {
        x_ = x;
        y_ = y;
    }
    const Modifiers modifiers = ReadModifiers();
    MakeMouseEvents(modifiers);
    MakeButtonEvents(modifiers);
}

InputDevice::Modifiers PlatformInputDevice::ReadModifiers() const {
    Modifiers modifiers;
    modifiers.capsLock = IsKeyDown(kCapsLockKeyCode);
    modifiers.shift = IsKeyDown(kLeftShift) || IsKeyDown(kRightShift);
    modifiers.alt = IsKeyDown(kLeftAlt) || IsKeyDown(kRightAlt);
    modifiers.control = IsKeyDown(kLeftControl) || IsKeyDown(kRightControl);
    return modifiers;
}

void PlatformInputDevice::MakeMouseEvents(const Modifiers& modifiers) {
    MouseEvent event;
    event.x = x_;
    event.y = y_;
    event.wheel = wheel_;
    event.modifiers = modifiers;

    // The buttons as each event leaves them, from where the last frame left them; the state event
    // in front carries where this frame leaves them.
    mouseEvents_.assign(1, event);
    for (const InputRecord& record : mouseRecords_) {
        if (record.type == InputRecord::Type::Wheel) {
            if (record.wheel == 0) continue;
            event.type = record.wheel > 0 ? MouseEvent::WheelUp : MouseEvent::WheelDown;
        } else {
            const bool down = record.type == InputRecord::Type::ButtonDown;
            uint8_t& held = buttons_[record.button];
            if (held == down) continue;
            held = down;
            static constexpr MouseEvent::Type kDown[] = {MouseEvent::LeftDown, MouseEvent::RightDown,
                                                         MouseEvent::MiddleDown};
            static constexpr MouseEvent::Type kUp[] = {MouseEvent::LeftUp, MouseEvent::RightUp, MouseEvent::MiddleUp};
            event.type = down ? kDown[record.button] : kUp[record.button];
        }
        event.left = buttons_[InputRecord::Left];
        event.right = buttons_[InputRecord::Right];
        event.middle = buttons_[InputRecord::Middle];
        mouseEvents_.push_back(event);
    }
    mouseEvents_.front().left = buttons_[InputRecord::Left];
    mouseEvents_.front().right = buttons_[InputRecord::Right];
    mouseEvents_.front().middle = buttons_[InputRecord::Middle];
}

void PlatformInputDevice::MakeButtonEvents(const Modifiers& modifiers) {
    buttonEvents_.clear();
    bool afterPress = false;  // the previous record made a press event that the text may join
    for (const InputRecord& record : keyboardRecords_) {
        if (record.type == InputRecord::Type::Text) {
            AddText(DecodeNarrow(record.text), afterPress, modifiers);
            afterPress = false;
            continue;
        }
        afterPress = false;
        if (record.keyCode == 0) continue;
        ButtonEvent& event = buttonEvents_.emplace_back();
        event.keyCode = static_cast<uint32_t>(record.keyCode);
        event.state = record.type == InputRecord::Type::KeyDown ? ButtonEvent::Pressed : ButtonEvent::Released;
        event.modifiers = modifiers;
        afterPress = event.state == ButtonEvent::Pressed;
    }
}

void PlatformInputDevice::AddText(const std::wstring& text, bool followsPress, const Modifiers& modifiers) {
    size_t start = 0;
    while (start < text.size()) {
        if (!followsPress) {
            ButtonEvent& event = buttonEvents_.emplace_back();
            event.modifiers = modifiers;
        }
        followsPress = false;
        const size_t count = std::min(ButtonEvent::kMaxText, text.size() - start);
        wchar_t* out = buttonEvents_.back().text;
        std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(start), count, out);
        out[count] = L'\0';
        start += count;
    }
}

bool PlatformInputDevice::IsKeyDown(unsigned keyCode) const {
    if (keyCode == kCapsLockKeyCode) return capsLock_;
    return keyCode < keysDown_.size() && keysDown_[keyCode];
}

InputDevice::ButtonEvent PlatformInputDevice::GetButtonEvent(unsigned index) const {
    return index < buttonEvents_.size() ? buttonEvents_[index] : ButtonEvent();
}

InputDevice::MouseEvent PlatformInputDevice::GetMouseEvent(unsigned index) const {
    return index < mouseEvents_.size() ? mouseEvents_[index] : MouseEvent();
}

bool PlatformInputDevice::GetKeyName(unsigned keyCode, std::wstring& name) const {
    switch (keyCode) {
        case kWheelUpKeyCode: name = L"Wheel Up"; return true;
        case kWheelDownKeyCode: name = L"Wheel Down"; return true;
        case kMiddleMouseKeyCode: name = L"Middle Mouse"; return true;
        default: break;
    }
    const std::string text = GetScancodeName(ScancodeFromKeyCode(static_cast<int>(keyCode)));
    if (text.empty()) return false;
    name = DecodeNarrow(text);
    return true;
}

void PlatformInputDevice::Activate() {
    if (active_ || !capture_) return;
    // What moved while inactive was never seen: nothing is held until pressed again.
    keysDown_ = {};
    std::fill(std::begin(buttons_), std::end(buttons_), uint8_t(0));
    capture_->SetEnabled(true);
    active_ = true;
    Update();
}

void PlatformInputDevice::Deactivate() {
    if (!active_) return;
    active_ = false;
    capture_->SetEnabled(false);
    buttonEvents_.clear();
    mouseEvents_.clear();
}

}  // namespace GAME
