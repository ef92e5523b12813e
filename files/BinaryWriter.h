#pragma once
// BinaryWriter: little-endian writes to a growable memory buffer or to a File.
//
// Chunks are {u32 id, u32 size, payload}: BeginChunk writes the id and a size of 0, EndChunk
// patches the size of the innermost open chunk with the bytes written after its size field, so
// chunks nest. A write that cannot be done (a file error, a stream past 4 GiB, a string too long
// to be read back) marks the writer failed and is logged; the flag is sticky, so a saver tests
// Failed() once before reporting success.
// It is the BinaryOutput through which core's stored forms write.

#include <cstdint>
#include <string>
#include <vector>

#include "core/BinaryOutput.h"

namespace GAME {

struct Vec3;
struct Coords;
class File;
class Name;
class UniqueId;

class BinaryWriter : public BinaryOutput {
public:
    // A memory writer owning its buffer, with room for capacity bytes before it grows.
    explicit BinaryWriter(uint32_t capacity = 1024);
    // A writer to an open file, from offset 0. The file must outlive the writer.
    explicit BinaryWriter(File& file);

    // Virtual: a chunked writer may be owned as a plain one.
    virtual ~BinaryWriter() = default;
    BinaryWriter(const BinaryWriter&) = delete;
    BinaryWriter& operator=(const BinaryWriter&) = delete;

    void Write(unsigned char value);
    void Write(unsigned short value);
    void Write(unsigned int value) final;
    void Write(int value);
    void Write(float value) final;
    // A 4-byte word, 0 or 1.
    void Write(bool value) final;
    void Write(const Vec3& value);
    // 12 floats: the x, y and z axes, then the origin.
    void Write(const Coords& value);
    // Four words, word 0 first.
    void Write(const Name& value);
    // The id's stream form: words 3, 2, 1, 0.
    void Write(const UniqueId& value);
    // The id as four words in the order 0, 1, 2, 3 (the form of the Name).
    void WriteWordOrder(const UniqueId& value);
    // A u32 byte length, then the bytes, no terminator. A string longer than readers accept
    // (BinaryReader::kMaxStringLength) is not written and fails the writer.
    void Write(const std::string& value);
    // Raw bytes.
    void Write(const void* data, uint32_t size);
    // A literal would otherwise be written as a bool.
    void Write(const char*) = delete;

    void BeginChunk(uint32_t id);
    // Closes the innermost open chunk; a logged no-op when none is open.
    void EndChunk();

    // Bytes written so far.
    uint32_t GetPosition() const { return position_; }
    // The written bytes of a memory writer (null for a file writer).
    const unsigned char* GetBuffer() const { return file_ ? nullptr : buffer_.data(); }
    // True once a write has failed.
    bool Failed() const { return failed_; }

protected:
    // A memory writer whose buffer grows by growStep bytes at a time (0: doubles).
    BinaryWriter(uint32_t capacity, uint32_t growStep);

private:
    void Append(const void* data, uint32_t size);
    // Overwrites bytes already written.
    void Patch(uint32_t offset, const void* data, uint32_t size);
    void Fail(const char* why);

    File* file_ = nullptr;
    std::vector<unsigned char> buffer_;
    uint32_t growStep_ = 0;
    uint32_t position_ = 0;
    std::vector<uint32_t> openChunks_;  // offsets of the size fields of the open chunks
    bool failed_ = false;
};

}  // namespace GAME
