#pragma once
// The sample tile: a paving slab to set into a terrain.
//   Meshes/Tile.msh             a slab kTileHalfSize x 2 square, its top kTileTopHeight above its
//                               origin and its underside at the origin, with its collision mesh
//                               (top and sides), its top only as blended faces (the terrain draws
//                               it in its layers; the tile's own material covers the sides) and one contour around its foot: points every unit
//                               along its rim at height 0, normals up, clockwise seen from above
//                               (the outside on the left)
//   Records/Sample/Tile.dbr     a Tile entity of that mesh

namespace GAME {
class FileSystem;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kTileMesh = "Meshes/Tile.msh";
constexpr const char* kTileRecord = "Records/Sample/Tile.dbr";
constexpr float kTileHalfSize = 3.0f;
constexpr float kTileTopHeight = 0.25f;

// Writes the tile mesh and record. False, with the failure logged, when one could not be made.
bool WriteTiles(FileSystem& files);

}  // namespace GAME::sample
