#pragma once
// StringTable: distinct strings numbered in the order they were added; files store each string
// once and refer to it by index (the level file's names of entity records).
//
// Stream form: u32 count, then each string as a u32 byte length and the bytes. Read never trusts
// the count: it stops at the first string that is too long or runs past the data.

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

namespace GAME {

class BinaryReader;
class BinaryWriter;

class StringTable {
public:
    // Appends the string when absent; false when it was already present.
    bool Add(const std::string& text);
    // The index of a string, -1 when absent.
    int GetIndex(const std::string& text) const;
    // The string at an index, null when out of range. Valid until the table is cleared or read.
    const char* GetString(int index) const;
    int GetNumStrings() const { return static_cast<int>(strings_.size()); }
    void Clear();

    void Write(BinaryWriter& writer) const;
    // Clears the table and reads the stream form back. On a bad string the error is logged, the
    // table is left empty and the result is false.
    bool Read(BinaryReader& reader);

private:
    std::deque<std::string> strings_;  // a deque keeps GetString's pointers stable as strings are added
    std::unordered_map<std::string, int> indices_;
};

}  // namespace GAME
