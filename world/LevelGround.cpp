#include "world/LevelGround.h"

namespace GAME {

namespace {

// Constant-initialised, so a maker installed while the library loads is never overwritten.
LevelGround::Maker gMaker = nullptr;

}  // namespace

void LevelGround::SetMaker(Maker maker) { gMaker = maker; }

LevelGround* LevelGround::Make(Kind kind, Region* region) { return gMaker ? gMaker(kind, region) : nullptr; }

}  // namespace GAME
