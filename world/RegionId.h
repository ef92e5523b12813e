#pragma once
// RegionId: the 128-bit identity of a region, four 32-bit words. All four zero is the invalid id.
//
// Stored form: the four words as u32, word 0 first (unlike UniqueId's stream form). Ids order word
// by word from word 0, as unsigned numbers, so the world can index its regions by them.

#include <cstdint>

namespace GAME {

class BinaryReader;
class BinaryWriter;

class RegionId {
public:
    // The invalid id.
    constexpr RegionId() = default;
    constexpr RegionId(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) : words_{w0, w1, w2, w3} {}

    // A fresh id from a new GUID {data1, data2, data3, data4[8]}: word 0 = data1, word 1 =
    // data2 << 16 | data3, words 2 and 3 = data4[0..3] and data4[4..7] packed big-endian. Never
    // the invalid id.
    static RegionId CreateUnique();

    constexpr bool IsInvalid() const { return (words_[0] | words_[1] | words_[2] | words_[3]) == 0; }
    // Word i, 0..3.
    constexpr uint32_t GetWord(int i) const { return words_[i]; }

    constexpr bool operator==(const RegionId&) const = default;
    constexpr bool operator<(const RegionId& other) const {
        for (int i = 0; i < 4; ++i) {
            if (words_[i] != other.words_[i]) return words_[i] < other.words_[i];
        }
        return false;
    }

    // The stored form; a failed read (see BinaryReader) leaves the id invalid.
    void Read(BinaryReader& reader);
    void Write(BinaryWriter& writer) const;

private:
    uint32_t words_[4] = {0, 0, 0, 0};
};

}  // namespace GAME
