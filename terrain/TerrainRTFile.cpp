// The run-time block: Terrain::SaveRunTimeFormat writes it from the editable terrain and
// TerrainRT::Load reads it (the layout is given in TerrainRT.h).

#include <algorithm>

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainRT.h"
#include "terrain/TerrainType.h"

namespace GAME {

namespace {

uint32_t MaskBytesFor(uint32_t numLayers) { return numLayers / 8 + 1; }

// The plugs of the terrain's tree, in tree order.
mem::vector<const TerrainPlug*> GetPlugs(const TerrainBase& terrain) {
    mem::vector<TerrainObject*> objects;
    terrain.GetAllObjects(objects);
    mem::vector<const TerrainPlug*> plugs;
    for (const TerrainObject* object : objects) {
        if (object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo))
            plugs.push_back(static_cast<const TerrainPlug*>(object));
    }
    return plugs;
}

// Smallest bytes of a plug record: its two counts.
constexpr uint64_t kLeastPlugSize = 8;

}  // namespace

void Terrain::SaveRunTimeFormat(BinaryWriter& writer) const {
    const uint32_t numX = GetNumXSamples(), numY = GetNumYSamples();
    const uint32_t numLayers = uint32_t(layers_.size());
    const uint32_t header[TerrainRT::kHeaderSize / 4] = {TerrainRT::kVersion, numLayers, numX, numY, 0, 0, 0, 0};
    for (const uint32_t word : header) writer.Write(word);
    for (const float height : heights_) writer.Write(height);

    // A terrain without layers still writes one byte a sample, the visible bit, as readers expect.
    const uint32_t maskBytes = MaskBytesFor(numLayers);
    const bool hasCells = numX > 1 && numY > 1;
    mem::vector<uint8_t> mask(maskBytes);
    for (uint32_t z = 0; z < numY; ++z) {
        for (uint32_t x = 0; x < numX; ++x) {
            std::fill(mask.begin(), mask.end(), uint8_t(0));
            // The last row and column take the states of the cells before them.
            const uint32_t cellX = std::min(x, numX - 2), cellZ = std::min(z, numY - 2);
            for (uint32_t k = 0; hasCells && k < numLayers; ++k) {
                const uint32_t state = GetLayerVisibility(k, cellX, cellZ);
                if (state != Blended && state != Opaque) continue;
                const uint32_t bit = k + 1;
                // An opaque layer hides every layer under it.
                if (state == Opaque) {
                    std::fill(mask.begin(), mask.begin() + bit / 8, uint8_t(0));
                    mask[bit / 8] = 0;
                }
                mask[bit / 8] = uint8_t(mask[bit / 8] | 1u << (bit % 8));
            }
            if (!hidden_[SampleIndex(x, z)]) mask[0] |= TerrainRT::kVisibleBit;
            writer.Write(mask.data(), maskBytes);
        }
    }

    for (uint32_t i = 0; i < numLayers; ++i) {
        const TerrainLayer& layer = layers_[i];
        writer.Write(layer.terrainType ? layer.terrainType->GetObjectName() : std::string());
        if (i > 0) writer.Write(layer.opacity.data(), uint32_t(layer.opacity.size()));
    }

    const mem::vector<const TerrainPlug*> plugs = GetPlugs(*this);
    writer.Write(uint32_t(plugs.size()));
    for (const TerrainPlug* plug : plugs) plug->Write(writer);
}

bool TerrainRT::Load(BinaryReader& reader, int) {
    Unload();
    uint32_t header[kHeaderSize / 4] = {};
    reader.ReadBytes(header, kHeaderSize);
    const uint32_t numLayers = header[1], numX = header[2], numY = header[3];
    if (reader.Failed() || !IsValidSampleCount(numX) || !IsValidSampleCount(numY)) {
        Log(LogPriority::Error, "TerrainRT: the run-time block's size %u x %u is not a terrain's", numX, numY);
        return false;
    }
    // Everything but the names and the plugs is fixed by the sizes: a block shorter than that is
    // refused before anything is made.
    const uint64_t samples = uint64_t(numX) * numY;
    const uint64_t cells = uint64_t(numX - 1) * (numY - 1);
    const uint32_t maskBytes = MaskBytesFor(numLayers);
    const uint64_t least = samples * (4 + uint64_t(maskBytes)) + uint64_t(numLayers) * 4 +
                           (numLayers > 0 ? (numLayers - 1) * cells : 0) + 4;
    if (least > reader.GetRemaining()) {
        Log(LogPriority::Error, "TerrainRT: the run-time block of %u x %u samples and %u layers is cut short", numX,
            numY, numLayers);
        return false;
    }

    heights_.resize(samples);
    reader.ReadBytes(heights_.data(), uint32_t(samples * 4));
    masks_.resize(samples * maskBytes);
    reader.ReadBytes(masks_.data(), uint32_t(masks_.size()));
    maskBytes_ = maskBytes;
    layers_.resize(numLayers);
    for (uint32_t i = 0; i < numLayers && !reader.Failed(); ++i) {
        std::string name;
        if (!reader.ReadString(name)) break;
        TerrainLayer& layer = layers_[i];
        layer.terrainType = TerrainType::Create(name);
        if (!layer.terrainType) Log(LogPriority::Error, "Failed to load terrain type %s.", name.c_str());
        if (i > 0) {
            layer.opacity.resize(cells);
            reader.ReadBytes(layer.opacity.data(), uint32_t(cells));
        }
    }
    const uint32_t numPlugs = reader.ReadUInt32();
    if (reader.Failed() || numPlugs * kLeastPlugSize > reader.GetRemaining()) {
        Log(LogPriority::Error, "TerrainRT: the run-time block is cut short");
        Unload();
        return false;
    }

    SetNumSamples(numX, numY);
    SetHeightField(HeightField(numX, numY, heights_.data(), masks_.data(), maskBytes_, kVisibleBit, 0));
    InitializeBlocks(false);
    for (uint32_t i = 0; i < numPlugs; ++i) {
        auto* plug = new TerrainPlug;
        plug->SetTerrain(this);
        if (!plug->Read(reader, numLayers)) {
            delete plug;
            Log(LogPriority::Error, "TerrainRT: plug %u of %u is cut short or too large", i, numPlugs);
            Unload();
            return false;
        }
        plug->UpdateBounds();
        plug->CreateRenderData();
        AddObjectToSpace(plug);
    }
    return true;
}

}  // namespace GAME
