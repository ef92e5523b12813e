#include "pathing/FaceGrid.h"

#include <algorithm>
#include <cmath>

namespace GAME {

namespace {

// An item that would be filed into more cells than this goes to the wide list instead.
constexpr uint64_t kMaxCellsPerItem = 64;
// The grid never has more than this many cells per item (plus a few), whatever the spread.
constexpr double kCellsPerItem = 4.0;

}  // namespace

void FaceGrid::Clear() {
    columns_ = rows_ = 0;
    cellStart_.clear();
    cellItems_.clear();
    wideItems_.clear();
}

uint32_t FaceGrid::GetColumn(float x) const {
    const double column = std::floor((double(x) - originX_) / cellWidth_);
    return static_cast<uint32_t>(std::clamp(column, 0.0, double(columns_ - 1)));
}

uint32_t FaceGrid::GetRow(float z) const {
    const double row = std::floor((double(z) - originZ_) / cellDepth_);
    return static_cast<uint32_t>(std::clamp(row, 0.0, double(rows_ - 1)));
}

void FaceGrid::Build(const mem::vector<Bounds>& items) {
    Clear();
    if (items.empty()) return;

    Bounds all = items.front();
    double extentSum = 0.0;
    for (const Bounds& b : items) {
        all.minX = std::min(all.minX, b.minX);
        all.minZ = std::min(all.minZ, b.minZ);
        all.maxX = std::max(all.maxX, b.maxX);
        all.maxZ = std::max(all.maxZ, b.maxZ);
        extentSum += std::max(double(b.maxX) - b.minX, double(b.maxZ) - b.minZ);
    }
    const double width = double(all.maxX) - all.minX;
    const double depth = double(all.maxZ) - all.minZ;
    const double cellSize = std::max(extentSum / double(items.size()), 0.001);
    double columns = std::max(1.0, std::ceil(width / cellSize));
    double rows = std::max(1.0, std::ceil(depth / cellSize));
    const double maxCells = kCellsPerItem * double(items.size()) + 16.0;
    if (columns * rows > maxCells) {
        const double scale = std::sqrt(columns * rows / maxCells);
        columns = std::max(1.0, std::floor(columns / scale));
        rows = std::max(1.0, std::min(std::floor(rows / scale), std::floor(maxCells / columns)));
    }
    columns_ = static_cast<uint32_t>(columns);
    rows_ = static_cast<uint32_t>(rows);
    originX_ = all.minX;
    originZ_ = all.minZ;
    cellWidth_ = width > 0.0 ? static_cast<float>(width / columns) : 1.0f;
    cellDepth_ = depth > 0.0 ? static_cast<float>(depth / rows) : 1.0f;

    // Two passes over the items: count per cell, then fill, so the cells share one array.
    cellStart_.assign(size_t(columns_) * rows_ + 1, 0);
    mem::vector<uint8_t> wide(items.size(), 0);
    for (uint32_t item = 0; item < items.size(); ++item) {
        const Bounds& b = items[item];
        const uint32_t x0 = GetColumn(b.minX), x1 = GetColumn(b.maxX), z0 = GetRow(b.minZ), z1 = GetRow(b.maxZ);
        if (uint64_t(x1 - x0 + 1) * (z1 - z0 + 1) > kMaxCellsPerItem) {
            wide[item] = 1;
            wideItems_.push_back(item);
            continue;
        }
        for (uint32_t z = z0; z <= z1; ++z)
            for (uint32_t x = x0; x <= x1; ++x) ++cellStart_[z * columns_ + x + 1];
    }
    for (size_t cell = 1; cell < cellStart_.size(); ++cell) cellStart_[cell] += cellStart_[cell - 1];
    cellItems_.resize(cellStart_.back());
    mem::vector<uint32_t> next(cellStart_.begin(), cellStart_.end() - 1);
    for (uint32_t item = 0; item < items.size(); ++item) {
        if (wide[item]) continue;
        const Bounds& b = items[item];
        const uint32_t x0 = GetColumn(b.minX), x1 = GetColumn(b.maxX), z0 = GetRow(b.minZ), z1 = GetRow(b.maxZ);
        for (uint32_t z = z0; z <= z1; ++z)
            for (uint32_t x = x0; x <= x1; ++x) cellItems_[next[z * columns_ + x]++] = item;
    }
}

}  // namespace GAME
