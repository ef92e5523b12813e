#include "world/Level.h"

#include "LevelFixture.h"
#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/MathUtil.h"
#include "core/Sphere.h"
#include "core/WorldCoords.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "pathing/PathFinder.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"
#include "world/GridRegion.h"
#include "world/Region.h"
#include "world/SectorLayers.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace GAME {
namespace {

using test::GLEngineBed;
using test::LevelRecords;
using test::LevelStateEntity;
using test::LevelTestEntity;
using test::LogCapture;

using Bytes = std::vector<unsigned char>;

Bytes Take(const BinaryWriter& writer) { return Bytes(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()); }

constexpr uint32_t kBlack = test::Rgba(0, 0, 0);

UniqueId MakeId(uint32_t seed) {
    UniqueId id;
    for (int i = 0; i < 4; ++i) id.SetPart(i, seed * 10 + uint32_t(i) + 1);
    return id;
}

// One entry of a hand-built entity chunk.
struct Entry {
    uint32_t name;
    Vec3 position;
    UniqueId id;  // written when not null (versions 12 and later write the flag either way)
};

// A level file built field by field for a version: chunk 5 with the names and entries, chunk 20
// with the extra records, a chunk 6 holding the ground: an interior grid of one cell with a floor
// where the file names the kind, else an editor block of one sample at height 2.5; and chunk 23
// without sector layers.
Bytes BuildLevel(int version, const std::vector<std::string>& names, const std::vector<Entry>& entries,
                 const std::vector<std::pair<uint32_t, std::string>>& extra) {
    BinaryWriter writer;
    writer.Write("LVL", 3);
    writer.Write(static_cast<unsigned char>(version));
    writer.BeginChunk(Level::kChunkGround);
    if (version >= 11) {
        writer.Write(uint32_t(LevelGround::Kind::Grid));
        writer.Write(1u);  // a grid block of the first version: no system, one cell, a floor
        writer.Write(std::string());
        for (uint32_t size : {1u, 1u, 1u}) writer.Write(size);
        for (int point = 0; point < 9; ++point) writer.Write(static_cast<unsigned char>(point == 4));
        writer.Write(static_cast<unsigned short>(0));
    } else {
        for (uint32_t word : {1u, 1u, 0u}) writer.Write(word);  // 1 x 1 samples, no layers
        for (float value : {2.5f, 0.0f, 2.5f, 0.0f, 0.0f}) writer.Write(value);
    }
    writer.EndChunk();
    writer.BeginChunk(Level::kChunkEntities);
    writer.Write(uint32_t(names.size()));
    for (const std::string& name : names) writer.Write(name);
    writer.Write(uint32_t(entries.size()));
    for (const Entry& entry : entries) {
        writer.Write(entry.name);
        writer.Write(Coords::Translation(entry.position));
        if (version >= 12) {
            writer.Write(!entry.id.IsNull());
            if (!entry.id.IsNull()) writer.Write(entry.id);
        }
    }
    writer.EndChunk();
    writer.BeginChunk(Level::kChunkEntityData);
    for (const auto& [index, text] : extra) {
        BinaryWriter bytes;
        bytes.Write(text);
        writer.Write(index);
        writer.Write(bytes.GetPosition());
        writer.Write(bytes.GetBuffer(), bytes.GetPosition());
    }
    writer.EndChunk();
    writer.BeginChunk(Level::kChunkSectorLayers);
    SectorLayers().Save(writer);
    writer.EndChunk();
    return Take(writer);
}

mem::vector<Entity*> All(const Level& level, Level::EntityListType type = Level::EntityListType::All) {
    mem::vector<Entity*> all;
    level.GetEntities(all, type);
    return all;
}

// What identifies a loaded entity: record, position, extra data, unique id.
using Summary = std::tuple<std::string, float, float, float, std::string, UniqueId>;

std::vector<Summary> Summarize(const Level& level) {
    std::vector<Summary> out;
    for (Entity* entity : All(level)) {
        const Vec3 p = entity->GetCoords().GetOrigin().GetRegionPosition();
        const auto* test = static_cast<LevelTestEntity*>(entity);
        out.emplace_back(entity->GetObjectName(), p.x, p.y, p.z, test->extra,
                         entity->HasUniqueID() ? entity->GetUniqueID() : UniqueId());
    }
    std::sort(out.begin(), out.end());
    return out;
}

Frustum Everywhere(const Region& region) {
    Frustum frustum;
    region.GetEnclosingFrustum(frustum);
    return frustum;
}

class LevelTest : public ::testing::Test {
protected:
    LevelTestEntity* Add(Level& level, const char* record, const Vec3& position) {
        auto* entity = static_cast<LevelTestEntity*>(LevelRecords::Make<LevelTestEntity>(record));
        EXPECT_TRUE(level.AddEntity(entity, Coords::Translation(position)));
        return entity;
    }

