#pragma once
// LevelWater: what a level asks of its water. The water (layers, rivers, shore waves) lives in the
// terrain folder, which builds on the world, so the level holds it through this interface and
// makes it through the maker the terrain folder installs (SetMaker, when the engine library
// loads). Without a maker a level has no water and passes over its water chunk.
//
// Positions are in the level's region space.

#include <cstdint>

#include "core/ABBox.h"
#include "core/Mem.h"
#include "core/PhysicsSurface.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class CollisionBox;
class Frustum;
class GraphicsReflectionManager;
class GraphicsSceneRenderer;
class LevelGround;
class Region;
class RenderDevice;
struct CollisionContact;
struct Intersection;
struct OBBox;
struct Ray;
struct Vec3;

class LevelWater {
public:
    // What made a splash (World::CreatePointDisturbance).
    enum class SplashType : int {
        None = 0,
        Wake = 1,    // something moving through the water
        Object = 2,  // an object falling in
        Body = 3,    // a body falling in
    };

    // Makes an empty water for the region.
    using Maker = LevelWater* (*)(Region* region);

    virtual ~LevelWater() = default;

    // Sizes the water to the ground (width x depth world units along x and z) and makes its device
    // resources on the device; without a device it keeps the ground and can hold nothing.
    virtual void Initialize(unsigned width, unsigned depth, const LevelGround* ground, RenderDevice* device) = 0;
    // Reads the level file's water chunk; false (logged) for a block it cannot use, and the water
    // is then left empty.
    virtual bool Load(BinaryReader& reader) = 0;
    // Writes the water chunk (after dropping water that shows nothing).
    virtual void Save(BinaryWriter& writer) = 0;
    virtual void Update(int elapsedMs) = 0;

    // The nearest hit of the ray with the water surface (distance +infinity when none); excluding
    // Water or Unwalkable finds nothing. True on a hit.
    virtual bool GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface excluded) const = 0;
    // The surface above p and its drift; false when there is no water above p.
    virtual bool GetWaterPointInfo(const Vec3& p, Vec3& surfacePoint, Vec3& velocity) const = 0;
    // The contact of the box's bottom with the surface, at most one; returns their number.
    virtual int FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface excluded) const = 0;
    // Offers every box of the list its contact with the surface (the area is not consulted).
    virtual void FindCollisions(mem::vector<CollisionBox>& boxes, const ABBox& area, PhysicsSurface excluded) const = 0;
    // Adds the water in the frustum to the scene renderer (when it draws water).
    virtual void AddToScene(GraphicsSceneRenderer&, const Frustum&) {}
    // Hands the manager the reflection planes of the water the frustum sees, as the region's.
    virtual void AddReflectionPlanes(GraphicsReflectionManager&, Region*, const Frustum&) {}
    // A ripple, and the splash effect of the kind, where the point meets the surface.
    virtual void CreateRipple(const Vec3& position, float radius, float strength, SplashType kind) = 0;
    // Release and make again the device resources around a device reset.
    virtual void PreDeviceReset() {}
    virtual void PostDeviceReset() {}

    static void SetMaker(Maker maker);
    // A new water for the region through the installed maker; null without one.
    static LevelWater* Make(Region* region);
};

}  // namespace GAME
