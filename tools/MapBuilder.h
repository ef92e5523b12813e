#pragma once
// MapBuilder: compiles a world file (".wrl"), the sector data beside it and the level files of
// its regions into the map file the game loads (MapFile), with the engine's own reader and writer.
// A region's level file is the file its name gives (relative to the file system's roots); a
// region whose level file is missing goes into the map without level data, with a warning. A
// region's mini-map is the picture its map data rebuild saved (Region::GetMapDataFileName); a
// region without one has none.
// Region boxes are stored in the map as whole numbers.

#include <string>

#include "core/Mem.h"
#include "world/MapFile.h"
#include "world/SectorDataManager.h"

namespace GAME {

class FileSystem;

class MapBuilder {
public:
    explicit MapBuilder(FileSystem& files) : files_(files) {}

    // Reads the world; false, with the error logged, when the world file, its sector data or a
    // level file cannot be read.
    bool ReadWorld(const std::string& worldFile);
    // Spawn points go into the map as given (region index into the world's regions).
    void AddSpawnPoint(uint32_t region, const Vec3& position) { contents_.spawnPoints.push_back({region, position}); }
    // Writes the map file atomically; false, with the error logged, when it cannot.
    bool Write(const std::string& mapFile) const;

    const MapFile::Contents& GetContents() const { return contents_; }

private:
    // The whole file; false when it cannot be opened (missing is not an error for optional files).
    bool ReadFile(const std::string& name, mem::vector<unsigned char>& out) const;

    FileSystem& files_;
    MapFile::Contents contents_;
    SectorDataManager sectorData_;
};

}  // namespace GAME
