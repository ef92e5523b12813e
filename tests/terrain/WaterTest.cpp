// The water of a level: the water block round trip and its layout byte by byte, cut and corrupt
// blocks, water types loaded once per block, slot tables, and the surface as rays, collisions,
// point queries and splashes see it, alone and through a world over a terrain with a lake.

#include "SampleWater.h"
#include "TestTerrain.h"
#include "support/RecordingEngineTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/OBBox.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/WorldCoords.h"
#include "effects/EffectEntity.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "physics/CollisionContact.h"
#include "render/GraphicsEngine.h"
#include "scene/GraphicsReflectionManager.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/LogCapture.h"
#include "support/PlainSceneRenderer.h"
#include "support/RecordingDevice.h"
#include "support/RecordingResources.h"
#include "terrain/Water.h"
#include "terrain/WaterLayer.h"
#include "terrain/WaterPath.h"
#include "terrain/WaterType.h"
#include "terrain/WaterTypeManager.h"
#include "terrain/WaterWaveSet.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldIntersection.h"
#include "world/WorldRay.h"

namespace GAME::test {
namespace {

ControlPoint Point(float x, float z, float tx, float tz, float width) {
    ControlPoint p{x, z, tx, tz, 0.0f, 0.0f, width};
    p.UpdateNormal();
    return p;
}

// Ground 3 below the water's height 0 inside the lake x, z in [8, 40), 5 above it elsewhere.
float LakeGround(unsigned x, unsigned z) { return x >= 8 && x < 40 && z >= 8 && z < 40 ? -3.0f : 5.0f; }

class WaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ground.Make(65, 65, LakeGround));
        WaterType* lake = WaterTypeManager::Get().CreateWaterType("Lake");
        lake->EditSettings().MaxDepth = 7.0f;
        WaterTypeManager::Get().CreateWaterType("River")->EditSettings().ScrollSpeed = 2.0f;
    }
    void TearDown() override {
        for (const char* name : {"Lake", "River"}) {
            WaterTypeManager::Get().ReleaseWaterType(WaterTypeManager::Get().GetWaterType(name));
        }
        WaterTypeManager::Destroy();
    }
    // A lake layer over the basin, a river and shore waves.
    void Fill(Water& water) {
        WaterLayer* layer = water.AddWaterLayer("Lake", 0.0f);
        ASSERT_NE(layer, nullptr);
        layer->UpdateArea(Vec3(24, 0, 24), 12.0f, true);
        layer->UpdateArea(Vec3(9, 0, 9), 2.0f, true);  // the first block too
        ASSERT_NE(layer->GetBlock(0, 0), nullptr);
        WaterPath* river = water.AddWaterPath("River", 1.0f, Point(4, 50, 10, 0, 2));
        ASSERT_NE(river, nullptr);
        river->AddControlPoint(Point(40, 56, 10, 0, 3));
        WaterWaveSet* waves = water.AddWaveSet(0.0f, Point(10, 10, 4, 0, 2));
        waves->AddControlPoint(Point(30, 10, 4, 0, 2));
        waves->GetWaveParams().waveSpacing = 2.5f;
    }
    static mem::vector<unsigned char> Saved(Water& water) {
        BinaryWriter writer(256);
        water.Save(writer);
        return mem::vector<unsigned char>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    }
    std::unique_ptr<Water> Fresh() {
        auto water = std::make_unique<Water>(nullptr);
        water->Initialize(64, 64, &ground, &device);
        return water;
    }

    TestTerrain ground;
    RecordingDevice device;
};

TEST_F(WaterTest, TheBlockRoundTripsAndKeepsItsLayout) {
    auto water = Fresh();
    EXPECT_EQ(water->GetBlocksX(), 8u);
    Fill(*water);
    const mem::vector<unsigned char> bytes = Saved(*water);
    uint32_t header[6];
    std::memcpy(header, bytes.data(), sizeof header);
    // The magic, the version, one type record per layer and path, and a layer, a path and a wave set.
    EXPECT_EQ(std::vector<uint32_t>(header, header + 6), (std::vector<uint32_t>{0xFEEDCBA9u, 2, 2, 1, 1, 1}));

    auto loaded = Fresh();
    BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
    ASSERT_TRUE(loaded->Load(reader));
    EXPECT_TRUE(reader.IsAtEnd());
    EXPECT_EQ(Saved(*loaded), bytes);
    const WaterLayer* layer = loaded->GetLayer(0);
    ASSERT_NE(layer, nullptr);
    EXPECT_STREQ(layer->GetWaterTypeName(), "Lake");
    EXPECT_EQ(layer->GetNumBlocks(), water->GetLayer(0)->GetNumBlocks());
    ASSERT_NE(loaded->GetPath(0), nullptr);
    EXPECT_EQ(loaded->GetPath(0)->GetNumSegments(), 1u);
    EXPECT_EQ(loaded->GetPath(0)->GetControlPoint(1).width, 3.0f);
    ASSERT_NE(loaded->GetWaveSet(0), nullptr);
    EXPECT_EQ(loaded->GetWaveSet(0)->GetWaveParams().waveSpacing, 2.5f);
    // The registered types keep their values and their references return to what the objects hold.
    const WaterType* lake = WaterTypeManager::Get().GetWaterType("Lake");
    EXPECT_EQ(lake->GetSettings().MaxDepth, 7.0f);
    WaterTypeManager::Get().ReleaseWaterType(lake);
    EXPECT_EQ(WaterTypeManager::Get().GetReferenceCount("Lake"), 3) << "the test's, and one per layer of two waters";

    // Saving drops a layer left without blocks and a curve of one point, and counts only what it writes.
    WaterLayer* empty = water->AddWaterLayer("Lake", 2.0f);
    ASSERT_NE(empty, nullptr);
    water->AddWaveSet(0.0f, Point(1, 1, 1, 0, 1));
    EXPECT_EQ(Saved(*water), bytes);
    EXPECT_EQ(water->GetNumLayers(), 1u);
}

