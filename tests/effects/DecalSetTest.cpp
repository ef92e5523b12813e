// Decal types and decal sets at their limits: types are shared by count up to 64; a set keeps its
// last 512 decals in a ring that fades its oldest, groups them in buckets by type, gives a type
// back when its last decal is overwritten (keeping it when the overwriting decal is of the same
// type) and refuses a 33rd type while 32 are present.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "core/Coords.h"
#include "core/Singleton.h"
#include "effects/DecalSet.h"
#include "effects/DecalType.h"
#include "effects/DecalTypeMgr.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

using test::LogCapture;
using test::TempDirectory;

std::string TypeRecord(int i) { return "Records/Decals/Type" + std::to_string(i) + ".dbr"; }

class DecalSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        files.AddDirectory(dir.GetPath(), true);
        for (int i = 0; i < 65; ++i) Write(TypeRecord(i), "Class,DecalType,\nwidth,2,\nheight,4,\n");
        Write("Records/Decals/NotAType.dbr", "Class,Entity,\n");
        Singleton<ObjectManager>::Get()->SetTableDepot(&records);
    }
    void TearDown() override {
        DecalTypeMgr::Destroy();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
    }
    void Write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(files.SaveFile(name, text.data(), uint32_t(text.size())));
    }
    static const DecalType* Load(int i) { return DecalTypeMgr::Get().LoadDecalType(TypeRecord(i)); }
    static uint32_t Alpha(const DecalSet& set, uint32_t record) { return set.GetDecal(record).color >> 24; }
    static void Place(DecalSet& set, const DecalType* type, int count) {
        for (int i = 0; i < count; ++i) ASSERT_TRUE(set.AddDecal(type, Coords::Translation(Vec3(float(i), 0, 0)), 0));
    }

    LogCapture log;
    TempDirectory dir;
    FileSystem files;
    TableDepot records{files};
};

TEST_F(DecalSetTest, TypesAreSharedByCountUpToTheirLimit) {
    DecalTypeMgr& types = DecalTypeMgr::Get();
    const DecalType* first = Load(0);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->GetWidth() == 2.0f && first->GetHeight() == 4.0f);
    // The same record, whatever the case and slashes: one type, two references.
    EXPECT_TRUE(types.LoadDecalType("records\\decals\\TYPE0.dbr") == first && types.GetRefCount(first) == 2u);
    EXPECT_TRUE(types.LoadDecalType("") == nullptr && types.LoadDecalType("Records/Decals/NotAType.dbr") == nullptr);
    EXPECT_EQ(log.Count(LogPriority::Error), 1u);
    types.UnloadDecalType(first);
    EXPECT_EQ(types.GetRefCount(first), 1u);

    for (int i = 1; i < 64; ++i) ASSERT_NE(Load(i), nullptr) << i;
    EXPECT_TRUE(types.GetNumTypes() == 64u && Load(64) == nullptr);
    // The last reference destroys the type; the last entry fills its place and the 65th fits.
    const DecalType* last = Load(63);
    types.UnloadDecalType(first);
    EXPECT_TRUE(types.GetRefCount(first) == 0u && Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1) == 1);
    EXPECT_TRUE(types.GetNumTypes() == 63u && types.GetRefCount(last) == 2u);
    EXPECT_TRUE(Load(64) != nullptr && !types.ReferenceDecalType(first));
    types.UnloadDecalType(nullptr);
}

