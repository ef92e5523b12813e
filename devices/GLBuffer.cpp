#include "devices/GLBuffer.h"

#include "core/Log.h"
#include "devices/GLDevice.h"

#include <algorithm>

namespace GAME {

GLBuffer::GLBuffer(GLDevice& device, uint32_t size, GLenum usage)
    : device_(device), usage_(usage), data_(size, 0), dirtyEnd_(size) {
    // Not queued here: the render thread would call Upload on an object whose derived part is
    // still being built. The GL object is made by the first upload (the first Unlock's) or at
    // the first use, whichever comes first.
    pending_ = true;
}

GLBuffer::~GLBuffer() {
    device_.GetResourceQueue().CancelUpload(this);
    if (name_ != 0) {
        device_.ForgetBuffer(this, name_);
        glDeleteBuffers(1, &name_);
    }
    device_.GetVideoMemory().Release(data_.size());
}

void* GLBuffer::Lock(uint32_t offset, uint32_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t total = GetSize();
    if (size == 0 && offset < total) {
        size = total - offset;
    }
    if (locked_ || size == 0 || offset > total || size > total - offset) {
        Log(LogPriority::Error, "Buffer lock of %u bytes at %u refused (buffer of %u bytes%s).", size, offset, total,
            locked_ ? ", already locked" : "");
        return nullptr;
    }
    locked_ = true;
    lockBegin_ = offset;
    lockEnd_ = offset + size;
    return data_.data() + offset;
}

void GLBuffer::Unlock() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!locked_) {
            return;
        }
        locked_ = false;
        if (dirtyBegin_ == dirtyEnd_) {
            dirtyBegin_ = lockBegin_;
            dirtyEnd_ = lockEnd_;
        } else {
            dirtyBegin_ = std::min(dirtyBegin_, lockBegin_);
            dirtyEnd_ = std::max(dirtyEnd_, lockEnd_);
        }
        pending_.store(true, std::memory_order_release);
    }
    if (device_.IsRenderThread()) {
        Upload();
    } else {
        device_.GetResourceQueue().QueueUpload(this);
    }
}

void GLBuffer::Upload() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (locked_) {
        return;  // Unlock queues it again
    }
    // Uploads go through the copy target, so no vertex array's index binding changes.
    if (name_ == 0) {
        glGenBuffers(1, &name_);
        glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
        glBufferData(GL_COPY_WRITE_BUFFER, data_.size(), data_.data(), usage_);
    } else if (dirtyEnd_ > dirtyBegin_) {
        glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
        glBufferSubData(GL_COPY_WRITE_BUFFER, dirtyBegin_, dirtyEnd_ - dirtyBegin_, data_.data() + dirtyBegin_);
    }
    dirtyBegin_ = dirtyEnd_ = 0;
    pending_.store(false, std::memory_order_release);
}

}  // namespace GAME
