#pragma once
// GLVertexBuffer: a vertex buffer of fixed size (CreateVertexBuffer) over a GLBuffer.

#include "devices/GLBuffer.h"
#include "render/RenderDevice.h"

namespace GAME {

class GLVertexBuffer : public RenderVertexBuffer, public GLBuffer {
public:
    // flags: RenderDevice::kBufferDynamic hints frequent rewrites.
    GLVertexBuffer(GLDevice& device, uint32_t flags, uint32_t size)
        : GLBuffer(device, size, (flags & RenderDevice::kBufferDynamic) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW) {}

    void ReservedOperation1() override {}
    void* Lock(uint32_t offset, uint32_t size, uint32_t /*flags*/) override { return GLBuffer::Lock(offset, size); }
    void Unlock() override { GLBuffer::Unlock(); }
    void ReservedOperation2() override {}
};

}  // namespace GAME
