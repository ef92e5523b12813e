#pragma once
// WhiteAmbiance: white ambient light everywhere, no sun, no fog, no bloom, so a scene drawn under
// it shows its meshes' own colours. A test may give it a sun, other ambient colours and depth fog
// (the public fields). Header only, so the benchmarks share it without the test support library.

#include "core/Color.h"
#include "core/Vec3.h"
#include "scene/SceneAmbiance.h"

namespace GAME::test {

class WhiteAmbiance final : public SceneAmbiance {
public:
    Color GetLightColor(Environment) const override { return sunColor; }
    Color GetSkyAmbientColor(Environment) const override { return ambientColor; }
    Color GetGroundAmbientColor(Environment) const override { return ambientColor; }
    const Vec3& GetLightDirection(Environment) const override { return towardsSun; }
    bool GetIsFogEnabled(Environment) const override { return depthFog.z > 0.0f; }
    const Color& GetFogColor(Environment) const override { return fogColor; }
    const Vec3& GetDepthFog(Environment) const override { return depthFog; }
    const Vec3& GetHeightFog(Environment) const override { return zero_; }
    Vec3 GetBloomParameters(Environment) const override { return Vec3(); }
    float GetNightLightScale(Environment) const override { return 0.0f; }
    float GetInterpolatedNightLightScale() const override { return 0.0f; }
    float GetShadowIntensity() const override { return 0.0f; }
    bool GetIsDay() const override { return true; }

    Color sunColor{0.0f, 0.0f, 0.0f, 1.0f};  // black: no sun
    Vec3 towardsSun{0.0f, 1.0f, 0.0f};       // unit length
    Color ambientColor{1.0f, 1.0f, 1.0f, 1.0f};
    Color fogColor{0.0f, 0.0f, 0.0f, 1.0f};
    Vec3 depthFog;  // start, end, amount: none

private:
    Vec3 zero_;
};

}  // namespace GAME::test