TEST_F(WaterTest, BlocksBuiltByteByByteLoad) {
    // Version 1: no wave-set count; one type, one layer of one block, one path of two points.
    BinaryWriter w(256);
    for (uint32_t v : {0xFEEDCBA9u, 1u, 1u, 1u, 1u}) w.Write(v);
    WaterType river("River");
    river.EditSettings().ScrollSpeed = 9.0f;  // already registered: the registered values stay
    river.Save(w);
    w.Write(std::string("lake"));  // names match in any case
    for (float f : {0.0f, 27.0f, 36.0f}) w.Write(f);  // three blocks across, four down
    w.Write(4u);
    unsigned char coverage[100];
    std::memset(coverage, 255, sizeof coverage);
    // Block (2, 3); then blocks (3, 3) and (2, 4), past the layer's size, and one outside the grid:
    // each passed over with its bytes.
    for (const uint32_t index : {3u * 8 + 2, 3u * 8 + 3, 4u * 8 + 2, 64u * 64u}) {
        w.Write(index);
        w.Write(coverage, 100);
    }
    w.Write(std::string("River"));
    w.Write(1.5f);
    w.Write(2u);
    for (float x : {0.0f, 20.0f}) {
        for (float f : {x, 30.0f, 5.0f, 0.0f, 0.0f, 1.0f, 2.0f}) w.Write(f);
        const unsigned char zeros[36] = {};
        w.Write(zeros, 36);
    }
    auto water = Fresh();
    LogCapture log;
    BinaryReader reader(w.GetBuffer(), w.GetPosition());
    ASSERT_TRUE(water->Load(reader));
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Warning water data is version 1, current version is 2, please rebuild the map."));
    ASSERT_NE(water->GetLayer(0), nullptr);
    EXPECT_EQ(water->GetLayer(0)->GetNumBlocks(), 1u);
    EXPECT_NE(water->GetLayer(0)->GetBlock(2, 3), nullptr);
    ASSERT_NE(water->GetPath(0), nullptr);
    EXPECT_EQ(water->GetPath(0)->GetHeight(), 1.5f);
    EXPECT_EQ(water->GetNumWaveSets(), 0u);
    const WaterType* registered = WaterTypeManager::Get().GetWaterType("River");
    EXPECT_EQ(registered->GetSettings().ScrollSpeed, 2.0f);
    WaterTypeManager::Get().ReleaseWaterType(registered);

    // An unknown type fails its own record only; the records after it still read.
    mem::vector<unsigned char> bytes(w.GetBuffer(), w.GetBuffer() + w.GetPosition());
    const size_t lakeName = 20 + (bytes.size() - 20 - (4 + 4 + 12 + 4 + 4 * 104) - (4 + 5 + 4 + 4 + 128));
    ASSERT_EQ(bytes[lakeName + 4], 'l');
    bytes[lakeName + 4] = 'x';
    auto other = Fresh();
    BinaryReader second(bytes.data(), uint32_t(bytes.size()));
    EXPECT_TRUE(other->Load(second));
    EXPECT_EQ(other->GetLayer(0), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Failed to load water layer 0."));
    EXPECT_NE(other->GetPath(0), nullptr);
}

TEST_F(WaterTest, CutCorruptAndOverfullBlocksFailCleanly) {
    auto source = Fresh();
    Fill(*source);
    const mem::vector<unsigned char> bytes = Saved(*source);
    LogCapture log;
    for (size_t size = 0; size < bytes.size(); ++size) {
        auto water = Fresh();
        BinaryReader reader(bytes.data(), uint32_t(size));
        ASSERT_FALSE(water->Load(reader)) << "cut at " << size;
        EXPECT_EQ(water->GetNumLayers() + water->GetNumPaths() + water->GetNumWaveSets(), 0u);
    }
    std::mt19937 random(5);
    for (int trial = 0; trial < 300; ++trial) {
        mem::vector<unsigned char> corrupt = bytes;
        for (int k = 0; k < 4; ++k) corrupt[random() % corrupt.size()] = uint8_t(random());
        auto water = Fresh();
        BinaryReader reader(corrupt.data(), uint32_t(corrupt.size()));
        water->Load(reader);  // either way, within the bytes and the slots
    }
    // More layers than a level holds.
    mem::vector<unsigned char> overfull = bytes;
    const uint32_t many = 129;
    std::memcpy(overfull.data() + 12, &many, 4);
    auto water = Fresh();
    BinaryReader reader(overfull.data(), uint32_t(overfull.size()));
    EXPECT_FALSE(water->Load(reader));
    // Before a device there is nothing to load into.
    Water headless(nullptr);
    headless.Initialize(64, 64, &ground, nullptr);
    BinaryReader again(bytes.data(), uint32_t(bytes.size()));
    EXPECT_FALSE(headless.Load(again));
    EXPECT_EQ(headless.AddWaterLayer("Lake", 0.0f), nullptr);
}

// A block of n layers of a type the level has not registered: the slot tables take 128 layers and
// no more, and the type lives exactly as long as layers use it.
TEST_F(WaterTest, BlocksHoldAsManyLayersAsTheSlotsAndNewTypesLiveWithTheirLayers) {
    WaterType sea("Sea");
    sea.EditSettings().MaxDepth = 4.0f;
    BinaryWriter typeRecord(256);
    sea.Save(typeRecord);
    auto one = Fresh();
    WaterTypeManager::Get().CreateWaterType("Sea");
    WaterLayer* layer = one->AddWaterLayer("Sea", 0.0f);
    layer->UpdateArea(Vec3(24, 0, 24), 4.0f, true);
    const mem::vector<unsigned char> single = Saved(*one);
    one.reset();
    const WaterType* created = WaterTypeManager::Get().GetWaterType("Sea");
    WaterTypeManager::Get().ReleaseWaterType(created);  // the reference just taken
    WaterTypeManager::Get().ReleaseWaterType(created);  // and the creator's
    ASSERT_FALSE(WaterTypeManager::Get().IsWaterType("Sea"));
    const size_t layerStart = 24 + typeRecord.GetPosition();
    const auto block = [&](uint32_t layers) {
        BinaryWriter w(1024);
        for (uint32_t v : {Water::kMagic, Water::kVersion, 1u, layers, 0u, 0u}) w.Write(v);
        w.Write(typeRecord.GetBuffer(), typeRecord.GetPosition());
        for (uint32_t i = 0; i < layers; ++i) w.Write(single.data() + layerStart, uint32_t(single.size() - layerStart));
        return mem::vector<unsigned char>(w.GetBuffer(), w.GetBuffer() + w.GetPosition());
    };

    LogCapture log;
    const mem::vector<unsigned char> full = block(Water::kMaxLayers);
    auto water = Fresh();
    BinaryReader reader(full.data(), uint32_t(full.size()));
    ASSERT_TRUE(water->Load(reader));
    EXPECT_EQ(water->GetNumLayers(), Water::kMaxLayers);
    EXPECT_EQ(WaterTypeManager::Get().GetReferenceCount("Sea"), int(Water::kMaxLayers));
    const WaterType* loaded = water->GetLayer(0)->GetWaterType();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetSettings().MaxDepth, 4.0f);
    water.reset();
    EXPECT_FALSE(WaterTypeManager::Get().IsWaterType("Sea"));

    const mem::vector<unsigned char> overfull = block(Water::kMaxLayers + 1);
    water = Fresh();
    BinaryReader more(overfull.data(), uint32_t(overfull.size()));
    EXPECT_FALSE(water->Load(more));
    EXPECT_EQ(water->GetNumLayers(), 0u);
    EXPECT_FALSE(WaterTypeManager::Get().IsWaterType("Sea"));
}

