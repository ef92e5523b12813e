#pragma once
// GLDynamicVertexBuffer: the canvas's per-frame vertex buffer (CreateDynamicVertexBuffer): every
// Lock takes a fresh range of a ring buffer and SetStreamSource binds that range, so indices count
// from its first vertex. Main thread only, like the draws that use it.

#include "devices/GLObject.h"
#include "devices/GLRingBuffer.h"
#include "render/RenderDevice.h"

namespace GAME {

class GLDevice;

class GLDynamicVertexBuffer : public RenderDynamicVertexBuffer, public GLObject {
public:
    // size bytes, counted against the video-memory budget by the device.
    GLDynamicVertexBuffer(GLDevice& device, uint32_t size) : device_(device), ring_(size) {}
    ~GLDynamicVertexBuffer() override;

    void ReservedOperation1() override {}
    void* Lock(uint32_t size) override;
    void Unlock() override { ring_.Unlock(); }
    void SetStreamSource(uint32_t stream, uint32_t stride) override;
    void ReservedOperation2() override {}
    void ReservedOperation3() override {}
    void Upload() override {}

private:
    GLDevice& device_;
    GLRingBuffer ring_;
};

}  // namespace GAME
