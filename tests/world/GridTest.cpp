// Grid systems and grid regions: the configuration and rotation chosen for the posts and walls
// around a cell, the cell names, resizing and turning the grid, and the grid block through a
// level file, whole, cut, hostile and in its older form.

#include "world/GridRegion.h"

#include "LevelFixture.h"
#include "core/Singleton.h"
#include "core/WorldVec3.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "support/TempDirectory.h"
#include "world/Region.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "support/LogCapture.h"
#include "world/GridSystem.h"
#include "world/Level.h"

#include <gtest/gtest.h>

#include <array>

#include <string>

namespace GAME {
namespace {

using test::LogCapture;

// The names of a cell whose posts and walls, seen from corner turn, carry the key's bits.
void NamesFromKey(uint8_t key, int turn, char base[5], char mid[5]) {
    for (int i = 0; i < 4; ++i) {
        base[(turn + i) % 4] = key & (0x80 >> i) ? '1' : '0';
        mid[(turn + i) % 4] = key & (0x08 >> i) ? '1' : '0';
    }
    base[4] = mid[4] = '\0';
}

TEST(GridSystem, EveryConfigurationIsFoundUnderEveryTurnWithTheTurnThatFitsIt) {
    int rotation = -1;
    EXPECT_EQ(GridSystem::FindConfiguration("0000", "0000", rotation), 8);  // I
    EXPECT_EQ(rotation, 0);
    EXPECT_EQ(GridSystem::FindConfiguration("0100", "xxxx", rotation), 5);  // F, seen from post 1
    EXPECT_EQ(rotation, 3);
    EXPECT_EQ(GridSystem::FindConfiguration("1111", "1111", rotation), 13);  // N
    // 'x' and any value but 1 count as absent.
    EXPECT_EQ(GridSystem::FindConfiguration("1221", "x2xx", rotation), GridSystem::FindConfiguration("1001", "0000", rotation));
    for (int entry = 0; entry < GridSystem::kNumConfigurations; ++entry) {
        char base[5];
        char mid[5];
        NamesFromKey(GridSystem::kKeys[size_t(entry)], 0, base, mid);
        EXPECT_EQ(GridSystem::FindConfiguration(base, mid, rotation), entry);
        EXPECT_EQ(rotation, 0);
        for (int turn = 1; turn < 4; ++turn) {
            NamesFromKey(GridSystem::kKeys[size_t(entry)], turn, base, mid);
            const int found = GridSystem::FindConfiguration(base, mid, rotation);
            ASSERT_GE(found, 0) << entry << " " << turn;
            // The entry found, seen from the corner its rotation names, has exactly these names.
            char again[5];
            char againMid[5];
            NamesFromKey(GridSystem::kKeys[size_t(found)], (4 - rotation) % 4, again, againMid);
            EXPECT_EQ(std::string(again) + againMid, std::string(base) + mid) << entry << " " << turn;
        }
    }
}

class GridRegionTest : public ::testing::Test {
protected:
    GridRegionTest() { grid.SetSystem(""); }

    // A 3 x 2 x 2 grid with a closed room in cell (1, 1, 0), a wall to a lower post, features and
    // portal records.
    void Furnish(GridRegion& g) {
        g.Resize(3, 2, 2);
        for (int i = 2; i <= 4; ++i)
            for (int k = 0; k <= 2; ++k) g.SetLatticeValue(i, 1, k, 1);
        g.SetCellFloor(1, 1, 0, 1);
        g.SetLatticeValue(5, 0, 2, 1);
        g.SetLatticeValue(6, 0, 2, 0);
        g.SetCellFeature(2, 1, 1, 3, 2);
        g.SetLatticeValue(99, 0, 0, 7);  // outside: ignored
    }