    test::LevelTestEngine engine_;
    LevelRecords records_;
    Region* region_ = records_.GetRegion();
};

TEST_F(LevelTest, ReadsEveryVersionTheFileHas) {
    for (int version = Level::kOldestVersion; version <= Level::kVersion; ++version) {
        SCOPED_TRACE(version);
        const Bytes file = BuildLevel(version, {test::kPlainRecord, test::kStateRecord},
                                      {{0, Vec3(1, 2, 3), MakeId(1)}, {1, Vec3(4, 0, 5), UniqueId()}},
                                      {{0, "hello"}});
        LogCapture log;
        Level level(region_);
        ASSERT_TRUE(level.Load(file.data(), uint32_t(file.size()), false));
        EXPECT_TRUE(level.IsLoaded());
        if (version >= 11) {
            ASSERT_TRUE(level.IsUnderground());
            EXPECT_EQ(static_cast<const GridRegion*>(level.GetGround())->GetCellFloor(0, 0, 0), 1);
        } else {
            ASSERT_NE(level.GetGround(), nullptr);
            EXPECT_EQ(level.GetGroundHeight(0, 0), 2.5f);
        }
        // Versions 10 and 11 have no unique-id fields: the builder wrote none, so any id read
        // would come from the wrong bytes.
        const UniqueId expectedId = version >= 12 ? MakeId(1) : UniqueId();
        EXPECT_EQ(Summarize(level), (std::vector<Summary>{{test::kPlainRecord, 1, 2, 3, "hello", expectedId},
                                                          {test::kStateRecord, 4, 0, 5, "stated", UniqueId()}}));
        // Entities made by a load enter their level in post-load.
        mem::vector<Entity*> near;
        level.GetEntitiesInSphere(near, Sphere(Vec3(1, 2, 3), 0.1f), false);
        ASSERT_EQ(near.size(), 1u);
        const auto* plain = static_cast<LevelTestEntity*>(near[0]);
        EXPECT_EQ(plain->added, 0);
        EXPECT_TRUE(level.PostLoad(false));
        EXPECT_EQ(plain->added, 1);
    }
    for (int version : {Level::kOldestVersion - 1, Level::kVersion + 1}) {
        Bytes file = BuildLevel(Level::kVersion, {}, {}, {});
        file[3] = static_cast<unsigned char>(version);
        Level level(region_);
        EXPECT_FALSE(level.Load(file.data(), uint32_t(file.size()), false) || level.IsLoaded());
    }
    // A chunk cut short after the ground leaves neither ground nor tree behind (the box of a level
    // without content); nor is a file of another kind read.
    Bytes file = BuildLevel(Level::kVersion, {}, {}, {});
    for (int byte : {23, 0, 0, 0, 0xFF, 0, 0, 0, 1}) file.push_back(static_cast<unsigned char>(byte));
    Level level(region_);
    EXPECT_FALSE(level.Load(file.data(), uint32_t(file.size()), false));
    EXPECT_EQ(level.GetBoundingBox(), ABBox(Vec3(), Vec3(100, 100, 100)));
    file[0] = 'X';
    EXPECT_FALSE(level.Load(file.data(), uint32_t(file.size()), false));
}

TEST_F(LevelTest, SaveAndLoadKeepEntitiesTheirDataAndTheSectorLayers) {
    Level level(region_);
    level.NewSpace(Vec2(100, 100));
    for (int i = 0; i < 3; ++i) Add(level, test::kPlainRecord, Vec3(float(10 * i), 0, 5))->extra = std::string(size_t(i), 'x');
    Add(level, test::kStateRecord, Vec3(50, 1, 50))->SetUniqueID(MakeId(7));
    Add(level, test::kServerRecord, Vec3(-20, 0, 150));
    level.GetSectorLayers().Initialize(4, 3);
    ASSERT_TRUE(level.GetSectorLayers().PrimeForEdit(2, MakeId(3)));
    level.GetSectorLayers().Edit(3, 1, true);
    ASSERT_TRUE(level.RebuildPathMesh({PathFace{{Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(4, 0, 4)}}}));

    BinaryWriter writer;
    level.Save(writer, false);
    const Bytes file = Take(writer);
    // A record used by many entities is named once: chunk 5 comes first and opens with the table.
    BinaryReader header(file.data(), uint32_t(file.size()));
    header.Skip(4);
    EXPECT_EQ(header.ReadUInt32(), Level::kChunkEntities);
    header.ReadUInt32();
    EXPECT_EQ(header.ReadUInt32(), 3u);

    const std::vector<Summary> saved = Summarize(level);
    level.Unload(false);
    LevelRecords::Flush();
    Level loaded(region_);
    ASSERT_TRUE(loaded.Load(file.data(), uint32_t(file.size()), false));
    EXPECT_EQ(Summarize(loaded), saved);
    EXPECT_EQ(std::pair(loaded.GetSectorLayers().GetTargetId(2, 3, 1), loaded.GetSectorLayers().GetWidth()),
              std::pair(MakeId(3), 4u));
    ASSERT_EQ(loaded.GetPathMesh().GetNumTriangles(), 1u);
    EXPECT_EQ(loaded.GetPathMesh().GetVertex(2), Vec3(4, 0, 4));

    // Without an engine file system nothing is written, and the failure is reported.
    LogCapture log;
    EXPECT_FALSE(loaded.Save("level.lvl", false));
    EXPECT_EQ(log.Count(LogPriority::Error), 1u);
}

TEST_F(LevelTest, EntitiesThatKeepTheirStateWaitForTheSavedStateOrTheServer) {
    const Bytes file = BuildLevel(Level::kVersion, {test::kPlainRecord, test::kStateRecord, test::kServerRecord},
                                  {{0, Vec3(1, 0, 1), {}}, {1, Vec3(2, 0, 2), {}}, {2, Vec3(3, 0, 3), {}}},
                                  {{1, "state"}});
    struct Case {
        bool editor;
        bool restoring;
        size_t expected;
    };
    for (const Case& c : {Case{false, false, 3}, Case{false, true, 2}, Case{true, true, 3}}) {
        SCOPED_TRACE(testing::Message() << "editor " << c.editor << " restoring " << c.restoring);
        engine_.editor = c.editor;
        const int before = LevelRecords::Flush();
        {
            Level level(region_);
            ASSERT_TRUE(level.Load(file.data(), uint32_t(file.size()), c.restoring));
            EXPECT_EQ(std::pair(All(level).size(), level.GetNumEntities()), std::pair(c.expected, int(c.expected)));
        }
        // Dropped entities are destroyed, not leaked.
        EXPECT_EQ(LevelRecords::Flush(), before);
    }
}

TEST_F(LevelTest, BadEntriesAndTheirDataAreLeftOut) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Bytes file = BuildLevel(Level::kVersion, {test::kPlainRecord, "records/test/level/missing.dbr"},
                                  {{7, Vec3(1, 0, 1), {}},
                                   {0, Vec3(nan, 0, 0), MakeId(2)},
                                   {1, Vec3(2, 0, 2), {}},
                                   {0, Vec3(3, 0, 3), MakeId(4)}},
                                  {{0, "skipped"}, {2, "missing"}, {9, "beyond"}, {3, "kept"}});
    LogCapture log;
    Level level(region_);
    ASSERT_TRUE(level.Load(file.data(), uint32_t(file.size()), false));
    EXPECT_EQ(Summarize(level), (std::vector<Summary>{{test::kPlainRecord, 3, 0, 3, "kept", MakeId(4)}}));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Entity 'records/test/level/plain.dbr' has non-finite coords, skipping"));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "names record 7"));
}

