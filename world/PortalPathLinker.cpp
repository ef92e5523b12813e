#include "world/PortalPathLinker.h"

#include "core/Coords.h"
#include "core/WorldCoords.h"
#include "world/Portal.h"

namespace GAME {

bool PortalPathLinker::GetCrossing(const Portal& portal, WorldVec3& front, WorldVec3& back) const {
    Coords frontToBack;
    Region* connected = nullptr;
    if (!portal.GetIsOpen() || !portal.GetRegion() || !portal.GetFrontToBackCoords(frontToBack, connected, false))
        return false;
    front = portal.GetChokePoint().GetOrigin();
    back = WorldVec3(connected, frontToBack.TransformPoint(front.GetRegionPosition()));
    return true;
}

}  // namespace GAME
