#pragma once
// DirtyRect and DirtyRectSet: rectangles of a grid (screen pixels, terrain samples or cells, as
// their user says) that must be redrawn or rebuilt. A rectangle covers left <= x < left + width,
// top <= y < top + height. A set keeps its rectangles pairwise disjoint: a new rectangle is cut
// into the parts that no member covers yet, so walking the set visits each grid point once, and
// nothing is ever merged.

#include <cstddef>
#include <cstdint>

#include "core/Mem.h"

namespace GAME {

struct DirtyRect {
    int left;
    int top;
    int width;
    int height;

    // Left for the caller to assign.
    DirtyRect() = default;
    constexpr DirtyRect(int left_, int top_, int width_, int height_)
        : left(left_), top(top_), width(width_), height(height_) {}

    constexpr int Right() const { return left + width; }
    constexpr int Bottom() const { return top + height; }

    // True unless one lies wholly beyond the other; rectangles whose edges touch overlap.
    static bool Overlap(const DirtyRect& a, const DirtyRect& b) {
        return !(a.Right() < b.left || b.Right() < a.left || a.Bottom() < b.top || b.Bottom() < a.top);
    }
};

class DirtyRectSet {
public:
    int GetNumRects() const { return int(rects_.size()); }
    const DirtyRect& GetRect(int i) const { return rects_[size_t(i)]; }
    void Clear() { rects_.clear(); }
    // Adds the part of the rectangle no member covers yet; an empty rectangle is ignored.
    void AddRect(const DirtyRect& rect);
    // The smallest rectangle around every member; (INT_MAX, INT_MAX, 1, 1) for an empty set.
    DirtyRect GetBoundingRect() const;

private:
    // Adds rect against the members first..last (inclusive) of the set as it was before the add.
    void AddRect(const DirtyRect& rect, int first, int last);

    mem::vector<DirtyRect> rects_;
};

}  // namespace GAME
