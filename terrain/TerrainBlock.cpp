#include "terrain/TerrainBlock.h"

#include <algorithm>
#include <cmath>

#include "core/Intersection.h"
#include "core/OBBox.h"
#include "physics/CollisionBox.h"
#include "terrain/TerrainBase.h"
#include "render/RenderDevice.h"
#include "terrain/TerrainType.h"
#include "world/PhysicsGrassWind.h"

namespace GAME {

GAME_RTTI_DEFINE_ABSTRACT_CLASS(TerrainBlock, TerrainObject);

namespace {

constexpr uint32_t kNumNodes = TerrainBlock::kGrassNodes * TerrainBlock::kGrassNodes;

// The hash of a blade-position product, truncated toward zero and taken as unsigned.
uint32_t HashAt(float value) { return GrassHash(uint32_t(int32_t(value))); }

float ClampVelocity(float value) { return std::clamp(value, -TerrainBlock::kMaxVelocity, TerrainBlock::kMaxVelocity); }

}  // namespace

uint32_t GrassHash(uint32_t key) {
    key = (key ^ 61u) ^ (key >> 16);
    key += key << 3;
    key ^= key >> 4;
    key *= 0x27d4eb2du;
    key ^= key >> 15;
    return key;
}

TerrainBlock::~TerrainBlock() { ReleaseGeometry(); }

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
            // At a sample the interpolated height is the sample's own.
            const float height = terrain_->GetHeight(x, z);
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
    grass_.assign(layers_.size(), GrassRecord());
    dirty_ = false;
    lowQuality_ = terrain_->LowQuality();
    terrain_->AddLoadedObject(this);
    bool anyGrass = false;
    for (size_t k = 0; k < layers_.size(); ++k) {
        const TerrainType* type = terrain_->GetLayerTerrainType(layers_[k]);
        if (!type || !type->GetBladeTexture()) continue;
        if (lowQuality_ && type->GetBladeHeight() < kLowQualityBladeHeight) continue;
        GrassRecord& record = grass_[k];
        record.geometry = terrain_->CreateGrassGeometry();
        record.nodes.assign(size_t(TerrainBase::maxNumGrassPlanes) * 4, 0);
        anyGrass = anyGrass || record.geometry.vertices;
    }
    if (anyGrass) GenerateGrass();
    displacement_.assign(size_t(kNumNodes) * 2, 0.0f);
    velocity_.assign(size_t(kNumNodes) * 2, 0.0f);
}

const TerrainBlock::GrassRecord* TerrainBlock::GetGrassRecord(unsigned layer) const {
    for (size_t k = 0; k < layers_.size() && k < grass_.size(); ++k) {
        if (layers_[k] == layer) return &grass_[k];
    }
    return nullptr;
}

void TerrainBlock::GetNodeMotion(unsigned c, unsigned r, float displacement[2], float velocity[2]) const {
    const size_t node = (size_t(r) * kGrassNodes + c) * 2;
    for (size_t i = 0; i < 2; ++i) {
        displacement[i] = displacement_.empty() ? 0.0f : displacement_[node + i];
        velocity[i] = velocity_.empty() ? 0.0f : velocity_[node + i];
    }
}

void TerrainBlock::GetActiveRect(int32_t& minColumn, int32_t& maxColumn, int32_t& minRow, int32_t& maxRow) const {
    minColumn = minColumn_;
    maxColumn = maxColumn_;
    minRow = minRow_;
    maxRow = maxRow_;
}

float TerrainBlock::NodeX(int c) const { return float(column_ * TerrainBase::kBlockCells) + kGrassSpacing * float(c); }

float TerrainBlock::NodeZ(int r) const { return float(row_ * TerrainBase::kBlockCells) + kGrassSpacing * float(r); }

void TerrainBlock::GenerateGrass() {
    for (size_t k = 0; k < grass_.size(); ++k) {
        GrassRecord& record = grass_[k];
        if (record.geometry.vertices && record.geometry.displacements) GenerateLayerGrass(k, record);
    }
}

