// The editor block of the editable terrain: Terrain::Load and Terrain::Save (the layout is given
// in Terrain.h).

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainType.h"

namespace GAME {

namespace {

// The first level-file version whose editor block ends with the passability.
constexpr int kFirstVersionWithPassability = 13;
// Bytes of a sample's record and of its offset record.
constexpr uint64_t kSampleSize = 8;
constexpr uint64_t kOffsetSize = 12;

// A layer's record name: a u32 length and the bytes. A name longer than the reader accepts, or
// running past its end, reads as empty with the cursor just after the length, so the layer is
// dropped and the block read on.
std::string ReadLayerName(BinaryReader& reader) {
    const uint32_t length = reader.ReadUInt32();
    std::string name;
    if (length <= BinaryReader::kMaxStringLength && length <= reader.GetRemaining()) {
        name.resize(length);
        reader.ReadBytes(name.data(), length);
    }
    if (!name.empty() && name.front() == '\\') name.erase(0, 1);
    return name;
}

}  // namespace

bool Terrain::Load(BinaryReader& reader, int version) {
    Unload();
    const uint32_t numX = reader.ReadUInt32();
    const uint32_t numY = reader.ReadUInt32();
    const uint32_t numLayers = reader.ReadUInt32();
    if (reader.Failed() || !IsValidSampleCount(numX) || !IsValidSampleCount(numY)) {
        Log(LogPriority::Error, "Terrain: the editor block's size %u x %u is not a terrain's", numX, numY);
        return false;
    }
    // Everything but the names is fixed by the sizes: a block shorter than that is refused before
    // anything is made.
    const uint64_t samples = uint64_t(numX) * numY;
    const uint64_t cells = uint64_t(numX - 1) * (numY - 1);
    const bool hasPassability = version >= kFirstVersionWithPassability;
    const uint64_t least = uint64_t(numLayers) * 4 + (numLayers > 0 ? (numLayers - 1) * cells : 0) +
                           samples * (kSampleSize + kOffsetSize) + (hasPassability ? cells * 4 : 0);
    if (least > reader.GetRemaining()) {
        Log(LogPriority::Error, "Terrain: the editor block of %u x %u samples and %u layers is cut short", numX, numY,
            numLayers);
        return false;
    }

    SetNumSamples(numX, numY);
    heights_.resize(samples);
    hidden_.assign(samples, 0);
    offsets_.resize(samples);
    passability_.assign(cells, 0);
    SetHeightField(HeightField(numX, numY, heights_.data(), hidden_.data(), 1, 1, 1));

    for (uint32_t i = 0; i < numLayers && !reader.Failed(); ++i) {
        const std::string name = ReadLayerName(reader);
        const uint8_t* opacity = nullptr;
        if (i > 0) {
            opacity = reader.GetCursor();
            if (!reader.Skip(uint32_t(cells))) break;
        }
        // A layer without a type is left out; its bytes were passed over all the same.
        if (name.empty() || !InternalAddLayer(name, opacity)) {
            Log(LogPriority::Warning, "Terrain: layer %u ('%s') has no terrain type and is left out", i, name.c_str());
        }
    }
    if (GetNumXSamples() > 1 && GetNumYSamples() > 1)
        UpdateVisibilityMap(DirtyRect(0, 0, int(numX - 1), int(numY - 1)));

    for (uint64_t i = 0; i < samples; ++i) {
        heights_[i] = reader.ReadFloat();
        reader.ReadUInt32();  // the hidden flag: tiles hide their samples again when they attach
    }
    for (Offset& offset : offsets_) {
        offset.baseHeight = reader.ReadFloat();
        offset.targetHeight = reader.ReadFloat();
        offset.blend = reader.ReadFloat();
    }
    if (hasPassability) {
        for (uint8_t& cell : passability_) cell = reader.ReadBool() ? 1 : 0;
    }
    if (reader.Failed()) {
        Log(LogPriority::Error, "Terrain: the editor block is cut short");
        Unload();
        return false;
    }
    HoldImpassableShader();
    InitializeBlocks(true);
    return true;
}

void Terrain::Save(BinaryWriter& writer) const {
    writer.Write(uint32_t(GetNumXSamples()));
    writer.Write(uint32_t(GetNumYSamples()));
    writer.Write(uint32_t(layers_.size()));
    for (size_t i = 0; i < layers_.size(); ++i) {
        const TerrainLayer& layer = layers_[i];
        writer.Write(layer.terrainType ? layer.terrainType->GetObjectName() : std::string());
        if (i > 0) writer.Write(layer.opacity.data(), uint32_t(layer.opacity.size()));
    }
    for (size_t i = 0; i < heights_.size(); ++i) {
        writer.Write(heights_[i]);
        writer.Write(hidden_[i] != 0);
    }
    for (const Offset& offset : offsets_) {
        writer.Write(offset.baseHeight);
        writer.Write(offset.targetHeight);
        writer.Write(offset.blend);
    }
    for (const uint8_t cell : passability_) writer.Write(cell != 0);
}

void Terrain::Write(BinaryWriter& writer, bool runTime) const {
    writer.Write(uint32_t(runTime ? Kind::RunTime : Kind::Editable));
    if (runTime) {
        SaveRunTimeFormat(writer);
    } else {
        Save(writer);
    }
}

}  // namespace GAME
