#pragma once
// MapFile: the compiled world the game loads, written by the map builder (MapFile::Write) and read
// by World::LoadMap (MapFile.cpp, beside the writer).
//
// Layout (little-endian; strings are a u32 byte count and the bytes): "MAP", a signed version byte
// (kVersion written; World::Load takes 5 and later, 6 and later when strict, and LoadMap 4 and
// later), u32 N, the chunk area of N bytes (chunks {u32 id, u32 size, payload}), then the level
// files of the regions and their mini-map images at the absolute positions the chunks give:
//   1  regions: i32 count, then per region: box centre and half size (6 i32), offset (3 i32),
//      RegionId (4 u32), from version 5 the zone record (string), the name (string), the level
//      file's position and size (2 u32);
//   16 spawn points: i32 count, then per point u32 region index and x, y, z (3 f32);
//   17 instance groups (InstanceGroupStore; ignored when empty);
//   22 an old mini-map form: skipped with a warning;
//   24 sector data (SectorDataManager's stream);
//   25 mini-map index: u32 (ignored), u32 count, then per region u32 position and u32 size
//      (written when any region has an image; the images follow the level files);
//   27 quest files: u32 count, the strings;
//   any other id goes to the host's MapChunkCallback for it, or is skipped.
// Every chunk is read through a reader bounded to its payload, and the walk continues at the next
// chunk whatever the chunk's reader consumed. Positions 0 mean "no data" (the header is there).

#include <cstdint>
#include <string>
#include <utility>

#include "core/Mem.h"
#include "core/Vec3.h"
#include "world/RegionRecord.h"

namespace GAME {

class BinaryWriter;
class SectorDataManager;

class MapFile {
public:
    static constexpr char kMagic[3] = {'M', 'A', 'P'};
    static constexpr int kVersion = 6;
    static constexpr int kOldestVersion = 4;
    static constexpr uint32_t kHeaderSize = 8;
    static constexpr uint32_t kChunkRegions = 1;
    static constexpr uint32_t kChunkSpawnPoints = 16;
    static constexpr uint32_t kChunkInstanceGroups = 17;
    static constexpr uint32_t kChunkOldMinimap = 22;
    static constexpr uint32_t kChunkSectorData = 24;
    static constexpr uint32_t kChunkMinimapIndex = 25;
    static constexpr uint32_t kChunkQuestFiles = 27;

    // What the writer lays out.
    struct Region {
        RegionRecord record;                // box stored as whole numbers (rounded)
        mem::vector<unsigned char> level;   // the region's level file
        mem::vector<unsigned char> minimap; // its mini-map image (an image file); none when empty
    };
    struct SpawnPoint {
        uint32_t region = 0;  // index into the regions
        Vec3 position;        // in that region's space
    };
    struct Contents {
        mem::vector<Region> regions;
        mem::vector<SpawnPoint> spawnPoints;
        mem::vector<std::string> questFiles;
        mem::vector<unsigned char> instanceData;     // chunk 17's payload; none when empty
        const SectorDataManager* sectorData = nullptr;  // chunk 24; none when null
        // Chunks for the host's callbacks: id and payload.
        mem::vector<std::pair<uint32_t, mem::vector<unsigned char>>> extraChunks;
    };

    // The whole file image.
    static void Write(BinaryWriter& writer, const Contents& contents);
};

}  // namespace GAME
