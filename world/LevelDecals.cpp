#include "world/LevelDecals.h"

namespace GAME {

namespace {

// Constant-initialised, so a maker installed while the library loads is never overwritten.
LevelDecals::Maker gMaker = nullptr;

}  // namespace

void LevelDecals::SetMaker(Maker maker) { gMaker = maker; }

std::unique_ptr<LevelDecals> LevelDecals::Make(Region* owner) { return gMaker ? gMaker(owner) : nullptr; }

}  // namespace GAME
