#include "world/Region.h"

#include "FakeWorld.h"
#include "core/Frustum.h"
#include "core/MathExpect.h"
#include "core/WorldVec3.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/ChunkedBinaryWriter.h"
#include "support/LogCapture.h"
#include "world/RegionConnectivity.h"
#include "world/RegionId.h"
#include "world/RegionLoader.h"
#include "world/RegionRecord.h"
#include "world/WorldFrustum.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace GAME {
namespace {

using test::ExpectNear;

std::vector<unsigned char> Bytes(const BinaryWriter& writer) {
    return std::vector<unsigned char>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

// Little-endian words, for golden bytes.
void PutWord(std::vector<unsigned char>& bytes, uint32_t word) {
    for (int i = 0; i < 4; ++i) bytes.push_back((word >> (8 * i)) & 0xFF);
}
void PutFloat(std::vector<unsigned char>& bytes, float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    PutWord(bytes, word);
}
void PutString(std::vector<unsigned char>& bytes, const std::string& text) {
    PutWord(bytes, uint32_t(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

TEST(RegionId, UniqueIdsAreValidAndPackTheGuidFields) {
    uint32_t lastWords = 0;  // random bits of the GUID's end: not zero in all of a hundred ids
    for (int i = 0; i < 100; ++i) {
        const RegionId id = RegionId::CreateUnique();
        EXPECT_FALSE(id.IsInvalid());
        lastWords |= id.GetWord(3);
        // The GUID's version sits in data3's top nibble, the low half of word 1; its variant in
        // the top bits of data4[0], the top byte of word 2.
        EXPECT_EQ((id.GetWord(1) >> 12) & 0xF, 4u);
        EXPECT_EQ(id.GetWord(2) >> 30, 2u);
    }
    EXPECT_NE(lastWords, 0u);
    EXPECT_NE(RegionId::CreateUnique(), RegionId::CreateUnique());
    EXPECT_TRUE(RegionId().IsInvalid());
}

TEST(RegionId, OrdersWordByWordAsUnsignedNumbers) {
    EXPECT_LT(RegionId(1, 2, 3, 4), RegionId(1, 2, 3, 5));
    EXPECT_LT(RegionId(1, 2, 3, 1), RegionId(1, 2, 3, 0x80000000u));
    EXPECT_LT(RegionId(0, 9, 9, 9), RegionId(1, 0, 0, 0));
    EXPECT_FALSE(RegionId(1, 2, 3, 4) < RegionId(1, 2, 3, 4));
    EXPECT_EQ(RegionId(1, 2, 3, 4), RegionId(1, 2, 3, 4));
    EXPECT_NE(RegionId(1, 2, 3, 4), RegionId(1, 2, 3, 0));
}

TEST(RegionId, StoresWordZeroFirst) {
    ChunkedBinaryWriter writer;
    RegionId(1, 2, 3, 4).Write(writer);
    std::vector<unsigned char> expected;
    for (uint32_t word : {1u, 2u, 3u, 4u}) PutWord(expected, word);
    EXPECT_EQ(Bytes(writer), expected);

    BinaryReader reader(expected.data(), uint32_t(expected.size()));
    RegionId id;
    id.Read(reader);
    EXPECT_EQ(id, RegionId(1, 2, 3, 4));
    BinaryReader truncated(expected.data(), 15);
    id.Read(truncated);
    EXPECT_TRUE(id.IsInvalid());
}

TEST(Region, AnInvalidIdIsReplacedByAUniqueOne) {
    test::FakeWorld world;
    EXPECT_FALSE(world.Add("a", ABBox(), IntVec3())->GetId().IsInvalid());
    EXPECT_EQ(world.Add("b", ABBox(), IntVec3(), RegionId(5, 6, 7, 8))->GetId(), RegionId(5, 6, 7, 8));
}

// The map data picture replaces the level's extension; names without one (or shorter than one)
// keep all they have.
TEST(Region, MapDataFilesAreNamedAfterTheRegion) {
    EXPECT_EQ(Region::GetMapDataFileName("Levels/World/Region1.lvl"), "Levels/World/Region1.tga");
    EXPECT_EQ(Region::GetMapDataFileName("Lake"), "Lake.tga");
    EXPECT_EQ(Region::GetMapDataFileName("ab"), "ab.tga");
    EXPECT_EQ(Region::GetMapDataFileName("Levels.v2/Crypt"), "Levels.v2/Crypt.tga");
}

// Outside a world there is no map file: a level or mini-map said to lie in one is not read.
TEST(Region, OutsideAWorldNothingIsReadFromAMapFile) {
    Region region(nullptr, 0, "a", ABBox(), IntVec3(), RegionId());
    region.SetLevelData(8, 4);
    region.SetMinimapData(12, 4);
    test::LogCapture log;
    EXPECT_EQ(region.GuaranteedGetLevel(false), nullptr);
    EXPECT_EQ(region.GetMinimapImage(true), nullptr);
    EXPECT_EQ(log.Count(LogPriority::Info), 0u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Couldn't load a"));
}

TEST(RegionRecord, SaveWritesTheRecordTheWorldFileReads) {
    test::FakeWorld world;
    Region* region = world.Add("Crypt", ABBox(Vec3(1.5f, -2, 3), Vec3(10, 20, 30)), IntVec3(-7, 8, 1 << 20),
                               RegionId(1, 2, 3, 4));
    region->SetZoneRecord("Records/Zones/Crypt.dbr");
    BinaryWriter writer;
    region->Save(writer);

    std::vector<unsigned char> expected;
    PutString(expected, "Crypt");
    for (float f : {1.5f, -2.0f, 3.0f, 10.0f, 20.0f, 30.0f}) PutFloat(expected, f);
    for (int i : {-7, 8, 1 << 20}) PutWord(expected, uint32_t(i));
    for (uint32_t word : {1u, 2u, 3u, 4u}) PutWord(expected, word);
    PutString(expected, "Records/Zones/Crypt.dbr");
    ASSERT_EQ(Bytes(writer), expected);

    BinaryReader reader(expected.data(), uint32_t(expected.size()));
    RegionRecord record;
    ASSERT_TRUE(record.Read(reader, true));
    EXPECT_TRUE(reader.IsAtEnd());
    EXPECT_EQ(record.name, "Crypt");
    EXPECT_EQ(record.box, region->GetBoundingBox());
    EXPECT_EQ(record.offset, region->GetOffsetFromWorld());
    EXPECT_EQ(record.id, region->GetId());
    EXPECT_EQ(record.zoneRecord, "Records/Zones/Crypt.dbr");

    // Older files end the record after the id.
    BinaryReader older(expected.data(), uint32_t(expected.size()));
    RegionRecord withoutZone;
    ASSERT_TRUE(withoutZone.Read(older, false));
    EXPECT_TRUE(withoutZone.zoneRecord.empty());
    EXPECT_EQ(older.GetRemaining(), 4u + 23u);
}

TEST(RegionRecord, TruncatedRecordsFailWithAnError) {
    test::FakeWorld world;
    BinaryWriter writer;
    world.Add("Crypt", ABBox(), IntVec3())->Save(writer);
    const std::vector<unsigned char> bytes = Bytes(writer);
    for (uint32_t size : {0u, 3u, 8u, 30u, uint32_t(bytes.size() - 1)}) {
        test::LogCapture log;
        BinaryReader reader(bytes.data(), size);
        RegionRecord record;
        EXPECT_FALSE(record.Read(reader, true)) << size;
        EXPECT_TRUE(log.Contains(LogPriority::Error, "Region record")) << size;
    }
}

TEST(RegionIcon, RecordsRoundTripAndRefuseBytesPastTheEnd) {
    test::FakeWorld world;
    Region* region = world.Add("Crypt", ABBox(), IntVec3());
    std::vector<unsigned char> record;
    for (uint32_t word : {9u, 64u, 32u, 5u}) PutWord(record, word);
    record.insert(record.end(), {1, 2, 3, 4, 5});
    BinaryReader reader(record.data(), uint32_t(record.size()));
    ASSERT_TRUE(region->LoadRegionIcon(reader));
    const RegionIcon& icon = region->GetIconData();
    EXPECT_EQ(std::tuple(icon.value, icon.width, icon.height), std::tuple(9u, 64u, 32u));
    EXPECT_EQ(region->GetIconData().bytes, (mem::vector<unsigned char>{1, 2, 3, 4, 5}));
    BinaryWriter writer;
    region->SaveRegionIcon(writer);
    EXPECT_EQ(Bytes(writer), record);

    // A count of 0 or below carries no bytes; the next record follows at once.
    std::vector<unsigned char> two;
    for (uint32_t word : {1u, 2u, 3u, 0u, 4u, 5u, 6u, uint32_t(-3)}) PutWord(two, word);
    BinaryReader both(two.data(), uint32_t(two.size()));
    ASSERT_TRUE(region->LoadRegionIcon(both));
    EXPECT_TRUE(region->GetIconData().bytes.empty());
    ASSERT_TRUE(region->LoadRegionIcon(both));
    EXPECT_EQ(region->GetIconData().value, 4u);
    EXPECT_TRUE(region->GetIconData().bytes.empty());
    EXPECT_TRUE(both.IsAtEnd());

    // A count past the end, or a record cut short, fails and leaves no icon.
    test::LogCapture log;
    record[12] = 200;
    BinaryReader tooLong(record.data(), uint32_t(record.size()));
    EXPECT_FALSE(region->LoadRegionIcon(tooLong));
    EXPECT_TRUE(region->GetIconData().bytes.empty());
    EXPECT_EQ(region->GetIconData().value, 0u);
    BinaryReader cut(record.data(), 10);
    EXPECT_FALSE(region->LoadRegionIcon(cut));
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);
}

TEST(Region, OnlyThisRegionsBoxIsGrownToFindConnectedRegions) {
    test::FakeWorld world;
    // Unit boxes; b's offset puts it 1.9 units past a's high x face, c's 2.1 units.
    Region* a = world.Add("a", ABBox(Vec3(0, 0, 0), Vec3(1, 1, 1)), IntVec3(100, 0, 0));
    Region* b = world.Add("b", ABBox(Vec3(-0.1f, 0, 0), Vec3(1, 1, 1)), IntVec3(104, 0, 0));
    Region* c = world.Add("c", ABBox(Vec3(0.1f, 0, 0), Vec3(1, 1, 1)), IntVec3(104, 0, 0));
    const mem::vector<Region*> all = {a, nullptr, b, c};
    a->BuildRegionConnectivity(all);
    EXPECT_EQ(a->GetConnectedRegions(), mem::vector<Region*>{b});
    // Both directions agree; building again replaces the list.
    b->BuildRegionConnectivity(all);
    b->BuildRegionConnectivity(all);
    EXPECT_EQ(b->GetConnectedRegions(), (mem::vector<Region*>{a, c}));
    b->RemoveConnectedRegion(a);
    EXPECT_EQ(b->GetConnectedRegions(), mem::vector<Region*>{c});
}

TEST(RegionConnectivity, WalksCountStepsBeyondTheDirectNeighbours) {
    // A chain a - b - c - d - e of touching boxes along x, and f apart.
    test::FakeWorld world;
    mem::vector<Region*> chain;
    for (int i = 0; i < 5; ++i)
        chain.push_back(world.Add(std::string(1, char('a' + i)), ABBox(Vec3(), Vec3(5, 5, 5)), IntVec3(10 * i, 0, 0)));
    Region* apart = world.Add("f", ABBox(Vec3(), Vec3(5, 5, 5)), IntVec3(0, 0, 100));
    for (Region* region : world.GetRegions()) region->BuildRegionConnectivity(world.GetRegions());
    Region* a = chain[0];

    const std::tuple<Region*, Region*, int, bool> cases[] = {
        {a, a, 0, true},        {a, chain[1], 0, false}, {a, chain[1], 1, true},  {a, chain[2], 1, false},
        {a, chain[2], 2, true}, {a, chain[4], 4, true},  {a, chain[4], 3, false}, {chain[4], a, 8, true},
        {a, apart, 8, false},   {a, nullptr, 8, false},  {nullptr, a, 8, false},  {nullptr, nullptr, 8, false}};
    for (const auto& c : cases)
        EXPECT_EQ(AreRegionsConnected(std::get<0>(c), std::get<1>(c), std::get<2>(c)), std::get<3>(c)) << &c - cases;

    mem::set<Region*> set;
    GetConnectedRegionSet(a, set, 0);
    EXPECT_EQ(set, (mem::set<Region*>{a, chain[1]}));
    set.clear();
    GetConnectedRegionSet(chain[2], set, 1);
    EXPECT_EQ(set, (mem::set<Region*>(chain.begin(), chain.end())));
    set.clear();
    GetConnectedRegionSet(nullptr, set, 3);
    EXPECT_TRUE(set.empty());
}

TEST(Region, PositionsAndShapesMoveBetweenRegionsByTheirOffsets) {
    test::FakeWorld world;
    Region* a = world.Add("a", ABBox(Vec3(), Vec3(50, 50, 50)), IntVec3(1000, 0, -2000));
    Region* b = world.Add("b", ABBox(Vec3(), Vec3(50, 50, 50)), IntVec3(1100, 10, -2000));
    const WorldVec3 inA(a, Vec3(60, 1, 2));
    // World position (1060, 1, -1998): in b's space (-40, -9, 2).
    ExpectNear(b->GetRelativePosition(inA), Vec3(-40, -9, 2));
    ExpectNear(a->GetRelativeTransformation(b).TransformPoint(inA.GetRegionPosition()), Vec3(-40, -9, 2));
    ExpectNear(b->GetRelativeTransformation(a).TransformPoint(Vec3(-40, -9, 2)), Vec3(60, 1, 2));
    const WorldVec3 inB(b, Vec3(0, 0, 0));
    ExpectNear(inA - inB, Vec3(-40, -9, 2));
    ExpectNear(inB - inA, Vec3(40, 9, -2));

    WorldVec3 moved = inA;
    moved.MakeRelative(b);
    EXPECT_EQ(moved.GetRegion(), b);
    ExpectNear(moved.GetRegionPosition(), Vec3(-40, -9, 2));
    moved.MakeRelative(nullptr);
    EXPECT_EQ(moved.GetRegion(), b);

    // A frustum of a carried into b holds the same places.
    const Frustum cube = [] {
        Frustum f;
        f.AddPlane(Plane(Vec3(1, 0, 0), 0));    // x >= 0
        f.AddPlane(Plane(Vec3(-1, 0, 0), 70));  // x <= 70
        return f;
    }();
    Frustum inBSpace;
    WorldFrustum(a, cube).GetRelativeFrustum(b, inBSpace);
    ASSERT_EQ(inBSpace.GetNumPlanes(), 2u);
    EXPECT_NEAR(inBSpace.GetPlane(0).GetDistance(Vec3(-40, 0, 0)), cube.GetPlane(0).GetDistance(Vec3(60, 0, 0)), 1e-4f);
    EXPECT_NEAR(inBSpace.GetPlane(1).GetDistance(Vec3(-40, 0, 0)), cube.GetPlane(1).GetDistance(Vec3(60, 0, 0)), 1e-4f);
    WorldFrustum(nullptr, cube).GetRelativeFrustum(b, inBSpace);
    EXPECT_EQ(inBSpace.GetNumPlanes(), 0u);
}

TEST(Region, EnclosingFrustumFacesInwardInPlaneOrder) {
    test::FakeWorld world;
    Region* region = world.Add("a", ABBox(Vec3(1, 2, 3), Vec3(4, 5, 6)), IntVec3());
    Frustum frustum;
    frustum.AddPlane(Plane(Vec3(0, 1, 0), 0));  // replaced, not kept
    region->GetEnclosingFrustum(frustum);
    ASSERT_EQ(frustum.GetNumPlanes(), 6u);
    const Vec3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    const Vec3 onFace[6] = {{-3, 2, 3}, {5, 2, 3}, {1, -3, 3}, {1, 7, 3}, {1, 2, -3}, {1, 2, 9}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(frustum.GetPlane(i).normal, normals[i]) << i;
        EXPECT_FLOAT_EQ(frustum.GetPlane(i).GetDistance(onFace[i]), 0.0f) << i;
        EXPECT_GT(frustum.GetPlane(i).GetDistance(Vec3(1, 2, 3)), 0.0f) << i;
    }
    // Without an engine's world the frustum finds no regions: a loader of them is done at once.
    RegionLoader none(WorldFrustum(region, frustum), false);
    none.Update(0);
    EXPECT_TRUE(none.GetIsDone());
}

}  // namespace
}  // namespace GAME
