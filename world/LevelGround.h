#pragma once
// LevelGround: what a level asks of its ground. The ground of a terrain level is an editable or a
// run-time terrain; both live in the terrain folder, which builds on the world, so the level holds
// its ground through this interface and makes it through the maker the terrain folder installs
// (SetMaker, when the engine library loads). Without a maker no ground can be made, and a level
// file with a ground fails to load.
//
// The ground chunk of a level file holds a u32 kind (from version 11 on) and the kind's block:
// kind 0 the editor block, 1 the grid block of an interior region, 2 the run-time block.

#include <cstdint>

#include "core/ABBox.h"
#include "core/Mem.h"
#include "core/PhysicsSurface.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class CollisionBox;
class Frustum;
class GraphicsSceneRenderer;
class ImpassableData;
class Region;
struct CollisionContact;
struct Intersection;
struct OBBox;
struct PathFace;
struct PhysicsGrassWind;
struct Ray;

class LevelGround {
public:
    enum class Kind : uint32_t {
        Editable = 0,  // the editor block
        Grid = 1,      // an interior grid region
        RunTime = 2,   // the run-time block
    };

    // Makes an empty ground of the kind for the region; null for a kind it cannot make.
    using Maker = LevelGround* (*)(Kind kind, Region* region);

    // The whole-unit size of the ground's area along x and z, from the region's origin: the grid
    // its level's sector layers cover, one cell a unit.
    struct Area {
        uint32_t width = 0;
        uint32_t depth = 0;
    };

    virtual ~LevelGround() = default;

    // Reads the kind's block (version: the level file's); false (logged) for a block that is cut
    // short or does not describe a ground.
    virtual bool Load(BinaryReader& reader, int version) = 0;
    // Makes the device resources after loading, on the same thread.
    virtual bool LoadRenderData() = 0;
    // The frame's update for the count frusta the viewer sees.
    virtual void Update(const Frustum* frusta, unsigned count, int elapsedMs) = 0;
    // Loads ahead what the ground inside the count frusta (region space) will need before it is
    // seen; a ground with nothing to load does nothing.
    virtual void PreLoad(int, const Frustum*, unsigned) {}
    // Writes the ground chunk's payload: the kind word and the block. runTime asks for the run-time
    // block; a ground that cannot be written in the form asked writes nothing.
    virtual void Write(BinaryWriter& writer, bool runTime) const = 0;
    // The level's passability (the file's chunk 3); only an editable ground keeps it.
    virtual void SetImpassableData(const ImpassableData&) {}
    // The level's post-load on the main thread, once the level is read.
    virtual void PostLoad() {}
    // Rebuilds at once what edits marked for rebuilding at the next Update (the editor asks this
    // right after a load); a ground that defers nothing does nothing.
    virtual void ProcessDirtyRects() {}
    // Release and make again the device resources around a device reset.
    virtual void PreDeviceReset() {}
    virtual void PostDeviceReset() {}
    // Rebuilds what depends on the graphics generation (the detail level changed at run time).
    virtual void ReloadGenerationDependentData() {}

    // Region space.
    // Adds what the ground draws inside the frustum (region space) to the renderer; a ground that
    // draws nothing adds nothing.
    virtual void AddToScene(GraphicsSceneRenderer&, const Frustum&) {}
    // Marks what stands inside the frustum (region space) to be drawn see-through this frame.
    virtual void SetTransparency(const Frustum&) {}
    virtual ABBox GetBoundingBox() const = 0;
    // 0 x 0 for a ground without an area.
    virtual Area GetArea() const { return {}; }
    // Appends the faces a navigation mesh may walk on (region space); a ground that keeps no
    // passability adds none.
    virtual void GetWalkableFaces(mem::vector<PathFace>&) const {}
    virtual float GetHeightInterpolated(float x, float z) const = 0;
    // The nearest hit of the ray with the ground (distance +infinity when none).
    virtual void GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface surface) const = 0;
    // The contacts of the oriented box with the ground, at most max; returns their number. A
    // ground without collision geometry meets nothing.
    virtual int FindCollisions(const OBBox&, CollisionContact*, int, PhysicsSurface) const { return 0; }
    // Offers every box of the list the ground's contacts with it; bounds enclose them all.
    virtual void FindCollisions(mem::vector<CollisionBox>&, const ABBox&, PhysicsSurface) const {}
    // Pushes the grass within radius of (x, z) away from it; ground without grass ignores it.
    virtual void DisplaceGrass(float, float, float, float) {}
    // Blows the wind (in this ground's region space) over the grass under it, and calms every wind;
    // ground without grass ignores them.
    virtual void CreateGrassWind(const PhysicsGrassWind&) {}
    virtual void RemoveGrassWind() {}

    static void SetMaker(Maker maker);
    // A new ground of the kind through the installed maker; null without one or for a kind it
    // cannot make.
    static LevelGround* Make(Kind kind, Region* region);
};

}  // namespace GAME
