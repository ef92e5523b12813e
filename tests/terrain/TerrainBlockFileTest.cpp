// The two ground blocks of a level file: the editable terrain's editor block and the run-time
// block it writes for the game, read back into an editable terrain and into a TerrainRT. The
// run-time terrain must answer every ground question as the terrain it was written from; cut and
// hostile blocks fail cleanly, and so does the level that holds them.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "core/Intersection.h"
#include "core/Mat3.h"
#include "core/OBBox.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "pathing/ImpassableData.h"
#include "physics/CollisionContact.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainRT.h"
#include "terrain/TerrainType.h"
#include "world/Level.h"

namespace GAME::test {
namespace {

constexpr const char* kGrass = "Records/Terrain/Grass.dbr";
constexpr const char* kStone = "Records/Terrain/Stone.dbr";
constexpr int kVersion = Level::kVersion;

void WriteBytes(BinaryWriter& writer, size_t count, char value) {
    const std::string bytes(count, value);
    writer.Write(bytes.data(), uint32_t(count));
}

std::vector<uint8_t> Bytes(const BinaryWriter& writer) {
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

class TerrainBlockFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory.WriteFile(kGrass, "Class,TerrainType,\nsurfaceType,Grass,\n");
        directory.WriteFile(kStone, "Class,TerrainType,\nsurfaceType,Stone,\n");
        directory.WriteFile("Records/Terrain/Door.dbr", "Class,Entity,\n");
        fileSystem.AddDirectory(directory.GetPath());
        depot = std::make_unique<TableDepot>(fileSystem);
        Singleton<ObjectManager>::Get()->SetTableDepot(depot.get());
    }
    void TearDown() override {
        editable.Unload();
        runTime.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
    }

    // A random 32 x 32-cell terrain: rolling heights with a cliff, grass under painted stone,
    // a few hidden samples and impassable cells.
    void MakeRandom(uint32_t seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        ASSERT_TRUE(editable.New(32, 32));
        for (unsigned z = 0; z <= 32; ++z) {
            for (unsigned x = 0; x <= 32; ++x) {
                editable.SetBaseHeight(x, z, 4.0f * unit(random) + (x > 20 ? 6.0f : 0.0f));
            }
        }
        editable.AddDirtyRect(DirtyRect(0, 0, 33, 33));
        ASSERT_TRUE(editable.AddLayer(kGrass));
        ASSERT_TRUE(editable.AddLayer(kStone));
        for (unsigned z = 0; z < 32; ++z) {
            for (unsigned x = 0; x < 32; ++x) {
                editable.SetLayerOpacity(1, x, z, x > 16 ? 255 : uint8_t(random() % 256));
                if (random() % 7 == 0) editable.SetPassable(x, z, 2);
            }
        }
        editable.AddOpacityDirtyRect(DirtyRect(0, 0, 32, 32));
        editable.Update(nullptr, 0, 0);
        for (int i = 0; i < 12; ++i) editable.SetInvisible(int(random() % 33), int(random() % 33), true);
    }
    std::vector<uint8_t> Save(bool runTimeForm) const {
        BinaryWriter writer(1024);
        runTimeForm ? editable.SaveRunTimeFormat(writer) : editable.Save(writer);
        EXPECT_FALSE(writer.Failed());
        return Bytes(writer);
    }
    // Each sample's mask as the run-time terrain read it: the bit of every layer blended or opaque
    // in the sample's cell (the last row and column take the cells before them), an opaque one
    // clearing the bits below its own, and the visible bit.
    void ExpectMasksOf(const Terrain& terrain) const {
        const unsigned numX = terrain.GetNumXSamples(), numZ = terrain.GetNumYSamples();
        const unsigned layers = terrain.GetNumTextureLayers();
        ASSERT_EQ(runTime.GetMaskBytes(), layers / 8 + 1);
        for (unsigned z = 0; z < numZ; ++z) {
            for (unsigned x = 0; x < numX; ++x) {
                mem::vector<uint8_t> mask(layers / 8 + 1, 0);
                const auto bit = [&](unsigned b, bool on) { mask[b / 8] = uint8_t(on ? mask[b / 8] | 1 << b % 8 : mask[b / 8] & ~(1 << b % 8)); };
                for (unsigned k = 0; k < layers; ++k) {
                    const uint32_t state = terrain.GetLayerVisibility(k, std::min(x, numX - 2), std::min(z, numZ - 2));
                    for (unsigned b = 0; b <= k && state == Terrain::Opaque; ++b) bit(b, false);
                    bit(k + 1, state >= Terrain::Blended);
                }
                bit(0, !terrain.IsInvisible(int(x), int(z)));
                ASSERT_EQ(std::memcmp(runTime.GetMask(x, z), mask.data(), mask.size()), 0) << x << ", " << z;
            }
        }
    }
    static bool Load(TerrainBase& terrain, const std::vector<uint8_t>& bytes, int version = kVersion) {
        BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
        return terrain.Load(reader, version);
    }

