#include "world/WorldFile.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <tuple>

#include "LevelFixture.h"
#include "core/EventManager.h"
#include "core/GameEvent.h"
#include "core/Singleton.h"
#include "engine/MapChunkCallback.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "pathing/PathFinder.h"
#include "support/FileSizeLimit.h"
#include "support/KilledSave.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "world/Level.h"
#include "world/MapFile.h"
#include "world/Region.h"
#include "world/SectorDataManager.h"
#include "world/World.h"

#include <gtest/gtest.h>

namespace GAME {
namespace {

using Bytes = mem::vector<unsigned char>;

// An engine that reads and writes the test's directory.
class FileEngine : public test::LevelTestEngine {
public:
    explicit FileEngine(FileSystem* files) { UseFileSystem(files); }
};

// Keeps what it was handed but the last byte.
class RecordingCallback : public MapChunkCallback {
public:
    RecordingCallback(unsigned id, Bytes* out) : MapChunkCallback(id), out_(out) {}
    void ReadChunk(BinaryReader& reader) override {
        out_->resize(reader.GetRemaining() - 1);
        reader.ReadBytes(out_->data(), uint32_t(out_->size()));
    }

private:
    Bytes* out_;
};

Bytes Image(const BinaryWriter& writer) { return Bytes(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()); }

class WorldFileTest : public ::testing::Test {
protected:
    WorldFileTest() { files.AddDirectory(directory.GetPath(), true); }
    ~WorldFileTest() override {
        world.Unload();
        test::LevelRecords::Flush();
        Singleton<PathFinder>::Destroy();
    }
    void Write(const std::string& name, const Bytes& bytes) {
        ASSERT_TRUE(files.SaveFile(name, bytes.data(), uint32_t(bytes.size())));
    }
    // A level file with one entity.
    Bytes LevelImage(Region* region) {
        Level level(region);
        level.NewSpace(Vec2(50, 50));
        level.AddEntity(test::LevelRecords::Make(test::kPlainRecord), Coords::Translation(Vec3(3, 0, 4)));
        BinaryWriter writer;
        level.Save(writer, true);
        level.DestroyAllEntities(-1);
        return Image(writer);
    }
    MapFile::Contents SmallMap() {
        MapFile::Contents map;
        for (int i = 0; i < 2; ++i) {
            MapFile::Region region;
            region.record = RegionRecord{"region" + std::to_string(i), i ? "records/zone.dbr" : "",
                                         ABBox(Vec3(64, 0, 64), Vec3(64, 32, 64)), IntVec3(200 * i, 0, -50),
                                         RegionId(1, 2, 3, uint32_t(i + 4))};
            region.level = LevelImage(nullptr);
            map.regions.push_back(std::move(region));
        }
        map.spawnPoints = {{1, Vec3(1, 2, 3)}, {7, Vec3()}, {0, Vec3(4, 5, 6)}};
        map.questFiles = {"quests/a.qst", "quests/b.qst"};
        map.sectorData = engine.GetSectorDataManager();
        map.extraChunks = {{40, Bytes{9, 8, 7}}, {41, Bytes{1, 2}}};
        return map;
    }

