#pragma once
// The sample interior: a grid system and its meshes, and a crypt furnished on a grid region.
//
// The grid system is the record every new grid region starts with
// ("Records/Underground/Desert/DesertCrypt.dbr"): cells 4 m wide and deep and 3 m high, a
// minimum wall opacity of 0.3, and for each of the fifteen configurations a mesh with and one
// without floor ("Meshes/Grid/BaseA.msh" .. "Meshes/Grid/MidO.msh") made from the configuration's
// key: a post at each corner and a wall along each side the key holds, and the floor slab. The
// one feature ("Meshes/Grid/Doorway.msh") is a floor with a doorway in the cell's wall 0 (the
// low-z side): its opening carries the mesh's one portal and the "ChokePoint" attach point.
// Every mesh has a collision mesh.
//
// The crypt is kCryptCells x 1 x kCryptCells cells with floors, walled all round, a wall across
// it behind the middle row of cells with an opening in line with the doorway, and the doorway
// feature in cell (kCryptDoorCell, 0, 0).

#include <cstdint>

#include "core/Vec3.h"

namespace GAME {
class FileSystem;
class GridRegion;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kGridDoorwayMesh = "Meshes/Grid/Doorway.msh";
constexpr float kGridCellWidth = 4.0f;
constexpr float kGridCellHeight = 3.0f;
constexpr int kCryptCells = 5;
constexpr int kCryptDoorCell = 2;
// The doorway's opening, in the doorway mesh's space (cell centre at the origin).
constexpr float kGridDoorHalfWidth = 0.75f;
constexpr float kGridDoorHeight = 2.25f;

// Writes the grid system's record and meshes. False, with the failure logged, when one could not
// be made or written.
bool WriteGrid(FileSystem& files);
// Furnishes the grid (whatever its size) as the crypt.
void FurnishCrypt(GridRegion& grid);

}  // namespace GAME::sample