TEST_F(WaterTest, SlotTablesCountToTheHighestSlot) {
    Water narrow(nullptr);
    narrow.Initialize(63, 10, nullptr, &device);
    EXPECT_EQ(narrow.GetBlocksX(), 7u);
    EXPECT_EQ(narrow.GetBlocksZ(), 2u);
    auto water = Fresh();
    WaterLayer* layers[6];
    for (WaterLayer*& layer : layers) layer = water->AddWaterLayer("Lake", 0.0f);
    water->RemoveWaterLayer(layers[3]);
    EXPECT_EQ(layers[3], nullptr);
    EXPECT_EQ(water->GetNumLayers(), 6u);
    water->RemoveWaterLayer(layers[5]);
    EXPECT_EQ(water->GetNumLayers(), 5u);
    EXPECT_EQ(water->AddWaterLayer("Lake", 1.0f)->GetIndex(), 3u);
    EXPECT_EQ(water->FindLayer("LAKE", 1.0f), water->GetLayer(3));
    EXPECT_EQ(water->FindLayer("Lake", 2.0f), nullptr);
    // A count at the table's end takes no layer, though a slot below it is free.
    while (water->GetNumLayers() < Water::kMaxLayers) water->AddWaterLayer("Lake", 0.0f);
    WaterLayer* second = water->GetLayer(1);
    water->RemoveWaterLayer(second);
    EXPECT_EQ(water->AddWaterLayer("Lake", 0.0f), nullptr);
    EXPECT_EQ(water->AddWaterPath("Sea", 0.0f, Point(0, 0, 1, 0, 1)), nullptr);
}

