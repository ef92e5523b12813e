// The level's operations on its terrain ground (declared in world/Level.h): the world folder
// holds its ground through LevelGround and does not see the terrain classes, which build on it.

#include "core/Log.h"
#include "terrain/Terrain.h"
#include "world/Level.h"

namespace GAME {

bool Level::NewTerrain(unsigned xSamples, unsigned ySamples) {
    if (xSamples == 0 || ySamples == 0) {
        Log(LogPriority::Error, "Level: a terrain of %u x %u samples has no cells", xSamples, ySamples);
        return false;
    }
    auto terrain = std::make_unique<Terrain>(region_);
    if (!terrain->New(xSamples - 1, ySamples - 1)) return false;  // logged
    NewGround(std::move(terrain));
    return true;
}

TerrainBase* Level::GetTerrain() const { return dynamic_cast<TerrainBase*>(ground_.get()); }

Terrain* Level::GetEditableTerrain() const { return dynamic_cast<Terrain*>(ground_.get()); }

}  // namespace GAME
