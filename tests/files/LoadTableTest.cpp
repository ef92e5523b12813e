// Records: the text form, every getter with its defaults, and the shared table store.

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "files/FileSystem.h"
#include "files/LoadTable.h"
#include "files/TableDepot.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

LoadTable Parse(const std::string& text) {
    LoadTable table("test.dbr");
    table.Parse(text.data(), static_cast<uint32_t>(text.size()));
    return table;
}

const char* const kValues =
    "templateName,Templates/Light.tpl,\r\n"
    "i,42,\n"
    "neg, -7 ,\n"
    "f,-1.5e2,\n"
    "trunc,2.9,\n"
    "b1,1,\n"
    "b0,0,\n"
    "btext,TRUE,\n"
    "bfalse,fAlSe,\n"
    "empty,,\n"
    "nan,f,\n"
    "notfinite,inf,\n"
    "huge,1e20,\n"
    "arr,0.1;0.2;x;0.4,\n"
    "iarr,1; 2 ;three;4.5;+3.5;2147483647.9;-2147483648.9;1e10,\n"
    "holes,a;;c;,\n"
    "nocomma at all\n"
    "\n"
    "dup,first,\n"
    "dup,second,ignored,extra\n"
    "last,no trailing comma";

TEST(LoadTable, ReadsScalarsWithDefaults) {
    test::LogCapture log;
    const LoadTable t = Parse(kValues);
    EXPECT_STREQ(t.GetValue("templateName", ""), "Templates/Light.tpl");
    EXPECT_STREQ(t.GetValue("missing", "def"), "def");
    EXPECT_STREQ(t.GetValue("empty", "def"), "def") << "an empty value gives the default";
    EXPECT_STREQ(t.GetValue("dup", ""), "second") << "the last of two equal keys wins";
    EXPECT_STREQ(t.GetValue("last", ""), "no trailing comma");
    EXPECT_STREQ(t.GetValue("I", "case"), "case") << "keys are case-sensitive";

    EXPECT_EQ(t.GetInt("i", 0), 42);
    EXPECT_EQ(t.GetInt("neg", 0), -7);
    EXPECT_EQ(t.GetInt("trunc", 0), 2);
    EXPECT_EQ(t.GetInt("f", 0), -150);
    EXPECT_EQ(t.GetInt("nan", 5), 5);
    EXPECT_EQ(t.GetInt("empty", 5), 5);
    EXPECT_EQ(t.GetInt("huge", 5), 5) << "out of an int's range";
    EXPECT_EQ(t.GetInt("missing", -1), -1);

    EXPECT_FLOAT_EQ(t.GetFloat("f", 0), -150.0f);
    EXPECT_FLOAT_EQ(t.GetFloat("i", 0), 42.0f);
    EXPECT_FLOAT_EQ(t.GetFloat("nan", 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(t.GetFloat("notfinite", 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(t.GetFloat("empty", 0.5f), 0.5f);

    // A bool reads as an integer, true when not 0 (negative too), or as the words; else the default.
    for (const auto& [key, fallback, expected] :
         {std::tuple{"b1", false, true}, {"b0", true, false}, {"btext", false, true}, {"bfalse", true, false},
          {"i", false, true}, {"neg", false, true}, {"f", false, true}, {"nan", true, true}, {"nan", false, false},
          {"missing", false, false}})
        EXPECT_EQ(t.GetBool(key, fallback), expected) << key << " " << fallback;

    EXPECT_TRUE(log.Contains(LogPriority::Warning, "line 17 has no comma"));
    // Without an engine no resource is loaded.
    EXPECT_EQ(t.LoadMesh("templateName", 0), nullptr);
    EXPECT_EQ(t.LoadShader2("templateName", 0), nullptr);
    EXPECT_EQ(t.LoadTexture("templateName", 0), nullptr);
}

TEST(LoadTable, ReadsArrays) {
    const LoadTable t = Parse(kValues);
    EXPECT_EQ(t.GetNumElementsForField("arr"), 4);
    EXPECT_EQ(t.GetNumElementsForField("i"), 1);
    EXPECT_EQ(t.GetNumElementsForField("empty"), 0);
    EXPECT_EQ(t.GetNumElementsForField("missing"), 0);
    EXPECT_EQ(t.GetNumElementsForField("holes"), 4) << "empty items count, the last one too";

    EXPECT_STREQ(t.GetArrayValue("arr", 2, "d"), "x");
    EXPECT_STREQ(t.GetArrayValue("arr", 4, "d"), "d");
    EXPECT_STREQ(t.GetArrayValue("arr", -1, "d"), "d");
    EXPECT_STREQ(t.GetArrayValue("holes", 1, "d"), "d");
    EXPECT_STREQ(t.GetValue("arr", ""), "0.1") << "scalar getters read the first item";
    EXPECT_FLOAT_EQ(t.GetArrayReal("arr", 3, 0), 0.4f);
    EXPECT_FLOAT_EQ(t.GetArrayReal("arr", 2, 9), 9.0f);

    mem::vector<float> reals = {7.0f};
    t.GetArrayReal("arr", reals);
    EXPECT_EQ(reals, (mem::vector<float>{0.1f, 0.2f, 0.4f})) << "items that do not parse are skipped";
    mem::vector<int> ints = {7};
    t.GetArrayInt("iarr", ints);
    EXPECT_EQ(ints, (mem::vector<int>{1, 2, 4, 3, INT_MAX, INT_MIN})) << "numbers cut toward 0 that an int holds";
    t.GetArrayInt("missing", ints);
    EXPECT_TRUE(ints.empty()) << "emptied first";
}

TEST(LoadTable, TextWithoutFieldsIsRejected) {
    test::LogCapture log;
    LoadTable table;
    EXPECT_FALSE(table.Parse("", 0));
    EXPECT_FALSE(table.Parse(nullptr, 100));
    const char* garbage = "no commas\nanywhere\n,\n";
    EXPECT_FALSE(table.Parse(garbage, static_cast<uint32_t>(std::strlen(garbage))));
    EXPECT_EQ(table.GetNumFields(), 0);
    const char zeros[4] = {'a', ',', '\0', ','};
    EXPECT_TRUE(table.Parse(zeros, 4));
    EXPECT_STREQ(table.GetValue("a", "d"), "");
}

class TableDepotTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.WriteFile("Records/Test/Values.dbr", kValues);
        dir.WriteFile("Records/Test/Empty.dbr", "");
        dir.WriteFile("Records/Test/Garbage.dbr", "no comma here\n");
        ASSERT_TRUE(files.AddDirectory(dir.GetPath()));
    }

    test::TempDirectory dir;
    FileSystem files;
    TableDepot depot{files};
};

TEST_F(TableDepotTest, LoadsOnceByNormalName) {
    const auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openFiles();
    const LoadTable* table = depot.LoadTableFile("Records\\Test\\VALUES.dbr");
    EXPECT_EQ(openFiles(), before) << "the record's file is closed";
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetRecordName(), "records/test/values.dbr");
    EXPECT_EQ(table->GetInt("i", 0), 42);
    EXPECT_EQ(depot.LoadTableFile("records/test/values.dbr"), table);
    EXPECT_EQ(&depot.GetLoadTable("RECORDS/test/values.DBR"), table);
}

TEST_F(TableDepotTest, MissingOrEmptyRecordsGiveNullOrAnEmptyTable) {
    test::LogCapture log;
    EXPECT_EQ(depot.LoadTableFile("records/test/absent.dbr"), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "records/test/absent.dbr does not exist"));
    EXPECT_EQ(depot.LoadTableFile("records/test/empty.dbr"), nullptr);
    EXPECT_EQ(depot.LoadTableFile("records/test/garbage.dbr"), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "records/test/empty.dbr could not be read"));

    const LoadTable& empty = depot.GetLoadTable("records/test/absent.dbr");
    EXPECT_EQ(empty.GetNumFields(), 0);
    EXPECT_EQ(empty.GetInt("i", 3), 3);
    EXPECT_EQ(&depot.GetLoadTable("records/test/empty.dbr"), &empty);

    // A miss is not remembered.
    dir.WriteFile("Records/Test/Absent.dbr", "i,1,\n");
    FileSystem later;
    ASSERT_TRUE(later.AddDirectory(dir.GetPath()));
    TableDepot laterDepot(later);
    EXPECT_EQ(laterDepot.GetLoadTable("records/test/absent.dbr").GetInt("i", 0), 1);
}

TEST_F(TableDepotTest, ThreadsLoadingOneRecordShareOneTable) {
    for (int i = 0; i < 8; ++i) dir.WriteFile("Records/Many/R" + std::to_string(i) + ".dbr", "n," + std::to_string(i) + ",\n");
    FileSystem many;
    ASSERT_TRUE(many.AddDirectory(dir.GetPath()));
    TableDepot shared(many);

    std::vector<std::vector<const LoadTable*>> seen(4);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 8; ++i) {
                const LoadTable* table = shared.LoadTableFile("records/many/r" + std::to_string(i) + ".dbr");
                if (!table || table->GetInt("n", -1) != i) ++wrong;
                seen[t].push_back(table);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    for (int t = 1; t < 4; ++t) EXPECT_EQ(seen[t], seen[0]);
}

}  // namespace
}  // namespace GAME
