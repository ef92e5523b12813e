#pragma once
// PathPortalLinker: tells the path finder where a registered portal joins two regions, so a search
// can step from one region's path mesh into the next. The region layer, which knows the portals'
// geometry, implements it and hands it to PathFinder::SetPortalLinker; without a linker, paths stay
// within one region.

namespace GAME {

class Portal;
class WorldVec3;

class PathPortalLinker {
public:
    // The place to cross the portal, as the same point seen from its front region (front) and from
    // the region behind it (back). False when the portal cannot be crossed on foot.
    virtual bool GetCrossing(const Portal& portal, WorldVec3& front, WorldVec3& back) const = 0;

protected:
    ~PathPortalLinker() = default;
};

}  // namespace GAME
