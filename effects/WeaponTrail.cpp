#include "effects/WeaponTrail.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(WeaponTrail, TrailEffect);

void WeaponTrail::UpdateSelf(int elapsedMs) {
    GetAnchorPoints();
    TrailEffect::UpdateSelf(elapsedMs);
}

void WeaponTrail::GetAnchorPoints() {
    const Entity* parent = GetParent();
    if (!parent) {
        SetDefaultAnchors();
        return;
    }
    static const Name kAnchors[4] = {Name::Create("Anchor1"), Name::Create("Anchor2"), Name::Create("Anchor3"),
                                     Name::Create("Anchor4")};
    const int first = pointSet_ == 0 ? 0 : 2;
    const Vec3 a = parent->GetAttachedCoordsInRegion(kAnchors[first], true).GetOrigin().GetRegionPosition();
    const Vec3 b = parent->GetAttachedCoordsInRegion(kAnchors[first + 1], true).GetOrigin().GetRegionPosition();
    if (a == Vec3() && b == Vec3()) {
        SetDefaultAnchors();
    } else {
        SetAnchors(a, b);
    }
}

}  // namespace GAME
