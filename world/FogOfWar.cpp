#include "world/FogOfWar.h"

#include <algorithm>
#include <cmath>

#include "core/Crc32.h"
#include "core/Log.h"
#include "core/MathUtil.h"
#include "engine/Engine.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "render/GraphicsEngine.h"
#include "render/RenderDevice.h"

namespace GAME {

namespace {

constexpr float kRadiusSquared = FogOfWar::kRadius * FogOfWar::kRadius;

RenderDevice* GetDevice() {
    const GraphicsEngine* graphics = GetEngineGraphics();
    return graphics != nullptr ? graphics->GetRenderDevice() : nullptr;
}

// A stamp's first and last cell along an axis: one cell beyond the rounded reach on each side,
// clamped into [0, size]; positions far outside the grid never reach an int out of range.
void GetAxisRange(float position, float scale, int size, int& first, int& end) {
    const float centre = position * scale;
    const float reach = FogOfWar::kRadius * scale;
    first = std::clamp(TruncateClamped(std::round(centre - reach), -2, size + 2) - 1, 0, size);
    end = std::clamp(TruncateClamped(std::round(centre + reach), -2, size + 2) + 1, 0, size);
}

int SizeFor(int units) {
    int size = FogOfWar::kMinSize;
    while (size < units && size < FogOfWar::kMaxSize) size *= 2;
    return size;
}

bool IsValidSize(int32_t size) {
    return size >= FogOfWar::kMinSize && size <= FogOfWar::kMaxSize && IsPowerOfTwo(unsigned(size));
}

bool IsValidScale(float scale) { return std::isfinite(scale) && scale > 0.0f; }

}  // namespace

FogOfWar::~FogOfWar() { Destroy(); }

bool FogOfWar::Initialize(int width, int depth) {
    Destroy();
    // A region without extent still gets a grid, so that the scales stay finite.
    width = std::max(width, 1);
    depth = std::max(depth, 1);
    xSize_ = SizeFor(width);
    ySize_ = SizeFor(depth);
    xScale_ = float(xSize_) / float(width);
    yScale_ = float(ySize_) / float(depth);
    const size_t count = size_t(xSize_) * size_t(ySize_);
    cells_ = std::make_unique<unsigned char[]>(count);
    std::fill_n(cells_.get(), count, uint8_t(255));
    return CreateTexture();
}

void FogOfWar::Destroy() {
    cells_.reset();
    DestroyTexture();
    xSize_ = 0;
    ySize_ = 0;
}

bool FogOfWar::operator==(const FogOfWar& other) const {
    return xSize_ == other.xSize_ && ySize_ == other.ySize_ && xScale_ == other.xScale_ && yScale_ == other.yScale_;
}

// ---------------------------------------------------------------------------------------------
// Queries and stamps
// ---------------------------------------------------------------------------------------------

bool FogOfWar::IsInFog(const Vec3& position) const {
    if (!cells_) return true;
    const float column = position.x * xScale_;
    const float row = position.z * yScale_;
    // Each axis on its own: a column past the edge must not answer from the next row.
    if (!(column > -1.0f && column < float(xSize_) && row > -1.0f && row < float(ySize_))) return true;
    return GetCell(int(column), int(row)) > kFogThreshold;
}

FogOfWar::CellRange FogOfWar::GetStampRange(const Vec3& position) const {
    CellRange range{};
    GetAxisRange(position.x, xScale_, xSize_, range.x0, range.x1);
    GetAxisRange(position.z, yScale_, ySize_, range.z0, range.z1);
    return range;
}

template <class Visit>
void FogOfWar::ForEachCellInReach(const Vec3& position, Visit&& visit) const {
    const CellRange range = GetStampRange(position);
    for (int z = range.z0; z < range.z1; ++z) {
        const float dz = float(z) / yScale_ - position.z;
        if (dz * dz >= kRadiusSquared) continue;
        for (int x = range.x0; x < range.x1; ++x) {
            const float dx = float(x) / xScale_ - position.x;
            const float d2 = dx * dx + dz * dz;
            if (d2 < kRadiusSquared) visit(x, z, d2);
        }
    }
}

void FogOfWar::AddVisibility(const Vec3& position) {
    if (!cells_) return;
    ForEachCellInReach(position, [&](int x, int z, float d2) {
        // Clear within half the radius (v < 127), then linear in the distance up to 255.
        const int v = int(std::lround(std::sqrt(d2) * 8.5f));
        const int value = v < 127 ? 0 : 2 * v - 254;
        if (value < GetCell(x, z)) SetCell(x, z, uint8_t(value));
    });
}

void StampFogPair(FogOfWar* a, FogOfWar* b, const Vec3& position, int) {
    if (a == nullptr || b == nullptr || !a->cells_ || !b->cells_) return;
    if (!(*a == *b)) {
        a->AddVisibility(position);
        b->AddVisibility(position);
        return;
    }
    a->ForEachCellInReach(position, [&](int x, int z, float d2) {
        const uint8_t cellA = a->GetCell(x, z);
        const uint8_t cellB = b->GetCell(x, z);
        if (cellA == 0 && cellB == 0) return;
        // Clear within sqrt(450) units, then linear in the squared distance up to 255.
        const int value = d2 < 450.0f ? 0 : int(std::lround((d2 - 450.0f) * 0.56666666f));
        if (value < cellA) a->SetCell(x, z, uint8_t(value));
        if (value < cellB) b->SetCell(x, z, uint8_t(value));
    });
}

// ---------------------------------------------------------------------------------------------
// The file
// ---------------------------------------------------------------------------------------------

void FogOfWar::Save(BinaryWriter& writer) const {
    if (!cells_) return;
    writer.Write(kNoChecksum);
    writer.Write(int(xSize_));
    writer.Write(int(ySize_));
    writer.Write(xScale_);
    writer.Write(yScale_);
    for (int x = 0; x < xSize_; ++x) {
        for (int row = 0; row < ySize_; ++row) writer.Write(cells_[size_t(row) * size_t(xSize_) + size_t(x)]);
    }
}

bool FogOfWar::Write(const std::string& path) const {
    if (!cells_) return false;
    FileSystem* files = gEngine != nullptr ? gEngine->GetFileSystem() : nullptr;
    if (files == nullptr) {
        Log(LogPriority::Error, "Could not write %s: no file system", path.c_str());
        return false;
    }
    BinaryWriter writer(kHeaderSize + uint32_t(xSize_) * uint32_t(ySize_));
    Save(writer);
    return !writer.Failed() && files->SaveFile(path, writer.GetBuffer(), writer.GetPosition());
}

void FogOfWar::Read(const std::string& path) {
    FileSystem* files = gEngine != nullptr ? gEngine->GetFileSystem() : nullptr;
    File* file = files != nullptr ? files->OpenFile(path, FileMode::Read) : nullptr;
    if (file == nullptr) return;
    if (const auto* bytes = static_cast<const unsigned char*>(file->Lock())) {
        Read(bytes, file->GetLength(), path.c_str());
        file->Unlock();
    }
    files->CloseFile(file);
}

bool FogOfWar::Read(const unsigned char* bytes, uint32_t size, const char* source) {
    if (bytes == nullptr || size < kHeaderSize) {
        Log(LogPriority::Warning, "%s: the fog of war is cut short; a fresh fog is used", source);
        return false;
    }
    BinaryReader reader(bytes, size);
    const uint32_t checksum = reader.ReadUInt32();
    if (checksum != kNoChecksum && checksum != Crc32(bytes + 4, int(size - 4))) {
        Log(LogPriority::Warning, "%s: the fog of war fails its checksum; a fresh fog is used", source);
        return false;
    }
    const int32_t xSize = reader.ReadInt32();
    const int32_t ySize = reader.ReadInt32();
    const float xScale = reader.ReadFloat();
    const float yScale = reader.ReadFloat();
    if (!IsValidSize(xSize) || !IsValidSize(ySize) || !IsValidScale(xScale) || !IsValidScale(yScale) ||
        uint64_t(size) != uint64_t(xSize) * uint64_t(ySize) + kHeaderSize) {
        Log(LogPriority::Warning, "%s: the fog of war has a bad size or scale; a fresh fog is used", source);
        return false;
    }
    auto cells = std::make_unique<unsigned char[]>(size_t(xSize) * size_t(ySize));
    const unsigned char* in = reader.GetCursor();
    for (int x = 0; x < xSize; ++x) {
        for (int row = 0; row < ySize; ++row) cells[size_t(row) * size_t(xSize) + size_t(x)] = *in++;
    }
    cells_ = std::move(cells);
    xSize_ = xSize;
    ySize_ = ySize;
    xScale_ = xScale;
    yScale_ = yScale;
    CreateTexture();
    return true;
}

// ---------------------------------------------------------------------------------------------
// The texture
// ---------------------------------------------------------------------------------------------

bool FogOfWar::CreateTexture() {
    DestroyTexture();
    RenderDevice* device = GetDevice();
    if (device == nullptr || !cells_) return false;
    texture_ = device->CreateTexture(xSize_, ySize_, cells_.get(), 0, RenderDevice::kTextureUpdatable);
    textureStale_ = false;
    return texture_ != nullptr;
}

void FogOfWar::DestroyTexture() {
    if (texture_ == nullptr) return;
    if (RenderDevice* device = GetDevice()) device->DestroyTexture(texture_);
    texture_ = nullptr;
}

void FogOfWar::UpdateTexture() {
    if (!textureStale_ || !cells_ || texture_ == nullptr) return;
    texture_->UpdatePixels(cells_.get());
    textureStale_ = false;
}

void FogOfWar::PostDeviceReset() {
    if (cells_) CreateTexture();
}

}  // namespace GAME
