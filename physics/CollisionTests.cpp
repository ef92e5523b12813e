#include "physics/CollisionTests.h"

#include "core/MathUtil.h"

#include <ode/collision.h>

#include <cmath>

namespace GAME {

namespace {

// A projection onto an axis.
struct Interval {
    float min;
    float max;
};

Interval ProjectTriangle(const Vec3 triangle[3], const Vec3& axis) {
    const float p0 = Dot(triangle[0], axis);
    const float p1 = Dot(triangle[1], axis);
    const float p2 = Dot(triangle[2], axis);
    return {Min(p0, Min(p1, p2)), Max(p0, Max(p1, p2))};
}

Interval ProjectBox(const OBBox& box, const Vec3& axis) {
    const Coords& f = box.coords;
    const float centre = Dot(f.origin, axis);
    const float radius = std::fabs(Dot(axis, f.xAxis)) * box.halfSize.x + std::fabs(Dot(axis, f.yAxis)) * box.halfSize.y +
                         std::fabs(Dot(axis, f.zAxis)) * box.halfSize.z;
    return {centre - radius, centre + radius};
}

// The way out found so far: push the box this far along this normal.
struct Overlap {
    Vec3 normal;
    float depth;
};

// One axis after the triangle's normal: false when it separates the two. Otherwise it takes over
// the way out when it is shorter and its direction has the triangle's front on its side (s), so
// that the box is never pushed through the triangle to its back. A zero axis projects both onto
// [0, 0] and has s = 0: it overlaps and never wins.
bool TestAxis(const Vec3& axis, const Vec3 triangle[3], const OBBox& box, const Vec3& frontNormal, Overlap& best) {
    const Interval t = ProjectTriangle(triangle, axis);
    const Interval b = ProjectBox(box, axis);
    if (t.max < b.min || b.max < t.min) return false;
    const float s = Dot(frontNormal, axis);
    if (b.max - t.min < best.depth && s < 0.0f) {
        best.depth = b.max - t.min;
        best.normal = -axis;
    }
    if (t.max - b.min < best.depth && s > 0.0f) {
        best.depth = t.max - b.min;
        best.normal = axis;
    }
    return true;
}

// A convex polygon being clipped; three corners and one more per plane fit with room to spare, and
// Add drops corners beyond the room should rounding ever make the polygon non-convex.
struct Polygon {
    static constexpr int kMaxCorners = 16;
    Vec3 corners[kMaxCorners];
    int count = 0;

