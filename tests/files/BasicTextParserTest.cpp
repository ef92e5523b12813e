// Text tokens: words, punctuation, quotes, comments and delimited groups, including text that
// ends in the middle of a token.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/BasicTextParser.h"

namespace GAME {
namespace {

std::vector<std::string> Tokens(const char* text, bool stripQuotes) {
    BasicTextParser<char> parser(text, static_cast<uint32_t>(std::strlen(text)), stripQuotes);
    std::vector<std::string> tokens;
    for (std::string token = parser.ReadToken(); !token.empty(); token = parser.ReadToken()) tokens.push_back(token);
    return tokens;
}

TEST(BasicTextParser, SplitsWordsPunctuationQuotesAndComments) {
    const char* text =
        "Area // a skin area\n"
        "{\n"
        "  name = \"Main Button\"\n"
        "  scale=-1.5e2;//trailing\r\n"
        "}";
    const std::vector<std::string> stripped = {"Area", "{", "name", "=", "Main Button", "scale", "=", "-1.5e2", ";", "}"};
    EXPECT_EQ(Tokens(text, true), stripped);
    EXPECT_EQ(Tokens(text, false)[4], "\"Main Button\"");
    EXPECT_TRUE(Tokens("  // only a comment", true).empty());
    EXPECT_EQ(Tokens("a/b //c", true), (std::vector<std::string>{"a/b"}));
}

TEST(BasicTextParser, DelimitedTokensKeepOrStripDelimiters) {
    const char* text = " region ( 1 , 2 , 3 , 4 ) \"bitmap.tex\" <x>";
    BasicTextParser<char> parser(text, static_cast<uint32_t>(std::strlen(text)));
    EXPECT_EQ(parser.ReadToken(), "region");
    EXPECT_EQ(parser.ReadDelimitedToken('(', ')', false), "( 1 , 2 , 3 , 4 )");
    EXPECT_EQ(parser.ReadDelimitedToken('"', '"', true), "bitmap.tex");
    EXPECT_EQ(parser.ReadDelimitedToken(0, '>', true), "x") << "open 0 takes whatever character comes first";
    EXPECT_TRUE(parser.IsAtEnd());
    EXPECT_EQ(parser.GetPosition(), parser.GetLength());
}

TEST(BasicTextParser, UnterminatedTokensEndAtTheEndOfTheText) {
    const char* quote = "name \"never closed";
    BasicTextParser<char> quoted(quote, static_cast<uint32_t>(std::strlen(quote)));
    EXPECT_EQ(quoted.ReadToken(), "name");
    EXPECT_EQ(quoted.ReadToken(), "never closed");
    EXPECT_EQ(quoted.ReadToken(), "");

    const char* group = "( 1 , 2";
    BasicTextParser<char> grouped(group, static_cast<uint32_t>(std::strlen(group)));
    EXPECT_EQ(grouped.ReadDelimitedToken('(', ')', false), "( 1 , 2");
    EXPECT_EQ(grouped.ReadDelimitedToken('(', ')', false), "");

    BasicTextParser<char> missingOpen("abc", 3);
    EXPECT_EQ(missingOpen.ReadDelimitedToken('(', ')', true), "");
    EXPECT_TRUE(missingOpen.IsAtEnd());

    // The parser reads only its length, not up to a terminator.
    BasicTextParser<char> counted("word tail", 4);
    EXPECT_EQ(counted.ReadToken(), "word");
    EXPECT_EQ(counted.ReadToken(), "");
    BasicTextParser<char> slash("a//", 2);
    EXPECT_EQ(slash.ReadToken(), "a/") << "a comment needs both slashes inside the text";
    BasicTextParser<char> comment("x //cyz\n", 5);
    EXPECT_EQ(comment.ReadToken(), "x");
    EXPECT_TRUE(comment.IsAtEnd());
    EXPECT_EQ(comment.GetPosition(), 5u) << "a comment ends with the text";
    BasicTextParser<char> empty(nullptr, 10);
    EXPECT_EQ(empty.ReadToken(), "");
}

}  // namespace
}  // namespace GAME
