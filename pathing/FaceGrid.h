#pragma once
// FaceGrid: a uniform grid over the XZ plane listing, for each cell, the items whose XZ bounds
// overlap it. The path mesh finds the triangle under a point with it, and the mesh builder the
// obstacle faces near a walkable face.
//
// The cell size follows the items' average extent and the cell count stays within a few times the
// item count, so building is linear. Items wider than many cells are kept in one list that every
// query visits rather than being filed into all of those cells.

#include <cstdint>

#include "core/Mem.h"

namespace GAME {

class FaceGrid {
public:
    // An item's extent on the XZ plane; the coordinates must be finite.
    struct Bounds {
        float minX = 0.0f;
        float minZ = 0.0f;
        float maxX = 0.0f;
        float maxZ = 0.0f;
    };

    // Files items 0 .. n - 1 by their bounds, replacing what the grid held.
    void Build(const mem::vector<Bounds>& items);
    void Clear();

    // Calls visit(item) for every item filed in a cell that the bounds touch, and for every wide
    // item. An item filed in several of those cells is visited once per cell.
    template <class Visit>
    void ForEach(const Bounds& bounds, Visit&& visit) const {
        for (uint32_t item : wideItems_) visit(item);
        if (cellStart_.empty()) return;
        const uint32_t x0 = GetColumn(bounds.minX), x1 = GetColumn(bounds.maxX);
        const uint32_t z0 = GetRow(bounds.minZ), z1 = GetRow(bounds.maxZ);
        for (uint32_t z = z0; z <= z1; ++z) {
            for (uint32_t x = x0; x <= x1; ++x) {
                const uint32_t cell = z * columns_ + x;
                for (uint32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) visit(cellItems_[i]);
            }
        }
    }

private:
    uint32_t GetColumn(float x) const;
    uint32_t GetRow(float z) const;

    float originX_ = 0.0f;
    float originZ_ = 0.0f;
    float cellWidth_ = 1.0f;
    float cellDepth_ = 1.0f;
    uint32_t columns_ = 0;
    uint32_t rows_ = 0;
    mem::vector<uint32_t> cellStart_;  // columns x rows + 1 offsets into cellItems_, row by row
    mem::vector<uint32_t> cellItems_;
    mem::vector<uint32_t> wideItems_;  // items spanning more than kMaxCellsPerItem cells
};

}  // namespace GAME
