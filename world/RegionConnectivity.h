#pragma once
// Walks over the regions' connected lists (Region::BuildRegionConnectivity), which the world
// answers its connectivity questions with. Depth counts the steps taken beyond a region's direct
// neighbours.

#include "core/Mem.h"

namespace GAME {

class Region;

// Inserts the region, its connected regions, and the regions reached from those in at most depth
// further steps. Nothing for a null region.
void GetConnectedRegionSet(Region* region, mem::set<Region*>& out, int depth);

// True when a and b are the same region, or when b is among a's connected regions or is reached
// from them in fewer than depth further steps; false when either is null. A depth of 0 finds
// nothing but a itself.
bool AreRegionsConnected(const Region* a, const Region* b, int depth);

}  // namespace GAME
