#include "core/UniqueId.h"

#include <gtest/gtest.h>

#include <unordered_set>

#include "core/Mem.h"

namespace GAME {

namespace {
UniqueId Make(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    UniqueId id;
    id.SetPart(0, w0);
    id.SetPart(1, w1);
    id.SetPart(2, w2);
    id.SetPart(3, w3);
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
        EXPECT_FALSE(id.IsNull());
        EXPECT_EQ(id.GetPart(1) >> 28, 4u);         // version nibble
        EXPECT_EQ(id.GetPart(2) & 0xC0u, 0x80u);    // variant bits
        EXPECT_TRUE(seen.insert(id).second);
    }
}

}  // namespace GAME
