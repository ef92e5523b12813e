// A broken device library: it exports DestroyRenderDevice but no CreateRenderDevice.

#include "render/RenderDevice.h"

void DestroyRenderDevice(GAME::RenderDevice* /*device*/) {}
