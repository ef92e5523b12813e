#include "render/DirtyRect.h"

#include <algorithm>
#include <climits>

namespace GAME {

void DirtyRectSet::AddRect(const DirtyRect& rect) { AddRect(rect, 0, GetNumRects() - 1); }

void DirtyRectSet::AddRect(const DirtyRect& rect, int first, int last) {
    if (rect.width <= 0 || rect.height <= 0) return;
    for (int i = first; i <= last; ++i) {
        // A copy: adding the parts may move the vector.
        const DirtyRect e = rects_[size_t(i)];
        if (!DirtyRect::Overlap(rect, e)) continue;
        const int top = std::max(rect.top, e.top);
        const int bottom = std::min(rect.Bottom(), e.Bottom());
        if (rect.left < e.left) AddRect(DirtyRect(rect.left, top, e.left - rect.left, bottom - top), i + 1, last);
        if (rect.Right() > e.Right()) AddRect(DirtyRect(e.Right(), top, rect.Right() - e.Right(), bottom - top), i + 1, last);
        if (rect.top < e.top) AddRect(DirtyRect(rect.left, rect.top, rect.width, e.top - rect.top), i + 1, last);
        if (rect.Bottom() > e.Bottom())
            AddRect(DirtyRect(rect.left, e.Bottom(), rect.width, rect.Bottom() - e.Bottom()), i + 1, last);
        return;
    }
    rects_.push_back(rect);
}

DirtyRect DirtyRectSet::GetBoundingRect() const {
    if (rects_.empty()) return DirtyRect(INT_MAX, INT_MAX, 1, 1);
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (const DirtyRect& rect : rects_) {
        left = std::min(left, rect.left);
        top = std::min(top, rect.top);
        right = std::max(right, rect.Right());
        bottom = std::max(bottom, rect.Bottom());
    }
    return DirtyRect(left, top, right - left, bottom - top);
}

}  // namespace GAME
