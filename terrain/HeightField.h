#pragma once
// HeightField: the ground cells of a terrain as triangles, for the ray and collision walks both
// terrain kinds run over a rectangle of cells. It is a view over the kind's own arrays: one f32
// height per sample (index z * X + x) and one flag byte per sample, flagStride bytes apart, whose
// hiddenMask bits equal hiddenValue when the sample is hidden (cut out under a tile). The editable
// terrain keeps a hidden byte (1 hidden), the run-time terrain a visible bit in each sample's layer
// mask (0 hidden); the walks are the same.
//
// Cell (x, z) is split into two triangles with corners p(i, j) = (i, height(i, j), j):
//   A: p(x, z), p(x, z + 1), p(x + 1, z + 1)    B: p(x + 1, z + 1), p(x + 1, z), p(x, z)
// Both wind counter-clockwise seen from above, so their fronts face up: rays hit them from above
// only, and collision contacts push boxes up out of the ground.
//
// Skip rule: rays and collisions pass through a cell whose first corner (x, z) is hidden - the
// cells the ground does not draw and the plugs close. (Skipping every cell with any hidden corner
// would let rays fall through drawn ground along the low sides of every hole, where no plug is.)
// A ray that meets the ground exactly on an edge between faces (a cell's diagonal, a cell side,
// the grid's rim) may find its hit point rounded to just outside every face there; a point that
// close to a face counts as a hit when the rectangle has no exact one, so no ray falls through.
// Cell ranges are inclusive and clamped to the grid here, so a caller's rectangle never reads
// outside the arrays.

#include <cstdint>

#include "core/Intersection.h"
#include "core/OBBox.h"
#include "core/Ray.h"
#include "core/Vec3.h"

namespace GAME {

class CollisionBox;
struct CollisionContact;

class HeightField {
public:
    // Contacts one cell's two triangles may give a CollisionBox before it keeps its best.
    static constexpr int kCellContacts = 12;

    HeightField() = default;
    HeightField(uint32_t numXSamples, uint32_t numZSamples, const float* heights, const uint8_t* flags,
                uint32_t flagStride, uint8_t hiddenMask, uint8_t hiddenValue)
        : numX_(numXSamples), numZ_(numZSamples), heights_(heights), flags_(flags), flagStride_(flagStride),
          hiddenMask_(hiddenMask), hiddenValue_(hiddenValue) {}

    uint32_t GetNumXSamples() const { return numX_; }
    uint32_t GetNumZSamples() const { return numZ_; }
    // Unchecked: x < X, z < Y.
    float GetHeight(uint32_t x, uint32_t z) const { return heights_[size_t(z) * numX_ + x]; }
    bool IsHidden(uint32_t x, uint32_t z) const {
        return (flags_[(size_t(z) * numX_ + x) * flagStride_] & hiddenMask_) == hiddenValue_;
    }
    Vec3 GetPoint(uint32_t x, uint32_t z) const { return Vec3(float(x), GetHeight(x, z), float(z)); }
    // The two triangles of a cell, A then B.
    void GetCellTriangles(uint32_t x, uint32_t z, Vec3 a[3], Vec3 b[3]) const;

    // The nearest hit of the ray with the cells of [x0, x1] x [z0, z1]: A before B, row by row,
    // each replacing hit.distance (only the distance) when strictly nearer, with cellX and cellZ
    // set to the cell hit. The caller starts hit.distance (at +infinity for a fresh query).
    void GetIntersection(const Ray& ray, int x0, int z0, int x1, int z1, Intersection& hit, int& cellX,
                         int& cellZ) const;
    // The box's contacts with the cells' triangles, A then B, written to contacts with the room
    // left; returns their number (at most max), as soon as the array is full.
    int FindCollisions(const OBBox& box, int x0, int z0, int x1, int z1, CollisionContact* contacts, int max) const;
    // The same walk for a collision box: each cell's contacts are offered to the box, which keeps
    // its best.
    void FindCollisions(CollisionBox& box, int x0, int z0, int x1, int z1) const;

private:
    // Clamps an inclusive cell range to the grid; false when nothing is left.
    bool ClampCells(int& x0, int& z0, int& x1, int& z1) const;

    uint32_t numX_ = 0;
    uint32_t numZ_ = 0;
    const float* heights_ = nullptr;
    const uint8_t* flags_ = nullptr;
    uint32_t flagStride_ = 1;
    uint8_t hiddenMask_ = 0;
    uint8_t hiddenValue_ = 1;  // with mask 0 nothing is hidden
};

}  // namespace GAME