    TempDirectory directory;
    FileSystem fileSystem;
    std::unique_ptr<TableDepot> depot;
    Terrain editable{nullptr};
    TerrainRT runTime{nullptr};
};

TEST_F(TerrainBlockFileTest, TheEditorBlockRoundTripsAndDropsOnlyTheHiddenFlags) {
    MakeRandom(7);
    const std::vector<uint8_t> saved = Save(false);
    // The documented length: sizes, names, stone's opacities, samples, offsets, passability.
    const size_t names = 2 * 4 + std::strlen("records/terrain/grass.dbr") + std::strlen("records/terrain/stone.dbr");
    EXPECT_EQ(saved.size(), 12 + names + 32 * 32 + 20 * 33 * 33 + 4 * 32 * 32);

    Terrain loaded(nullptr);  // read as the oldest version that holds the passability
    ASSERT_TRUE(Load(loaded, saved, 13));
    EXPECT_EQ(loaded.GetNumTextureLayers(), 2u);
    EXPECT_EQ(loaded.GetLayerOpacity(1, 20, 3), 255);
    EXPECT_EQ(loaded.GetNumBlocksX(), 4u);
    for (unsigned z = 0; z < 32; ++z) {
        for (unsigned x = 0; x < 32; ++x) {
            ASSERT_EQ(loaded.IsImpassable(x, z), editable.IsImpassable(x, z));
            ASSERT_EQ(loaded.GetLayerVisibility(0, x, z), editable.GetLayerVisibility(0, x, z));
        }
    }
    for (unsigned z = 0; z <= 32; ++z) {
        for (unsigned x = 0; x <= 32; ++x) EXPECT_FALSE(loaded.IsInvisible(int(x), int(z)));
    }
    // Saved again, the block differs from the first only in the hidden flags.
    BinaryWriter again(1024);
    loaded.Save(again);
    std::vector<uint8_t> expected = saved;
    const size_t samples = 12 + names + 32 * 32;
    for (size_t i = 0; i < 33 * 33; ++i) std::memset(&expected[samples + i * 8 + 4], 0, 4);
    EXPECT_EQ(Bytes(again), expected);

    // An older level file has no passability: every cell is passable.
    std::vector<uint8_t> old(saved.begin(), saved.end() - 4 * 32 * 32);
    ASSERT_TRUE(Load(loaded, old, 12));
    EXPECT_FALSE(loaded.IsImpassable(25, 25));
    EXPECT_EQ(loaded.GetHeight(5, 6), editable.GetHeight(5, 6));
    // Unloaded, nothing is left to save but the empty sizes.
    editable.Unload();
    EXPECT_EQ(Save(false).size(), 12u);
}

TEST_F(TerrainBlockFileTest, EditorBlockLayersWithoutATypeAreDroppedAndTheRestReadOn) {
    BinaryWriter writer(256);
    for (uint32_t word : {3u, 3u, 4u}) writer.Write(word);     // 3 x 3 samples, 4 layers
    writer.Write(std::string("\\Records/Terrain/Grass.dbr"));  // the backslash is dropped
    writer.Write(std::string("Records/Terrain/Door.dbr"));     // not a terrain type
    WriteBytes(writer, 4, '\x11');
    writer.Write(std::string(BinaryReader::kMaxStringLength, 'x'));  // the longest name, of no record
    WriteBytes(writer, 4, '\x22');
    writer.Write(std::string(kStone));
    writer.Write("\x33\x44\x55\x66", 4u);
    for (int i = 0; i < 9; ++i) {
        writer.Write(float(i));
        writer.Write(true);
    }
    for (int i = 0; i < 9 * 3; ++i) writer.Write(0.5f);
    for (int i = 0; i < 4; ++i) writer.Write(i == 2);
    LogCapture log;
    Terrain loaded(nullptr);
    ASSERT_TRUE(Load(loaded, Bytes(writer)));
    ASSERT_EQ(loaded.GetNumTextureLayers(), 2u);
    EXPECT_EQ(loaded.GetLayerTerrainType(0u)->GetObjectName(), "records/terrain/grass.dbr");
    EXPECT_EQ(std::tuple(loaded.GetLayerOpacity(1, 1, 1), loaded.GetHeight(2, 2), loaded.GetOffset()[4].blend),
              std::tuple(0x66, 8.0f, 0.5f));
    EXPECT_TRUE(loaded.IsImpassable(0, 1) && !loaded.IsImpassable(1, 1));
}

TEST_F(TerrainBlockFileTest, CutAndHostileBlocksFailCleanly) {
    ASSERT_TRUE(editable.New(8, 8));
    ASSERT_TRUE(editable.AddLayer(kGrass));
    ASSERT_TRUE(editable.AddLayer(kStone));
    LogCapture log;
    for (const bool runTimeForm : {false, true}) {
        const std::vector<uint8_t> whole = Save(runTimeForm);
        TerrainBase& terrain = runTimeForm ? static_cast<TerrainBase&>(runTime) : editable;
        for (size_t length = 0; length < whole.size(); length += 1 + length / 16) {
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + ptrdiff_t(length));
            EXPECT_FALSE(Load(terrain, cut)) << length;
            EXPECT_EQ(terrain.GetNumXSamples(), 0u);
            EXPECT_EQ(terrain.GetNumTextureLayers(), 0u);
        }
        ASSERT_TRUE(Load(terrain, whole));
    }
    // Sizes that are no terrain's, among them counts whose products overflow 32 bits.
    for (const uint32_t size : {6u, 0u, 0x80000001u, TerrainBase::kMaxSamples + 1}) {
        BinaryWriter editor(64);
        for (uint32_t word : {size, 9u, 0u}) editor.Write(word);
        EXPECT_FALSE(Load(editable, Bytes(editor))) << size;
        BinaryWriter game(64);
        for (uint32_t word : {1u, 0u, 9u, size, 0u, 0u, 0u, 0u}) game.Write(word);
        EXPECT_FALSE(Load(runTime, Bytes(game))) << size;
    }
    // A plug that claims more triangles than 16-bit indices reach.
    BinaryWriter game(256);
    for (uint32_t word : {1u, 0u, 2u, 2u, 0u, 0u, 0u, 0u}) game.Write(word);
    for (int i = 0; i < 4; ++i) game.Write(0.0f);
    WriteBytes(game, 4, '\x01');
    game.Write(1u);
    game.Write(TerrainPlug::kMaxTriangles + 1);
    WriteBytes(game, 64, '\0');
    EXPECT_FALSE(Load(runTime, Bytes(game)));
}

