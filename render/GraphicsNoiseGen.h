#pragma once
// GraphicsNoiseGen: the process-wide maker of noise textures (NoiseTexture). It owns the 256 base
// noise textures (32 x 32, one byte a texel, each from a fixed seed: the same on every run), a
// full-screen quad, the shader "Shaders/NoiseTextureGen.ssh" and a reference-counted cache of the
// noise textures in use, by record name (letter case ignored).
//
// The graphics engine's update calls Update before the display is drawn: each cached texture
// marked for update gets its layers advanced and is drawn again. A pass of the shader's style
// "compositeBaseStyle" draws the layers (on devices below pixel shader version 5 a second pass,
// "compositeAddStyle", adds layers 2 and 3); a normal map is composed into a temporary surface
// first and converted into its own by "convertStyle", when the shader has it.
//
// Made on first use through Singleton<GraphicsNoiseGen>::Get over the engine's graphics engine
// (without one it holds no device objects and draws nothing). Main thread only.

#include "core/Mem.h"
#include "core/Name.h"

#include <array>
#include <cstdint>

namespace GAME {

class GraphicsCanvas;
class GraphicsEngine;
class GraphicsShader2;
class NoiseTexture;
class RenderDevice;
class RenderIndexBuffer;
class RenderTexture;
class RenderVertexBuffer;
class RenderVertexDeclaration;

class GraphicsNoiseGen {
public:
    static constexpr uint32_t kBaseTextures = 256;
    static constexpr int kBaseSize = 32;
    static constexpr const char* kShaderFile = "Shaders/NoiseTextureGen.ssh";

    // The texels of base texture seed, rows top first: each the byte of (v + 1) x 127 for a
    // smoothed lattice noise v in (-1, 1] that wraps every 31 texels.
    static std::array<uint8_t, kBaseSize * kBaseSize> MakeBaseNoise(uint32_t seed);

    GraphicsNoiseGen();
    ~GraphicsNoiseGen();
    GraphicsNoiseGen(const GraphicsNoiseGen&) = delete;
    GraphicsNoiseGen& operator=(const GraphicsNoiseGen&) = delete;

    // The texture of the record, one reference more; made through the object manager on the
    // first request. Null when the record does not make a NoiseTexture.
    NoiseTexture* AcquireNoiseTexture(const char* name);
    // One reference less; the last destroys the texture.
    void ReleaseNoiseTexture(NoiseTexture* texture);
    // The texture is being deleted, whoever deletes it (the object manager deletes every object
    // still held when it goes, before or after this generator): a cached one gives up its surface
    // and its slot, so nothing here is read after it is gone.
    void ForgetNoiseTexture(const NoiseTexture* texture);
    // Draws every cached texture marked for update and clears its mark.
    void Update(GraphicsCanvas& canvas);
    // Device reset: the base textures, the quad and the textures' surfaces go before and come
    // back after.
    void PreDeviceReset();
    void PostDeviceReset();
    // Engine shutdown: releases every device object and the shader.
    void Destroy();

    RenderTexture* GetBaseTexture(uint32_t seed) const { return baseTextures_[seed]; }

private:
    struct CacheEntry {
        NoiseTexture* texture = nullptr;  // owned through the object manager; null: empty slot
        int count = 0;
    };

    void CreateDeviceObjects();
    void DestroyDeviceObjects();
    void Render(GraphicsCanvas& canvas, NoiseTexture& texture);
    // One pass of the style over the quad; none when the shader lacks the style.
    void DrawPass(const Name& style, const NoiseTexture& texture, int secondPass, const RenderTexture* source);

    mem::vector<CacheEntry> cache_;
    const Name compositeBaseStyle_;
    const Name compositeAddStyle_;
    const Name convertStyle_;
    const GraphicsShader2* shader_ = nullptr;
    RenderTexture* baseTextures_[kBaseTextures] = {};
    RenderVertexDeclaration* declaration_ = nullptr;
    RenderVertexBuffer* vertexBuffer_ = nullptr;
    RenderIndexBuffer* indexBuffer_ = nullptr;
    GraphicsEngine* graphics_ = nullptr;
    RenderDevice* device_ = nullptr;
};

}  // namespace GAME
