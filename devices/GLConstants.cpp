#include "devices/GLConstants.h"

#include "devices/GLShaderText.h"
#include "devices/GLStateCache.h"

#include <algorithm>
#include <cstring>

namespace GAME {

namespace {

constexpr uint32_t kRingBytes = 4u << 20;

}  // namespace

GLConstants::GLConstants() : ring_(kRingBytes) {
    const uint32_t sizes[BlockCount] = {GLShaderText::VertexRegisters, GLShaderText::PixelRegisters,
                                        GLShaderText::DeviceRegisters};
    const uint32_t bindings[BlockCount] = {GLShaderText::VertexConstantsBinding, GLShaderText::PixelConstantsBinding,
                                           GLShaderText::DeviceConstantsBinding};
    for (uint32_t i = 0; i < BlockCount; ++i) {
        blocks_[i].registers.assign(size_t(sizes[i]) * 4, 0.0f);
        blocks_[i].binding = bindings[i];
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
    std::memcpy(&target.registers[size_t(first) * 4], data, size_t(count) * 16);
    target.highWater = std::max(target.highWater, first + count);
    target.dirty = true;
    return true;
}

void GLConstants::Invalidate() {
    for (RegisterBlock& block : blocks_) {
        block.dirty = true;
    }
}

void GLConstants::Upload(GLStateCache& state) {
    if (alignment_ == 0) {
        GLint alignment = 256;
        glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &alignment);
        alignment_ = uint32_t(alignment);
    }
    uint32_t worstCase = 0;
    for (const RegisterBlock& block : blocks_) {
        worstCase += uint32_t(block.registers.size() * 4) + alignment_;
    }
    // Orphaning would drop the ranges of unchanged blocks too, so it is done up front, with every
    // block written again.
    if (ring_.GetName() == 0 || ring_.GetFree() < worstCase) {
        ring_.Orphan();
        Invalidate();
    }
    for (RegisterBlock& block : blocks_) {
        if (!block.dirty) {
            continue;
        }
        // The bound range spans the whole block; only the registers ever set are copied.
        const uint32_t blockBytes = uint32_t(block.registers.size() * 4);
        const uint32_t offset = ring_.Allocate(blockBytes, alignment_);
        if (block.highWater > 0) {
            ring_.Write(offset, block.registers.data(), block.highWater * 16);
        }
        state.SetUniformRange(block.binding, ring_.GetName(), offset, blockBytes);
        block.dirty = false;
    }
}

}  // namespace GAME
