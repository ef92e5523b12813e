#pragma once
// PortalPathLinker: tells the path finder where a portal joins its region to the connected one,
// so that paths can cross doorways. The crossing is the portal's choke point, seen from both
// sides: in the portal's region, and carried through the portal's frame into the connected
// region. The world installs one with PathFinder::SetPortalLinker while it exists.
//
// The path finder asks from the thread that searches, while it holds its lock; the linker reads
// both portals of a doorway and the world's region index, which change on the main thread, so
// searches that cross portals run on the main thread. It never loads the region behind a doorway
// (a load takes the region's lock, which must never be taken under the path finder's): a doorway
// into a region whose level is not loaded has no crossing.

#include "pathing/PathPortalLinker.h"

namespace GAME {

class PortalPathLinker final : public PathPortalLinker {
public:
    // False for a closed portal, and for one whose connected region or portal is missing.
    bool GetCrossing(const Portal& portal, WorldVec3& front, WorldVec3& back) const override;
};

}  // namespace GAME
