#pragma once
// PathSearch: A* over the triangles of the registered path meshes, from the triangle under the
// start to the triangle under the goal, stepping between neighbours across shared edges and between
// meshes along links (portal crossings).
//
// The cost of a step is the straight distance between the points where the path enters the two
// triangles: on a shared edge, where the line towards the goal crosses it (clamped to the edge), or
// the link's point. The estimate to the goal is the
// straight distance within the goal's mesh and 0 in any other mesh (another region has another
// frame), so it never overestimates; a node reached again more cheaply is searched again. The result
// is a corridor of triangles that PathFunnel straightens. The work arrays are kept between searches.

#include <cstdint>

#include "core/Mem.h"
#include "core/Vec3.h"

namespace GAME {

class PathMesh;

class PathSearch {
public:
    // A triangle of one of the meshes searched.
    struct Location {
        uint32_t mesh = 0;      // index into the meshes given to Find
        uint32_t triangle = 0;  // triangle of that mesh
    };
    // A one-way step from a point of one triangle to a point of another, in their own meshes'
    // frames, at no cost of its own.
    struct Link {
        Location from;
        Vec3 fromPoint;
        Location to;
        Vec3 toPoint;
    };
    // A triangle of the corridor and where the path enters it.
    struct Step {
        Location location;
        Vec3 entry;        // the start point, a point of the edge crossed, or the link's toPoint
        bool linked;       // entered along a link rather than across an edge
        Vec3 linkExit;     // for a linked step: the link's fromPoint, in the previous step's mesh
    };

    // Finds the corridor from the start triangle (entered at startPoint) to the goal triangle;
    // false when the goal cannot be reached.
    bool Find(const mem::vector<const PathMesh*>& meshes, const mem::vector<Link>& links, const Location& start,
              const Vec3& startPoint, const Location& goal, const Vec3& goalPoint, mem::vector<Step>& corridor);

private:
    struct Open {
        float estimate;  // cost so far plus the estimate to the goal
        float cost;      // cost so far when pushed; stale when the node has been reached more cheaply since
        uint32_t node;
    };
    uint32_t GetMesh(uint32_t node) const;
    bool IsSeen(uint32_t node) const { return seen_[node] == stamp_; }
    void Reset(uint32_t nodeCount);

    mem::vector<uint32_t> meshStart_;  // first node of each mesh; node = meshStart_[mesh] + triangle
    mem::vector<float> cost_;
    mem::vector<uint32_t> parent_;
    mem::vector<Vec3> entry_;
    mem::vector<uint32_t> viaLink_;    // index of the link a node was reached by + 1, 0 across an edge
    mem::vector<uint32_t> seen_;       // the stamp of the search that last reached the node
    uint32_t stamp_ = 0;
    mem::vector<Open> open_;
};

}  // namespace GAME
