#include "render/InputDevice.h"

#include "platform/KeyCodes.h"
#include "render/PlatformInputDevice.h"

namespace GAME {

std::unique_ptr<InputDevice> InputDevice::Create() { return std::make_unique<PlatformInputDevice>(); }

void InputDevice::MouseEvent::ConvertToButtonEvent(ButtonEvent& event) const {
    event.modifiers = modifiers;
    switch (type) {
        case MiddleDown: event.keyCode = kMiddleMouseKeyCode; event.state = ButtonEvent::Pressed; break;
        case MiddleUp: event.keyCode = kMiddleMouseKeyCode; event.state = ButtonEvent::Released; break;
        case WheelUp: event.keyCode = kWheelUpKeyCode; event.state = ButtonEvent::Pressed; break;
        case WheelDown: event.keyCode = kWheelDownKeyCode; event.state = ButtonEvent::Pressed; break;
        default: break;
    }
}

}  // namespace GAME
