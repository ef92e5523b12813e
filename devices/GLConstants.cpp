#include "devices/GLConstants.h"

#include "devices/GLShaderText.h"
#include "devices/GLStateCache.h"

#include <algorithm>
#include <cstring>

namespace GAME {

GLConstants::GLConstants() {
    const uint32_t sizes[BlockCount] = {GLShaderText::kVertexRegisters, GLShaderText::kPixelRegisters,
                                        GLShaderText::kDeviceRegisters};
    const uint32_t bindings[BlockCount] = {GLShaderText::kVertexConstantsBinding, GLShaderText::kPixelConstantsBinding,
                                           GLShaderText::kDeviceConstantsBinding};
    for (uint32_t i = 0; i < BlockCount; ++i) {
        blocks_[i].registers.assign(size_t(sizes[i]) * 4, 0.0f);
        blocks_[i].binding = bindings[i];
    }
}

GLConstants::~GLConstants() {
    for (RegisterBlock& block : blocks_) {
        if (block.buffer != 0) {
            glDeleteBuffers(1, &block.buffer);
        }
    }
}

bool GLConstants::Set(Block block, uint32_t first, const float* data, uint32_t count) {
    RegisterBlock& target = blocks_[block];
    const uint32_t size = uint32_t(target.registers.size() / 4);
    if (data == nullptr || first > size || count > size - first) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    // Callers set whole parameters at every draw, most of them unchanged (a colour, a fade): only
    // a change widens the range the next draw uploads.
    float* const registers = &target.registers[size_t(first) * 4];
    if (std::memcmp(registers, data, size_t(count) * 16) == 0) {
        return true;
    }
    std::memcpy(registers, data, size_t(count) * 16);
    if (target.dirtyBegin == target.dirtyEnd) {
        target.dirtyBegin = first;
        target.dirtyEnd = first + count;
    } else {
        target.dirtyBegin = std::min(target.dirtyBegin, first);
        target.dirtyEnd = std::max(target.dirtyEnd, first + count);
    }
    return true;
}

void GLConstants::Upload(GLStateCache& state) {
    for (RegisterBlock& block : blocks_) {
        const uint32_t bytes = uint32_t(block.registers.size() * sizeof(float));
        if (block.buffer == 0) {
            // The whole block goes up once, with every register set so far.
            glGenBuffers(1, &block.buffer);
            glBindBuffer(GL_COPY_WRITE_BUFFER, block.buffer);
            glBufferData(GL_COPY_WRITE_BUFFER, bytes, block.registers.data(), GL_DYNAMIC_DRAW);
            block.dirtyBegin = block.dirtyEnd = 0;
        } else if (block.dirtyEnd > block.dirtyBegin) {
            glBindBuffer(GL_COPY_WRITE_BUFFER, block.buffer);
            glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(block.dirtyBegin) * 16,
                            GLsizeiptr(block.dirtyEnd - block.dirtyBegin) * 16, &block.registers[size_t(block.dirtyBegin) * 4]);
            block.dirtyBegin = block.dirtyEnd = 0;
        }
        state.SetUniformRange(block.binding, block.buffer, 0, bytes);
    }
}

}  // namespace GAME
