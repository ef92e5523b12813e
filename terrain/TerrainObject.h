#pragma once
// TerrainObject: anything a terrain draws or collides with apart from its raw height field (its
// ground blocks, the plugs that close seams, the meshes placed on the ground). The terrain keeps
// all of them in one loose quadtree (TerrainSpace.h) and hands each query's exact test to the
// objects the tree finds.
//
// Render data are made lazily and given back when idle: the terrain stamps an object with the
// engine frame whenever it uses it (Touch), and an object in the terrain's loaded set that has
// not been used for TerrainBase::kIdleFrames frames is unloaded.
//
// The base is never made by itself; its virtual operations are the defaults the kinds of object
// override. Objects are compared and ordered by address wherever a set or a sort needs it. The
// tree links objects through fields of their own, so an object leaves its terrain's tree
// (TerrainBase::RemoveObjectFromSpace) before it is destroyed.

#include <cstdint>

#include "core/ABBox.h"
#include "core/Mem.h"
#include "core/PhysicsSurface.h"
#include "core/RTTI.h"
#include "world/Space.h"

namespace GAME {

class CollisionBox;
class GraphicsSceneRenderer;
class TerrainBase;
struct CollisionContact;
struct Intersection;
struct OBBox;
struct PhysicsGrassWind;
struct Ray;

class TerrainObject {
public:
    static RTTI_ClassInfo classInfo;

    // The load states of preLoaded.
    enum LoadState : int32_t {
        NotLoaded = 0,
        Loaded = 1,
        PreLoaded = 2,  // loaded in advance, before the object was seen
    };

    // Stamped with the current frame, out of every tree, with zero bounds.
    TerrainObject();
    virtual ~TerrainObject();
    TerrainObject(const TerrainObject&) = delete;
    TerrainObject& operator=(const TerrainObject&) = delete;

    virtual const RTTI_ClassInfo* GetRTTIClassInfo() const { return &classInfo; }

    // The per-frame update of an object the terrain's frusta see; the base does nothing.
    virtual void Update(const TerrainBase& terrain, int elapsedMs);
    // Queues the object's own renderables for the terrain's region; the base has none (the ground
    // blocks are drawn by the terrain's render interface).
    virtual void AddToScene(GraphicsSceneRenderer& renderer, const TerrainBase& terrain);
    // Gives the render data back; the base only forgets its load state.
    virtual void Unload();
    // Readies the object's resources; the base records the load state (PreLoaded when preLoad,
    // else Loaded). The priority is passed on to resource queues by the kinds that have any.
    virtual void Load(int priority, bool preLoad);
    // Writes at most max contacts of the box with the object and returns their number; the base
    // has no surface and writes none.
    virtual int FindCollisions(const TerrainBase& terrain, const OBBox& box, CollisionContact* contacts, int max,
                               PhysicsSurface surface) const;
    // Offers each box of the list its contacts with the object; the base has none.
    virtual void FindCollisions(const TerrainBase& terrain, mem::vector<CollisionBox>& boxes,
                                PhysicsSurface surface) const;
    // The object's own nearest hit by the ray, written to hit (distance +infinity and surface None
    // on a miss, which is all the base writes).
    virtual void GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface surface) const;
    // The ground under the object changed: drop what was built from it; the base has nothing.
    virtual void Invalidate();
    // Re-reads the terrain layers that show inside the bounds; the base has none.
    virtual void RefreshLayers();
    // Grass: a push away from (x, z) within radius, a wind, the end of the winds; the base has no
    // grass.
    virtual void DisplaceGrass(float x, float z, float radius, float strength);
    virtual void CreateGrassWind(const PhysicsGrassWind& wind);
    virtual void RemoveGrassWind();
    // Whether the object may be drawn and queried now; every kind is as soon as it exists.
    virtual bool IsReady() const { return true; }
    // Device resources go before a device reset and may be remade after it; the base has none.
    virtual void PreDeviceReset();
    virtual void PostDeviceReset();

    // Marks the object used in this frame.
    void Touch() { lastFrameUsed_ = GetCurrentFrame(); }
    uint32_t GetLastFrameUsed() const { return lastFrameUsed_; }
    // Asked about preloading: loaded in advance; otherwise: loaded in any way.
    bool IsLoaded(bool preLoaded) const { return preLoaded ? preLoaded_ == PreLoaded : preLoaded_ >= Loaded; }

    // The bounds in the terrain region's space.
    const ABBox& GetBoundingBox() const { return bounds_; }
    // True while the object is in a terrain's tree.
    bool IsInSpace() const { return links_.node != nullptr; }
    // The tree node holding the object, for the log; null while it is in no tree.
    const void* GetSpaceNode() const { return links_.node; }

    // The engine's frame count (Engine::GetFrameCount); 0 while there is no engine.
    static uint32_t GetCurrentFrame();

protected:
    // The log lines every kind's description ends with: "bounds origin", "bounds extents",
    // "lastFrameUsed" and "preLoaded".
    void LogObjectState() const;
    // The kinds keep their bounds current; an object in a tree must be re-placed after a change
    // (TerrainBase::UpdateObjectInSpace).
    void SetBoundingBox(const ABBox& bounds) { bounds_ = bounds; }

private:
    friend struct TerrainObjectSpaceTraits;

    SpaceLinks<TerrainObject> links_;  // the tree node holding the object and its list neighbours
    ABBox bounds_;
    uint32_t lastFrameUsed_;           // engine frame of the last use
    int32_t preLoaded_ = NotLoaded;    // a LoadState
};

}  // namespace GAME
