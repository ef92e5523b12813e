#include "terrain/TerrainPathMeshCalculator.h"

#include <algorithm>

#include "pathing/TriangulationData.h"
#include "terrain/Terrain.h"

namespace GAME {

mem::vector<PathFace> TerrainPathMeshCalculator::CreateWalkableFaces() const {
    const unsigned numXSamples = terrain_.GetNumXSamples(), numZSamples = terrain_.GetNumYSamples();
    mem::vector<PathFace> faces;
    if (numXSamples < 2 || numZSamples < 2) return faces;
    const unsigned cellsX = numXSamples - 1, cellsZ = numZSamples - 1;

    const auto point = [&](unsigned x, unsigned z) {
        TriangulationData::Point p;
        p.x = float(x);
        p.z = float(z);
        p.height = terrain_.GetHeight(x, z);
        p.normal = terrain_.GetFastNormal(x, z);
        return p;
    };
    // Each tile of kSubdivision x kSubdivision cells is outlined and triangulated by itself, its
    // edge closing it like the terrain's, so no triangle reaches across a tile line; neighbouring
    // tiles share the outline points along their common side.
    for (unsigned tileZ = 0; tileZ < cellsZ; tileZ += kSubdivision) {
        for (unsigned tileX = 0; tileX < cellsX; tileX += kSubdivision) {
            const unsigned endX = std::min(tileX + kSubdivision, cellsX), endZ = std::min(tileZ + kSubdivision, cellsZ);
            const auto passable = [&](unsigned x, unsigned z) {
                return x >= tileX && x < endX && z >= tileZ && z < endZ && !terrain_.IsImpassable(x, z);
            };
            TriangulationData data;
            // The sides of the passable cells toward any other cell (one step below 0 wraps out of
            // the tile), the passable cell on the left.
            for (unsigned z = tileZ; z < endZ; ++z) {
                for (unsigned x = tileX; x < endX; ++x) {
                    if (!passable(x, z)) continue;
                    if (!passable(x, z - 1)) data.AddSegment(point(x, z), point(x + 1, z));
                    if (!passable(x + 1, z)) data.AddSegment(point(x + 1, z), point(x + 1, z + 1));
                    if (!passable(x, z + 1)) data.AddSegment(point(x + 1, z + 1), point(x, z + 1));
                    if (!passable(x - 1, z)) data.AddSegment(point(x, z + 1), point(x, z));
                }
            }
            if (data.Triangulate() == 0) continue;
            for (const TriangulationData::Triangle& triangle : data.GetTriangles()) {
                PathFace face;
                for (int i = 0; i < 3; ++i) {
                    const TriangulationData::Point& p = data.GetPoint(triangle.index[i]);
                    face.corner[i] = Vec3(p.x, p.height, p.z);
                }
                faces.push_back(face);
            }
        }
    }
    return faces;
}

bool TerrainPathMeshCalculator::CreateNavigationMesh(PathMesh& mesh) const {
    mesh.Clear();
    const mem::vector<PathFace> walkable = CreateWalkableFaces();
    return !walkable.empty() && mesh.Create(walkable, {});
}

}  // namespace GAME
