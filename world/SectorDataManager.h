#pragma once
// SectorDataManager: the engine's six sets of sector styles (SectorData), one per layer: 0 fog,
// 1 name, 2 ambient, 3 boss, 4 day/night cycle, 5 bloom. The engine holds one; the world loads
// it from the world's ".sd" file or the map file's chunk 24; levels' sector layers and the ambiance
// manager look styles up in it; the editor makes, changes and deletes them.
//
// Sector-data file (".sd"), little-endian (strings as u32 length and bytes, ids in the UniqueId
// stream form, bools as u32):
//   u32 file version (2 written; 1 and 2 read), u32 block count (6 written), then the blocks in
//   layer order. A block is u32 block version, u32 record count, the records. Every record starts
//   with u32 record version (1), name, id, alpha colour and omega colour (8 f32), then:
//     fog (block version 1):       the four colours and two floats (18 f32), four u32;
//     name (2):                    tag, cinematic flag, and from block version 2 the
//                                  first-visit-only flag;
//     ambient (2):                 music playlist, ambient sound playlist, and from block version
//                                  2 the event music;
//     boss (1):                    nothing;
//     day/night cycle (1):         the "DNC" block of DayNightCycle;
//     bloom (1):                   three f32 and 20 reserved bytes.
// Loading appends the fog, name, ambient and boss records to their sets and replaces the
// day/night and bloom sets; those two blocks must be of version 1. Blocks past the sixth are not
// read. A cut or damaged file stops the load with an error and false; the records read before
// stay.
//
// Threads: main thread (the world loads it while loading a world).

#include <array>
#include <memory>

#include "core/Color.h"
#include "core/Mem.h"
#include "world/SectorData.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;

class SectorDataManager {
public:
    enum Layer : int {
        kFog = 0,
        kName = 1,
        kAmbient = 2,
        kBoss = 3,
        kDayNightCycle = 4,
        kBloom = 5,
        kNumLayers = 6,
    };
    static constexpr uint32_t kFileVersion = 2;

    SectorDataManager() = default;
    SectorDataManager(const SectorDataManager&) = delete;
    SectorDataManager& operator=(const SectorDataManager&) = delete;

    // The layer shown and edited in the editor.
    int GetCurrentLayer() const { return currentLayer_; }
    void SetCurrentLayer(int layer) { currentLayer_ = layer; }
    bool IsModified() const { return modified_; }

    // 0 for a layer that does not exist.
    int GetNumSectorData(int layer) const;
    // No bounds check: the index is the caller's to keep in range.
    SectorData* GetSectorData(int layer, int index) const { return sets_[size_t(layer)][size_t(index)].get(); }
    // The layer's first record with the id; null when there is none.
    SectorData* GetSectorData(int layer, const UniqueId& id) const;
    bool IsValidSectorValue(int layer, const UniqueId& id) const { return GetSectorData(layer, id) != nullptr; }
    // The record's display colours; (0, 0, 0, 0) when there is no such record.
    Color GetRenderColorAlpha(int layer, const UniqueId& id) const;
    Color GetRenderColorOmega(int layer, const UniqueId& id) const;

    // Appends a new record of the layer's kind with its defaults; null for a layer that does not
    // exist.
    SectorData* NewSectorData(int layer);
    // Copies the fields of record into the layer's record at index (of the same kind). Nothing for
    // the day/night layer, whose cycle is edited in place, for a null record or a bad index.
    void SetSectorData(int layer, int index, const SectorData* record);
    // Destroys the record; the others keep their order. Nothing for a bad index.
    void DeleteSectorData(int layer, int index);

    // Empties the six sets (a world load starts from none).
    void Clear();
    void Save(BinaryWriter& writer) const;
    bool Load(BinaryReader& reader);
    // Writes the file atomically through the engine's file system; false, with the error "Could
    // not write %s", when it cannot.
    bool Save(const char* path) const;
    // Reads the file through the engine's file system; false when it cannot be opened or read.
    bool Load(const char* path);

private:
    static void WriteSectorData(const SectorData& record, BinaryWriter& writer);
    static void ReadSectorData(SectorData& record, BinaryReader& reader);
    // One block into its set; false when the block is damaged or of a refused version.
    bool ReadBlock(int layer, BinaryReader& reader);
    void WriteBlock(int layer, BinaryWriter& writer) const;

    int currentLayer_ = 0;
    bool modified_ = false;
    std::array<mem::vector<std::unique_ptr<SectorData>>, kNumLayers> sets_;
};

}  // namespace GAME
