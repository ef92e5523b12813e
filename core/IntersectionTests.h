#pragma once
// Overlap tests between the bounding volumes, and the ray-triangle distance.
//
// Frustum tests are plane tests: quick and conservative (a shape beyond the frustum's corner, but
// not wholly behind any one plane, passes). Every test counts touching as overlapping.

#include "core/ABBox.h"
#include "core/Frustum.h"
#include "core/OBBox.h"
#include "core/Ray.h"
#include "core/Sphere.h"
#include "core/Vec3.h"

#include <cmath>

namespace GAME {

inline bool TestIntersection(const Sphere& sphere, const Frustum& frustum) { return frustum.TestSphere(sphere); }

inline bool TestIntersection(const ABBox& box, const Frustum& frustum) { return frustum.TestABBox(box); }

// The plane test in the box's own space; each plane is carried into it on the fly rather than
// copying the frustum.
bool TestIntersection(const OBBox& box, const Frustum& frustum);

// |centre difference| <= the sum of the half sizes on every axis.
inline bool TestIntersection(const ABBox& a, const ABBox& b) {
    const Vec3 gap = a.centre - b.centre;
    const Vec3 reach = a.halfSize + b.halfSize;
    return std::fabs(gap.x) <= reach.x && std::fabs(gap.y) <= reach.y && std::fabs(gap.z) <= reach.z;
}

// Exact separating-axis tests of two boxes over the 15 axes (three face normals of each box and
// the nine edge products). A small tolerance on the rotation terms keeps near-parallel edges, whose
// products are almost zero, from separating boxes that overlap. The physics mesh tests its tree
// nodes' boxes with the first form.
bool TestIntersection(const ABBox& a, const OBBox& b);
bool TestIntersection(const OBBox& a, const OBBox& b);

// Exact tests of a frustum against a box: true only when some point lies inside both (within the
// 0.001 tolerance of Frustum::GetCornerPoints). The renderers and the world run the quick plane
// test first and confirm with these. A frustum without planes meets nothing.
bool TestIntersection(const Frustum& frustum, const ABBox& box);
// The frustum is carried into the box's space (the box frame is rigid).
bool TestIntersection(const Frustum& frustum, const OBBox& box);

// The squared distance from the sphere's centre to the box against the squared radius.
inline bool TestIntersection(const ABBox& box, const Sphere& sphere) {
    const Vec3 gap = sphere.centre - box.centre;
    const float dx = Max(std::fabs(gap.x) - box.halfSize.x, 0.0f);
    const float dy = Max(std::fabs(gap.y) - box.halfSize.y, 0.0f);
    const float dz = Max(std::fabs(gap.z) - box.halfSize.z, 0.0f);
    return dx * dx + dy * dy + dz * dz <= sphere.radius * sphere.radius;
}

// The t at which the ray meets the triangle (either side, edges included), +infinity on a miss,
// behind the origin, or for a ray parallel to the triangle or a degenerate triangle.
inline float IntersectRayTriangle(const Ray& ray, const Vec3& a, const Vec3& b, const Vec3& c) {
    // Möller-Trumbore with the division left to the end: the barycentric tests are made on values
    // scaled by the determinant, whose sign is folded in first, so nothing divides by zero. Most
    // triangles a ray is tested against are missed, so each coordinate rejects as soon as it can.
    const Vec3 edge1 = b - a;
    const Vec3 edge2 = c - a;
    const Vec3 p = Cross(ray.direction, edge2);
    const float signedDet = Dot(edge1, p);
    const float sign = signedDet < 0.0f ? -1.0f : 1.0f;
    const float det = signedDet * sign;
    const Vec3 s = ray.origin - a;
    const float u = Dot(s, p) * sign;
    if (!(det > 0.0f && u >= 0.0f && u <= det)) {
        return Infinity;
    }
    const Vec3 q = Cross(s, edge1);
    const float v = Dot(ray.direction, q) * sign;
    if (!(v >= 0.0f && u + v <= det)) {
        return Infinity;
    }
    const float t = Dot(edge2, q) * sign;
    return t >= 0.0f ? t / det : Infinity;
}
// The same; on a hit also writes the point (origin + t * direction), otherwise leaves it alone.
float IntersectRayTriangle(const Vec3& origin, const Vec3& direction, const Vec3& a, const Vec3& b, const Vec3& c,
                           Vec3& hitPoint);

}  // namespace GAME
