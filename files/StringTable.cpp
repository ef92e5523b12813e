#include "files/StringTable.h"

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

bool StringTable::Add(const std::string& text) {
    const auto [it, added] = indices_.emplace(text, static_cast<int>(strings_.size()));
    if (added) strings_.push_back(text);
    return added;
}

int StringTable::GetIndex(const std::string& text) const {
    const auto it = indices_.find(text);
    return it == indices_.end() ? -1 : it->second;
}

const char* StringTable::GetString(int index) const {
    if (index < 0 || index >= GetNumStrings()) return nullptr;
    return strings_[static_cast<size_t>(index)].c_str();
}

void StringTable::Clear() {
    strings_.clear();
    indices_.clear();
}

void StringTable::Write(BinaryWriter& writer) const {
    writer.Write(static_cast<unsigned int>(strings_.size()));
    for (const std::string& text : strings_) writer.Write(text);
}

bool StringTable::Read(BinaryReader& reader) {
    Clear();
    const uint32_t count = reader.ReadUInt32();
    if (reader.Failed()) {
        Log(LogPriority::Error, "String table: the count is missing");
        return false;
    }
    // Each string takes at least its 4-byte length, so a larger count cannot be genuine.
    if (count > reader.GetRemaining() / 4) {
        Log(LogPriority::Error, "String table: %u strings cannot fit in %u bytes", count, reader.GetRemaining());
        return false;
    }
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
        text.clear();
        if (!reader.ReadString(text)) {
            Log(LogPriority::Error, "String table: string %u of %u is too long or truncated", i, count);
            Clear();
            return false;
        }
        // A duplicate would shift every later index; keep the indices as they were written.
        strings_.push_back(text);
        indices_.emplace(text, static_cast<int>(i));
    }
    return true;
}

}  // namespace GAME
