#pragma once
// WeaponTrail (class "WeaponTrail"): a trail whose anchors are two attach points of its parent
// (the weapon), read every update: "Anchor1" and "Anchor2" for point set 0, "Anchor3" and
// "Anchor4" for any other. Without a parent, or when the parent has neither point (both at its
// region's origin), it uses the default anchors.

#include "effects/TrailEffect.h"

namespace GAME {

class WeaponTrail final : public TrailEffect {
    GAME_RTTI_DECLARE_CLASS()

public:
    void SetPointSetIndex(int index) { pointSet_ = index; }
    void UpdateSelf(int elapsedMs) override;

private:
    void GetAnchorPoints();

    int pointSet_ = 0;
};

}  // namespace GAME
