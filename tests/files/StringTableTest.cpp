// String table: indices, the stream form and hostile streams.

#include <gtest/gtest.h>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/StringTable.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

TEST(StringTable, AddsOnceAndNumbersInOrder) {
    StringTable table;
    EXPECT_TRUE(table.Add("records/a.dbr"));
    EXPECT_TRUE(table.Add("records/b.dbr"));
    EXPECT_FALSE(table.Add("records/a.dbr"));
    EXPECT_EQ(table.GetNumStrings(), 2);
    EXPECT_EQ(table.GetIndex("records/b.dbr"), 1);
    EXPECT_EQ(table.GetIndex("records/c.dbr"), -1);
    const char* first = table.GetString(0);
    for (int i = 0; i < 100; ++i) table.Add("filler" + std::to_string(i));
    EXPECT_STREQ(first, "records/a.dbr") << "pointers stay valid as strings are added";
    EXPECT_EQ(table.GetString(-1), nullptr);
    EXPECT_EQ(table.GetString(table.GetNumStrings()), nullptr);
}

TEST(StringTable, RoundTripsThroughItsStreamForm) {
    StringTable table;
    table.Add("one");
    table.Add("");
    table.Add(std::string("with\0zero", 9));
    BinaryWriter w;
    table.Write(w);
    EXPECT_EQ(w.GetPosition(), 4u + 7u + 4u + 13u);

    StringTable back;
    back.Add("stale");
    BinaryReader r(w.GetBuffer(), w.GetPosition());
    ASSERT_TRUE(back.Read(r));
    EXPECT_TRUE(r.IsAtEnd());
    ASSERT_EQ(back.GetNumStrings(), 3);
    EXPECT_EQ(back.GetIndex("stale"), -1) << "Read clears the table first";
    EXPECT_STREQ(back.GetString(0), "one");
    EXPECT_STREQ(back.GetString(1), "");
    EXPECT_EQ(back.GetIndex(std::string("with\0zero", 9)), 2);

    StringTable blank;  // the least bytes a count can claim: empty strings only
    blank.Add("");
    BinaryWriter blankWriter;
    blank.Write(blankWriter);
    BinaryReader blankReader(blankWriter.GetBuffer(), blankWriter.GetPosition());
    EXPECT_TRUE(back.Read(blankReader));
    EXPECT_EQ(back.GetNumStrings(), 1);
}

TEST(StringTable, RefusesHostileStreams) {
    test::LogCapture log;
    StringTable table;

    // A count far beyond what the data could hold is refused before anything is reserved.
    BinaryWriter huge;
    huge.Write(0xFFFFFFFFu);
    huge.Write(std::string("a"));
    BinaryReader hugeReader(huge.GetBuffer(), huge.GetPosition());
    EXPECT_FALSE(table.Read(hugeReader));
    EXPECT_EQ(table.GetNumStrings(), 0);

    // A count one larger than the strings present: the third length runs past the data.
    BinaryWriter shortOne;
    shortOne.Write(3u);
    shortOne.Write(std::string("a"));
    shortOne.Write(std::string("b"));
    shortOne.Write(50u);
    shortOne.Write(0u);
    BinaryReader shortReader(shortOne.GetBuffer(), shortOne.GetPosition());
    EXPECT_FALSE(table.Read(shortReader));
    EXPECT_EQ(table.GetNumStrings(), 0) << "a failed read leaves the table empty";

    // A string whose length runs past the data.
    BinaryWriter truncated;
    truncated.Write(1u);
    truncated.Write(50u);
    truncated.Write("abcd", 4);
    BinaryReader truncatedReader(truncated.GetBuffer(), truncated.GetPosition());
    EXPECT_FALSE(table.Read(truncatedReader));

    // No count at all.
    BinaryReader empty;
    EXPECT_FALSE(table.Read(empty));
    EXPECT_EQ(log.Count(LogPriority::Error), 4u);
}

}  // namespace
}  // namespace GAME
