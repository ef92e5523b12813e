#include "core/IntersectionTests.h"

namespace GAME {

bool TestIntersection(const OBBox& box, const Frustum& frustum) {
    // In box space a plane's normal is (n·x, n·y, n·z) and its distance n·origin + d: the box's
    // extent along it is then the usual sum of |normal components| times the half sizes.
    const Coords& f = box.coords;
    const Vec3& h = box.halfSize;
    const uint32_t count = frustum.GetNumPlanes();
    for (uint32_t i = 0; i < count; ++i) {
        const Plane& p = frustum.GetPlane(i);
        const float extent = std::fabs(Dot(p.normal, f.xAxis)) * h.x + std::fabs(Dot(p.normal, f.yAxis)) * h.y +
                             std::fabs(Dot(p.normal, f.zAxis)) * h.z;
        if (p.GetDistance(f.origin) < -extent) {
            return false;
        }
    }
    return count != 0;
}

float IntersectRayTriangle(const Vec3& origin, const Vec3& direction, const Vec3& a, const Vec3& b, const Vec3& c,
                           Vec3& hitPoint) {
    const Ray ray(origin, direction);
    const float t = IntersectRayTriangle(ray, a, b, c);
    if (t < Infinity) {
        hitPoint = ray.GetPoint(t);
    }
    return t;
}

}  // namespace GAME
