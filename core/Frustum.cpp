#include "core/Frustum.h"

#include "core/Coords.h"

namespace GAME {

Frustum Frustum::FromBox(const ABBox& box) {
    const Vec3 low = box.GetMin();
    const Vec3 high = box.GetMax();
    Frustum out;
    out.AddPlane(Plane(Vec3(1, 0, 0), -low.x));
    out.AddPlane(Plane(Vec3(-1, 0, 0), high.x));
    out.AddPlane(Plane(Vec3(0, 1, 0), -low.y));
    out.AddPlane(Plane(Vec3(0, -1, 0), high.y));
    out.AddPlane(Plane(Vec3(0, 0, 1), -low.z));
    out.AddPlane(Plane(Vec3(0, 0, -1), high.z));
    return out;
}

bool Frustum::AddPlane(const Plane& plane) {
    if (numPlanes >= kMaxPlanes) {
        return false;
    }
    planes[numPlanes++] = plane;
    return true;
}

Frustum Frustum::Expand(float distance) const {
    Frustum expanded = *this;
    for (uint32_t i = 0; i < numPlanes; ++i) {
        expanded.planes[i].d += distance;
    }
    return expanded;
}

void Frustum::Transform(const Coords& frame) {
    for (uint32_t i = 0; i < numPlanes; ++i) {
        planes[i] = frame.TransformPlane(planes[i]);
    }
}

void Frustum::Translate(const Vec3& offset) {
    for (uint32_t i = 0; i < numPlanes; ++i) {
        planes[i].d -= Dot(planes[i].normal, offset);
    }
}

int Frustum::GetCornerPoints(Vec3* points, int maxPoints, const Frustum& frustum) {
    constexpr float kInsideTolerance = -0.001f;
    // Below this triple product (of unit normals) the planes meet in a line or not at all.
    constexpr float kParallelLimit = 1e-6f;
    const uint32_t n = frustum.numPlanes;
    const Plane* planes = frustum.planes;
    int count = 0;
    for (uint32_t i = 0; i < n; ++i) {
        for (uint32_t j = i + 1; j < n; ++j) {
            const Vec3 ij = Cross(planes[i].normal, planes[j].normal);
            for (uint32_t k = j + 1; k < n; ++k) {
                if (count >= maxPoints) {
                    return count;
                }
                const float det = Dot(ij, planes[k].normal);
                if (std::fabs(det) < kParallelLimit) {
                    continue;
                }
                // Cramer's rule for n_i·p = -d_i, n_j·p = -d_j, n_k·p = -d_k.
                const Vec3 jk = Cross(planes[j].normal, planes[k].normal);
                const Vec3 ki = Cross(planes[k].normal, planes[i].normal);
                const Vec3 point = (jk * planes[i].d + ki * planes[j].d + ij * planes[k].d) * (-1.0f / det);
                bool inside = true;
                for (uint32_t p = 0; p < n && inside; ++p) {
                    inside = planes[p].GetDistance(point) >= kInsideTolerance;
                }
                if (inside) {
                    points[count++] = point;
                }
            }
        }
    }
    return count;
}

void Frustum::Extrude(Frustum& out, const Frustum& frustum, const Vec3& direction) {
    Frustum result;
    for (uint32_t i = 0; i < frustum.numPlanes; ++i) {
        if (Dot(frustum.planes[i].normal, direction) <= 0.0f) {
            result.AddPlane(frustum.planes[i]);
        }
    }
    constexpr int kMaxCorners = 256;
    Vec3 corners[kMaxCorners];
    const int numCorners = GetCornerPoints(corners, kMaxCorners, frustum);
    if (numCorners > 0) {
        Vec3 centre;
        float scale = 1.0f;
        for (int c = 0; c < numCorners; ++c) {
            centre += corners[c];
            scale = std::fmax(scale, std::fmax(std::fabs(corners[c].x), std::fmax(std::fabs(corners[c].y), std::fabs(corners[c].z))));
        }
        centre = centre * (1.0f / float(numCorners));
        const float onPlane = 1e-4f * scale;
        for (uint32_t i = 0; i < frustum.numPlanes; ++i) {
            const Plane& kept = frustum.planes[i];
            // A plane along direction is its own side plane at every one of its edges.
            if (Dot(kept.normal, direction) > -1e-6f) continue;
            for (uint32_t j = 0; j < frustum.numPlanes; ++j) {
                const Plane& dropped = frustum.planes[j];
                if (Dot(dropped.normal, direction) <= 0.0f) continue;
                // A real edge has two distinct corners on both planes.
                const Vec3* first = nullptr;
                const Vec3* second = nullptr;
                for (int c = 0; c < numCorners && !second; ++c) {
                    if (std::fabs(kept.GetDistance(corners[c])) > onPlane ||
                        std::fabs(dropped.GetDistance(corners[c])) > onPlane) {
                        continue;
                    }
                    if (!first) {
                        first = &corners[c];
                    } else if ((corners[c] - *first).LengthSquared() > onPlane * onPlane) {
                        second = &corners[c];
                    }
                }
                if (!second) continue;
                Vec3 normal = Cross(*second - *first, direction);
                const float length = normal.Length();
                if (!(length > 0.0f)) continue;  // the edge runs along direction: no new side
                normal = normal * (1.0f / length);
                Plane side(normal, -Dot(normal, *first));
                if (side.GetDistance(centre) < 0.0f) side = Plane(-normal, Dot(normal, *first));
                result.AddPlane(side);
            }
        }
    }
    out = result;
}

}  // namespace GAME
