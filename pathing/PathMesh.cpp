#include "pathing/PathMesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "core/Coords.h"
#include "core/Log.h"
#include "core/MathUtil.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "pathing/PathDebugDrawer.h"
#include "pathing/SnapGrid.h"

namespace GAME {

namespace {

constexpr char kMagic[4] = {'P', 'M', 'S', 'H'};
constexpr uint32_t kVersion = 1;
// Twice the ground-plane area below which a triangle is degenerate (or vertical) and not walkable.
constexpr float kMinDoubleArea = 1.0e-6f;
// How far outside a triangle, relative to its size, a point still counts as on it.
constexpr float kEdgeTolerance = 1.0e-5f;

// Twice the signed area of (a, b, c) on the ground plane: positive when counter-clockwise.
float DoubleGroundArea(const Vec3& a, const Vec3& b, const Vec3& c) {
    return (b.x - a.x) * (c.z - a.z) - (b.z - a.z) * (c.x - a.x);
}

FaceGrid::Bounds GetBounds(const Vec3& a, const Vec3& b, const Vec3& c) {
    return FaceGrid::Bounds{Min(a.x, Min(b.x, c.x)), Min(a.z, Min(b.z, c.z)), Max(a.x, Max(b.x, c.x)),
                            Max(a.z, Max(b.z, c.z))};
}

bool IsFinite(const PathFace& face) {
    return face.corner[0].IsValid() && face.corner[1].IsValid() && face.corner[2].IsValid();
}

// Separating-axis test of two triangles on the ground plane; touching counts as overlapping. A
// vertical triangle, seen from above as a segment, is tested along its segment's normal.
bool OverlapOnGround(const PathFace& a, const PathFace& b) {
    for (const PathFace* shape : {&a, &b}) {
        for (int i = 0; i < 3; ++i) {
            const Vec3 edge = shape->corner[(i + 1) % 3] - shape->corner[i];
            const float axisX = -edge.z, axisZ = edge.x;
            if (axisX == 0.0f && axisZ == 0.0f) continue;
            float minA = Infinity, maxA = -Infinity, minB = Infinity, maxB = -Infinity;
            for (int k = 0; k < 3; ++k) {
                const float pa = a.corner[k].x * axisX + a.corner[k].z * axisZ;
                const float pb = b.corner[k].x * axisX + b.corner[k].z * axisZ;
                minA = Min(minA, pa), maxA = Max(maxA, pa), minB = Min(minB, pb), maxB = Max(maxB, pb);
            }
            if (maxA < minB || maxB < minA) return false;
        }
    }
    return true;
}

bool Blocks(const PathFace& obstacle, const PathFace& walkable) {
    const float obstacleLow = Min(obstacle.corner[0].y, Min(obstacle.corner[1].y, obstacle.corner[2].y));
    const float obstacleHigh = Max(obstacle.corner[0].y, Max(obstacle.corner[1].y, obstacle.corner[2].y));
    const float walkableLow = Min(walkable.corner[0].y, Min(walkable.corner[1].y, walkable.corner[2].y));
    const float walkableHigh = Max(walkable.corner[0].y, Max(walkable.corner[1].y, walkable.corner[2].y));
    return obstacleHigh >= walkableLow && obstacleLow <= walkableHigh + PathMesh::kObstacleClearance &&
           OverlapOnGround(obstacle, walkable);
}

}  // namespace

void PathMesh::Clear() {
    vertices_.clear();
    triangles_.clear();
    locator_.Clear();
}

bool PathMesh::Load(BinaryReader& reader) {
    Clear();
    char magic[4] = {};
    if (!reader.ReadBytes(magic, 4) || std::memcmp(magic, kMagic, 4) != 0) {
        Log(LogPriority::Error, "Path mesh: the block does not start with \"PMSH\"");
        return false;
    }
    const uint32_t version = reader.ReadUInt32();
    if (version != kVersion) {
        Log(LogPriority::Error, "Path mesh: version %u is not %u", version, kVersion);
        return false;
    }

    const uint32_t vertexCount = reader.ReadUInt32();
    if (reader.Failed() || vertexCount > reader.GetRemaining() / 12) {
        Log(LogPriority::Error, "Path mesh: %u vertices do not fit in the block", vertexCount);
        return false;
    }
    vertices_.resize(vertexCount);
    for (uint32_t i = 0; i < vertexCount; ++i) {
        vertices_[i] = reader.ReadVec3();
        if (!vertices_[i].IsValid()) {
            Log(LogPriority::Error, "Path mesh: vertex %u is not finite", i);
            Clear();
            return false;
        }
    }

    const uint32_t triangleCount = reader.ReadUInt32();
    if (reader.Failed() || triangleCount > reader.GetRemaining() / 12) {
        Log(LogPriority::Error, "Path mesh: %u triangles do not fit in the block", triangleCount);
        Clear();
        return false;
    }
    triangles_.resize(triangleCount);
    for (uint32_t t = 0; t < triangleCount; ++t) {
        Triangle& triangle = triangles_[t];
        for (int i = 0; i < 3; ++i) {
            triangle.vertex[i] = reader.ReadUInt32();
            triangle.neighbour[i] = -1;
        }
        const uint32_t a = triangle.vertex[0], b = triangle.vertex[1], c = triangle.vertex[2];
        if (a >= vertexCount || b >= vertexCount || c >= vertexCount) {
            Log(LogPriority::Error, "Path mesh: triangle %u refers to a vertex past %u", t, vertexCount);
            Clear();
            return false;
        }
        if (std::fabs(DoubleGroundArea(vertices_[a], vertices_[b], vertices_[c])) <= kMinDoubleArea) {
            Log(LogPriority::Error, "Path mesh: triangle %u has no area", t);
            Clear();
            return false;
        }
    }
    Finish();
    return true;
}

void PathMesh::Save(BinaryWriter& writer) const {
    writer.Write(kMagic, 4);
    writer.Write(kVersion);
    writer.Write(GetNumVertices());
    for (const Vec3& vertex : vertices_) writer.Write(vertex);
    writer.Write(GetNumTriangles());
    for (const Triangle& triangle : triangles_)
        for (uint32_t index : triangle.vertex) writer.Write(index);
}

bool PathMesh::Create(const mem::vector<PathFace>& walkable, const mem::vector<PathFace>& obstacles) {
    Clear();

    mem::vector<uint32_t> obstacleIndices;
    mem::vector<FaceGrid::Bounds> obstacleBounds;
    for (uint32_t i = 0; i < obstacles.size(); ++i) {
        const PathFace& face = obstacles[i];
        if (!IsFinite(face)) continue;
        obstacleIndices.push_back(i);
        obstacleBounds.push_back(GetBounds(face.corner[0], face.corner[1], face.corner[2]));
    }
    FaceGrid obstacleGrid;
    obstacleGrid.Build(obstacleBounds);

    SnapGrid weld(kWeldTolerance);
    for (const PathFace& face : walkable) {
        if (!IsFinite(face) || std::fabs(DoubleGroundArea(face.corner[0], face.corner[1], face.corner[2])) <= kMinDoubleArea)
            continue;
        bool blocked = false;
        obstacleGrid.ForEach(GetBounds(face.corner[0], face.corner[1], face.corner[2]), [&](uint32_t item) {
            blocked = blocked || Blocks(obstacles[obstacleIndices[item]], face);
        });
        if (blocked) continue;

        Triangle triangle{{weld.FindOrAdd(face.corner[0]), weld.FindOrAdd(face.corner[1]), weld.FindOrAdd(face.corner[2])},
                          {-1, -1, -1}};
        const Vec3& a = weld.GetPoint(triangle.vertex[0]);
        const Vec3& b = weld.GetPoint(triangle.vertex[1]);
        const Vec3& c = weld.GetPoint(triangle.vertex[2]);
        if (std::fabs(DoubleGroundArea(a, b, c)) <= kMinDoubleArea) continue;  // collapsed by welding
        triangles_.push_back(triangle);
    }
    vertices_.resize(weld.GetNumPoints());
    for (uint32_t i = 0; i < weld.GetNumPoints(); ++i) vertices_[i] = weld.GetPoint(i);
    Finish();
    return HasMesh();
}

void PathMesh::Finish() {
    for (Triangle& triangle : triangles_) {
        const Vec3& a = vertices_[triangle.vertex[0]];
        const Vec3& b = vertices_[triangle.vertex[1]];
        const Vec3& c = vertices_[triangle.vertex[2]];
        if (DoubleGroundArea(a, b, c) < 0.0f) std::swap(triangle.vertex[1], triangle.vertex[2]);
    }

    // Two counter-clockwise triangles side by side run their shared edge in opposite directions.
    // An edge that more than two triangles share links the first pair found.
    const auto edgeKey = [](uint32_t from, uint32_t to) { return uint64_t(from) << 32 | to; };
    mem::hash_map<uint64_t, uint32_t> edgeOwners;  // directed edge -> triangle * 3 + edge
    edgeOwners.reserve(triangles_.size() * 3);
    for (uint32_t t = 0; t < triangles_.size(); ++t)
        for (uint32_t i = 0; i < 3; ++i)
            edgeOwners.emplace(edgeKey(triangles_[t].vertex[i], triangles_[t].vertex[(i + 1) % 3]), t * 3 + i);
    for (uint32_t t = 0; t < triangles_.size(); ++t) {
        for (uint32_t i = 0; i < 3; ++i) {
            if (triangles_[t].neighbour[i] >= 0) continue;
            const auto other = edgeOwners.find(edgeKey(triangles_[t].vertex[(i + 1) % 3], triangles_[t].vertex[i]));
            if (other == edgeOwners.end()) continue;
            const uint32_t u = other->second / 3, j = other->second % 3;
            if (u == t || triangles_[u].neighbour[j] >= 0) continue;
            triangles_[t].neighbour[i] = static_cast<int32_t>(u);
            triangles_[u].neighbour[j] = static_cast<int32_t>(t);
        }
    }

    mem::vector<FaceGrid::Bounds> bounds(triangles_.size());
    for (uint32_t t = 0; t < triangles_.size(); ++t) {
        const Triangle& triangle = triangles_[t];
        bounds[t] = GetBounds(vertices_[triangle.vertex[0]], vertices_[triangle.vertex[1]], vertices_[triangle.vertex[2]]);
    }
    locator_.Build(bounds);
}

void PathMesh::DebugRender(PathDebugDrawer& drawer, const Coords& toWorld) const {
    for (uint32_t t = 0; t < triangles_.size(); ++t) {
        const Triangle& triangle = triangles_[t];
        for (int i = 0; i < 3; ++i) {
            // A shared edge is drawn by the triangle with the lower index.
            if (triangle.neighbour[i] >= 0 && static_cast<uint32_t>(triangle.neighbour[i]) < t) continue;
            drawer.DrawLine(toWorld.TransformPoint(vertices_[triangle.vertex[i]]),
                            toWorld.TransformPoint(vertices_[triangle.vertex[(i + 1) % 3]]));
        }
    }
}

int32_t PathMesh::FindTriangle(const Vec3& point) const {
    if (triangles_.empty() || !point.IsValid()) return -1;
    int32_t best = -1;
    float bestGap = Infinity;
    locator_.ForEach(FaceGrid::Bounds{point.x, point.z, point.x, point.z}, [&](uint32_t t) {
        const Triangle& triangle = triangles_[t];
        const Vec3& a = vertices_[triangle.vertex[0]];
        const Vec3& b = vertices_[triangle.vertex[1]];
        const Vec3& c = vertices_[triangle.vertex[2]];
        const float area = DoubleGroundArea(a, b, c);
        const float wa = DoubleGroundArea(b, c, point);
        const float wb = DoubleGroundArea(c, a, point);
        const float wc = DoubleGroundArea(a, b, point);
        const float slack = -kEdgeTolerance * area;
        if (wa < slack || wb < slack || wc < slack) return;
        const float height = (wa * a.y + wb * b.y + wc * c.y) / area;
        const float gap = std::fabs(height - point.y);
        if (gap < bestGap) {
            bestGap = gap;
            best = static_cast<int32_t>(t);
        }
    });
    return best;
}

bool PathMesh::IsLineWalkable(const Vec3& from, const Vec3& to) const {
    // Start a little way along the line, so that a line leaving a vertex starts in the triangle it
    // runs into rather than in any triangle around the vertex.
    const float length = std::sqrt((to.x - from.x) * (to.x - from.x) + (to.z - from.z) * (to.z - from.z));
    const float lead = length > 0.0f ? Min(1.0e-3f / length, 0.5f) : 0.0f;
    int32_t t = FindTriangle(from + (to - from) * lead);
    int32_t previous = -1;
    for (size_t steps = 0; t >= 0 && steps <= triangles_.size(); ++steps) {
        const Triangle& triangle = triangles_[t];
        const Vec3& a = vertices_[triangle.vertex[0]];
        const Vec3& b = vertices_[triangle.vertex[1]];
        const Vec3& c = vertices_[triangle.vertex[2]];
        const float slack = -kEdgeTolerance * DoubleGroundArea(a, b, c);
        if (DoubleGroundArea(b, c, to) >= slack && DoubleGroundArea(c, a, to) >= slack && DoubleGroundArea(a, b, to) >= slack)
            return true;
        // Leave across an edge that `to` lies beyond and that the line meets.
        int32_t next = -1;
        for (int i = 0; i < 3 && next < 0; ++i) {
            const Vec3& p = vertices_[triangle.vertex[i]];
            const Vec3& q = vertices_[triangle.vertex[(i + 1) % 3]];
            if (DoubleGroundArea(p, q, to) >= 0.0f) continue;
            const float sideP = DoubleGroundArea(from, to, p), sideQ = DoubleGroundArea(from, to, q);
            if ((sideP > 0.0f && sideQ > 0.0f) || (sideP < 0.0f && sideQ < 0.0f)) continue;
            if (triangle.neighbour[i] != previous) next = triangle.neighbour[i];
        }
        previous = t;
        t = next;
    }
    return false;
}

}  // namespace GAME