TEST_F(DecalSetTest, TheRingFadesItsOldestAndBucketsDecalsByType) {
    const DecalType* a = Load(0);
    const DecalType* b = Load(1);
    DecalSet set(nullptr);
    EXPECT_FALSE(set.AddDecal(nullptr, Coords::Identity, 0));
    // Interleaved types: each bucket holds its own decals, oldest first.
    for (int i = 0; i < 150; ++i) {
        ASSERT_TRUE(set.AddDecal(a, Coords::Translation(Vec3(float(i), 0, 0)), 0));
        ASSERT_TRUE(set.AddDecal(b, Coords::Translation(Vec3(float(i), 1, 0)), 0));
    }
    set.Update(16);
    EXPECT_TRUE(set.GetNumDecals() == 300u && set.GetNumTypeSlotsUsed() == 2u && set.GetTypeSlot(0).type == a);
    EXPECT_TRUE(set.GetTypeSlot(1).bucketStart == 150u && set.GetTypeSlot(1).bucketFill == 150u);
    // 300 of 512: the first record is 212 from being overwritten, the rest rise by one to 255.
    for (uint32_t j = 0; j < 300; ++j) EXPECT_EQ(Alpha(set, j), std::min(212u + j, 255u)) << j;

    Place(set, a, 213);
    set.Update(16);
    EXPECT_EQ(set.GetHead(), 1u);
    // Full and wrapped: the next to be overwritten is clear, the newest (record 0) opaque.
    for (const auto& [j, alpha] : {std::pair{1u, 0u}, {255u, 254u}, {0u, 255u}}) EXPECT_EQ(Alpha(set, j), alpha) << j;
    EXPECT_TRUE(set.GetTypeSlot(0).count == 362u && set.GetTypeSlot(1).count == 150u);

    // The quad spans the type's size along the placement axes; the flags pick the variant.
    DecalSet::Vertex quad[4];
    DecalSet::PlacedDecal decal = set.GetDecal(1);
    DecalSet::MakeQuad(decal, 2.0f, 4.0f, quad);
    EXPECT_TRUE(quad[0].position == decal.origin - Vec3(1, 0, 2) && quad[2].position == decal.origin + Vec3(1, 0, 2) &&
                quad[1].u == 1.0f);
    for (const auto& [flags, u0, u1] : {std::tuple{DecalSet::kFlagTwoVariants, 0.0f, 0.5f},
                                        {DecalSet::kFlagTwoVariants | DecalSet::kFlagRightVariant, 0.5f, 1.0f},
                                        {DecalSet::kFlagRightVariant, 0.5f, 1.5f}}) {
        decal.flags = flags;
        DecalSet::MakeQuad(decal, 2.0f, 4.0f, quad);
        EXPECT_TRUE(quad[0].u == u0 && quad[1].u == u1) << flags;
    }
}

TEST_F(DecalSetTest, OverwrittenTypesLeaveAndSlotsAreReused) {
    DecalTypeMgr& types = DecalTypeMgr::Get();
    const DecalType* a = Load(0);
    const DecalType* b = Load(1);
    const DecalType* c = Load(2);
    DecalSet set(nullptr);
    // One decal of a, then b to the end of the ring; the host lets go of a.
    Place(set, a, 1);
    Place(set, b, 511);
    types.UnloadDecalType(a);
    EXPECT_EQ(types.GetRefCount(a), 1u);

    // a again over a's last decal: the set keeps the type instead of dropping it first.
    ASSERT_TRUE(set.AddDecal(a, Coords::Identity, 0));
    EXPECT_EQ(types.GetRefCount(a), 1u);
    EXPECT_TRUE(set.GetTypeSlot(0).type == a && set.GetTypeSlot(0).count == 1u);

    // b over b leaves a's slot alone; then c over the last a frees slot 0 (a is destroyed) and
    // takes it although it is below the high-water mark.
    Place(set, b, 511);
    ASSERT_TRUE(set.AddDecal(c, Coords::Identity, 0));
    EXPECT_TRUE(types.GetRefCount(a) == 0u && set.GetTypeSlot(0).type == c);
    EXPECT_TRUE(set.GetNumTypeSlotsUsed() == 2u && types.GetRefCount(c) == 2u);

    // 32 types fill the slots; the 33rd is refused and the ring stays as it was.
    auto full = std::make_unique<DecalSet>(nullptr);
    for (int i = 0; i < 32; ++i) {
        const DecalType* type = Load(10 + i);
        ASSERT_TRUE(full->AddDecal(type, Coords::Identity, 0xFFFFFFFFu) && full->GetNumTypeSlotsUsed() == i + 1u);
        types.UnloadDecalType(type);
    }
    EXPECT_EQ(full->GetDecal(0).flags, 0xFFFF0001u);
    const DecalType* extra = Load(50);
    EXPECT_FALSE(full->AddDecal(extra, Coords::Identity, 0));
    EXPECT_TRUE(full->GetNumDecals() == 32u && full->GetHead() == 32u && full->GetNumTypeSlotsUsed() == 32u);
    EXPECT_EQ(types.GetRefCount(extra), 1u);
    // The set gives its types back when it goes.
    const uint32_t loaded = types.GetNumTypes();
    full.reset();
    EXPECT_EQ(types.GetNumTypes(), loaded - 32);
}

}  // namespace
}  // namespace GAME
