#include "devices/GLDynamicIndexBuffer.h"

#include "core/Log.h"
#include "devices/GLDevice.h"

namespace GAME {

GLDynamicIndexBuffer::~GLDynamicIndexBuffer() {
    device_.ForgetBuffer(nullptr, ring_.GetName());
    device_.GetVideoMemory().Release(ring_.GetCapacity());
}

uint32_t* GLDynamicIndexBuffer::Lock(uint32_t count) {
    const bool fits = count <= ring_.GetCapacity() / 4;
    void* indices = fits && device_.IsRenderThread() ? ring_.Lock(count * 4, 4) : nullptr;
    if (indices == nullptr) {
        const std::string why = device_.IsRenderThread() ? ring_.GetRefusalReason(4) : "off the render thread";
        Log(LogPriority::Error, "Dynamic index buffer lock of %u indices refused (%s).", count, why.c_str());
    }
    return static_cast<uint32_t*>(indices);
}

void GLDynamicIndexBuffer::SetIndices() {
    device_.SetIndexSource(nullptr, ring_.GetName(), GL_UNSIGNED_INT, ring_.GetLockOffset() / 4);
}

}  // namespace GAME