// With every table full, each operation reaches the last slot of each and goes no further.
TEST_F(WaterTest, FullTablesAreWalkedToTheirLastSlots) {
    auto water = Fresh();
    for (unsigned i = 0; i < Water::kMaxLayers; ++i) ASSERT_NE(water->AddWaterLayer("Lake", 0.0f), nullptr);
    for (unsigned i = 0; i < Water::kMaxPaths; ++i) ASSERT_NE(water->AddWaterPath("River", 1, Point(4, 50, 10, 0, 2)), nullptr);
    for (unsigned i = 0; i < Water::kMaxWaveSets; ++i) ASSERT_NE(water->AddWaveSet(0, Point(10, 10, 4, 0, 2)), nullptr);
    EXPECT_EQ(water->AddWaterPath("River", 1, Point(4, 50, 10, 0, 2)), nullptr);
    EXPECT_EQ(water->AddWaveSet(0, Point(10, 10, 4, 0, 2)), nullptr);
    WaterLayer* lake = water->GetLayer(Water::kMaxLayers - 1);
    WaterPath* river = water->GetPath(Water::kMaxPaths - 1);
    WaterWaveSet* waves = water->GetWaveSet(Water::kMaxWaveSets - 1);
    lake->UpdateArea(Vec3(24, 0, 24), 6.0f, true);
    river->AddControlPoint(Point(40, 56, 10, 0, 3));
    waves->AddControlPoint(Point(30, 10, 4, 0, 2));
    water->UpdateWaterTypes();
    water->Update(10);
    water->PreDeviceReset();
    water->PostDeviceReset();
    EXPECT_EQ(water->FindLayer("Lake", 0.0f), water->GetLayer(0));
    EXPECT_TRUE(water->UpdateWaterType(river->GetWaterType()));
    EXPECT_TRUE(water->IsWaterTypeUsed(lake->GetWaterType()));
    WaterCurve::SelectionType selection;
    EXPECT_EQ(water->SelectCurve(Ray{Vec3(30, 9, 10), Vec3(0, -1, 0)}, selection, WorldCoords()), waves);
    water->Mirror(Vec3(32, 0, 32), true, true, false);
    Intersection hit;
    ASSERT_TRUE(water->GetIntersection(Ray{Vec3(39, 10, 39), Vec3(0, -1, 0)}, hit, PhysicsSurface::None));
    EXPECT_FLOAT_EQ(hit.distance, 10.0f);
    // Saved, only the last of each shows anything.
    const mem::vector<unsigned char> bytes = Saved(*water);
    uint32_t counts[3];
    std::memcpy(counts, bytes.data() + 12, sizeof counts);
    EXPECT_EQ(counts[0], 1u);
    EXPECT_EQ(counts[1], 1u);
    EXPECT_EQ(counts[2], 1u);
    water->RemoveWaterType(lake->GetWaterType());
    EXPECT_EQ(water->GetNumLayers(), Water::kMaxLayers - 1);
}

TEST_F(WaterTest, TheSurfaceMeetsRaysBoxesPointsAndSplashes) {
    auto water = Fresh();
    Fill(*water);
    Intersection hit;
    EXPECT_TRUE(water->GetIntersection(Ray{Vec3(24, 10, 24), Vec3(0, -1, 0)}, hit, PhysicsSurface::None));
    EXPECT_EQ(std::pair(hit.distance, hit.surface), std::pair(10.0f, PhysicsSurface::Water));
    EXPECT_FALSE(water->GetIntersection(Ray{Vec3(24, 10, 24), Vec3(0, -1, 0)}, hit, PhysicsSurface::Water));
    EXPECT_FALSE(water->GetIntersection(Ray{Vec3(2, 10, 2), Vec3(0, -1, 0)}, hit, PhysicsSurface::None));
    // The river lies above the lake's height where they do not overlap.
    EXPECT_TRUE(water->GetIntersection(Ray{Vec3(20, 10, 53), Vec3(0, -1, 0)}, hit, PhysicsSurface::None));
    EXPECT_FLOAT_EQ(hit.distance, 9.0f);

    CollisionContact contacts[2];
    const OBBox oneUnder(Vec3(1, 2, 1), Coords::Translation(Vec3(24, 1, 24)));  // bottom at -1, height 4
    ASSERT_EQ(water->FindCollisions(oneUnder, contacts, 2, PhysicsSurface::None), 1);
    EXPECT_EQ(std::tuple(contacts[0].depth, contacts[0].normal, contacts[0].surface),
              std::tuple(1.0f, Vec3(0, 1, 0), PhysicsSurface::Water));
    const OBBox deep(Vec3(1, 2, 1), Coords::Translation(Vec3(24, -3, 24)));  // bottom 5 under
    EXPECT_EQ(water->FindCollisions(deep, contacts, 2, PhysicsSurface::None), 0);
    const OBBox threeUnder(Vec3(1, 2, 1), Coords::Translation(Vec3(24, -1, 24)));  // under, but less than its height
    ASSERT_EQ(water->FindCollisions(threeUnder, contacts, 2, PhysicsSurface::None), 1);
    EXPECT_FLOAT_EQ(contacts[0].depth, 3.0f);
    EXPECT_EQ(water->FindCollisions(oneUnder, contacts, 2, PhysicsSurface::Water), 0);

    Vec3 surface, velocity;
    ASSERT_TRUE(water->GetWaterPointInfo(Vec3(20, -2, 53), surface, velocity));
    EXPECT_FLOAT_EQ(surface.y, 1.0f);
    EXPECT_GT(velocity.x, 1.5f);  // the river's drift
    EXPECT_FALSE(water->GetWaterPointInfo(Vec3(24, 3, 24), surface, velocity));

    // A wake above the surface ripples but makes no effect (no splash records here either).
    water->CreateRipple(Vec3(24, 1, 24), 1.0f, 1.0f, LevelWater::SplashType::Wake);
    water->Update(10);
    EXPECT_EQ(water->GetRipples().GetNumRipplesWritten(), 1u);
    water->CreateRipple(Vec3(24, -3, 24), 1.0f, 1.0f, LevelWater::SplashType::Object);  // too deep
    water->Update(10);
    EXPECT_EQ(water->GetRipples().GetNumRipplesWritten(), 1u);
}

