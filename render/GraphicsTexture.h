#pragma once
// GraphicsTexture: the texture resource, a plain DDS image or the engine's animated container.
//
// Texture files, little-endian, one of two forms (TextureFileWriter writes both):
// - DDS: the file begins "DDS " and goes to the device whole (RenderDevice::CreateTextureFromFile).
// - TEX: "TEX", a version byte (ignored), the frame rate (i32, frames per second), then frames to
//   the end of the file, each a u32 size and that many bytes of a DDS image.
//
// Each texture is reduced by the level the graphics engine gives its file name (the device drops
// that many top mip levels). For a single-frame TEX file the loader reads only the bytes the
// reduced image needs. A failed load falls back to one of the engine's shared textures: the empty
// one when video memory ran out, the checker-board default one otherwise. The texture asks the
// engine for the shared one each time rather than keeping its pointer, so a device reset that
// remakes the shared textures leaves nothing dangling here.
//
// Animated textures show frame (game time in ms x frame rate / 1000) mod frames; a frame rate of
// 0 or less shows the first frame.

#include "core/Mem.h"
#include "core/Rect.h"
#include "files/Resource.h"

#include <cstdint>
#include <string>

namespace GAME {

class GraphicsEngine;
class RenderTexture;

class GraphicsTexture final : public Resource {
public:
    // The frame rate of a texture until its file sets one.
    static constexpr float kDefaultFrameRate = 15.0f;

    GraphicsTexture(BaseResourceManager* manager, const std::string& fileName, GraphicsEngine& graphics);
    ~GraphicsTexture() override;

    // Notes the reduction level for the file and returns the bytes to read: the whole file, or
    // for a reduced single-frame TEX file the reduced image's bytes as the device computes them.
    uint32_t GetDataLength(File* file) override;
    InitResult Initialize(const void* data, uint32_t size) override;
    void InitializeDefault() override;
    void Destroy() override;
    // The video memory in kilobytes, rounded: "<n> kb".
    std::string GetDebugInfo() const override;
    size_t GetSystemMemoryUsage() const override;
    size_t GetVideoMemoryUsage() const override;

    // Loaded (with or without success); marks the texture touched.
    bool GetIsReadyToUse() const;

    // The frame to show now; null when there are no frames.
    const RenderTexture* GetTexture() const;
    // The frame, or null when out of range.
    const RenderTexture* GetTexture(int frame) const;
    int GetNumFrames() const;
    float GetFrameRate() const;
    // Of the current frame; 0 when there is none.
    int GetWidth() const;
    int GetHeight() const;
    // (0, 0, width, height).
    Rect GetRect() const;

private:
    // Which of the engine's shared textures stands in for a texture that did not load.
    enum class Fallback { None, Default, Empty };

    // Makes a texture from one DDS image and appends it; the failure result otherwise.
    InitResult AddFrame(const void* data, uint32_t size, int frame);
    const RenderTexture* GetFallbackTexture() const;

    GraphicsEngine& graphics_;
    int reduction_ = 0;
    float frameRate_ = kDefaultFrameRate;
    mem::vector<RenderTexture*> frames_;  // owned
    Fallback fallback_ = Fallback::None;  // the only frame when set
};

}  // namespace GAME
