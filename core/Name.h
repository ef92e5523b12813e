#pragma once
// A 16-byte key made from a text: the MD5 digest of the text, held as four 32-bit words.
//
// Word i is digest bytes 4i..4i+3 read little-endian, so writing the four words as little-endian
// u32 in order 0..3 reproduces the digest byte for byte. Word 0 is the hash key of the engine's
// fixed-size name tables; Name::noName (all zero) marks their empty slots.
//
// Ordering is lexicographic over all four words: two different names that share their first word
// must never compare equivalent, or an ordered map keyed by Name would merge them.
//
// Making a name costs an MD5, so callers make each name once and keep it in a static.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace GAME {

class Name {
public:
    constexpr Name() = default;
    constexpr Name(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) : words_{w0, w1, w2, w3} {}

    // The MD5 name of the text; a null text gives noName.
    static Name Create(const char* text);

    // Word i (0..3); 0 for any other index.
    constexpr uint32_t GetWord(int i) const { return i >= 0 && i < 4 ? words_[i] : 0u; }

    friend constexpr bool operator==(const Name&, const Name&) = default;
    friend constexpr std::strong_ordering operator<=>(const Name&, const Name&) = default;

    static const Name noName;

private:
    uint32_t words_[4] = {0, 0, 0, 0};
};

inline constexpr Name Name::noName{};

}  // namespace GAME

template <>
struct std::hash<GAME::Name> {
    // The words are already uniformly distributed digest bits.
    size_t operator()(const GAME::Name& name) const noexcept {
        return static_cast<size_t>(uint64_t(name.GetWord(1)) << 32 | name.GetWord(0));
    }
};
