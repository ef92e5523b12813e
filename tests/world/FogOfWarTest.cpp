// Fog of war: the grid's sizes, what a stamp uncovers as the viewer moves, the stored form and the
// files it refuses, and the region's fog saved on the saving thread when its level unloads.

#include "world/FogOfWar.h"

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "LevelFixture.h"
#include "core/Crc32.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsCanvas.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "world/FOWSavingThread.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

namespace GAME {
namespace {

using Bytes = mem::vector<unsigned char>;

// What one AddVisibility stamp leaves in a cell at squared distance d2 (brute force, no range).
int SingleProfile(float d2) {
    if (d2 >= 900.0f) return 255;
    const int v = int(std::lround(std::sqrt(d2) * 8.5f));
    return v < 127 ? 0 : 2 * v - 254;
}

// A ".fow" file: checksum word (computed when crc), sizes, scales, then cells column by column.
Bytes FogFile(int32_t xSize, int32_t ySize, float xScale, float yScale, bool crc, uint8_t fill = 7) {
    BinaryWriter writer(64);
    writer.Write(1u);
    writer.Write(int(xSize));
    writer.Write(int(ySize));
    writer.Write(xScale);
    writer.Write(yScale);
    for (int64_t i = 0; i < int64_t(xSize) * ySize; ++i) writer.Write(static_cast<unsigned char>(fill + i % 3));
    Bytes bytes(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    if (crc) {
        const uint32_t sum = Crc32(bytes.data() + 4, int(bytes.size() - 4));
        std::memcpy(bytes.data(), &sum, 4);
    }
    return bytes;
}

TEST(FogOfWar, SizesAreCappedPowersOfTwoAndOutsideIsFogged) {
    FogOfWar fog;
    fog.Initialize(100, 300);
    EXPECT_EQ(std::pair(fog.GetXSize(), fog.GetYSize()), std::pair(128, 512));
    EXPECT_FLOAT_EQ(fog.GetXScale(), 1.28f);
    EXPECT_NEAR(fog.GetYScale(), 1.70667f, 1e-4f);
    fog.Initialize(1000, 10);
    EXPECT_EQ(std::pair(fog.GetXSize(), fog.GetYSize()), std::pair(512, 16));
    // A region without extent keeps finite scales.
    fog.Initialize(0, -5);
    EXPECT_EQ(std::tuple(fog.GetXSize(), fog.GetXScale()), std::tuple(16, 16.0f));

    fog.Initialize(32, 32);
    fog.SetCell(3, 4, 151);
    EXPECT_TRUE(fog.IsInFog(Vec3(3.5f, 0, 4.5f)));
    fog.SetCell(3, 4, 150);
    EXPECT_FALSE(fog.IsInFog(Vec3(3.5f, 0, 4.5f)));
    // A column past the right edge does not answer from the first cell of the next row stored
    // (rows are stored last first).
    fog.SetCell(0, 3, 0);
    EXPECT_FALSE(fog.IsInFog(Vec3(0.5f, 0, 3.5f)));
    for (const Vec3& outside :
         {Vec3(32.0f, 0, 4.5f), Vec3(0.5f, 0, 32.0f), Vec3(-3.0f, 0, 4.5f), Vec3(1e30f, 0, -1e30f)})
        EXPECT_TRUE(fog.IsInFog(outside)) << outside.x << " " << outside.z;
    EXPECT_TRUE(FogOfWar().IsInFog(Vec3(0, 0, 0)));
    EXPECT_FALSE(FogOfWar().Write("worlds/none.fow"));  // no grid, nothing written
    BinaryWriter none;
    FogOfWar().Save(none);
    EXPECT_EQ(none.GetPosition(), 0u);
}

// A viewer walks across a 256 x 256 grid; after each stamp every cell holds the least the
// stamps so far left in it (compared cell by cell, the whole grid), so the stamp clears exactly
// the cells in reach and never hides a cell again.
TEST(FogOfWar, UncoveringAroundAMovingPositionClearsExactlyTheCellsInReach) {
    FogOfWar fog;
    fog.Initialize(256, 256);
    fog.AddVisibility(Vec3(128, 0, 128));
    EXPECT_EQ(std::tuple(int(fog.GetCell(128, 128)), int(fog.GetCell(148, 128)), int(fog.GetCell(128, 158)),
                         int(fog.GetCell(98, 128))),
              std::tuple(0, 86, 255, 255));

    fog.Initialize(256, 256);
    mem::vector<int> expected(256 * 256, 255);
    const Vec3 path[] = {Vec3(10.3f, 0, 12.8f), Vec3(25.5f, 0, 20.1f), Vec3(47.2f, 0, 31.9f), Vec3(80, 0, 30),
                         Vec3(250.7f, 0, 3.2f), Vec3(-20, 0, 100), Vec3(128, 0, 300)};
    for (const Vec3& p : path) {
        fog.AddVisibility(p);
        for (int z = 0; z < 256; ++z) {
            for (int x = 0; x < 256; ++x) {
                const float d2 = (float(x) - p.x) * (float(x) - p.x) + (float(z) - p.z) * (float(z) - p.z);
                int& cell = expected[size_t(z * 256 + x)];
                cell = std::min(cell, SingleProfile(d2));
            }
        }
        int mismatches = 0;
        for (int z = 0; z < 256; ++z) {
            for (int x = 0; x < 256; ++x) mismatches += fog.GetCell(x, z) != expected[size_t(z * 256 + x)];
        }
        EXPECT_EQ(mismatches, 0) << "after the stamp at " << p.x << ", " << p.z;
    }
    // Stored rows run from the far edge: world row 0 is the last stored row.
    EXPECT_EQ(fog.GetData()[255 * 256 + 10], fog.GetCell(10, 0));

    // Two equal grids stamp together with the squared-distance profile; cells already clear in
    // both are left alone. Different grids each take the single stamp.
    FogOfWar a, b;
    a.Initialize(256, 256);
    b.Initialize(256, 256);
    b.SetCell(153, 128, 40);
    a.SetCell(140, 128, 1);  // clear in one grid only: the other is still cleared
    b.SetCell(140, 128, 0);
    a.SetCell(116, 128, 0);
    b.SetCell(116, 128, 1);
    StampFogPair(&a, &b, Vec3(128, 0, 128), 0);
    EXPECT_EQ(a.GetCell(153, 128), 99);  // d2 = 625
    EXPECT_EQ(b.GetCell(153, 128), 40);
    EXPECT_EQ(a.GetCell(140, 128) + b.GetCell(116, 128), 0);
    EXPECT_EQ(a.GetCell(128, 149), 0);  // d2 = 441
    FogOfWar small;
    small.Initialize(128, 128);
    StampFogPair(&small, &b, Vec3(60, 0, 60), 0);
    EXPECT_EQ(small.GetCell(80, 60), 86);
    EXPECT_EQ(b.GetCell(80, 60), 86);
    StampFogPair(&small, nullptr, Vec3(10, 0, 10), 0);
    EXPECT_EQ(small.GetCell(10, 10), 255);
}

TEST(FogOfWar, ReadsItsStoredFormAndRefusesDamagedFiles) {
    FogOfWar fog;
    const Bytes plain = FogFile(32, 16, 0.5f, 2.0f, false);
    ASSERT_TRUE(fog.Read(plain.data(), uint32_t(plain.size()), "plain"));
    EXPECT_EQ(std::tuple(fog.GetXSize(), fog.GetYSize(), fog.GetXScale(), fog.GetYScale()),
              std::tuple(32, 16, 0.5f, 2.0f));
    // Column by column, each in stored-row order: byte 20 + x * 16 + storedRow.
    EXPECT_EQ(fog.GetData()[3 * 32 + 5], plain[20 + 5 * 16 + 3]);
    EXPECT_EQ(fog.GetCell(5, 16 - 1 - 3), plain[20 + 5 * 16 + 3]);
    const Bytes checked = FogFile(16, 16, 1, 1, true, 100);
    ASSERT_TRUE(fog.Read(checked.data(), uint32_t(checked.size()), "checked"));
    EXPECT_EQ(fog.GetXSize(), 16);

    Bytes wrongSum = checked;
    wrongSum[30] ^= 1;
    Bytes short32 = FogFile(32, 32, 1, 1, false);
    short32.pop_back();  // 1,043 bytes
    ASSERT_EQ(short32.size(), 1043u);
    const Bytes cases[] = {wrongSum,
                           short32,
                           FogFile(24, 16, 1, 1, false),
                           FogFile(8, 16, 1, 1, false),
                           FogFile(1024, 16, 1, 1, false),
                           FogFile(16, 16, 0, 1, false),
                           FogFile(16, 16, 1, std::nanf(""), false),
                           FogFile(16, 16, -1, 1, false),
                           Bytes(12, 1)};
    for (const Bytes& bytes : cases) {
        test::LogCapture log;
        EXPECT_FALSE(fog.Read(bytes.data(), uint32_t(bytes.size()), "bad"));
        EXPECT_TRUE(log.Contains(LogPriority::Warning, "a fresh fog is used"));
        EXPECT_EQ(fog.GetXSize(), 16);
        EXPECT_EQ(fog.GetCell(0, 15), 100);
    }
    // A huge claimed size neither overflows nor allocates.
    Bytes huge = FogFile(16, 16, 1, 1, false);
    const int32_t big = 0x40000000;
    std::memcpy(huge.data() + 4, &big, 4);
    std::memcpy(huge.data() + 8, &big, 4);
    EXPECT_FALSE(fog.Read(huge.data(), uint32_t(huge.size()), "huge"));
}

// An engine over a writable temporary directory, with one region of 128 x 128 units.
class FogOfWarThread : public ::testing::Test {
protected:
    class FileEngine : public test::LevelTestEngine {
    public:
        using Engine::SetFileSystem;
    };

    FogOfWarThread() {
        files.AddDirectory(directory.GetPath(), true);
        engine.SetFileSystem(&files);
    }
    ~FogOfWarThread() override {
        engine.UnloadWorld();
        FOWSavingThread::Get().Stop();
    }
    Region* AddRegion(const std::string& name, const IntVec3& offset) {
        return test::AddLoadedRegion(*engine.GetWorld(), name, offset, 64);
    }
    static void LoadLevel(Region* region) { test::SetNewLevel(region, 64); }
    static Bytes Cells(FogOfWar* fog) {
        return Bytes(fog->GetData(), fog->GetData() + size_t(fog->GetXSize() * fog->GetYSize()));
    }

    test::TempDirectory directory;
    FileSystem files;
    FileEngine engine;
};

TEST_F(FogOfWarThread, SavedWhenItsLevelUnloadsAndReadBackWhenItReloads) {
    Region* region = AddRegion("Hills", IntVec3(0, 0, 0));
    World& world = *engine.GetWorld();
    const WorldVec3 spot(region, Vec3(20, 0, 30));
    EXPECT_TRUE(world.IsInFog(spot));
    for (float x = 0; x < 60; x += 7) world.AddFOWVisibility(WorldVec3(region, Vec3(x, 0, 30)), 0);
    EXPECT_FALSE(world.IsInFog(spot));
    EXPECT_TRUE(world.IsInFog(WorldVec3(region, Vec3(20, 0, 120))));
    const Bytes uncovered = Cells(region->GetFogOfWar(false));

    // Unloaded: the grid goes to the thread, which writes it.
    region->UnloadLevel(false, false);
    FOWSavingThread::Get().Save("fow/None.fow", nullptr);  // no grid: nothing to write
    EXPECT_FALSE(FogOfWar().Write("fow/None.fow"));
    FOWSavingThread::Get().Flush();
    EXPECT_TRUE(files.DoesFileExist("fow/Hills.fow"));
    EXPECT_EQ(directory.List("fow").size(), 1u) << "no temporary file is left";
    LoadLevel(region);
    EXPECT_EQ(Cells(region->GetFogOfWar(false)), uncovered);
    EXPECT_FALSE(world.IsInFog(spot));

    // Uncovered further, unloaded and used again at once, many times, while the thread writes:
    // whichever way the fog comes back (taken back from the queue or read from the file) it is the
    // latest.
    for (int i = 0; i < 40; ++i) {
        world.AddFOWVisibility(WorldVec3(region, Vec3(float(3 * i), 0, 90)), 0);
        const Bytes latest = Cells(region->GetFogOfWar(false));
        region->UnloadLevel(false, false);
        EXPECT_TRUE(FOWSavingThread::Get().IsRunning());
        if (i % 3 == 0) std::this_thread::yield();
        LoadLevel(region);
        ASSERT_EQ(Cells(region->GetFogOfWar(false)), latest) << i;
    }

    // A region destroyed while its grid waits: the grid is still written, whole.
    Region* other = AddRegion("Vale/East\\Low", IntVec3(500, 0, 0));
    world.AddFOWVisibility(WorldVec3(other, Vec3(64, 0, 64)), 0);
    const Bytes vale = Cells(other->GetFogOfWar(false));
    engine.UnloadWorld();
    FOWSavingThread::Get().Flush();
    Region* again = AddRegion("Vale/East\\Low", IntVec3(500, 0, 0));
    EXPECT_EQ(again->GetFOWFileName(), "fow/Vale_East_Low.fow");
    EXPECT_EQ(Cells(again->GetFogOfWar(false)), vale);
    EXPECT_FALSE(world.IsInFog(WorldVec3(again, Vec3(64, 0, 64))));  // the grid read back, not the blank one
}

// A map closing hands the fog of the regions without a loaded level to the thread, which writes
// it; a region whose level is loaded keeps its own.
TEST_F(FogOfWarThread, AMapClosingSavesTheFogOfTheRegionsWhoseLevelIsGone) {
    Region* loaded = AddRegion("Hills", IntVec3(0, 0, 0));
    World& world = *engine.GetWorld();
    Region* unloaded =
        world.GetRegion(world.AddRegion("Dale", IntVec3(500, 0, 0), ABBox(Vec3(), Vec3(64, 10, 64)), RegionId()));
    FogOfWar* kept = loaded->GetFogOfWar(false);
    world.AddFOWVisibility(WorldVec3(unloaded, Vec3(10, 0, 10)), 0);
    world.UnloadFOWForMapClose();
    FOWSavingThread::Get().Flush();
    EXPECT_EQ(directory.List("fow"), std::vector<std::string>{"Dale.fow"});
    EXPECT_EQ(loaded->GetFogOfWar(false), kept);
}

// The region's grid on the GL device, its texture drawn over the whole target (a texel a pixel
// across, two rows a pixel down): a stamp reaches the texture at the world's next update, and a
// device reset makes the texture again from the stamped cells.
TEST(FogOfWarTexture, StampsReachTheTextureOnTheNextUpdateAndSurviveADeviceReset) {
    test::GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    World& world = *bed.GetEngine().GetWorld();
    Region* region =
        world.GetRegion(world.AddRegion("Plain", IntVec3(), ABBox(Vec3(64, 0, 64), Vec3(64, 10, 64)), RegionId()));
    FogOfWar* fog = region->GetFogOfWar(false);
    ASSERT_EQ(fog->GetXSize(), 128);
    const auto draw = [&] {
        bed.Clear();
        bed.Canvas().RenderRect(Rect(0, 0, 128, 64), Rect(0, 0, 128, 128), fog->GetTexture(), RenderBlendFactor::One,
                                RenderBlendFactor::Zero, Color(1, 1, 1, 1), false);
        return bed.ReadPixels();
    };
    const auto at = [](const std::vector<uint32_t>& pixels, int x, int y) {
        return pixels[size_t(y) * 128 + size_t(x)] & 0xFFFFFF;
    };
    constexpr uint32_t kWhite = 0xFFFFFF;
    ASSERT_NE(fog->GetTexture(), nullptr);
    EXPECT_EQ(at(draw(), 64, 32), kWhite);

    // Uncovered around (64, 100): stored rows run from the far edge, so 27 rows down the texture.
    world.AddFOWVisibility(WorldVec3(region, Vec3(64, 0, 100)), 0);
    EXPECT_EQ(at(draw(), 64, 14), kWhite);
    world.Update({});
    std::vector<uint32_t> pixels = draw();
    EXPECT_EQ(at(pixels, 64, 14), 0u);
    EXPECT_EQ(at(pixels, 64, 40), kWhite);
    EXPECT_EQ(at(pixels, 10, 14), kWhite);
    EXPECT_FALSE(fog->IsTextureStale());

    bed.GetEngine().PreDeviceReset();
    EXPECT_EQ(std::tuple(fog->GetTexture(), region->GetFogOfWar(true)->GetTexture()), std::tuple(nullptr, nullptr));
    bed.GetEngine().PostDeviceReset();
    ASSERT_NE(fog->GetTexture(), nullptr);
    EXPECT_FALSE(fog->IsTextureStale());
    pixels = draw();
    EXPECT_EQ(at(pixels, 64, 14), 0u);
    EXPECT_EQ(at(pixels, 64, 40), kWhite);
    // Read over itself, the fog replaces its texture with one of the cells read, rather than leaking it.
    const size_t available = bed.Device().GetAvailableVideoMemory();
    const Bytes dark = FogFile(128, 128, 1, 1, false, 0);  // cells 0 to 2
    ASSERT_TRUE(fog->Read(dark.data(), uint32_t(dark.size()), "again"));
    EXPECT_EQ(bed.Device().GetAvailableVideoMemory(), available);
    EXPECT_LE(at(draw(), 64, 40), 0x020202u);
    fog->Destroy();  // the grid and its texture go
    EXPECT_EQ(std::tuple(fog->GetTexture(), fog->GetData(), fog->GetXSize(), fog->GetYSize()),
              std::tuple(nullptr, nullptr, 0, 0));
    world.Unload();
}

}  // namespace
}  // namespace GAME