TEST_F(LevelTest, InTheEditorAMissingRecordIsShownByAStandIn) {
    const Bytes file = BuildLevel(Level::kVersion, {"records/test/level/missing.dbr", test::kPlainRecord},
                                  {{0, Vec3(2, 0, 2), {}}, {1, Vec3(4, 0, 4), {}}}, {});
    LogCapture log;
    Level game(region_);
    ASSERT_TRUE(game.Load(file.data(), uint32_t(file.size()), false));
    EXPECT_EQ(All(game).size(), 1u);
    // Three entities said to follow where two fit.
    Bytes three = file;
    const std::string last = test::kPlainRecord;
    three[size_t(std::search(three.begin(), three.end(), last.begin(), last.end()) - three.begin()) + last.size()] = 3;
    EXPECT_FALSE(Level(region_).Load(three.data(), uint32_t(three.size()), false));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Level file: 3 entities do not fit in the entity chunk"));

    engine_.editor = true;
    Level editor(region_);
    ASSERT_TRUE(editor.Load(file.data(), uint32_t(file.size()), false));
    ASSERT_EQ(All(editor).size(), 2u);
    Entity* standIn = nullptr;
    for (Entity* entity : All(editor)) {
        if (std::string(entity->GetRTTIClassInfo()->GetClassName()) == "Billboard") standIn = entity;
    }
    ASSERT_NE(standIn, nullptr);
    EXPECT_EQ(standIn->GetObjectName(), "records/test/level/missing.dbr");
    EXPECT_EQ(standIn->GetCoords().GetOrigin().GetRegionPosition(), Vec3(2, 0, 2));
    // Its quad stands 1.5 above the entry's place.
    EXPECT_EQ(standIn->GetRegionBoundingBox(false).centre, Vec3(2, 1.5f, 2));
}

