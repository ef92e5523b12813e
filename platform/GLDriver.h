#pragma once
// The system's OpenGL driver (Mesa's EGL and its software rasteriser on the machines this engine
// is tested on).

namespace GAME {

// Keeps the driver's libraries loaded until the process ends. The driver unloads them when its
// last context goes, before a leak checker looks at exit, which then cannot read their frames and
// reports their caches as leaks. Call before the first context is made; a library that is not
// there is passed over. Calling again does nothing more.
void KeepGLDriverLoaded();

}  // namespace GAME