void TerrainBlock::GenerateLayerGrass(size_t k, GrassRecord& record) {
    const unsigned layer = layers_[k];
    const TerrainType& type = *terrain_->GetLayerTerrainType(layer);
    // A type without variations has no blade to show (and nothing to take a variation modulo).
    const uint32_t variations = type.GetNumBladeVariations();
    if (variations == 0) return;
    const float inverse = 1.0f / float(variations);
    const float width = type.GetBladeWidth();
    const float height = lowQuality_ ? type.GetBladeHeight() * 0.5f : type.GetBladeHeight();
    const uint32_t period = type.GetBladeSpacing() + variations;
    const float minimumOpacity = float(type.GetMinimumBladeOpacity());
    auto* vertices = static_cast<float*>(record.geometry.vertices->Lock(
        0, TerrainBase::maxNumGrassPlanes * 4 * TerrainBase::kGrassVertexSize, 0));
    if (!vertices) return;

    const float firstX = float(column_ * TerrainBase::kBlockCells), firstZ = float(row_ * TerrainBase::kBlockCells);
    const float lastX = firstX + float(numXSamples_ - 1), lastZ = firstZ + float(numYSamples_ - 1);
    for (float z = firstZ; z <= lastZ && record.count < TerrainBase::maxNumGrassPlanes; z += kGrassSpacing) {
        for (float x = firstX; x <= lastX && record.count < TerrainBase::maxNumGrassPlanes; x += kGrassSpacing) {
            // The layers above cover the grass of the layers below.
            float opacity = float(terrain_->GetLayerOpacityInterpolated(layer, x - 0.5f, z - 0.5f));
            for (size_t m = k + 1; m < layers_.size(); ++m) {
                const float above = float(terrain_->GetLayerOpacityInterpolated(layers_[m], x - 0.5f, z - 0.5f));
                opacity = (255.0f - above) * opacity / 255.0f;
            }
            if (opacity < minimumOpacity) continue;
            if (HashAt(12343.0f * x + 7873.0f * z) % period >= variations) continue;
            const float u0 = float(HashAt(13.0f * x + 11323.0f * z) % variations) * inverse;
            const float ground = terrain_->GetHeightInterpolated(x, z);
            const Vec3 normal = terrain_->GetNormalInterpolated(x, z);
            const uint32_t c = uint32_t(TruncateClamped((x - firstX) * kGrassInverseSpacing, 0, int(kGrassNodes) - 1));
            const uint32_t r = uint32_t(TruncateClamped((z - firstZ) * kGrassInverseSpacing, 0, int(kGrassNodes) - 1));
            const float angle = float(HashAt(3219.0f * x + 23113.0f * z)) * 0.017453292f;
            const float w = opacity / 255.0f * width, t = opacity / 255.0f * height;
            const float dx = std::cos(angle) * w, dz = std::sin(angle) * w;
            const float corners[4][5] = {{x - dx, ground + t, z - dz, u0, 0.0f},
                                         {x + dx, ground + t, z + dz, u0 + inverse, 0.0f},
                                         {x + dx, ground, z + dz, u0 + inverse, 1.0f},
                                         {x - dx, ground, z - dz, u0, 1.0f}};
            for (int i = 0; i < 4; ++i) {
                float* vertex = vertices + (size_t(record.count) * 4 + size_t(i)) * 8;
                const float values[8] = {corners[i][0], corners[i][1], corners[i][2], normal.x,
                                         normal.y,      normal.z,      corners[i][3], corners[i][4]};
                std::copy(values, values + 8, vertex);
                record.nodes[size_t(record.count) * 4 + size_t(i)] = c + kGrassNodes * r;
            }
            ++record.count;
        }
    }
    record.geometry.vertices->Unlock();
    if (auto* tips = static_cast<float*>(record.geometry.displacements->Lock(
            0, TerrainBase::maxNumGrassPlanes * 4 * TerrainBase::kGrassDisplacementSize, 0))) {
        std::fill(tips, tips + size_t(record.count) * 4 * 2, 0.0f);
        record.geometry.displacements->Unlock();
    }
}

void TerrainBlock::Update(const TerrainBase&, int elapsedMs) {
    if (displacement_.empty() || minColumn_ == kNoActiveNode) return;
    bool anyBuffer = false;
    for (size_t k = 0; k < grass_.size(); ++k) {
        GrassRecord& record = grass_[k];
        if (!record.geometry.displacements) continue;
        anyBuffer = true;
        auto* tips = static_cast<float*>(record.geometry.displacements->Lock(
            0, TerrainBase::maxNumGrassPlanes * 4 * TerrainBase::kGrassDisplacementSize, 0));
        if (!tips) continue;
        const float bladeHeight = terrain_->GetLayerTerrainType(layers_[k])->GetBladeHeight();
        for (size_t v = 0; v < size_t(record.count) * 4; ++v) {
            const size_t node = size_t(record.nodes[v]) * 2;
            tips[v * 2] = bladeHeight * displacement_[node];
            tips[v * 2 + 1] = bladeHeight * displacement_[node + 1];
        }
        record.geometry.displacements->Unlock();
    }
    if (!anyBuffer) return;
    const float dt = std::min(float(elapsedMs) * 0.001f, kMaxTimeStep);
    if (minRow_ > maxRow_ || minColumn_ > maxColumn_) {
        minColumn_ = minRow_ = kNoActiveNode;
        maxColumn_ = maxRow_ = 0;
        return;
    }
    for (int32_t r = minRow_; r <= maxRow_; ++r) {
        for (int32_t c = minColumn_; c <= maxColumn_; ++c) {
            const size_t node = (size_t(r) * kGrassNodes + size_t(c)) * 2;
            for (size_t i = node; i < node + 2; ++i) {
                velocity_[i] = (velocity_[i] + displacement_[i] * kSpring * dt) * kDamping;
                displacement_[i] += velocity_[i] * dt;
            }
        }
    }
}

