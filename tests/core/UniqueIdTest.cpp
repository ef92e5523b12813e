#include "core/UniqueId.h"

#include <gtest/gtest.h>
#include <sys/random.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_set>

#include "core/Mem.h"
#include "core/UniqueIdMap.h"
#include "support/LogCapture.h"

namespace {
bool gFailNextGetRandom = false;
size_t gLastGetRandomSize = 0;
}  // namespace

// Stands in for the C library's getrandom in this program, so a test can make the kernel's
// source fail once.
extern "C" ssize_t getrandom(void* buffer, size_t size, unsigned int flags) {
    gLastGetRandomSize = size;
    if (gFailNextGetRandom) {
        gFailNextGetRandom = false;
        errno = ENOSYS;
        return -1;
    }
    return syscall(SYS_getrandom, buffer, size, flags);
}

namespace GAME {

namespace {
UniqueId Make(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    UniqueId id;
    const uint32_t words[] = {w0, w1, w2, w3};
    for (int i = 0; i < 4; ++i) id.SetPart(i, words[i]);
    return id;
}
}  // namespace

TEST(UniqueId, DefaultIsNullAndPartsAreReachable) {
    UniqueId id;
    EXPECT_TRUE(id.IsNull());
    id.SetPart(2, 7);
    EXPECT_FALSE(id.IsNull());
    EXPECT_EQ(id.GetPart(2), 7u);
    id.SetPart(4, 9);   // ignored
    id.SetPart(-1, 9);  // ignored
    EXPECT_EQ(id, Make(0, 0, 7, 0));
    EXPECT_EQ(id.GetPart(4), 0u);
}

TEST(UniqueId, StreamFormIsWordsThreeToZeroAndNameFormZeroToThree) {
    const UniqueId id = Make(0x10, 0x21, 0x32, 0x43);
    EXPECT_EQ(id.ToStreamWords(), (UniqueId::Words{0x43, 0x32, 0x21, 0x10}));
    EXPECT_EQ(id.ToNameOrderWords(), (UniqueId::Words{0x10, 0x21, 0x32, 0x43}));
    EXPECT_EQ(UniqueId::FromStreamWords({0x43, 0x32, 0x21, 0x10}), id);
    EXPECT_EQ(UniqueId::FromNameOrderWords({0x10, 0x21, 0x32, 0x43}), id);
    EXPECT_EQ(UniqueId::FromStreamWords(id.ToStreamWords()), id);
}

TEST(UniqueId, ComparesAndOrdersAsAWhole) {
    EXPECT_EQ(Make(1, 2, 3, 4), Make(1, 2, 3, 4));
    EXPECT_NE(Make(1, 2, 3, 4), Make(1, 2, 3, 5));
    mem::map<UniqueId, int> ids;
    ids[Make(5, 0, 0, 1)] = 1;
    ids[Make(5, 0, 0, 2)] = 2;
    ids[Make(5, 1, 0, 0)] = 3;
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_LT(Make(5, 0, 0, 1), Make(5, 0, 0, 2));
}

TEST(UniqueId, CreateMakesDistinctVersionFourIds) {
    std::unordered_set<UniqueId> seen;
    for (int i = 0; i < 200; ++i) {
        UniqueId id;
        id.Create();
        EXPECT_EQ(gLastGetRandomSize, 16u) << "all sixteen bytes at once";
        EXPECT_FALSE(id.IsNull());
        EXPECT_EQ(id.GetPart(1) >> 28, 4u);         // version nibble
        EXPECT_EQ(id.GetPart(2) & 0xC0u, 0x80u);    // variant bits
        EXPECT_TRUE(seen.insert(id).second);
    }
}

TEST(UniqueId, CreateFallsBackToTheLibrarySourceWhenTheKernelsFails) {
    test::LogCapture log;
    UniqueId ids[2];
    for (UniqueId& id : ids) {
        gFailNextGetRandom = true;
        id.Create();
        EXPECT_EQ(id.GetPart(1) >> 28, 4u);
        EXPECT_EQ(id.GetPart(2) & 0xC0u, 0x80u);
    }
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_EQ(log.Count(LogPriority::Warning), 2u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "UniqueId: getrandom failed"));
}

TEST(UniqueIdMap, AnIdBelongsToOneEntityAndOnlyItsHolderUnregistersIt) {
    // The map never looks inside an entity: two addresses stand for two entities.
    int storage[2];
    Entity* const a = reinterpret_cast<Entity*>(&storage[0]);
    Entity* const b = reinterpret_cast<Entity*>(&storage[1]);
    UniqueIdMap* map = UniqueIdMap::Get();
    const int before = map->GetNumEntities();
    const UniqueId id = Make(1, 2, 0xAB, 4);
    test::LogCapture log;
    map->Register(UniqueId(), a);
    map->Register(id, nullptr);
    EXPECT_EQ(map->GetNumEntities(), before);
    map->Register(id, a);
    map->Register(id, a);
    EXPECT_EQ(log.Count(LogPriority::Warning), 0u) << "registering again is no take-over";
    map->Register(id, b);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "id 00000001-00000002-000000ab-00000004 is taken over"));
    map->Unregister(id, a);
    EXPECT_EQ(map->GetEntity(id), b);
    EXPECT_EQ(map->GetNumEntities(), before + 1);
    map->Unregister(id, b);
    EXPECT_EQ(map->GetEntity(id), nullptr);
    EXPECT_EQ(map->GetNumEntities(), before);
}

}  // namespace GAME
