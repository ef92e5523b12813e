#pragma once
// ResetObject: the base of everything that holds device resources which do not survive a device
// reset. Such objects register with the engine, which calls PreDeviceReset before the device is
// reset (release the resources) and PostDeviceReset afterwards (make them again). At shutdown the
// engine calls PreDeviceReset a last time, before the device goes, and forgets the object.

namespace GAME {

class ResetObject {
public:
    virtual ~ResetObject() = default;
    virtual void PreDeviceReset() {}
    virtual void PostDeviceReset() {}
};

}  // namespace GAME