TEST_F(TerrainBlockFileTest, TheRunTimeTerrainAnswersAsTheTerrainItWasWrittenFrom) {
    for (const uint32_t seed : {1u, 2u, 3u}) {
        MakeRandom(seed);
        ASSERT_TRUE(Load(runTime, Save(true)));
        ASSERT_EQ(std::pair(runTime.GetNumXSamples(), runTime.GetNumTextureLayers()), std::pair(33u, 2u));
        EXPECT_EQ(runTime.GetLayerTerrainType(1u)->GetSurface(), PhysicsSurface::Stone);
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> coordinate(-2.0f, 35.0f);
        for (int i = 0; i < 300; ++i) {
            const float x = coordinate(random), z = coordinate(random);
            ASSERT_EQ(runTime.GetHeightInterpolated(x, z), editable.GetHeightInterpolated(x, z));
            ASSERT_EQ(runTime.GetNormalInterpolated(x, z), editable.GetNormalInterpolated(x, z));
            ASSERT_EQ(runTime.GetLayerOpacityInterpolated(1, x, z), editable.GetLayerOpacityInterpolated(1, x, z));
            ASSERT_EQ(runTime.IsInvisible(int(x), int(z)), editable.IsInvisible(int(x), int(z)));
            // The layers in a box: each blended or opaque in one of its cells, none below one opaque
            // in all of them.
            const ABBox area(Vec3(x, 0, z), Vec3(coordinate(random) * 0.2f + 0.5f, 1, coordinate(random) * 0.2f + 0.5f));
            const int x0 = std::max(int(area.GetMin().x), 0), z0 = std::max(int(area.GetMin().z), 0);
            const int x1 = std::min(int(area.GetMax().x + 0.5f), 31), z1 = std::min(int(area.GetMax().z + 0.5f), 31);
            mem::vector<unsigned> showing, layers;
            for (unsigned k = 2; z0 <= z1 && k-- > 0;) {
                int shown = 0, opaque = 0;
                for (int cz = z0; cz <= z1; ++cz) {
                    for (int cx = x0; cx <= x1; ++cx) {
                        const uint32_t state = editable.GetLayerVisibility(k, unsigned(cx), unsigned(cz));
                        shown += state >= Terrain::Blended;
                        opaque += state == Terrain::Opaque;
                    }
                }
                if (shown > 0) showing.insert(showing.begin(), k);
                if (opaque > 0 && opaque == (x1 - x0 + 1) * (z1 - z0 + 1)) break;
            }
            editable.GetLayersInBox(layers, area);
            ASSERT_EQ(layers, showing) << x << ", " << z;
            runTime.GetLayersInBox(layers, area);
            ASSERT_EQ(layers, showing) << x << ", " << z;

            // Rays from above at a slant, and from below (which the ground's back never stops).
            const Ray ray(Vec3(x, 20.0f, z), Vec3(coordinate(random) - x, -20.0f, coordinate(random) - z).Unit());
            for (const Ray& probe : {ray, Ray(Vec3(x, -5.0f, z), Vec3(0, 1, 0))}) {
                Intersection expected, actual;
                editable.GetIntersection(probe, expected, PhysicsSurface::None);
                runTime.GetIntersection(probe, actual, PhysicsSurface::None);
                ASSERT_EQ(actual.distance, expected.distance);
            }

            const OBBox box(Vec3(1.5f, 0.5f, 0.75f), Coords(Vec3(x, editable.GetHeightInterpolated(x, z), z),
                                                            Coords::RotationY(float(i)).GetMat3()));
            CollisionContact expected[16], actual[16];
            const int count = editable.FindCollisions(box, expected, 16, PhysicsSurface::None);
            ASSERT_EQ(runTime.FindCollisions(box, actual, 16, PhysicsSurface::None), count);
            for (int c = 0; c < count; ++c) {
                ASSERT_EQ(actual[c].position, expected[c].position);
                ASSERT_EQ(actual[c].depth, expected[c].depth);
            }
        }
    }
}