    test::TempDirectory directory;
    FileSystem files;
    FileEngine engine{&files};
    test::LevelRecords records;
    World world;
};

// The world file and its sector data are one save: when either cannot be written (here the disk
// fills up), the pair on the disk is the one saved before.
TEST_F(WorldFileTest, AWorldAndItsSectorDataAreSavedTogetherOrNotAtAll) {
    world.AddRegion("a", IntVec3(), ABBox(Vec3(), Vec3(9, 9, 9)), RegionId(1, 1, 1, 1));
    world.SetFileName("worlds/pair.wrl");
    ASSERT_TRUE(world.Save());
    const std::string savedWorld = directory.ReadFile("worlds/pair.wrl");
    const std::string savedSectors = directory.ReadFile("worlds/pair.sd");
    ASSERT_FALSE(savedSectors.empty());

    // A world file larger than the disk's room after the sector data: the sector data goes back.
    world.SetNumQuestFiles(1);
    world.SetQuestFile(0, std::string(8192, 'q'));
    engine.GetSectorDataManager()->NewSectorData(0);
    {
        test::FileSizeLimit fullDisk(4096);
        test::LogCapture log;
        EXPECT_FALSE(world.Save());
    }
    EXPECT_EQ(directory.ReadFile("worlds/pair.wrl"), savedWorld);
    EXPECT_EQ(directory.ReadFile("worlds/pair.sd"), savedSectors);
    EXPECT_EQ(directory.List("worlds"), (std::vector<std::string>{"pair.sd", "pair.wrl"}));

    // Sector data that does not fit: the world file is not written either.
    world.SetQuestFile(0, "quests/short.qst");
    for (int i = 0; i < 200; ++i) engine.GetSectorDataManager()->NewSectorData(i % 4);
    {
        test::FileSizeLimit fullDisk(savedWorld.size() + 64);  // room for the world file, not for the sectors
        test::LogCapture log;
        EXPECT_FALSE(world.Save());
    }
    EXPECT_EQ(directory.ReadFile("worlds/pair.wrl"), savedWorld);
    EXPECT_EQ(directory.ReadFile("worlds/pair.sd"), savedSectors);

    ASSERT_TRUE(world.Save());
    EXPECT_NE(directory.ReadFile("worlds/pair.wrl"), savedWorld);
    EXPECT_NE(directory.ReadFile("worlds/pair.sd"), savedSectors);
}

// Killed after any step of its save, a world is loaded as the pair saved before it or, once the
// save was decided, as the new pair: never new sector data beside the old world file.
TEST_F(WorldFileTest, AWorldSaveKilledAtAnyStepLoadsAsTheOldPairOrTheNewOne) {
    SectorDataManager& sectors = *engine.GetSectorDataManager();
    world.AddRegion("a", IntVec3(), ABBox(Vec3(), Vec3(9, 9, 9)), RegionId(1, 1, 1, 1));
    sectors.NewSectorData(SectorDataManager::kFog);
    world.SetFileName("worlds/pair.wrl");
    ASSERT_TRUE(world.Save());
    for (int kill = 0;; ++kill) {
        SCOPED_TRACE(kill);
        const test::KilledSaveEnd end = test::SaveKilledAfterStep(kill, [&] {
            world.AddRegion("b", IntVec3(100, 0, 0), ABBox(Vec3(), Vec3(9, 9, 9)), RegionId(2, 2, 2, 2));
            sectors.NewSectorData(SectorDataManager::kFog);
            return world.Save();
        });
        const bool killed = end == test::KilledSaveEnd::Killed;
        ASSERT_TRUE(killed || (end == test::KilledSaveEnd::Saved && kill == 6)) << "six steps for two files";
        test::LogCapture log;
        ASSERT_TRUE(world.Load("worlds/pair.wrl", false, false));
        const bool saved = !killed || kill >= 2;  // from its journal on
        EXPECT_EQ(world.GetNumRegions(), saved ? 2 : 1);
        EXPECT_EQ(sectors.GetNumSectorData(SectorDataManager::kFog), saved ? 2 : 1);
        if (!killed) break;
        // Back to the first pair, through the world's own save.
        world.RemoveRegion(world.GetRegionIndex(RegionId(2, 2, 2, 2)));
        sectors.Clear();
        sectors.NewSectorData(SectorDataManager::kFog);
        ASSERT_TRUE(world.Save());
    }
    EXPECT_EQ(directory.List("worlds"), (std::vector<std::string>{"pair.sd", "pair.wrl"}));

    // A load that fails names the file and what of it failed.
    struct Cut {
        std::string file;
        size_t size;
        std::string error;
    };
    for (const Cut& cut : {Cut{"pair.sd", 6,
                               "pair.wrl cannot be loaded: its sector data file is damaged or cut "
                               "short: worlds/pair.sd"},
                           Cut{"pair.wrl", 20, "pair.wrl cannot be loaded: it is damaged or cut short"},
                           Cut{"pair.wrl", 2, "pair.wrl is neither a world file nor a map file"}}) {
        const std::string whole = directory.ReadFile("worlds/" + cut.file);
        Write("worlds/" + cut.file, Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(cut.size)));
        test::LogCapture log;
        EXPECT_FALSE(world.Load("worlds/pair.wrl", false, false)) << cut.error;
        EXPECT_TRUE(log.Contains(LogPriority::Error, "worlds/" + cut.error)) << cut.error;
        EXPECT_EQ(log.Contains(LogPriority::Error, "neither"), cut.size == 2) << cut.error;
        Write("worlds/" + cut.file, Bytes(whole.begin(), whole.end()));
    }
}

TEST_F(WorldFileTest, WorldFileKeepsRegionsIconsQuestsAndInstanceBytes) {
    Region* a = world.GetRegion(world.AddRegion("a", IntVec3(5, -6, 7), ABBox(Vec3(1, 2, 3), Vec3(4, 5, 6)), RegionId()));
    a->SetZoneRecord("records/zones/a.dbr");
    world.AddRegion("b", IntVec3(), ABBox(Vec3(), Vec3(9, 9, 9)), RegionId(7, 7, 7, 7));
    BinaryWriter icon;
    for (const uint32_t word : {3u, 2u, 1u, 4u}) icon.Write(word);  // value, width, height, 4 bytes
    icon.Write(Bytes{1, 2, 3, 4}.data(), 4);
    BinaryReader iconReader(icon.GetBuffer(), icon.GetPosition());
    ASSERT_TRUE(a->LoadRegionIcon(iconReader));
    world.SetNumQuestFiles(1);
    world.SetQuestFile(0, "quests/main.qst");
    const RegionId aId = a->GetId();
    world.SetFileName("worlds/test.wrl");
    ASSERT_TRUE(world.Save());
    EXPECT_TRUE(files.DoesFileExist("worlds/test.sd"));

    ASSERT_TRUE(world.Load("worlds/test.wrl", false, false));
    ASSERT_EQ(world.GetNumRegions(), 2);
    const Region* loaded = world.GetRegionById(aId);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::tuple(loaded->GetName(), loaded->GetZoneRecord()), std::tuple("a", "records/zones/a.dbr"));
    EXPECT_EQ(loaded->GetOffsetFromWorld(), IntVec3(5, -6, 7));
    EXPECT_EQ(loaded->GetBoundingBox(), ABBox(Vec3(1, 2, 3), Vec3(4, 5, 6)));
    EXPECT_EQ(loaded->GetIconData().bytes, (mem::vector<unsigned char>{1, 2, 3, 4}));
    EXPECT_EQ(loaded->GetIconData().width, 2u);
    ASSERT_EQ(std::pair(world.GetRegionIndex(RegionId(7, 7, 7, 7)), world.GetNumQuestFiles()), std::pair(1, 1u));
    EXPECT_EQ(world.GetQuestFile(0), "quests/main.qst");

