// Text decoding: UTF-16 with surrogate pairs and broken ones, narrow text as UTF-8 or
// Windows-1252, and UTF-8 encoding.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "core/TextEncoding.h"

namespace GAME {
namespace {

TEST(TextEncoding, BrokenUtf16BecomesReplacementCharacters) {
    // A lone high surrogate before a letter, a lone low surrogate, a pair in the wrong order, a
    // high surrogate at the very end, then an odd byte.
    const char bytes[] = "\x00\xD8" "A\x00" "\x00\xDC" "\x00\xDC\x00\xD8" "\x3D\xD8" "\x41";
    const std::wstring text = DecodeUtf16LE(bytes, sizeof(bytes) - 1);
    EXPECT_EQ(text, L"\uFFFDA\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(DecodeUtf16LE(nullptr, 4), L"");
    // A high surrogate whose partner lies past the end stays broken.
    EXPECT_EQ(DecodeUtf16LE("\x3D\xD8\x00\xDC", 2), L"\uFFFD");
}

TEST(TextEncoding, Utf16PairsCoverEveryCodePointPastTheBasicPlane) {
    const char pairs[] =
        "\xFF\xD7\x00\xE0"
        "\x00\xD8\x00\xDC"
        "\x34\xD8\x1E\xDD"
        "\xFF\xDB\xFF\xDF";  // a pair last of all
    EXPECT_EQ(DecodeUtf16LE(pairs, sizeof(pairs) - 1), L"\uD7FF\uE000\U00010000\U0001D11E\U0010FFFF");
}

TEST(TextEncoding, NarrowTextIsUtf8WhenValidAndWindows1252Otherwise) {
    EXPECT_EQ(DecodeNarrow("plain"), L"plain");
    EXPECT_EQ(DecodeNarrow("\xE2\x82\xAC \xF0\x9D\x84\x9E"), L"\u20AC \U0001D11E");
    EXPECT_EQ(DecodeNarrow("\x80 \xE9"), L"\u20AC \u00E9");
    EXPECT_EQ(DecodeNarrow("caf\xE9 \x80\x9F\xA0\xFF"), L"caf\u00E9 \u20AC\u0178\u00A0\u00FF");
    EXPECT_EQ(DecodeNarrow("\x80"), L"\u20AC");
    EXPECT_EQ(DecodeNarrow("\xC0\xAF"), L"\u00C0\u00AF") << "an overlong form is not UTF-8";
    EXPECT_EQ(DecodeNarrow("\xED\xA0\x80"), L"\u00ED\u00A0\u20AC") << "nor is an encoded surrogate";
    EXPECT_EQ(DecodeNarrow(std::string_view("\xE2\x82\xAC", 2)), L"\u00E2\u201A") << "nor a cut sequence";
    EXPECT_EQ(DecodeNarrow("\xE0\x9F\xBF"), L"\u00E0\u0178\u00BF") << "nor 0x7FF in three bytes";
    EXPECT_EQ(DecodeNarrow("\xF0\x8F\xBF\xBF"), L"\u00F0\u008F\u00BF\u00BF") << "nor 0xFFFF in four";
    EXPECT_EQ(DecodeNarrow("\xF4\x90\x80\x80"), L"\u00F4\u0090\u20AC\u20AC") << "nor a value past 0x10FFFF";
    EXPECT_EQ(DecodeNarrow("\xED\xBF\xBF"), L"\u00ED\u00BF\u00BF") << "nor the last low surrogate";
}

TEST(TextEncoding, Utf8EncodingRoundTrips) {
    const std::wstring text = L"a\u00E9\u20AC\U0001D11E";
    EXPECT_EQ(EncodeUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E");
    EXPECT_EQ(DecodeNarrow(EncodeUtf8(text)), text);
    for (const wchar_t broken : {0xD800, 0xDFFF, 0x110000})
        EXPECT_EQ(EncodeUtf8(std::wstring(1, broken)), "\xEF\xBF\xBD") << std::hex << int(broken);
    // The first and last code point of each length, both ways.
    const std::pair<wchar_t, const char*> bounds[] = {{0x7F, "\x7F"},
                                                      {0x80, "\xC2\x80"},
                                                      {0x7FF, "\xDF\xBF"},
                                                      {0x800, "\xE0\xA0\x80"},
                                                      {0xD7FF, "\xED\x9F\xBF"},
                                                      {0xE000, "\xEE\x80\x80"},
                                                      {0xFFFF, "\xEF\xBF\xBF"},
                                                      {0x10000, "\xF0\x90\x80\x80"},
                                                      {0x10FFFF, "\xF4\x8F\xBF\xBF"}};
    for (const auto& [codePoint, bytes] : bounds) {
        EXPECT_EQ(EncodeUtf8(std::wstring(1, codePoint)), bytes) << std::hex << int(codePoint);
        EXPECT_EQ(DecodeNarrow(bytes), std::wstring(1, codePoint)) << std::hex << int(codePoint);
    }
}

}  // namespace
}  // namespace GAME
