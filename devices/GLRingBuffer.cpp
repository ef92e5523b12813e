#include "devices/GLRingBuffer.h"

#include <cstring>

namespace GAME {

GLRingBuffer::~GLRingBuffer() {
    if (name_ != 0) {
        glDeleteBuffers(1, &name_);
    }
}

void GLRingBuffer::Orphan() {
    if (name_ == 0) {
        glGenBuffers(1, &name_);
    }
    glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
    glBufferData(GL_COPY_WRITE_BUFFER, capacity_, nullptr, GL_STREAM_DRAW);
    head_ = 0;
}

uint32_t GLRingBuffer::Allocate(uint32_t size, uint32_t alignment, bool* wrapped) {
    bool orphaned = false;
    if (name_ == 0) {
        Orphan();
    }
    uint32_t offset = (head_ + alignment - 1) & ~(alignment - 1);
    if (offset > capacity_ || size > capacity_ - offset) {
        Orphan();
        offset = 0;
        orphaned = true;
    }
    head_ = offset + size;
    if (wrapped != nullptr) {
        *wrapped = orphaned;
    }
    return offset;
}

void GLRingBuffer::Write(uint32_t offset, const void* data, uint32_t size) {
    glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
    // The range is fresh, so the driver need not synchronise with draws reading other ranges.
    void* target = glMapBufferRange(GL_COPY_WRITE_BUFFER, offset, size,
                                    GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (target != nullptr) {
        std::memcpy(target, data, size);
        glUnmapBuffer(GL_COPY_WRITE_BUFFER);
    }
}

}  // namespace GAME
