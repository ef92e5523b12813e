#pragma once
// GLVideoMemory: the device's video-memory budget. GL cannot tell how much memory a card has, so
// the device answers with a configured total and counts the bytes of its own textures, buffers and
// surfaces against it. Thread-safe.

#include <atomic>
#include <cstddef>

namespace GAME {

class GLVideoMemory {
public:
    static constexpr size_t kDefaultTotal = size_t(512) << 20;

    // The total: the environment variable GLDEVICE_VIDEO_MEMORY_MB when it holds a positive
    // number, else kDefaultTotal.
    GLVideoMemory();

    size_t GetTotal() const { return total_.load(std::memory_order_relaxed); }
    void SetTotal(size_t bytes) { total_.store(bytes, std::memory_order_relaxed); }
    size_t GetUsed() const { return used_.load(std::memory_order_relaxed); }
    size_t GetAvailable() const;

    // Counts bytes as used; false (nothing counted) when they do not fit in what is left.
    bool Reserve(size_t bytes);
    void Release(size_t bytes);

private:
    std::atomic<size_t> total_;
    std::atomic<size_t> used_{0};
};

}  // namespace GAME
