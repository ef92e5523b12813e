#include "world/SectorDataManager.h"

#include "core/Log.h"
#include "engine/Engine.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"

namespace GAME {

namespace {

// The block version each layer writes.
constexpr uint32_t kBlockVersions[SectorDataManager::kNumLayers] = {1, 2, 2, 1, 1, 1};
constexpr uint32_t kRecordVersion = 1;
// The smallest stored record: version, empty name, id, two colours.
constexpr uint32_t kMinRecordSize = 4 + 4 + 16 + 32;
constexpr uint32_t kBloomReservedBytes = 20;

bool IsLayer(int layer) { return layer >= 0 && layer < SectorDataManager::kNumLayers; }

void WriteColor(BinaryWriter& writer, const Color& color) {
    writer.Write(color.r);
    writer.Write(color.g);
    writer.Write(color.b);
    writer.Write(color.a);
}

Color ReadColor(BinaryReader& reader) {
    const float r = reader.ReadFloat();
    const float g = reader.ReadFloat();
    const float b = reader.ReadFloat();
    const float a = reader.ReadFloat();
    return Color(r, g, b, a);
}

std::unique_ptr<SectorData> MakeRecord(int layer) {
    switch (layer) {
    case SectorDataManager::kFog:
        return std::make_unique<FogSectorData>();
    case SectorDataManager::kName:
        return std::make_unique<NameSectorData>();
    case SectorDataManager::kAmbient:
        return std::make_unique<AmbientSectorData>();
    case SectorDataManager::kBoss:
        return std::make_unique<BossSectorData>();
    case SectorDataManager::kDayNightCycle:
        return std::make_unique<DayNightCycleSectorData>();
    case SectorDataManager::kBloom:
        return std::make_unique<BloomSectorData>();
    default:
        return nullptr;
    }
}

void WriteFogData(const FogSectorData& fog, BinaryWriter& writer) {
    for (const Color& color : fog.colors) WriteColor(writer, color);
    for (float value : fog.values) writer.Write(value);
    for (int32_t value : fog.integers) writer.Write(uint32_t(value));
}

void ReadFogData(FogSectorData& fog, BinaryReader& reader) {
    for (Color& color : fog.colors) color = ReadColor(reader);
    for (float& value : fog.values) value = reader.ReadFloat();
    for (int32_t& value : fog.integers) value = reader.ReadInt32();
}

void WriteNameData(const NameSectorData& name, BinaryWriter& writer) {
    writer.Write(name.tag);
    writer.Write(name.cinematic);
    writer.Write(name.firstVisitOnly);
}

void ReadNameData(NameSectorData& name, BinaryReader& reader, uint32_t blockVersion) {
    reader.ReadString(name.tag);
    name.cinematic = reader.ReadBool();
    if (blockVersion >= 2) name.firstVisitOnly = reader.ReadBool();
}

void WriteAmbientData(const AmbientSectorData& ambient, BinaryWriter& writer) {
    writer.Write(ambient.musicPlaylist);
    writer.Write(ambient.ambientSoundPlaylist);
    writer.Write(ambient.eventMusic);
}

void ReadAmbientData(AmbientSectorData& ambient, BinaryReader& reader, uint32_t blockVersion) {
    reader.ReadString(ambient.musicPlaylist);
    reader.ReadString(ambient.ambientSoundPlaylist);
    if (blockVersion >= 2) reader.ReadString(ambient.eventMusic);
}

void WriteBloomData(const BloomSectorData& bloom, BinaryWriter& writer) {
    for (float value : bloom.values) writer.Write(value);
    const unsigned char zeros[kBloomReservedBytes] = {};
    writer.Write(zeros, kBloomReservedBytes);
}

void ReadBloomData(BloomSectorData& bloom, BinaryReader& reader) {
    for (float& value : bloom.values) value = reader.ReadFloat();
    reader.Skip(kBloomReservedBytes);
}

}  // namespace

void SectorDataManager::Clear() {
    for (auto& set : sets_) set.clear();
}

int SectorDataManager::GetNumSectorData(int layer) const {
    return IsLayer(layer) ? int(sets_[size_t(layer)].size()) : 0;
}

SectorData* SectorDataManager::GetSectorData(int layer, const UniqueId& id) const {
    if (!IsLayer(layer)) return nullptr;
    for (const std::unique_ptr<SectorData>& record : sets_[size_t(layer)])
        if (record->id == id) return record.get();
    return nullptr;
}

Color SectorDataManager::GetRenderColorAlpha(int layer, const UniqueId& id) const {
    const SectorData* record = GetSectorData(layer, id);
    return record ? record->renderColorAlpha : Color(0, 0, 0, 0);
}

Color SectorDataManager::GetRenderColorOmega(int layer, const UniqueId& id) const {
    const SectorData* record = GetSectorData(layer, id);
    return record ? record->renderColorOmega : Color(0, 0, 0, 0);
}

SectorData* SectorDataManager::NewSectorData(int layer) {
    std::unique_ptr<SectorData> record = MakeRecord(layer);
    if (!record) return nullptr;
    modified_ = true;
    sets_[size_t(layer)].push_back(std::move(record));
    return sets_[size_t(layer)].back().get();
}

void SectorDataManager::SetSectorData(int layer, int index, const SectorData* record) {
    if (!record || index < 0 || index >= GetNumSectorData(layer)) return;
    SectorData* target = sets_[size_t(layer)][size_t(index)].get();
    switch (layer) {
    case kFog:
        *static_cast<FogSectorData*>(target) = *static_cast<const FogSectorData*>(record);
        break;
    case kName:
        *static_cast<NameSectorData*>(target) = *static_cast<const NameSectorData*>(record);
        break;
    case kAmbient:
        *static_cast<AmbientSectorData*>(target) = *static_cast<const AmbientSectorData*>(record);
        break;
    case kBoss:
        *static_cast<BossSectorData*>(target) = *static_cast<const BossSectorData*>(record);
        break;
    case kBloom:
        *static_cast<BloomSectorData*>(target) = *static_cast<const BloomSectorData*>(record);
        break;
    default:
        return;
    }
    modified_ = true;
}

void SectorDataManager::DeleteSectorData(int layer, int index) {
    if (index < 0 || index >= GetNumSectorData(layer)) return;
    sets_[size_t(layer)].erase(sets_[size_t(layer)].begin() + index);
    modified_ = true;
}

void SectorDataManager::WriteSectorData(const SectorData& record, BinaryWriter& writer) {
    writer.Write(kRecordVersion);
    writer.Write(record.name);
    writer.Write(record.id);
    WriteColor(writer, record.renderColorAlpha);
    WriteColor(writer, record.renderColorOmega);
}

void SectorDataManager::ReadSectorData(SectorData& record, BinaryReader& reader) {
    reader.ReadUInt32();  // the record version; every version reads alike
    reader.ReadString(record.name);
    record.id = reader.ReadUniqueId();
    record.renderColorAlpha = ReadColor(reader);
    record.renderColorOmega = ReadColor(reader);
}

void SectorDataManager::WriteBlock(int layer, BinaryWriter& writer) const {
    const mem::vector<std::unique_ptr<SectorData>>& set = sets_[size_t(layer)];
    writer.Write(kBlockVersions[layer]);
    writer.Write(uint32_t(set.size()));
    for (const std::unique_ptr<SectorData>& record : set) {
        WriteSectorData(*record, writer);
        switch (layer) {
        case kFog:
            WriteFogData(static_cast<const FogSectorData&>(*record), writer);
            break;
        case kName:
            WriteNameData(static_cast<const NameSectorData&>(*record), writer);
            break;
        case kAmbient:
            WriteAmbientData(static_cast<const AmbientSectorData&>(*record), writer);
            break;
        case kDayNightCycle:
            static_cast<const DayNightCycleSectorData&>(*record).GetDayNightCycle().Write(writer);
            break;
        case kBloom:
            WriteBloomData(static_cast<const BloomSectorData&>(*record), writer);
            break;
        default:
            break;
        }
    }
}

bool SectorDataManager::ReadBlock(int layer, BinaryReader& reader) {
    const uint32_t blockVersion = reader.ReadUInt32();
    const uint32_t count = reader.ReadUInt32();
    if (reader.Failed()) return false;
    const bool replaces = layer == kDayNightCycle || layer == kBloom;
    if (replaces && blockVersion != 1) {
        Log(LogPriority::Error, "Sector data: block %d has version %u; only version 1 is read", layer, blockVersion);
        return false;
    }
    if (uint64_t(count) * kMinRecordSize > reader.GetRemaining()) {
        Log(LogPriority::Error, "Sector data: %u records do not fit in block %d", count, layer);
        return false;
    }
    mem::vector<std::unique_ptr<SectorData>>& set = sets_[size_t(layer)];
    if (replaces) set.clear();
    for (uint32_t i = 0; i < count; ++i) {
        std::unique_ptr<SectorData> record = MakeRecord(layer);
        ReadSectorData(*record, reader);
        bool read = true;
        switch (layer) {
        case kFog:
            ReadFogData(static_cast<FogSectorData&>(*record), reader);
            break;
        case kName:
            ReadNameData(static_cast<NameSectorData&>(*record), reader, blockVersion);
            break;
        case kAmbient:
            ReadAmbientData(static_cast<AmbientSectorData&>(*record), reader, blockVersion);
            break;
        case kDayNightCycle:
            read = static_cast<DayNightCycleSectorData&>(*record).GetDayNightCycle().Read(reader);
            break;
        case kBloom:
            ReadBloomData(static_cast<BloomSectorData&>(*record), reader);
            break;
        default:
            break;
        }
        if (!read || reader.Failed()) {
            Log(LogPriority::Error, "Sector data: record %u of block %d is damaged", i, layer);
            return false;
        }
        set.push_back(std::move(record));
    }
    return true;
}

void SectorDataManager::Save(BinaryWriter& writer) const {
    writer.Write(kFileVersion);
    writer.Write(uint32_t(kNumLayers));
    for (int layer = 0; layer < kNumLayers; ++layer) WriteBlock(layer, writer);
}

bool SectorDataManager::Load(BinaryReader& reader) {
    const uint32_t version = reader.ReadUInt32();
    if (reader.Failed() || (version != 1 && version != 2)) {
        Log(LogPriority::Error, "Sector data: file version %u is not supported", version);
        return false;
    }
    const uint32_t blocks = reader.ReadUInt32();
    for (uint32_t layer = 0; layer < blocks && layer < kNumLayers; ++layer) {
        if (!ReadBlock(int(layer), reader)) return false;
    }
    if (reader.Failed()) {
        Log(LogPriority::Error, "Sector data: the file is cut short");
        return false;
    }
    modified_ = false;
    return true;
}

bool SectorDataManager::Save(const char* path) const {
    BinaryWriter writer(1024);
    Save(writer);
    FileSystem* files = gEngine ? gEngine->GetFileSystem() : nullptr;
    if (writer.Failed() || !files || !files->SaveFile(path, writer.GetBuffer(), writer.GetPosition())) {
        Log(LogPriority::Error, "Could not write %s", path);
        return false;
    }
    return true;
}

bool SectorDataManager::Load(const char* path) {
    FileSystem* files = gEngine ? gEngine->GetFileSystem() : nullptr;
    File* file = files ? files->OpenFile(path, FileMode::Read) : nullptr;
    if (!file) return false;
    const uint32_t size = file->GetLength();
    // A reader over no data (an empty file) reads nothing.
    BinaryReader reader(size ? file->Lock() : nullptr, size);
    const bool loaded = Load(reader);
    file->Unlock();
    files->CloseFile(file);
    return loaded;
}

}  // namespace GAME