TEST_F(TerrainBlockFileTest, SampleMasksCarryTheShowingLayersAndTheVisibleBit) {
    ASSERT_TRUE(editable.New(16, 16));
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(editable.AddLayer(i % 2 ? kStone : kGrass));
    // Layer 7 (byte 1, bit 0) opaque over the left half hides every layer under it there;
    // layer 3 blends in everywhere else.
    for (unsigned z = 0; z < 16; ++z) {
        for (unsigned x = 0; x < 16; ++x) {
            editable.SetLayerOpacity(7, x, z, x < 8 ? 255 : 0);
            editable.SetLayerOpacity(3, x, z, 128);
        }
    }
    editable.AddOpacityDirtyRect(DirtyRect(0, 0, 16, 16));
    editable.Update(nullptr, 0, 0);
    editable.SetInvisible(2, 2, true);
    ASSERT_TRUE(Load(runTime, Save(true)));
    ASSERT_EQ(runTime.GetMaskBytes(), 2u);
    ExpectMasksOf(editable);
    // At (2, 2) opaque layer 7 above, hidden; (3, 2) visible; at (12, 5) layer 0 and layer 3 over it.
    EXPECT_EQ(std::vector<int>({runTime.GetMask(2, 2)[0], runTime.GetMask(2, 2)[1], runTime.GetMask(3, 2)[0],
                                runTime.GetMask(12, 5)[0], runTime.GetMask(12, 5)[1]}),
              std::vector<int>({0x00, 0x01, 0x01, 0x01 | 1 << 1 | 1 << 4, 0x00}));
    // The last column repeats the cells before it.
    EXPECT_EQ(runTime.GetMask(16, 16)[0], runTime.GetMask(15, 15)[0]);
    mem::vector<unsigned> layers;
    runTime.GetLayersInBox(layers, ABBox(Vec3(2, 0, 2), Vec3(1, 1, 1)));
    EXPECT_EQ(layers, (mem::vector<unsigned>{7}));
    runTime.GetLayersInBox(layers, ABBox(Vec3(8, 0, 8), Vec3(8, 1, 8)));
    EXPECT_EQ(layers, (mem::vector<unsigned>{0, 3, 7}));
    EXPECT_EQ(runTime.GetLayerOpacity(0, 4, 4), 255);
    EXPECT_EQ(runTime.GetLayerOpacity(7, 4, 4), 255);
    EXPECT_EQ(runTime.GetLayerOpacity(7, 12, 4), 0);

    // A terrain one cell deep or wide: both rows of samples take the one row of cells.
    for (const auto& [cellsX, cellsZ] : {std::pair{8u, 1u}, {1u, 8u}}) {
        ASSERT_TRUE(editable.New(cellsX, cellsZ));
        ASSERT_TRUE(editable.AddLayer(kGrass));
        ASSERT_TRUE(editable.AddLayer(kStone));
        for (unsigned i = 0; i < 8; ++i) editable.SetLayerOpacity(1, i % cellsX, i % cellsZ, uint8_t(i * 36));
        editable.AddOpacityDirtyRect(DirtyRect(0, 0, int(cellsX), int(cellsZ)));
        editable.Update(nullptr, 0, 0);
        ASSERT_TRUE(Load(runTime, Save(true)));
        ExpectMasksOf(editable);
        runTime.GetLayersInBox(layers, ABBox(Vec3(4, 0, 4), Vec3(4, 1, 4)));
        EXPECT_EQ(layers, (mem::vector<unsigned>{0, 1}));
        const float x = cellsX == 1 ? 0.5f : 3.0f, z = cellsZ == 1 ? 0.5f : 3.0f;
        EXPECT_EQ(runTime.GetLayerOpacityInterpolated(1, x, z), 108);
    }

    // A line of samples has no cells for its layer to show in: only the visible bit.
    BinaryWriter line(1024);
    for (const uint32_t word : {17u, 1u, 1u}) line.Write(word);
    line.Write(std::string(kGrass));
    WriteBytes(line, 17 * 20, '\0');
    ASSERT_TRUE(Load(editable, Bytes(line)));
    ASSERT_EQ(editable.GetNumTextureLayers(), 1u);
    ASSERT_TRUE(Load(runTime, Save(true)));
    for (unsigned x = 0; x < 17; ++x) EXPECT_EQ(runTime.GetMask(x, 0)[0], 0x01) << x;

    // Without layers a sample still gets a one-byte mask: the visible bit.
    ASSERT_TRUE(editable.New(4, 4));
    ASSERT_TRUE(Load(runTime, Save(true)));
    EXPECT_EQ(runTime.GetMaskBytes(), 1u);
    EXPECT_EQ(runTime.GetMask(4, 4)[0], 0x01);
}

