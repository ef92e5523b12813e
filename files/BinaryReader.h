#pragma once
// BinaryReader: a little-endian cursor over a block of memory.
//
// Every read is bounds-checked. A read that would run past the end fails: it returns zero (or a
// default value), leaves the caller's buffer unchanged, moves the cursor to the end and marks the
// reader failed. The flag is sticky, so a format reader can read a whole block and test Failed()
// once. A failed string read is the one exception to the cursor rule: the length word stays
// consumed and the cursor stays just after it, which callers that skip bad names rely on.
//
// The reader does not log; the format readers built on it report what went wrong. It is the
// BinaryInput through which core's stored forms read.

#include <cstdint>
#include <memory>
#include <string>

#include "core/BinaryInput.h"

namespace GAME {

struct Vec3;
struct Coords;
class Name;
class UniqueId;

class BinaryReader final : public BinaryInput {
public:
    // Longest string a stream may hold; longer lengths are refused as corrupt.
    static constexpr uint32_t kMaxStringLength = 0x100000;

    // An empty reader: every read fails.
    BinaryReader() = default;
    // A reader over caller memory, which must outlive it; the reader does not own it.
    BinaryReader(const void* data, uint32_t size);
    // A reader that owns its block and frees it when destroyed.
    BinaryReader(std::unique_ptr<unsigned char[]> data, uint32_t size);

    BinaryReader(BinaryReader&&) noexcept = default;
    BinaryReader& operator=(BinaryReader&&) noexcept = default;

    // A reader over the next size bytes (not owning them); this reader's cursor moves past them.
    // When fewer bytes remain, this reader fails and the result is empty.
    BinaryReader ReadBlock(uint32_t size);

    uint8_t ReadUInt8();
    uint16_t ReadUInt16();
    uint32_t ReadUInt32() override;
    int32_t ReadInt32();
    float ReadFloat() override;
    // A 4-byte word; true when it is not 0.
    bool ReadBool() override;
    Vec3 ReadVec3();
    // 12 floats: the x, y and z axes, then the origin.
    Coords ReadCoords();
    // Four words, word 0 first.
    Name ReadName();
    // The id's stream form: words 3, 2, 1, 0.
    UniqueId ReadUniqueId();
    // The id as four words in the order 0, 1, 2, 3 (the form of the Name).
    UniqueId ReadUniqueIdWordOrder();

    // Copies count bytes to out and advances; false (out untouched) when fewer remain.
    bool ReadBytes(void* out, uint32_t count);
    // Advances over count bytes; false when fewer remain.
    bool Skip(uint32_t count);
    // A u32 byte length then the bytes. False when the length is over kMaxStringLength or runs
    // past the end: the string is left as it was and the cursor stays just after the length.
    bool ReadString(std::string& out);

    // Moves the cursor to an offset from the start; false (and failed) when past the end.
    bool SetPosition(uint32_t position);

    const unsigned char* GetStart() const { return start_; }
    const unsigned char* GetCursor() const { return cursor_; }
    uint32_t GetSize() const { return size_; }
    uint32_t GetPosition() const { return static_cast<uint32_t>(cursor_ - start_); }
    uint32_t GetRemaining() const override { return size_ - GetPosition(); }
    bool IsAtEnd() const { return GetPosition() >= size_; }
    // True once any read has failed.
    bool Failed() const override { return failed_; }

private:
    // Copies count bytes at the cursor, or fails as described above.
    bool Take(void* out, uint32_t count);
    // A plain value read by Take; zero on failure.
    template <typename T>
    T ReadValue();
    void Fail();

    std::unique_ptr<unsigned char[]> owned_;
    const unsigned char* start_ = nullptr;
    const unsigned char* cursor_ = nullptr;
    uint32_t size_ = 0;
    bool failed_ = false;
};

}  // namespace GAME
