#pragma once
// SnapGrid: finds stored points within a tolerance of a new one, so that points that should be the
// same (an outline's shared corners, a mesh's welded vertices) get one index.
//
// Points live in a hash grid whose cells are at least the tolerance wide: the neighbours of a point
// lie in the at most 2 x 2 x 2 cells its tolerance box touches, so a look-up costs the same however
// many points are stored. Points are numbered 0, 1, 2, ... in the order they were added.

#include <cstdint>
#include <unordered_map>

#include "core/Mem.h"
#include "core/Vec3.h"

namespace GAME {

class SnapGrid {
public:
    static constexpr uint32_t kNotFound = 0xffffffffu;

    explicit SnapGrid(double tolerance = 0.0);

    // Points within this straight-line distance (the tolerance itself included) are the same
    // point; 0 merges exact copies only. A negative or non-finite tolerance counts as 0. Stored
    // points are kept and re-filed.
    void SetTolerance(double tolerance);
    double GetTolerance() const { return tolerance_; }

    // The index of the nearest stored point within the tolerance, kNotFound when there is none.
    uint32_t Find(const Vec3& point) const;
    // Find, or store the point under the next index.
    uint32_t FindOrAdd(const Vec3& point);

    uint32_t GetNumPoints() const { return static_cast<uint32_t>(points_.size()); }
    const Vec3& GetPoint(uint32_t index) const { return points_[index]; }

private:
    struct Cell {
        int64_t x, y, z;
    };
    Cell GetCell(double x, double y, double z) const;
    static uint64_t Hash(const Cell& cell);
    void File(uint32_t index);

    double tolerance_ = 0.0;
    double cellSize_ = 1.0;
    mem::vector<Vec3> points_;
    // Cell hash -> indices of the points filed there; cells that share a hash only share candidates.
    std::unordered_multimap<uint64_t, uint32_t> cells_;
};

}  // namespace GAME
