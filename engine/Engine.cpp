#include "engine/Engine.h"

namespace GAME {

Engine* gEngine = nullptr;

}  // namespace GAME
