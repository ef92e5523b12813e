#pragma once
// GLIndexBuffer: an index buffer of fixed size (CreateIndexBuffer) over a GLBuffer.

#include "devices/GLBuffer.h"
#include "render/RenderDevice.h"

namespace GAME {

class GLIndexBuffer : public RenderIndexBuffer, public GLBuffer {
public:
    GLIndexBuffer(GLDevice& device, uint32_t count, RenderIndexFormat format)
        : GLBuffer(device, count * GetIndexSize(format), GL_STATIC_DRAW), format_(format) {}

    void* Lock() override { return GLBuffer::Lock(0, 0); }
    void Unlock() override { GLBuffer::Unlock(); }
    void ReservedOperation1() override {}

    RenderIndexFormat GetFormat() const { return format_; }
    GLenum GetIndexType() const { return format_ == RenderIndexFormat::Index32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT; }
    static uint32_t GetIndexSize(RenderIndexFormat format) { return format == RenderIndexFormat::Index32 ? 4 : 2; }

private:
    const RenderIndexFormat format_;
};

}  // namespace GAME
