#include "core/ABBox.h"

#include "core/Coords.h"
#include "core/OBBox.h"

namespace GAME {

ABBox::ABBox(const OBBox& box) : centre(box.coords.origin) {
    const Coords& f = box.coords;
    const Vec3& h = box.halfSize;
    halfSize = Vec3(std::fabs(f.xAxis.x) * h.x + std::fabs(f.yAxis.x) * h.y + std::fabs(f.zAxis.x) * h.z,
                    std::fabs(f.xAxis.y) * h.x + std::fabs(f.yAxis.y) * h.y + std::fabs(f.zAxis.y) * h.z,
                    std::fabs(f.xAxis.z) * h.x + std::fabs(f.yAxis.z) * h.y + std::fabs(f.zAxis.z) * h.z);
}

void ABBox::GetCorners(Vec3 corners[8]) const {
    for (int i = 0; i < 8; ++i) {
        corners[i] = centre + Vec3((i & 1) ? halfSize.x : -halfSize.x, (i & 2) ? halfSize.y : -halfSize.y,
                                   (i & 4) ? halfSize.z : -halfSize.z);
    }
}

ABBox ABBox::Union(const ABBox& a, const ABBox& b) {
    const Vec3 min = Min(a.GetMin(), b.GetMin());
    const Vec3 max = Max(a.GetMax(), b.GetMax());
    return ABBox((min + max) * 0.5f, (max - min) * 0.5f);
}

OBBox ABBox::Transform(const Coords& frame, const ABBox& box) {
    return OBBox(box.halfSize, Coords(frame.xAxis, frame.yAxis, frame.zAxis, frame.TransformPoint(box.centre)));
}

}  // namespace GAME
