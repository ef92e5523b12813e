#pragma once
// TerrainType: the database record of one ground layer: its texture and bump map, the grass blades
// that grow on it, its colour on the minimap, the actor name ground effects use and the kind of
// surface it is for physics and movement. Each terrain layer names one record, and the terrain
// makes the type through the object manager (CreateObjectFromFile<TerrainType>).
//
// Record keys (a missing key gives the default in brackets): "TextureFileName1",
// "BumpMapFileName1", "BladeTextureFileName", "ActorName" (empty); "minimapRed", "minimapGreen",
// "minimapBlue" (0; integers 0-255, alpha stays 1); "VariationProbability" (integer array),
// "VariationClumpiness", "NoiseScale" (real arrays; empty); "MinimumBladeOpacity" (0, percent),
// "BladeSpacing" (0), "BladeVariations" (1), "BladeWidth" (1.0), "BladeHeight" (1.5);
// "surfaceType" (exactly "Unwalkable", "Grass", "Dirt", "Sand", "Snow", "Stone", "Wood" or
// "Water"; anything else is no surface). Negative counts read as 0.
//
// Loading the record loads no texture: the terrain calls LoadTextures when a layer gets the type,
// through the graphics engine; without one (a headless engine, tests) the type holds no texture.
// Bump maps need pixel shader version kMinBumpMapShaderVersion. The type holds one reference to
// each texture it keeps and gives them back when destroyed.

#include <cstdint>
#include <string>

#include "core/Color.h"
#include "core/Mem.h"
#include "core/Object.h"
#include "core/PhysicsSurface.h"

namespace GAME {

class GraphicsShader2;
class GraphicsTexture;
class LoadTable;

class TerrainType final : public Object {
    GAME_RTTI_DECLARE_CLASS()

public:
    static constexpr int kMinBumpMapShaderVersion = 5;

    TerrainType() = default;
    ~TerrainType() override;

    // The type the record makes through the object manager, or null (a missing record, or one of
    // another class, logged by the manager); the caller owns it and gives it back with Destroy.
    static TerrainType* Create(const std::string& recordName);
    // Hands the type to the object manager for destruction; null stays null.
    static void Destroy(TerrainType*& type);

    bool Load(const LoadTable& table) override;

    // Loads the ground texture, the bump map (with a capable device) and the blade texture that
    // the record names, first giving back any held; a texture that cannot be made is left out.
    void LoadTextures();
    // Gives back the bump maps and loads the record's again: the device's generation changed.
    void ReloadBumpmaps();
    // With enqueue, queues every held texture with the resource loader.
    void PreLoad(bool enqueue) const;

    // Sets "baseTexture" to the ground texture and "bumpTexture" to the bump map, each when held;
    // every layer sets the same.
    void SetShaderParams(const GraphicsShader2* shader, int layer) const;
    // Sets "baseTexture" to the blade texture when held, and "bladeHeight".
    void SetGrassShaderParams(const GraphicsShader2* shader) const;

    unsigned GetNumTextures() const { return unsigned(textures_.size()); }
    // Null when i is out of range.
    const GraphicsTexture* GetTexture(unsigned i) const;
    unsigned GetNumBumpMapTextures() const { return unsigned(bumpMaps_.size()); }
    const GraphicsTexture* GetBumpMapTexture(unsigned i) const;
    const GraphicsTexture* GetBladeTexture() const { return bladeTexture_; }

    unsigned GetNumBladeVariations() const { return bladeVariations_; }
    unsigned GetBladeSpacing() const { return bladeSpacing_; }
    float GetBladeWidth() const { return bladeWidth_; }
    float GetBladeHeight() const { return bladeHeight_; }
    // The minimum blade opacity as an alpha 0-255: trunc(percent x 0.01 x 255).
    unsigned GetMinimumBladeOpacity() const;
    const mem::vector<int>& GetVariationProbabilities() const { return variationProbabilities_; }
    const mem::vector<float>& GetVariationClumpiness() const { return variationClumpiness_; }
    const mem::vector<float>& GetNoiseScale() const { return noiseScale_; }
    // A blade variation for a random number r >= 0: r modulo the variation count unless there is
    // one probability per variation; then the variation whose share of the probability sum holds
    // r modulo the sum. 0 when there is nothing to choose from.
    int GetRandomTexture(int r) const;

    PhysicsSurface GetSurface() const { return surface_; }
    const Color& GetMiniMapColor() const { return minimapColor_; }
    std::string GetActorName() const { return actorName_; }

private:
    void ReleaseTextures();

    mem::vector<const GraphicsTexture*> textures_;      // ground textures (at most one), referenced
    mem::vector<const GraphicsTexture*> bumpMaps_;      // bump maps (at most one), referenced
    Color minimapColor_{0.0f, 0.0f, 0.0f, 1.0f};
    mem::vector<int> variationProbabilities_;           // weight of each blade variation
    mem::vector<float> variationClumpiness_;            // per-variation clumping
    mem::vector<float> noiseScale_;                     // per-variation noise scale
    const GraphicsTexture* bladeTexture_ = nullptr;     // referenced; null when none
    uint32_t minimumBladeOpacity_ = 0;                  // percent
    uint32_t bladeSpacing_ = 0;                         // spacing of the blades
    uint32_t bladeVariations_ = 1;                      // variations side by side in the blade texture
    float bladeWidth_ = 1.0f;
    float bladeHeight_ = 1.5f;
    PhysicsSurface surface_ = PhysicsSurface::None;
    std::string textureFileName_;
    std::string bumpMapFileName_;
    std::string bladeTextureFileName_;
    std::string actorName_;
};

}  // namespace GAME
