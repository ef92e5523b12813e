#include "world/WorldGrid.h"

#include <algorithm>
#include <cmath>

#include "world/Region.h"

namespace GAME {

bool WorldGrid::ByIndex::operator()(const Region* a, const Region* b) const { return a->GetIndex() < b->GetIndex(); }

std::unique_ptr<WorldGrid> WorldGrid::Create(const ABBox& worldBox) {
    const float width = 2.0f * worldBox.halfSize.x;
    const float depth = 2.0f * worldBox.halfSize.z;
    if (!(width > 0.0f) || !(depth > 0.0f) || !std::isfinite(width) || !std::isfinite(depth)) return nullptr;
    const float wanted = std::ceil(std::max(width, depth) / kCellSize);
    const unsigned cells = unsigned(std::clamp(wanted, 1.0f, float(kMaxCells)));
    const Vec3 low = worldBox.GetMin();
    return std::unique_ptr<WorldGrid>(new WorldGrid(low.x, low.z, width, depth, cells));
}

WorldGrid::WorldGrid(float x0, float z0, float width, float depth, unsigned cells)
    : x0_(x0), z0_(z0), width_(width), depth_(depth), cells_(cells), grid_(size_t(cells) * cells) {}

void WorldGrid::GetRange(float low, float length, float origin, float extent, unsigned& first,
                         unsigned& end) const {
    const float scale = float(cells_) / extent;
    const float from = std::floor((low - origin) * scale);
    const float to = std::ceil((low + length - origin) * scale);
    // Clamped as floats: a shape far outside the world must not overflow the conversion.
    first = unsigned(std::clamp(from, 0.0f, float(cells_)));
    end = unsigned(std::clamp(to, 0.0f, float(cells_)));
    // A point or a line on a cell boundary covers the cell that starts there (the last cell for
    // the far edge); candidates are tested exactly afterwards, so one cell too many is harmless.
    if (first == end && from == to) {
        first = std::min(first, cells_ - 1);
        end = first + 1;
    }
}

void WorldGrid::Insert(Region* region) {
    ABBox box = region->GetBoundingBox();
    const IntVec3& offset = region->GetOffsetFromWorld();
    box.Translate(Vec3(float(offset.x), float(offset.y), float(offset.z)));
    unsigned i0, i1, j0, j1;
    GetRange(box.centre.x - box.halfSize.x, 2.0f * box.halfSize.x, x0_, width_, i0, i1);
    GetRange(box.centre.z - box.halfSize.z, 2.0f * box.halfSize.z, z0_, depth_, j0, j1);
    for (unsigned j = j0; j < j1; ++j) {
        for (unsigned i = i0; i < i1; ++i) grid_[size_t(j) * cells_ + i].push_back(region);
    }
}

void WorldGrid::Query(float x, float z, float width, float depth, RegionSet& out) const {
    if (!std::isfinite(x) || !std::isfinite(z)) return;
    unsigned i0, i1, j0, j1;
    GetRange(x, width, x0_, width_, i0, i1);
    GetRange(z, depth, z0_, depth_, j0, j1);
    for (unsigned j = j0; j < j1; ++j) {
        for (unsigned i = i0; i < i1; ++i) {
            const mem::vector<Region*>& cell = grid_[size_t(j) * cells_ + i];
            out.insert(cell.begin(), cell.end());
        }
    }
}

}  // namespace GAME
