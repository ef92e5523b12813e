#pragma once
// WaterBlock: one block of a water layer, a square of 9 x 9 world units (less in the layer's last
// column and row) with a 10 x 10 coverage grid sampled at every world unit, edges shared with the
// neighbours. A sample is water when its byte is not 0 (painted as 255).
//
// The block keeps the packed depth of each sample on the CPU, so whether it shows water (some
// sample both covered and deeper than 0) does not depend on its vertex buffer: a block that could
// not make one, or a headless tool, keeps its painted water.
//
// Its geometry is a 10 x 10 vertex grid of 32-byte vertices, row by row (z outer, x inner):
//   f32 x 3 position (x0 + i, height, z0 + j), clamped to the block's far edges;
//   f32 x 2 texture coordinate (x, z) in world units; f32 x 2 (1, 0);
//   u32 colour: the coverage byte in bits 24-31, the packed depth (PackWaterDepth) in bits 0-15.
// It is drawn as a strip of 178 triangles with the water's shared block index buffer.

#include <array>
#include <cstdint>

#include "terrain/WaterObject.h"

namespace GAME {

class WaterBlock final : public WaterElement {
public:
    static constexpr uint32_t kSamples = 10;                      // a side
    static constexpr uint32_t kNumSamples = kSamples * kSamples;
    static constexpr uint32_t kVertexSize = 32;
    static constexpr uint32_t kBufferSize = kNumSamples * kVertexSize;
    static constexpr uint32_t kNumPrimitives = 178;
    static constexpr uint8_t kPainted = 255;

    // Covers [x0, x1] x [z0, z1] at the height, all dry.
    WaterBlock(float x0, float z0, float x1, float z1, float height);

    // Index z x 10 + x.
    std::array<uint8_t, kNumSamples>& GetCoverage() { return coverage_; }
    const std::array<uint8_t, kNumSamples>& GetCoverage() const { return coverage_; }
    uint16_t GetPackedDepth(unsigned sample) const { return depths_[sample]; }
    // The position of sample (i, j): (x0 + i, height, z0 + j) clamped to the far edges.
    Vec3 GetSamplePosition(unsigned i, unsigned j) const;

    // Makes and fills the vertex buffer; without one (logged) or without a device the block keeps
    // its CPU data.
    void BuildGeometry(RenderDevice* device, const LevelGround* ground);
    // Gives back the vertex buffer (device reset); the CPU data stay.
    void ReleaseGeometry() { DestroyVertexBuffer(); }
    bool UpdateGeometry(const LevelGround* ground) override;
    void Render(RenderDevice& device, int pass) const override;
    const char* GetStyleName() const override { return "waterBlockStyle"; }
    const char* GetReflectStyleName() const override { return "waterBlockReflectStyle"; }

private:
    void ComputeDepths(const LevelGround* ground);
    bool HasVisibleWater() const;
    // Writes the vertices (all of them, or only the colours) into the locked buffer.
    void WriteVertices(bool coloursOnly);

    std::array<uint8_t, kNumSamples> coverage_{};
    std::array<uint16_t, kNumSamples> depths_{};
};

}  // namespace GAME
