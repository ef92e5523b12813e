// The map file's writer (MapFile) and its reader (World::LoadMap), side by side.

#include "world/MapFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/Log.h"
#include "engine/Engine.h"
#include "engine/MapChunkCallback.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "world/InstanceGroupStore.h"
#include "world/Region.h"
#include "world/SectorDataManager.h"
#include "world/World.h"
#include "world/WorldFile.h"

namespace GAME {

namespace {

// Stored region entries are at least this long (empty strings): counts the chunk cannot hold are
// damage.
constexpr uint32_t kMinRegionEntrySize = 24 + 12 + 16 + 4 + 8;
constexpr uint32_t kSpawnEntrySize = 16;
constexpr uint32_t kMinimapEntrySize = 8;

int32_t StoredInt(float value) { return int32_t(std::lround(value)); }

// Where the level files and mini-map images lie in the file (0: none).
struct MapLayout {
    mem::vector<uint32_t> levels;
    mem::vector<uint32_t> minimaps;
};

void WriteChunkArea(BinaryWriter& area, const MapFile::Contents& contents, const MapLayout& layout) {
    area.BeginChunk(MapFile::kChunkQuestFiles);
    area.Write(static_cast<unsigned int>(contents.questFiles.size()));
    for (const std::string& file : contents.questFiles) area.Write(file);
    area.EndChunk();
    area.BeginChunk(MapFile::kChunkRegions);
    area.Write(static_cast<int>(contents.regions.size()));
    for (size_t i = 0; i < contents.regions.size(); ++i) {
        const RegionRecord& record = contents.regions[i].record;
        for (const Vec3& v : {record.box.centre, record.box.halfSize}) {
            area.Write(StoredInt(v.x));
            area.Write(StoredInt(v.y));
            area.Write(StoredInt(v.z));
        }
        area.Write(record.offset.x);
        area.Write(record.offset.y);
        area.Write(record.offset.z);
        record.id.Write(area);
        area.Write(record.zoneRecord);
        area.Write(record.name);
        area.Write(static_cast<unsigned int>(layout.levels[i]));
        area.Write(static_cast<unsigned int>(contents.regions[i].level.size()));
    }
    area.EndChunk();
    area.BeginChunk(MapFile::kChunkSpawnPoints);
    area.Write(static_cast<int>(contents.spawnPoints.size()));
    for (const MapFile::SpawnPoint& point : contents.spawnPoints) {
        area.Write(static_cast<unsigned int>(point.region));
        area.Write(point.position);
    }
    area.EndChunk();
    if (contents.sectorData) {
        area.BeginChunk(MapFile::kChunkSectorData);
        contents.sectorData->Save(area);
        area.EndChunk();
    }
    if (!contents.instanceData.empty()) {
        area.BeginChunk(MapFile::kChunkInstanceGroups);
        area.Write(contents.instanceData.data(), uint32_t(contents.instanceData.size()));
        area.EndChunk();
    }
    if (std::any_of(contents.regions.begin(), contents.regions.end(),
                    [](const MapFile::Region& region) { return !region.minimap.empty(); })) {
        area.BeginChunk(MapFile::kChunkMinimapIndex);
        area.Write(0u);
        area.Write(static_cast<unsigned int>(contents.regions.size()));
        for (size_t i = 0; i < contents.regions.size(); ++i) {
            area.Write(static_cast<unsigned int>(layout.minimaps[i]));
            area.Write(static_cast<unsigned int>(contents.regions[i].minimap.size()));
        }
        area.EndChunk();
    }
    for (const auto& [id, payload] : contents.extraChunks) {
        area.BeginChunk(id);
        if (!payload.empty()) area.Write(payload.data(), uint32_t(payload.size()));
        area.EndChunk();
    }
}

}  // namespace

void MapFile::Write(BinaryWriter& writer, const Contents& contents) {
    // The entries' sizes do not depend on the positions they hold: measure the area once, then
    // write it with the level files' positions after it.
    MapLayout layout{mem::vector<uint32_t>(contents.regions.size(), 0), mem::vector<uint32_t>(contents.regions.size(), 0)};
    BinaryWriter measure;
    WriteChunkArea(measure, contents, layout);
    uint32_t position = kHeaderSize + measure.GetPosition();
    // The level files, then the mini-map images.
    for (mem::vector<unsigned char> Region::*part : {&Region::level, &Region::minimap}) {
        mem::vector<uint32_t>& positions = part == &Region::level ? layout.levels : layout.minimaps;
        for (size_t i = 0; i < contents.regions.size(); ++i) {
            const mem::vector<unsigned char>& bytes = contents.regions[i].*part;
            positions[i] = bytes.empty() ? 0 : position;
            position += uint32_t(bytes.size());
        }
    }
    BinaryWriter area;
    WriteChunkArea(area, contents, layout);
    writer.Write(kMagic, 3);
    writer.Write(static_cast<unsigned char>(kVersion));
    writer.Write(static_cast<unsigned int>(area.GetPosition()));
    writer.Write(area.GetBuffer(), area.GetPosition());
    for (mem::vector<unsigned char> Region::*part : {&Region::level, &Region::minimap}) {
        for (const Region& region : contents.regions) {
            const mem::vector<unsigned char>& bytes = region.*part;
            if (!bytes.empty()) writer.Write(bytes.data(), uint32_t(bytes.size()));
        }
    }
}

// The reader.

namespace {

struct MapRegionEntry {
    RegionRecord record;
    uint32_t levelPosition = 0;
    uint32_t levelSize = 0;
};

bool ReadRegionEntry(BinaryReader& reader, int version, MapRegionEntry& entry) {
    Vec3* fields[2] = {&entry.record.box.centre, &entry.record.box.halfSize};
    for (Vec3* field : fields) {
        field->x = float(reader.ReadInt32());
        field->y = float(reader.ReadInt32());
        field->z = float(reader.ReadInt32());
    }
    entry.record.offset.x = reader.ReadInt32();
    entry.record.offset.y = reader.ReadInt32();
    entry.record.offset.z = reader.ReadInt32();
    entry.record.id.Read(reader);
    if (version >= 5) reader.ReadString(entry.record.zoneRecord);
    reader.ReadString(entry.record.name);
    entry.levelPosition = reader.ReadUInt32();
    entry.levelSize = reader.ReadUInt32();
    return !reader.Failed();
}

bool MapError(const std::string& fileName, const char* what) {
    Log(LogPriority::Error, "Map file %s: %s", fileName.c_str(), what);
    return false;
}

}  // namespace

bool World::IsValidWorldFile(const char* header) { return std::memcmp(header, WorldFile::kMagic, 3) == 0; }

bool World::IsValidMapFile(const char* header, bool strict) {
    return std::memcmp(header, MapFile::kMagic, 3) == 0 &&
           int8_t(header[3]) >= (strict ? 6 : GetCV1MapFileVersionNumber());
}

bool World::InstallMapChunkCallback(MapChunkCallback* callback) {
    return gEngine && gEngine->InstallMapChunkCallback(callback);
}

bool World::LoadMap() {
    if (!mapFile_) return false;
    const uint32_t length = mapFile_->GetLength();
    const auto* header = static_cast<const unsigned char*>(mapFile_->Lock(0, MapFile::kHeaderSize));
    if (!header) return MapError(fileName_, "shorter than its header");
    const int version = int8_t(header[3]);
    uint32_t areaSize = 0;
    std::memcpy(&areaSize, header + 4, 4);
    const bool headerGood = std::memcmp(header, MapFile::kMagic, 3) == 0 && version >= MapFile::kOldestVersion;
    mapFile_->Unlock();
    if (!headerGood) return MapError(fileName_, "not a map file, or of a version too old");
    if (areaSize > length - MapFile::kHeaderSize)
        return MapError(fileName_, "chunk area runs past the end of the file");
    const void* area = mapFile_->Lock(MapFile::kHeaderSize, areaSize);
    if (!area && areaSize != 0) return MapError(fileName_, "chunk area cannot be read");
    BinaryReader reader(area, areaSize);
    mem::vector<MapFile::SpawnPoint> spawns;
    mem::vector<std::pair<uint32_t, uint32_t>> minimaps;
    bool good = true;
    while (good && !reader.IsAtEnd()) {
        const uint32_t id = reader.ReadUInt32();
        const uint32_t size = reader.ReadUInt32();
        if (reader.Failed() || size > reader.GetRemaining()) {
            good = MapError(fileName_, "chunk runs past the chunk area");
            break;
        }
        BinaryReader chunk = reader.ReadBlock(size);
        switch (id) {
            case MapFile::kChunkSectorData:
                if (gEngine && !gEngine->GetSectorDataManager()->Load(chunk))
                    good = MapError(fileName_, "damaged sector data");
                break;
            case MapFile::kChunkQuestFiles: {
                const uint32_t count = chunk.ReadUInt32();
                if (chunk.Failed() || count > chunk.GetRemaining() / 4) {
                    good = MapError(fileName_, "quest file list larger than its chunk");
                    break;
                }
                questFiles_.assign(count, std::string());
                // A string too long or past the chunk leaves it and the rest of the list empty.
                for (std::string& file : questFiles_) {
                    if (!chunk.ReadString(file)) break;
                }
                break;
            }
            case MapFile::kChunkSpawnPoints: {
                const int32_t count = chunk.ReadInt32();
                if (chunk.Failed() || count < 0 || uint32_t(count) > chunk.GetRemaining() / kSpawnEntrySize) {
                    good = MapError(fileName_, "spawn point list larger than its chunk");
                    break;
                }
                for (int32_t i = 0; i < count; ++i) {
                    MapFile::SpawnPoint point;
                    point.region = chunk.ReadUInt32();
                    point.position = chunk.ReadVec3();
                    spawns.push_back(point);
                }
                break;
            }
            case MapFile::kChunkOldMinimap:
                Log(LogPriority::Warning,
                    "Map file is using old mini-map data format. Mini-map will not be loaded, please rebuild the .wrl file.");
                break;
            case MapFile::kChunkMinimapIndex: {
                chunk.ReadUInt32();
                const uint32_t count = chunk.ReadUInt32();
                if (chunk.Failed() || count > chunk.GetRemaining() / kMinimapEntrySize) {
                    good = MapError(fileName_, "mini-map index larger than its chunk");
                    break;
                }
                minimaps.clear();
                for (uint32_t i = 0; i < count; ++i) {
                    const uint32_t position = chunk.ReadUInt32();
                    minimaps.emplace_back(position, chunk.ReadUInt32());
                }
                break;
            }
            case MapFile::kChunkRegions: {
                const int32_t count = chunk.ReadInt32();
                if (chunk.Failed() || count < 0 || uint32_t(count) > chunk.GetRemaining() / kMinRegionEntrySize) {
                    good = MapError(fileName_, "region count larger than its chunk");
                    break;
                }
                ClearRegions();
                for (int32_t i = 0; i < count && good; ++i) {
                    MapRegionEntry entry;
                    if (!ReadRegionEntry(chunk, version, entry)) {
                        good = MapError(fileName_, "region entry cut short");
                    } else if (entry.levelSize > length || entry.levelPosition > length - entry.levelSize) {
                        good = MapError(fileName_, "region's level data lies past the end of the file");
                    } else {
                        Region* region = GetRegion(AddRegion(entry.record.name, entry.record.offset, entry.record.box,
                                                             entry.record.id));
                        region->SetZoneRecord(entry.record.zoneRecord);
                        region->SetLevelData(entry.levelPosition, entry.levelSize);
                    }
                }
                regionsLoaded_ = good;
                break;
            }
            case MapFile::kChunkInstanceGroups:
                if (size > 0 && !LoadInstanceGroups(chunk)) good = MapError(fileName_, "damaged instance groups");
                break;
            default: {
                if (!gEngine) break;
                const auto& callbacks = gEngine->GetChunkCallbackMap();
                const auto found = callbacks.find(id);
                if (found == callbacks.end()) break;
                found->second->ReadChunk(chunk);
                if (!chunk.IsAtEnd() || chunk.Failed())
                    Log(LogPriority::Warning, "Map chunk %u: its reader did not read its %u bytes exactly", id, size);
                break;
            }
        }
    }
    mapFile_->Unlock();
    if (!good) return false;

    CreateWorldBox();
    if (minimaps.size() == regions_.size()) {
        for (size_t i = 0; i < regions_.size(); ++i) {
            const auto [position, size] = minimaps[i];
            if (size <= length && position <= length - size) regions_[i]->SetMinimapData(position, size);
        }
    }
    for (const MapFile::SpawnPoint& spawn : spawns) {
        Region* region = GetRegion(int(std::min<uint32_t>(spawn.region, uint32_t(INT32_MAX))));
        if (!region) {
            Log(LogPriority::Warning, "Map file: spawn point in region %u, which the map does not have", spawn.region);
            continue;
        }
        spawnPoints_.push_back(WorldCoords(region, Coords::Translation(spawn.position)));
    }
    return true;
}

}  // namespace GAME
