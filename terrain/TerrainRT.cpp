#include "terrain/TerrainRT.h"

#include <algorithm>

#include "core/Log.h"
#include "render/RenderDevice.h"
#include "terrain/TerrainRenderInterfaceRT.h"
#include "terrain/TerrainTile.h"
#include "terrain/TerrainType.h"

namespace GAME {

TerrainRT::TerrainRT(Region* region)
    : TerrainBase(TerrainBaseType::RunTime, region), renderInterface_(std::make_unique<TerrainRenderInterfaceRT>(*this)) {}

TerrainRT::~TerrainRT() { Unload(); }

void TerrainRT::Unload() {
    RenderDevice* device = GetRenderDevice();
    for (TerrainLayer& layer : layers_) {
        if (device) device->DestroyTexture(layer.opacityTexture);
        TerrainType::Destroy(layer.terrainType);
    }
    layers_.clear();
    // The interface forgets the blocks, which go now.
    renderInterface_->Update(IntVec3(), {});
    // The blocks give their grass back to the pool before the ground mesh and the pool go.
    TerrainBase::Unload();
    DestroyMapGeometry();
    heights_.clear();
    masks_.clear();
    maskBytes_ = 0;
    SetHeightField(HeightField());
}

bool TerrainRT::LoadRenderData() {
    for (TerrainLayer& layer : layers_) {
        if (layer.terrainType) layer.terrainType->LoadTextures();
        CreateOpacityTexture(layer);
    }
    CreateMapGeometry();
    renderDataLoaded_ = true;
    return true;
}

void TerrainRT::CreateOpacityTexture(TerrainLayer& layer) const {
    RenderDevice* device = GetRenderDevice();
    if (!device || layer.opacityTexture) return;
    if (layer.opacity.empty()) {
        const mem::vector<uint8_t> opaque(64, 0xFF);
        layer.opacityTexture = device->CreateTexture(8, 8, opaque.data(), 0, 0);
        return;
    }
    mem::vector<uint32_t> texels(layer.opacity.size());
    for (size_t i = 0; i < texels.size(); ++i) {
        const int opacity = layer.opacity[i];
        const uint32_t red = uint32_t(std::clamp(4 * (127 - opacity), 0, 255));
        texels[i] = uint32_t(opacity) << 24 | red << 16;
    }
    layer.opacityTexture =
        device->CreateTextureFromPixels(int(GetNumXSamples() - 1), int(GetNumYSamples() - 1), texels.data(), 1, 0);
}

void TerrainRT::CreateMapGeometry() {
    RenderDevice* device = GetRenderDevice();
    if (!device || heights_.empty() || vertexBuffer_) return;
    const RenderVertexElement elements[2] = {
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
        {0, RenderVertexUsage::Normal, RenderVertexElementType::Float3},
    };
    vertexDeclaration_ = device->CreateVertexDeclaration(elements, 2);
    const uint32_t size = uint32_t(heights_.size()) * kGroundVertexSize;
    vertexBuffer_ = device->CreateVertexBuffer(0, size);
    if (!vertexBuffer_) {
        Log(LogPriority::Error, "Couldn't create terrain vertex buffer");
        return;
    }
    auto* vertices = static_cast<float*>(vertexBuffer_->Lock(0, size, 0));
    if (!vertices) {
        Log(LogPriority::Error, "Couldn't lock terrain vertex buffer");
    } else {
        for (unsigned z = 0; z < GetNumYSamples(); ++z) {
            for (unsigned x = 0; x < GetNumXSamples(); ++x) {
                WriteGroundVertex(vertices + (size_t(z) * GetNumXSamples() + x) * (kGroundVertexSize / sizeof(float)),
                                  x, z);
            }
        }
        vertexBuffer_->Unlock();
    }
    grass_.CreateIndexBuffer();
}

bool TerrainRT::IsTileOverlapping(const TerrainTile* tile) const {
    constexpr float kMargin = 2.0f;
    const ABBox terrain = GetBoundingBox();
    const Vec3 low = terrain.GetMin(), high = terrain.GetMax();
    const Vec3 tileLow = tile->GetBoundingBox().GetMin(), tileHigh = tile->GetBoundingBox().GetMax();
    return tileLow.x <= low.x + kMargin || tileLow.z <= low.z + kMargin || tileHigh.x >= high.x - kMargin ||
           tileHigh.z >= high.z - kMargin;
}

void TerrainRT::DestroyMapGeometry() {
    grass_.Clear();
    if (RenderDevice* device = GetRenderDevice()) {
        device->DestroyVertexBuffer(vertexBuffer_);
        device->DestroyVertexDeclaration(vertexDeclaration_);
    }
    vertexBuffer_ = nullptr;
    vertexDeclaration_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The frame and the device
// ---------------------------------------------------------------------------------------------

void TerrainRT::Update(const Frustum* frusta, unsigned count, int elapsedMs) {
    UnloadOldObjects();
    UpdateObjects(frusta, count, elapsedMs);
}

void TerrainRT::PreLoad(int priority, const Frustum* frusta, unsigned count) {
    PreLoadObjects(priority, frusta, count);
}

void TerrainRT::PreDeviceReset() {
    TerrainBase::PreDeviceReset();
    if (RenderDevice* device = GetRenderDevice()) {
        for (TerrainLayer& layer : layers_) device->DestroyTexture(layer.opacityTexture);
    }
    DestroyMapGeometry();
}

void TerrainRT::PostDeviceReset() {
    // The textures come back as LoadRenderData made them, so the ground looks the same after a
    // reset.
    if (renderDataLoaded_) {
        for (TerrainLayer& layer : layers_) CreateOpacityTexture(layer);
        CreateMapGeometry();
    }
    TerrainBase::PostDeviceReset();
}

// ---------------------------------------------------------------------------------------------
// Samples, queries and layers
// ---------------------------------------------------------------------------------------------

bool TerrainRT::LowQuality() const { return renderInterface_->LowQuality(); }

TerrainRenderInterfaceBase* TerrainRT::GetRenderInterface() const { return renderInterface_.get(); }

bool TerrainRT::IsInvisible(int x, int z) const {
    if (x < 0 || z < 0 || unsigned(x) >= GetNumXSamples() || unsigned(z) >= GetNumYSamples()) return false;
    return (GetMask(unsigned(x), unsigned(z))[0] & kVisibleBit) == 0;
}

bool TerrainRT::LayerShowsAt(unsigned layer, unsigned x, unsigned z) const {
    const unsigned bit = layer + 1;
    return (GetMask(x, z)[bit / 8] >> (bit % 8) & 1) != 0;
}

uint8_t TerrainRT::GetLayerOpacity(unsigned layer, unsigned x, unsigned z) const {
    const mem::vector<uint8_t>& opacity = layers_[layer].opacity;
    return opacity.empty() ? uint8_t(255) : opacity[size_t(z) * (GetNumXSamples() - 1) + x];
}

void TerrainRT::GetLayersInBox(mem::vector<unsigned>& out, const ABBox& box) const {
    out.clear();
    if (layers_.empty() || GetNumXSamples() < 2 || GetNumYSamples() < 2) return;
    const Vec3 low = box.GetMin(), high = box.GetMax();
    const int lastX = int(GetNumXSamples()) - 2, lastZ = int(GetNumYSamples()) - 2;
    const int x0 = TruncateClamped(low.x, 0, lastX + 1), z0 = TruncateClamped(low.z, 0, lastZ + 1);
    const int x1 = TruncateClamped(high.x + 0.5f, -1, lastX), z1 = TruncateClamped(high.z + 0.5f, -1, lastZ);
    for (unsigned layer = unsigned(layers_.size()); layer-- > 0;) {
        bool shows = false;
        for (int z = z0; z <= z1 && !shows; ++z) {
            for (int x = x0; x <= x1 && !shows; ++x) shows = LayerShowsAt(layer, unsigned(x), unsigned(z));
        }
        if (shows) out.insert(out.begin(), layer);
    }
}

}  // namespace GAME
