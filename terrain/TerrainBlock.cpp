#include "terrain/TerrainBlock.h"

#include <algorithm>

#include "terrain/TerrainBase.h"
#include "terrain/TerrainType.h"

namespace GAME {

GAME_RTTI_DEFINE_ABSTRACT_CLASS(TerrainBlock, TerrainObject);

void TerrainBlock::Initialize(TerrainBase& terrain, uint32_t column, uint32_t row, uint32_t numXSamples,
                              uint32_t numYSamples) {
    terrain_ = &terrain;
    column_ = column;
    row_ = row;
    numXSamples_ = numXSamples;
    numYSamples_ = numYSamples;
    UpdateBounds();
    RefreshLayers();
}

void TerrainBlock::UpdateBounds() {
    // A block covers at least two samples each way, so low and high are always set.
    const uint32_t x0 = column_ * TerrainBase::kBlockCells;
    const uint32_t z0 = row_ * TerrainBase::kBlockCells;
    float low = Infinity;
    float high = -Infinity;
    for (uint32_t z = z0; z < z0 + numYSamples_; ++z) {
        for (uint32_t x = x0; x < x0 + numXSamples_; ++x) {
            const float height = terrain_->GetHeightInterpolated(float(x), float(z));
            low = std::min(low, height);
            high = std::max(high, height);
        }
    }
    const Vec3 centre(float(2 * x0 + numXSamples_ - 1) * 0.5f, (low + high) * 0.5f,
                      float(2 * z0 + numYSamples_ - 1) * 0.5f);
    const Vec3 halfSize(float(numXSamples_ - 1) * 0.5f, (high - low) * 0.5f, float(numYSamples_ - 1) * 0.5f);
    SetBoundingBox(ABBox(centre, halfSize));
}

void TerrainBlock::Prepare() {
    if (!dirty_ && terrain_->LowQuality() != lowQuality_) ReleaseGeometry();
    if (!dirty_) return;
    dirty_ = false;
    lowQuality_ = terrain_->LowQuality();
    terrain_->AddLoadedObject(this);
}

bool TerrainBlock::HasLayer(unsigned layer) const {
    for (const unsigned held : layers_) {
        if (held >= layer) return held == layer;
    }
    return false;
}

void TerrainBlock::Unload() { ReleaseGeometry(); }

void TerrainBlock::Load(int priority, bool preLoad) {
    TerrainObject::Load(priority, preLoad);
    for (const unsigned layer : layers_) {
        if (const TerrainType* type = terrain_->GetLayerTerrainType(layer)) type->PreLoad(preLoad);
    }
}

void TerrainBlock::RefreshLayers() {
    terrain_->GetLayersInBox(layers_, GetBoundingBox());
    ReleaseGeometry();
}

void TerrainBlock::PreDeviceReset() { ReleaseGeometry(); }

void TerrainBlock::ReleaseGeometry() { dirty_ = true; }

}  // namespace GAME
