#pragma once
// GLConstants: the device-global constant registers (vertex, pixel and the device's own block) and
// their upload.
//
// Registers are global state, as in Direct3D, so they live in uniform blocks that every program
// shares rather than in per-program uniforms, which would need uploading again at every program
// switch. Each block is one buffer object, bound once; a draw after a change uploads the range of
// registers changed since the last draw. Drivers keep what queued draws read (the software
// rasteriser copies fragment constants into its scene at each draw), whereas binding a fresh
// range per draw makes it revalidate every stage's blocks, several times slower.

#include "devices/GLHeaders.h"

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
    ~GLConstants();
    GLConstants(const GLConstants&) = delete;
    GLConstants& operator=(const GLConstants&) = delete;

    // Copies count registers (four floats each) from data into the block from register first;
    // false, with nothing copied, when they do not all lie in the block.
    bool Set(Block block, uint32_t first, const float* data, uint32_t count);
    const float* Get(Block block, uint32_t reg) const { return &blocks_[block].registers[size_t(reg) * 4]; }

    // Uploads the registers changed since the last call and binds the blocks (render thread).
    void Upload(GLStateCache& state);

private:
    struct RegisterBlock {
        std::vector<float> registers;  // four floats a register
        uint32_t binding = 0;          // uniform block binding point
        GLuint buffer = 0;             // made at the first upload
        uint32_t dirtyBegin = 0;       // registers [dirtyBegin, dirtyEnd) wait for upload
        uint32_t dirtyEnd = 0;
    };

    RegisterBlock blocks_[BlockCount];
};

}  // namespace GAME