    // Every cut of the file inside its body fails, or reads what lies before the cut; none reads past.
    world.Save();
    const std::string whole = directory.ReadFile("worlds/test.wrl");
    for (uint32_t cut = 0; cut < whole.size(); ++cut) {
        BinaryReader reader(whole.data(), cut);
        WorldFile parsed;
        if (parsed.Read(reader)) {
            EXPECT_LE(parsed.GetRegions().size(), 2u);
        }
    }
}

// Without an instance-group reader the world keeps chunk 17 as read and writes it back. A file
// whose icon records are cut short, or one that cannot be opened, is no world.
TEST_F(WorldFileTest, InstanceBytesAreKeptAsReadAndDamagedIconsFailTheLoad) {
    const mem::vector<RegionRecord> regions{RegionRecord{"a", "", ABBox(), IntVec3(), RegionId(1, 1, 1, 1)},
                                            RegionRecord{"b", "", ABBox(), IntVec3(), RegionId(2, 2, 2, 2)}};
    const auto save = [&](const char* name, bool cut) {
        BinaryWriter writer;
        WorldFile::Write(
            writer, {}, regions,
            [cut](BinaryWriter& out) {  // icons of one byte (the second cut short)
                for (const int byte : {41, 42}) {
                    for (uint32_t word : {5u, 1u, 1u, 1u}) out.Write(word);
                    if (!cut || byte == 41) out.Write(static_cast<unsigned char>(byte));
                }
            },
            [](BinaryWriter& out) {
                out.Write(Bytes{7, 8, 9}.data(), 3);
            });
        Write(name, Image(writer));
    };
    save("worlds/bytes.wrl", false);
    ASSERT_TRUE(world.Load("worlds/bytes.wrl", false, false));
    EXPECT_EQ(world.GetRegion(1)->GetIconData().bytes, mem::vector<unsigned char>{42});
    world.SetFileName("worlds/again.wrl");
    ASSERT_TRUE(world.Save());
    const std::string saved = directory.ReadFile("worlds/again.wrl");
    BinaryReader reader(saved.data(), uint32_t(saved.size()));
    WorldFile again;
    EXPECT_TRUE(again.Read(reader));
    EXPECT_EQ(again.GetInstanceData(), (Bytes{7, 8, 9}));

    save("worlds/cut.wrl", true);
    test::LogCapture log;
    // A quest file count far past the file, three regions counted over two records, and the first
    // region's name running past them; marked version 5 the chunks still read (without zone names).
    BinaryWriter two;
    WorldFile::Write(
        two, {"quests/a.qst"}, regions, [](BinaryWriter&) {}, [](BinaryWriter&) {});
    for (const auto& [at, count, error] :
         {std::tuple{0, int('X'), "World file: not a world file"},
          std::tuple{15, 0xff, "World file: quest file list cut short"},
          std::tuple{40, 3, "World file: region count larger than its chunk"},
          std::tuple{44, 0x7f, "Region record truncated or corrupt at byte"}, std::tuple{3, 5, ""}}) {
        Bytes hostile = Image(two);
        hostile[size_t(at)] = uint8_t(count);
        BinaryReader past(hostile.data(), uint32_t(hostile.size()));
        EXPECT_EQ(WorldFile().Read(past), *error == '\0') << at;
        EXPECT_TRUE(*error == '\0' || log.Contains(LogPriority::Error, error));
    }
    EXPECT_FALSE(world.Load("worlds/cut.wrl", false, false));
    EXPECT_EQ(std::pair(world.GetNumRegions(), world.GetRegionIndex(RegionId(1, 1, 1, 1))), std::pair(0, -1));
    EXPECT_FALSE(world.Load("worlds/missing.wrl", false, false));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "World file worlds/missing.wrl cannot be opened"));
    EXPECT_FALSE(engine.GetSectorDataManager()->Load("worlds/missing.sd"));
    // The sector data on its own: saved and read back, or refused where it cannot be written.
    EXPECT_TRUE(engine.GetSectorDataManager()->Save("worlds/alone.sd"));
    EXPECT_TRUE(engine.GetSectorDataManager()->Load("worlds/alone.sd"));
    EXPECT_FALSE(engine.GetSectorDataManager()->Save("worlds"));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Could not write worlds"));
}

