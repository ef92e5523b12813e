#include "pathing/PathFinder.h"

#include <algorithm>

#include "core/CriticalSectionLock.h"
#include "core/WorldVec3.h"
#include "pathing/PathFunnel.h"
#include "pathing/PathMesh.h"
#include "pathing/PathPortalLinker.h"

namespace GAME {

namespace {

template <class T>
void AddOnce(mem::vector<T*>& list, T* item) {
    if (item && std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

template <class T>
void RemoveFrom(mem::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void PathFinder::AddMesh(PathMesh* mesh) {
    CriticalSectionLock lock(lock_);
    AddOnce(meshes_, mesh);
}

void PathFinder::RemoveMesh(PathMesh* mesh) {
    CriticalSectionLock lock(lock_);
    RemoveFrom(meshes_, mesh);
}

void PathFinder::AddPortal(Portal* portal) {
    CriticalSectionLock lock(lock_);
    AddOnce(portals_, portal);
}

void PathFinder::RemovePortal(Portal* portal) {
    CriticalSectionLock lock(lock_);
    RemoveFrom(portals_, portal);
}

void PathFinder::SetPortalLinker(const PathPortalLinker* linker) {
    CriticalSectionLock lock(lock_);
    linker_ = linker;
}

uint32_t PathFinder::GetNumMeshes() const {
    CriticalSectionLock lock(lock_);
    return static_cast<uint32_t>(meshes_.size());
}

uint32_t PathFinder::GetNumPortals() const {
    CriticalSectionLock lock(lock_);
    return static_cast<uint32_t>(portals_.size());
}

bool PathFinder::Locate(const WorldVec3& position, PathSearch::Location& location) const {
    if (!position.GetRegion()) return false;
    for (uint32_t m = 0; m < meshes_.size(); ++m) {
        if (meshes_[m]->GetRegion() != position.GetRegion()) continue;
        const int32_t triangle = meshes_[m]->FindTriangle(position.GetRegionPosition());
        if (triangle >= 0) {
            location = PathSearch::Location{m, static_cast<uint32_t>(triangle)};
            return true;
        }
    }
    return false;
}

std::unique_ptr<Path> PathFinder::FindPath(int, const WorldVec3& start, const WorldVec3& goal, const Vec3&, float, float,
                                           float, float, unsigned) {
    CriticalSectionLock lock(lock_);
    PathSearch::Location from, to;
    if (!Locate(start, from) || !Locate(goal, to)) return nullptr;

    // Portal crossings, both ways, between triangles of registered meshes.
    mem::vector<PathSearch::Link> links;
    if (linker_) {
        for (Portal* portal : portals_) {
            WorldVec3 front, back;
            PathSearch::Location frontLocation, backLocation;
            if (!linker_->GetCrossing(*portal, front, back) || !Locate(front, frontLocation) || !Locate(back, backLocation))
                continue;
            links.push_back(PathSearch::Link{frontLocation, front.GetRegionPosition(), backLocation, back.GetRegionPosition()});
            links.push_back(PathSearch::Link{backLocation, back.GetRegionPosition(), frontLocation, front.GetRegionPosition()});
        }
    }

    const mem::vector<const PathMesh*> meshes(meshes_.begin(), meshes_.end());
    if (!search_.Find(meshes, links, from, start.GetRegionPosition(), to, goal.GetRegionPosition(), corridor_))
        return nullptr;

    // Straighten each run of the corridor within one mesh; a link ends a run at its exit point and
    // starts the next at the same place seen from the next region.
    auto path = std::make_unique<Path>();
    path->points.push_back(start);
    mem::vector<Vec3> corners;
    size_t runStart = 0;
    Vec3 runFrom = start.GetRegionPosition();
    for (size_t k = 1; k <= corridor_.size(); ++k) {
        if (k < corridor_.size() && !corridor_[k].linked) continue;
        const PathMesh& mesh = *meshes[corridor_[runStart].location.mesh];
        const Vec3 runTo = k < corridor_.size() ? corridor_[k].linkExit : goal.GetRegionPosition();
        corners.clear();
        StraightenPath(mesh, &corridor_[runStart], k - runStart, runFrom, runTo, corners);
        for (const Vec3& corner : corners) path->points.emplace_back(mesh.GetRegion(), corner);
        if (k < corridor_.size()) {
            runStart = k;
            runFrom = corridor_[k].entry;
            path->points.emplace_back(meshes[corridor_[k].location.mesh]->GetRegion(), runFrom);
        }
    }
    path->points.back() = goal;
    return path;
}

}  // namespace GAME
