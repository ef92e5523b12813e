#include "terrain/WaterBlock.h"

#include <algorithm>
#include <cstring>

#include "core/Log.h"
#include "core/Thread.h"
#include "render/RenderDevice.h"

namespace GAME {

WaterBlock::WaterBlock(float x0, float z0, float x1, float z1, float height)
    : WaterElement(ElementType::LayerBlock) {
    box_ = ABBox(Vec3((x0 + x1) * 0.5f, height, (z0 + z1) * 0.5f), Vec3((x1 - x0) * 0.5f, 1.0f, (z1 - z0) * 0.5f));
}

Vec3 WaterBlock::GetSamplePosition(unsigned i, unsigned j) const {
    const Vec3 low = box_.centre - box_.halfSize;
    const Vec3 high = box_.centre + box_.halfSize;
    return Vec3(std::min(low.x + float(i), high.x), box_.centre.y, std::min(low.z + float(j), high.z));
}

void WaterBlock::BuildGeometry(RenderDevice* device, const LevelGround* ground) {
    ComputeDepths(ground);
    if (!device) return;
    if (!CreateVertexBuffer(*device, kBufferSize)) {
        Log(LogPriority::Error, "Failed to create vertex buffer for water block.");
        return;
    }
    WriteVertices(false);
    // Blocks are built on the level-loading thread while a level loads, which keeps the main
    // thread's room between them.
    Thread::YieldAfterSlice();
}

bool WaterBlock::UpdateGeometry(const LevelGround* ground) {
    ComputeDepths(ground);
    WriteVertices(true);
    return HasVisibleWater();
}

void WaterBlock::Render(RenderDevice& device, int) const {
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleStrip, 0, kNumSamples, kNumPrimitives, 0, 0);
}

void WaterBlock::ComputeDepths(const LevelGround* ground) {
    for (unsigned j = 0; j < kSamples; ++j) {
        for (unsigned i = 0; i < kSamples; ++i) depths_[j * kSamples + i] = PackWaterDepth(GetSamplePosition(i, j), ground);
    }
}

bool WaterBlock::HasVisibleWater() const {
    for (unsigned k = 0; k < kNumSamples; ++k) {
        if (coverage_[k] != 0 && depths_[k] != 0) return true;
    }
    return false;
}

void WaterBlock::WriteVertices(bool coloursOnly) {
    RenderVertexBuffer* buffer = GetVertexBuffer();
    if (!buffer) return;
    auto* out = static_cast<unsigned char*>(buffer->Lock());
    if (!out) return;
    for (unsigned j = 0; j < kSamples; ++j) {
        for (unsigned i = 0; i < kSamples; ++i) {
            const unsigned k = j * kSamples + i;
            unsigned char* vertex = out + k * kVertexSize;
            if (!coloursOnly) {
                const Vec3 p = GetSamplePosition(i, j);
                const float fields[7] = {p.x, p.y, p.z, p.x, p.z, 1.0f, 0.0f};
                std::memcpy(vertex, fields, sizeof fields);
            }
            const uint32_t colour = (uint32_t(coverage_[k]) << 24) | depths_[k];
            std::memcpy(vertex + 28, &colour, sizeof colour);
        }
    }
    buffer->Unlock();
}

}  // namespace GAME
