#pragma once
// PathFinder: the process-wide path service (Singleton<PathFinder>). Levels register their path
// meshes, placed portals register themselves, and the world asks for paths between two positions.
//
// A search runs A* over the triangles of the meshes (PathSearch) and straightens the corridor with
// a funnel (StraightenPath). Positions find their mesh by region. Paths cross from one region's mesh
// into another's only through portals that the installed PathPortalLinker can place; with no linker
// installed, a path stays within its region.
//
// Registration and searches may come from any thread; one lock serialises them. A registered mesh
// must stay unchanged until it is removed.

#include <memory>

#include "core/CriticalSection.h"
#include "core/Mem.h"
#include "core/Vec3.h"
#include "pathing/Path.h"
#include "pathing/PathSearch.h"

namespace GAME {

class PathMesh;
class PathPortalLinker;
class Portal;
class WorldVec3;

class PathFinder {
public:
    PathFinder() = default;
    PathFinder(const PathFinder&) = delete;
    PathFinder& operator=(const PathFinder&) = delete;

    // Registering twice, or removing what is not registered, changes nothing.
    void AddMesh(PathMesh* mesh);
    void RemoveMesh(PathMesh* mesh);
    void AddPortal(Portal* portal);
    void RemovePortal(Portal* portal);
    // The region layer's portal geometry; null (the default) searches within regions only. Not owned.
    void SetPortalLinker(const PathPortalLinker* linker);

    bool IsDebuggingEnabled() const { return debugging_; }
    void SetDebuggingEnabled(bool enabled) { debugging_ = enabled; }

    // The path from start to goal, owned by the caller; null when either position lies on no
    // registered mesh of its region, or the goal cannot be reached. The world passes its own
    // arguments on unchanged; the search uses the two positions, and the leading int and the
    // trailing vector, four floats and flags do not change this search.
    std::unique_ptr<Path> FindPath(int, const WorldVec3& start, const WorldVec3& goal, const Vec3&, float, float, float,
                                   float, unsigned);

    uint32_t GetNumMeshes() const;
    uint32_t GetNumPortals() const;

private:
    // Finds the registered mesh of the position's region with a triangle under the position.
    bool Locate(const WorldVec3& position, PathSearch::Location& location) const;

    mutable CriticalSection lock_;
    mem::vector<PathMesh*> meshes_;
    mem::vector<Portal*> portals_;
    const PathPortalLinker* linker_ = nullptr;
    bool debugging_ = false;
    PathSearch search_;                   // reused by every search, under the lock
    mem::vector<PathSearch::Step> corridor_;
};

}  // namespace GAME
