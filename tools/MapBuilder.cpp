#include "MapBuilder.h"

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFile.h"

namespace GAME {

bool MapBuilder::ReadFile(const std::string& name, mem::vector<unsigned char>& out) const {
    File* file = files_.OpenFile(name, FileMode::Read);
    if (!file) return false;
    const uint32_t length = file->GetLength();
    const auto* bytes = static_cast<const unsigned char*>(length ? file->Lock() : nullptr);
    const bool read = length == 0 || bytes != nullptr;
    if (bytes) out.assign(bytes, bytes + length);
    file->Unlock();
    files_.CloseFile(file);
    return read;
}

bool MapBuilder::ReadWorld(const std::string& worldFile) {
    contents_ = MapFile::Contents();
    mem::vector<unsigned char> bytes;
    if (!ReadFile(worldFile, bytes)) {
        Log(LogPriority::Error, "MapBuilder: cannot read %s", worldFile.c_str());
        return false;
    }
    BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
    WorldFile world;
    if (!world.Read(reader)) return false;

    mem::vector<unsigned char> sectors;
    sectorData_.Clear();
    if (ReadFile(World::GetSectorDataFileName(worldFile), sectors)) {
        BinaryReader sectorReader(sectors.data(), uint32_t(sectors.size()));
        if (!sectorData_.Load(sectorReader)) return false;
    }
    contents_.sectorData = &sectorData_;
    contents_.questFiles = world.GetQuestFiles();
    contents_.instanceData = world.GetInstanceData();
    for (const RegionRecord& record : world.GetRegions()) {
        MapFile::Region region{record, {}, {}};
        if (!ReadFile(record.name, region.level))
            Log(LogPriority::Warning, "MapBuilder: region %s has no level file", record.name.c_str());
        ReadFile(Region::GetMapDataFileName(record.name), region.minimap);  // none until the map data is built
        contents_.regions.push_back(std::move(region));
    }
    return true;
}

bool MapBuilder::Write(const std::string& mapFile) const {
    BinaryWriter writer(World::kSaveBufferSize);
    MapFile::Write(writer, contents_);
    if (writer.Failed() || !files_.SaveFile(mapFile, writer.GetBuffer(), writer.GetPosition())) {
        Log(LogPriority::Error, "MapBuilder: cannot write %s", mapFile.c_str());
        return false;
    }
    return true;
}

}  // namespace GAME
