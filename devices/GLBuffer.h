#pragma once
// GLBuffer: a GL buffer object of fixed size with a CPU copy, the storage of static vertex and
// index buffers.
//
// Lock hands out the CPU copy, so it may be called on any thread and returns the current contents
// (callers rewrite parts of buffers in place). Unlock marks the locked range for upload: at once
// on the render thread, else at the render thread's next drain or first use, whichever comes first.
// A new buffer is zero-filled; its GL object is made with the first upload.
// The copy stays for later locks, as Direct3D's managed buffers keep theirs.

#include "devices/GLHeaders.h"
#include "devices/GLObject.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace GAME {

class GLDevice;

class GLBuffer : public GLObject {
public:
    // size bytes, zero-filled, counted against the video-memory budget by the device; usage is the
    // GL usage hint.
    GLBuffer(GLDevice& device, uint32_t size, GLenum usage);
    ~GLBuffer() override;

    // Writable bytes [offset, offset + size) (size 0: to the end); null when the range does not
    // lie inside the buffer or a lock is already open.
    void* Lock(uint32_t offset, uint32_t size);
    void Unlock();

    // The buffer object with every unlocked change uploaded (render thread only).
    GLuint GetName() {
        if (pending_.load(std::memory_order_acquire)) {
            Upload();
        }
        return name_;
    }
    uint32_t GetSize() const { return static_cast<uint32_t>(data_.size()); }
    void Upload() override;

private:
    GLDevice& device_;
    const GLenum usage_;
    std::vector<uint8_t> data_;
    GLuint name_ = 0;

    std::mutex mutex_;                  // guards the fields below and data_ while unlocked
    bool locked_ = false;
    uint32_t lockBegin_ = 0;
    uint32_t lockEnd_ = 0;
    uint32_t dirtyBegin_ = 0;           // the range the GL object lacks
    uint32_t dirtyEnd_ = 0;
    std::atomic<bool> pending_{false};  // a range waits for upload (or the object for creation)
};

}  // namespace GAME
