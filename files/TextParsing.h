#pragma once
// Small readers shared by the engine's text formats (records, settings files, localization
// text): blank trimming, line splitting, and numbers read from a whole text without the locale.

#include <cstddef>
#include <string_view>

namespace GAME {

// The text without leading and trailing blanks (space, tab, carriage return, line feed).
std::string_view TrimBlanks(std::string_view text);

// The line that begins at start, without its '\n', and start moved past it. Callers loop while
// start < text.size().
template <class Char>
std::basic_string_view<Char> NextLine(std::basic_string_view<Char> text, size_t& start) {
    size_t end = text.find(Char('\n'), start);
    if (end == std::basic_string_view<Char>::npos) end = text.size();
    const std::basic_string_view<Char> line = text.substr(start, end - start);
    start = end + 1;
    return line;
}

// The text between the quotes of a double-quoted token (an unterminated one runs to its end); any
// other token as it is.
std::string_view Unquote(std::string_view token);

// True when the whole text is a decimal integer (a leading '+' allowed) that fits an int.
bool ParseWholeInt(std::string_view text, int& out);
// True when the whole text is a finite decimal number (a leading '+' allowed).
bool ParseWholeFloat(std::string_view text, float& out);
// The integer at the start of the text, read as the C library's integer conversion reads it:
// leading blanks, an optional sign, decimal digits, and the rest ignored ("12.0" and "12abc" are
// 12, "1e1" is 1); a value beyond an int is clamped to its range. False, with out unchanged, when
// no digit follows the blanks and the sign.
bool ParseLeadingInt(std::string_view text, int& out);

}  // namespace GAME
