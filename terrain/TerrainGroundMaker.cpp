// Installs the maker through which levels create their terrain grounds (LevelGround.h), when the
// engine library loads.

#include "terrain/Terrain.h"
#include "terrain/TerrainRT.h"

namespace GAME {

namespace {

LevelGround* MakeGround(LevelGround::Kind kind, Region* region) {
    switch (kind) {
        case LevelGround::Kind::Editable:
            return new Terrain(region);
        case LevelGround::Kind::RunTime:
            return new TerrainRT(region);
        default:
            return nullptr;  // interior grids have no ground block of their own
    }
}

struct MakerInstaller {
    MakerInstaller() { LevelGround::SetMaker(&MakeGround); }
} gMakerInstaller;

}  // namespace

}  // namespace GAME
