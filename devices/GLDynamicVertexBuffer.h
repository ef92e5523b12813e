#pragma once
// GLDynamicVertexBuffer: the canvas's per-frame vertex buffer (CreateDynamicVertexBuffer): every
// Lock takes a fresh range of a ring buffer and SetStreamSource binds that range, so indices count
// from its first vertex. Main thread only, like the draws that use it.

#include "devices/GLObject.h"
#include "devices/GLRingBuffer.h"
#include "render/RenderDevice.h"

#include <vector>

namespace GAME {

class GLDevice;

class GLDynamicVertexBuffer : public RenderDynamicVertexBuffer, public GLObject {
public:
    GLDynamicVertexBuffer(GLDevice& device, uint32_t size) : device_(device), ring_(size) {}

    ~GLDynamicVertexBuffer() override;

    void ReservedOperation1() override {}
    void* Lock(uint32_t size) override;
    void Unlock() override;
    void SetStreamSource(uint32_t stream, uint32_t stride) override;
    void ReservedOperation2() override {}
    void ReservedOperation3() override {}
    void Upload() override {}

    uint32_t GetCapacity() const { return ring_.GetCapacity(); }

    // The ring's buffer object and the byte offset of the last lock.
    GLuint GetName() const { return ring_.GetName(); }
    uint32_t GetLockOffset() const { return lockOffset_; }

private:
    GLDevice& device_;
    GLRingBuffer ring_;
    std::vector<uint8_t> staging_;  // the locked bytes until Unlock copies them into the ring
    uint32_t lockOffset_ = 0;
    uint32_t lockSize_ = 0;
    bool locked_ = false;
};

}  // namespace GAME
