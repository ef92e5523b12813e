#pragma once
// The 16-byte identity of an entity: four 32-bit words, all zero for the null id.
//
// Create() makes a random (version 4) GUID from the operating system's random source. Laid out as
// a GUID {u32 data1; u16 data2; u16 data3; u8 data4[8]} read as four little-endian words, word 1
// carries the version in its top nibble and word 2 the variant in bits 6-7.
//
// Two stored forms exist, and both are kept:
// - the stream form (UniqueId::Read / Write of the binary streams): the words as u32 in the order
//   3, 2, 1, 0 (ToStreamWords / FromStreamWords);
// - the Name form (grid blocks, grid entrances, instance-group records): the words as u32 in the
//   order 0, 1, 2, 3, as a Name is written (ToNameOrderWords / FromNameOrderWords).

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace GAME {

class UniqueId {
public:
    using Words = std::array<uint32_t, 4>;

    constexpr UniqueId() = default;

    // Replaces the id with a fresh random one.
    void Create();

    constexpr bool IsNull() const { return (words_[0] | words_[1] | words_[2] | words_[3]) == 0; }

    // Word i (0..3); reads of any other index give 0 and writes are ignored.
    constexpr uint32_t GetPart(int i) const { return i >= 0 && i < 4 ? words_[i] : 0u; }
    constexpr void SetPart(int i, uint32_t word) {
        if (i >= 0 && i < 4) words_[i] = word;
    }

    // The words in stream order: 3, 2, 1, 0.
    Words ToStreamWords() const { return {words_[3], words_[2], words_[1], words_[0]}; }
    static UniqueId FromStreamWords(const Words& stored) { return UniqueId(stored[3], stored[2], stored[1], stored[0]); }

    // The words in Name order: 0, 1, 2, 3.
    Words ToNameOrderWords() const { return {words_[0], words_[1], words_[2], words_[3]}; }
    static UniqueId FromNameOrderWords(const Words& stored) { return UniqueId(stored[0], stored[1], stored[2], stored[3]); }

    friend constexpr bool operator==(const UniqueId&, const UniqueId&) = default;
    friend constexpr std::strong_ordering operator<=>(const UniqueId&, const UniqueId&) = default;

private:
    constexpr UniqueId(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) : words_{w0, w1, w2, w3} {}

    uint32_t words_[4] = {0, 0, 0, 0};
};

}  // namespace GAME

template <>
struct std::hash<GAME::UniqueId> {
    // Random ids: two of their words are already a good hash.
    size_t operator()(const GAME::UniqueId& id) const noexcept {
        return static_cast<size_t>(uint64_t(id.GetPart(3)) << 32 | id.GetPart(0));
    }
};
