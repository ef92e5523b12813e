#pragma once
// SectorLayers: the painted map of sector styles of one level. Six planes of one byte per ground
// cell, one per sector-data layer (fog, name, ambient, boss, day/night cycle, bloom); each byte is
// a small value that the layer's table maps to the UniqueId of a sector-data record. Value 0 is "no
// style" in every layer, values are unique within a layer's table, and a layer holds at most 255
// styles. The ambiance manager asks for the cell at the integer region-space x and z of a position
// (one cell per unit).
//
// The planes are kept interleaved in the stored order: the six bytes of a cell side by side, cells
// column by column (cell (x, y) at (x * height + y) * 6). A level's block then loads and saves as
// one copy; only the editor's whole-plane edits (Fill, ValidateMapping) step over the other layers.
//
// Queries clamp their cell into the grid; edits outside the grid are ignored. A level that has no
// planes yet (no ground) answers the null id everywhere.
//
// Stored form (the level file's chunk 23), little-endian:
//   u32 version (1), u32 layer count L (6 written),
//   L value tables: u32 entry count, then per entry u8 value and the UniqueId (stream form),
//   u32 width, u32 height,
//   the cells with x outermost, then y, each as L bytes: its value in layer 0 .. L - 1.
// A block with fewer layers replaces only their tables and bytes; layers past the sixth are passed
// over. Load reads the whole block before it changes anything, so a failed load leaves the layers
// as they were.

#include <array>
#include <cstdint>
#include <memory>

#include "core/Mem.h"
#include "core/UniqueId.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class GraphicsPrimitiveDrawer;
class LevelGround;
class Region;
class SectorDataManager;

class SectorLayers {
public:
    static constexpr int kNumLayers = 6;
    static constexpr uint32_t kVersion = 1;
    // The largest grid a stored block may describe (cells per plane): a 4096 x 4096 ground.
    static constexpr uint64_t kMaxCells = uint64_t(4096) * 4096;
    // Render's heights above the ground, checker and batches.
    static constexpr float kCellLift = 0.75f;
    static constexpr float kBorderLift = 0.755f;
    static constexpr int kCheckerCells = 5;
    static constexpr int kCellsPerFlush = 900;

    // A table entry: a plane value and the record it stands for.
    struct Entry {
        uint8_t value;
        UniqueId id;
    };

    SectorLayers() = default;
    virtual ~SectorLayers() = default;
    SectorLayers(const SectorLayers&) = delete;
    SectorLayers& operator=(const SectorLayers&) = delete;

    // Replaces the planes by six zeroed planes of width x height cells; the tables stay. A grid
    // with a side of 0, or of more than kMaxCells cells, leaves the layers without planes.
    void Initialize(uint32_t width, uint32_t height);
    // Frees the planes; the size becomes 0 x 0.
    void Destroy();
    // Back to a new set of layers: no planes, empty tables, nothing primed.
    void Clear();
    bool IsInitialized() const { return cells_ != nullptr; }
    uint32_t GetWidth() const { return width_; }
    uint32_t GetHeight() const { return height_; }

    // The record painted at the cell (clamped into the grid); the null id for value 0, a value
    // without a table entry, a bad layer or a level without planes.
    UniqueId GetTargetId(int layer, int x, int y) const;
    // The id of the layer's entry with the value; the null id when there is none.
    const UniqueId& GetUniqueIdForValue(int layer, uint8_t value) const;
    // The byte at the cell (clamped); 0 without planes or for a bad layer.
    uint8_t GetValue(int layer, int x, int y) const;
    const mem::vector<Entry>& GetTable(int layer) const { return tables_[static_cast<size_t>(layer)]; }

    // Chooses what Edit and Fill paint: the layer and the value of the id in its table, which is
    // added with the smallest free value when absent. False, with an error, for a bad layer or a
    // table already holding 255 styles (nothing is chosen then).
    bool PrimeForEdit(int layer, const UniqueId& id);
    // Paints the primed value (paint true) or clears the cell (false) in the primed layer.
    void Edit(int x, int y, bool paint);
    // Clears the cell (erase true) or paints the primed value into the given layer.
    void Edit(int layer, int x, int y, bool erase);
    // Paints the primed value into every cell of the primed layer.
    void Fill();

    // Drops every table entry whose record the manager no longer has, clearing the cells that
    // hold its value; the other entries keep their values and order.
    void ValidateMapping(const SectorDataManager& manager);

    // The ground the layers lie on (its heights) and its region (its world offset); either may be
    // null. The level keeps them set to its own.
    void SetHeightCallbacks(const LevelGround* ground, const Region* region);
    // The ground's height at (x, z) of the region; 0 without a ground (a grid's floor is 0).
    float GetGroundHeight(float x, float z) const;

    // Editor display of the manager's current layer through the overlay shader: every painted
    // cell a quad kCellLift above the ground at its corners, coloured in a checker of
    // kCheckerCells-cell blocks counted from the world origin (the record's alpha colour where
    // both block indices are even or both odd, its omega colour elsewhere); then white lines
    // kBorderLift above the ground between neighbouring cells of different values. The drawer
    // draws every kCellsPerFlush cells.
    void Render(GraphicsPrimitiveDrawer& drawer, const SectorDataManager& manager) const;

    void Save(BinaryWriter& writer) const;
    // False, with an error, for another version or a block that is cut or describes an oversized
    // grid; the layers are then unchanged.
    bool Load(BinaryReader& reader);

private:
    // The first byte (layer 0) of cell (x, y) in cells_, with x and y clamped into the grid.
    size_t ClampedIndex(int x, int y) const;
    size_t CellIndex(uint32_t x, uint32_t y) const { return (size_t(x) * height_ + y) * kNumLayers; }
    bool IsInside(int x, int y) const;
    // Replaces the planes by width x height cells, zeroed or left for the caller to fill.
    void Allocate(uint32_t width, uint32_t height, bool zeroed);

    int editLayer_ = 0;
    uint8_t editValue_ = 0;
    std::array<mem::vector<Entry>, kNumLayers> tables_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::unique_ptr<uint8_t[]> cells_;  // kNumLayers bytes per cell; null until initialised
    const LevelGround* ground_ = nullptr;
    const Region* region_ = nullptr;
};

}  // namespace GAME
