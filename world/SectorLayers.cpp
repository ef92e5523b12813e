#include "world/SectorLayers.h"

#include <algorithm>
#include <cstring>

#include "core/IntVec3.h"
#include "core/Log.h"
#include "engine/Engine.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "world/LevelGround.h"
#include "world/Region.h"
#include "world/SectorDataManager.h"

namespace GAME {

namespace {

const UniqueId kNullId;

bool IsLayer(int layer) { return layer >= 0 && layer < SectorLayers::kNumLayers; }

}  // namespace

void SectorLayers::Initialize(uint32_t width, uint32_t height) { Allocate(width, height, true); }

void SectorLayers::Allocate(uint32_t width, uint32_t height, bool zeroed) {
    Destroy();
    // No cells is no grid: a side of 0 beside a huge one passes every count of cells, and the
    // writer's column of the huge side would not fit in memory.
    if (width == 0 || height == 0 || uint64_t(width) * height > kMaxCells) return;
    const size_t bytes = size_t(width) * height * kNumLayers;
    cells_ = zeroed ? std::make_unique<uint8_t[]>(bytes) : std::make_unique_for_overwrite<uint8_t[]>(bytes);
    width_ = width;
    height_ = height;
}

void SectorLayers::Destroy() {
    cells_.reset();
    width_ = 0;
    height_ = 0;
}

void SectorLayers::Clear() {
    Destroy();
    for (mem::vector<Entry>& table : tables_) table.clear();
    editLayer_ = 0;
    editValue_ = 0;
}

bool SectorLayers::IsInside(int x, int y) const {
    return x >= 0 && y >= 0 && uint32_t(x) < width_ && uint32_t(y) < height_;
}

size_t SectorLayers::ClampedIndex(int x, int y) const {
    const uint32_t cx = uint32_t(std::clamp<int64_t>(x, 0, int64_t(width_) - 1));
    const uint32_t cy = uint32_t(std::clamp<int64_t>(y, 0, int64_t(height_) - 1));
    return CellIndex(cx, cy);
}

uint8_t SectorLayers::GetValue(int layer, int x, int y) const {
    // A grid of no cells has nothing to clamp into.
    if (!IsLayer(layer) || !IsInitialized() || width_ == 0 || height_ == 0) return 0;
    return cells_[ClampedIndex(x, y) + size_t(layer)];
}

UniqueId SectorLayers::GetTargetId(int layer, int x, int y) const {
    const uint8_t value = GetValue(layer, x, y);
    return value == 0 ? kNullId : GetUniqueIdForValue(layer, value);
}

const UniqueId& SectorLayers::GetUniqueIdForValue(int layer, uint8_t value) const {
    if (!IsLayer(layer)) return kNullId;
    for (const Entry& entry : tables_[size_t(layer)])
        if (entry.value == value) return entry.id;
    return kNullId;
}

bool SectorLayers::PrimeForEdit(int layer, const UniqueId& id) {
    if (!IsLayer(layer)) {
        Log(LogPriority::Error, "Sector layer %d does not exist", layer);
        return false;
    }
    mem::vector<Entry>& table = tables_[size_t(layer)];
    const auto found = std::find_if(table.begin(), table.end(), [&id](const Entry& entry) { return entry.id == id; });
    if (found != table.end()) {
        editLayer_ = layer;
        editValue_ = found->value;
        return true;
    }
    bool used[256] = {};
    for (const Entry& entry : table) used[entry.value] = true;
    int value = 1;
    while (value < 256 && used[value]) ++value;
    if (value == 256) {
        Log(LogPriority::Error, "Sector layer %d already holds 255 styles", layer);
        return false;
    }
    table.push_back({uint8_t(value), id});
    editLayer_ = layer;
    editValue_ = uint8_t(value);
    return true;
}

void SectorLayers::Edit(int x, int y, bool paint) { Edit(editLayer_, x, y, !paint); }

void SectorLayers::Edit(int layer, int x, int y, bool erase) {
    if (!IsLayer(layer) || !IsInitialized() || !IsInside(x, y)) return;
    cells_[CellIndex(uint32_t(x), uint32_t(y)) + size_t(layer)] = erase ? 0 : editValue_;
}

void SectorLayers::Fill() {
    if (!IsInitialized()) return;
    const size_t end = size_t(width_) * height_ * kNumLayers;
    for (size_t i = size_t(editLayer_); i < end; i += kNumLayers) cells_[i] = editValue_;
}

void SectorLayers::ValidateMapping(const SectorDataManager& manager) {
    const size_t end = IsInitialized() ? size_t(width_) * height_ * kNumLayers : 0;
    for (int layer = 0; layer < kNumLayers; ++layer) {
        std::erase_if(tables_[size_t(layer)], [&](const Entry& entry) {
            if (manager.IsValidSectorValue(layer, entry.id)) return false;
            for (size_t i = size_t(layer); i < end; i += kNumLayers)
                if (cells_[i] == entry.value) cells_[i] = 0;
            return true;
        });
    }
}

void SectorLayers::SetHeightCallbacks(const LevelGround* ground, const Region* region) {
    ground_ = ground;
    region_ = region;
}

float SectorLayers::GetGroundHeight(float x, float z) const {
    return ground_ ? ground_->GetHeightInterpolated(x, z) : 0.0f;
}

void SectorLayers::Render(GraphicsPrimitiveDrawer& drawer, const SectorDataManager& manager) const {
    const int layer = manager.GetCurrentLayer();
    if (!IsLayer(layer) || !IsInitialized()) return;
    if (const GraphicsEngine* graphics = GetEngineGraphics()) drawer.SetShader(graphics->GetOverlayShader());
    drawer.SetRegion(region_);
    const IntVec3 offset = region_ ? region_->GetOffsetFromWorld() : IntVec3();
    const auto at = [this](uint32_t x, uint32_t y, float lift) {
        return Vec3(float(x), GetGroundHeight(float(x), float(y)) + lift, float(y));
    };
    int drawn = 0;
    for (const Entry& entry : tables_[size_t(layer)]) {
        const Color alpha = manager.GetRenderColorAlpha(layer, entry.id);
        const Color omega = manager.GetRenderColorOmega(layer, entry.id);
        for (uint32_t x = 0; x < width_; ++x) {
            for (uint32_t y = 0; y < height_; ++y) {
                if (cells_[CellIndex(x, y) + size_t(layer)] != entry.value) continue;
                const int blockX = (int(x) + offset.x) / kCheckerCells;
                const int blockY = (int(y) + offset.z) / kCheckerCells;
                drawer.SetColor(((blockX ^ blockY) & 1) == 0 ? alpha : omega);
                const Vec3 corners[4] = {at(x, y, kCellLift), at(x + 1, y, kCellLift), at(x + 1, y + 1, kCellLift),
                                         at(x, y + 1, kCellLift)};
                drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Triangles);
                for (const int corner : {0, 1, 2, 0, 2, 3}) drawer.SetVertex(corners[corner]);
                drawer.End();
                if (++drawn % kCellsPerFlush == 0) drawer.Flush();
            }
        }
    }
    drawer.SetColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
    const auto line = [&](uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
        drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Lines);
        drawer.SetVertex(at(x0, y0, kBorderLift));
        drawer.SetVertex(at(x1, y1, kBorderLift));
        drawer.End();
    };
    for (uint32_t x = 0; x < width_; ++x) {
        for (uint32_t y = 0; y < height_; ++y) {
            const uint8_t value = cells_[CellIndex(x, y) + size_t(layer)];
            if (x + 1 < width_ && cells_[CellIndex(x + 1, y) + size_t(layer)] != value) line(x + 1, y, x + 1, y + 1);
            if (y + 1 < height_ && cells_[CellIndex(x, y + 1) + size_t(layer)] != value) line(x, y + 1, x + 1, y + 1);
        }
    }
}

