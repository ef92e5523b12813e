#include "world/Portal.h"

#include "core/Frustum.h"
#include "core/IntersectionTests.h"
#include "core/MathUtil.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/WorldCoords.h"
#include "pathing/PathFinder.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "scene/GraphicsMesh.h"
#include "world/Region.h"
#include "world/WorldQueries.h"

namespace GAME {

void Portal::Render(GraphicsPrimitiveDrawer& drawer, const Coords& frame) const {
    const Coords placed = frame * coords_;
    drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Triangles);
    for (const Triangle& triangle : triangles_) {
        for (int corner = 2; corner >= 0; --corner) drawer.SetVertex(placed.TransformPoint(triangle.corner[corner]));
    }
    drawer.End();
}


namespace {

constexpr float kBoxPadding = 0.1f;

}  // namespace

Portal::Portal() { id_.Create(); }

Portal::~Portal() {
    // Not made just to be told: a path finder already gone knows no portals.
    if (Singleton<PathFinder>::HasInstantiated()) Singleton<PathFinder>::Get()->RemovePortal(this);
}

void Portal::SetCoords(const Coords& coords) {
    PathFinder* pathFinder = Singleton<PathFinder>::Get();
    pathFinder->RemovePortal(this);
    coords_ = coords;
    regionBox_ = ABBox::Transform(coords_, localBox_);
    pathFinder->AddPortal(this);
}

WorldCoords Portal::GetChokePoint() const { return WorldCoords(region_, GetChokeFrame()); }

Region* Portal::GetConnectedRegion() const {
    WorldQueries* world = region_ ? region_->GetWorld() : nullptr;
    return world ? world->GetRegionById(connectedRegionId_) : nullptr;
}

Portal* Portal::GetConnectedPortal(bool loadConnectedLevel) const {
    Region* region = GetConnectedRegion();
    if (!region) return nullptr;
    if (loadConnectedLevel && !region->IsLevelLoaded()) region->GetLevelUnlessFailed(false);
    return region->GetPortal(connectedPortalId_);
}

bool Portal::GetFrontToBackCoords(Coords& out, Region*& region, bool loadConnectedLevel) const {
    const Portal* other = GetConnectedPortal(loadConnectedLevel);
    if (!other) return false;
    out = other->GetChokeFrame() * GetChokeFrame().Inverse();
    region = other->GetRegion();
    return true;
}

bool Portal::GetBackToFrontCoords(Coords& out, Region*& region, bool loadConnectedLevel) const {
    const Portal* other = GetConnectedPortal(loadConnectedLevel);
    if (!other) return false;
    out = GetChokeFrame() * other->GetChokeFrame().Inverse();
    region = other->GetRegion();
    return true;
}

void Portal::SetFromMesh(const GraphicsMesh& mesh) {
    mem::vector<Triangle> triangles;
    for (const GraphicsMesh::PortalPoint& point : mesh.GetPortal(0).points)
        triangles.push_back(Triangle{{point.vectors[0], point.vectors[1], point.vectors[2]}});
    SetTriangles(triangles);
    if (const GraphicsMesh::AttachPoint* choke = mesh.GetAttachPoint(Name::Create("ChokePoint")))
        SetLocalChokePoint(choke->coords);
}

bool Portal::TestIntersection(const Frustum& frustum) const { return GAME::TestIntersection(frustum, regionBox_); }

void Portal::SetTriangles(const mem::vector<Triangle>& triangles) {
    triangles_ = triangles;
    if (triangles_.empty()) {
        localBox_ = ABBox();
        localChokePoint_ = Coords::Identity;
    } else {
        Vec3 low(Infinity, Infinity, Infinity);
        Vec3 high(-Infinity, -Infinity, -Infinity);
        for (const Triangle& triangle : triangles_) {
            for (const Vec3& corner : triangle.corner) {
                low = Min(low, corner);
                high = Max(high, corner);
            }
        }
        localBox_ = ABBox((low + high) * 0.5f, (high - low) * 0.5f + Vec3(kBoxPadding, kBoxPadding, kBoxPadding));
        const Vec3& centre = localBox_.centre;
        localChokePoint_ = Coords::Translation(Vec3(centre.x, centre.y - localBox_.halfSize.y, centre.z));
    }
    regionBox_ = ABBox::Transform(coords_, localBox_);
}

Plane Portal::GetPlane() const {
    if (triangles_.empty()) return Plane();
    const Triangle& first = triangles_[0];
    return coords_.TransformPlane(Plane(first.corner[0], first.corner[1], first.corner[2]));
}

bool Portal::IsFrontFacing(const Vec3& point) const { return GetPlane().GetDistance(point) > 0.0f; }

float Portal::GetIntersection(const Ray& ray, bool twoSided) const {
    if (triangles_.empty() || !(regionBox_.GetIntersection(ray) < Infinity)) return Infinity;
    if (!twoSided && !IsFrontFacing(ray.origin)) return Infinity;
    const Coords toPortal = coords_.Inverse();
    const Ray local(toPortal.TransformPoint(ray.origin), toPortal.TransformVector(ray.direction));
    float nearest = Infinity;
    for (const Triangle& triangle : triangles_) {
        nearest = Min(nearest, IntersectRayTriangle(local, triangle.corner[0], triangle.corner[1], triangle.corner[2]));
    }
    return nearest;
}

}  // namespace GAME