    LogCapture log;
    GridRegion grid{nullptr};
};

TEST_F(GridRegionTest, CellNamesMarkWallsBetweenUnequalOrMissingPostsAsNone) {
    Furnish(grid);
    // A grid outside any region fades nothing, even its room's front wall seen from before it.
    grid.UpdateTransparency(WorldVec3(nullptr, Vec3(1.5f, 6, -8)), WorldVec3(nullptr, Vec3(1.5f, 1.2f, 0.5f)), 100);
    EXPECT_EQ(grid.GetWallTransparency(3, 1, 0), 1.0f);
    char base[5], mid[5];
    grid.GetCellNames(1, 1, 0, base, mid);
    EXPECT_EQ(std::string(base) + " " + mid, "1111 1111");
    EXPECT_EQ(grid.GetCellFloor(1, 1, 0), 1);
    grid.SetLatticeValue(4, 1, 2, 2);  // post 2 differs: walls 1 and 2 are none
    grid.GetCellNames(1, 1, 0, base, mid);
    EXPECT_EQ(std::string(base) + " " + mid, "1121 1xx1");
    grid.GetCellNames(0, 1, 0, base, mid);  // its posts 1 and 2 are the room's, posts 0 and 3 empty
    EXPECT_EQ(std::string(base) + " " + mid, "0110 x1xx");
}

TEST_F(GridRegionTest, GrowingFloorsAddsThemBelowAndFourTurnsGiveTheGridBack) {
    Furnish(grid);
    const auto snapshot = [&](const GridRegion& g) {
        std::string bytes;
        for (int i = 0; i < 2 * g.GetXNumCells() + 1; ++i)
            for (int j = 0; j < g.GetYNumCells(); ++j)
                for (int k = 0; k < 2 * g.GetZNumCells() + 1; ++k) bytes += char('0' + g.GetLatticeValue(i, j, k));
        for (int x = 0; x < g.GetXNumCells(); ++x)
            for (int y = 0; y < g.GetYNumCells(); ++y)
                for (int z = 0; z < g.GetZNumCells(); ++z)
                    bytes += char('a' + g.GetCellFeature(x, y, z).feature) + std::to_string(g.GetCellFeature(x, y, z).rotation % 4);
        return bytes;
    };
    // One turn: the grid is 2 x 2 x 3 and cell (x, z) went to (z, X - 1 - x) with its feature turned.
    const std::string before = snapshot(grid);
    grid.Rotate();
    EXPECT_EQ(std::pair(grid.GetXNumCells(), grid.GetZNumCells()), std::pair(2, 3));
    EXPECT_EQ(grid.GetCellFeature(1, 1, 0), (GridRegion::FeatureCell{3, 3}));
    EXPECT_EQ(grid.GetCellFeature(1, 0, 0), (GridRegion::FeatureCell{0, 1}));  // every cell turns, on every floor
    EXPECT_EQ(grid.GetCellFloor(0, 1, 1), 1);
    for (int turn = 1; turn < 4; ++turn) grid.Rotate();
    // Four turns: the same lattice, and each feature a whole turn further.
    EXPECT_EQ(snapshot(grid), before);

    grid.Resize(3, 4, 2);
    EXPECT_EQ(grid.GetYNumCells(), 4);
    EXPECT_EQ(grid.GetCellFloor(1, 3, 0), 1);  // floor 1 is now floor 3
    EXPECT_EQ(grid.GetCellFloor(1, 1, 0), 0);
    EXPECT_EQ(grid.GetLatticeValue(5, 2, 2), 1);
    EXPECT_EQ(grid.GetCellFeature(2, 3, 1).feature, 3);
    grid.Resize(3, 1, 2);  // the floors above the first go
    EXPECT_EQ(grid.GetLatticeValue(5, 0, 2), 0);
}

// The level file with the grid as its ground, read back.
std::unique_ptr<Level> ThroughLevelFile(GridRegion* ground, Region* region) {
    Level level(region);
    level.NewSpace(Vec2(50, 50));
    level.SetGround(std::unique_ptr<LevelGround>(ground));
    BinaryWriter writer;
    level.Save(writer, false);
    auto loaded = std::make_unique<Level>(region);
    if (!loaded->Load(writer.GetBuffer(), writer.GetPosition(), false)) return nullptr;
    loaded->PostLoad(false);
    return loaded;
}

TEST_F(GridRegionTest, TheGridComesBackThroughTheLevelFileWithItsPortalRecords) {
    test::LevelRecords records;
    auto* ground = new GridRegion(records.GetRegion());
    ground->SetSystem("Records/Grid/None.dbr");
    Furnish(*ground);
    BinaryWriter block;
    ground->SaveBlock(block);
    // A portal record for a cell, and one outside the grid, as an older save left them.
    BinaryWriter withPortals;
    withPortals.Write(block.GetBuffer(), block.GetPosition());
    withPortals.BeginChunk(GridRegion::kChunkPortals);
    withPortals.Write(2u);
    for (uint32_t n = 0; n < 2; ++n) {
        for (uint32_t word : {1u, 2u, 3u, 4u + n, 5u, 6u, 7u, 8u, 9u, 9u, 9u, 9u}) withPortals.Write(word);
        for (uint32_t c : {n << 30, 1u, 0u}) withPortals.Write(c);
    }
    withPortals.EndChunk();
    BinaryReader reader(withPortals.GetBuffer(), withPortals.GetPosition());
    ASSERT_TRUE(ground->LoadBlock(reader));
    ASSERT_EQ(ground->GetPortalRecords().size(), 2u);

    const std::unique_ptr<Level> level = ThroughLevelFile(ground, records.GetRegion());
    ASSERT_TRUE(level);
    EXPECT_TRUE(level->IsUnderground());
    const auto* loaded = dynamic_cast<const GridRegion*>(level->GetGround());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetSystemFileName(), "Records/Grid/None.dbr");
    EXPECT_EQ(std::tuple(loaded->GetYNumCells(), loaded->GetHighestVisibleFloor(), int(loaded->GetCellFloor(1, 1, 0)),
                         int(loaded->GetLatticeValue(5, 0, 2))),
              std::tuple(2, 1, 1, 1));
    EXPECT_EQ(loaded->GetCellFeature(2, 1, 1), (GridRegion::FeatureCell{3, 2}));
    // No mesh made a portal, so the records read are the ones kept and written again.
    ASSERT_EQ(loaded->GetPortalRecords().size(), 2u);
    EXPECT_EQ(loaded->GetPortalRecords()[0].connectedRegion, RegionId(9, 9, 9, 9));
    EXPECT_EQ(loaded->GetPortalRecords()[1].x, 1u << 30);  // far outside: left alone
    EXPECT_EQ(level->GetBoundingBox().halfSize.y, 1.0f);  // two floors of spacing 1
}

TEST_F(GridRegionTest, OldUnknownCutAndHostileBlocksLoadOrFailCleanly) {
    Furnish(grid);
    BinaryWriter lattice;  // the lattice chunk's content alone
    {
        BinaryWriter block;
        grid.SaveBlock(block);
        BinaryReader whole(block.GetBuffer(), block.GetPosition());
        whole.Skip(12);  // version, chunk id and size
        lattice.Write(whole.GetCursor(), whole.GetRemaining());
    }
    BinaryWriter version1;
    version1.Write(1u);
    version1.Write(lattice.GetBuffer(), lattice.GetPosition());
    BinaryWriter unknown;
    unknown.Write(2u);
    unknown.BeginChunk(77);
    unknown.Write(123u);
    unknown.EndChunk();
    unknown.BeginChunk(GridRegion::kChunkLattice);
    unknown.Write(lattice.GetBuffer(), lattice.GetPosition());
    unknown.EndChunk();
    for (const BinaryWriter* good : {&version1, &unknown}) {
        GridRegion copy(nullptr);
        BinaryReader reader(good->GetBuffer(), good->GetPosition());
        ASSERT_TRUE(copy.LoadBlock(reader));
        EXPECT_EQ(copy.GetXNumCells(), 3);
        EXPECT_EQ(copy.GetCellFloor(1, 1, 0), 1);
        EXPECT_EQ(copy.GetCellFeature(2, 1, 1).feature, 3);
    }

    BinaryWriter huge;  // a lattice of about 2^33 bytes announced in a few bytes
    huge.Write(1u);
    huge.Write(std::string());
    for (uint32_t n : {1000u, 1000u, 1000u}) huge.Write(n);
    BinaryWriter tooLarge;
    tooLarge.Write(1u);
    tooLarge.Write(std::string());
    for (uint32_t n : {0xFFFFFFFFu, 1u, 1u}) tooLarge.Write(n);
    BinaryWriter version3;
    version3.Write(3u);
    BinaryWriter portals;  // more portal records announced than their chunk holds
    portals.Write(unknown.GetBuffer(), unknown.GetPosition());
    portals.BeginChunk(GridRegion::kChunkPortals);
    portals.Write(0xFFFFFFFFu);
    portals.EndChunk();
    for (const BinaryWriter* bad : {&huge, &tooLarge, &version3, &portals}) {
        GridRegion copy(nullptr);
        Furnish(copy);
        BinaryReader reader(bad->GetBuffer(), bad->GetPosition());
        EXPECT_FALSE(copy.LoadBlock(reader));
        EXPECT_EQ(copy.GetXNumCells(), 0);
    }
    for (const BinaryWriter* whole : {&version1, &unknown}) {
        for (uint32_t cut = 0; cut < whole->GetPosition(); cut += 7) {
            GridRegion copy(nullptr);
            BinaryReader reader(whole->GetBuffer(), cut);
            log.Clear();
            EXPECT_FALSE(copy.LoadBlock(reader)) << cut;
            EXPECT_EQ(log.Count(LogPriority::Error), 1u) << cut;  // named before anything is read
            EXPECT_EQ(copy.GetXNumCells(), 0);
        }
    }
}

}  // namespace
}  // namespace GAME