void SectorLayers::Save(BinaryWriter& writer) const {
    writer.Write(kVersion);
    writer.Write(uint32_t(kNumLayers));
    for (const mem::vector<Entry>& table : tables_) {
        writer.Write(uint32_t(table.size()));
        for (const Entry& entry : table) {
            writer.Write(entry.value);
            writer.Write(entry.id);
        }
    }
    const uint32_t width = IsInitialized() ? width_ : 0;
    const uint32_t height = IsInitialized() ? height_ : 0;
    writer.Write(width);
    writer.Write(height);
    // At most kMaxCells cells of six bytes: within a u32 count.
    if (IsInitialized()) writer.Write(cells_.get(), uint32_t(size_t(width) * height * kNumLayers));
}

bool SectorLayers::Load(BinaryReader& reader) {
    const uint32_t version = reader.ReadUInt32();
    if (reader.Failed() || version != kVersion) {
        Log(LogPriority::Error, "Sector layers: version %u is not supported", version);
        return false;
    }
    const uint32_t layers = reader.ReadUInt32();
    std::array<mem::vector<Entry>, kNumLayers> tables;
    constexpr uint32_t kEntrySize = 1 + 16;
    for (uint32_t layer = 0; layer < layers && !reader.Failed(); ++layer) {
        const uint32_t count = reader.ReadUInt32();
        if (uint64_t(count) * kEntrySize > reader.GetRemaining()) {
            Log(LogPriority::Error, "Sector layers: table %u of %u entries runs past the block", layer, count);
            return false;
        }
        if (layer >= kNumLayers) {
            reader.Skip(count * kEntrySize);
            continue;
        }
        tables[layer].reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t value = reader.ReadUInt8();
            tables[layer].push_back({value, reader.ReadUniqueId()});
        }
    }
    const uint32_t width = reader.ReadUInt32();
    const uint32_t height = reader.ReadUInt32();
    const uint64_t cells = uint64_t(width) * height;
    if (reader.Failed() || cells > kMaxCells || cells * layers > reader.GetRemaining()) {
        Log(LogPriority::Error, "Sector layers: the block is cut short or its %u x %u grid is too large", width, height);
        return false;
    }

    const uint32_t kept = std::min<uint32_t>(layers, kNumLayers);
    for (uint32_t layer = 0; layer < kept; ++layer) tables_[layer] = std::move(tables[layer]);
    // A block of every layer overwrites each byte; with fewer, the rest are zeroed when made anew.
    if (!IsInitialized() || width != width_ || height != height_) Allocate(width, height, kept < kNumLayers);
    const unsigned char* block = reader.GetCursor();
    if (layers == kNumLayers) {
        if (cells != 0) std::memcpy(cells_.get(), block, size_t(cells) * kNumLayers);
    } else {
        for (size_t cell = 0; cell < cells; ++cell)
            std::memcpy(&cells_[cell * kNumLayers], block + cell * layers, kept);
    }
    reader.Skip(uint32_t(cells * layers));
    return true;
}

}  // namespace GAME
