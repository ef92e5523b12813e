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

void* GLRingBuffer::Lock(uint32_t size, uint32_t alignment) {
    if (size == 0 || size > capacity_ || locked_) {
        return nullptr;
    }
    if (name_ == 0) {
        Orphan();
    }
    uint32_t offset = (head_ + alignment - 1) & ~(alignment - 1);
    if (offset > capacity_ || size > capacity_ - offset) {
        Orphan();
        offset = 0;
    }
    head_ = offset + size;
    lockOffset_ = offset;
    lockSize_ = size;
    locked_ = true;
    if (staging_.size() < size) {
        staging_.resize(size);
    }
    return staging_.data();
}

std::string GLRingBuffer::GetRefusalReason(uint32_t unitSize) const {
    return locked_ ? "already locked" : "capacity " + std::to_string(capacity_ / unitSize);
}

void GLRingBuffer::Unlock() {
    if (!locked_) {
        return;
    }
    locked_ = false;
    glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
    // The range is fresh, so the driver need not synchronise with draws reading other ranges.
    void* target = glMapBufferRange(GL_COPY_WRITE_BUFFER, lockOffset_, lockSize_,
                                    GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (target != nullptr) {
        std::memcpy(target, staging_.data(), lockSize_);
        glUnmapBuffer(GL_COPY_WRITE_BUFFER);
    }
}

}  // namespace GAME
