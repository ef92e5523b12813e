#pragma once
// LevelBuilder: makes level files of generated entities with the engine's own level writer, for
// the sample data and the benchmarks. Entities are made from their records through the object
// manager, which reads them from the record store the builder is given while the builder lives.
// Positions are in the level's region space; cell (x, z) of the sector layers is the unit square
// at (x, z), over [0, 2 * half size) on each axis.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Coords.h"
#include "core/Vec2.h"
#include "world/Level.h"
#include "world/Region.h"

namespace GAME {

class BinaryWriter;
class FileSystem;
class TableDepot;
class Terrain;

class LevelBuilder {
public:
    // An empty level of the half size on x and z, with sector layers covering it. The record
    // store is handed to the object manager until the builder goes.
    LevelBuilder(TableDepot& records, const Vec2& halfSize);
    // Destroys the entities (deleting them) and takes the record store back off the object manager.
    ~LevelBuilder();
    LevelBuilder(const LevelBuilder&) = delete;
    LevelBuilder& operator=(const LevelBuilder&) = delete;

    // Places an entity of the record; false, with an error, when the record makes no entity.
    bool AddEntity(const std::string& record, const Coords& coords);
    // Gives the level a flat editable terrain over its square (one sample a unit), for the caller
    // to shape and paint; null, with an error, when the square is no terrain's size.
    Terrain* MakeTerrain();
    // Places count entities, taking the records in turn, at random positions over the level's
    // square, on its ground, turned by a random angle about y (the engine's 15-bit generator from
    // seed). Returns how many were placed.
    int Scatter(const std::vector<std::string>& records, int count, uint32_t seed);
    // Paints the cells [x0, x1) x [z0, z1) of a sector layer with the style.
    void PaintSector(int layer, const UniqueId& style, int x0, int z0, int x1, int z1);

    Level& GetLevel() { return level_; }
    // runTime writes the ground in its run-time form.
    void Write(BinaryWriter& writer, bool runTime = false) const { level_.Save(writer, runTime); }
    // Saves the level file atomically; false, with an error, when it cannot.
    bool Save(FileSystem& files, const std::string& name, bool runTime = false) const;

private:
    Vec2 halfSize_;
    Region region_;
    Level level_;
};

}  // namespace GAME
