// Text decoding: UTF-16 with surrogate pairs and broken ones, narrow text as UTF-8 or
// Windows-1252, and UTF-8 encoding.

#include <gtest/gtest.h>

#include <string>

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
}

TEST(TextEncoding, NarrowTextIsUtf8WhenValidAndWindows1252Otherwise) {
    EXPECT_EQ(DecodeNarrow("plain"), L"plain");
    EXPECT_EQ(DecodeNarrow("\xE2\x82\xAC \xF0\x9D\x84\x9E"), L"\u20AC \U0001D11E");
    EXPECT_EQ(DecodeNarrow("\x80 \xE9"), L"\u20AC \u00E9");
    EXPECT_EQ(DecodeNarrow("\xC0\xAF"), L"\u00C0\u00AF") << "an overlong form is not UTF-8";
    EXPECT_EQ(DecodeNarrow("\xED\xA0\x80"), L"\u00ED\u00A0\u20AC") << "nor is an encoded surrogate";
    EXPECT_EQ(DecodeNarrow("\xE2\x82"), L"\u00E2\u201A") << "nor a cut sequence";
}

TEST(TextEncoding, Utf8EncodingRoundTrips) {
    const std::wstring text = L"a\u00E9\u20AC\U0001D11E";
    EXPECT_EQ(EncodeUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E");
    EXPECT_EQ(DecodeNarrow(EncodeUtf8(text)), text);
    EXPECT_EQ(EncodeUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace GAME
