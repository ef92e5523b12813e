#include "pathing/PathFunnel.h"

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
            gates.push_back(Gate{mesh.GetVertex(triangle.vertex[(i + 1) % 3]), mesh.GetVertex(triangle.vertex[i])});
            break;
        }
    }
    gates.push_back(Gate{to, to});

    const auto addCorner = [&points, &from](const Vec3& corner) {
        const Vec3& last = points.empty() ? from : points.back();
        if (!SameSpot(last, corner)) points.push_back(corner);
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
    points.push_back(to);
}

}  // namespace GAME
