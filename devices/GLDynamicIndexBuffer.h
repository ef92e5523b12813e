#pragma once
// GLDynamicIndexBuffer: the canvas's per-frame buffer of 32-bit indices
// (CreateDynamicIndexBuffer). Every Lock takes a fresh range of a ring buffer; SetIndices makes
// that range the index source, and the device adds the range's first index to the start index of
// each following draw, so GetDrawOffset is 0. Main thread only.

#include "devices/GLObject.h"
#include "devices/GLRingBuffer.h"
#include "render/RenderDevice.h"

namespace GAME {

class GLDevice;

class GLDynamicIndexBuffer : public RenderDynamicIndexBuffer, public GLObject {
public:
    // size bytes (a multiple of 4 is used), counted against the video-memory budget by the device.
    GLDynamicIndexBuffer(GLDevice& device, uint32_t size) : device_(device), ring_(size & ~3u) {}
    ~GLDynamicIndexBuffer() override;

    void ReservedOperation1() override {}
    uint32_t* Lock(uint32_t count) override;
    void Unlock() override { ring_.Unlock(); }
    void SetIndices() override;
    int32_t GetDrawOffset() const override { return 0; }
    RenderIndexedDraw PrepareDraw(uint32_t vertexCount, uint32_t primitiveCount, uint32_t startIndex,
                                  uint32_t flags) const override {
        return RenderIndexedDraw{GetDrawOffset(), vertexCount, primitiveCount, startIndex, flags};
    }
    void ReservedOperation3() override {}
    void Upload() override {}

private:
    GLDevice& device_;
    GLRingBuffer ring_;
};

}  // namespace GAME
