#include "terrain/WaterLayer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <utility>

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "core/MathUtil.h"
#include "core/Ray.h"
#include "terrain/WaterType.h"
#include "world/LevelGround.h"

namespace GAME {

namespace {

float GroundHeight(const LevelGround* ground, float x, float z) {
    return ground ? ground->GetHeightInterpolated(x, z) : 0.0f;
}

}  // namespace

WaterLayer::WaterLayer(unsigned index, unsigned blocksX, unsigned blocksZ, float blockSize, WaterSpace& tree,
                       RenderDevice* device, Water* water)
    : WaterObject(index, tree, device, water),
      blocksX_(blocksX),
      blocksZ_(blocksZ),
      blockSize_(blockSize),
      blocks_(size_t(blocksX) * blocksZ) {}

WaterLayer::~WaterLayer() { DestroyBlocks(); }

bool WaterLayer::Initialize(const char* typeName, float height, const Vec2& size) {
    DestroyBlocks();
    height_ = height;
    const auto within = [](float value, float extent) { return std::isfinite(value) ? std::clamp(value, 0.0f, extent) : 0.0f; };
    size_ = Vec2(within(size.x, float(blocksX_) * blockSize_), within(size.y, float(blocksZ_) * blockSize_));
    UpdateReflectionPlane();
    if (!AcquireWaterType(typeName)) {
        Log(LogPriority::Error, "Failed to load water type '%s' for water layer.", typeName ? typeName : "");
        return false;
    }
    return true;
}

const WaterBlock* WaterLayer::GetBlock(unsigned bx, unsigned bz) const {
    if (bx >= blocksX_ || bz >= blocksZ_) return nullptr;
    return blocks_[size_t(bz) * blocksX_ + bx].get();
}

WaterBlock* WaterLayer::EditBlock(unsigned bx, unsigned bz) {
    return const_cast<WaterBlock*>(std::as_const(*this).GetBlock(bx, bz));
}

WaterBlock* WaterLayer::AddBlock(unsigned bx, unsigned bz) {
    if (bx >= blocksX_ || bz >= blocksZ_) return nullptr;
    std::unique_ptr<WaterBlock>& slot = blocks_[size_t(bz) * blocksX_ + bx];
    if (slot) return slot.get();
    const float x0 = float(bx) * blockSize_;
    const float z0 = float(bz) * blockSize_;
    slot = std::make_unique<WaterBlock>(x0, z0, std::min(x0 + blockSize_, size_.x), std::min(z0 + blockSize_, size_.y),
                                        height_);
    slot->SetWaterType(waterType_);
    slot->SetReflectionPlane(&reflectionPlane_);
    ++numBlocks_;
    tree_.AddObject(*slot);
    slot->BuildGeometry(device_, ground_);
    return slot.get();
}

void WaterLayer::RemoveBlock(unsigned bx, unsigned bz) {
    if (bx >= blocksX_ || bz >= blocksZ_) return;
    std::unique_ptr<WaterBlock>& slot = blocks_[size_t(bz) * blocksX_ + bx];
    if (!slot) return;
    tree_.RemoveFromNode(*slot);
    slot.reset();
    --numBlocks_;
}

void WaterLayer::DestroyBlocks() {
    for (unsigned bz = 0; bz < blocksZ_; ++bz) {
        for (unsigned bx = 0; bx < blocksX_; ++bx) RemoveBlock(bx, bz);
    }
}

void WaterLayer::Update() {
    for (const std::unique_ptr<WaterBlock>& block : blocks_) {
        if (block) block->UpdateGeometry(ground_);
    }
}

void WaterLayer::Cleanup() {
    for (unsigned bz = 0; bz < blocksZ_; ++bz) {
        for (unsigned bx = 0; bx < blocksX_; ++bx) {
            WaterBlock* block = EditBlock(bx, bz);
            if (block && !block->UpdateGeometry(ground_)) RemoveBlock(bx, bz);
        }
    }
}

void WaterLayer::ConstructBlockGeometry() {
    for (const std::unique_ptr<WaterBlock>& block : blocks_) {
        if (block) block->BuildGeometry(device_, ground_);
    }
}

void WaterLayer::DestroyBlockGeometry() {
    for (const std::unique_ptr<WaterBlock>& block : blocks_) {
        if (block) block->ReleaseGeometry();
    }
}

bool WaterLayer::TestBlockArea(unsigned bx, unsigned bz) const {
    for (unsigned j = 0; j < WaterBlock::kSamples; ++j) {
        for (unsigned i = 0; i < WaterBlock::kSamples; ++i) {
            const float x = float(bx) * blockSize_ + float(i);
            const float z = float(bz) * blockSize_ + float(j);
            if (GroundHeight(ground_, x, z) <= height_) return true;
        }
    }
    return false;
}

void WaterLayer::UpdateArea(const Vec3& centre, float radius, bool add) {
    const auto range = [this, radius](float c, unsigned blocks, unsigned& low, unsigned& high) {
        const float last = float(blocks) - 1.0f;
        low = unsigned(std::clamp((c - radius) / blockSize_, 0.0f, last));
        high = unsigned(std::clamp((c + radius) / blockSize_, 0.0f, last));
    };
    if (blocksX_ == 0 || blocksZ_ == 0 || !std::isfinite(centre.x) || !std::isfinite(centre.z) || !std::isfinite(radius)) {
        return;
    }
    unsigned bxMin, bxMax, bzMin, bzMax;
    range(centre.x, blocksX_, bxMin, bxMax);
    range(centre.z, blocksZ_, bzMin, bzMax);
    const float radiusSquared = radius * radius;
    for (unsigned bx = bxMin; bx <= bxMax; ++bx) {
        for (unsigned bz = bzMin; bz <= bzMax; ++bz) {
            const bool adding = add && TestBlockArea(bx, bz);
            WaterBlock* block = adding ? AddBlock(bx, bz) : EditBlock(bx, bz);
            if (!block) continue;
            const uint8_t value = adding ? WaterBlock::kPainted : 0;
            for (unsigned j = 0; j < WaterBlock::kSamples; ++j) {
                for (unsigned i = 0; i < WaterBlock::kSamples; ++i) {
                    const float dx = float(bx) * blockSize_ + float(i) - centre.x;
                    const float dz = float(bz) * blockSize_ + float(j) - centre.z;
                    if (dx * dx + dz * dz < radiusSquared) block->GetCoverage()[j * WaterBlock::kSamples + i] = value;
                }
            }
            if (!block->UpdateGeometry(ground_)) RemoveBlock(bx, bz);
        }
    }
    UpdateReflectionPlane();
}

bool WaterLayer::IsPointInLayer(const Vec3& p) const {
    if (!(p.x >= 0.0f && p.x < float(blocksX_) * blockSize_ && p.z >= 0.0f && p.z < float(blocksZ_) * blockSize_)) {
        return false;
    }
    const unsigned bx = std::min(unsigned(p.x / blockSize_), blocksX_ - 1);
    const unsigned bz = std::min(unsigned(p.z / blockSize_), blocksZ_ - 1);
    const WaterBlock* block = GetBlock(bx, bz);
    if (!block) return false;
    // The fraction across the block picks one of its 10 samples (1 unit apart over 9 units).
    const int column = TruncateClamped((p.x / blockSize_ - float(bx)) * 10.0f, 0, 9);
    const int row = TruncateClamped((p.z / blockSize_ - float(bz)) * 10.0f, 0, 9);
    return block->GetCoverage()[unsigned(row) * WaterBlock::kSamples + unsigned(column)] != 0;
}

float WaterLayer::RayIntersection(const Ray& ray, float maxDistance) const {
    const Plane surface(Vec3(0.0f, ray.direction.y < 0.0f ? 1.0f : -1.0f, 0.0f),
                        ray.direction.y < 0.0f ? -height_ : height_);
    const float distance = surface.GetRayDistance(ray);
    if (distance < maxDistance && IsPointInLayer(ray.GetPoint(distance))) return distance;
    return Infinity;
}

void WaterLayer::CalcSurfaceVelocity(Vec3& v) const {
    if (!waterType_) return;
    const Vec2 velocity = waterType_->CalculateVelocity();
    v = Vec3(velocity.x, 0.0f, velocity.y);
}

bool WaterLayer::Load(BinaryReader& reader, unsigned) {
    std::string name;
    reader.ReadString(name);  // a bad length leaves the name empty
    const float height = reader.ReadFloat();
    const float sizeX = reader.ReadFloat();
    const float sizeZ = reader.ReadFloat();
    const bool typed = Initialize(name.c_str(), height, Vec2(sizeX, sizeZ));
    const uint32_t count = reader.ReadUInt32();
    constexpr uint32_t kRecordSize = 4 + WaterBlock::kNumSamples;
    if (count > reader.GetRemaining() / kRecordSize) {
        reader.Skip(UINT32_MAX);  // more records than bytes: the block is cut short
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t index = reader.ReadUInt32();
        std::array<uint8_t, WaterBlock::kNumSamples> coverage;
        reader.ReadBytes(coverage.data(), WaterBlock::kNumSamples);
        // Outside the grid, or outside the layer's size (where a block would have no extent).
        if (index >= blocksX_ * blocksZ_ || float(index % blocksX_) * blockSize_ >= size_.x ||
            float(index / blocksX_) * blockSize_ >= size_.y) {
            continue;
        }
        WaterBlock* block = AddBlock(index % blocksX_, index / blocksX_);
        block->GetCoverage() = coverage;
        block->UpdateGeometry(ground_);
    }
    UpdateReflectionPlane();
    return typed;
}

void WaterLayer::Save(BinaryWriter& writer) const {
    const char* name = GetWaterTypeName();
    writer.Write(std::string(name ? name : ""));
    writer.Write(height_);
    writer.Write(size_.x);
    writer.Write(size_.y);
    writer.Write(numBlocks_);
    for (unsigned index = 0; index < blocks_.size(); ++index) {
        if (!blocks_[index]) continue;
        writer.Write(index);
        writer.Write(blocks_[index]->GetCoverage().data(), WaterBlock::kNumSamples);
    }
}

void WaterLayer::UpdateReflectionPlane() {
    float xMin = float(blocksX_) * blockSize_, xMax = 0.0f;
    float zMin = float(blocksZ_) * blockSize_, zMax = 0.0f;
    for (unsigned bz = 0; bz < blocksZ_; ++bz) {
        for (unsigned bx = 0; bx < blocksX_; ++bx) {
            if (!GetBlock(bx, bz)) continue;
            xMin = std::min(xMin, float(bx) * blockSize_);
            xMax = std::max(xMax, float(bx + 1) * blockSize_);
            zMin = std::min(zMin, float(bz) * blockSize_);
            zMax = std::max(zMax, float(bz + 1) * blockSize_);
        }
    }
    reflectionPlane_.plane = Plane(Vec3(0.0f, 1.0f, 0.0f), -height_);
    reflectionPlane_.box = ABBox(Vec3((xMin + xMax) * 0.5f, height_, (zMin + zMax) * 0.5f),
                                 Vec3((xMax - xMin) * 0.5f, 0.0f, (zMax - zMin) * 0.5f));
}

void WaterLayer::SaveToMap(mem::vector<uint8_t>& map, int width, int depth) const {
    map.assign(size_t(width) * size_t(depth), 0);
    const int step = int(blockSize_);
    for (unsigned bz = 0; bz < blocksZ_; ++bz) {
        for (unsigned bx = 0; bx < blocksX_; ++bx) {
            const WaterBlock* block = GetBlock(bx, bz);
            if (!block) continue;
            const int x0 = int(bx) * step, z0 = int(bz) * step;
            for (int r = 0; r < std::min(10, depth - z0); ++r) {
                for (int c = 0; c < std::min(10, width - x0); ++c) {
                    map[size_t(z0 + r) * size_t(width) + size_t(x0 + c)] = block->GetCoverage()[size_t(r * 10 + c)];
                }
            }
        }
    }
}

void WaterLayer::ConstructFromMap(const mem::vector<uint8_t>& map, int width, int depth) {
    DestroyBlocks();
    const int step = int(blockSize_);
    for (unsigned bz = 0; bz < blocksZ_; ++bz) {
        for (unsigned bx = 0; bx < blocksX_; ++bx) {
            const int x0 = int(bx) * step, z0 = int(bz) * step;
            WaterBlock* block = nullptr;
            for (int r = 0; r < std::min(10, depth - z0); ++r) {
                for (int c = 0; c < std::min(10, width - x0); ++c) {
                    const uint8_t value = map[size_t(z0 + r) * size_t(width) + size_t(x0 + c)];
                    if (value == 0) continue;
                    if (!block) block = AddBlock(bx, bz);
                    block->GetCoverage()[size_t(r * 10 + c)] = value;
                }
            }
            if (block) block->UpdateGeometry(ground_);
        }
    }
}

template <class Change>
void WaterLayer::Remap(Change change) {
    const int width = int(size_.x), depth = int(size_.y);
    mem::vector<uint8_t> map;
    SaveToMap(map, width, depth);
    change(map, width, depth);
    ConstructFromMap(map, width, depth);
    UpdateReflectionPlane();
}

void WaterLayer::MirrorX(float) {
    Remap([](mem::vector<uint8_t>& map, int width, int depth) {
        for (int z = 0; z < depth; ++z) std::reverse(map.begin() + z * width, map.begin() + (z + 1) * width);
    });
}

void WaterLayer::MirrorZ(float) {
    Remap([](mem::vector<uint8_t>& map, int width, int depth) {
        for (int z = 0; z < depth / 2; ++z) {
            std::swap_ranges(map.begin() + z * width, map.begin() + (z + 1) * width, map.begin() + (depth - 1 - z) * width);
        }
    });
}

void WaterLayer::MirrorXZ() {
    if (blocksX_ != blocksZ_ || int(size_.x) != int(size_.y)) return;
    Remap([](mem::vector<uint8_t>& map, int width, int) {
        for (int z = 0; z < width; ++z) {
            for (int x = z + 1; x < width; ++x) std::swap(map[size_t(z * width + x)], map[size_t(x * width + z)]);
        }
    });
}

}  // namespace GAME