// A tool writing a level has no device: the same water made without one saves the same block,
// and a water on a device loads it back.
TEST_F(WaterTest, WaterMadeWithoutADeviceSavesWhatTheDeviceWaterLoads) {
    auto drawn = Fresh();
    Fill(*drawn);
    const mem::vector<unsigned char> bytes = Saved(*drawn);
    drawn.reset();

    const size_t resources = device.GetNumLiveResources();
    Water headless(nullptr);
    headless.InitializeWithoutDevice(64, 64, &ground);
    Fill(headless);
    EXPECT_EQ(Saved(headless), bytes);
    EXPECT_EQ(device.GetNumLiveResources(), resources);
    Vec3 surface, velocity;
    EXPECT_TRUE(headless.GetWaterPointInfo(Vec3(24, -2, 24), surface, velocity));

    auto loaded = Fresh();
    BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
    ASSERT_TRUE(loaded->Load(reader));
    EXPECT_EQ(loaded->GetLayer(0)->GetNumBlocks(), headless.GetLayer(0)->GetNumBlocks());
}

TEST_F(WaterTest, AWorldFindsTheLakeOverItsTerrain) {
    World world;
    Region* region = world.GetRegion(world.AddRegion("lake", IntVec3(100, 0, 0), ABBox(), RegionId()));
    auto terrain = std::make_unique<TestTerrain>();
    ASSERT_TRUE(terrain->Make(65, 65, LakeGround));
    auto level = std::make_unique<Level>(region);
    level->NewSpace(Vec2(32, 32));
    auto water = std::make_unique<Water>(region);
    water->Initialize(64, 64, terrain.get(), &device);
    Fill(*water);
    level->SetGround(std::move(terrain));
    level->SetWater(std::move(water));
    level->PostLoad(false);
    region->SetLevel(std::move(level));
    world.UpdateRegionBoundingBox(region->GetLevel());

    WorldIntersection hit;
    world.GetIntersection(WorldRay(WorldVec3(region, Vec3(24, 10, 24)), Vec3(0, -1, 0)), hit, PhysicsSurface::None, true);
    EXPECT_FLOAT_EQ(hit.distance, 10.0f) << "the lake's surface, not the basin 3 below";
    hit = WorldIntersection();
    world.GetIntersection(WorldRay(WorldVec3(region, Vec3(4, 10, 4)), Vec3(0, -1, 0)), hit, PhysicsSurface::None, true);
    EXPECT_FLOAT_EQ(hit.distance, 5.0f) << "the shore's ground";
    Vec3 surface, velocity;
    ASSERT_TRUE(region->GetLevel()->GetWater()->GetWaterPointInfo(Vec3(30, -2.5f, 30), surface, velocity));
    EXPECT_FLOAT_EQ(surface.y, 0.0f);
    world.Unload();
}

// The strip a block draws (its first 178 triangles) and a river's longest stretch draws (all of
// it) covers each cell between two rows of ten once with two triangles, all facing one way, and
// joins the rows with triangles that cover nothing.
TEST_F(WaterTest, TheSharedStripCoversEveryCellOnceFacingOneWay) {
    auto water = Fresh();
    const auto* indices = static_cast<const RecordingIndexBuffer*>(water->GetBlockIndexBuffer());
    ASSERT_NE(indices, nullptr);
    ASSERT_EQ(indices->GetCount(), Water::kBlockIndices);
    EXPECT_EQ(indices->GetIndex(0), 10u);  // (v + 10, v) pairs: the facing the water is drawn with
    EXPECT_EQ(indices->GetIndex(1), 0u);
    for (const uint32_t triangles : {178u, Water::kBlockIndices - 2}) {
        const uint32_t rows = (triangles + 2) / 20 + 1;
        std::vector<int> covered(size_t(rows - 1) * 9, 0);
        for (uint32_t t = 0; t < triangles; ++t) {
            uint32_t a = indices->GetIndex(t), b = indices->GetIndex(t + 1);
            const uint32_t c = indices->GetIndex(t + 2);
            if (t % 2 == 1) std::swap(a, b);  // a strip turns every other triangle
            ASSERT_LT(std::max({a, b, c}), rows * 10) << t;
            const auto x = [](uint32_t v) { return int(v % 10); };
            const auto z = [](uint32_t v) { return int(v / 10); };
            const int facing = (x(b) - x(a)) * (z(c) - z(a)) - (z(b) - z(a)) * (x(c) - x(a));
            if (facing == 0) continue;
            EXPECT_GT(facing, 0) << "triangle " << t;
            const int cellX = std::min({x(a), x(b), x(c)}), cellZ = std::min({z(a), z(b), z(c)});
            ASSERT_LE(std::max({x(a), x(b), x(c)}) - cellX, 1) << t;
            ASSERT_LE(std::max({z(a), z(b), z(c)}) - cellZ, 1) << t;
            ++covered[size_t(cellZ) * 9 + size_t(cellX)];
        }
        for (size_t cell = 0; cell < covered.size(); ++cell) EXPECT_EQ(covered[cell], 2) << triangles << ": " << cell;
    }
}

