#include "terrain/TerrainPlug.h"

#include "core/MathUtil.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

GAME_RTTI_DEFINE_ABSTRACT_CLASS(TerrainPlug, TerrainObject);

void TerrainPlug::Write(BinaryWriter& writer) const {
    writer.Write(uint32_t(triangles_.size()));
    writer.Write(triangles_.data(), uint32_t(triangles_.size() * sizeof(Triangle)));
    writer.Write(uint32_t(layers_.size()));
    for (const unsigned layer : layers_) writer.Write(uint32_t(layer));
}

bool TerrainPlug::Read(BinaryReader& reader, unsigned numTerrainLayers) {
    triangles_.clear();
    layers_.clear();
    const uint32_t count = reader.ReadUInt32();
    if (reader.Failed() || count > kMaxTriangles || uint64_t(count) * sizeof(Triangle) > reader.GetRemaining())
        return false;
    triangles_.resize(count);
    reader.ReadBytes(triangles_.data(), uint32_t(count * sizeof(Triangle)));
    const uint32_t numLayers = reader.ReadUInt32();
    if (reader.Failed() || uint64_t(numLayers) * 4 > reader.GetRemaining()) {
        triangles_.clear();
        return false;
    }
    for (uint32_t i = 0; i < numLayers; ++i) {
        const uint32_t layer = reader.ReadUInt32();
        if (layer < numTerrainLayers) layers_.push_back(layer);
    }
    return true;
}

void TerrainPlug::UpdateBounds() {
    if (triangles_.empty()) {
        SetBoundingBox(ABBox(Vec3(0.1f, 0.1f, 0.1f), Vec3(0.1f, 0.1f, 0.1f)));
        return;
    }
    Vec3 low(Infinity, Infinity, Infinity), high(-Infinity, -Infinity, -Infinity);
    for (const Triangle& triangle : triangles_) {
        for (const Vertex* vertex : {&triangle.a, &triangle.b, &triangle.c}) {
            low = Min(low, vertex->GetPoint());
            high = Max(high, vertex->GetPoint());
        }
    }
    SetBoundingBox(ABBox((low + high) * 0.5f, (high - low) * 0.5f));
}

}  // namespace GAME
