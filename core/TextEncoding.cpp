#include "core/TextEncoding.h"

namespace GAME {

namespace {

// Windows-1252 bytes 0x80-0x9F; the five bytes the code page leaves undefined map to the C1
// controls, as Windows maps them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Decodes one UTF-8 sequence at text[i]; false when it is not well-formed (overlong forms,
// surrogates and values past U+10FFFF included).
bool DecodeUtf8At(std::string_view text, size_t& i, uint32_t& codePoint) {
    const auto byte = [&text](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    int length;
    uint32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        ++i;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return false;
    }
    if (text.size() - i < static_cast<size_t>(length)) return false;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) return false;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint))
        return false;
    i += length;
    return true;
}

}  // namespace

std::wstring DecodeUtf16LE(const void* data, uint32_t size) {
    std::wstring text;
    if (!data) return text;
    const auto* bytes = static_cast<const unsigned char*>(data);
    const uint32_t count = size / 2;
    text.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t unit = bytes[2 * i] | bytes[2 * i + 1] << 8;
        if (IsHighSurrogate(unit) && i + 1 < count) {
            const uint32_t low = bytes[2 * i + 2] | bytes[2 * i + 3] << 8;
            if (IsLowSurrogate(low)) {
                text += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        text += IsHighSurrogate(unit) || IsLowSurrogate(unit) ? kReplacementCharacter : static_cast<wchar_t>(unit);
    }
    return text;
}

std::wstring DecodeNarrow(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    uint32_t codePoint;
    size_t i = 0;
    while (i < text.size() && DecodeUtf8At(text, i, codePoint)) wide += static_cast<wchar_t>(codePoint);
    if (i == text.size()) return wide;

    wide.clear();
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        wide += static_cast<wchar_t>(byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
    }
    return wide;
}

std::string EncodeUtf8(std::wstring_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (const wchar_t c : text) {
        uint32_t codePoint = static_cast<uint32_t>(c);
        if (codePoint > 0x10FFFF || IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint))
            codePoint = kReplacementCharacter;
        if (codePoint < 0x80) {
            narrow += static_cast<char>(codePoint);
        } else if (codePoint < 0x800) {
            narrow += static_cast<char>(0xC0 | codePoint >> 6);
            narrow += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            narrow += static_cast<char>(0xE0 | codePoint >> 12);
            narrow += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
            narrow += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else {
            narrow += static_cast<char>(0xF0 | codePoint >> 18);
            narrow += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
            narrow += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
            narrow += static_cast<char>(0x80 | (codePoint & 0x3F));
        }
    }
    return narrow;
}

}  // namespace GAME
