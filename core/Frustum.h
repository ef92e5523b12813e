#pragma once
// Frustum: a convex volume bounded by up to 64 inward-facing planes (inside: Dot(n, p) + d >= 0),
// kept in the order they were added. View frusta, shadow and region queries, portal clipping.
//
// A frustum without planes is empty: every test against it answers false, as the region and
// entity queries expect of a viewer that sees nothing.

#include "core/ABBox.h"
#include "core/Plane.h"
#include "core/Sphere.h"
#include "core/Vec3.h"

#include <cmath>
#include <cstdint>

namespace GAME {

struct Coords;

class Frustum {
public:
    static constexpr uint32_t kMaxPlanes = 64;

    // The box's six inward-facing planes, in this order: +x through its low x face, -x through its
    // high x face, then +y, -y, +z, -z likewise.
    static Frustum FromBox(const ABBox& box);

    // Appends a plane; false (and nothing added) when kMaxPlanes are already held.
    bool AddPlane(const Plane& plane);

    uint32_t GetNumPlanes() const { return numPlanes; }
    const Plane& GetPlane(uint32_t index) const { return planes[index]; }

    // A copy with every plane pushed outward by distance (a negative distance pulls them in).
    Frustum Expand(float distance) const;
    // Moves every plane by a rigid frame / by an offset.
    void Transform(const Coords& frame);
    void Translate(const Vec3& offset);

    // True when the sphere reaches inside every plane, each plane first pushed outward by
    // extraDistance. Conservative near the edges: a sphere beyond two planes' corner may pass.
    bool TestSphere(const Sphere& sphere, float extraDistance = 0.0f) const {
        const float reach = -(sphere.radius + extraDistance);
        for (uint32_t i = 0; i < numPlanes; ++i) {
            if (planes[i].GetDistance(sphere.centre) < reach) {
                return false;
            }
        }
        return numPlanes != 0;
    }

    // Plane test of a box: false when the box lies wholly behind one plane. Conservative like the
    // sphere test.
    bool TestABBox(const ABBox& box) const {
        for (uint32_t i = 0; i < numPlanes; ++i) {
            const Plane& p = planes[i];
            const float extent = std::fabs(p.normal.x) * box.halfSize.x + std::fabs(p.normal.y) * box.halfSize.y +
                                 std::fabs(p.normal.z) * box.halfSize.z;
            if (p.GetDistance(box.centre) < -extent) {
                return false;
            }
        }
        return numPlanes != 0;
    }

    // Writes the points where three planes meet and which lie inside all planes (within 0.001),
    // at most maxPoints of them, and returns their count. A corner where more than three planes
    // meet is found once per triple.
    static int GetCornerPoints(Vec3* points, int maxPoints, const Frustum& frustum);

    // The frustum swept without end against direction: every point p - t * direction (t >= 0)
    // for p inside it, the volume that holds whatever a light shining along direction could cast
    // a shadow into the frustum from. The planes facing away from direction stay (those facing
    // along it would cut the sweep off); each edge between a kept and a dropped plane (the
    // silhouette seen along direction) adds the plane through that edge parallel to direction.
    // Edges are found from the corner points, so an unbounded frustum (with no corners along some
    // edge) keeps only its facing-away planes: a larger volume, never a smaller one. Planes past
    // kMaxPlanes are dropped, which again only enlarges the volume.
    static void Extrude(Frustum& out, const Frustum& frustum, const Vec3& direction);

private:
    uint32_t numPlanes = 0;
    Plane planes[kMaxPlanes];
};

}  // namespace GAME
