#include "SampleGrid.h"

#include "SampleData.h"
#include "SampleMeshBuilder.h"

#include "LevelBuilder.h"
#include "SampleOutdoors.h"

#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "terrain/GridEntrance.h"

#include "world/GridRegion.h"
#include "world/GridSystem.h"
#include "world/RegionRecord.h"

#include <string>

namespace GAME::sample {

namespace {

constexpr float kHalfCell = 0.5f * kGridCellWidth;
constexpr float kWallHalfThickness = 0.125f;
constexpr float kPostHalf = 0.2f;
constexpr float kFloorHalfThickness = 0.05f;

// The corner of post n (0: -x -z, 1: +x -z, 2: +x +z, 3: -x +z) and the middle of wall n, which
// joins posts n and n + 1.
Vec3 Corner(int n) { return Vec3(n == 1 || n == 2 ? kHalfCell : -kHalfCell, 0.0f, n >= 2 ? kHalfCell : -kHalfCell); }

void AddFloor(MeshBuilder& mesh) {
    mesh.AddBox(Vec3(0.0f, -kFloorHalfThickness, 0.0f), Vec3(kHalfCell, kFloorHalfThickness, kHalfCell));
}

// Neighbouring cells share their walls and posts, and each cell's mesh holds the ones around it:
// a cell holds only the part inside its own square (a wall's half, a post's quarter), so two
// cells' pieces never lie in one plane, where they would fight for depth - above all when one of
// the two cells fades its walls and the other does not.
void AddWall(MeshBuilder& mesh, int n) {
    const Vec3 middle = (Corner(n) + Corner((n + 1) % 4)) * 0.5f;
    const bool alongX = n % 2 == 0;
    const float half = 0.5f * kWallHalfThickness;
    mesh.AddBox(middle * (1.0f - half / kHalfCell) + Vec3(0.0f, 0.5f * kGridCellHeight, 0.0f),
                Vec3(alongX ? kHalfCell : half, 0.5f * kGridCellHeight, alongX ? half : kHalfCell));
}

void AddPost(MeshBuilder& mesh, int n) {
    const float half = 0.5f * kPostHalf;
    mesh.AddBox(Corner(n) * (1.0f - half / kHalfCell) + Vec3(0.0f, 0.5f * kGridCellHeight, 0.0f),
                Vec3(half, 0.5f * kGridCellHeight, half));
}

// The posts, walls and floor a configuration key holds (bits 7..4 posts 0..3, 3..0 walls 0..3).
MeshBuilder::Contents& BuildConfiguration(MeshBuilder& mesh, uint8_t key, bool floor) {
    if (floor) AddFloor(mesh);
    for (int n = 0; n < 4; ++n) {
        if (key & (0x80 >> n)) AddPost(mesh, n);
        if (key & (0x08 >> n)) AddWall(mesh, n);
    }
    // An empty configuration still has a collision mesh of one face set: a sliver under the floor.
    if (key == 0 && !floor) mesh.AddBox(Vec3(0.0f, -kFloorHalfThickness, 0.0f), Vec3(kPostHalf, kFloorHalfThickness, kPostHalf));
    mesh.AddCollision(PhysicsSurface::Unwalkable);
    return mesh.Finish();
}

// A doorway in the wall along x at z, its portal facing +z (into the cell behind it) or -z (out
// of it), with or without the cell's floor.
bool WriteDoorway(FileSystem& files, const char* name, float z, bool facingPlusZ, bool floor) {
    MeshBuilder doorway(false);
    if (floor) AddFloor(doorway);
    const float side = 0.5f * (kHalfCell - kGridDoorHalfWidth);
    for (const float sign : {-1.0f, 1.0f}) {
        doorway.AddBox(Vec3(sign * (kGridDoorHalfWidth + side), 0.5f * kGridCellHeight, z),
                       Vec3(side, 0.5f * kGridCellHeight, kWallHalfThickness));
    }
    const float lintel = 0.5f * (kGridCellHeight - kGridDoorHeight);
    doorway.AddBox(Vec3(0.0f, kGridDoorHeight + lintel, z), Vec3(kGridDoorHalfWidth, lintel, kWallHalfThickness));
    if (!doorway.AddCollision(PhysicsSurface::Unwalkable)) return false;
    MeshBuilder::Contents& contents = doorway.Finish();
    const Vec3 a(-kGridDoorHalfWidth, 0, z), b(kGridDoorHalfWidth, 0, z), c(-kGridDoorHalfWidth, kGridDoorHeight, z),
        d(kGridDoorHalfWidth, kGridDoorHeight, z);
    if (facingPlusZ) {
        contents.portals.push_back(GraphicsMesh::Portal{{{{a, b, c}}, {{c, b, d}}}});
    } else {
        contents.portals.push_back(GraphicsMesh::Portal{{{{a, c, b}}, {{c, d, b}}}});
    }
    contents.descriptionText = "AttachPoint\n{\n    name = \"ChokePoint\"\n    origin = (0, " +
                               std::to_string(0.5f * kGridDoorHeight) + ", " + std::to_string(z) + ")\n}\n";
    return WriteMesh(files, name, contents);
}

}  // namespace

bool WriteGrid(FileSystem& files) {
    std::string record = "Class,GridSystem,\ncellSpacingX," + std::to_string(kGridCellWidth) + ",\ncellSpacingY," +
                         std::to_string(kGridCellHeight) + ",\ncellSpacingZ," + std::to_string(kGridCellWidth) +
                         ",\nminWallOpacity,0.3,\nfeature," + kGridDoorwayMesh + ",\n";
    for (int entry = 0; entry < GridSystem::kNumConfigurations; ++entry) {
        const char letter = char('A' + entry);
        for (const bool floor : {true, false}) {
            const std::string name = std::string("Meshes/Grid/") + (floor ? "Base" : "Mid") + letter + ".msh";
            MeshBuilder mesh(false);
            if (!WriteMesh(files, name.c_str(), BuildConfiguration(mesh, GridSystem::kKeys[size_t(entry)], floor)))
                return false;
            const std::string key = std::string(floor ? "wallPieceBase" : "wallPieceMid") + letter +
                                    (letter == 'D' && !floor ? "D" : "");
            record += key + "," + name + ",\n";
        }
    }
    return WriteDoorway(files, kGridDoorwayMesh, -kHalfCell, true, true) &&
           WriteDoorway(files, kGridEntranceMesh, 0.0f, false, false) &&
           WriteText(files, GridRegion::kDefaultSystem, record) &&
           WriteText(files, kGridEntranceRecord, std::string("Class,GridEntrance,\nmesh,") + kGridEntranceMesh + ",\n");
}

void FurnishCrypt(GridRegion& grid) {
    grid.Resize(kCryptCells, 1, kCryptCells);
    const int last = 2 * kCryptCells;
    for (int i = 0; i <= last; ++i) {
        for (int k = 0; k <= last; ++k) {
            const bool edge = i == 0 || k == 0 || i == last || k == last;
            // The cross wall behind the middle row of cells, open in line with the doorway.
            const bool cross = k == 2 * (kCryptCells / 2 + 1) && i != 2 * kCryptDoorCell + 1;
            if ((edge || cross) && (i % 2 == 0 || k % 2 == 0)) grid.SetLatticeValue(i, 0, k, 1);
        }
    }
    for (int x = 0; x < kCryptCells; ++x)
        for (int z = 0; z < kCryptCells; ++z) grid.SetCellFloor(x, 0, z, 1);
    grid.SetCellFeature(kCryptDoorCell, 0, 0, 1, 0);
}

bool AddCryptEntrance(LevelBuilder& yard) {
    auto* entrance = Singleton<ObjectManager>::Get()->CreateObjectFromFile<GridEntrance>(kGridEntranceRecord);
    if (!entrance) return false;
    entrance->SetPortalIds(kCryptEntrancePortal, kCryptDoorPortal, kCryptRegionId);
    const Vec3 at(kCryptEntrance.x, WorldGroundHeight(kCryptEntrance.x, kCryptEntrance.z), kCryptEntrance.z);
    return yard.GetLevel().AddEntity(entrance, Coords::Translation(at));
}

bool WriteCrypt(FileSystem& files, TableDepot& records, const RegionId& yard, RegionRecord& record) {
    const float half = 0.5f * kGridCellWidth * float(kCryptCells);
    LevelBuilder builder(records, Vec2(half, half));
    Level& level = builder.GetLevel();
    auto* grid = new GridRegion(level.GetRegion());
    level.SetGround(std::unique_ptr<LevelGround>(grid));
    FurnishCrypt(*grid);
    grid->AddPortalRecord(GridRegion::PortalRecord{kCryptDoorPortal, kCryptEntrancePortal, yard, uint32_t(kCryptDoorCell), 0, 0});
    record = RegionRecord{kCryptLevel, "", grid->GetBoundingBox(), kCryptOffset, kCryptRegionId};
    return builder.Save(files, kCryptLevel, true);
}

}  // namespace GAME::sample
