#pragma once
// GLRingBuffer: a GL buffer handed out front to back in fresh ranges, for data written once per
// draw (the canvas's dynamic buffers, the 2-D draws). When the rest is too small
// the storage is orphaned, so draws already made keep the data they read, and allocation starts
// again at 0. Writes never wait for the GPU: a range is written only once until the next wrap.
// Render thread only.

#include "devices/GLHeaders.h"

#include <cstdint>

namespace GAME {

class GLRingBuffer {
public:
    explicit GLRingBuffer(uint32_t capacity) : capacity_(capacity) {}
    ~GLRingBuffer();
    GLRingBuffer(const GLRingBuffer&) = delete;
    GLRingBuffer& operator=(const GLRingBuffer&) = delete;

    // The offset of size free bytes, a multiple of alignment (a power of two). wrapped, when
    // given, tells whether the storage was orphaned to make room. The caller checks that size
    // fits in the capacity.
    uint32_t Allocate(uint32_t size, uint32_t alignment, bool* wrapped = nullptr);
    // Copies size bytes into an allocated range.
    void Write(uint32_t offset, const void* data, uint32_t size);

    GLuint GetName() const { return name_; }
    uint32_t GetCapacity() const { return capacity_; }

private:
    // Fresh storage; allocation starts again at 0.
    void Orphan();

    const uint32_t capacity_;
    GLuint name_ = 0;
    uint32_t head_ = 0;  // first free byte
};

}  // namespace GAME
