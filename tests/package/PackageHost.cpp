// A host that knows the engine only through its installed package: it includes the installed
// headers, links the installed library, and has the device factory find the installed GL device
// library beside it.
#include "core/Vec3.h"
#include "render/RenderDevice.h"

#include <cstdio>

int main() {
    using namespace GAME;
    RenderDevice* device = RenderDevice::Create("GLDevice");
    if (device == nullptr) {
        std::fprintf(stderr, "the GL device library was not found beside the engine library\n");
        return 1;
    }
    RenderDevice::Destroy(device);
    RenderDevice::UnloadLibraries();
    const Vec3 up(0.0f, 1.0f, 0.0f);
    std::printf("installed engine and device load; |up| = %g\n", static_cast<double>(up.Length()));
    return 0;
}