namespace GAME {
namespace {

// A wall run along x in front of the focus cell, another behind it, and a cross wall at the run's
// right end; a grid system of unit spacing whose walls fade no lower than 0.3.
class GridTransparencyTest : public ::testing::Test {
protected:
    GridTransparencyTest() {
        directory.WriteFile("records/grid/crypt.dbr", "Class,GridSystem,\ncellSpacingX,1,\ncellSpacingY,1,\n"
                                                       "cellSpacingZ,1,\nminWallOpacity,0.3,\n");
        files.AddDirectory(directory.GetPath());
        Singleton<ObjectManager>::Get()->SetTableDepot(&depot);
        grid.SetSystem("Records/Grid/Crypt.dbr");
        grid.Resize(4, 1, 3);
        for (int i = 0; i <= 6; ++i) grid.SetLatticeValue(i, 0, 2, 1);  // in front: z = 1
        for (int i = 0; i <= 6; ++i) grid.SetLatticeValue(i, 0, 4, 1);  // behind: z = 2
        for (int k = 0; k <= 2; ++k) grid.SetLatticeValue(6, 0, k, 1);  // across, at x = 3
    }
    ~GridTransparencyTest() override {
        grid.SetSystem("");
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        EXPECT_EQ(Singleton<ObjectManager>::Get()->GetNumObjects(), 0);  // the grids took their systems along
        Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
    }

