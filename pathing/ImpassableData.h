#pragma once
// ImpassableData: the passability of a terrain level's cells, kept by the level file (chunk 3)
// apart from the ground, because the run-time ground block does not carry it. One byte per cell:
// 0 passable, 1 impassable.
//
// Stored form (little-endian, self-delimiting, so a reader consumes exactly its payload):
//   u32 cellsX, u32 cellsY, then cellsX * cellsY bytes of 0 or 1, row by row (index y * cellsX + x).
// Load refuses a block whose cells run past the data or hold any other byte value.

#include <cstdint>

#include "core/Mem.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;

class ImpassableData {
public:
    ImpassableData() = default;
    ~ImpassableData() = default;

    // Reads the block; on failure the error is logged, the data is left empty and not loaded.
    bool Load(BinaryReader& reader);
    void Save(BinaryWriter& writer) const;

    // Makes an all-passable grid of the given size, for data built in memory rather than loaded.
    void Prime(uint32_t cellsX, uint32_t cellsY);
    // Sets one cell (any nonzero value is impassable); cells outside the grid are ignored.
    void SetImpassable(uint32_t x, uint32_t y, bool impassable);

    // True after a successful Load or a Prime.
    bool HasBeenLoadedOrPrimed() const { return loadedOrPrimed_; }
    // The cell's byte; 1 (impassable) for any cell outside the grid, and before loading.
    uint8_t GetImpassable(uint32_t x, uint32_t y) const;

    uint32_t GetCellsX() const { return cellsX_; }
    uint32_t GetCellsY() const { return cellsY_; }

private:
    void Reset();

    uint32_t cellsX_ = 0;
    uint32_t cellsY_ = 0;
    mem::vector<uint8_t> cells_;
    bool loadedOrPrimed_ = false;
};

}  // namespace GAME
