#include "files/TextParsing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace GAME {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view Unquote(std::string_view token) {
    if (token.empty() || token.front() != '"') return token;
    token.remove_prefix(1);
    if (!token.empty() && token.back() == '"') token.remove_suffix(1);
    return token;
}

bool ParseWholeInt(std::string_view text, int& out) {
    // from_chars takes no '+' of its own; one is dropped here, and a sign after it stays an error.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    out = value;
    return true;
}

bool ParseWholeFloat(std::string_view text, float& out) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return false;
    out = value;
    return true;
}

bool ParseLeadingInt(std::string_view text, int& out) {
    const auto space = [](char c) { return IsBlank(c) || c == '\v' || c == '\f'; };  // as isspace
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    // Accumulated as a magnitude that stops growing just past the int range.
    constexpr int64_t kLimit = int64_t(std::numeric_limits<int>::max()) + 1;
    int64_t magnitude = 0;
    size_t digits = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        magnitude = std::min(magnitude * 10 + (text[digits] - '0'), kLimit);
    }
    if (digits == 0) return false;
    const int64_t value = negative ? -magnitude : magnitude;
    out = int(std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    return true;
}

}  // namespace GAME
