#include "world/RegionConnectivity.h"

#include <algorithm>

#include "world/Region.h"

namespace GAME {

namespace {

// The regions connected to those of ring that are not yet in seen; they are added to seen.
mem::vector<Region*> NextRing(const mem::vector<Region*>& ring, mem::set<Region*>& seen) {
    mem::vector<Region*> next;
    for (const Region* region : ring) {
        for (Region* connected : region->GetConnectedRegions()) {
            if (seen.insert(connected).second) next.push_back(connected);
        }
    }
    return next;
}

}  // namespace

void GetConnectedRegionSet(Region* region, mem::set<Region*>& out, int depth) {
    if (!region) return;
    out.insert(region);
    mem::vector<Region*> ring;
    for (Region* connected : region->GetConnectedRegions()) {
        if (out.insert(connected).second) ring.push_back(connected);
    }
    for (int step = 0; step < depth && !ring.empty(); ++step) ring = NextRing(ring, out);
}

bool AreRegionsConnected(const Region* a, const Region* b, int depth) {
    if (!a || !b) return false;
    if (a == b) return true;
    mem::vector<Region*> ring = a->GetConnectedRegions();
    mem::set<Region*> seen(ring.begin(), ring.end());
    for (int step = 0; step < depth && !ring.empty(); ++step) {
        if (std::find(ring.begin(), ring.end(), b) != ring.end()) return true;
        ring = NextRing(ring, seen);
    }
    return false;
}

}  // namespace GAME
