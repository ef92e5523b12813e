#pragma once
// FogOfWar: what the players have uncovered of one region's ground. A grid of bytes, 255 where
// nothing has been seen and 0 where the ground is fully uncovered, mirrored in a one-byte texture
// that the renderers and the mini-map draw with. Each axis holds a power of two from 16 to 512
// cells; the scales are cells per unit along x and z. A position falls in column x * xScale and
// world row z * yScale; rows are stored far edge first (stored row = ySize - 1 - world row) to
// match the texture's top-down rows.
//
// Uncovering stamps a disc of 30 units: AddVisibility clears the cells within about 15 units and
// rises linearly with distance to 255 at 30; StampFogPair stamps a region's two grids together,
// with a profile linear in the squared distance (clear within sqrt(450) units). A stamp never
// makes a cell more hidden than it was. A position outside the grid counts as fogged.
//
// Stored form (".fow"), little-endian:
//   u32 checksum (1: none; else the Crc32 of every byte after it; written as 1),
//   i32 x size, i32 y size, f32 x scale, f32 y scale,
//   the cells column by column, each column in stored-row order.
// A cut, corrupt or mis-sized file (or one whose scales are not finite and positive) is refused
// with a warning and leaves the fog as it was; Write saves atomically through the engine's file
// system.
//
// Threads: main thread, except that a grid handed to the fog-of-war saver (FOWSavingThread) is
// written and destroyed there, and nothing else holds it meanwhile.

#include <cstdint>
#include <memory>
#include <string>

#include "core/Vec3.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class RenderTexture;

class FogOfWar {
public:
    static constexpr int kMinSize = 16;
    static constexpr int kMaxSize = 512;
    // Units around a position that a stamp uncovers.
    static constexpr float kRadius = 30.0f;
    // Cells above this value are in fog.
    static constexpr uint8_t kFogThreshold = 150;
    // The checksum word of a file that carries none.
    static constexpr uint32_t kNoChecksum = 1;
    static constexpr uint32_t kHeaderSize = 20;

    FogOfWar() = default;
    virtual ~FogOfWar();
    FogOfWar(const FogOfWar&) = delete;
    FogOfWar& operator=(const FogOfWar&) = delete;

    // A grid over width x depth units (each at least 1): every cell hidden. True when the
    // texture was made (false without a render device; the cells are there either way).
    bool Initialize(int width, int depth);
    // Frees the cells and the texture; the sizes become 0.
    void Destroy();

    int GetXSize() const { return xSize_; }
    int GetYSize() const { return ySize_; }
    float GetXScale() const { return xScale_; }
    float GetYScale() const { return yScale_; }
    unsigned char* GetData() { return cells_.get(); }
    const unsigned char* GetData() const { return cells_.get(); }
    RenderTexture* GetTexture() const { return texture_; }
    // The cell of a column and world row (both inside the grid).
    uint8_t GetCell(int column, int row) const { return cells_[Index(column, row)]; }
    // Marks the texture stale (UpdateTexture loads it again).
    void SetCell(int column, int row, uint8_t value) {
        cells_[Index(column, row)] = value;
        textureStale_ = true;
    }
    // Same sizes and scales (the cells are not compared).
    bool operator==(const FogOfWar& other) const;

    bool IsInFog(const Vec3& position) const;
    void AddVisibility(const Vec3& position);

    // The stored form (checksum word 1); nothing for an empty grid.
    void Save(BinaryWriter& writer) const;
    // Stores the grid atomically; false (logged) when it could not be written or is empty.
    bool Write(const std::string& path) const;
    // Reads the file through the engine's file system; a missing file changes nothing silently.
    void Read(const std::string& path);
    // The file's bytes; false (with a warning naming the source) when they are refused, and then
    // the fog is unchanged.
    bool Read(const unsigned char* bytes, uint32_t size, const char* source);

    // Reloads the texture from the cells when they changed since it was last loaded (the world
    // asks once a frame).
    void UpdateTexture();
    bool IsTextureStale() const { return textureStale_; }
    // The texture goes before a device reset and is made again from the cells after it.
    void PreDeviceReset() { DestroyTexture(); }
    void PostDeviceReset();

private:
    // The cells a stamp around the position may touch: [x0, x1) columns and [z0, z1) world rows.
    struct CellRange {
        int x0, x1, z0, z1;
    };
    friend void StampFogPair(FogOfWar* a, FogOfWar* b, const Vec3& position, int);

    size_t Index(int column, int row) const { return size_t(ySize_ - row - 1) * size_t(xSize_) + size_t(column); }
    CellRange GetStampRange(const Vec3& position) const;
    // Calls visit(column, world row, squared distance) for every cell within kRadius of the
    // position (the distance from the cell's corner).
    template <class Visit>
    void ForEachCellInReach(const Vec3& position, Visit&& visit) const;
    bool CreateTexture();
    void DestroyTexture();

    RenderTexture* texture_ = nullptr;
    std::unique_ptr<unsigned char[]> cells_;
    int xSize_ = 0;
    int ySize_ = 0;
    float xScale_ = 0.0f;
    float yScale_ = 0.0f;
    bool textureStale_ = false;  // cells changed since the texture was loaded
};

// Uncovers around the position in a region's two grids at once: with equal grids one pass with
// the squared-distance profile, else AddVisibility on each. Nothing when either has no cells.
// The integer is accepted as callers pass it and has no effect.
void StampFogPair(FogOfWar* a, FogOfWar* b, const Vec3& position, int);

}  // namespace GAME
