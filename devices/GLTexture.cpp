#include "devices/GLTexture.h"

#include "core/Log.h"
#include "devices/DXTDecoder.h"
#include "devices/GLDevice.h"

#include <cstring>

namespace GAME {

GLTexture::GLTexture(GLDevice& device, Kind kind, const GLTextureFormat& format, std::vector<Level> levels,
                     size_t videoBytes)
    : device_(device),
      kind_(kind),
      format_(format),
      width_(levels.front().width),
      height_(levels.front().height),
      videoBytes_(videoBytes),
      levels_(std::move(levels)) {
    levelCount_ = uint32_t(levels_.size());
    RequestUpload();
}

GLTexture::~GLTexture() {
    device_.GetResourceQueue().CancelUpload(this);
    if (name_ != 0) {
        device_.ForgetTexture(this, name_);
        glDeleteTextures(1, &name_);
    }
    device_.GetVideoMemory().Release(videoBytes_);
}

size_t GLTexture::GetSystemMemoryUsage() const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t bytes = 0;
    for (const Level& level : levels_) {
        bytes += level.texels.capacity();
    }
    return bytes;
}

bool GLTexture::IsColorRenderable() const {
    return !format_.depth && !format_.IsCompressed() && !format_.HasSwizzle() && format_.bytesPerTexel >= 2 &&
           format_.internalFormat != GL_RGB5_A1 && format_.internalFormat != GL_RGBA4;
}

void GLTexture::RequestUpload() {
    pending_.store(true, std::memory_order_release);
    if (device_.IsRenderThread()) {
        Upload();
    } else {
        device_.GetResourceQueue().QueueUpload(this);
    }
}

void GLTexture::UpdatePixels(const void* texels) {
    if (texels == nullptr || (kind_ != Kind::Bytes && kind_ != Kind::Pixels)) {
        Log(LogPriority::Error, "UpdatePixels: only textures made from texels can be updated.");
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Level& level = levels_.front();
        const size_t bytes = size_t(width_) * height_ * format_.bytesPerTexel;
        level.texels.assign(static_cast<const uint8_t*>(texels), static_cast<const uint8_t*>(texels) + bytes);
    }
    RequestUpload();
}

void* GLTexture::Lock(uint32_t& pitch) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (kind_ != Kind::Dynamic || locked_) {
        pitch = 0;
        return nullptr;
    }
    locked_ = true;
    pitch = width_ * 4;
    return levels_.front().texels.data();
}

void GLTexture::Unlock() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!locked_) {
            return;
        }
        locked_ = false;
    }
    RequestUpload();
}

void GLTexture::UploadLevel(GLint index, const Level& level, bool create) {
    const GLsizei w = GLsizei(level.width);
    const GLsizei h = GLsizei(level.height);
    const void* texels = level.texels.empty() ? nullptr : level.texels.data();
    if (!create && texels == nullptr) {
        return;
    }
    if (format_.IsCompressed() && device_.HasS3TC()) {
        const GLsizei size = GLsizei(format_.GetLevelSize(level.width, level.height));
        if (create) {
            glCompressedTexImage2D(GL_TEXTURE_2D, index, format_.internalFormat, w, h, 0, size, texels);
        } else {
            glCompressedTexSubImage2D(GL_TEXTURE_2D, index, 0, 0, w, h, format_.internalFormat, size, texels);
        }
        return;
    }
    if (format_.IsCompressed()) {
        std::vector<uint8_t> rgba(size_t(level.width) * level.height * 4);
        DXTDecoder::Decode(format_.compression, level.width, level.height, level.texels.data(), rgba.data());
        if (create) {
            glTexImage2D(GL_TEXTURE_2D, index, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        } else {
            glTexSubImage2D(GL_TEXTURE_2D, index, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        }
        return;
    }
    if (create) {
        glTexImage2D(GL_TEXTURE_2D, index, GLint(format_.internalFormat), w, h, 0, format_.format, format_.type, texels);
    } else if (texels != nullptr) {
        glTexSubImage2D(GL_TEXTURE_2D, index, 0, 0, w, h, format_.format, format_.type, texels);
    }
}

void GLTexture::Upload() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (locked_) {
        return;  // Unlock asks again
    }
    const bool create = name_ == 0;
    if (create) {
        glGenTextures(1, &name_);
    }
    device_.BindTextureForUpload(name_);
    if (create) {
        // Without a chain, sampling with a mip filter would find the texture incomplete.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levelCount_) - 1);
        if (format_.HasSwizzle()) {
            glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, format_.swizzle);
        }
    }
    for (size_t i = 0; i < levels_.size(); ++i) {
        UploadLevel(GLint(i), levels_[i], create);
    }
    if (kind_ != Kind::Dynamic) {
        for (Level& level : levels_) {
            std::vector<uint8_t>().swap(level.texels);
        }
    }
    pending_.store(false, std::memory_order_release);
}

}  // namespace GAME
