#pragma once
// Portal: one side of a doorway between two regions: triangles in its region that lead, when seen
// or crossed, into the connected region, where the matching portal (the other side) stands.
//
// Portals carry positions, rays and frusta from one region into the other, so regions need not
// share a frame. Each side has a choke frame, T = coords * local choke point (a point p in choke
// space lies at coords(choke(p)) in the region). The two choke frames of a matching pair are
// identified directly, without a half-turn: they must face the same way through the doorway. A
// point of this portal's region goes to the connected region by T_other * T_this^-1.
//
// The connected region is looked up by id in the world each time it is asked for, never cached:
// a region the world removed (and perhaps re-added under the same id) cannot leave a stale
// pointer behind.
//
// A placed portal (one given its coords) is registered with the path finder, which asks the
// region layer's PortalPathLinker where to cross it; it is unregistered before each move and when
// it is destroyed.
//
// Threads: portals are placed and used on the main thread; the path finder reads placed portals
// from the thread that searches, under its own lock, through the variants that never load.

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/Mem.h"
#include "core/OBBox.h"
#include "core/Plane.h"
#include "core/UniqueId.h"
#include "core/Vec3.h"
#include "world/RegionId.h"

namespace GAME {

class Frustum;
class GraphicsMesh;
class GraphicsPrimitiveDrawer;
class Region;
class WorldCoords;
struct Ray;

class Portal {
public:
    struct Triangle {
        Vec3 corner[3];  // in portal space
    };

    // A fresh id, open, casting shadows, identity frames, no triangles, no region.
    Portal();
    // Unregisters the portal from the path finder.
    virtual ~Portal();
    Portal(const Portal&) = delete;
    Portal& operator=(const Portal&) = delete;

    void SetId(const UniqueId& id) { id_ = id; }
    const UniqueId& GetId() const { return id_; }

    // Places the portal in its region: unregistered from the path finder, moved, registered again.
    void SetCoords(const Coords& coords);
    const Coords& GetCoords() const { return coords_; }

    void SetRegion(Region* region) { region_ = region; }
    Region* GetRegion() const { return region_; }

    // The frame, relative to the portal's, at which the portal is crossed.
    void SetLocalChokePoint(const Coords& chokePoint) { localChokePoint_ = chokePoint; }
    // The choke frame in the portal's region.
    WorldCoords GetChokePoint() const;

    void SetConnectedRegionId(const RegionId& id) { connectedRegionId_ = id; }
    const RegionId& GetConnectedRegionId() const { return connectedRegionId_; }
    void SetConnectedPortalId(const UniqueId& id) { connectedPortalId_ = id; }
    const UniqueId& GetConnectedPortalId() const { return connectedPortalId_; }

    // The region behind the portal, from the world of the portal's region; null without one.
    Region* GetConnectedRegion() const;
    // The matching portal in the connected region; null when either is missing. The matching
    // portal comes with the connected region's level, so with loadConnectedLevel that level is
    // loaded first on this thread when it is not there (unless its last load failed: a broken
    // level is not read again at every crossing). Without it nothing is loaded and no region lock
    // is taken (the path finder's linker asks under its own lock): an unloaded region's doorway
    // is then missing.
    Portal* GetConnectedPortal(bool loadConnectedLevel = true) const;

    // The frame that carries points of this portal's region into the connected region, which is
    // written to region; false (nothing written) when the connected region or portal is missing.
    bool GetFrontToBackCoords(Coords& out, Region*& region, bool loadConnectedLevel = true) const;
    // The reverse: points of the connected region carried into this portal's region; region is
    // set to the connected region as well.
    bool GetBackToFrontCoords(Coords& out, Region*& region, bool loadConnectedLevel = true) const;

    // The exact test of the frustum (in region space) against the portal's oriented box.
    bool TestIntersection(const Frustum& frustum) const;
    const OBBox& GetRegionBoundingBox() const { return regionBox_; }

    void SetIsOpen(bool open) { open_ = open; }
    bool GetIsOpen() const { return open_; }
    void SetCastsShadows(bool castsShadows) { castsShadows_ = castsShadows; }
    bool GetCastsShadows() const { return castsShadows_; }

    // Stores the triangles and derives the local box (their bounds padded by 0.1 on each axis),
    // the region box, and the local choke point (identity axes at the bottom centre of the padded
    // box). A portal is given its triangles before it is placed.
    void SetTriangles(const mem::vector<Triangle>& triangles);
    // The triangles of the mesh's portal 0 and, when the mesh has a "ChokePoint" attach point, the
    // local choke point from it (meshes of doorways carry their portal).
    void SetFromMesh(const GraphicsMesh& mesh);
    const mem::vector<Triangle>& GetTriangles() const { return triangles_; }

    // Debug drawing: the triangles, each corner at frame(coords(corner)), wound the other way round
    // (third, second, first corner) so that they face the viewer in front of the doorway.
    void Render(GraphicsPrimitiveDrawer& drawer, const Coords& frame) const;

    // The plane of the first triangle (unit normal of (b - a) x (c - a)) in region space. A
    // portal without triangles has the zero plane, which faces nowhere.
    Plane GetPlane() const;
    // The point lies strictly in front of the plane.
    bool IsFrontFacing(const Vec3& point) const;
    // The nearest t at which the ray (in region space) meets a triangle; +infinity on a miss, or
    // when the portal is one-sided and the ray starts behind it.
    float GetIntersection(const Ray& ray, bool twoSided) const;

private:
    // The choke frame in the region: coords * local choke point.
    Coords GetChokeFrame() const { return coords_ * localChokePoint_; }

    UniqueId id_;
    ABBox localBox_;
    OBBox regionBox_;
    mem::vector<Triangle> triangles_;
    Coords localChokePoint_;
    Region* region_ = nullptr;
    Coords coords_;
    RegionId connectedRegionId_;
    UniqueId connectedPortalId_;
    bool open_ = true;
    bool castsShadows_ = true;
};

}  // namespace GAME