void TerrainBlock::ActivateNodes(float x, float z, float radius, int& c0, int& c1, int& r0, int& r1) {
    // In float before truncating, so a point far away cannot overflow the conversion.
    const float firstX = float(column_ * TerrainBase::kBlockCells), firstZ = float(row_ * TerrainBase::kBlockCells);
    const int last = int(kGrassNodes) - 1;
    c0 = TruncateClamped((x - firstX - radius) * kGrassInverseSpacing, 0, last + 1);
    c1 = TruncateClamped((x - firstX + radius) * kGrassInverseSpacing + 1.0f, -1, last);
    r0 = TruncateClamped((z - firstZ - radius) * kGrassInverseSpacing, 0, last + 1);
    r1 = TruncateClamped((z - firstZ + radius) * kGrassInverseSpacing + 1.0f, -1, last);
    minColumn_ = std::min(minColumn_, c0);
    maxColumn_ = std::max(maxColumn_, c1);
    minRow_ = std::min(minRow_, r0);
    maxRow_ = std::max(maxRow_, r1);
}

void TerrainBlock::DisplaceGrass(float x, float z, float radius, float strength) {
    if (velocity_.empty()) return;
    int c0 = 0, c1 = 0, r0 = 0, r1 = 0;
    ActivateNodes(x, z, radius, c0, c1, r0, r1);
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            const float ex = NodeX(c) - x, ez = NodeZ(r) - z;
            const float distance = std::sqrt(ex * ex + ez * ez);
            if (!(distance > 0.0f && distance < radius)) continue;
            const size_t node = (size_t(r) * kGrassNodes + size_t(c)) * 2;
            velocity_[node] = ClampVelocity(velocity_[node] + ex / distance * strength);
            velocity_[node + 1] = ClampVelocity(velocity_[node + 1] + ez / distance * strength);
        }
    }
}

void TerrainBlock::CreateGrassWind(const PhysicsGrassWind& wind) {
    if (velocity_.empty()) return;
    int c0 = 0, c1 = 0, r0 = 0, r1 = 0;
    ActivateNodes(wind.x, wind.z, wind.radius, c0, c1, r0, r1);
    const float length = std::sqrt(wind.directionX * wind.directionX + wind.directionZ * wind.directionZ);
    if (!(length > 0.0001f)) return;
    for (int r = 0; r < int(kGrassNodes); ++r) {
        for (int c = 0; c < int(kGrassNodes); ++c) {
            const float ex = NodeX(c) - wind.x, ez = NodeZ(r) - wind.z;
            const float distance = std::sqrt(ex * ex + ez * ez);
            if (!(distance <= wind.radius) || ex * wind.directionX + ez * wind.directionZ <= 0.0f) continue;
            const float share = distance / wind.radius;
            const float push = share * share * wind.strength / length;
            const size_t node = (size_t(r) * kGrassNodes + size_t(c)) * 2;
            velocity_[node] = ClampVelocity(velocity_[node] + wind.directionX * push);
            velocity_[node + 1] = ClampVelocity(velocity_[node + 1] + wind.directionZ * push);
        }
    }
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
    terrain_->MarkGroundChanged();
}

void TerrainBlock::PreDeviceReset() { ReleaseGeometry(); }

void TerrainBlock::Invalidate() {
    ReleaseGeometry();
    if (terrain_) terrain_->MarkGroundChanged();
}

void TerrainBlock::ReleaseGeometry() {
    for (GrassRecord& record : grass_) {
        if (terrain_) terrain_->DestroyGrassGeometry(record.geometry);
    }
    grass_.clear();
    displacement_.clear();
    velocity_.clear();
    minColumn_ = minRow_ = kNoActiveNode;
    maxColumn_ = maxRow_ = 0;
    dirty_ = true;
}

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
