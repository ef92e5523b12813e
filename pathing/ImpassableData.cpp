#include "pathing/ImpassableData.h"

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

void ImpassableData::Reset() {
    cellsX_ = cellsY_ = 0;
    cells_.clear();
    loadedOrPrimed_ = false;
}

bool ImpassableData::Load(BinaryReader& reader) {
    Reset();
    const uint32_t cellsX = reader.ReadUInt32();
    const uint32_t cellsY = reader.ReadUInt32();
    if (reader.Failed()) {
        Log(LogPriority::Error, "Impassable data: the grid size is missing");
        return false;
    }
    const uint64_t count = uint64_t(cellsX) * cellsY;
    if (count > reader.GetRemaining()) {
        Log(LogPriority::Error, "Impassable data: %u x %u cells cannot fit in %u bytes", cellsX, cellsY,
            reader.GetRemaining());
        return false;
    }
    mem::vector<uint8_t> cells(static_cast<size_t>(count));
    if (count > 0 && !reader.ReadBytes(cells.data(), static_cast<uint32_t>(count))) return false;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] > 1) {
            Log(LogPriority::Error, "Impassable data: cell %zu holds %u, not 0 or 1", i, unsigned(cells[i]));
            return false;
        }
    }
    cellsX_ = cellsX;
    cellsY_ = cellsY;
    cells_ = std::move(cells);
    loadedOrPrimed_ = true;
    return true;
}

void ImpassableData::Save(BinaryWriter& writer) const {
    writer.Write(cellsX_);
    writer.Write(cellsY_);
    if (!cells_.empty()) writer.Write(cells_.data(), static_cast<uint32_t>(cells_.size()));
}

void ImpassableData::Prime(uint32_t cellsX, uint32_t cellsY) {
    cellsX_ = cellsX;
    cellsY_ = cellsY;
    cells_.assign(size_t(cellsX) * cellsY, 0);
    loadedOrPrimed_ = true;
}

void ImpassableData::SetImpassable(uint32_t x, uint32_t y, bool impassable) {
    if (x < cellsX_ && y < cellsY_) cells_[size_t(y) * cellsX_ + x] = impassable ? 1 : 0;
}

uint8_t ImpassableData::GetImpassable(uint32_t x, uint32_t y) const {
    return x < cellsX_ && y < cellsY_ ? cells_[size_t(y) * cellsX_ + x] : 1;
}

}  // namespace GAME
