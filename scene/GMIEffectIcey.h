#pragma once
// GMIEffectIcey: encases a mesh instance in ice. It swaps in the ice shader
// ("Addon/Shaders/IceySkinned.ssh" for a mesh with bones, else "Addon/Shaders/IceyStatic.ssh")
// unless the instance is dissolving or fading, grows the mesh by the inflation until the maximum
// (inflating), holds there (holding) until BeginFinishing, shrinks it back (deflating), and then
// (finished) tells its listener and retires itself.
//
// While the maximum inflation is not 0 the instance's scale is (inflation + base) x the uniform
// scale factor on each axis, base being the instance's scale when the effect was made; with a
// maximum of 0 the scale is never touched. Drawing adds "iceyAlphaMultiplier" (0.8) and the
// "envmapTexture" once it is loaded.

#include <string>

#include "core/Vec3.h"
#include "scene/GMIEffect.h"

namespace GAME {

class GraphicsTexture;

class GMIEffectIcey : public GMIEffect {
public:
    enum class State : int { Inflating = 0, Holding = 1, Deflating = 2, Finished = 3 };

    // Rates are inflation units per second. The environment map is loaded through the running
    // engine's graphics engine.
    GMIEffectIcey(GraphicsMeshInstance* instance, GMIEffectListener* listener, int id, float maxInflation,
                  float inflateRate, float deflateRate, const std::string& envmapTexture);
    // Releases the environment map.
    ~GMIEffectIcey() override;
    GMIEffectIcey(const GMIEffectIcey&) = delete;
    GMIEffectIcey& operator=(const GMIEffectIcey&) = delete;

    // True when the instance has a mesh whose materials all draw with a standard shader.
    static bool IsCompatible(const GraphicsMeshInstance* instance);

    void SetUniformScaleFactor(float factor) { uniformScale_ = factor; }
    void SetDeflateRate(float rate) { deflateRate_ = rate; }
    State GetState() const { return state_; }
    float GetInflation() const { return inflation_; }

    void Update(int ms) override;
    void SetShaderParameters(const GraphicsShader2& shader) const override;
    // Takes the ice shader off the instance, unless another override replaced it or the effect
    // that replaces this one set the same shader.
    void CleanParent() override;
    // From inflating or holding to deflating; otherwise nothing changes.
    void BeginFinishing() override;
    // The ice shader; null when the effect set none.
    const GraphicsShader2* GetOverrideShader() const override { return iceShader_; }

private:
    float inflation_ = 0.0f;
    float maxInflation_;
    float inflateRate_;
    float deflateRate_;
    float uniformScale_ = 1.0f;
    Vec3 baseScale_;
    State state_ = State::Inflating;
    const GraphicsTexture* envmap_ = nullptr;
    const GraphicsShader2* iceShader_ = nullptr;
};

}  // namespace GAME