// Flat files of versions 2 to 4 (version 3 with two fields more a region): offsets are truncated,
// and refused beyond two thousand million or when not finite.
TEST_F(WorldFileTest, OldFlatWorldFilesTruncateTheirOffsets) {
    struct Case {
        int version;
        Vec3 offset;
        IntVec3 expected;
        uint32_t count = 1;  // regions said to follow (one does)
    };
    const IntVec3 refused(7, 7, 7);
    for (const Case& c : {Case{4, Vec3(12.9f, -3.7f, 0.5f), IntVec3(12, -3, 0)},
                          Case{3, Vec3(2e9f, -2e9f, 1), IntVec3(2000000000, -2000000000, 1)},
                          Case{2, Vec3(1, 1, -2e9f), IntVec3(1, 1, -2000000000)}, Case{4, Vec3(0, 2.1e9f, 0), refused},
                          Case{4, Vec3(-2.1e9f, 0, 0), refused}, Case{3, Vec3(0, 0, 2.1e9f), refused},
                          Case{2, Vec3(0, 0, NAN), refused}, Case{4, Vec3(), refused, 2}}) {
        BinaryWriter writer;
        writer.Write(WorldFile::kMagic, 3);
        writer.Write(static_cast<unsigned char>(c.version));
        writer.Write(std::string("ignored"));
        writer.Write(c.count);
        writer.Write(std::string("old"));
        writer.Write(Vec3(1, 1, 1));
        writer.Write(Vec3(2, 2, 2));
        writer.Write(c.offset);
        if (c.version == 3) {
            writer.Write(5u);
            writer.Write(std::string("dropped"));
        }
        BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
        WorldFile file;
        test::LogCapture log;
        ASSERT_EQ(file.Read(reader), c.expected != refused) << c.version << " " << c.offset.x;
        if (c.expected == refused) {
            EXPECT_TRUE(log.Contains(LogPriority::Error,
                                     c.count > 1 ? "region count larger than the file" : "region offset out of range"));
            continue;
        }
        ASSERT_EQ(file.GetRegions().size(), 1u);
        EXPECT_EQ(file.GetRegions()[0].offset, c.expected);
        EXPECT_EQ(file.GetRegions()[0].name, "old");
        EXPECT_EQ(file.GetRegions()[0].box, ABBox(Vec3(1, 1, 1), Vec3(2, 2, 2)));
        EXPECT_TRUE(file.GetRegions()[0].id.IsInvalid());
        EXPECT_TRUE(reader.IsAtEnd());
    }
}

