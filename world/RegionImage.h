#pragma once
// RegionImage: a texture on the render device made from an image file held in memory (a
// region's icon, its mini-map). The texture is released before a device reset and made again
// from the kept bytes afterwards; without a running engine and device nothing is made.

#include <cstdint>

namespace GAME {

class RenderTexture;

class RegionImage {
public:
    RegionImage() = default;
    ~RegionImage() { Release(); }
    RegionImage(const RegionImage&) = delete;
    RegionImage& operator=(const RegionImage&) = delete;

    // Decodes the image file and makes its texture, replacing any earlier one; false (logged by
    // the decoder) for bytes that are no image, or without a device.
    bool Make(const void* data, uint32_t size);
    void Release();
    RenderTexture* GetTexture() const { return texture_; }

private:
    RenderTexture* texture_ = nullptr;
};

}  // namespace GAME