    void Add(const Vec3& corner) {
        if (count < kMaxCorners) corners[count++] = corner;
    }
};

// Keeps the part where Dot(p, x) + e >= 0. The tolerance, relative to the plane's offset, leans
// towards keeping corners that lie on the plane.
void ClipByPlane(Polygon& polygon, const Vec3& p, float e) {
    const float tolerance = 0.0001f * std::fabs(e);
    float distance[Polygon::kMaxCorners];
    int inside = 0;
    for (int i = 0; i < polygon.count; ++i) {
        distance[i] = Dot(p, polygon.corners[i]) + e + tolerance;
        if (distance[i] >= 0.0f) ++inside;
    }
    if (inside == polygon.count) return;
    Polygon clipped;
    if (inside > 0) {
        for (int i = 0; i < polygon.count; ++i) {
            const int next = (i + 1) % polygon.count;
            const bool in = distance[i] >= 0.0f;
            if (in) clipped.Add(polygon.corners[i]);
            if (in != (distance[next] >= 0.0f)) {
                const float t = distance[i] / (distance[i] - distance[next]);
                clipped.Add(polygon.corners[i] + (polygon.corners[next] - polygon.corners[i]) * t);
            }
        }
    }
    polygon = clipped;
}

// Edges whose cross product is below this sine of the angle between them make no triangle.
constexpr float kDegenerateSine = 1e-6f;

}  // namespace

int CollideTriangleOBBox(const Vec3 triangle[3], const OBBox& box, CollisionContact* contacts, int max) {
    if (max <= 0) return 0;
    const Vec3 edges[3] = {triangle[1] - triangle[0], triangle[2] - triangle[0], triangle[2] - triangle[1]};
    const Vec3 cross = Cross(edges[0], edges[1]);
    if (cross.LengthSquared() <= kDegenerateSine * kDegenerateSine * edges[0].LengthSquared() * edges[1].LengthSquared()) {
        return 0;
    }

    // The triangle's own plane first: the box must reach it from both sides.
    const Vec3 n = cross.Unit();
    const float d = Dot(n, triangle[0]);
    const Interval onNormal = ProjectBox(box, n);
    if (onNormal.max < d || d < onNormal.min) return 0;
    Overlap best{n, d - onNormal.min};

    const Vec3 axes[3] = {box.coords.xAxis, box.coords.yAxis, box.coords.zAxis};
    for (const Vec3& axis : axes) {
        if (!TestAxis(axis, triangle, box, n, best)) return 0;
    }
    for (const Vec3& edge : edges) {
        for (const Vec3& axis : axes) {
            if (!TestAxis(Cross(edge, axis).Unit(), triangle, box, n, best)) return 0;
        }
    }

    // The part of the triangle inside the box: the +x, +y, +z faces, then the -x, -y, -z faces.
    Polygon polygon;
    for (int i = 0; i < 3; ++i) polygon.Add(triangle[i]);
    const float halfSizes[3] = {box.halfSize.x, box.halfSize.y, box.halfSize.z};
    for (int i = 0; i < 3; ++i) {
        ClipByPlane(polygon, -axes[i], Dot(axes[i], box.coords.origin) + halfSizes[i]);
    }
    for (int i = 0; i < 3; ++i) {
        ClipByPlane(polygon, axes[i], halfSizes[i] - Dot(axes[i], box.coords.origin));
    }

    const int count = polygon.count < max ? polygon.count : max;
    for (int i = 0; i < count; ++i) {
        contacts[i].position = polygon.corners[i];
        contacts[i].normal = best.normal;
        contacts[i].depth = best.depth;
        contacts[i].surface = PhysicsSurface::None;
    }
    return count;
}

namespace {

// The library's box form: centre, side lengths and the 3 x 4 row-major rotation whose columns are
// the box's axes.
void ToLibraryBox(const OBBox& box, dVector3 centre, dMatrix3 rotation, dVector3 sides) {
    const Coords& f = box.coords;
    const Vec3 columns[3] = {f.xAxis, f.yAxis, f.zAxis};
    for (int column = 0; column < 3; ++column) {
        rotation[0 * 4 + column] = columns[column].x;
        rotation[1 * 4 + column] = columns[column].y;
        rotation[2 * 4 + column] = columns[column].z;
    }
    rotation[3] = rotation[7] = rotation[11] = 0;
    centre[0] = f.origin.x;
    centre[1] = f.origin.y;
    centre[2] = f.origin.z;
    centre[3] = 0;
    sides[0] = 2 * box.halfSize.x;
    sides[1] = 2 * box.halfSize.y;
    sides[2] = 2 * box.halfSize.z;
    sides[3] = 0;
}

}  // namespace

int CollideOBBoxOBBox(const OBBox& a, const OBBox& b, CollisionContact* contacts, int max) {
    // dBoxBox is a plain function of its arguments: it needs neither the library's initialisation
    // nor a world or geometry objects. The routine writes at least one contact whatever limit it is given, so a caller's empty
    // array must not reach it; it never finds more than eight (two clipped quadrilaterals).
    if (max <= 0) return 0;
    constexpr int kMostContacts = 8;
    const int limit = max < kMostContacts ? max : kMostContacts;

    dVector3 centreA, sidesA, centreB, sidesB, normal;
    dMatrix3 rotationA, rotationB;
    ToLibraryBox(a, centreA, rotationA, sidesA);
    ToLibraryBox(b, centreB, rotationB, sidesB);
    dContactGeom found[kMostContacts];
    dReal depth = 0;
    int code = 0;
    int count = dBoxBox(centreA, rotationA, sidesA, centreB, rotationB, sidesB, normal, &depth, &code, limit, found,
                        sizeof(dContactGeom));
    if (count > limit) count = limit;

    // The routine's normal points from a towards b; contacts push a out of b.
    const Vec3 outOfB(float(-normal[0]), float(-normal[1]), float(-normal[2]));
    for (int i = 0; i < count; ++i) {
        contacts[i].position = Vec3(float(found[i].pos[0]), float(found[i].pos[1]), float(found[i].pos[2]));
        contacts[i].normal = outOfB;
        contacts[i].depth = float(found[i].depth);
        contacts[i].surface = PhysicsSurface::None;
    }
    return count;
}

}  // namespace GAME
