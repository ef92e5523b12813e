#pragma once
// GrassGeometryPool: the grass buffers a terrain shares among its blocks. Every pair of grass
// buffers draws through one 16-bit index buffer of TerrainBase::maxNumGrassPlanes quads (made with
// the ground mesh, kept until it goes); pairs given back are kept for reuse, oldest first, up to
// kMaxFree, and the rest are released. Both terrain kinds keep one.
//
// Without a render device (a headless engine) no buffers are made: pairs come back empty.

#include <deque>

#include "terrain/TerrainBase.h"

namespace GAME {

class RenderIndexBuffer;

class GrassGeometryPool {
public:
    // Pairs kept for reuse at most.
    static constexpr size_t kMaxFree = 16;
    // Indices of the shared quad pattern: six a blade.
    static constexpr uint32_t kNumIndices = TerrainBase::maxNumGrassPlanes * 6;

    GrassGeometryPool() = default;
    ~GrassGeometryPool() { Clear(); }
    GrassGeometryPool(const GrassGeometryPool&) = delete;
    GrassGeometryPool& operator=(const GrassGeometryPool&) = delete;

    // The shared index buffer: quad q is the two triangles 4q, 4q + 3, 4q + 2 and 4q + 2, 4q + 1, 4q.
    void CreateIndexBuffer();
    const RenderIndexBuffer* GetIndexBuffer() const { return indexBuffer_; }

    // The oldest pair kept, or a new one.
    TerrainBase::GrassGeometry Create();
    // Keeps the pair for reuse, or releases it when kMaxFree are kept; nothing for an empty pair.
    void Destroy(TerrainBase::GrassGeometry& geometry);
    size_t GetNumFree() const { return free_.size(); }

    // Releases the index buffer and every pair kept.
    void Clear();

private:
    RenderIndexBuffer* indexBuffer_ = nullptr;
    std::deque<TerrainBase::GrassGeometry> free_;
};

}  // namespace GAME