TEST_F(WorldFileTest, MapFileGivesRegionsTheirLevelDataAndHostsTheirChunks) {
    engine.GetSectorDataManager()->NewSectorData(SectorDataManager::kFog);
    MapFile::Contents map = SmallMap();
    map.instanceData = {'g', 'r', 'o', 'u', 'p', 's'};
    BinaryWriter writer;
    MapFile::Write(writer, map);
    Write("worlds/test.map", Image(writer));
    Bytes chunk40;
    ASSERT_TRUE(World::InstallMapChunkCallback(new RecordingCallback(40, &chunk40)));
    RecordingCallback duplicate(40, &chunk40);  // a second reader of the chunk is refused, and stays ours
    EXPECT_FALSE(World::InstallMapChunkCallback(&duplicate));
    struct : EventManager::Handler {
        void HandleEvent(const GameEvent* event, unsigned id) override { received += event->GetType() == id; }
        int received = 0;
    } loaded;
    Singleton<EventManager>::Get()->RegisterHandler(World::kWorldLoadedEvent, &loaded);

    test::LogCapture log;
    ASSERT_TRUE(world.Load("worlds/test.map", true, true));
    EXPECT_EQ(loaded.received, 1);
    EXPECT_TRUE(world.RegionsLoaded() && world.IsConnectivityBuilt());
    ASSERT_EQ(world.GetNumRegions(), 2);
    EXPECT_EQ(chunk40, (Bytes{9, 8}));
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Map chunk 40: its reader did not read its 3 bytes exactly"));
    const Region* second = world.GetRegionById(RegionId(1, 2, 3, 5));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(std::tuple(second->GetName(), second->GetZoneRecord()), std::tuple("region1", "records/zone.dbr"));
    EXPECT_EQ(second->GetOffsetFromWorld(), IntVec3(200, 0, -50));
    EXPECT_EQ(second->GetBoundingBox(), ABBox(Vec3(64, 0, 64), Vec3(64, 32, 64)));
    EXPECT_EQ(world.GetQuestFile(1), "quests/b.qst");
    EXPECT_EQ(engine.GetSectorDataManager()->GetNumSectorData(SectorDataManager::kFog), 1);
    // The spawn point in a region the map lacks is dropped.
    ASSERT_EQ(world.GetNumPlayerSpawnPoints(), 2u);
    EXPECT_EQ(world.GetPlayerSpawnPoint(0).GetRegion(), second);
    EXPECT_EQ(world.GetPlayerSpawnPoint(3).GetOrigin().GetRegionPosition(), Vec3(4, 5, 6));

    // The level data lies where the table says, in the file the world keeps open.
    File* file = world.LockMapFile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(world.LockMapFile(), nullptr);  // the same thread again; another waits for the file
    std::future<File*> other = std::async(std::launch::async, [&] {
        File* got = world.LockMapFile();
        world.UnlockMapFile();
        return got;
    });
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    world.UnlockMapFile();
    const void* data = file->Lock(second->GetLevelDataPosition(), second->GetLevelDataSize());
    Level level(nullptr);
    EXPECT_TRUE(level.Load(data, second->GetLevelDataSize(), false));
    EXPECT_EQ(level.GetNumEntities(), 1);
    level.DestroyAllEntities(-1);
    file->Unlock();
    world.UnlockMapFile();
    EXPECT_EQ(other.get(), file);

    // A second load starts from no sector styles or spawn points rather than adding the map's again.
    ASSERT_TRUE(world.Load("worlds/test.map", false, true));
    EXPECT_EQ(engine.GetSectorDataManager()->GetNumSectorData(SectorDataManager::kFog), 1);
    EXPECT_EQ(world.GetNumPlayerSpawnPoints(), 2u);
    // Without connectivity the map still gives the world its box; its instance groups are kept.
    EXPECT_EQ(world.GetWorldBox(), ABBox(Vec3(164, 0, 14), Vec3(164, 32, 64)));
    world.SetFileName("worlds/fromMap.wrl");
    ASSERT_TRUE(world.Save());
    EXPECT_NE(directory.ReadFile("worlds/fromMap.wrl").find("groups"), std::string::npos);
    EXPECT_TRUE(world.Load("worlds/fromMap.wrl", false, false) && loaded.received == 3);  // a world file too
    Singleton<EventManager>::Get()->UnregisterHandler(&loaded);
}

