#pragma once
// NightLight: a Light whose intensity follows the ambiance's night-light scale, so lamps and
// torches brighten at night and underground, and whose shadows follow the ambiance's shadow
// intensity. It takes the scale of its own region's environment, or with
// useInterpolatedEnvironment the one blended as the viewer goes between underground and outdoor.
// It lives with the world because it asks its region whether it is underground.
//
// Record fields: those of Light, and "useInterpolatedEnvironment" (false when missing).

#include "scene/Light.h"

namespace GAME {

class NightLight : public Light {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool Load(const LoadTable& table) override;
    // The entity update, then the shadow intensity and intensity from the engine's ambiance.
    void UpdateSelf(int elapsedMs) override;
    void SetUseInterpolatedEnvironment(bool use) { useInterpolatedEnvironment_ = use; }
    bool GetUseInterpolatedEnvironment() const { return useInterpolatedEnvironment_; }

private:
    bool useInterpolatedEnvironment_ = false;
};

}  // namespace GAME
