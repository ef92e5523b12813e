#include "world/LevelWater.h"

namespace GAME {

namespace {

// Constant-initialised, so a maker installed while the library loads is never overwritten.
LevelWater::Maker gMaker = nullptr;

}  // namespace

void LevelWater::SetMaker(Maker maker) { gMaker = maker; }

LevelWater* LevelWater::Make(Region* region) { return gMaker ? gMaker(region) : nullptr; }

}  // namespace GAME
