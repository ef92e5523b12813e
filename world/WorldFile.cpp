#include "world/WorldFile.h"

#include <cmath>
#include <cstring>

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

namespace {

// The smallest stored region record (empty name, no zone record): a count above what the data
// could hold is damage, not a reason to allocate.
constexpr uint32_t kMinRegionRecordSize = 4 + 24 + 12 + 16;
constexpr uint32_t kMinFlatRegionSize = 4 + 24 + 12;

bool Fail(const char* what) {
    Log(LogPriority::Error, "World file: %s", what);
    return false;
}

bool ReadStrings(BinaryReader& reader, mem::vector<std::string>& out) {
    const uint32_t count = reader.ReadUInt32();
    if (reader.Failed() || count > reader.GetRemaining() / 4) return Fail("quest file list cut short");
    out.resize(count);
    for (std::string& string : out) {
        if (!reader.ReadString(string)) return Fail("quest file list cut short");
    }
    return true;
}

mem::vector<unsigned char> CopyRest(BinaryReader& reader) {
    return mem::vector<unsigned char>(reader.GetCursor(), reader.GetCursor() + reader.GetRemaining());
}

}  // namespace

bool WorldFile::Read(BinaryReader& reader) {
    char magic[3] = {};
    reader.ReadBytes(magic, 3);
    const int version = int8_t(reader.ReadUInt8());
    if (reader.Failed() || std::memcmp(magic, kMagic, 3) != 0) return Fail("not a world file");
    return version >= 5 ? ReadChunks(reader, version) : ReadFlat(reader, version);
}

bool WorldFile::ReadChunks(BinaryReader& reader, int version) {
    while (!reader.IsAtEnd()) {
        const uint32_t id = reader.ReadUInt32();
        const uint32_t size = reader.ReadUInt32();
        if (reader.Failed() || size > reader.GetRemaining()) return Fail("chunk runs past the end of the file");
        BinaryReader chunk = reader.ReadBlock(size);
        switch (id) {
            case kChunkInstanceGroups:
                instanceData_ = CopyRest(chunk);
                break;
            case kChunkRegions: {
                const uint32_t count = chunk.ReadUInt32();
                if (chunk.Failed() || count > chunk.GetRemaining() / kMinRegionRecordSize)
                    return Fail("region count larger than its chunk");
                regions_.resize(count);
                for (RegionRecord& region : regions_) {
                    if (!region.Read(chunk, version >= 6)) return false;
                }
                break;
            }
            case kChunkRegionIcons:
                iconData_ = CopyRest(chunk);
                hasIconData_ = true;
                break;
            case kChunkQuestFiles:
                if (!ReadStrings(chunk, questFiles_)) return false;
                break;
            default:
                break;
        }
    }
    return true;
}

bool WorldFile::ReadFlat(BinaryReader& reader, int version) {
    std::string ignored;
    if (version >= 2 && !reader.ReadString(ignored)) return Fail("header cut short");
    const uint32_t count = reader.ReadUInt32();
    if (reader.Failed() || count > reader.GetRemaining() / kMinFlatRegionSize) return Fail("region count larger than the file");
    regions_.resize(count);
    for (RegionRecord& region : regions_) {
        reader.ReadString(region.name);
        region.box.centre = reader.ReadVec3();
        region.box.halfSize = reader.ReadVec3();
        const Vec3 offset = reader.ReadVec3();
        if (!offset.IsValid() || std::fabs(offset.x) > 2e9f || std::fabs(offset.y) > 2e9f || std::fabs(offset.z) > 2e9f)
            return Fail("region offset out of range");
        region.offset = IntVec3(int(offset.x), int(offset.y), int(offset.z));
        if (version == 3) {
            reader.ReadUInt32();
            reader.ReadString(ignored);
        }
        if (reader.Failed()) return Fail("region record cut short");
    }
    return true;
}

void WorldFile::Write(BinaryWriter& writer, const mem::vector<std::string>& questFiles,
                      const mem::vector<RegionRecord>& regions, const PayloadWriter& writeIcons,
                      const PayloadWriter& writeInstances) {
    writer.Write(kMagic, 3);
    writer.Write(static_cast<unsigned char>(kVersion));
    writer.BeginChunk(kChunkQuestFiles);
    writer.Write(static_cast<unsigned int>(questFiles.size()));
    for (const std::string& file : questFiles) writer.Write(file);
    writer.EndChunk();
    writer.BeginChunk(kChunkRegions);
    writer.Write(static_cast<unsigned int>(regions.size()));
    for (const RegionRecord& region : regions) region.Write(writer);
    writer.EndChunk();
    writer.BeginChunk(kChunkRegionIcons);
    writeIcons(writer);
    writer.EndChunk();
    writer.BeginChunk(kChunkInstanceGroups);
    writeInstances(writer);
    writer.EndChunk();
}

}  // namespace GAME
