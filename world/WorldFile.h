#pragma once
// WorldFile: the editor's world file (".wrl") as read: its quest files, its region records, the
// regions' icon records and the instance groups, each kept as read for World::Load to apply.
// World::Save writes the file with Write.
//
// Layout (little-endian; strings are a u32 byte count and the bytes): "WRL", a signed version byte
// (kVersion written), then by version:
//   5 and later: chunks {u32 id, u32 size, payload} to the end of the data:
//     27 quest files: u32 count, the strings;
//     19 regions: u32 count, the region records (RegionRecord; the zone record from version 6);
//     21 region icons: one icon record per region in region order, no count (Region::SaveRegionIcon);
//     17 instance groups (InstanceGroupStore);
//     any other id is skipped.
//   below 5 (flat): from version 2 a string that is ignored; u32 region count; per region the
//     name, box centre and half size (6 f32), the offset as 3 f32 (truncated), and in version 3
//     only a u32 and a string that are ignored. No ids, zone records, quest files, icons or groups.
// Each chunk is read through a reader bounded to its payload; a chunk or record that runs past
// the data fails the read with the error logged, as do counts that the data cannot hold.

#include <cstdint>
#include <functional>
#include <string>

#include "core/Mem.h"
#include "world/RegionRecord.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;

class WorldFile {
public:
    static constexpr char kMagic[3] = {'W', 'R', 'L'};
    static constexpr int kVersion = 7;
    static constexpr uint32_t kChunkInstanceGroups = 17;
    static constexpr uint32_t kChunkRegions = 19;
    static constexpr uint32_t kChunkRegionIcons = 21;
    static constexpr uint32_t kChunkQuestFiles = 27;

    // False, with the error logged, for a wrong magic or a cut or damaged body; the file is then
    // unspecified.
    bool Read(BinaryReader& reader);
    // The current form, chunks in the order 27, 19, 21, 17. The icon and instance payloads are
    // written by the caller's functions, which see the writer inside their chunk.
    using PayloadWriter = std::function<void(BinaryWriter&)>;
    static void Write(BinaryWriter& writer, const mem::vector<std::string>& questFiles,
                      const mem::vector<RegionRecord>& regions, const PayloadWriter& writeIcons,
                      const PayloadWriter& writeInstances);

    const mem::vector<std::string>& GetQuestFiles() const { return questFiles_; }
    const mem::vector<RegionRecord>& GetRegions() const { return regions_; }
    // The payload of chunk 21; empty when there was none.
    const mem::vector<unsigned char>& GetIconData() const { return iconData_; }
    bool HasIconData() const { return hasIconData_; }
    // The payload of chunk 17; empty when there was none.
    const mem::vector<unsigned char>& GetInstanceData() const { return instanceData_; }

private:
    bool ReadChunks(BinaryReader& reader, int version);
    bool ReadFlat(BinaryReader& reader, int version);

    mem::vector<std::string> questFiles_;
    mem::vector<RegionRecord> regions_;
    mem::vector<unsigned char> iconData_;
    bool hasIconData_ = false;
    mem::vector<unsigned char> instanceData_;
};

}  // namespace GAME
