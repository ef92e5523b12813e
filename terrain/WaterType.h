#pragma once
// WaterType: a named water material shared by every layer, path and wave set that names it: the
// ramp from depth to opacity, the drift of the surface texture, the lighting terms of the water
// shader, the water colour and the sky (environment) map. Types live in the WaterTypeManager,
// which owns them and counts their users.
//
// The stored fields travel inside a level's water block as one record, little-endian:
//   u32 record version (written as 1, skipped when read), then 14 f32: MinDepthOpacity,
//   MaxDepthOpacity, MinDepth, MaxDepth, ScrollSpeed, Smoothness, Specularity, Reflectivity,
//   Direction (degrees), TextureScale x and y, WaterColor red, green and blue; then three strings
//   (u32 byte length, the bytes): TypeName, SkyMapFilename, NoiseTextureName.
// The colour's alpha is not stored: a loaded type keeps the alpha it had.

#include <cstdint>
#include <string>

#include "core/Color.h"
#include "core/Vec2.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class GraphicsShader2;
class GraphicsTexture;
class NoiseTexture;
struct IntVec3;

class WaterType {
public:
    static constexpr uint32_t kRecordVersion = 1;
    // A texture scale read from a record is kept at least this large: the drift and the shader's
    // "textureScale" divide by it.
    static constexpr float kMinTextureScale = 0.001f;

    // The stored fields; the editor changes a type in place through EditSettings.
    struct Settings {
        float MinDepthOpacity = 0.0f;    // opacity at and above MinDepth
        float MaxDepthOpacity = 0.8f;    // opacity at and below MaxDepth
        float MinDepth = 0.0f;           // where the opacity ramp starts
        float MaxDepth = 5.0f;           // where the opacity ramp ends
        float ScrollSpeed = 1.0f;        // drift of the surface texture, world units per second
        float Smoothness = 4.0f;         // shader surface terms
        float Specularity = 100.0f;
        float Reflectivity = 1.0f;
        float Direction = 0.0f;          // drift direction in degrees (0 = +x, 90 = +z)
        Vec2 TextureScale{16.0f, 16.0f}; // world size of one repeat of the surface texture
        Color WaterColor{1.0f, 1.0f, 1.0f, 1.0f};  // only red, green and blue are stored
        std::string SkyMapFilename = "Effects/EnvironmentMaps/SkyBright.tex";
        std::string NoiseTextureName = "Records/WaterType/NoiseTextures/defaultWaves.dbr";
    };

    WaterType() = default;
    explicit WaterType(const std::string& name) : name_(name) {}
    // A copy has the source's stored fields and texture offset, no resources and frame count 0.
    WaterType(const WaterType& other);
    // Copies the same and keeps this type's resources.
    WaterType& operator=(const WaterType& other);
    ~WaterType();

    // Puts the stored fields other than the name, and the texture offset, back to the defaults.
    void SetDefaultValues();

    void Save(BinaryWriter& writer) const;
    // Reads a record. A string that is too long or runs past the end keeps the field's value, and
    // a record cut short leaves the fields it did not reach; the type is usable either way, so
    // Load reports success, as the block loader expects.
    bool Load(BinaryReader& reader);

    // Loads the sky map through the graphics engine; without one it does nothing. The noise
    // texture is not acquired here: types load on the level-loading thread, and the noise
    // generator belongs to the main thread, so the first Update acquires it.
    void LoadResources();
    // Gives back the sky map and loads SkyMapFilename again (the editor changed it).
    void ReloadSkyMap();
    // Gives back the noise texture; the next Update acquires NoiseTextureName again (the editor
    // changed it).
    void ReloadNoise();

    // Advances the texture offset once per engine frame however many users call it, and with a
    // graphics engine acquires the noise texture when it has none yet (main thread).
    void Update();
    // Sets the water shader's parameters; offset is the integer position the elements are drawn
    // relative to (x and z used). With a noise texture, "bumpTexture" is its texture and the
    // noise is marked to be drawn again this frame.
    void SetShaderParams(const GraphicsShader2* shader, const IntVec3& offset) const;
    // The opacity at a depth: the ramp from MinDepthOpacity to MaxDepthOpacity over
    // [MinDepth, MaxDepth], its length taken as at least 1.
    float CalculateOpacity(float depth) const;
    // The drift: (cos d, sin d) x ScrollSpeed, d = Direction.
    Vec2 CalculateVelocity() const;

    const std::string& GetTypeName() const { return name_; }
    void SetTypeName(const std::string& name) { name_ = name; }
    const Settings& GetSettings() const { return settings_; }
    Settings& EditSettings() { return settings_; }
    float GetTextureOffset() const { return textureOffset_; }
    const GraphicsTexture* GetSkyMap() const { return skyMap_; }
    const NoiseTexture* GetNoiseTexture() const { return noise_; }

private:
    void ReleaseSkyMap();
    void ReleaseNoise();

    std::string name_;                          // unique, compared without regard to case
    Settings settings_;
    float textureOffset_ = 0.0f;                // drift along x, in repeats (fraction)
    uint32_t updateFrame_ = 0;                  // engine frame of the last Update
    const GraphicsTexture* skyMap_ = nullptr;   // referenced; null until loaded
    NoiseTexture* noise_ = nullptr;             // referenced by the noise generator; null until acquired
    bool noiseAsked_ = false;                   // acquiring was tried (a failed record is not retried each frame)
};

}  // namespace GAME