TEST_F(LevelTest, AFileLackingAChunkItAlwaysHoldsOrWithAChunkCutShortFailsAndADamagedFileLeavesTheLevelEmpty) {
    Level source(region_);
    source.NewSpace(Vec2(50, 50));
    for (int i = 0; i < 4; ++i) Add(source, i % 2 ? test::kStateRecord : test::kPlainRecord, Vec3(float(i), 0, 2))->extra = "data";
    source.GetSectorLayers().Initialize(3, 2);
    BinaryWriter writer;
    source.Save(writer, false);
    source.Unload(false);
    const Bytes file = Take(writer);
    const int baseline = LevelRecords::Flush();

    // Data cut where a chunk ends, or without one chunk: a version-14 file holds chunks 5, 20, 6
    // and 23 always, an older one chunk 6 alone. Without one it must hold, the load fails, naming
    // the file and the first such chunk it lacks (0: it loads), and keeps no entity.
    std::vector<std::pair<size_t, size_t>> chunks;  // where each begins and ends, in the order written
    for (size_t at = 4; at + 8 <= file.size(); at = chunks.back().second) {
        uint32_t length = 0;
        std::memcpy(&length, &file[at + 4], sizeof(length));
        chunks.emplace_back(at, at + 8 + length);
    }
    ASSERT_EQ(chunks.size(), 4u);  // 5, 20, 6, 23
    // Version, cut after the chunk (or the chunk taken out), and by chunk the chunk it lacks.
    for (const auto& [version, cut, lacking] :
         {std::tuple{14, true, std::array{20, 6, 23, 0}}, std::tuple{14, false, std::array{5, 20, 6, 23}},
          std::tuple{13, true, std::array{6, 6, 0, 0}}, std::tuple{13, false, std::array{0, 0, 6, 0}}}) {
        for (size_t i = 0; i < chunks.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "version " << version << (cut ? " cut after " : " without ") << i);
            Bytes damaged(file.begin(), file.begin() + ptrdiff_t(cut ? chunks[i].second : chunks[i].first));
            if (!cut) damaged.insert(damaged.end(), file.begin() + ptrdiff_t(chunks[i].second), file.end());
            damaged[3] = static_cast<unsigned char>(version);
            LogCapture log;
            Level level(region_);
            const bool loads = lacking[i] == 0;
            EXPECT_EQ(level.Load(damaged.data(), uint32_t(damaged.size()), false), loads);
            EXPECT_EQ(std::pair(level.IsLoaded(), level.GetNumEntities()),
                      std::pair(loads, loads && (cut || i) ? 4 : 0));
            EXPECT_EQ(log.Count(LogPriority::Error), loads ? 0u : 1u);
            EXPECT_EQ(log.Contains(LogPriority::Error, "Level file " + region_->GetName() +
                                                           " is cut short or damaged: it has no chunk " +
                                                           std::to_string(lacking[i])),
                      !loads);
        }
    }
    EXPECT_EQ(LevelRecords::Flush(), baseline);

    // A chunk whose length runs past the data, or whose header is cut, fails the load, naming the
    // file and the chunk.
    Bytes cut = file;
    for (int byte : {23, 0, 0, 0, 0xFF, 0, 0, 0, 1}) cut.push_back(static_cast<unsigned char>(byte));
    for (const size_t size : {cut.size(), file.size() + 5}) {
        LogCapture log;
        Level level(region_);
        EXPECT_FALSE(level.Load(cut.data(), uint32_t(size), false));
        EXPECT_EQ(std::pair(level.IsLoaded(), level.GetNumEntities()), std::pair(false, 0));
        EXPECT_FALSE(level.GetSectorLayers().IsInitialized()) << "the chunks before the cut are not kept";
        EXPECT_TRUE(log.Contains(LogPriority::Error, "Level file " + region_->GetName() + " is cut short in ")) << size;
        if (size == cut.size()) {
            EXPECT_TRUE(log.Contains(LogPriority::Error, "in chunk 23: 1 bytes of 255"));
        }
    }
    EXPECT_EQ(LevelRecords::Flush(), baseline);

    LogCapture quiet;
    auto check = [&](const Bytes& bytes) {
        {
            Level level(region_);
            if (!level.Load(bytes.data(), uint32_t(bytes.size()), false)) {
                EXPECT_EQ(std::tuple(level.IsLoaded(), level.GetNumEntities(), All(level).size()),
                          std::tuple(false, 0, 0u));
                EXPECT_EQ(level.GetBoundingBox(), ABBox(Vec3(), Vec3(100, 100, 100)));  // nor a tree
            } else {
                EXPECT_EQ(size_t(level.GetNumEntities()), All(level).size());
            }
        }
        EXPECT_EQ(LevelRecords::Flush(), baseline);
    };
    for (size_t size = 0; size < file.size(); ++size) check(Bytes(file.begin(), file.begin() + ptrdiff_t(size)));
    for (size_t at = 0; at < file.size(); ++at) {
        for (int value : {0x00, 0x7F, 0xFF}) {
            Bytes damaged = file;
            damaged[at] = static_cast<unsigned char>(value);
            check(damaged);
        }
    }
}

