#pragma once
// Conversions between the byte forms of text in files and the engine's wide text.
//
// Wide text is std::wstring with one wchar_t per code point (wchar_t is 32 bits here, so UTF-16
// surrogate pairs are combined). Narrow text is UTF-8 when it is valid UTF-8 and otherwise the
// Windows-1252 code page, the "ANSI" code page of the game's text files. Malformed input never
// fails: what cannot be decoded becomes U+FFFD.

#include <cstdint>
#include <string>
#include <string_view>

namespace GAME {

inline constexpr wchar_t kReplacementCharacter = 0xFFFD;

// UTF-16 little-endian bytes (without a byte-order mark); an odd last byte is ignored.
std::wstring DecodeUtf16LE(const void* data, uint32_t size);
// Narrow text: UTF-8 when the whole text is valid UTF-8, Windows-1252 otherwise.
std::wstring DecodeNarrow(std::string_view text);
// UTF-8 bytes of wide text.
std::string EncodeUtf8(std::wstring_view text);

}  // namespace GAME
