#include "TestTerrain.h"

#include <algorithm>
#include <utility>

#include "physics/CollisionContact.h"

namespace GAME::test {

bool TestTerrain::Make(uint32_t numXSamples, uint32_t numYSamples, const SampleFunction& heights) {
    if (!SetNumSamples(numXSamples, numYSamples)) return false;
    heights_.clear();
    for (uint32_t z = 0; z < numYSamples; ++z) {
        for (uint32_t x = 0; x < numXSamples; ++x) heights_.push_back(heights ? heights(x, z) : 0.0f);
    }
    hidden_.assign(heights_.size(), 0);
    SetHeightField(HeightField(numXSamples, numYSamples, heights_.data(), hidden_.data(), 1, 1, 1));
    outOfGridReads_ = 0;
    InitializeBlocks(true);
    return true;
}

void TestTerrain::AddLayer(const CellFunction& opacity, TerrainType* type) {
    layers_.push_back(Layer{opacity, type});
}

void TestTerrain::Update(const Frustum* frusta, unsigned count, int elapsedMs) {
    UnloadOldObjects();
    UpdateObjects(frusta, count, elapsedMs);
}

void TestTerrain::PreLoad(int priority, const Frustum* frusta, unsigned count) {
    PreLoadObjects(priority, frusta, count);
}

float TestTerrain::GetHeight(unsigned x, unsigned z) const {
    if (x >= GetNumXSamples() || z >= GetNumYSamples()) {
        ++outOfGridReads_;
        return 0.0f;
    }
    return heights_[size_t(z) * GetNumXSamples() + x];
}

TerrainType* TestTerrain::GetLayerTerrainType(unsigned layer) {
    return const_cast<TerrainType*>(std::as_const(*this).GetLayerTerrainType(layer));
}

const TerrainType* TestTerrain::GetLayerTerrainType(unsigned layer) const {
    outOfGridReads_ += layer >= layers_.size();
    return layer < layers_.size() ? layers_[layer].type : nullptr;
}

uint8_t TestTerrain::GetLayerOpacity(unsigned layer, unsigned x, unsigned z) const {
    if (layer >= layers_.size() || x + 1 >= GetNumXSamples() || z + 1 >= GetNumYSamples()) {
        ++outOfGridReads_;
        return 0;
    }
    return layers_[layer].opacity(x, z);
}

void TestTerrain::GetLayersInBox(mem::vector<unsigned>& out, const ABBox& box) const {
    out.clear();
    if (GetNumXSamples() < 2 || GetNumYSamples() < 2) return;
    const Vec3 low = box.GetMin();
    const Vec3 high = box.GetMax();
    const int x0 = std::max(int(low.x), 0);
    const int z0 = std::max(int(low.z), 0);
    const int x1 = std::min(int(high.x + 0.5f), int(GetNumXSamples()) - 2);
    const int z1 = std::min(int(high.z + 0.5f), int(GetNumYSamples()) - 2);
    for (unsigned layer = 0; layer < layers_.size(); ++layer) {
        bool shows = false;
        for (int z = z0; z <= z1 && !shows; ++z) {
            for (int x = x0; x <= x1 && !shows; ++x) shows = GetLayerOpacity(layer, unsigned(x), unsigned(z)) != 0;
        }
        if (shows) out.push_back(layer);
    }
}

int Marker::FindCollisions(const TerrainBase&, const OBBox& box, CollisionContact* contacts, int max,
                           PhysicsSurface) const {
    roomAsked.push_back(max);
    const int count = std::min(contacts_, max);
    for (int i = 0; i < count; ++i) {
        contacts[i] = CollisionContact();
        contacts[i].position = box.coords.origin;
        contacts[i].depth = float(i);
    }
    return count;
}

}  // namespace GAME::test