TEST_F(TerrainBlockFileTest, PlugsTravelInTheRunTimeBlock) {
    ASSERT_TRUE(editable.New(8, 8));
    ASSERT_TRUE(editable.AddLayer(kGrass));
    auto* plug = new TerrainPlug;  // the terrain deletes its plugs
    plug->SetTerrain(&editable);
    plug->AddTriangle({{{1, 1, 2}, {0, 1, 0}}, {{1, 3, 2.5f}, {0, 1, 0}}, {{3, 3, 4}, {0, 1, 0}}});
    plug->SetLayers({0});
    plug->UpdateBounds();
    editable.AddObjectToSpace(plug);
    ASSERT_TRUE(Load(runTime, Save(true)));
    mem::vector<TerrainObject*> objects;
    runTime.GetAllObjects(objects);
    const TerrainPlug* read = nullptr;
    for (const TerrainObject* object : objects) {
        if (object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) read = static_cast<const TerrainPlug*>(object);
    }
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetTerrain(), &runTime);
    ASSERT_EQ(read->GetNumTriangles(), 1u);
    EXPECT_EQ(std::memcmp(&read->GetTriangles()[0], &plug->GetTriangles()[0], sizeof(TerrainPlug::Triangle)), 0);
    EXPECT_EQ(read->GetLayers(), (mem::vector<unsigned>{0}));
    // Heights last in the stored position: the bounds span y 2 to 4.
    EXPECT_EQ(read->GetBoundingBox().GetMin(), Vec3(1, 2, 1));
    EXPECT_EQ(read->GetBoundingBox().GetMax(), Vec3(3, 4, 3));
}