    test::TempDirectory directory;
    FileSystem files;
    TableDepot depot{files};
    Region region{nullptr, 0, "Crypt", ABBox(Vec3(2, 0, 2), Vec3(2, 1, 2)), IntVec3(), RegionId()};
    GridRegion grid{&region};
};

TEST_F(GridTransparencyTest, WallsBetweenCameraAndFocusFadeToTheMinimumAndNoFurther) {
    ASSERT_NE(grid.GetSystem(), nullptr);
    EXPECT_EQ(grid.GetSystem()->GetCellSpacing(), Vec3(1, 1, 1));
    const WorldVec3 focus(&region, Vec3(1.5f, 0.2f, 1.5f));
    const WorldVec3 camera(&region, Vec3(1.5f, 5.0f, -8.0f));
    grid.UpdateTransparency(camera, focus, 100);  // fades by 0.5
    for (int i : {1, 3, 5}) EXPECT_NEAR(grid.GetWallTransparency(i, 0, 2), 0.5f, 1e-5f) << i;
    EXPECT_NEAR(grid.GetWallTransparency(2, 0, 2), 0.5f, 1e-5f);  // a post takes its pieces' lowest
    for (int i : {1, 3, 5}) EXPECT_EQ(grid.GetWallTransparency(i, 0, 4), 1.0f) << i;  // behind the focus
    // The cross wall at x = 3 stands to the right of both camera and focus.
    EXPECT_EQ(grid.GetWallTransparency(6, 0, 1), 1.0f);
    for (int frame = 0; frame < 10; ++frame) grid.UpdateTransparency(camera, focus, 100);
    for (int i : {1, 3, 5}) EXPECT_NEAR(grid.GetWallTransparency(i, 0, 2), 0.3f, 1e-5f) << i;

    // Seen from behind, the front run comes back and the back run fades.
    const WorldVec3 behind(&region, Vec3(1.5f, 5.0f, 9.0f));
    grid.UpdateTransparency(behind, focus, 100);
    EXPECT_NEAR(grid.GetWallTransparency(3, 0, 2), 0.55f, 1e-5f);
    EXPECT_NEAR(grid.GetWallTransparency(3, 0, 4), 0.5f, 1e-5f);
    grid.ClearTransparency();
    EXPECT_EQ(grid.GetWallTransparency(3, 0, 4), 1.0f);
    // A focus just west of the grid, seen from the east at its own depth: the run beside the line
    // of sight stays.
    grid.UpdateTransparency(WorldVec3(&region, Vec3(9, 5, 1.5f)), WorldVec3(&region, Vec3(-0.5f, 0.2f, 1.5f)), 100);
    EXPECT_EQ(grid.GetWallTransparency(1, 0, 2), 1.0f);
}

// The whole field after one fade, a character a lattice point (rows along k, '#' opaque, '-'
// faded, ' ' nothing there), for a grid of spacing (2, 0, 3) (a height of 0 reads as the default):
// a closed cell, runs meeting cross walls, and the camera to the front left of the focus.
TEST_F(GridTransparencyTest, TheFadeFollowsTheRunsBetweenCameraAndFocus) {
    directory.WriteFile("records/grid/wide.dbr",
                        "Class,GridSystem,\ncellSpacingX,2,\ncellSpacingY,0,\n"
                        "cellSpacingZ,3,\nminWallOpacity,0.3,\n");
    files.AddDirectory(directory.GetPath());
    const auto fade = [this](GridRegion& fading, const std::array<const char*, 9>& walls,
                             const Vec3& camera = Vec3(-4, 1, -6)) {
        fading.SetSystem("Records/Grid/Wide.dbr");
        fading.Resize(5, 1, 4);
        fading.ClearTransparency();
        for (int k = 0; k < 9; ++k)
            for (int i = 0; i < 11; ++i) fading.SetLatticeValue(i, 0, k, walls[size_t(k)][i] != ' ');
        fading.UpdateTransparency(WorldVec3(&region, camera), WorldVec3(&region, Vec3(5, 0.5f, 7.5f)), 100);
        std::string field;
        for (int k = 0; k < 9; ++k) {
            for (int i = 0; i < 11; ++i)
                field += fading.GetLatticeValue(i, 0, k) == 0         ? ' '
                         : fading.GetWallTransparency(i, 0, k) < 1.0f ? '-'
                                                                    : '#';
            field += '\n';
        }
        return field;
    };
    GridRegion wide(&region);
    const std::string field = fade(wide, {"+-+-+-+-+-+", "|         |", "+-+-+ +-+-+", "|   |     |", "+   +-+   +",
                                          "|     |   |", "+-+ +-+-+-+", "|         |", "+-+-+-+-+-+"});
    EXPECT_EQ(field,
              "-----------\n"
              "-         #\n"
              "----- #####\n"
              "-   -     #\n"
              "-   ---   #\n"
              "-     #   #\n"
              "-## #######\n"
              "#         #\n"
              "###########\n");
    // Walls set at random: the run down the left side fades to its far end.
    GridRegion other(&region);
    EXPECT_EQ(fade(other, {"+-+ +-+-+-+", "  |   | |  ", "+-+-+-+-+ +", "|   | |   |", "+-+-+-+ + +", "| | |   | |",
                           "+-+-+-+-+-+", "|       | |", "+ +-+ + +-+"}),
              "--- #######\n"
              "  -   # #  \n"
              "-------## #\n"
              "-   - #   #\n"
              "------- # #\n"
              "- - -   # #\n"
              "-#-#-######\n"
              "-       # #\n"
              "- ### # ###\n");
    // The camera level with the focus, far to its right.
    EXPECT_EQ(fade(other,
                   {"+-+- -+-+- ", "|   | | | |", "+- -+-+-+- ", "| | | |   |", "+- -+-+-+-+", "| | | | | |",
                    "+-+ +-+ +-+", "| | | | | |", "+-+-+-+- -+"},
                   Vec3(14, 1, 7.5f)),
              "#### ##### \n#   # # # #\n## ###-### \n# # # -   #\n## #-----##\n"
              "# # # - - #\n### ##- -##\n# # # - # #\n######-# ##\n");
    // A run goes on past a post with a wall across only when a parallel run and a wall across
    // on its other side go on too.
    EXPECT_EQ(fade(other, {"+-+-+-+-+-+", "| | | |   |", "+  -+-+  -+", "  |     | |", "+-+-+-+-+ +", "|   | | | |",
                           "+-+-+-+-+ +", "|   | |   |", "+-+-+ +-+  "}),
              "###########\n# # # #   #\n#  ####  ##\n  #     # #\n--------- #\n"
              "-   - # # #\n-###-#### #\n#   # #   #\n##### ###  \n");
    EXPECT_EQ(std::pair(wide.GetArea().width, wide.GetArea().depth), std::pair(10u, 12u));
    // A quarter turn carries the field with the walls: lattice point (i, k) goes to (k, 10 - i).
    wide.Rotate();
    for (int k = 0; k < 9; ++k) {
        for (int i = 0; i < 11; ++i) {
            const char seen = wide.GetLatticeValue(k, 0, 10 - i) == 0         ? ' '
                              : wide.GetWallTransparency(k, 0, 10 - i) < 1.0f ? '-'
                                                                              : '#';
            EXPECT_EQ(seen, field[size_t(k * 12 + i)]) << i << " " << k;
        }
    }
    // Turned, it fades on: seen from far out on +z, its far wall fades a second time.
    wide.UpdateTransparency(WorldVec3(&region, Vec3(3, 1, 40)), WorldVec3(&region, Vec3(3, 0.5f, 13.5f)), 100);
    EXPECT_NEAR(wide.GetWallTransparency(3, 0, 10), 0.3f, 1e-5f);
}

}  // namespace
}  // namespace GAME
