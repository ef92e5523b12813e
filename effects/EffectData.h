#pragma once
// EffectData: one effect file in memory: an ordered list of named emitters, each owning its
// EmitterData. The effect resource reads it from a buffer (BufferLoad); the editing tools load and
// save it through the FileSystem.
//
// File form (little-endian): u32 version (kVersion), then emitter records back to back up to the
// end of the file, each a string (u32 length, bytes: the emitter's name) then an emitter block
// (EmitterData). Nothing follows the last record.
//
// Copies are deep: each EffectData owns its own emitters, so copying an effect (the editor
// duplicates them) never leaves two owners of one EmitterData.

#include <cstdint>
#include <memory>
#include <string>

#include "core/Mem.h"
#include "effects/EmitterData.h"

namespace GAME {

class BinaryWriter;
class FileSystem;

class EffectData {
public:
    static constexpr uint32_t kVersion = 101;

    EffectData() = default;
    EffectData(const EffectData& other);
    EffectData& operator=(const EffectData& other);
    EffectData(EffectData&&) noexcept = default;
    EffectData& operator=(EffectData&&) noexcept = default;
    ~EffectData();

    // Replaces the emitters with those of a whole effect file in memory. A wrong version, a
    // truncated or corrupt record: the error is logged, the effect is left empty and the result
    // is false. The data is not kept.
    bool BufferLoad(const void* data, uint32_t size);
    // Writes the whole file form.
    void BinaryWrite(BinaryWriter& writer) const;
    // Reads a file through the file system; false, with a logged error, when it cannot be opened
    // (the effect is then unchanged) or does not load.
    bool Load(const std::string& fileName, FileSystem& fileSystem);
    // Writes the file through the file system; false, with a logged error, unless all of it was written.
    bool Save(const std::string& fileName, FileSystem& fileSystem) const;

    int GetNumEmitters() const { return static_cast<int>(emitters_.size()); }
    // Null for an index out of range.
    EmitterData* GetEmitterData(int index);
    const EmitterData* GetEmitterData(int index) const;
    // Takes ownership and appends the emitter under the name "New Emitter"; a null one is ignored.
    void AddEmitterData(std::unique_ptr<EmitterData> emitter);
    // Removes the emitter and its name and hands the emitter back to the caller; null (nothing
    // removed) for an index out of range.
    std::unique_ptr<EmitterData> RemoveEmitterData(int index);

    // The emitter's name; ignored for an index out of range.
    void SetName(int emitter, const std::string& name);
    // False, with the name untouched, for an index out of range.
    bool GetName(int emitter, std::string& name) const;

    // Slot access of one emitter (EmitterData). An emitter index out of range is ignored by the
    // setters; the getters return an empty string, false or 0 for it.
    const std::string& GetString(int emitter, int slot) const;
    void SetString(int emitter, int slot, const std::string& value);
    bool GetBoolean(int emitter, int slot) const;
    void SetBoolean(int emitter, int slot, bool value);
    int32_t GetInteger(int emitter, int slot) const;
    void SetInteger(int emitter, int slot, int32_t value);
    float GetFloat(int emitter, int slot) const;
    void SetFloat(int emitter, int slot, float value);
    bool GetLoop(int emitter) const;
    void SetLoop(int emitter, bool loop);
    // Sets the texture name (string 0) of an emitter.
    void ImageLoad(int emitter, const std::string& fileName);
    // Sets the shader name (string 1) of an emitter.
    void ShaderLoad(int emitter, const std::string& fileName);

    // An estimate of the bytes held: the list, the names and every emitter with its heap data.
    uint32_t GetAllocatedSize() const;

private:
    struct Entry {
        std::string name;
        std::unique_ptr<EmitterData> data;
    };

    // One list keeps each name with its emitter.
    mem::vector<Entry> emitters_;
};

}  // namespace GAME
