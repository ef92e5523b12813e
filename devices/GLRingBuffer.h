#pragma once
// GLRingBuffer: a GL buffer handed out front to back in fresh ranges, for data written once per
// draw (the canvas's dynamic buffers, the 2-D draws). Lock gives room on the CPU for the next
// range and Unlock copies it in. When the rest of the buffer is too small the storage is orphaned,
// so draws already made keep the data they read, and allocation starts again at 0. Writes never
// wait for the GPU: a range is written only once until the next wrap. Render thread only.

#include "devices/GLHeaders.h"

#include <cstdint>
#include <string>
#include <vector>

namespace GAME {

class GLRingBuffer {
public:
    explicit GLRingBuffer(uint32_t capacity) : capacity_(capacity) {}
    ~GLRingBuffer();
    GLRingBuffer(const GLRingBuffer&) = delete;
    GLRingBuffer& operator=(const GLRingBuffer&) = delete;

    // size writable bytes for the next range, which starts at a multiple of alignment (a power of
    // two); null when size is 0, exceeds the capacity or a lock is open.
    void* Lock(uint32_t size, uint32_t alignment);
    // Copies the locked bytes into the buffer.
    void Unlock();
    // Why Lock refused a size for the owner's log: "already locked" while a lock is open, else the
    // capacity counted in units of unitSize bytes ("capacity N"), which the size was 0 or beyond.
    std::string GetRefusalReason(uint32_t unitSize) const;

    GLuint GetName() const { return name_; }
    uint32_t GetCapacity() const { return capacity_; }
    // The byte offset of the last locked range.
    uint32_t GetLockOffset() const { return lockOffset_; }

private:
    // Fresh storage; allocation starts again at 0.
    void Orphan();

    const uint32_t capacity_;
    GLuint name_ = 0;
    uint32_t head_ = 0;             // first free byte
    std::vector<uint8_t> staging_;  // the locked bytes until Unlock
    uint32_t lockOffset_ = 0;
    uint32_t lockSize_ = 0;
    bool locked_ = false;
};

}  // namespace GAME
