#pragma once
// NoiseTexture: a record-defined texture of animated noise, drawn on the device by the noise
// generator (GraphicsNoiseGen) from four layers. Each layer cross-fades between two of the
// generator's 256 base noise textures at its own rate and contributes at its own level; the
// layers tile the base textures 1, 2, 4 and 8 times.
//
// Record keys: "size" (texels per side, 0), "normalMap" (false: the generator converts the noise
// to a normal map when its shader can), "levels" and "rates" (real arrays of up to four, 0).
// Loading makes the render surface (size x size, RGBA, no depth) the noise is drawn into.
//
// Copies share the surface pointer (copy every field); only the generator's cached object
// releases it, also when that object is deleted while still cached. Main thread only.

#include "core/Object.h"

#include <cstdint>

namespace GAME {

class GraphicsShader2;
class LoadTable;
class RenderSurface;
class RenderTexture;

class NoiseTexture final : public Object {
    GAME_RTTI_DECLARE_CLASS()

public:
    static constexpr int kLayers = 4;
    // Pixel shader version from which one pass of the generator composes all four layers.
    static constexpr int kOnePassShaderVersion = 5;

    // One layer: a fade from base texture `from` to `to`, at phase (0..1).
    struct Layer {
        float level = 0.0f;
        float rate = 0.0f;  // phases a second
        float phase = 0.0f;
        uint32_t from = 0;
        uint32_t to = 0;
    };

    NoiseTexture() = default;
    NoiseTexture(const NoiseTexture&) = delete;
    NoiseTexture& operator=(const NoiseTexture&) = delete;
    ~NoiseTexture() override;

    bool Load(const LoadTable& table) override;

    unsigned GetSize() const { return size_; }
    bool IsNormalMap() const { return normalMap_; }
    RenderSurface* GetRenderSurface() const { return surface_; }
    // The texture of the surface; null without one.
    RenderTexture* GetTexture() const;
    bool GetNeedsUpdate() const { return needsUpdate_; }
    void SetNeedsUpdate(bool needsUpdate) { needsUpdate_ = needsUpdate; }
    const Layer& GetLayer(int i) const { return layers_[i]; }

    // Advances each layer's phase by the engine's update time times its rate; a layer that
    // reaches a whole phase fades on from its `to` texture to a random one of count.
    void UpdateLayers(unsigned count);
    // The noise shader's parameters for one pass: the base textures of the layers (all four in
    // one pass from pixel shader version 5, else two a pass, secondPass choosing layers 2 and 3),
    // their phases ("blendFactor"), levels ("level"), tilings ("textureScale") and one texel
    // ("textureOffset").
    void SetShaderParams(const GraphicsShader2* shader, RenderTexture* const* baseTextures, int secondPass) const;
    // Makes the surface again (the old one released first).
    void InitalizeSurface();
    void ReleaseRenderSurface();

private:
    bool normalMap_ = false;
    bool needsUpdate_ = true;
    unsigned size_ = 0;
    Layer layers_[kLayers];
    RenderSurface* surface_ = nullptr;
};

}  // namespace GAME
