#include "pathing/SnapGrid.h"

#include <algorithm>
#include <cmath>

namespace GAME {

namespace {

// Cells are never narrower than this, so a tiny tolerance does not spread points over so many cells
// that their indices overflow; a wider cell only holds more candidates.
constexpr double kMinCellSize = 0.001;
// Cell indices are clamped here: coordinates this far out share the edge cells.
constexpr double kMaxCellIndex = 4.0e15;

}  // namespace

SnapGrid::SnapGrid(double tolerance) { SetTolerance(tolerance); }

void SnapGrid::SetTolerance(double tolerance) {
    tolerance_ = std::isfinite(tolerance) && tolerance > 0.0 ? tolerance : 0.0;
    cellSize_ = std::max(tolerance_, kMinCellSize);
    cells_.clear();
    for (uint32_t i = 0; i < points_.size(); ++i) File(i);
}

SnapGrid::Cell SnapGrid::GetCell(double x, double y, double z) const {
    const auto index = [this](double value) {
        if (std::isnan(value)) return int64_t{0};
        return static_cast<int64_t>(std::clamp(std::floor(value / cellSize_), -kMaxCellIndex, kMaxCellIndex));
    };
    return Cell{index(x), index(y), index(z)};
}

uint64_t SnapGrid::Hash(const Cell& cell) {
    // Large odd multipliers spread neighbouring cells over the table.
    return static_cast<uint64_t>(cell.x) * 0x9e3779b97f4a7c15ull ^ static_cast<uint64_t>(cell.y) * 0xc2b2ae3d27d4eb4full ^
           static_cast<uint64_t>(cell.z) * 0x165667b19e3779f9ull;
}

void SnapGrid::File(uint32_t index) {
    const Vec3& p = points_[index];
    cells_.emplace(Hash(GetCell(p.x, p.y, p.z)), index);
}

uint32_t SnapGrid::Find(const Vec3& point) const {
    const Cell low = GetCell(point.x - tolerance_, point.y - tolerance_, point.z - tolerance_);
    const Cell high = GetCell(point.x + tolerance_, point.y + tolerance_, point.z + tolerance_);
    uint32_t best = kNotFound;
    double bestDistanceSquared = tolerance_ * tolerance_;
    for (int64_t x = low.x; x <= high.x; ++x) {
        for (int64_t y = low.y; y <= high.y; ++y) {
            for (int64_t z = low.z; z <= high.z; ++z) {
                const auto [first, last] = cells_.equal_range(Hash(Cell{x, y, z}));
                for (auto it = first; it != last; ++it) {
                    const Vec3& p = points_[it->second];
                    const double dx = double(p.x) - point.x, dy = double(p.y) - point.y, dz = double(p.z) - point.z;
                    const double distanceSquared = dx * dx + dy * dy + dz * dz;
                    if (distanceSquared < bestDistanceSquared ||
                        (distanceSquared == bestDistanceSquared && (best == kNotFound || it->second < best))) {
                        best = it->second;
                        bestDistanceSquared = distanceSquared;
                    }
                }
            }
        }
    }
    return best;
}

uint32_t SnapGrid::FindOrAdd(const Vec3& point) {
    const uint32_t found = Find(point);
    if (found != kNotFound) return found;
    points_.push_back(point);
    File(GetNumPoints() - 1);
    return GetNumPoints() - 1;
}

}  // namespace GAME
