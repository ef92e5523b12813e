// ImpassableData: the chunk 3 block round trip, out-of-range reads and hostile blocks.

#include <gtest/gtest.h>

#include <vector>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "pathing/ImpassableData.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

std::vector<unsigned char> SavedBlock() {
    ImpassableData data;
    data.Prime(3, 2);
    data.SetImpassable(1, 0, true);
    data.SetImpassable(2, 1, true);
    data.SetImpassable(7, 7, true);  // outside: ignored
    BinaryWriter writer;
    data.Save(writer);
    return std::vector<unsigned char>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

TEST(ImpassableData, RoundTripConsumesExactlyTheBlock) {
    std::vector<unsigned char> bytes = SavedBlock();
    ASSERT_EQ(bytes.size(), 8u + 6u);
    bytes.push_back(0xEE);  // the next chunk's bytes must stay unread

    BinaryReader reader(bytes.data(), static_cast<uint32_t>(bytes.size()));
    ImpassableData data;
    ASSERT_TRUE(data.Load(reader));
    EXPECT_EQ(reader.GetPosition(), 14u);
    EXPECT_TRUE(data.HasBeenLoadedOrPrimed());
    EXPECT_EQ(std::make_pair(data.GetCellsX(), data.GetCellsY()), std::make_pair(3u, 2u));
    const uint8_t expected[2][3] = {{0, 1, 0}, {0, 0, 1}};
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x) EXPECT_EQ(data.GetImpassable(x, y), expected[y][x]) << x << "," << y;
}

TEST(ImpassableData, OutsideTheGridAndBeforeLoadingIsImpassable) {
    ImpassableData data;
    EXPECT_FALSE(data.HasBeenLoadedOrPrimed());
    EXPECT_EQ(data.GetImpassable(0, 0), 1);
    data.Prime(2, 2);
    EXPECT_EQ(std::vector({data.GetImpassable(1, 1), data.GetImpassable(2, 0), data.GetImpassable(0, 2),
                           data.GetImpassable(0xffffffffu, 0)}), std::vector<uint8_t>({0, 1, 1, 1}));
}

TEST(ImpassableData, EveryTruncationFailsAndLogs) {
    const std::vector<unsigned char> bytes = SavedBlock();
    for (size_t size = 0; size < bytes.size(); ++size) {
        test::LogCapture log;
        BinaryReader reader(bytes.data(), static_cast<uint32_t>(size));
        ImpassableData data;
        EXPECT_FALSE(data.Load(reader)) << size;
        EXPECT_FALSE(data.HasBeenLoadedOrPrimed());
        EXPECT_EQ(log.Count(LogPriority::Error), 1u) << size;
    }
}

TEST(ImpassableData, RefusesHostileBlocks) {
    const auto load = [](const std::vector<unsigned char>& bytes) {
        BinaryReader reader(bytes.data(), static_cast<uint32_t>(bytes.size()));
        ImpassableData data;
        const bool loaded = data.Load(reader);
        EXPECT_EQ(loaded, data.HasBeenLoadedOrPrimed());
        return loaded;
    };
    test::LogCapture log;
    // A grid whose byte count overflows 32 bits, with only a few bytes behind it.
    EXPECT_FALSE(load({0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0}));
    // 2 x 1 cells, one of them neither 0 nor 1; a single cell likewise.
    EXPECT_FALSE(load({2, 0, 0, 0, 1, 0, 0, 0, 0, 2}));
    EXPECT_FALSE(load({1, 0, 0, 0, 1, 0, 0, 0, 2}));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "not 0 or 1"));
    // An empty grid is a valid block.
    EXPECT_TRUE(load({0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ImpassableData, AFailedLoadForgetsEarlierData) {
    ImpassableData data;
    data.Prime(4, 4);
    test::LogCapture log;
    BinaryReader empty;
    EXPECT_FALSE(data.Load(empty));
    EXPECT_FALSE(data.HasBeenLoadedOrPrimed());
    EXPECT_EQ(data.GetImpassable(0, 0), 1);
    EXPECT_EQ(data.GetCellsX() + data.GetCellsY(), 0u);
    // Saved now, it is an empty grid.
    BinaryWriter writer;
    data.Save(writer);
    EXPECT_EQ(std::vector<unsigned char>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()),
              std::vector<unsigned char>(8, 0));
}

}  // namespace
}  // namespace GAME