// A level never loaded has no tree: every query finds nothing, and nothing can enter it.
TEST_F(LevelTest, ALevelWithoutContentAnswersEveryQueryWithNothing) {
    LogCapture log;
    Level level(region_);
    const Frustum all = Everywhere(*region_);
    const Ray down(Vec3(1, 5, 1), Vec3(0, -1, 0));
    mem::vector<Entity*> found;
    level.GetEntities(found);
    level.GetEntitiesInSphere(found, Sphere(Vec3(), 100), false);
    level.GetEntitiesInBox(found, ABBox(Vec3(), Vec3(100, 100, 100)), false);
    level.GetEntitiesInFrustum(found, &all, 1, false, false);
    level.PickEntities(down, found, false);
    level.GetAllIntersections(down, found, false, 100.0f);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(level.PickEntity(down), nullptr);
    Intersection hit;
    EXPECT_FALSE(level.GetIntersection(down, hit, PhysicsSurface::None, false));
    ABBox box;
    EXPECT_FALSE(level.GetEntityBoundingBox(box));
    EXPECT_EQ(std::pair(level.GetBoundingBox(), level.GetGroundHeight(3, 4)),
              std::pair(ABBox(Vec3(), Vec3(100, 100, 100)), 0.0f));
    EXPECT_TRUE(level.DestroyAllEntities(8) && level.Unload(true));  // nothing to unload: done at the first step
    level.PreLoad(0, &all, 1, true);
    level.Update(&all, 1, 16);
    level.PostDeviceReset();
    LevelTestEntity* entity = LevelRecords::Make(test::kPlainRecord);
    EXPECT_FALSE(level.AddEntity(entity, Coords()));
    EXPECT_FALSE(level.HasEntity(*entity));
    EXPECT_FALSE(level.RestoreState("", 0));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "the level is not loaded"));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Cannot restore the state of a level that is not loaded"));
    Singleton<ObjectManager>::Get()->DestroyObjectEx(entity, __FILE__, __LINE__);
}

TEST_F(LevelTest, EntitiesEnterLeaveAndAreFoundByListType) {
    Level level(region_);
    level.NewSpace(Vec2(100, 100));
    LevelTestEntity* a = Add(level, test::kPlainRecord, Vec3(10, 0, 10));
    LevelTestEntity* b = Add(level, test::kPlainRecord, Vec3(20, 0, 20));
    EXPECT_EQ(a->added, 1);
    EXPECT_FALSE(level.AddEntity(a, Coords::Identity));
    EXPECT_TRUE(level.HasEntity(*b));

    // Type 2 keeps entities whose first update ran, type 3 those of them that belong to the file.
    const Frustum all = Everywhere(*region_);
    level.Update(&all, 1, 16);
    LevelTestEntity* fresh = Add(level, test::kPlainRecord, Vec3(30, 0, 30));
    b->SetIsPartOfLevel(true);
    EXPECT_EQ(std::tuple(All(level).size(), All(level, Level::EntityListType::Updated).size()), std::tuple(3u, 2u));
    EXPECT_EQ(All(level, Level::EntityListType::UpdatedPartOfLevel), mem::vector<Entity*>{b});
    // What the list held stays; of what the sphere holds (b and fresh) only the updated b is added.
    mem::vector<Entity*> near{fresh};
    level.GetEntitiesInSphere(near, Sphere(Vec3(25, 0, 25), 8), false, Level::EntityListType::Updated);
    EXPECT_EQ(near, (mem::vector<Entity*>{fresh, b}));

    level.MoveEntity(fresh, Coords::Translation(Vec3(150, 0, 150)));
    near.clear();
    level.GetEntitiesInBox(near, ABBox(Vec3(150, 0, 150), Vec3(1, 1, 1)), false);
    EXPECT_EQ(near, mem::vector<Entity*>{fresh});

    level.RemoveEntity(a);
    EXPECT_EQ(std::tuple(a->removed, a->GetRegion(), level.GetNumEntities()), std::tuple(1, nullptr, 2));
    Singleton<ObjectManager>::Get()->DestroyObjectEx(a, __FILE__, __LINE__);
}

