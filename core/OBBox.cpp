#include "core/OBBox.h"

#include "core/ABBox.h"

namespace GAME {

OBBox::OBBox(const ABBox& box) : halfSize(box.halfSize), coords(Coords::Translation(box.centre)) {}

void OBBox::GetCorners(Vec3 corners[8]) const {
    const Vec3 x = coords.xAxis * halfSize.x;
    const Vec3 y = coords.yAxis * halfSize.y;
    const Vec3 z = coords.zAxis * halfSize.z;
    for (int i = 0; i < 8; ++i) {
        corners[i] = coords.origin + ((i & 1) ? x : -x) + ((i & 2) ? y : -y) + ((i & 4) ? z : -z);
    }
}

float OBBox::GetIntersection(const Ray& ray) const {
    const Coords toBox = coords.Inverse();
    const Ray local(toBox.TransformPoint(ray.origin), toBox.TransformVector(ray.direction));
    return ABBox(Vec3(), halfSize).GetIntersection(local);
}

}  // namespace GAME
