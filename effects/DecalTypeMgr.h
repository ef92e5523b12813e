#pragma once
// DecalTypeMgr: the process-wide registry of loaded decal types, at most kMaxTypes, each shared by
// reference count. Made by the first Get (on the main thread), destroyed by Destroy at engine
// shutdown, after the world (and with it every DecalSet) is gone: it destroys every type it still
// holds whatever its count.
//
// Load and unload take the manager's lock; Get and ReferenceDecalType do not, so references are
// added on the main thread only.

#include "core/CriticalSection.h"

#include <cstdint>
#include <string>

namespace GAME {

class DecalType;

class DecalTypeMgr {
public:
    static constexpr uint32_t kMaxTypes = 64;

    static DecalTypeMgr& Get();
    static void Destroy();

    // The type of the record, loaded on first use (one reference more when loaded). Null for an
    // empty name, a record that does not make a DecalType, or with kMaxTypes types loaded.
    const DecalType* LoadDecalType(const std::string& recordName);
    // One reference more to a loaded type; false when it is not loaded.
    bool ReferenceDecalType(const DecalType* type);
    // One reference less; the last destroys the type. Null and unknown types are ignored.
    void UnloadDecalType(const DecalType* type);

    uint32_t GetNumTypes() const { return count_; }
    // The references to a loaded type; 0 when it is not loaded.
    uint32_t GetRefCount(const DecalType* type) const;

private:
    struct Entry {
        uint32_t refCount = 0;
        const DecalType* type = nullptr;
    };

    DecalTypeMgr() = default;
    ~DecalTypeMgr();

    uint32_t count_ = 0;  // entries 0 .. count_ - 1 are in use
    Entry entries_[kMaxTypes];
    CriticalSection lock_;
};

}  // namespace GAME
