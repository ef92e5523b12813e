#include "files/BinaryWriter.h"

#include <bit>
#include <cstring>

#include "core/Coords.h"
#include "core/Log.h"
#include "core/Name.h"
#include "core/UniqueId.h"
#include "core/Vec3.h"
#include "files/BinaryReader.h"
#include "files/File.h"

namespace GAME {

// Values are copied byte for byte, which is little-endian only on a little-endian host.
static_assert(std::endian::native == std::endian::little, "BinaryWriter assumes a little-endian host");

BinaryWriter::BinaryWriter(uint32_t capacity) : BinaryWriter(capacity, 0) {}

BinaryWriter::BinaryWriter(uint32_t capacity, uint32_t growStep) : growStep_(growStep) { buffer_.reserve(capacity); }

BinaryWriter::BinaryWriter(File& file) : file_(&file) {}

void BinaryWriter::Fail(const char* why) {
    if (!failed_) Log(LogPriority::Error, "BinaryWriter: %s", why);
    failed_ = true;
}

void BinaryWriter::Append(const void* data, uint32_t size) {
    if (size == 0) return;
    if (size > UINT32_MAX - position_) {
        Fail("the stream would pass 4 GiB");
        return;
    }
    if (file_) {
        if (!file_->Write(position_, data, size)) Fail("a file write failed");
    } else {
        const size_t needed = static_cast<size_t>(position_) + size;
        if (growStep_ > 0 && needed > buffer_.capacity())
            buffer_.reserve((needed + growStep_ - 1) / growStep_ * growStep_);
        const auto* bytes = static_cast<const unsigned char*>(data);
        buffer_.insert(buffer_.end(), bytes, bytes + size);
    }
    position_ += size;
}

void BinaryWriter::Patch(uint32_t offset, const void* data, uint32_t size) {
    if (file_) {
        if (!file_->Write(offset, data, size)) Fail("a file write failed");
    } else {
        std::memcpy(buffer_.data() + offset, data, size);
    }
}

void BinaryWriter::Write(unsigned char value) { Append(&value, sizeof(value)); }
void BinaryWriter::Write(unsigned short value) { Append(&value, sizeof(value)); }
void BinaryWriter::Write(unsigned int value) { Append(&value, sizeof(value)); }
void BinaryWriter::Write(int value) { Append(&value, sizeof(value)); }
void BinaryWriter::Write(float value) { Append(&value, sizeof(value)); }
void BinaryWriter::Write(bool value) { Write(static_cast<unsigned int>(value ? 1 : 0)); }

void BinaryWriter::Write(const Vec3& value) {
    const float v[3] = {value.x, value.y, value.z};
    Append(v, sizeof(v));
}

void BinaryWriter::Write(const Coords& value) {
    Write(value.xAxis);
    Write(value.yAxis);
    Write(value.zAxis);
    Write(value.origin);
}

void BinaryWriter::Write(const Name& value) {
    const uint32_t w[4] = {value.GetWord(0), value.GetWord(1), value.GetWord(2), value.GetWord(3)};
    Append(w, sizeof(w));
}

void BinaryWriter::Write(const UniqueId& value) {
    const UniqueId::Words words = value.ToStreamWords();
    Append(words.data(), sizeof(words));
}

void BinaryWriter::WriteWordOrder(const UniqueId& value) {
    const UniqueId::Words words = value.ToNameOrderWords();
    Append(words.data(), sizeof(words));
}

void BinaryWriter::Write(const std::string& value) {
    // Readers refuse longer strings as corrupt: such a save could never be loaded again.
    if (value.size() > BinaryReader::kMaxStringLength) {
        Fail("a string is longer than readers accept (1 MiB)");
        return;
    }
    Write(static_cast<unsigned int>(value.size()));
    Append(value.data(), static_cast<uint32_t>(value.size()));
}

void BinaryWriter::Write(const void* data, uint32_t size) { Append(data, size); }

void BinaryWriter::BeginChunk(uint32_t id) {
    Write(static_cast<unsigned int>(id));
    openChunks_.push_back(position_);
    Write(0u);
}

void BinaryWriter::EndChunk() {
    if (openChunks_.empty()) {
        Log(LogPriority::Error, "BinaryWriter: EndChunk without an open chunk");
        return;
    }
    const uint32_t sizeField = openChunks_.back();
    openChunks_.pop_back();
    const uint32_t size = position_ - (sizeField + 4);
    Patch(sizeField, &size, sizeof(size));
}

}  // namespace GAME
