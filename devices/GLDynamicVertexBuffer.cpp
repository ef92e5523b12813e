#include "devices/GLDynamicVertexBuffer.h"

#include "core/Log.h"
#include "devices/GLDevice.h"

namespace GAME {

GLDynamicVertexBuffer::~GLDynamicVertexBuffer() {
    device_.ForgetBuffer(nullptr, ring_.GetName());
    device_.GetVideoMemory().Release(ring_.GetCapacity());
}

void* GLDynamicVertexBuffer::Lock(uint32_t size) {
    // 16-byte alignment keeps every attribute of the range aligned whatever the stride.
    void* bytes = device_.IsRenderThread() ? ring_.Lock(size, 16) : nullptr;
    if (bytes == nullptr) {
        const std::string why = device_.IsRenderThread() ? ring_.GetRefusalReason(1) : "off the render thread";
        Log(LogPriority::Error, "Dynamic vertex buffer lock of %u bytes refused (%s).", size, why.c_str());
    }
    return bytes;
}

void GLDynamicVertexBuffer::SetStreamSource(uint32_t stream, uint32_t stride) {
    device_.SetStream(stream, nullptr, ring_.GetName(), ring_.GetLockOffset(), stride);
}

}  // namespace GAME