TEST_F(LevelTest, UpdateReplacesMovedEntitiesAndPreloadTakesATenthAtATime) {
    Level level(region_);
    level.NewSpace(Vec2(100, 100));
    mem::vector<LevelTestEntity*> entities;
    for (int i = 0; i < 20; ++i) entities.push_back(Add(level, test::kPlainRecord, Vec3(float(5 * i), 0, 40)));
    const Frustum all = Everywhere(*region_);

    for (int call = 0; call < Level::kPreLoadTurns; ++call) level.PreLoad(0, &all, 1, false);
    for (const LevelTestEntity* entity : entities) EXPECT_EQ(entity->preloads, 1);
    level.PreLoad(0, &all, 1, true);
    for (const LevelTestEntity* entity : entities) EXPECT_EQ(entity->preloads, 2);
    EXPECT_TRUE(entities[7]->IsInRenderPreLoadFrustum());

    // Exactly the threshold keeps the node; beyond it the entity is found where it went.
    LevelTestEntity* walker = entities[3];
    const SpaceNode<Entity>* node = walker->GetSpaceLinks().node;
    for (const Vec3& axis : {Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1)}) {
        walker->step = axis * Level::kReplaceDistance;
        level.Update(&all, 1, 16);
        EXPECT_EQ(walker->GetSpaceLinks().node, node);
    }
    walker->step = Vec3(0, 0, 120);
    level.Update(&all, 1, 16);
    mem::vector<Entity*> found;
    level.GetEntitiesInBox(found, ABBox(Vec3(16, 0, 160), Vec3(1, 1, 1)), false);
    EXPECT_EQ(found, mem::vector<Entity*>{walker});
    walker->step = Vec3();
    // No time passed: nothing moves.
    entities[0]->step = Vec3(50, 0, 0);
    level.Update(&all, 1, 0);
    EXPECT_FLOAT_EQ(entities[0]->GetCoords().GetOrigin().GetRegionPosition().x, 0.0f);
}

TEST_F(LevelTest, PostLoadAndUnloadRunInSteps) {
    Level level(region_);
    level.NewSpace(Vec2(100, 100));
    mem::vector<LevelTestEntity*> entities;
    for (int i = 0; i < 10; ++i) entities.push_back(Add(level, test::kPlainRecord, Vec3(float(i), 0, 0)));
    ASSERT_NE(level.NewWater(), nullptr);
    LogCapture log;  // only players are announced
    level.AddEntityToNetworkList(entities[0]);
    level.AddEntityToNetworkList(entities[0]);
    EXPECT_EQ(std::tuple(level.IsInNetworkList(entities[0]), log.Count(LogPriority::Warning)), std::tuple(true, 0u));

    for (int step = 0; step < 4; ++step) EXPECT_FALSE(level.PostLoad(true)) << step;
    EXPECT_TRUE(level.PostLoad(true));
    EXPECT_EQ(entities[0]->added, 2);
    EXPECT_TRUE(level.PostLoad(true));

    // Eight entities per step until none is left, then the path mesh, then the tree.
    const int removedBefore = entities[0]->removed + entities[9]->removed;
    for (int step = 0; step < 4; ++step) EXPECT_FALSE(level.Unload(true)) << step;
    EXPECT_EQ(entities[0]->removed + entities[9]->removed, removedBefore + 2);
    EXPECT_FALSE(level.IsInNetworkList(entities[0]));
    EXPECT_TRUE(level.Unload(true));
    EXPECT_EQ(std::tuple(level.IsLoaded(), level.GetWater(), level.GetNumEntities(), level.GetBoundingBox().halfSize),
              std::tuple(false, nullptr, 0, Vec3(100, 100, 100)));  // no tree left to give the box
    EXPECT_EQ(Singleton<ObjectManager>::Get()->GetNumDeletedObjects(), 10);

    level.NewSpace(Vec2(10, 10));
    for (int i = 0; i < 8; ++i) Add(level, test::kPlainRecord, Vec3(float(i), 0, 0));
    EXPECT_FALSE(level.DestroyAllEntities(8));
    EXPECT_TRUE(level.DestroyAllEntities(8));
}

