#pragma once
// PhysicsSurface: the kind of surface a face, terrain type or contact is made of, and the surface
// a query leaves out. The values are stored in mesh and level data (4 bytes).

namespace GAME {

enum class PhysicsSurface : int {
    Unwalkable = 0,
    Grass = 1,
    Dirt = 2,
    Sand = 3,
    Snow = 4,
    Stone = 5,
    Wood = 6,
    Water = 7,   // what water reports
    None = 100,  // no surface; as the excluded surface of a query it excludes nothing
};

}  // namespace GAME
