// The two exports the engine's device factory looks up by name.

#include "devices/GLDevice.h"

extern "C" {

GAME::RenderDevice* CreateRenderDevice(GAME::Engine* /*engine*/) {
    return new GAME::GLDevice();
}

void DestroyRenderDevice(GAME::RenderDevice* device) {
    delete static_cast<GAME::GLDevice*>(device);
}

}
