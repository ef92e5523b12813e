#pragma once
// The engine object. gEngine is the one instance (null until the engine is made); render devices
// receive it at creation.

namespace GAME {

class Engine;

extern Engine* gEngine;

}  // namespace GAME
