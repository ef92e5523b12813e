// NameTable: the probe sequence, collisions of first words, a full table and slot-order iteration.

#include "scene/NameTable.h"

#include <gtest/gtest.h>

#include <vector>

namespace GAME {
namespace {

TEST(NameTable, ProbeSequenceFollowsTheFirstWord) {
    // 61500 mod 251 = 5 and 61500 mod 250 = 0: a step of 1 from slot 5.
    const Name key(61500u, 1, 2, 3);
    EXPECT_EQ(GetNameTableSlot(key, 0), 5);
    EXPECT_EQ(GetNameTableSlot(key, 1), 6);
    EXPECT_EQ(GetNameTableSlot(key, 2), 7);
    EXPECT_EQ(GetNameTableSlot(key, 246), 0);

    // Any key visits all 251 slots once.
    const Name other(0xDEADBEEFu, 0, 0, 0);
    std::vector<bool> seen(251, false);
    for (int i = 0; i < 251; ++i) {
        const int slot = GetNameTableSlot(other, i);
        ASSERT_FALSE(seen[slot]) << "probe " << i;
        seen[slot] = true;
    }
}

TEST(NameTable, KeysSharingAFirstWordTakeTheirProbesInTurn) {
    NameTable<int> table;
    const Name a(61500u, 1, 0, 0), b(61500u, 2, 0, 0), c(61500u, 3, 0, 0);
    EXPECT_TRUE(table.Set(a, 10) && table.Set(b, 20) && table.Set(c, 30));
    EXPECT_TRUE(table.Find(a) == 5 && table.Find(b) == 6 && table.Find(c) == 7);
    EXPECT_EQ(*table.Get(b), 20);
    EXPECT_EQ(table.Get(Name(61500u, 4, 0, 0)), nullptr);

    // Writing a key again replaces its value in place.
    EXPECT_TRUE(table.Set(b, 21));
    EXPECT_EQ(table.Find(b), 6);
    EXPECT_EQ(*table.Get(b), 21);
    EXPECT_EQ(table.GetCount(), 3);
    EXPECT_EQ(table.GetLowestUsedSlot(), 5);
}

TEST(NameTable, FullTableRefusesANewKeyAndNoNameIsNeverAKey) {
    NameTable<int> table;
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_EQ(table.GetLowestUsedSlot(), 251);
    EXPECT_FALSE(table.Set(Name::noName, 1));
    EXPECT_EQ(table.Find(Name::noName), -1);

    for (uint32_t i = 0; i < 251; ++i) ASSERT_TRUE(table.Set(Name(i * 7919u, i, 1, 1), int(i)));
    EXPECT_EQ(table.GetCount(), 251);
    EXPECT_FALSE(table.Set(Name(123456u, 0, 0, 9), 1));
    EXPECT_EQ(table.Find(Name(123456u, 0, 0, 9)), -1);
    EXPECT_EQ(*table.Get(Name(250u * 7919u, 250, 1, 1)), 250);

    table.Clear();
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_EQ(table.Find(Name(7919u, 1, 1, 1)), -1);
}

TEST(NameTable, IterationRunsInSlotOrder) {
    NameTable<int> table;
    // First words chosen so that the home slots are 200, 3 and 90.
    table.Set(Name(200u, 0, 0, 1), 1);
    table.Set(Name(3u, 0, 0, 1), 2);
    table.Set(Name(90u, 0, 0, 1), 3);
    EXPECT_EQ(table.GetLowestUsedSlot(), 3);
    std::vector<int> order;
    table.ForEach([&](const Name&, int value) { order.push_back(value); });
    EXPECT_EQ(order, (std::vector<int>{2, 3, 1}));
}

}  // namespace
}  // namespace GAME
