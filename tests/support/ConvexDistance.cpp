#include "support/ConvexDistance.h"

#include <algorithm>

namespace GAME::test {

namespace {

template <class ProjectA, class ProjectB>
float AlternatingDistance(ProjectA projectA, ProjectB projectB, Vec3 start, int iterations) {
    Vec3 onB = projectB(start);
    Vec3 onA = projectA(onB);
    for (int i = 0; i < iterations; ++i) {
        onB = projectB(onA);
        onA = projectA(onB);
    }
    return (onA - onB).Length();
}

}  // namespace

Vec3 ClosestPointOnBox(const OBBox& box, const Vec3& p) {
    const Coords& f = box.coords;
    const Vec3 d = p - f.origin;
    const float x = std::clamp(Dot(d, f.xAxis), -box.halfSize.x, box.halfSize.x);
    const float y = std::clamp(Dot(d, f.yAxis), -box.halfSize.y, box.halfSize.y);
    const float z = std::clamp(Dot(d, f.zAxis), -box.halfSize.z, box.halfSize.z);
    return f.origin + f.xAxis * x + f.yAxis * y + f.zAxis * z;
}

Vec3 ClosestPointOnTriangle(const Vec3 triangle[3], const Vec3& p) {
    // By Voronoi regions: the corners, then the edges, then the face.
    const Vec3& a = triangle[0];
    const Vec3& b = triangle[1];
    const Vec3& c = triangle[2];
    const Vec3 ab = b - a, ac = c - a, ap = p - a;
    const float d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return a;
    const Vec3 bp = p - b;
    const float d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return b;
    const float vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return a + ab * (d1 / (d1 - d3));
    const Vec3 cp = p - c;
    const float d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return c;
    const float vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return a + ac * (d2 / (d2 - d6));
    const float va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    const float denominator = 1.0f / (va + vb + vc);
    return a + ab * (vb * denominator) + ac * (vc * denominator);
}

float DistanceBetween(const OBBox& a, const OBBox& b, int iterations) {
    return AlternatingDistance([&](const Vec3& p) { return ClosestPointOnBox(a, p); },
                               [&](const Vec3& p) { return ClosestPointOnBox(b, p); }, a.coords.origin, iterations);
}

float DistanceBetween(const Vec3 triangle[3], const OBBox& box, int iterations) {
    return AlternatingDistance([&](const Vec3& p) { return ClosestPointOnTriangle(triangle, p); },
                               [&](const Vec3& p) { return ClosestPointOnBox(box, p); }, box.coords.origin, iterations);
}

}  // namespace GAME::test
