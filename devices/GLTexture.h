#pragma once
// GLTexture: every texture of the device: from DDS files, from one-byte or 32-bit texels, dynamic
// (lockable) textures, and the colour and depth targets of render surfaces.
//
// The texels wait on the CPU until the render thread uploads them (at once when made there), and
// are freed after the upload, except a dynamic texture's, which Lock hands out again. Block-
// compressed data is decoded on the CPU when the driver lacks S3TC. Sizes are known at once.

#include "devices/GLObject.h"
#include "devices/GLTextureFormat.h"
#include "render/RenderDevice.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace GAME {

class GLDevice;

class GLTexture final : public RenderTexture, public GLObject {
public:
    enum class Kind {
        File,     // CreateTextureFromFile
        Bytes,    // CreateTexture: UpdatePixels takes one byte a texel
        Pixels,   // CreateTextureFromPixels: UpdatePixels takes 32-bit texels
        Dynamic,  // CreateDynamicTexture: Lock and Unlock
        Target,   // the colour or depth target of a render surface; no texels
    };

    // One mip level; texels empty once uploaded (and always for targets).
    struct Level {
        uint32_t width = 0;
        uint32_t height = 0;
        std::vector<uint8_t> texels;
    };

    // levels: largest first, at least one. videoBytes were reserved from the device's budget and
    // are given back when the texture goes.
    GLTexture(GLDevice& device, Kind kind, const GLTextureFormat& format, std::vector<Level> levels, size_t videoBytes);
    ~GLTexture() override;

    int GetWidth() const override { return int(width_); }
    int GetHeight() const override { return int(height_); }
    void UpdatePixels(const void* texels) override;
    void ReservedOperation1() override {}
    size_t GetSystemMemoryUsage() const override;
    size_t GetVideoMemoryUsage() const override { return videoBytes_; }
    void* Lock(uint32_t& pitch) override;
    void Unlock() override;

    // The GL texture with every change uploaded (render thread only).
    GLuint GetName() {
        if (pending_.load(std::memory_order_acquire)) {
            Upload();
        }
        return name_;
    }
    Kind GetKind() const { return kind_; }
    const GLTextureFormat& GetFormat() const { return format_; }
    bool IsDepth() const { return format_.depth; }
    uint32_t GetLevelCount() const { return levelCount_; }
    // True when the texture can be a framebuffer's colour attachment.
    bool IsColorRenderable() const;
    void Upload() override;

private:
    // Queues the upload, or runs it on the render thread.
    void RequestUpload();
    // Uploads one level (the texture is bound).
    void UploadLevel(GLint index, const Level& level, bool create);

    GLDevice& device_;
    const Kind kind_;
    const GLTextureFormat format_;
    const uint32_t width_;
    const uint32_t height_;
    const size_t videoBytes_;
    GLuint name_ = 0;

    mutable std::mutex mutex_;          // guards levels_ and locked_
    std::vector<Level> levels_;
    uint32_t levelCount_ = 0;
    bool locked_ = false;
    std::atomic<bool> pending_{false};  // texels wait for upload (or the texture for creation)
};

}  // namespace GAME