TEST_F(LevelTest, SavedStateComesBackAroundARecordThatCannotBeMade) {
    Level level(region_);
    level.NewSpace(Vec2(100, 100));
    Add(level, test::kPlainRecord, Vec3(1, 0, 1));
    auto* kept = static_cast<LevelStateEntity*>(Add(level, test::kStateRecord, Vec3(2, 0, 2)));
    kept->value = 7;
    kept->SetUniqueID(MakeId(5));
    BinaryWriter state;
    ASSERT_TRUE(level.SaveState(&state));
    EXPECT_FALSE(level.SaveState(nullptr));
    // A second chunk: a record whose class is gone, then a valid record and a unique entity that
    // already exists outside the level.
    state.BeginChunk(Level::kChunkState);
    for (const auto& [name, value] : {std::pair<std::string, uint32_t>{"records/test/level/gone.dbr", 1},
                                      {test::kStateRecord, 11},
                                      {test::kUniqueRecord, 5}}) {
        state.Write(name);
        state.Write(uint32_t(0));
        state.Write(Coords::Translation(Vec3(float(value), 0, 9)));
        state.Write(false);
        state.Write(uint32_t(4));
        state.Write(value);
    }
    state.EndChunk();
    const Bytes bytes = Take(state);
    level.Unload(false);
    auto* unique = LevelRecords::Make<LevelStateEntity>(test::kUniqueRecord);

    LogCapture log;
    Level restored(region_);
    restored.NewSpace(Vec2(100, 100));
    EXPECT_FALSE(restored.RestoreState(bytes.data(), uint32_t(bytes.size())));
    EXPECT_TRUE(log.Contains(LogPriority::Error,
                             "Failed to create entity 'records/test/level/gone.dbr' while restoring level state"));
    std::vector<std::pair<uint32_t, UniqueId>> values;
    for (Entity* entity : All(restored)) {
        EXPECT_TRUE(entity->IsRestored());
        values.emplace_back(static_cast<LevelStateEntity*>(entity)->value,
                            entity->HasUniqueID() ? entity->GetUniqueID() : UniqueId());
        EXPECT_EQ(std::tuple(entity->GetRegionBoundingBox(false).halfSize.y,
                             static_cast<LevelTestEntity*>(entity)->extra),  // its record's data too
                  std::tuple(0.5f + float(values.back().first), "stated"));
    }
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (std::vector<std::pair<uint32_t, UniqueId>>{{7, MakeId(5)}, {11, UniqueId()}}));
    // The existing unique entity takes its state on the main thread, in post-load.
    EXPECT_EQ(unique->value, 0u);
    restored.PostLoad(false);
    EXPECT_EQ(std::tuple(unique->value, unique->GetRegion(), restored.GetNumEntities()), std::tuple(5u, region_, 3));
    EXPECT_EQ(LevelRecords::Flush(), 3);  // the copy of the unique entity is gone
}

TEST_F(LevelTest, ANewGridSizesTreeAndSectorLayersAndFloorsAddedBelowLiftTheEntities) {
    test::LogCapture log;  // the default grid system's record is not there
    Level level(region_);
    level.NewSpace(Vec2(10, 10));
    level.ResizeSectorLayers();  // no ground: nothing to follow
    EXPECT_FALSE(level.GetSectorLayers().IsInitialized());
    level.NewGrid(4, 1, 2);
    GridRegion* grid = level.GetGridRegion();
    ASSERT_NE(grid, nullptr);
    EXPECT_TRUE(level.IsLoaded() && level.HasLoadedRenderData() && level.GetPostLoadCalled() && level.IsUnderground());
    // Without a grid system a cell is a unit: the level's box is the grid's own, not raised.
    EXPECT_EQ(level.GetBoundingBox(), grid->GetBoundingBox());
    EXPECT_EQ(std::pair(level.GetSectorLayers().GetWidth(), level.GetSectorLayers().GetHeight()), std::pair(4u, 2u));
    LevelTestEntity* entity = Add(level, test::kPlainRecord, Vec3(3.5f, 0.25f, 1.5f));
    mem::vector<Entity*> found;
    level.GetEntitiesInBox(found, ABBox(Vec3(3.5f, 0, 1.5f), Vec3(0.1f, 1, 0.1f)), false);
    EXPECT_EQ(found.size(), 1u);  // the tree covers the grid's area

    // Matching layers keep their paint; two floors of 2.25 added below lift the entity by 4 (whole units).
    ASSERT_TRUE(level.GetSectorLayers().PrimeForEdit(0, MakeId(3)));
    level.GetSectorLayers().Edit(1, 1, true);
    level.ResizeSectorLayers();
    EXPECT_EQ(level.GetSectorLayers().GetTargetId(0, 1, 1), MakeId(3));
    grid->SetSystem(test::kTallGridRecord);
    level.ResizeGrid(4, 3, 2);
    EXPECT_EQ(grid->GetYNumCells(), 3);
    EXPECT_FLOAT_EQ(entity->GetCoords().GetOrigin().GetRegionPosition().y, 4.25f);
    EXPECT_TRUE(level.GetSectorLayers().GetTargetId(0, 1, 1).IsNull());
    // Fewer floors and more cells: the entity stays, the layers follow the area.
    level.ResizeGrid(6, 2, 3);
    EXPECT_FLOAT_EQ(entity->GetCoords().GetOrigin().GetRegionPosition().y, 4.25f);
    EXPECT_EQ(std::pair(level.GetSectorLayers().GetWidth(), level.GetSectorLayers().GetHeight()), std::pair(6u, 3u));
    EXPECT_TRUE(level.GetEditableTerrain() == nullptr && level.GetTerrain() == nullptr);
}

