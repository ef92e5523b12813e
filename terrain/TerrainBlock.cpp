#include "terrain/TerrainBlock.h"

#include <algorithm>

#include "core/Intersection.h"
#include "core/OBBox.h"
#include "physics/CollisionBox.h"
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
    ComputeBounds();
    RefreshLayers();
}

void TerrainBlock::ComputeBounds() {
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

void TerrainBlock::Invalidate() { ReleaseGeometry(); }

void TerrainBlock::ReleaseGeometry() { dirty_ = true; }

void TerrainBlock::GetCellsUnder(const ABBox& box, int& x0, int& z0, int& x1, int& z1) const {
    const int firstX = int(column_ * TerrainBase::kBlockCells), firstZ = int(row_ * TerrainBase::kBlockCells);
    const int lastX = firstX + int(numXSamples_) - 2, lastZ = firstZ + int(numYSamples_) - 2;
    const Vec3 low = box.GetMin(), high = box.GetMax();
    x0 = TruncateClamped(low.x, firstX, lastX);
    x1 = TruncateClamped(high.x, firstX, lastX);
    z0 = TruncateClamped(low.z, firstZ, lastZ);
    z1 = TruncateClamped(high.z, firstZ, lastZ);
}

void TerrainBlock::GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface) const {
    hit.distance = Infinity;
    hit.surface = PhysicsSurface::None;
    if (!(GetBoundingBox().GetIntersection(ray) < Infinity)) return;
    const int firstX = int(column_ * TerrainBase::kBlockCells), firstZ = int(row_ * TerrainBase::kBlockCells);
    int cellX = 0, cellZ = 0;
    terrain_->GetIntersection(ray, firstX, firstZ, firstX + int(numXSamples_) - 2, firstZ + int(numYSamples_) - 2, hit,
                              cellX, cellZ);
    if (!(hit.distance < Infinity)) return;
    if (!layers_.empty()) {
        float best = 0.0f, weight = 0.0f;
        unsigned chosen = layers_.front();
        for (auto layer = layers_.rbegin(); layer != layers_.rend(); ++layer) {
            const float remaining = 1.0f - weight;
            if (best > remaining) break;
            weight = float(terrain_->GetLayerOpacity(*layer, unsigned(cellX), unsigned(cellZ))) / 255.0f * remaining;
            if (weight > best) {
                best = weight;
                chosen = *layer;
            }
        }
        if (const TerrainType* type = terrain_->GetLayerTerrainType(chosen)) hit.surface = type->GetSurface();
    }
    hit.point = ray.GetPoint(hit.distance);
}

int TerrainBlock::FindCollisions(const TerrainBase& terrain, const OBBox& box, CollisionContact* contacts, int max,
                                 PhysicsSurface surface) const {
    int x0 = 0, z0 = 0, x1 = 0, z1 = 0;
    GetCellsUnder(ABBox(box), x0, z0, x1, z1);
    return terrain.FindCollisions(box, x0, z0, x1, z1, contacts, max, surface);
}

void TerrainBlock::FindCollisions(const TerrainBase& terrain, mem::vector<CollisionBox>& boxes,
                                  PhysicsSurface surface) const {
    const ABBox& bounds = GetBoundingBox();
    for (CollisionBox& box : boxes) {
        if (!ABBox::Overlap(box.GetABBox(), bounds)) continue;
        int x0 = 0, z0 = 0, x1 = 0, z1 = 0;
        GetCellsUnder(box.GetABBox(), x0, z0, x1, z1);
        terrain.FindCollisions(box, x0, z0, x1, z1, surface);
    }
}

}  // namespace GAME