// A device reset of the level reaches its water: every buffer goes before it and comes back after
// it holding what it held.
TEST_F(WaterTest, ALevelsDeviceResetGivesBackAndRemakesItsWatersBuffers) {
    auto owned = Fresh();
    Water& water = *owned;
    Fill(water);
    water.Update(100);  // the waves leave their first shape
    Level level(nullptr);
    level.SetWater(std::move(owned));
    mem::vector<WaterElement*> elements;
    water.GetSpace()->GetAll(elements);
    ASSERT_GE(elements.size(), 3u);
    const auto contents = [&]() {
        std::vector<std::vector<uint8_t>> data;
        for (const WaterElement* element : elements) {
            const auto* buffer = static_cast<const RecordingVertexBuffer*>(element->GetVertexBuffer());
            data.push_back(buffer ? buffer->GetData() : std::vector<uint8_t>());
        }
        return data;
    };
    const std::vector<std::vector<uint8_t>> before = contents();
    const size_t live = device.GetNumLiveResources();
    // The reflections drawn before go too.
    RenderSurface* reflection = device.CreateRenderSurface(8, 8, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    for (WaterElement* element : elements) {
        if (element->GetReflectionPlane()) element->GetReflectionPlane()->surface = reflection;
    }

    level.PreDeviceReset();
    for (const WaterElement* element : elements) {
        EXPECT_EQ(element->GetVertexBuffer(), nullptr);
        EXPECT_EQ(element->GetReflectionTexture(), nullptr);
    }
    device.DestroyRenderSurface(reflection);
    EXPECT_EQ(water.GetBlockIndexBuffer(), nullptr);
    EXPECT_EQ(water.GetWavesIndexBuffer(), nullptr);
    EXPECT_LT(device.GetNumLiveResources(), live - elements.size() - 1);

    level.PostDeviceReset();
    EXPECT_EQ(device.GetNumLiveResources(), live);
    EXPECT_NE(water.GetBlockIndexBuffer(), nullptr);
    EXPECT_NE(water.GetWavesIndexBuffer(), nullptr);
    const std::vector<std::vector<uint8_t>> after = contents();
    for (size_t i = 0; i < elements.size(); ++i) {
        if (elements[i]->GetElementType() == WaterElement::ElementType::WaveElement) continue;  // rewritten each frame
        EXPECT_EQ(after[i], before[i]) << i;
    }
}

// Buffers that refuse to lock leave the water drawable as far as it goes: nothing is written
// through them, the shared strips are reported missing, and the ripples' failed lock is given back.
TEST_F(WaterTest, BuffersThatRefuseToLockAreNotWrittenThrough) {
    LogCapture log;
    device.Script().failLocks = true;
    auto water = Fresh();
    Fill(*water);
    water->GetRipples().CreateRipple(Vec3(24, 0, 24), 0.5f, 2.0f);
    water->Update(100);
    water->GetLayer(0)->Update();
    water->GetPath(0)->Update();
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Unable to create index Buffer for water."));
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Unable to create index buffer for waves."));
    const std::string ripples = device.GetResourceName(water->GetRipples().GetVertexBuffer());
    EXPECT_EQ(device.CountCalls(ripples + ".Unlock"), 2u);  // creation's write, the update's
    EXPECT_EQ(device.CountCalls(ripples + ".Lock"), 2u);
    EXPECT_EQ(water->GetRipples().GetNumRipplesWritten(), 0u);
}

// An entity meets the surface through its collision box, from its own region or a neighbour's;
// the water's objects know the region.
TEST_F(WaterTest, AnEntityMeetsTheSurfaceFromWhicheverRegionItStandsIn) {
    World world;
    Region* lake = world.GetRegion(world.AddRegion("lake", IntVec3(100, 0, 0), ABBox(), RegionId()));
    Region* east = world.GetRegion(world.AddRegion("east", IntVec3(164, 0, 0), ABBox(), RegionId()));
    Water water(lake);
    water.Initialize(64, 64, &ground, &device);
    Fill(water);
    EXPECT_EQ(water.GetLayer(0)->GetRegion(), lake);
    EXPECT_EQ(water.GetPath(0)->GetRegion(), lake);
    WaterSpace tree(Vec2(8, 8), Vec2(8, 8));
    EXPECT_EQ(WaterWaveSet(0, tree, nullptr, nullptr).GetRegion(), nullptr);  // an object of no water

    CollisionContact contacts[2];
    const OBBox inLake(Vec3(1, 2, 1), Coords::Translation(Vec3(24, -1, 24)));  // bottom 3 under
    const Boxed here(&inLake);
    ASSERT_EQ(water.FindCollisions(&here, contacts, 2, PhysicsSurface::None), 1);
    EXPECT_FLOAT_EQ(contacts[0].depth, 3.0f);
    EXPECT_EQ(water.FindCollisions(&here, contacts, 2, PhysicsSurface::Water), 0);
    // The same place in the coordinates of the region east of the lake.
    const OBBox fromEast(Vec3(1, 2, 1), Coords::Translation(Vec3(24 - 64, -1, 24)));
    Boxed there(&fromEast);
    there.SetCoords(WorldCoords(east, Coords()));
    ASSERT_EQ(water.FindCollisions(&there, contacts, 2, PhysicsSurface::None), 1);
    EXPECT_FLOAT_EQ(contacts[0].position.x, 24.0f);
    const Boxed none(nullptr);
    EXPECT_EQ(water.FindCollisions(&none, contacts, 2, PhysicsSurface::None), 0);
    EXPECT_EQ(water.FindCollisions(static_cast<const Entity*>(nullptr), contacts, 2, PhysicsSurface::None), 0);
}

TEST_F(WaterTest, TheRenderInterfaceGathersTheElementsInViewGroupedByType) {
    auto water = Fresh();
    WaterTypeManager::Get().CreateWaterType("Sea");
    // Alternating types, so the tree gathers them interleaved.
    for (int i = 0; i < 4; ++i) {
        WaterLayer* layer = water->AddWaterLayer(i % 2 ? "Sea" : "Lake", 0.0f);
        layer->UpdateArea(Vec3(12.0f + 9.0f * float(i), 0, 20), 3.0f, true);
    }
    WaterRenderInterface& view = const_cast<WaterRenderInterface&>(water->GetRenderInterface());
    Frustum nothing;
    nothing.AddPlane(Plane(Vec3(0, 1, 0), -100));  // everything lies below y = 100
    EXPECT_FALSE(view.Update(IntVec3(), nothing));
    EXPECT_EQ(view.GetNumRenderPasses(SceneStyleNames::Get().emissive, RenderGenerationId()), 0);

    Frustum all;
    all.AddPlane(Plane(Vec3(0, 1, 0), 100));
    ASSERT_TRUE(view.Update(IntVec3(), all));
    const mem::vector<WaterElement*>& visible = view.GetVisibleElements();
    ASSERT_GE(visible.size(), 4u);
    int changes = 0;
    for (size_t i = 1; i < visible.size(); ++i) changes += visible[i]->GetWaterType() != visible[i - 1]->GetWaterType();
    EXPECT_EQ(changes, 1) << "one change of type parameters between the two groups";
    EXPECT_EQ(view.GetNumRenderPasses(SceneStyleNames::Get().emissive, RenderGenerationId()), 5);
    Vec3 low(Infinity, Infinity, Infinity), high = -low;  // the union of the elements' boxes
    for (const WaterElement* element : visible) {
        low = Min(low, element->GetBoundingBox().GetMin());
        high = Max(high, element->GetBoundingBox().GetMax());
    }
    EXPECT_EQ(view.GetRenderPassBoundingBox().centre, (low + high) * 0.5f);
    EXPECT_EQ(view.GetRenderPassBoundingBox().halfSize, (high - low) * 0.5f);
    // Each layer with blocks in view offers its plane once, as the region's.
    Region region{nullptr, 0, "r", ABBox(), IntVec3(), RegionId(1, 0, 0, 0)};
    GraphicsReflectionManager manager;
    water->AddReflectionPlanes(manager, &region, all);
    ASSERT_EQ(manager.GetNumGroups(), 1);
    ASSERT_EQ(manager.GetGroupPlanes(0).size(), 4u);
    for (const GraphicsReflectionPlane* plane : manager.GetGroupPlanes(0)) EXPECT_EQ(plane->region, &region);
    // Without reflections the emissive style maps to the plain water styles; others pass through.
    const Name& emissive = SceneStyleNames::Get().emissive;
    for (const auto& [pass, style] :
         {std::pair{0, "waterBlockStyle"}, {1, "waterPathStyle"}, {3, "bumpStyle"}, {4, "blendStyle"}})
        EXPECT_EQ(view.GetShaderStyle(pass, emissive, RenderGenerationId(), nullptr), Name::Create(style)) << pass;
    EXPECT_EQ(view.GetShaderStyle(0, SceneStyleNames::Get().fog, RenderGenerationId(), nullptr), SceneStyleNames::Get().fog);
    // The waves sort after the surface: at one sort order the scene renderer would order the two
    // shaders by their addresses, and the surface would cover the waves half the time.
    for (int surface = 0; surface < 2; ++surface) {
        for (int waves = 2; waves < 5; ++waves) {
            EXPECT_LT(view.GetRenderPassSortOrder(surface, emissive, RenderGenerationId()),
                      view.GetRenderPassSortOrder(waves, emissive, RenderGenerationId()));
        }
    }
    water.reset();
    WaterTypeManager::Get().ReleaseWaterType(WaterTypeManager::Get().GetWaterType("Sea"));
}

// The water drawn on the recording device with the sample water shaders, its splashes playing
// effect entities of their own records.
class WaterDrawTest : public RecordingEngineTest {
protected:
    void SetUp() override {
        FileSystem writable;
        writable.AddDirectory(directory.GetPath(), true);
        ASSERT_TRUE(sample::WriteWater(writable));
        directory.WriteFile(Water::kInteractionRecord,
                            "Class,WaterInteraction,\nWakeSplashEffect,records/wake.dbr,\nObjectSplashEffect,"
                            "records/object.dbr,\nBodySplashEffect,records/body.dbr,\n");
        for (const char* record : {"records/wake.dbr", "records/object.dbr", "records/body.dbr"}) {
            directory.WriteFile(record, "Class,EffectEntity,\n");
        }
        StartEngine();
        WaterTypeManager::Get().CreateWaterType("Lake");
    }
    void TearDown() override {
        water.reset();
        WaterTypeManager::Get().ReleaseWaterType(WaterTypeManager::Get().GetWaterType("Lake"));
        WaterTypeManager::Destroy();
        RecordingEngineTest::TearDown();
    }
    RecordingDevice& Device() const {
        return *static_cast<RecordingDevice*>(engine.GetGraphicsEngine()->GetRenderDevice());
    }

    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    std::unique_ptr<Water> water;
};

// Two lakes of one type, each with its own reflection: each is drawn with its own, though their
// type's parameters need setting only once.
TEST_F(WaterDrawTest, EachSurfaceIsDrawnWithItsOwnReflection) {
    water = std::make_unique<Water>(&region);
    water->Initialize(64, 64, nullptr, &Device());
    WaterLayer* west = water->AddWaterLayer("Lake", 0.5f);
    WaterLayer* east = water->AddWaterLayer("Lake", 1.0f);
    west->UpdateArea(Vec3(12, 0.5f, 12), 4.0f, true);
    east->UpdateArea(Vec3(50, 1, 12), 4.0f, true);
    ASSERT_GT(west->GetNumBlocks(), 0u);
    ASSERT_GT(east->GetNumBlocks(), 0u);
    engine.GetGraphicsEngine()->EnableReflections(true);
    PlainSceneRenderer renderer;
    water->AddToScene(renderer, Frustum::FromBox(ABBox(Vec3(32, 0, 32), Vec3(100, 100, 100))));
    RenderSurface* reflections[2] = {Device().CreateRenderSurface(64, 64, RenderTextureFormat::RGBA, RenderTextureFormat::None),
                                     Device().CreateRenderSurface(64, 64, RenderTextureFormat::RGBA, RenderTextureFormat::None)};
    mem::vector<WaterElement*> elements;
    water->GetSpace()->GetAll(elements);
    for (WaterElement* element : elements) {
        element->GetReflectionPlane()->surface = element->GetReflectionPlane() == &west->GetReflectionPlane() ? reflections[0] : reflections[1];
    }
    Device().ClearCalls();
    renderer.RenderStyle(*engine.GetGraphicsEngine()->GetCanvas(), SceneStyleNames::Get().emissive);
    const std::vector<std::string> textures = Device().GetCalls("SetTexture");
    for (RenderSurface* surface : reflections) {
        const std::string set = "SetTexture(0, " + Device().GetResourceName(surface->GetTexture()) + ")";
        EXPECT_EQ(std::count(textures.begin(), textures.end(), set), 1) << set;  // set once for all its blocks
        Device().DestroyRenderSurface(surface);
    }
}

// A splash 2.5 units or less under a lake at height 2 (or above it) rings where it meets the
// surface when it is strong enough (1 or more), and plays its kind's effect there: a wake only
// from under the surface. One 2 units or more under it does nothing.
TEST_F(WaterDrawTest, SplashesRingAndPlayTheirKindsEffectAtTheSurface) {
    using Kind = LevelWater::SplashType;
    World& world = *engine.GetWorld();
    Region* lake = world.GetRegion(world.AddRegion("lake", IntVec3(), ABBox(), RegionId()));
    auto level = std::make_unique<Level>(lake);
    level->NewSpace(Vec2(32, 32));
    water = std::make_unique<Water>(lake);
    water->Initialize(64, 64, nullptr, &Device());
    water->AddWaterLayer("Lake", 2.0f)->UpdateArea(Vec3(20, 2, 20), 8.0f, true);
    Water& surface = *water;
    level->SetWater(std::move(water));
    lake->SetLevel(std::move(level));
    struct Splash {
        Vec3 at;
        float strength;
        Kind kind;
        bool rings;
        const char* effect;
    };
    for (const Splash& splash : {Splash{Vec3(20, 1, 21), 1.0f, Kind::Wake, true, "records/wake.dbr"},
                                 Splash{Vec3(20, 3, 21), 2.0f, Kind::Wake, true, nullptr},
                                 Splash{Vec3(19, 2.5f, 20), 0.5f, Kind::Object, false, "records/object.dbr"},
                                 Splash{Vec3(18, 0.1f, 22), 1.0f, Kind::Body, true, "records/body.dbr"},
                                 Splash{Vec3(18, 0.0f, 22), 1.0f, Kind::Body, false, nullptr},
                                 Splash{Vec3(20, 1, 20), 1.0f, Kind::None, true, nullptr},
                                 Splash{Vec3(50, 1, 50), 1.0f, Kind::Body, false, nullptr}}) {
        SCOPED_TRACE(int(splash.kind));
        mem::vector<Entity*> before, after;
        lake->GetLevel()->GetEntities(before);
        WaterRippleSet& ripples = surface.GetRipples();
        for (unsigned i = 0; i < WaterRippleSet::kMaxRipples; ++i) ASSERT_FALSE(ripples.GetRipple(i).active);
        surface.CreateRipple(splash.at, 1.5f, splash.strength, splash.kind);
        const WaterRippleSet::Ripple& ring = ripples.GetRipple(0);
        EXPECT_EQ(ring.active, splash.rings);
        if (splash.rings) {
            EXPECT_FLOAT_EQ(ring.position.y, 2.01f);
            for (const auto& [got, expected] : {std::pair{ring.position.x, splash.at.x}, {ring.position.z, splash.at.z},
                                                {ring.radius, 0.5f}, {ring.finalRadius, 6.0f}})
                EXPECT_NEAR(got, expected, 0.2f);
            surface.Update(100000);
            surface.Update(1);
        }
        lake->GetLevel()->GetEntities(after);
        ASSERT_EQ(after.size(), before.size() + (splash.effect ? 1 : 0));
        if (!splash.effect) continue;
        const Entity* effect = *std::find_if(after.begin(), after.end(), [&](const Entity* e) {
            return std::find(before.begin(), before.end(), e) == before.end();
        });
        EXPECT_TRUE(effect->GetRTTIClassInfo()->IsA(&EffectEntity::classInfo));
        EXPECT_EQ(effect->GetObjectName(), splash.effect);
        EXPECT_EQ(effect->GetCoords().GetRegionCoords().origin, Vec3(splash.at.x, 2, splash.at.z));
    }
}

}  // namespace
}  // namespace GAME::test
