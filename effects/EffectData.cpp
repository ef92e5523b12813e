#include "effects/EffectData.h"

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"

namespace GAME {

EffectData::EffectData(const EffectData& other) { *this = other; }

EffectData& EffectData::operator=(const EffectData& other) {
    if (this == &other) return *this;
    mem::vector<Entry> copies;
    copies.reserve(other.emitters_.size());
    for (const Entry& entry : other.emitters_)
        copies.push_back({entry.name, std::make_unique<EmitterData>(*entry.data)});
    emitters_ = std::move(copies);
    return *this;
}

EffectData::~EffectData() = default;

bool EffectData::BufferLoad(const void* data, uint32_t size) {
    emitters_.clear();
    BinaryReader reader(data, size);
    const uint32_t version = reader.ReadUInt32();
    if (reader.Failed() || version != kVersion) {
        Log(LogPriority::Error, "LOAD_EFFECT:Wrong Version or Incompatible File.");
        return false;
    }
    while (!reader.IsAtEnd()) {
        Entry entry{std::string(), std::make_unique<EmitterData>()};
        if (!reader.ReadString(entry.name)) {
            Log(LogPriority::Error, "LOAD_EFFECT: the name of emitter %d is too long or truncated.", GetNumEmitters());
            emitters_.clear();
            return false;
        }
        if (!entry.data->BinaryRead(reader)) {
            Log(LogPriority::Error, "LOAD_EFFECT: emitter %d (%s) is truncated or corrupt.", GetNumEmitters(),
                entry.name.c_str());
            emitters_.clear();
            return false;
        }
        emitters_.push_back(std::move(entry));
    }
    return true;
}

void EffectData::BinaryWrite(BinaryWriter& writer) const {
    writer.Write(kVersion);
    for (const Entry& entry : emitters_) {
        writer.Write(entry.name);
        entry.data->BinaryWrite(writer);
    }
}

bool EffectData::Load(const std::string& fileName, FileSystem& fileSystem) {
    File* file = fileSystem.OpenFile(fileName, FileMode::Read);
    if (!file) {
        Log(LogPriority::Error, "Could not open: %s  for loading.", fileName.c_str());
        return false;
    }
    const uint32_t length = file->GetLength();
    const bool loaded = BufferLoad(file->Lock(), length);
    file->Unlock();
    fileSystem.CloseFile(file);
    return loaded;
}

bool EffectData::Save(const std::string& fileName, FileSystem& fileSystem) const {
    BinaryWriter writer(1024);
    BinaryWrite(writer);
    if (writer.Failed()) return false;  // already logged by the writer
    // Through a temporary file, so a failed save leaves the previous effect whole.
    if (fileSystem.SaveFile(fileName, writer.GetBuffer(), writer.GetPosition())) return true;
    Log(LogPriority::Error, "Could not open: %s  for saving.", fileName.c_str());
    return false;
}

EmitterData* EffectData::GetEmitterData(int index) {
    return index >= 0 && index < GetNumEmitters() ? emitters_[index].data.get() : nullptr;
}

const EmitterData* EffectData::GetEmitterData(int index) const {
    return index >= 0 && index < GetNumEmitters() ? emitters_[index].data.get() : nullptr;
}

void EffectData::AddEmitterData(std::unique_ptr<EmitterData> emitter) {
    if (emitter) emitters_.push_back({"New Emitter", std::move(emitter)});
}

std::unique_ptr<EmitterData> EffectData::RemoveEmitterData(int index) {
    if (index < 0 || index >= GetNumEmitters()) return nullptr;
    std::unique_ptr<EmitterData> removed = std::move(emitters_[index].data);
    emitters_.erase(emitters_.begin() + index);
    return removed;
}

void EffectData::SetName(int emitter, const std::string& name) {
    if (emitter >= 0 && emitter < GetNumEmitters()) emitters_[emitter].name = name;
}

bool EffectData::GetName(int emitter, std::string& name) const {
    if (emitter < 0 || emitter >= GetNumEmitters()) return false;
    name = emitters_[emitter].name;
    return true;
}

const std::string& EffectData::GetString(int emitter, int slot) const {
    static const std::string empty;
    const EmitterData* data = GetEmitterData(emitter);
    return data ? data->GetString(slot) : empty;
}

void EffectData::SetString(int emitter, int slot, const std::string& value) {
    if (EmitterData* data = GetEmitterData(emitter)) data->SetString(slot, value);
}

bool EffectData::GetBoolean(int emitter, int slot) const {
    const EmitterData* data = GetEmitterData(emitter);
    return data && data->GetBoolean(slot);
}

void EffectData::SetBoolean(int emitter, int slot, bool value) {
    if (EmitterData* data = GetEmitterData(emitter)) data->SetBoolean(slot, value);
}

int32_t EffectData::GetInteger(int emitter, int slot) const {
    const EmitterData* data = GetEmitterData(emitter);
    return data ? data->GetInteger(slot) : 0;
}

void EffectData::SetInteger(int emitter, int slot, int32_t value) {
    if (EmitterData* data = GetEmitterData(emitter)) data->SetInteger(slot, value);
}

float EffectData::GetFloat(int emitter, int slot) const {
    const EmitterData* data = GetEmitterData(emitter);
    return data ? data->GetFloat(slot) : 0.0f;
}

void EffectData::SetFloat(int emitter, int slot, float value) {
    if (EmitterData* data = GetEmitterData(emitter)) data->SetFloat(slot, value);
}

bool EffectData::GetLoop(int emitter) const {
    const EmitterData* data = GetEmitterData(emitter);
    return data && data->GetLoop();
}

void EffectData::SetLoop(int emitter, bool loop) {
    if (EmitterData* data = GetEmitterData(emitter)) data->SetLoop(loop);
}

void EffectData::ImageLoad(int emitter, const std::string& fileName) {
    if (EmitterData* data = GetEmitterData(emitter)) data->SetTextureName(fileName);
}

void EffectData::ShaderLoad(int emitter, const std::string& fileName) {
    if (EmitterData* data = GetEmitterData(emitter)) data->SetShaderName(fileName);
}

uint32_t EffectData::GetAllocatedSize() const {
    size_t size = emitters_.capacity() * sizeof(Entry);
    for (const Entry& entry : emitters_)
        size += entry.name.capacity() + sizeof(EmitterData) + entry.data->GetAllocatedSize();
    return static_cast<uint32_t>(size);
}

}  // namespace GAME
