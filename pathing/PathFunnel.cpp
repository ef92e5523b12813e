#include "pathing/PathFunnel.h"

#include <cmath>

#include "pathing/PathMesh.h"

namespace GAME {

namespace {

// Positive when b lies to the left of the line from o through a (x to the right, z up).
float Turn(const Vec3& o, const Vec3& a, const Vec3& b) {
    return (a.x - o.x) * (b.z - o.z) - (a.z - o.z) * (b.x - o.x);
}

bool SameSpot(const Vec3& a, const Vec3& b) {
    const float dx = a.x - b.x, dz = a.z - b.z;
    return dx * dx + dz * dz < 1.0e-12f;
}

struct Gate {
    Vec3 left, right;  // the ends of an edge crossed, as seen walking forward
};

// True when the point lies on the gate's edge (ends included). A funnel whose apex lies on its
// next gate would open to a straight angle, so such gates are left out: the point is already
// through them.
bool IsOnGate(const Gate& gate, const Vec3& point) {
    const float dx = gate.left.x - gate.right.x, dz = gate.left.z - gate.right.z;
    const float lengthSquared = dx * dx + dz * dz;
    const float along = (point.x - gate.right.x) * dx + (point.z - gate.right.z) * dz;
    const float slack = 1.0e-6f * lengthSquared;
    return std::fabs(Turn(gate.right, gate.left, point)) <= slack && along >= -slack && along <= lengthSquared + slack;
}

}  // namespace

void StraightenPath(const PathMesh& mesh, const PathSearch::Step* steps, size_t count, const Vec3& from, const Vec3& to,
                    mem::vector<Vec3>& points) {
    // Gates: the start, each shared edge, the goal. A triangle lies on the left of its edge
    // i -> i + 1, so walking out across that edge, vertex i is on the right and vertex i + 1 on the left.
    mem::vector<Gate> gates;
    gates.reserve(count + 1);
    gates.push_back(Gate{from, from});
    for (size_t k = 0; k + 1 < count; ++k) {
        const PathMesh::Triangle& triangle = mesh.GetTriangle(steps[k].location.triangle);
        for (int i = 0; i < 3; ++i) {
            if (triangle.neighbour[i] != static_cast<int32_t>(steps[k + 1].location.triangle)) continue;
            const Gate gate{mesh.GetVertex(triangle.vertex[(i + 1) % 3]), mesh.GetVertex(triangle.vertex[i])};
            if (gates.size() > 1 || !IsOnGate(gate, from)) gates.push_back(gate);
            break;
        }
    }
    while (gates.size() > 1 && IsOnGate(gates.back(), to)) gates.pop_back();
    gates.push_back(Gate{to, to});

    // The funnel closes on a straight line at every vertex the line passes through; a corner in line
    // with the one before and the next is dropped.
    const size_t first = points.size();
    const auto addCorner = [&points, &from, first](const Vec3& corner) {
        const Vec3& last = points.size() > first ? points.back() : from;
        if (SameSpot(last, corner)) return;
        if (points.size() > first) {
            const Vec3& before = points.size() > first + 1 ? points[points.size() - 2] : from;
            const Vec3 in = last - before, out = corner - last;
            const float slack = 1.0e-6f * (in.x * in.x + in.z * in.z) * (out.x * out.x + out.z * out.z);
            const float turn = in.x * out.z - in.z * out.x;
            if (turn * turn <= slack && in.x * out.x + in.z * out.z > 0.0f) points.pop_back();
        }
        points.push_back(corner);
    };
    Vec3 apex = from, left = from, right = from;
    size_t apexIndex = 0, leftIndex = 0, rightIndex = 0;
    for (size_t i = 1; i < gates.size(); ++i) {
        const Gate& gate = gates[i];
        // The right side moves in unless that would cross the left side, which then becomes a corner.
        if (Turn(apex, right, gate.right) >= 0.0f) {
            if (SameSpot(apex, right) || Turn(apex, left, gate.right) < 0.0f) {
                right = gate.right;
                rightIndex = i;
            } else {
                addCorner(left);
                apex = right = left;
                apexIndex = rightIndex = leftIndex;
                i = apexIndex;
                continue;
            }
        }
        // Likewise the left side.
        if (Turn(apex, left, gate.left) <= 0.0f) {
            if (SameSpot(apex, left) || Turn(apex, right, gate.left) > 0.0f) {
                left = gate.left;
                leftIndex = i;
            } else {
                addCorner(right);
                apex = left = right;
                apexIndex = leftIndex = rightIndex;
                i = apexIndex;
                continue;
            }
        }
    }
    if (points.size() > first && SameSpot(points.back(), to)) points.pop_back();
    addCorner(to);

    // The corridor is the search's choice, and a straighter line may leave it: from each point kept,
    // go on to the farthest of the following points in a walkable straight line.
    mem::vector<Vec3> route(points.begin() + first, points.end());
    points.resize(first);
    Vec3 at = from;
    for (size_t next = 0; next < route.size();) {
        size_t reach = next;
        while (reach + 1 < route.size() && mesh.IsLineWalkable(at, route[reach + 1])) ++reach;
        at = route[reach];
        points.push_back(at);
        next = reach + 1;
    }
}

}  // namespace GAME
