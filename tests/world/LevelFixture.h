#pragma once
// What the level tests share: entity classes whose level hooks and stream forms are visible, the
// records that name them (mounted as a record store for the object manager), a region for the level,
// and an engine whose editor mode the test chooses.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "FakeWorld.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "support/TempDirectory.h"
#include "world/World.h"

namespace GAME::test {

inline constexpr const char* kPlainRecord = "records/test/level/plain.dbr";
inline constexpr const char* kStateRecord = "records/test/level/state.dbr";
inline constexpr const char* kServerRecord = "records/test/level/server.dbr";
inline constexpr const char* kUniqueRecord = "records/test/level/unique.dbr";
inline constexpr const char* kTallGridRecord = "records/test/level/tallgrid.dbr";  // cells 1 x 2.25 x 1

// Counts its level hooks, keeps a box of half size 0.5 around its origin, writes its extra text
// as its level-file data, moves by step on each update and counts its preloads. readHook, when
// set, runs as any such entity reads its level-file data (on the thread that loads the level).
class LevelTestEntity : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    static inline std::function<void()> readHook;

    bool Load(const LoadTable& table) override;  // its record's "extra" comes first, then its data
    bool Read(BinaryReader& reader) override;
    void Write(BinaryWriter& writer) const override;
    void OnAddToLevel(Level*) override { ++added; }
    void OnRemoveFromLevel(Level*) override { ++removed; }
    void UpdateBoundingBox() override;
    bool PreLoad(int, bool) override;
    void UpdateSelf(int) override;

    std::string extra;
    int added = 0;
    int removed = 0;
    int preloads = 0;
    Vec3 step;
};

// Keeps its value in the level's saved state; its box is the value taller.
class LevelStateEntity : public LevelTestEntity {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool ShouldSaveState() const override { return true; }
    void UpdateBoundingBox() override;
    void SaveState(BinaryWriter& writer) const override;
    bool RestoreState(BinaryReader& reader) override;

    uint32_t value = 0;
};

// Spawned by a server for its clients.
class LevelServerEntity : public LevelTestEntity {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool ShouldServerSpawn() const override { return true; }
};

// At most one of its name exists.
class LevelUniqueEntity : public LevelStateEntity {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool IsUniqueByName() const override { return true; }
};

// An engine, never initialised, that answers the editor-mode question as told.
class LevelTestEngine : public Engine {
public:
    bool IsEditorMode() const override { return editor; }
    bool editor = false;
};

// A region added to the world with a new level, post-loaded, of half size (size, size) on x/z around
// its origin; and such a new level given to a region.
Region* AddLoadedRegion(World& world, const std::string& name, const IntVec3& offset, float size);
void SetNewLevel(Region* region, float size);

// The records above in a temporary record store handed to the object manager, and a region.
// Objects still pending destruction are deleted when the fixture goes.
class LevelRecords {
public:
    LevelRecords();
    ~LevelRecords();

    Region* GetRegion() const { return region_; }
    // Makes an entity from a record, outside any level.
    template <class T = LevelTestEntity>
    static T* Make(const char* record);
    // Deletes the objects pending destruction; returns the number of live objects.
    static int Flush();

private:
    TempDirectory directory_;
    FileSystem fileSystem_;
    std::unique_ptr<TableDepot> depot_;
    FakeWorld world_;
    Region* region_;
};

}  // namespace GAME::test
