// Grid entrances: the portal an entrance makes from its mesh when it enters a level, which follows
// it, leaves with it and keeps its ids in the entrance's stream.

#include "terrain/GridEntrance.h"

#include "SampleGrid.h"
#include "support/RecordingEngineTest.h"

#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "support/LogCapture.h"
#include "world/Level.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <string>

namespace GAME::test {
namespace {

class GridEntranceTest : public RecordingEngineTest {
protected:
    void SetUp() override {
        FileSystem writable;
        writable.AddDirectory(directory.GetPath(), true);
        ASSERT_TRUE(sample::WriteGrid(writable));
        StartEngine();
        region = world.GetRegion(world.AddRegion("yard", IntVec3(), ABBox(), RegionId()));
        auto level = std::make_unique<Level>(region);
        level->NewSpace(Vec2(20, 20));
        level->PostLoad(false);
        region->SetLevel(std::move(level));
    }
    void TearDown() override {
        for (GridEntrance* entrance : made) {
            if (entrance->IsInWorld()) region->GetLevel()->RemoveEntity(entrance);
            Singleton<ObjectManager>::Get()->DestroyObjectEx(entrance, __FILE__, __LINE__);
        }
        world.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(1000);
        RecordingEngineTest::TearDown();
    }
    GridEntrance* Make() {
        made.push_back(Singleton<ObjectManager>::Get()->CreateObjectFromFile<GridEntrance>(sample::kGridEntranceRecord));
        return made.back();
    }
    // The three ids at the end of the entrance's stream.
    static std::string StoredIds(const GridEntrance& entrance) {
        BinaryWriter writer;
        entrance.Write(writer);
        return std::string(reinterpret_cast<const char*>(writer.GetBuffer()) + writer.GetPosition() - 48, 48);
    }

    World world;
    Region* region = nullptr;
    std::vector<GridEntrance*> made;
    const UniqueId id = UniqueId::FromNameOrderWords({1, 2, 3, 4});
    const UniqueId connected = UniqueId::FromNameOrderWords({5, 6, 7, 8});
    const RegionId crypt{9, 10, 11, 12};
};

TEST_F(GridEntranceTest, ThePortalComesWithTheEntranceFollowsItAndKeepsItsIds) {
    GridEntrance* entrance = Make();
    ASSERT_NE(entrance, nullptr);
    EXPECT_EQ(StoredIds(*entrance), std::string(48, '\0'));  // never in a level: null and invalid ids
    entrance->SetPortalIds(id, connected, crypt);
    EXPECT_TRUE(entrance->IsPortalInfoValid());
    ASSERT_TRUE(region->GetLevel()->AddEntity(entrance, Coords::Translation(Vec3(5, 0, 5))));
    Portal* portal = entrance->GetPortal();
    ASSERT_NE(portal, nullptr);
    EXPECT_EQ(region->GetPortal(id), portal);
    EXPECT_EQ(portal->GetConnectedPortalId(), connected);
    EXPECT_EQ(portal->GetConnectedRegionId(), crypt);
    EXPECT_TRUE(entrance->GetPortalIsOpen());
    // The mesh's opening, 1.5 wide and 2.25 high, where the entrance stands.
    EXPECT_NEAR(portal->GetRegionBoundingBox().coords.origin.x, 5.0f, 1e-4f);
    region->GetLevel()->MoveEntity(entrance, Coords::Translation(Vec3(8, 1, 5)));
    EXPECT_NEAR(portal->GetRegionBoundingBox().coords.origin.x, 8.0f, 1e-4f);
    entrance->SetPortalIsOpen(false);
    EXPECT_FALSE(portal->GetIsOpen());

    // The live portal's ids are the ones kept: entering again without leaving (as a level's
    // post-load tells every entity) replaces the portal by one with them, where the entrance is.
    portal->SetConnectedPortalId(id);
    entrance->OnAddToLevel(region->GetLevel());
    ASSERT_EQ(region->GetNumPortals(), 1);
    ASSERT_EQ(region->GetPortal(0), entrance->GetPortal());
    portal = entrance->GetPortal();
    EXPECT_EQ(portal->GetId(), id);
    EXPECT_EQ(portal->GetConnectedPortalId(), id);
    EXPECT_EQ(portal->GetConnectedRegionId(), crypt);
    EXPECT_NEAR(portal->GetRegionBoundingBox().coords.origin.x, 8.0f, 1e-4f);
    // The ids written are the live portal's; another entrance reads them back.
    BinaryWriter stream;
    entrance->Write(stream);
    GridEntrance* copy = Make();
    BinaryReader reader(stream.GetBuffer(), stream.GetPosition());
    ASSERT_TRUE(copy->Read(reader));
    EXPECT_EQ(copy->GetConnectedPortalId(), id);
    EXPECT_EQ(copy->GetConnectedRegionId(), crypt);

    // Out of the level the portal goes, but the entrance still writes what it was joined to.
    region->GetLevel()->RemoveEntity(entrance);
    EXPECT_FALSE(entrance->DoesPortalExist());
    EXPECT_EQ(region->GetNumPortals(), 0);
    EXPECT_FALSE(entrance->GetPortalIsOpen());
    EXPECT_EQ(StoredIds(*entrance), StoredIds(*copy));

    // Without a stored id the portal keeps the one its region gave it.
    GridEntrance* fresh = Make();
    ASSERT_TRUE(region->GetLevel()->AddEntity(fresh, Coords::Translation(Vec3(-5, 0, 5))));
    ASSERT_NE(fresh->GetPortal(), nullptr);
    EXPECT_FALSE(fresh->GetPortal()->GetId().IsNull());
}

TEST_F(GridEntranceTest, DumpIdsEndsWithALineOfDashes) {
    GridEntrance* entrance = Make();
    entrance->SetPortalIds(id, connected, crypt);
    LogCapture log;
    entrance->DumpIds();
    const std::vector<LogCapture::Line> lines = log.Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(std::vector<std::string>({lines[1].text, lines[2].text, lines[3].text, lines[4].text}),
              std::vector<std::string>({"^gPortal ID (1:2:3:4)", "^gConn Portal ID (5:6:7:8)",
                                        "^gConn Region ID (9:a:b:c)", "^b" + std::string(76, '-')}));
}

}  // namespace
}  // namespace GAME::test
