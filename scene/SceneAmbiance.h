#pragma once
// SceneAmbiance: what the scene reads of the ambiance around the viewer, once the world's
// ambiance manager has worked it out for the frame: per environment the sun or moon light, the
// sky and ground ambient colours, the fog and the bloom, and for lights the night-light scale and
// the shadow intensity. The manager lives with the world (it reads regions and sector styles);
// the renderers and lights below the world reach it through this interface
// (Engine::GetSceneAmbiance).
//
// Two environments are kept so that a frame can show both: looking out of a cave through its
// doorway draws the cave underground and the valley beyond outdoors.

#include "core/Color.h"
#include "core/Vec3.h"

namespace GAME {

class SceneAmbiance {
public:
    // A place's environment is underground when its region is, else outdoor.
    enum Environment : int { kUnderground = 0, kOutdoor = 1, kNumEnvironments = 2 };

    // Tinted by the fog styles around the viewer while environment effects are on (alpha 1).
    virtual Color GetLightColor(Environment environment) const = 0;
    virtual Color GetSkyAmbientColor(Environment environment) const = 0;
    virtual Color GetGroundAmbientColor(Environment environment) const = 0;
    // Unit vector towards the sun or moon (y up).
    virtual const Vec3& GetLightDirection(Environment environment) const = 0;
    // False while the graphics engine's fog is off; else whether either fog has any density.
    virtual bool GetIsFogEnabled(Environment environment) const = 0;
    virtual const Color& GetFogColor(Environment environment) const = 0;
    // (start distance, end distance, density).
    virtual const Vec3& GetDepthFog(Environment environment) const = 0;
    // (two distances, density).
    virtual const Vec3& GetHeightFog(Environment environment) const = 0;
    // The bloom pass's (threshold, blur strength, saturation); zero while environment effects are off.
    virtual Vec3 GetBloomParameters(Environment environment) const = 0;
    // 1 in dark surroundings, 0 in bright ones: how strongly lamps and torches shine.
    virtual float GetNightLightScale(Environment environment) const = 0;
    // The night-light scale blended from underground to outdoor as the viewer goes in or out.
    virtual float GetInterpolatedNightLightScale() const = 0;
    // The sun's shadow strength for night lights (0 around sunrise, 1 at night).
    virtual float GetShadowIntensity() const = 0;
    virtual bool GetIsDay() const = 0;

protected:
    ~SceneAmbiance() = default;
};

}  // namespace GAME
