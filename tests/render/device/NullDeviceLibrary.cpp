// A device library whose create export makes no device (as one may when the hardware is missing).

#include "render/RenderDevice.h"

GAME::RenderDevice* CreateRenderDevice(GAME::Engine* /*engine*/) { return nullptr; }

void DestroyRenderDevice(GAME::RenderDevice* /*device*/) {}
