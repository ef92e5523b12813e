// Fuzzes the map file reader: the input is a map file image, loaded by the world from a temporary
// directory with a host callback installed for chunk 40. Whatever loads must hold together: every
// region's level data and mini-map lie inside the file, every spawn point is in a region of the
// world, and each region is found by its id.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/Engine.h"
#include "engine/MapChunkCallback.h"
#include "files/BinaryReader.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "world/Region.h"
#include "world/World.h"

namespace {

class ReadAll : public GAME::MapChunkCallback {
public:
    ReadAll() : MapChunkCallback(40) {}
    void ReadChunk(GAME::BinaryReader& reader) override { reader.Skip(reader.GetRemaining() + 1); }
};

class FuzzEngine : public GAME::Engine {
public:
    explicit FuzzEngine(GAME::FileSystem* files) { UseFileSystem(files); }
};

struct Harness {
    Harness() {
        std::string path = "/tmp/fuzz_map_XXXXXX";
        if (!mkdtemp(path.data())) std::abort();
        directory = path;
        if (!files.AddDirectory(directory, true)) std::abort();
        engine.InstallMapChunkCallback(new ReadAll);
    }
    ~Harness() { std::filesystem::remove_all(directory); }

    std::string directory;
    GAME::FileSystem files;
    FuzzEngine engine{&files};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    if (size > 0x100000) return 0;
    if (!harness.files.SaveFile("fuzz.map", data, static_cast<uint32_t>(size))) std::abort();
    GAME::World& world = *harness.engine.GetWorld();
    if (world.Load("fuzz.map", true, false)) {
        GAME::File* file = world.LockMapFile();
        const uint32_t length = file ? file->GetLength() : 0;
        world.UnlockMapFile();
        for (int i = 0; i < world.GetNumRegions(); ++i) {
            GAME::Region* region = world.GetRegion(i);
            if (region->GetLevelDataSize() > length || region->GetLevelDataPosition() > length - region->GetLevelDataSize())
                std::abort();
            if (region->GetMinimapSize() > length || region->GetMinimapPosition() > length - region->GetMinimapSize())
                std::abort();
            if (world.GetRegionById(region->GetId()) == nullptr) std::abort();
        }
        for (unsigned i = 0; i < world.GetNumPlayerSpawnPoints(); ++i) {
            if (world.GetRegionIndex(world.GetPlayerSpawnPoint(i).GetRegion()) < 0) std::abort();
        }
    } else if (world.GetNumRegions() != 0) {
        std::abort();
    }
    world.Unload();
    return 0;
}
