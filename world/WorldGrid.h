#pragma once
// WorldGrid: a square grid of N x N cells over the XZ rectangle of the world box, each cell listing
// the regions whose boxes (moved by their offsets into world space) cover it. Region queries
// collect the candidates of the cells a shape covers instead of testing every region.
//
// Cells are one per kCellSize units of the rectangle's longer side, at least one and at most
// kMaxCells per side: a world narrower than one cell still has one, and a huge world box read from
// a file cannot ask for billions of cells. Positions map to cells by their distance from the
// rectangle's minimum corner, wherever that corner lies. A rectangle of zero width or depth has no
// grid (the world scans its regions instead).

#include <memory>

#include "core/ABBox.h"
#include "core/Mem.h"

namespace GAME {

class Region;

class WorldGrid {
public:
    static constexpr float kCellSize = 128.0f;
    static constexpr unsigned kMaxCells = 1024;

    // Candidates are collected into a set ordered by the regions' world index, so each region is
    // reported once and the order is the same run after run.
    struct ByIndex {
        bool operator()(const Region* a, const Region* b) const;
    };
    using RegionSet = mem::set<Region*, ByIndex>;

    // Null when the world box has no area on XZ.
    static std::unique_ptr<WorldGrid> Create(const ABBox& worldBox);

    // Lists the region in every cell its world-space box covers.
    void Insert(Region* region);
    // Adds the regions of every cell the world-space rectangle (x, z, width, depth) covers. A
    // rectangle of no width or depth (a point, a line) still covers the cells it touches.
    void Query(float x, float z, float width, float depth, RegionSet& out) const;
    unsigned GetNumCells() const { return cells_; }

private:
    WorldGrid(float x0, float z0, float width, float depth, unsigned cells);
    // The half-open range of cell indices that [low, low + length] covers along one side.
    void GetRange(float low, float length, float origin, float extent, unsigned& first, unsigned& end) const;

    float x0_, z0_, width_, depth_;
    unsigned cells_;
    mem::vector<mem::vector<Region*>> grid_;  // row (z) * cells_ + column (x)
};

}  // namespace GAME
