#pragma once
// The sample interior: a grid system and its meshes, and a crypt furnished on a grid region.
//
// The grid system is the record every new grid region starts with
// ("Records/Underground/Desert/DesertCrypt.dbr"): cells 4 m wide and deep and 3 m high, a
// minimum wall opacity of 0.3, and for each of the fifteen configurations a mesh with and one
// without floor ("Meshes/Grid/BaseA.msh" .. "Meshes/Grid/MidO.msh") made from the configuration's
// key: a post at each corner and a wall along each side the key holds, and the floor slab. The
// one feature ("Meshes/Grid/Doorway.msh") is a floor with a doorway in the cell's wall 0 (the
// low-z side): its opening carries the mesh's one portal, facing into the cell, and the
// "ChokePoint" attach point. The entrance to a grid ("Meshes/Grid/Entrance.msh") is the same
// doorway standing alone on z = 0, its portal facing -z, out of the grid it leads into (the two
// sides of a doorway face away from each other). Every mesh has a collision mesh.
//
// The crypt is kCryptCells x 1 x kCryptCells cells with floors, walled all round, a wall across
// it behind the middle row of cells with an opening in line with the doorway, and the doorway
// feature in cell (kCryptDoorCell, 0, 0).
//
// In the sample world the crypt is a region of its own, "Levels/World/Crypt.lvl", whose space
// lies at kCryptOffset in the world (aside from the outdoor regions), 20 x 3 x 20 units from its
// origin; its doorway (world (330, 0, 320)) is joined to the entrance that stands in the first
// region at kCryptEntrance (world, on the ground), facing -z: walking +z through the entrance
// leads through the doorway into the crypt, also along +z.

#include <cstdint>

#include "core/IntVec3.h"
#include "core/UniqueId.h"
#include "core/Vec3.h"
#include "world/RegionId.h"

namespace GAME {
class FileSystem;
class GridRegion;
class LevelBuilder;
class TableDepot;
struct RegionRecord;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kGridDoorwayMesh = "Meshes/Grid/Doorway.msh";
constexpr const char* kGridEntranceMesh = "Meshes/Grid/Entrance.msh";
constexpr const char* kGridEntranceRecord = "Records/Sample/GridEntrance.dbr";  // a GridEntrance of that mesh
constexpr float kGridCellWidth = 4.0f;
constexpr float kGridCellHeight = 3.0f;
constexpr int kCryptCells = 5;
constexpr int kCryptDoorCell = 2;
// The doorway's opening, in the doorway mesh's space (cell centre at the origin).
constexpr float kGridDoorHalfWidth = 0.75f;
constexpr float kGridDoorHeight = 2.25f;

constexpr const char* kCryptLevel = "Levels/World/Crypt.lvl";
constexpr IntVec3 kCryptOffset(320, 0, 320);
constexpr RegionId kCryptRegionId(0x5a3b1e00u, 0, 0, 100);
constexpr Vec3 kCryptEntrance(24.0f, 0.0f, 40.0f);  // x and z; the entrance stands on the ground
inline const UniqueId kCryptDoorPortal = UniqueId::FromNameOrderWords({0x63727970u, 0, 0, 1});
inline const UniqueId kCryptEntrancePortal = UniqueId::FromNameOrderWords({0x63727970u, 0, 0, 2});

// Writes the grid system's record and meshes. False, with the failure logged, when one could not
// be made or written.
bool WriteGrid(FileSystem& files);
// Furnishes the grid (whatever its size) as the crypt.
void FurnishCrypt(GridRegion& grid);
// Places the crypt's entrance in the first region's level (world space is that region's).
bool AddCryptEntrance(LevelBuilder& yard);
// Writes the crypt's level, its doorway joined to the entrance in the region yard, and fills in
// its region record. False, with the failure logged, when the level could not be written.
bool WriteCrypt(FileSystem& files, TableDepot& records, const RegionId& yard, RegionRecord& record);

}  // namespace GAME::sample
