#include "platform/GLDriver.h"

#include <dlfcn.h>

namespace GAME {

void KeepGLDriverLoaded() {
    static const bool kept = [] {
        // Extra references that are never dropped.
        dlopen("libEGL_mesa.so.0", RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL);
        dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL);
        return true;
    }();
    (void)kept;
}

}  // namespace GAME
