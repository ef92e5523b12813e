#include "core/IntersectionTests.h"

namespace GAME {

namespace {

// Box b against box a, in a's frame: a is centred at the origin along the unit axes, b's centre is
// t and its axis j is column j of r (r[i][j] = a's axis i · b's axis j). Touching counts.
bool OverlapOnAllAxes(const float ha[3], const float hb[3], const float r[3][3], const float t[3]) {
    // A near-zero cross product of two almost parallel edges would otherwise give an axis made of
    // rounding noise; the tolerance makes such an axis report overlap.
    constexpr float kTolerance = 1e-6f;
    float absR[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            absR[i][j] = std::fabs(r[i][j]) + kTolerance;
        }
    }
    // a's face normals.
    for (int i = 0; i < 3; ++i) {
        const float rb = hb[0] * absR[i][0] + hb[1] * absR[i][1] + hb[2] * absR[i][2];
        if (std::fabs(t[i]) > ha[i] + rb) return false;
    }
    // b's face normals.
    for (int j = 0; j < 3; ++j) {
        const float ra = ha[0] * absR[0][j] + ha[1] * absR[1][j] + ha[2] * absR[2][j];
        const float distance = t[0] * r[0][j] + t[1] * r[1][j] + t[2] * r[2][j];
        if (std::fabs(distance) > ra + hb[j]) return false;
    }
    // a's axis i crossed with b's axis j; i1, i2 and j1, j2 are the other two axes of each box.
    for (int i = 0; i < 3; ++i) {
        const int i1 = (i + 1) % 3;
        const int i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            const int j1 = (j + 1) % 3;
            const int j2 = (j + 2) % 3;
            const float ra = ha[i1] * absR[i2][j] + ha[i2] * absR[i1][j];
            const float rb = hb[j1] * absR[i][j2] + hb[j2] * absR[i][j1];
            const float distance = t[i2] * r[i1][j] - t[i1] * r[i2][j];
            if (std::fabs(distance) > ra + rb) return false;
        }
    }
    return true;
}

}  // namespace

bool TestIntersection(const ABBox& a, const OBBox& b) {
    // a's axes are the world axes, so b's axes need no projection.
    const Coords& f = b.coords;
    const float ha[3] = {a.halfSize.x, a.halfSize.y, a.halfSize.z};
    const float hb[3] = {b.halfSize.x, b.halfSize.y, b.halfSize.z};
    const float r[3][3] = {{f.xAxis.x, f.yAxis.x, f.zAxis.x},
                           {f.xAxis.y, f.yAxis.y, f.zAxis.y},
                           {f.xAxis.z, f.yAxis.z, f.zAxis.z}};
    const Vec3 d = f.origin - a.centre;
    const float t[3] = {d.x, d.y, d.z};
    return OverlapOnAllAxes(ha, hb, r, t);
}

bool TestIntersection(const OBBox& a, const OBBox& b) {
    const Vec3 axesA[3] = {a.coords.xAxis, a.coords.yAxis, a.coords.zAxis};
    const Vec3 axesB[3] = {b.coords.xAxis, b.coords.yAxis, b.coords.zAxis};
    const float ha[3] = {a.halfSize.x, a.halfSize.y, a.halfSize.z};
    const float hb[3] = {b.halfSize.x, b.halfSize.y, b.halfSize.z};
    float r[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r[i][j] = Dot(axesA[i], axesB[j]);
        }
    }
    const Vec3 d = b.coords.origin - a.coords.origin;
    const float t[3] = {Dot(d, axesA[0]), Dot(d, axesA[1]), Dot(d, axesA[2])};
    return OverlapOnAllAxes(ha, hb, r, t);
}

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
