#include "core/Frustum.h"

#include "core/Coords.h"

namespace GAME {

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

}  // namespace GAME
