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

float IntersectRayTriangle(const Ray& ray, const Vec3& a, const Vec3& b, const Vec3& c) {
    // Möller-Trumbore without division until the end: the barycentric tests are made on values
    // scaled by the determinant, whose sign is folded in first, so nothing divides by zero.
    const Vec3 edge1 = b - a;
    const Vec3 edge2 = c - a;
    const Vec3 p = Cross(ray.direction, edge2);
    float det = Dot(edge1, p);
    const Vec3 s = ray.origin - a;
    const Vec3 q = Cross(s, edge1);
    float u = Dot(s, p);
    float v = Dot(ray.direction, q);
    float t = Dot(edge2, q);
    const float sign = det < 0.0f ? -1.0f : 1.0f;
    det *= sign;
    u *= sign;
    v *= sign;
    t *= sign;
    const bool hit = det > 0.0f && u >= 0.0f && v >= 0.0f && u + v <= det && t >= 0.0f;
    return hit ? t / det : Infinity;
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
