#include "devices/GLDynamicIndexBuffer.h"

#include "core/Log.h"
#include "devices/GLDevice.h"

namespace GAME {

GLDynamicIndexBuffer::~GLDynamicIndexBuffer() {
    device_.ForgetBuffer(nullptr, ring_.GetName());
}

uint32_t* GLDynamicIndexBuffer::Lock(uint32_t count) {
    if (count == 0 || count > ring_.GetCapacity() / 4 || locked_ || !device_.IsRenderThread()) {
        Log(LogPriority::Error, "Dynamic index buffer lock of %u indices refused (capacity %u).", count,
            ring_.GetCapacity() / 4);
        return nullptr;
    }
    lockOffset_ = ring_.Allocate(count * 4, 4);
    lockCount_ = count;
    locked_ = true;
    if (staging_.size() < count) {
        staging_.resize(count);
    }
    return staging_.data();
}

void GLDynamicIndexBuffer::Unlock() {
    if (locked_) {
        ring_.Write(lockOffset_, staging_.data(), lockCount_ * 4);
        locked_ = false;
    }
}

void GLDynamicIndexBuffer::SetIndices() {
    device_.SetIndexSource(nullptr, ring_.GetName(), GL_UNSIGNED_INT, lockOffset_ / 4);
}

}  // namespace GAME
