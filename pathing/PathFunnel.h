#pragma once
// The funnel ("string pulling") that straightens a corridor of triangles into the shortest line
// through it on the ground plane, then drops the corners that a straight walkable line can skip
// (the search's corridor is not always the one the shortest line runs through). The line turns
// only at mesh vertices, so every point keeps a height on the mesh.

#include <cstddef>

#include "core/Mem.h"
#include "pathing/PathSearch.h"

namespace GAME {

class PathMesh;

// Appends to points the corners of the straight path from `from` to `to` through the corridor
// (steps[0] holds `from`, steps[count - 1] holds `to`; consecutive steps are neighbours in mesh),
// then `to` itself; `from` is not appended.
void StraightenPath(const PathMesh& mesh, const PathSearch::Step* steps, size_t count, const Vec3& from, const Vec3& to,
                    mem::vector<Vec3>& points);

}  // namespace GAME
