// Instance groups: affiliations decide who may join, members keep where they were last seen, and
// the groups go through chunk 17 of the world file and survive their members' levels unloading.

#include "world/InstanceGroupManager.h"

#include <cstring>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "LevelFixture.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "render/Viewport.h"
#include "scene/Light.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldRay.h"

namespace GAME {
namespace {

using test::LevelRecords;
using test::LevelStateEntity;
using test::LevelTestEntity;

class FileEngine : public test::LevelTestEngine {
public:
    using Engine::SetFileSystem;
};

// The engine's world over a writable directory, with the test entities affiliated to
// "Encounter" (LevelStateEntity derives from LevelTestEntity) and nothing to "Patrol".
class InstanceGroupTest : public ::testing::Test {
protected:
    InstanceGroupTest() {
        files.AddDirectory(directory.GetPath(), true);
        engine.SetFileSystem(&files);
        manager.AddGroupAffiliation("Encounter", &LevelTestEntity::classInfo);
        manager.AddGroupAffiliation("Patrol", &Light::classInfo);
    }
    ~InstanceGroupTest() override {
        engine.UnloadWorld();
        LevelRecords::Flush();
        InstanceGroupManager::Destroy();
    }
    Region* AddRegion(const std::string& name, const IntVec3& offset) {
        return test::AddLoadedRegion(world, name, offset, 64);
    }
    Entity* Place(Region* region, const Vec3& position, const char* record = test::kPlainRecord) {
        Entity* entity = LevelRecords::Make(record);
        EXPECT_TRUE(world.AddEntity(entity, WorldCoords(region, Coords::Translation(position)), false));
        return entity;
    }