TEST_F(TerrainBlockFileTest, ALevelKeepsItsGroundInEitherForm) {
    ASSERT_TRUE(editable.New(16, 16));
    editable.SetBaseHeight(4, 4, 3.0f);
    editable.AddDirtyRect(DirtyRect(4, 4, 1, 1));
    ASSERT_TRUE(editable.AddLayer(kGrass));
    editable.SetPassable(3, 3, 2);
    editable.Update(nullptr, 0, 0);
    BinaryWriter ground(1024);
    editable.Save(ground);
    BinaryReader groundReader(ground.GetBuffer(), ground.GetPosition());

    Level level(nullptr);
    level.NewSpace(Vec2(8, 8));
    auto terrain = std::make_unique<Terrain>(nullptr);
    ASSERT_TRUE(terrain->Load(groundReader, kVersion));
    level.SetGround(std::move(terrain));

    for (const bool runTimeForm : {false, true}) {
        BinaryWriter file(1024);
        level.Save(file, runTimeForm);
        Level loaded(nullptr);
        ASSERT_TRUE(loaded.Load(file.GetBuffer(), file.GetPosition(), false));
        auto* base = static_cast<TerrainBase*>(loaded.GetGround());
        ASSERT_NE(base, nullptr);
        EXPECT_EQ(base->GetTerainType(),
                  runTimeForm ? TerrainBase::TerrainBaseType::RunTime : TerrainBase::TerrainBaseType::Editable);
        EXPECT_EQ(loaded.GetGroundHeight(4, 4), 3.0f);
        EXPECT_EQ(loaded.GetBoundingBox().centre.x, 8.0f);
        Intersection hit;
        EXPECT_TRUE(loaded.GetIntersection(Ray(Vec3(4, 10, 4), Vec3(0, -1, 0)), hit, PhysicsSurface::None, true));
        EXPECT_EQ(hit.distance, 7.0f);
        EXPECT_TRUE(loaded.LoadRenderData());

        // A run-time ground is not saved again: its chunk is written empty.
        if (runTimeForm) {
            BinaryWriter resaved(1024);
            loaded.Save(resaved, true);
            Level empty(nullptr);
            ASSERT_TRUE(empty.Load(resaved.GetBuffer(), resaved.GetPosition(), false));
            EXPECT_EQ(empty.GetGround(), nullptr);
        }

        // The same level with its ground block cut short fails to load as a whole.
        std::vector<uint8_t> bytes = Bytes(file);
        const size_t ground6 = [&] {
            for (size_t at = 4; at + 8 <= bytes.size();) {
                uint32_t id = 0, length = 0;
                std::memcpy(&id, &bytes[at], 4);
                std::memcpy(&length, &bytes[at + 4], 4);
                if (id == Level::kChunkGround) return at;
                at += 8 + length;
            }
            return size_t(0);
        }();
        ASSERT_NE(ground6, 0u);
        const uint32_t shorter = 4 + 40;
        std::memcpy(&bytes[ground6 + 4], &shorter, 4);
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + ptrdiff_t(ground6 + 8 + shorter));
        LogCapture log;
        Level broken(nullptr);
        EXPECT_FALSE(broken.Load(cut.data(), uint32_t(cut.size()), false));
        EXPECT_EQ(broken.GetGround(), nullptr);
        EXPECT_FALSE(broken.IsLoaded());
    }
}

}  // namespace
}  // namespace GAME::test
