#include "core/IntersectionTests.h"

#include <algorithm>

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

bool TestIntersection(const Frustum& frustum, const ABBox& box) {
    if (!frustum.TestABBox(box)) {
        return false;
    }
    // The shapes meet when part of the box's surface lies inside the frustum, or when the frustum
    // lies wholly inside the box. The first is found by clipping each face of the box by every
    // plane; a clip adds at most one corner to the polygon.
    constexpr float tolerance = 0.001f;
    constexpr uint32_t kMaxCorners = 4 + Frustum::kMaxPlanes;
    static constexpr int faces[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1},
                                        {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
    Vec3 corners[8];
    box.GetCorners(corners);
    Vec3 polygon[kMaxCorners];
    Vec3 clipped[kMaxCorners];
    const uint32_t numPlanes = frustum.GetNumPlanes();
    for (const auto& face : faces) {
        uint32_t count = 4;
        for (int i = 0; i < 4; ++i) {
            polygon[i] = corners[face[i]];
        }
        for (uint32_t p = 0; p < numPlanes && count > 0; ++p) {
            const Plane& plane = frustum.GetPlane(p);
            uint32_t kept = 0;
            for (uint32_t i = 0; i < count; ++i) {
                const Vec3& a = polygon[i];
                const Vec3& b = polygon[(i + 1) % count];
                const float da = plane.GetDistance(a) + tolerance;
                const float db = plane.GetDistance(b) + tolerance;
                if (da >= 0.0f) {
                    clipped[kept++] = a;
                }
                if ((da >= 0.0f) != (db >= 0.0f)) {
                    clipped[kept++] = a + (b - a) * (da / (da - db));
                }
            }
            count = kept;
            std::copy(clipped, clipped + kept, polygon);
        }
        if (count > 0) {
            return true;
        }
    }
    // No face reaches inside. A frustum wholly inside the box is bounded, so it has corners, and
    // all of them lie in the box.
    Vec3 frustumCorner;
    if (Frustum::GetCornerPoints(&frustumCorner, 1, frustum) == 0) {
        return false;
    }
    const Vec3 gap = frustumCorner - box.centre;
    return std::fabs(gap.x) <= box.halfSize.x + tolerance && std::fabs(gap.y) <= box.halfSize.y + tolerance &&
           std::fabs(gap.z) <= box.halfSize.z + tolerance;
}

bool TestIntersection(const Frustum& frustum, const OBBox& box) {
    Frustum local = frustum;
    local.Transform(box.coords.Inverse());
    return TestIntersection(local, ABBox(Vec3(), box.halfSize));
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
