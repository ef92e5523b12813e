// The shared text readers: trimming, quotes, whole numbers and leading integers, at the edges of
// every character class and of the int range.

#include "files/TextParsing.h"

#include <gtest/gtest.h>

#include <climits>

namespace GAME {
namespace {

TEST(TextParsing, TrimsBlanksAndUnquotes) {
    EXPECT_EQ(TrimBlanks(" \t\r\n a b \n\r\t "), "a b");
    EXPECT_EQ(TrimBlanks("\v a\f"), "\v a\f") << "only space, tab, CR and LF are blanks";
    EXPECT_EQ(Unquote("\"a b\""), "a b");
    EXPECT_EQ(Unquote("\"open"), "open");
    EXPECT_EQ(Unquote("\""), "");
    EXPECT_EQ(Unquote("plain\""), "plain\"");
}

TEST(TextParsing, NumbersReadFromTheWholeText) {
    const struct {
        const char* text;
        bool whole;  // ParseWholeInt's answer; out keeps 99 when false
        int value;
    } ints[] = {{"42", true, 42},         {"+7", true, 7},   {"-7", true, -7}, {"+-7", false, 99},
                {"+", false, 99},         {"4x", false, 99}, {"", false, 99},  {"2147483647", true, INT_MAX},
                {"2147483648", false, 99}};
    for (const auto& c : ints) {
        int out = 99;
        EXPECT_EQ(ParseWholeInt(c.text, out), c.whole) << c.text;
        EXPECT_EQ(out, c.value) << c.text;
    }
    float real = 9.0f;
    EXPECT_TRUE(ParseWholeFloat("+2.5", real));
    EXPECT_EQ(real, 2.5f);
    EXPECT_TRUE(ParseWholeFloat("-1e3", real));
    EXPECT_EQ(real, -1000.0f);
    for (const char* bad : {"+-1", "1.5x", "inf", "nan", "1e40", ""}) EXPECT_FALSE(ParseWholeFloat(bad, real)) << bad;
    EXPECT_EQ(real, -1000.0f);
}

TEST(TextParsing, LeadingIntegersAsTheCLibraryReadsThem) {
    const struct {
        const char* text;
        bool found;
        int value;  // out keeps 99 when nothing is found
    } cases[] = {{" \t\v\f\r\n 12.5", true, 12},
                 {"-3abc", true, -3},
                 {"+5", true, 5},
                 {"0/", true, 0},
                 {"9:", true, 9},
                 {"/1", false, 99},
                 {":1", false, 99},
                 {"-", false, 99},
                 {"x1", false, 99},
                 {"2147483648", true, INT_MAX},
                 {"-2147483648", true, INT_MIN},
                 {"-99999999999", true, INT_MIN},
                 {"99999999999", true, INT_MAX},
                 {"1234567890", true, 1234567890}};
    for (const auto& c : cases) {
        int out = 99;
        EXPECT_EQ(ParseLeadingInt(c.text, out), c.found) << c.text;
        EXPECT_EQ(out, c.value) << c.text;
    }
}

}  // namespace
}  // namespace GAME
