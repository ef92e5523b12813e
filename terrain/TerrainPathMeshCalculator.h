#pragma once
// TerrainPathMeshCalculator: the navigation mesh of an editable terrain, made again whenever its
// passability changes (height edits, painted passability, samples hidden under tiles).
//
// The passable cells are outlined with directed segments (the passable side on the left) and
// triangulated; the outline follows cell edges, so the mesh covers exactly the passable cells and
// leaves a hole for every impassable one. Large open areas would otherwise become a few long
// triangles whose corners miss the relief between them, so the terrain is outlined and
// triangulated in tiles of kSubdivision x kSubdivision cells. Corners take the sample heights.
//
// The result depends on the terrain alone: making the mesh twice gives the same triangles.

#include "core/Mem.h"
#include "pathing/PathMesh.h"

namespace GAME {

class Terrain;

class TerrainPathMeshCalculator {
public:
    // Cells between the lines that cut open areas.
    static constexpr unsigned kSubdivision = 8;

    explicit TerrainPathMeshCalculator(const Terrain& terrain) : terrain_(terrain) {}

    // The walkable triangles of the passable cells (in the terrain region's frame), counter-
    // clockwise on the ground plane; empty when no cell is passable.
    mem::vector<PathFace> CreateWalkableFaces() const;
    // Replaces mesh with the navigation mesh of the passable cells; false (the mesh cleared) when
    // there is none.
    bool CreateNavigationMesh(PathMesh& mesh) const;

private:
    const Terrain& terrain_;
};

}  // namespace GAME
