#include "pathing/PathSearch.h"

#include <algorithm>
#include <cmath>

#include "pathing/PathMesh.h"

namespace GAME {

namespace {

constexpr uint32_t kNoNode = 0xffffffffu;

// Where the path enters a triangle across the edge a-b, coming from `from`: the point where the line
// from `from` towards `aim` crosses the edge, clamped to the edge. Aiming at the goal keeps corridors
// straight in open ground, where edge midpoints would zigzag.
Vec3 GetEntry(const Vec3& a, const Vec3& b, const Vec3& from, const Vec3& aim) {
    const Vec3 edge = b - a, direction = aim - from, offset = from - a;
    const float denominator = edge.x * direction.z - edge.z * direction.x;
    float s = 0.5f;
    if (std::fabs(denominator) > 1.0e-12f) s = (offset.x * direction.z - offset.z * direction.x) / denominator;
    s = s > 0.0f ? (s < 1.0f ? s : 1.0f) : 0.0f;
    return a + edge * s;
}

}  // namespace

uint32_t PathSearch::GetMesh(uint32_t node) const {
    return static_cast<uint32_t>(std::upper_bound(meshStart_.begin(), meshStart_.end(), node) - meshStart_.begin() - 1);
}

void PathSearch::Reset(uint32_t nodeCount) {
    if (cost_.size() < nodeCount) {
        cost_.resize(nodeCount);
        parent_.resize(nodeCount);
        entry_.resize(nodeCount);
        viaLink_.resize(nodeCount);
        seen_.resize(nodeCount, 0);
    }
    if (++stamp_ == 0) {  // the stamp wrapped: forget every old mark
        std::fill(seen_.begin(), seen_.end(), 0);
        stamp_ = 1;
    }
    open_.clear();
}

bool PathSearch::Find(const mem::vector<const PathMesh*>& meshes, const mem::vector<Link>& links, const Location& start,
                      const Vec3& startPoint, const Location& goal, const Vec3& goalPoint, mem::vector<Step>& corridor) {
    corridor.clear();
    meshStart_.resize(meshes.size());
    uint32_t nodeCount = 0;
    for (size_t m = 0; m < meshes.size(); ++m) {
        meshStart_[m] = nodeCount;
        nodeCount += meshes[m]->GetNumTriangles();
    }
    Reset(nodeCount);

    // Links by the node they leave from.
    mem::vector<std::pair<uint32_t, uint32_t>> linksByNode;  // (from node, link index)
    for (uint32_t i = 0; i < links.size(); ++i)
        linksByNode.emplace_back(meshStart_[links[i].from.mesh] + links[i].from.triangle, i);
    std::sort(linksByNode.begin(), linksByNode.end());

    // The open list is a heap with the lowest estimate on top.
    const auto later = [](const Open& a, const Open& b) { return a.estimate > b.estimate; };
    const uint32_t startNode = meshStart_[start.mesh] + start.triangle;
    const uint32_t goalNode = meshStart_[goal.mesh] + goal.triangle;
    const auto estimate = [&](uint32_t mesh, const Vec3& point) {
        return mesh == goal.mesh ? (goalPoint - point).Length() : 0.0f;
    };
    const auto reach = [&](uint32_t node, uint32_t mesh, uint32_t from, float cost, const Vec3& entry, uint32_t link) {
        if (IsSeen(node) && cost_[node] <= cost) return;
        seen_[node] = stamp_;
        cost_[node] = cost;
        parent_[node] = from;
        entry_[node] = entry;
        viaLink_[node] = link;
        open_.push_back(Open{cost + estimate(mesh, entry), cost, node});
        std::push_heap(open_.begin(), open_.end(), later);
    };

    reach(startNode, start.mesh, kNoNode, 0.0f, startPoint, 0);
    while (!open_.empty()) {
        std::pop_heap(open_.begin(), open_.end(), later);
        const Open current = open_.back();
        open_.pop_back();
        const uint32_t node = current.node;
        if (current.cost > cost_[node]) continue;  // reached more cheaply since it was pushed
        if (node == goalNode) break;

        const uint32_t mesh = GetMesh(node);
        const PathMesh& pathMesh = *meshes[mesh];
        const PathMesh::Triangle& triangle = pathMesh.GetTriangle(node - meshStart_[mesh]);
        for (int i = 0; i < 3; ++i) {
            if (triangle.neighbour[i] < 0) continue;
            const Vec3& a = pathMesh.GetVertex(triangle.vertex[i]);
            const Vec3& b = pathMesh.GetVertex(triangle.vertex[(i + 1) % 3]);
            // Outside the goal's mesh (another frame) the path aims at the edge's midpoint.
            const Vec3 entry = GetEntry(a, b, entry_[node], mesh == goal.mesh ? goalPoint : (a + b) * 0.5f);
            reach(meshStart_[mesh] + static_cast<uint32_t>(triangle.neighbour[i]), mesh, node,
                  cost_[node] + (entry - entry_[node]).Length(), entry, 0);
        }
        auto link = std::lower_bound(linksByNode.begin(), linksByNode.end(), std::make_pair(node, 0u));
        for (; link != linksByNode.end() && link->first == node; ++link) {
            const Link& l = links[link->second];
            reach(meshStart_[l.to.mesh] + l.to.triangle, l.to.mesh, node, cost_[node] + (l.fromPoint - entry_[node]).Length(),
                  l.toPoint, link->second + 1);
        }
    }
    if (!IsSeen(goalNode)) return false;

    for (uint32_t node = goalNode; node != kNoNode; node = parent_[node]) {
        const uint32_t mesh = GetMesh(node);
        Step step{Location{mesh, node - meshStart_[mesh]}, entry_[node], viaLink_[node] != 0, Vec3()};
        if (step.linked) step.linkExit = links[viaLink_[node] - 1].fromPoint;
        corridor.push_back(step);
    }
    std::reverse(corridor.begin(), corridor.end());
    return true;
}

}  // namespace GAME