// The navigation mesh on the GL device, seen from above at four pixels a unit: each edge once, in
// its colour, and nothing inside the triangles.
TEST(LevelPathMesh, TheNavigationMeshIsDrawnEdgeByEdge) {
    GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    Region region(ABBox(Vec3(), Vec3(20, 10, 20)));
    EXPECT_EQ(region.GetIndex(), 0);  // outside a world
    Level level(&region);
    level.NewSpace(Vec2(20, 20));
    // A 6 x 4 quad from (2, 0, 3), cut along its diagonal; the path finder has it from post-load on.
    const mem::vector<PathFace> quadFaces{PathFace{{Vec3(2, 0, 3), Vec3(8, 0, 3), Vec3(8, 0, 7)}},
                                          PathFace{{Vec3(2, 0, 3), Vec3(8, 0, 7), Vec3(2, 0, 7)}}};
    ASSERT_TRUE(level.RebuildPathMesh(quadFaces));
    PathFinder& finder = *Singleton<PathFinder>::Get();
    EXPECT_EQ(finder.GetNumMeshes(), 0u);
    level.PostLoad(false);
    EXPECT_EQ(finder.GetNumMeshes(), 1u);
    const Coords fourfold(Vec3(4, 0, 0), Vec3(0, 4, 0), Vec3(0, 0, 4), Vec3(0, 0, 0));
    bed.Clear();
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(Viewport(0, 0, GLEngineBed::kWidth, GLEngineBed::kHeight));
        level.RenderPathMeshes(drawer, fourfold);
        EXPECT_EQ(drawer.GetShader(), bed.Graphics().GetOverlayShader());
    }
    const std::vector<int> drawn = bed.FindDrawn(kBlack);
    const std::vector<int> quad{8, 12, 32, 28};
    ASSERT_EQ(drawn.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(drawn[i], quad[i], 1) << i;
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    const auto at = [&pixels](int x, int y) { return pixels[size_t(y) * GLEngineBed::kWidth + size_t(x)]; };
    const uint32_t cyan = test::Rgba(0, 255, 255);
    EXPECT_EQ(at(20, 20), cyan);                            // on the diagonal
    EXPECT_TRUE(at(20, 11) == cyan || at(20, 12) == cyan);  // on the near edge, a line on a pixel border
    EXPECT_EQ(at(26, 16), kBlack);                          // inside a triangle
    // While the path finder debugs, each update hands the mesh's five edges to the debug lines.
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    const Frustum all = Everywhere(region);
    level.Update(&all, 1, 16);
    EXPECT_EQ(debug.GetNumQueued(), 0u);
    Singleton<PathFinder>::Get()->SetDebuggingEnabled(true);
    level.Update(&all, 1, 16);
    EXPECT_EQ(debug.GetNumQueued(), 5u);
    Singleton<DebugRenderManager>::Destroy();
    // Outside any world the mesh is built from the level alone: no ground here, so no mesh; nor
    // once the level is unloaded.
    EXPECT_TRUE(level.CreatePathMesh() && !level.GetPathMesh().HasMesh());
    EXPECT_TRUE(level.Unload(false));
    EXPECT_TRUE(level.CreatePathMesh());
    EXPECT_TRUE(level.RebuildPathMesh(quadFaces));  // unloaded, it waits for the next post-load
    EXPECT_EQ(finder.GetNumMeshes(), 0u);
    Singleton<PathFinder>::Destroy();
}

TEST(LevelRegion, AnEditorRegionHasItsLevelAtOnce) {
    LevelRecords records;
    Region region(ABBox(Vec3(0, 0, 0), Vec3(50, 10, 50)));
    ASSERT_TRUE(region.IsLevelLoaded());
    EXPECT_EQ(region.GetWorld(), nullptr);
    EXPECT_FALSE(region.GetId().IsInvalid());
    LevelTestEntity* entity = LevelRecords::Make(test::kPlainRecord);
    ASSERT_TRUE(region.AddEntity(entity, WorldCoords(&region, Coords::Translation(Vec3(10, 0, 0))), false));
    EXPECT_EQ(std::pair(entity->added, region.GetLevel()->GetNumEntities()), std::pair(1, 1));
    // An interior's region is underground.
    EXPECT_FALSE(region.IsUnderground());
    test::LogCapture log;  // the default grid system's record is not there
    auto interior = std::make_unique<Level>(&region);
    interior->NewGrid(2, 1, 2);
    region.SetLevel(std::move(interior));
    EXPECT_TRUE(region.IsUnderground());
    // Neither the region's grid nor the world gathers faces for a navigation mesh.
    mem::vector<GeometryBus::SimpleFace> faces(1);
    region.GeometryBusStop(region.GetBoundingBox(), faces);
    World().GeometryBusStop(region.GetBoundingBox(), faces);
    EXPECT_EQ(faces.size(), 1u);
}

}  // namespace
}  // namespace GAME
