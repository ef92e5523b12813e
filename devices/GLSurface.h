#pragma once
// GLSurface: a render surface: a colour texture and/or a depth texture that draws go into. The
// primary surface (the back buffer) is one too; Present shows it on the window. Every surface
// stores its top row first, as the engine's conventions ask.
//
// The textures are GLTextures, so a surface made on a loader thread gets its GL objects on the
// render thread like any texture; the framebuffer objects that bind them live in the device's
// framebuffer cache.

#include "devices/GLObject.h"
#include "devices/GLTexture.h"
#include "render/RenderDevice.h"

#include <memory>

namespace GAME {

class GLDevice;

class GLSurface : public RenderSurface, public GLObject {
public:
    // ownedColor, or else sharedColor (a texture of the caller's), is the colour target (both null:
    // none); depth is the depth target or null. primary marks the back buffer.
    GLSurface(GLDevice& device, std::unique_ptr<GLTexture> ownedColor, GLTexture* sharedColor,
              std::unique_ptr<GLTexture> depth, bool primary);
    ~GLSurface() override;

    RenderTexture* GetTexture() const override { return primary_ ? nullptr : color_; }
    RenderTexture* GetDepthTexture() const override { return primary_ ? nullptr : depth_.get(); }
    bool ReadPixels(void* buffer, int width, int height, RenderTextureFormat format) const override;
    void CopyToTexture(RenderTexture* destination, const Rect* source, uint32_t flags) override;
    void Upload() override {}

    GLTexture* GetColor() const { return color_; }
    GLTexture* GetDepth() const { return depth_.get(); }
    bool IsPrimary() const { return primary_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }

    // Replaces the targets (the primary surface after a reset).
    void Replace(std::unique_ptr<GLTexture> ownedColor, std::unique_ptr<GLTexture> depth);

private:
    GLDevice& device_;
    std::unique_ptr<GLTexture> ownedColor_;
    GLTexture* color_ = nullptr;
    std::unique_ptr<GLTexture> depth_;
    const bool primary_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace GAME
