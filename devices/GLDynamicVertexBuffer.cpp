#include "devices/GLDynamicVertexBuffer.h"

#include "core/Log.h"
#include "devices/GLDevice.h"

namespace GAME {

GLDynamicVertexBuffer::~GLDynamicVertexBuffer() {
    device_.ForgetBuffer(nullptr, ring_.GetName());
}

void* GLDynamicVertexBuffer::Lock(uint32_t size) {
    if (size == 0 || size > ring_.GetCapacity() || locked_ || !device_.IsRenderThread()) {
        Log(LogPriority::Error, "Dynamic vertex buffer lock of %u bytes refused (capacity %u).", size,
            ring_.GetCapacity());
        return nullptr;
    }
    // 16-byte alignment keeps every attribute of the range aligned whatever the stride.
    lockOffset_ = ring_.Allocate(size, 16);
    lockSize_ = size;
    locked_ = true;
    if (staging_.size() < size) {
        staging_.resize(size);
    }
    return staging_.data();
}

void GLDynamicVertexBuffer::Unlock() {
    if (locked_) {
        ring_.Write(lockOffset_, staging_.data(), lockSize_);
        locked_ = false;
    }
}

void GLDynamicVertexBuffer::SetStreamSource(uint32_t stream, uint32_t stride) {
    device_.SetStream(stream, nullptr, ring_.GetName(), lockOffset_, stride);
}

}  // namespace GAME