TEST_F(WorldFileTest, CutAndDamagedMapFilesFailCleanly) {
    BinaryWriter writer;
    MapFile::Write(writer, SmallMap());
    Bytes whole = Image(writer);
    whole[3] = 5;
    Write("worlds/five.map", whole);
    EXPECT_TRUE(world.Load("worlds/five.map", false, false));
    EXPECT_FALSE(world.Load("worlds/five.map", false, true));
    EXPECT_EQ(world.GetNumRegions(), 0);

    uint32_t areaSize = 0;
    std::memcpy(&areaSize, whole.data() + 4, 4);
    for (uint32_t cut = 0; cut < MapFile::kHeaderSize + areaSize; cut += 3) {
        Write("worlds/cut.map", Bytes(whole.begin(), whole.begin() + cut));
        test::LogCapture log;
        EXPECT_FALSE(world.Load("worlds/cut.map", true, false)) << cut;
        EXPECT_TRUE(log.Contains(LogPriority::Error, "worlds/cut.map")) << cut;
        EXPECT_EQ(world.GetNumRegions(), 0);
    }
    // Counts and lengths turned huge.
    for (uint32_t at = MapFile::kHeaderSize; at + 4 <= MapFile::kHeaderSize + areaSize; at += 4) {
        Bytes damaged = whole;
        std::memset(damaged.data() + at, 0xff, 4);
        Write("worlds/damaged.map", damaged);
        world.Load("worlds/damaged.map", true, false);
    }
    // A region count larger than its chunk holds, a region's name or a chunk past its end, named so.
    size_t regions = MapFile::kHeaderSize;
    for (uint32_t chunk[2] = {}; std::memcpy(chunk, &whole[regions], 8), chunk[0] != MapFile::kChunkRegions;)
        regions += 8 + chunk[1];
    const std::string name = "region1";
    const size_t nameAt = size_t(std::search(whole.begin(), whole.end(), name.begin(), name.end()) - whole.begin());
    // Three regions over the two entries' 166 bytes: more than the shortest entries could fill.
    for (const auto& [at, value, error] :
         {std::tuple{regions + 8, 0x7f7f7f7fu, "region count larger than its chunk"},
          std::tuple{regions + 8, 3u, "region count larger than its chunk"},
          std::tuple{nameAt - 4, 0x7f7f7f7fu, "region entry cut short"},
          std::tuple{nameAt + name.size(), 0x7f7f7f7fu, "region's level data lies past the end of the file"},
          std::tuple{size_t(MapFile::kHeaderSize + 4), 0x7f7f7f7fu, "chunk runs past the chunk area"}}) {
        Bytes damaged = whole;
        std::memcpy(damaged.data() + at, &value, 4);
        Write("worlds/damaged.map", damaged);
        test::LogCapture log;
        EXPECT_FALSE(world.Load("worlds/damaged.map", true, false)) << error;
        EXPECT_TRUE(log.Contains(LogPriority::Error, std::string("Map file worlds/damaged.map: ") + error));
    }
    // A map of no chunks, or of no regions, is an empty world.
    BinaryWriter none;
    MapFile::Write(none, MapFile::Contents{});
    for (const Bytes& bytes : {Bytes{'M', 'A', 'P', 6, 0, 0, 0, 0}, Image(none)}) {
        Write("worlds/empty.map", bytes);
        EXPECT_TRUE(world.Load("worlds/empty.map", false, true));
        EXPECT_EQ(world.GetNumRegions(), 0);
    }
}

}  // namespace
}  // namespace GAME