    test::TempDirectory directory;
    FileSystem files;
    FileEngine engine;
    LevelRecords records;
    World& world = *engine.GetWorld();
    InstanceGroupManager& manager = *InstanceGroupManager::Get();
};

TEST_F(InstanceGroupTest, AffiliationsRefuseAClassNotDeclared) {
    Region* region = AddRegion("Camp", IntVec3(0, 0, 0));
    Entity* grunt = Place(region, Vec3(1, 0, 2));
    Entity* chief = Place(region, Vec3(5, 0, 2), test::kStateRecord);
    Light lamp;

    InstanceGroup& encounter = *manager.CreateNewGroup();
    EXPECT_EQ(encounter.GetName() + " " + encounter.GetTypeString(), "New Group Encounter");  // the first type
    encounter.AddEntity(grunt);
    encounter.AddEntity(chief);   // derives from the declared class
    encounter.AddEntity(&lamp);   // not declared for this type
    encounter.AddEntity(grunt);   // already a member
    encounter.AddEntity(nullptr);
    ASSERT_EQ(encounter.GetNumID(), 2);
    EXPECT_EQ(encounter.GetID(0), grunt->GetUniqueID());
    EXPECT_EQ(encounter.GetEntityData(1).region, region->GetId());
    EXPECT_EQ(encounter.GetEntityData(1).position, Vec3(5, 0, 2));
    EXPECT_EQ(encounter.GetCenter().GetRegionPosition(), Vec3(3, 0, 2));
    EXPECT_TRUE(manager.FilterEntity("Patrol", &lamp));
    EXPECT_FALSE(manager.FilterEntity("Patrol", grunt));
    EXPECT_FALSE(manager.FilterEntity("Ambush", grunt));  // a type without affiliations
    EXPECT_EQ(std::pair(manager.GetKeyIndex("Patrol"), manager.GetKeyIndex("Ambush")), std::pair(1, -1));

    EXPECT_FALSE(encounter.MoveEntityUp(0) || encounter.MoveEntityDown(1));  // the ends stay
    EXPECT_TRUE(encounter.MoveEntityUp(1));
    EXPECT_EQ(encounter.GetID(0), chief->GetUniqueID());
    EXPECT_EQ(encounter.GetEntityData(0).position, Vec3(5, 0, 2));  // data move with their ids

    // The pick ray meets the centre disc.
    EXPECT_EQ(manager.WorldGroupSelection(WorldRay(WorldVec3(region, Vec3(3, 10, 2)), Vec3(0, -1, 0))), 0);
    EXPECT_EQ(manager.WorldGroupSelection(WorldRay(WorldVec3(region, Vec3(9, 10, 2)), Vec3(0, -1, 0))), -1);

    // Members move down as well as up; one that moved is seen where it went; members leave by
    // place or by entity.
    EXPECT_FALSE(encounter.MoveEntityUp(2));
    EXPECT_TRUE(encounter.MoveEntityDown(0));
    EXPECT_EQ(encounter.GetID(1), chief->GetUniqueID());
    world.SetCoords(grunt, WorldCoords(region, Coords::Translation(Vec3(7, 0, 7))));
    manager.UpdateEntityData(grunt);
    EXPECT_EQ(encounter.GetEntityData(0).position, Vec3(7, 0, 7));
    EXPECT_EQ(encounter.GetEntityData(1).position, Vec3(5, 0, 2));
    encounter.RemoveEntity(chief);
    ASSERT_EQ(encounter.GetNumID(), 1);
    EXPECT_EQ(encounter.GetEntityData(0).position, Vec3(7, 0, 7));
    EXPECT_EQ(encounter.GetCenter().GetRegionPosition(), Vec3(7, 0, 7));
    encounter.RemoveEntity(0);
    EXPECT_EQ(encounter.GetNumID(), 0);
    mem::vector<std::string> types;
    manager.GetGroupTypes(types);
    EXPECT_EQ(types, (mem::vector<std::string>{"Encounter", "Patrol"}));

    // A new type empties the group, ids and data alike, so the next member is paired right.
    encounter.AddEntity(grunt);
    encounter.SetType("Patrol");
    EXPECT_EQ(encounter.GetNumID(), 0);
    encounter.AddEntity(grunt);
    EXPECT_EQ(encounter.GetNumID(), 0);
    encounter.AddEntity(&lamp);
    ASSERT_EQ(encounter.GetNumID(), 1);
    EXPECT_EQ(encounter.GetEntityData(lamp.GetUniqueID())->position, Vec3(0, 0, 0));

    manager.DisavowAllKnowledge(&lamp);
    EXPECT_EQ(encounter.GetNumID(), 0);
    manager.DisavowAllKnowledge(nullptr);  // no entity: nothing to do
    manager.UpdateEntityData(nullptr);
}

TEST_F(InstanceGroupTest, GroupsRoundTripThroughTheWorldFileAndSurviveTheirMembersLevelsUnloading) {
    Region* west = AddRegion("West", IntVec3(0, 0, 0));
    Region* east = AddRegion("East", IntVec3(200, 0, 0));
    Entity* a = Place(west, Vec3(10, 0, 4));
    Entity* b = Place(east, Vec3(-10, 0, 8));
    InstanceGroup& raid = *manager.CreateNewGroup();
    raid.SetName("Raid");
    raid.AddEntity(a);
    raid.AddEntity(b);
    // The centre averages both in the first member's region: (10 + 190) / 2.
    EXPECT_EQ(raid.GetCenter().GetRegion(), west);
    EXPECT_EQ(raid.GetCenter().GetRegionPosition(), Vec3(100, 0, 6));
    InstanceGroup& scouts = *manager.CreateNewGroup();
    scouts.SetName("Scouts");
    scouts.AddEntity(b);
    raid.AddChild(&scouts);
    raid.AddChild(&scouts);
    ASSERT_EQ(raid.GetNumChildren(), 1);
    const UniqueId idA = a->GetUniqueID(), idB = b->GetUniqueID();
    const RegionId eastId = east->GetId();

    // The members' levels go (their entities with them); the groups keep where they were.
    west->UnloadLevel(true, false);
    east->UnloadLevel(true, false);
    LevelRecords::Flush();
    raid.CalcCenter();
    EXPECT_EQ(raid.GetCenter().GetRegionPosition(), Vec3(100, 0, 6));
    ASSERT_NE(manager.GetEntityData(idB), nullptr);
    EXPECT_EQ(manager.GetEntityData(idB)->region, east->GetId());
    EXPECT_EQ(manager.GetEntityData(idB)->position, Vec3(-10, 0, 8));
    mem::vector<int> holding;
    manager.GetGroupsThatContain(idB, holding);
    EXPECT_EQ(holding, (mem::vector<int>{0, 1}));

    // Through the world file and back; unloading the world forgets them meanwhile.
    world.SetFileName("worlds/groups.wrl");
    ASSERT_TRUE(world.Save());
    const UniqueId raidId = raid.GetGroupID(), scoutsId = scouts.GetGroupID();
    world.Unload();
    EXPECT_EQ(manager.GetNumGroups(), 0);
    ASSERT_TRUE(world.Load("worlds/groups.wrl", false, false));
    ASSERT_EQ(manager.GetNumGroups(), 2);
    const InstanceGroup& loaded = *manager.GetGroup("Raid");
    EXPECT_EQ(loaded.GetGroupID(), raidId);
    EXPECT_EQ(loaded.GetTypeString(), "Encounter");
    ASSERT_EQ(std::pair(loaded.GetNumID(), loaded.GetNumChildren()), std::pair(2, 1));
    EXPECT_EQ(loaded.GetID(0), idA);
    EXPECT_EQ(loaded.GetEntityData(0).position, Vec3(10, 0, 4));
    EXPECT_EQ(loaded.GetEntityData(1).region, eastId);
    EXPECT_EQ(loaded.GetChildId(0), scoutsId);
    EXPECT_EQ(manager.GetGroup(scoutsId)->GetName(), "Scouts");

    mem::vector<int> encounters;
    manager.GetGroupsOfType("Encounter", encounters);
    EXPECT_EQ(encounters, (mem::vector<int>{0, 1}));
    manager.GetGroupsOfType(nullptr, encounters);
    EXPECT_EQ(encounters.size(), 2u);

    // Deleting a group removes the links to it.
    manager.DeleteGroup(1);
    for (const int none : {-1, 1}) manager.DeleteGroup(none);  // no such group: nothing happens
    EXPECT_EQ(manager.GetGroup("Raid")->GetNumChildren(), 0);
    EXPECT_TRUE(manager.GetGroup("Scouts") == nullptr && manager.GetGroup(scoutsId) == nullptr);
    manager.DeleteGroup(0);
    EXPECT_EQ(manager.GetNumGroups(), 0);
}

TEST_F(InstanceGroupTest, OlderAppendedAndDamagedBlocks) {
    InstanceGroup& kept = *manager.CreateNewGroup();
    // A version-1 record: members, no group id, no children.
    BinaryWriter block;
    for (const uint32_t word : {0u, 1u, 1u}) block.Write(word);  // the block's first word, one group, its version
    block.Write(std::string("Old"));
    block.Write(std::string("Encounter"));
    block.Write(1u);
    UniqueId member;
    member.Create();
    block.WriteWordOrder(member);
    RegionId(1, 2, 3, 4).Write(block);
    block.Write(Vec3(1, 2, 3));
    BinaryReader reader(block.GetBuffer(), block.GetPosition());
    ASSERT_TRUE(manager.Load(reader, true));
    ASSERT_EQ(manager.GetNumGroups(), 2);
    EXPECT_EQ(manager.GetGroup(0), &kept);
    const InstanceGroup& old = *manager.GetGroup(1);
    EXPECT_EQ(old.GetName(), "Old");
    EXPECT_FALSE(old.GetGroupID().IsNull());
    EXPECT_EQ(old.GetNumChildren(), 0);
    EXPECT_EQ(old.GetEntityData(member)->region, RegionId(1, 2, 3, 4));

    // Every cut of a saved block fails or reads what lies before the cut; a huge member or child
    // count or an unknown version is damage, not an allocation or a misread.
    kept.AddChild(&old);
    BinaryWriter saved;
    manager.Save(saved);
    const mem::vector<unsigned char> whole(saved.GetBuffer(), saved.GetBuffer() + saved.GetPosition());
    for (uint32_t cut = 0; cut + 1 < whole.size(); ++cut) {
        test::LogCapture log;
        BinaryReader partial(whole.data(), cut);
        EXPECT_FALSE(manager.Load(partial, false)) << cut;
        EXPECT_LE(manager.GetNumGroups(), 1);
    }
    BinaryReader full(whole.data(), uint32_t(whole.size()));
    ASSERT_TRUE(manager.Load(full, false));
    EXPECT_EQ(manager.GetNumGroups(), 2);
    for (const auto& [at, fill, error] :
         {std::tuple{size_t(8), 0x00, "unknown version"},
          std::tuple{whole.size() - 4, 0xff, "record 2 of 2 (version 2) cannot be read"}}) {
        mem::vector<unsigned char> bad = whole;
        std::memset(bad.data() + at, fill, 4);
        test::LogCapture log;
        BinaryReader damaged(bad.data(), uint32_t(bad.size()));
        EXPECT_FALSE(manager.Load(damaged, false));
        EXPECT_TRUE(log.Contains(LogPriority::Error, error)) << error;
    }

    // A record of a later version begins with the fields of version 2, and reads as one; as its
    // fields may still be misread, a warning names the file, the chunk, the record and its version.
    const std::string warning = "Instance groups (chunk 17) of worlds/a.wrl: record ";
    const std::string misread = ", read as version 2; fields of its version this engine does not know may be misread";
    for (const uint32_t version : {3u, 9u}) {
        mem::vector<unsigned char> newer = whole;
        std::memcpy(newer.data() + 8, &version, 4);
        BinaryReader fromNewer(newer.data(), uint32_t(newer.size()));
        test::LogCapture log;
        ASSERT_TRUE(manager.Load(fromNewer, false, "worlds/a.wrl")) << version;
        ASSERT_EQ(std::pair(manager.GetNumGroups(), manager.GetGroup(0)->GetNumChildren()), std::pair(2, 1)) << version;
        EXPECT_EQ(manager.GetGroup(0)->GetChildId(0), manager.GetGroup(1)->GetGroupID());
        EXPECT_TRUE(
            log.Contains(LogPriority::Warning, warning + "1 is of version " + std::to_string(version) + misread));
    }

    // Records carry no length: fields a later version adds (or any bytes left in the chunk) make
    // the block fail, naming the chunk, the record and its version, and keep none of its groups.
    struct Case {
        uint32_t version[2];
        uint32_t extra[2];  // bytes after each record
        std::string error;  // in the last line
        std::string newer;  // the warning's record and version, if any
    };
    for (const Case& c : {Case{{3, 2}, {4, 0}, "record 2 of 2 (version 117901063) cannot be read", "1 is of version 3"},
                          Case{{2, 9}, {0, 8}, "8 bytes are left after record 2 of 2 (version 9)", "2 is of version 9"},
                          Case{{2, 2}, {0, 1}, "1 bytes are left after record 2 of 2 (version 2)", ""}}) {
        mem::vector<unsigned char> chunk{0, 0, 0, 0, 2, 0, 0, 0};
        for (int i = 0; i < 2; ++i) {
            BinaryWriter record;
            manager.GetGroup(i)->Save(record);
            const size_t at = chunk.size();
            chunk.insert(chunk.end(), record.GetBuffer(), record.GetBuffer() + record.GetPosition());
            std::memcpy(chunk.data() + at, &c.version[i], 4);
            chunk.resize(chunk.size() + c.extra[i], 7);
        }
        test::LogCapture errors;
        BinaryReader chunkReader(chunk.data(), uint32_t(chunk.size()));
        EXPECT_FALSE(manager.Load(chunkReader, true, "worlds/a.wrl")) << c.error;
        const std::string line = errors.Lines().empty() ? "" : errors.Lines().back().text;
        EXPECT_EQ(line, "Instance groups (chunk 17): " + c.error);
        EXPECT_EQ(errors.Count(LogPriority::Warning), c.newer.empty() ? 0u : 1u) << c.error;
        EXPECT_EQ(errors.Contains(LogPriority::Warning, warning + c.newer + misread), !c.newer.empty()) << c.error;
        EXPECT_EQ(manager.GetNumGroups(), 2);
    }
}

// The editor's drawing of a group on the GL device, seen from above at a pixel a unit: a line
// from each member to the centre (of the members in pixels (10, 20) and (50, 20)), the disc there
// and an arrow to the child group in pixel (30, 56); red when selected, black otherwise.
TEST(InstanceGroupRender, LinesFromTheMembersAndAnArrowToTheChildInTheSelectionsColour) {
    test::GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    LevelRecords records;
    InstanceGroupManager& manager = *InstanceGroupManager::Get();
    manager.AddGroupAffiliation("Encounter", &LevelTestEntity::classInfo);
    Region region(ABBox(Vec3(64, 0, 32), Vec3(64, 10, 32)));
    const auto place = [&region](InstanceGroup& group, const Vec3& at) {
        Entity* entity = LevelRecords::Make(test::kPlainRecord);
        EXPECT_TRUE(region.AddEntity(entity, WorldCoords(&region, Coords::Translation(at)), false));
        group.AddEntity(entity);
        return entity;
    };
    InstanceGroup& group = *manager.CreateNewGroup();
    // The first member moved since it joined: drawing the group takes its place again.
    Entity* moved = place(group, Vec3(10.5f, 0, 2.5f));
    region.GetLevel()->MoveEntity(moved, Coords::Translation(Vec3(10.5f, 0, 20.5f)));
    place(group, Vec3(50.5f, 0, 20.5f));
    InstanceGroup& child = *manager.CreateNewGroup();
    place(child, Vec3(30.5f, 0, 56.5f));
    child.CalcCenter();
    group.AddChild(&child);
    group.AddChild(manager.CreateNewGroup());  // no members, no centre: no arrow
    const auto draw = [&](bool selected, InstanceGroup* drawn = nullptr) {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(Viewport(0, 0, test::GLEngineBed::kWidth, test::GLEngineBed::kHeight));
        (drawn ? *drawn : group).Render(&region, drawer, selected);
    };
    bed.Clear();
    draw(true);
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    for (const auto& [x, y] : {std::pair{15, 20}, {45, 20}, {30, 40}})
        EXPECT_EQ(pixels[size_t(y * test::GLEngineBed::kWidth + x)], test::Rgba(217, 0, 0)) << x << " " << y;
    EXPECT_EQ(bed.FindDrawn(test::Rgba(0, 0, 0)), (std::vector<int>{10, 20, 51, 56}));
    EXPECT_EQ(group.GetEntityData(0).position, Vec3(10.5f, 0, 20.5f));
    draw(false);  // the same shapes in black
    EXPECT_EQ(bed.FindDrawn(test::Rgba(0, 0, 0)), (std::vector<int>{0, 0, 0, 0}));
    draw(true, &child);  // one member: no line, only the disc at the centre
    EXPECT_EQ(bed.FindDrawn(test::Rgba(0, 0, 0)), (std::vector<int>{30, 56, 31, 57}));
    region.GetLevel()->DestroyAllEntities(-1);
    draw(true);  // nothing left to join
    group.RemoveEntity(1);
    group.RemoveEntity(0);
    bed.Clear();
    draw(true);  // no members: not even the centre
    EXPECT_EQ(bed.FindDrawn(test::Rgba(0, 0, 0)), (std::vector<int>{0, 0, 0, 0}));
    InstanceGroupManager::Destroy();
    EXPECT_EQ(InstanceGroupManager::Get()->GetNumGroups(), 0);  // the next one is new
}

}  // namespace
}  // namespace GAME
