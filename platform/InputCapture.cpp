#include "platform/InputCapture.h"

#include "core/Log.h"
#include "platform/KeyCodes.h"

#include <SDL2/SDL.h>

#include <utility>

namespace GAME {

InputCapture::InputCapture(void* window, size_t keyboardCapacity, size_t mouseCapacity)
    : window_(window), keyboardCapacity_(keyboardCapacity), mouseCapacity_(mouseCapacity) {
    if (window_ == nullptr) return;
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
        Log(LogPriority::Error, "Input: the event system does not start: %s", SDL_GetError());
        return;
    }
    windowId_ = SDL_GetWindowID(static_cast<SDL_Window*>(window_));
    SDL_StartTextInput();
    SDL_AddEventWatch(&InputCapture::Watch, this);
    watching_ = true;
}

InputCapture::~InputCapture() {
    if (!watching_) return;
    SDL_DelEventWatch(&InputCapture::Watch, this);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

void InputCapture::SetEnabled(bool enabled) {
    const std::lock_guard<std::mutex> guard(lock_);
    enabled_ = enabled;
    keyboard_.clear();
    mouse_.clear();
    wheelNotches_ = 0;
}

void InputCapture::Take(std::vector<InputRecord>& keyboard, std::vector<InputRecord>& mouse, int& wheelNotches) {
    if (watching_) SDL_PumpEvents();
    keyboard.clear();
    mouse.clear();
    const std::lock_guard<std::mutex> guard(lock_);
    keyboard.swap(keyboard_);
    mouse.swap(mouse_);
    wheelNotches = std::exchange(wheelNotches_, 0);
}

bool InputCapture::TakeCursorPosition(float& x, float& y) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (!cursorMoved_) return false;
    x = cursorX_;
    y = cursorY_;
    cursorMoved_ = false;
    return true;
}

bool InputCapture::IsWindowVisible() const {
    if (window_ == nullptr) return false;
    const uint32_t flags = SDL_GetWindowFlags(static_cast<SDL_Window*>(window_));
    return (flags & SDL_WINDOW_SHOWN) != 0 && (flags & SDL_WINDOW_MINIMIZED) == 0;
}

bool InputCapture::IsCapsLockOn() { return (SDL_GetModState() & KMOD_CAPS) != 0; }

int InputCapture::Watch(void* capture, SDL_Event* event) {
    static_cast<InputCapture*>(capture)->Record(*event);
    return 0;
}

void InputCapture::Record(const SDL_Event& event) {
    uint32_t windowId = 0;
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: windowId = event.key.windowID; break;
        case SDL_TEXTINPUT: windowId = event.text.windowID; break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: windowId = event.button.windowID; break;
        case SDL_MOUSEWHEEL: windowId = event.wheel.windowID; break;
        case SDL_MOUSEMOTION: windowId = event.motion.windowID; break;
        default: return;
    }
    if (windowId != 0 && windowId != windowId_) return;

    const std::lock_guard<std::mutex> guard(lock_);
    if (event.type == SDL_MOUSEMOTION) {
        cursorX_ = static_cast<float>(event.motion.x);
        cursorY_ = static_cast<float>(event.motion.y);
        cursorMoved_ = true;
        return;
    }
    if (!enabled_) return;
    InputRecord record;
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            afterRepeat_ = event.key.repeat != 0;
            if (afterRepeat_) return;
            record.type = event.type == SDL_KEYDOWN ? InputRecord::Type::KeyDown : InputRecord::Type::KeyUp;
            record.keyCode = KeyCodeFromScancode(event.key.keysym.scancode);
            Add(keyboard_, keyboardCapacity_, std::move(record));
            return;
        case SDL_TEXTINPUT:
            if (afterRepeat_) return;
            record.type = InputRecord::Type::Text;
            record.text = event.text.text;
            Add(keyboard_, keyboardCapacity_, std::move(record));
            return;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            switch (event.button.button) {
                case SDL_BUTTON_LEFT: record.button = InputRecord::Left; break;
                case SDL_BUTTON_RIGHT: record.button = InputRecord::Right; break;
                case SDL_BUTTON_MIDDLE: record.button = InputRecord::Middle; break;
                default: return;
            }
            record.type = event.type == SDL_MOUSEBUTTONDOWN ? InputRecord::Type::ButtonDown : InputRecord::Type::ButtonUp;
            Add(mouse_, mouseCapacity_, std::move(record));
            return;
        case SDL_MOUSEWHEEL:
            record.type = InputRecord::Type::Wheel;
            record.wheel = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
            wheelNotches_ += record.wheel;
            Add(mouse_, mouseCapacity_, std::move(record));
            return;
        default: return;
    }
}

void InputCapture::Add(std::vector<InputRecord>& list, size_t capacity, InputRecord record) {
    if (list.size() < capacity) list.push_back(std::move(record));
}

}  // namespace GAME
