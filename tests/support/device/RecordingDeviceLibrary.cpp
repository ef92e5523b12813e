// The exports of the recording device libraries. libRecordingDevice.so makes a new device on
// every create; libRecordingDeviceSingle.so (RECORDING_DEVICE_SINGLE) hands out one device again
// and again until it is destroyed, as a device library may.

#include "support/RecordingDevice.h"

namespace {

#if RECORDING_DEVICE_SINGLE
GAME::test::RecordingDevice* gSingle = nullptr;
#endif

}  // namespace

GAME::RenderDevice* CreateRenderDevice(GAME::Engine* engine) {
#if RECORDING_DEVICE_SINGLE
    if (gSingle == nullptr) {
        gSingle = new GAME::test::RecordingDevice(engine);
    }
    return gSingle;
#else
    return new GAME::test::RecordingDevice(engine);
#endif
}

void DestroyRenderDevice(GAME::RenderDevice* device) {
#if RECORDING_DEVICE_SINGLE
    if (device == gSingle) {
        gSingle = nullptr;
    }
#endif
    delete static_cast<GAME::test::RecordingDevice*>(device);
}
