#pragma once
// Test meshes: walkable faces over a grid of unit cells (two triangles each) at a height, skipping
// the cells a predicate rejects.

#include <functional>

#include "core/Mem.h"
#include "pathing/PathMesh.h"

namespace GAME::test {

inline mem::vector<PathFace> GridFaces(int columns, int rows, float height,
                                       const std::function<bool(int x, int z)>& walkable = {}) {
    mem::vector<PathFace> faces;
    for (int z = 0; z < rows; ++z) {
        for (int x = 0; x < columns; ++x) {
            if (walkable && !walkable(x, z)) continue;
            const Vec3 a(float(x), height, float(z)), b(float(x + 1), height, float(z));
            const Vec3 c(float(x + 1), height, float(z + 1)), d(float(x), height, float(z + 1));
            faces.push_back(PathFace{{a, b, c}});
            faces.push_back(PathFace{{a, d, c}});  // clockwise on purpose: Create orders both
        }
    }
    return faces;
}

}  // namespace GAME::test
