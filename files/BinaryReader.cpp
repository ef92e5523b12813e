#include "files/BinaryReader.h"

#include <bit>
#include <cstring>

#include "core/Coords.h"
#include "core/Name.h"
#include "core/UniqueId.h"
#include "core/Vec3.h"

namespace GAME {

// Values are copied byte for byte, which is little-endian only on a little-endian host.
static_assert(std::endian::native == std::endian::little, "BinaryReader assumes a little-endian host");

BinaryReader::BinaryReader(const void* data, uint32_t size)
    : start_(static_cast<const unsigned char*>(data)), cursor_(start_), size_(data ? size : 0) {}

BinaryReader::BinaryReader(std::unique_ptr<unsigned char[]> data, uint32_t size)
    : owned_(std::move(data)), start_(owned_.get()), cursor_(start_), size_(start_ ? size : 0) {}

void BinaryReader::Fail() {
    failed_ = true;
    cursor_ = start_ + size_;
}

bool BinaryReader::Take(void* out, uint32_t count) {
    if (count > GetRemaining()) {
        Fail();
        return false;
    }
    if (count > 0) std::memcpy(out, cursor_, count);
    cursor_ += count;
    return true;
}

BinaryReader BinaryReader::ReadBlock(uint32_t size) {
    if (size > GetRemaining()) {
        Fail();
        return BinaryReader();
    }
    BinaryReader block(cursor_, size);
    cursor_ += size;
    return block;
}

template <typename T>
T BinaryReader::ReadValue() {
    T value{};
    Take(&value, sizeof(value));
    return value;
}

uint8_t BinaryReader::ReadUInt8() { return ReadValue<uint8_t>(); }
uint16_t BinaryReader::ReadUInt16() { return ReadValue<uint16_t>(); }
uint32_t BinaryReader::ReadUInt32() { return ReadValue<uint32_t>(); }
int32_t BinaryReader::ReadInt32() { return ReadValue<int32_t>(); }
float BinaryReader::ReadFloat() { return ReadValue<float>(); }

bool BinaryReader::ReadBool() { return ReadUInt32() != 0; }

Vec3 BinaryReader::ReadVec3() {
    float v[3] = {};
    if (!Take(v, sizeof(v))) return Vec3{};
    return Vec3{v[0], v[1], v[2]};
}

Coords BinaryReader::ReadCoords() {
    Coords result;
    if (GetRemaining() < 12 * sizeof(float)) {
        Fail();
        return result;
    }
    result.xAxis = ReadVec3();
    result.yAxis = ReadVec3();
    result.zAxis = ReadVec3();
    result.origin = ReadVec3();
    return result;
}

Name BinaryReader::ReadName() {
    uint32_t w[4] = {};
    if (!Take(w, sizeof(w))) return Name();
    return Name(w[0], w[1], w[2], w[3]);
}

UniqueId BinaryReader::ReadUniqueId() {
    UniqueId::Words words = {};
    if (!Take(words.data(), sizeof(words))) return UniqueId();
    return UniqueId::FromStreamWords(words);
}

UniqueId BinaryReader::ReadUniqueIdWordOrder() {
    UniqueId::Words words = {};
    if (!Take(words.data(), sizeof(words))) return UniqueId();
    return UniqueId::FromNameOrderWords(words);
}

bool BinaryReader::ReadBytes(void* out, uint32_t count) { return Take(out, count); }

bool BinaryReader::Skip(uint32_t count) {
    if (count > GetRemaining()) {
        Fail();
        return false;
    }
    cursor_ += count;
    return true;
}

bool BinaryReader::ReadString(std::string& out) {
    uint32_t length = 0;
    if (!Take(&length, sizeof(length))) return false;
    if (length > kMaxStringLength || length > GetRemaining()) {
        failed_ = true;  // the cursor stays just after the length
        return false;
    }
    out.assign(reinterpret_cast<const char*>(cursor_), length);
    cursor_ += length;
    return true;
}

bool BinaryReader::SetPosition(uint32_t position) {
    if (position > size_) {
        Fail();
        return false;
    }
    cursor_ = start_ + position;
    return true;
}

}  // namespace GAME
