#pragma once
// GLConstants: the device-global constant registers (vertex, pixel and the device's own block) and
// their upload.
//
// Registers are global state, as in Direct3D, so they live in uniform blocks that every program
// shares rather than in per-program uniforms. A draw after a change copies the changed block, up
// to its highest register ever set, into a fresh range of a ring buffer and binds that range:
// draws already made keep reading their own range, and no write waits for the GPU.

#include "devices/GLRingBuffer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace GAME {

class GLStateCache;

class GLConstants {
public:
    enum Block : uint32_t {
        Vertex = 0,
        Pixel = 1,
        Device = 2,
        BlockCount = 3,
    };

    GLConstants();

    // Copies count registers (four floats each) from data into the block from register first;
    // false, with nothing copied, when they do not all lie in the block.
    bool Set(Block block, uint32_t first, const float* data, uint32_t count);
    const float* Get(Block block, uint32_t reg) const { return &blocks_[block].registers[size_t(reg) * 4]; }

    // Uploads and binds the blocks changed since the last call (render thread).
    void Upload(GLStateCache& state);
    // Every block is uploaded again at the next Upload (a new context).
    void Invalidate();

private:
    struct RegisterBlock {
        std::vector<float> registers;  // four floats a register
        uint32_t binding = 0;          // uniform block binding point
        uint32_t highWater = 0;        // registers below it have been set
        bool dirty = true;
    };

    RegisterBlock blocks_[BlockCount];
    GLRingBuffer ring_;
    uint32_t alignment_ = 0;  // GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, read at the first upload
};

}  // namespace GAME
