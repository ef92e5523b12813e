#pragma once
// WaterTypeManager: the process-wide registry of water types. Each type is shared by name (names
// compared without regard to case) and counted: every user holds one reference and gives it back
// with ReleaseWaterType; the type is destroyed, its resources with it, when the count reaches 0.
//
// A slot whose type is null is free and is reused before the table grows; slots never move, so
// the order of GetWaterTypeNames is stable while the manager lives.
//
// Water blocks are read on the level-loading thread (AddWaterType) while the main thread takes and
// gives back references, so every operation takes the manager's lock. A returned type stays valid
// while the caller holds its reference.

#include <cstdint>
#include <memory>
#include <string>

#include "core/CriticalSection.h"
#include "core/Mem.h"

namespace GAME {

class WaterType;

class WaterTypeManager {
public:
    // The instance, made on first use.
    static WaterTypeManager& Get();
    // Destroys the instance, if there is one (engine shutdown).
    static void Destroy();

    WaterTypeManager() = default;
    WaterTypeManager(const WaterTypeManager&) = delete;
    WaterTypeManager& operator=(const WaterTypeManager&) = delete;
    // Warns about every type still registered, then destroys it.
    ~WaterTypeManager();

    bool IsWaterType(const std::string& name) const;
    // The references held on the type of that name; 0 when there is none.
    int GetReferenceCount(const std::string& name) const;
    // The type of that name with one more reference; null (nothing changed) when there is none.
    WaterType* GetWaterType(const std::string& name);
    // GetWaterType, or a new type of that name with default values and one reference.
    WaterType* CreateWaterType(const std::string& name);
    // A copy of source with one reference; null, and nothing changed, when a type of its name
    // exists (the level loader offers every type its water block holds).
    WaterType* AddWaterType(const WaterType& source);
    // Gives back one reference; true when that destroyed the type. False for null or a type the
    // manager does not hold.
    bool ReleaseWaterType(const WaterType* type);
    // False when newName is taken or oldName is unknown; references are unaffected.
    bool RenameWaterType(const std::string& oldName, const std::string& newName);
    // The names of all types in slot order (names is cleared first).
    void GetWaterTypeNames(mem::vector<std::string>& names) const;

private:
    struct WaterTypeRef {
        std::unique_ptr<WaterType> type;  // null: a free slot
        int32_t count = 0;
    };

    // The slot of that name; null when none. Called with the lock held.
    WaterTypeRef* Find(const std::string& name);
    const WaterTypeRef* Find(const std::string& name) const;
    // Stores the type with one reference in the first free slot (or a new one) and loads its
    // resources.
    WaterType* Add(std::unique_ptr<WaterType> type);

    mutable CriticalSection lock_;
    mem::vector<WaterTypeRef> refs_;
};

}  // namespace GAME
