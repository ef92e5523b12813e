#pragma once
// OBBox: an oriented box as half size and a rigid frame (the box centre is the frame's origin).
// Corners are numbered as for ABBox, along the frame's axes.

#include "core/Coords.h"
#include "core/Ray.h"
#include "core/Vec3.h"

namespace GAME {

struct ABBox;

struct OBBox {
    Vec3 halfSize;
    Coords coords;

    constexpr OBBox() = default;
    constexpr OBBox(const Vec3& halfSize_, const Coords& coords_) : halfSize(halfSize_), coords(coords_) {}
    // The same box with identity axes.
    explicit OBBox(const ABBox& box);

    constexpr bool operator==(const OBBox&) const = default;

    void GetCorners(Vec3 corners[8]) const;

    // Moves the box by a frame: its frame becomes frame * coords.
    void Transform(const Coords& frame) { coords = frame * coords; }

    // Slab test in box space: the t at which the ray enters the box, 0 when its origin is inside,
    // +infinity on a miss. Distances are those of the given ray because the frame is rigid.
    float GetIntersection(const Ray& ray) const;
};

}  // namespace GAME
