#pragma once
// ResetObject: the base of everything that holds device resources which do not survive a device
// reset. Such objects register with the engine, which calls PreDeviceReset before the device is
// reset (release the resources) and PostDeviceReset afterwards (make them again).

namespace GAME {

class ResetObject {
public:
    virtual ~ResetObject() = default;
    virtual void PreDeviceReset() {}
    virtual void PostDeviceReset() {}
};

}  // namespace GAME
