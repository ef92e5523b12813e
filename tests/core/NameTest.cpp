#include "core/Name.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <unordered_set>
#include <vector>

#include "core/Mem.h"

namespace GAME {

namespace {
void ExpectWords(const Name& name, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    EXPECT_EQ(std::tuple(name.GetWord(0), name.GetWord(1), name.GetWord(2), name.GetWord(3)),
              std::tuple(w0, w1, w2, w3));
}
}  // namespace

// Word i is digest bytes 4i..4i+3 read little-endian: MD5("") = d41d8cd9 8f00b204 ...
TEST(Name, Md5KnownVectorsInLittleEndianWordOrder) {
    ExpectWords(Name::Create(""), 0xD98C1DD4u, 0x04B2008Fu, 0x980980E9u, 0x7E42F8ECu);
    ExpectWords(Name::Create("abc"), 0x98500190u, 0xB04FD23Cu, 0x7D3F96D6u, 0x727FE128u);
    ExpectWords(Name::Create("The quick brown fox jumps over the lazy dog"), 0x9D7D109Eu, 0x82B62B37u,
                0x351DD86Bu, 0xD619A442u);
}

TEST(Name, NoNameIsAllZeroAndNullTextGivesIt) {
    ExpectWords(Name::noName, 0, 0, 0, 0);
    EXPECT_EQ(Name(), Name::noName);
    EXPECT_EQ(Name::Create(nullptr), Name::noName);
    EXPECT_NE(Name::Create(""), Name::noName);
}

TEST(Name, WordConstructorRoundTripsAndOutOfRangeWordsAreZero) {
    const Name name(1, 2, 3, 4);
    ExpectWords(name, 1, 2, 3, 4);
    EXPECT_EQ(name.GetWord(-1), 0u);
    EXPECT_EQ(name.GetWord(4), 0u);
    EXPECT_EQ(Name(name.GetWord(0), name.GetWord(1), name.GetWord(2), name.GetWord(3)), name);
}

TEST(Name, EqualityComparesAllFourWords) {
    EXPECT_EQ(Name(1, 2, 3, 4), Name(1, 2, 3, 4));
    EXPECT_NE(Name(1, 2, 3, 4), Name(1, 2, 3, 5));
    EXPECT_NE(Name(1, 2, 3, 4), Name(1, 9, 3, 4));
    EXPECT_EQ(Name::Create("ChokePoint"), Name::Create("ChokePoint"));
    EXPECT_NE(Name::Create("ChokePoint"), Name::Create("chokepoint"));
}

// Names that share their first word must stay distinct keys in an ordered map.
TEST(Name, OrderingUsesAllWordsSoMapsKeepNamesWithEqualFirstWords) {
    mem::map<Name, int> byName;
    byName[Name(7, 1, 0, 0)] = 1;
    byName[Name(7, 0, 5, 0)] = 2;
    byName[Name(7, 0, 0, 9)] = 3;
    byName[Name(7, 0, 0, 0)] = 4;
    ASSERT_EQ(byName.size(), 4u);
    std::vector<int> order;
    for (const auto& entry : byName) order.push_back(entry.second);
    EXPECT_EQ(order, (std::vector<int>{4, 3, 2, 1}));
    EXPECT_LT(Name(1, 9, 9, 9), Name(2, 0, 0, 0));
    EXPECT_FALSE(Name(3, 3, 3, 3) < Name(3, 3, 3, 3));
}

TEST(Name, HashesForUnorderedContainers) {
    std::unordered_set<Name> names;
    names.insert(Name::Create("a"));
    names.insert(Name::Create("b"));
    names.insert(Name::Create("a"));
    EXPECT_EQ(names.size(), 2u);
}

// Each thread reuses its own digest context; names made in parallel must not interfere.
TEST(Name, CreateFromManyThreadsAgrees) {
    const Name expected = Name::Create("Resource Loader Thread");
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i)
                if (Name::Create("Resource Loader Thread") != expected) ++mismatches;
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace GAME
