#include "terrain/GrassGeometryPool.h"

#include "render/RenderDevice.h"

namespace GAME {

namespace {

// Vertex buffers the grass rewrites (the tips move every frame the grass does).
constexpr uint32_t kDynamicBuffer = 1;

void Release(RenderDevice* device, TerrainBase::GrassGeometry& geometry) {
    if (!device) return;
    device->DestroyVertexBuffer(geometry.vertices);
    device->DestroyVertexBuffer(geometry.displacements);
}

}  // namespace

void GrassGeometryPool::CreateIndexBuffer() {
    RenderDevice* device = TerrainBase::GetRenderDevice();
    if (!device || indexBuffer_) return;
    indexBuffer_ = device->CreateIndexBuffer(kNumIndices, RenderIndexFormat::Index16);
    if (!indexBuffer_) return;
    auto* indices = static_cast<uint16_t*>(indexBuffer_->Lock());
    if (!indices) return;
    for (uint32_t q = 0; q < TerrainBase::maxNumGrassPlanes; ++q) {
        const uint16_t first = uint16_t(4 * q);
        const uint16_t quad[6] = {
            first, uint16_t(first + 3), uint16_t(first + 2), uint16_t(first + 2), uint16_t(first + 1), first};
        for (int i = 0; i < 6; ++i) indices[6 * q + uint32_t(i)] = quad[i];
    }
    indexBuffer_->Unlock();
}

TerrainBase::GrassGeometry GrassGeometryPool::Create() {
    if (!free_.empty()) {
        const TerrainBase::GrassGeometry geometry = free_.front();
        free_.pop_front();
        return geometry;
    }
    TerrainBase::GrassGeometry geometry;
    RenderDevice* device = TerrainBase::GetRenderDevice();
    if (!device) return geometry;
    const uint32_t vertices = TerrainBase::maxNumGrassPlanes * 4;
    geometry.vertices = device->CreateVertexBuffer(kDynamicBuffer, vertices * TerrainBase::kGrassVertexSize);
    geometry.displacements = device->CreateVertexBuffer(kDynamicBuffer, vertices * TerrainBase::kGrassDisplacementSize);
    if (!geometry.vertices || !geometry.displacements) Release(device, geometry);
    return geometry;
}

void GrassGeometryPool::Destroy(TerrainBase::GrassGeometry& geometry) {
    if (!geometry.vertices) return;
    if (free_.size() >= kMaxFree) {
        Release(TerrainBase::GetRenderDevice(), geometry);
    } else {
        free_.push_back(geometry);
    }
    geometry = TerrainBase::GrassGeometry();
}

void GrassGeometryPool::Clear() {
    RenderDevice* device = TerrainBase::GetRenderDevice();
    for (TerrainBase::GrassGeometry& geometry : free_) Release(device, geometry);
    free_.clear();
    if (device) device->DestroyIndexBuffer(indexBuffer_);
    indexBuffer_ = nullptr;
}

}  // namespace GAME
