// World's spatial queries (declared in World.h): shapes move between regions by the difference of
// the regions' offsets; each candidate region's box is tested before its level is asked. Entity
// queries test the box grown to hold the level's entities (EntityBox): a region's own box reaches
// only as high as its ground, and a crate in the air above it is still in it.

#include <algorithm>
#include <cmath>

#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/IntersectionTests.h"
#include "core/MathUtil.h"
#include "core/Ray.h"
#include "core/Sphere.h"
#include "engine/Entity.h"
#include "world/Level.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/RegionConnectivity.h"
#include "world/World.h"
#include "world/WorldFrustum.h"
#include "world/WorldIntersection.h"
#include "world/WorldRay.h"

namespace GAME {

namespace {

// The most corner points GetRegionsInFrustum reads; a frustum with 12 or more (or none) is tested
// against every region instead of the grid's candidates.
constexpr int kMaxCornerPoints = 64;
constexpr int kGridCornerLimit = 12;

// Region box, moved into ref's space.
ABBox BoxInSpaceOf(const Region* region, const Region* ref) {
    ABBox box = region->GetBoundingBox();
    box.Translate(GetOffsetDifference(region, ref));
    return box;
}

// The region's box grown to hold its level's entities (region space).
ABBox EntityBox(const Region* region) {
    ABBox entities;
    if (!region->IsLevelLoaded() || !region->GetLevel()->GetEntityBoundingBox(entities))
        return region->GetBoundingBox();
    return ABBox::Union(region->GetBoundingBox(), entities);
}

// The ray in region's space, or false when it misses box (in region's space) nearer than
// maxDistance.
bool RayInRegion(const WorldRay& ray, const Region* region, const ABBox& box, float maxDistance, Ray& out) {
    out = Ray(region->GetRelativePosition(ray.origin), ray.direction);
    return box.GetIntersection(out) < maxDistance;
}

}  // namespace

// Region queries.

void World::GetRegionsInFrustum(mem::vector<Region*>& out, Region* viewer, const Frustum& frustum,
                                bool connectedOnly) {
    if (!viewer) return;
    Vec3 corners[kMaxCornerPoints];
    const int count = Frustum::GetCornerPoints(corners, kMaxCornerPoints, frustum);
    mem::vector<Region*> candidates;
    if (grid_ && count > 0 && count < kGridCornerLimit) {
        Vec3 low = corners[0], high = corners[0];
        for (int i = 1; i < count; ++i) {
            low = Min(low, corners[i]);
            high = Max(high, corners[i]);
        }
        const IntVec3& offset = viewer->GetOffsetFromWorld();
        GetCandidates(low.x + float(offset.x), low.z + float(offset.z), high.x - low.x, high.z - low.z, candidates);
    } else {
        for (const std::unique_ptr<Region>& region : regions_) candidates.push_back(region.get());
    }
    for (Region* candidate : candidates) {
        const ABBox box = BoxInSpaceOf(candidate, viewer);
        if (!TestIntersection(box, frustum) || !TestIntersection(frustum, box)) continue;
        if (connectedOnly && !AreRegionsConnected(viewer, candidate, kFrustumConnectionDepth)) continue;
        out.push_back(candidate);
    }
}

void World::GetRegionsInBox(mem::vector<Region*>& out, Region* ref, const ABBox& box) {
    if (!ref) return;
    const IntVec3& offset = ref->GetOffsetFromWorld();
    mem::vector<Region*> candidates;
    GetCandidates(box.centre.x - box.halfSize.x + float(offset.x), box.centre.z - box.halfSize.z + float(offset.z),
                  2.0f * box.halfSize.x, 2.0f * box.halfSize.z, candidates);
    for (Region* candidate : candidates) {
        if (ABBox::Overlap(BoxInSpaceOf(candidate, ref), box)) out.push_back(candidate);
    }
}

Region* World::GetRegionContainingPoint(Region* ref, const Vec3& point) {
    const IntVec3 offset = ref ? ref->GetOffsetFromWorld() : IntVec3();
    mem::vector<Region*> candidates;
    GetCandidates(point.x + float(offset.x), point.z + float(offset.z), 0.0f, 0.0f, candidates);
    for (Region* candidate : candidates) {
        if (candidate->GetBoundingBox().Holds(point + GetOffsetDifference(ref, candidate))) return candidate;
    }
    return nullptr;
}

Region* World::GetRegionContainingPoint(const IntVec3& point) {
    for (const std::unique_ptr<Region>& region : regions_) {
        const IntVec3 local = point - region->GetOffsetFromWorld();
        if (region->GetBoundingBox().Holds(Vec3(float(local.x), float(local.y), float(local.z)))) return region.get();
    }
    return nullptr;
}

void World::GetLoadedRegionsInFrustum(mem::vector<Region*>& out, Region* viewer, const Frustum& frustum,
                                      bool neighboursOnly) {
    if (!viewer) return;
    for (Region* region : loadedRegions_) {
        if (neighboursOnly && region != viewer && !region->IsNeighbor(viewer)) continue;
        if (TestIntersection(BoxInSpaceOf(region, viewer), frustum)) out.push_back(region);
    }
}

// Entity queries.

void World::GetEntities(mem::vector<Entity*>& out, EntityListType type) const {
    for (const Region* region : loadedRegions_) region->GetLevel()->GetEntities(out, type);
}

void World::GetEntities(mem::vector<Entity*>& out, const FilterFunction<Entity>& filter, EntityListType type) const {
    for (const Region* region : loadedRegions_) region->GetLevel()->GetEntities(out, filter, type);
}

void World::GetEntitiesInSphere(mem::vector<Entity*>& out, Region* ref, const Sphere& sphere, bool useAlternateBox,
                                EntityListType type) const {
    if (!ref) return;
    for (const Region* region : loadedRegions_) {
        const Sphere moved(sphere.centre + GetOffsetDifference(ref, region), sphere.radius);
        if (TestIntersection(EntityBox(region), moved))
            region->GetLevel()->GetEntitiesInSphere(out, moved, useAlternateBox, type);
    }
}

void World::GetEntitiesInBox(mem::vector<Entity*>& out, const ABBox& box, Region* ref, bool loadLevels,
                             EntityListType type) {
    if (!ref) return;
    // The levels of the regions the box meets are loaded first when asked; every loaded level is
    // then met by the box that holds its entities.
    if (loadLevels) {
        mem::vector<Region*> regions;
        GetRegionsInBox(regions, ref, box);
        for (Region* region : regions) region->GuaranteedGetLevel(false);
    }
    for (const Region* region : loadedRegions_) {
        ABBox moved = box;
        moved.Translate(GetOffsetDifference(ref, region));
        if (ABBox::Overlap(EntityBox(region), moved)) region->GetLevel()->GetEntitiesInBox(out, moved, false, type);
    }
}

void World::GetEntitiesInFrustum(mem::vector<Entity*>& out, const WorldFrustum& frustum, bool useAlternateBox,
                                 bool neighboursOnly, bool exact) {
    Region* viewer = frustum.GetRegion();
    if (!viewer) return;
    for (const Region* region : loadedRegions_) {
        if (neighboursOnly && region != viewer && !region->IsNeighbor(viewer)) continue;
        Frustum moved = frustum.GetRegionFrustum();
        moved.Translate(GetOffsetDifference(viewer, region));
        if (TestIntersection(EntityBox(region), moved))
            region->GetLevel()->GetEntitiesInFrustum(out, &moved, 1, useAlternateBox, exact && !neighboursOnly);
    }
}

void World::GetEntitiesInCone(mem::vector<Entity*>& out, const WorldVec3& apex, const Vec3& direction, float angle,
                              float range, bool useAlternateBox, EntityListType type) const {
    constexpr float kTwoPi = 2.0f * Pi;
    constexpr float kMargin = 0.01f;
    if (angle >= kTwoPi) angle = kTwoPi - kMargin;
    if (angle <= 0.0f) angle = kMargin;
    if (angle == Pi) angle = Pi - kMargin;
    mem::vector<Entity*> inSphere;
    GetEntitiesInSphere(inSphere, apex.GetRegion(), Sphere(apex.GetRegionPosition(), range), useAlternateBox, type);
    const Vec3 axis = direction.Unit();
    mem::vector<std::pair<float, Entity*>> kept;
    for (Entity* entity : inSphere) {
        if (!entity->GetRegion()) continue;
        const Vec3 position = entity->GetCoords().GetOrigin() - apex + apex.GetRegionPosition();
        const Vec3& half = entity->GetRegionBoundingBox(useAlternateBox).halfSize;
        const float size = (half.x + half.y + half.z) / 3.0f;
        const bool inside =
            angle < Pi ? IsInCone(apex.GetRegionPosition(), direction, angle, position, size)
                       : !IsInCone(apex.GetRegionPosition(), -direction, kTwoPi - angle, position, size);
        if (inside) kept.emplace_back(Dot((position - apex.GetRegionPosition()).Unit(), axis), entity);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    out.clear();
    for (const auto& [score, entity] : kept) out.push_back(entity);
}

// Rays and picking.

void World::IntersectLevel(Region* region, const Ray& ray, WorldIntersection& out, PhysicsSurface excluded,
                           bool skipEntities) {
    if (!region->IsLevelLoaded()) return;
    Intersection hit;
    hit.distance = out.distance;
    if (!region->GetLevel()->GetIntersection(ray, hit, excluded, skipEntities) || !(hit.distance < out.distance))
        return;
    out.distance = hit.distance;
    out.position = WorldVec3(region, ray.GetPoint(hit.distance));
    out.entity = hit.entity;
}

void World::GetIntersection(const WorldRay& ray, WorldIntersection& out, PhysicsSurface excluded,
                            bool skipEntities) const {
    out = WorldIntersection();
    if (Region* origin = ray.origin.GetRegion())
        GetIntersectionThroughPortals(origin, Ray(ray.origin.GetRegionPosition(), ray.direction), out, excluded);
    if (out.distance < Infinity) return;
    for (Region* region : loadedRegions_) {
        Ray moved;
        const ABBox box = skipEntities ? region->GetBoundingBox() : EntityBox(region);
        if (RayInRegion(ray, region, box, Infinity, moved)) IntersectLevel(region, moved, out, excluded, skipEntities);
    }
}

void World::GetIntersectionThroughPortals(Region* region, const Ray& ray, WorldIntersection& out,
                                          PhysicsSurface excluded) const {
    float portalDistance = Infinity;
    const Portal* portal = region->TraceSegmentAgainstPortals(ray, portalDistance, false);
    Coords frontToBack;
    Region* behind = nullptr;
    if (!portal || !portal->GetFrontToBackCoords(frontToBack, behind)) return;
    // Something in this region in front of the doorway hides what lies behind it.
    WorldIntersection before;
    before.distance = portalDistance;
    IntersectLevel(region, ray, before, excluded, false);
    if (before.distance < portalDistance) {
        if (before.distance < out.distance) out = before;
        return;
    }
    const Ray carried(frontToBack.TransformPoint(ray.origin), frontToBack.TransformVector(ray.direction));
    IntersectLevel(behind, carried, out, excluded, false);
}

Entity* World::PickEntity(const WorldRay& ray) const {
    for (const Region* region : loadedRegions_) {
        Ray moved;
        if (!RayInRegion(ray, region, EntityBox(region), Infinity, moved)) continue;
        if (Entity* picked = region->GetLevel()->PickEntity(moved)) return picked;
    }
    return nullptr;
}

Entity* World::PickEntity(const WorldRay& ray, const FilterFunction<Entity>& filter) const {
    for (const Region* region : loadedRegions_) {
        Ray moved;
        if (!RayInRegion(ray, region, EntityBox(region), Infinity, moved)) continue;
        if (Entity* picked = region->GetLevel()->PickEntity(moved, filter)) return picked;
    }
    return nullptr;
}

void World::PickEntities(const WorldRay& ray, mem::vector<Entity*>& out) const {
    for (const Region* region : loadedRegions_) {
        Ray moved;
        if (RayInRegion(ray, region, EntityBox(region), Infinity, moved))
            region->GetLevel()->PickEntities(moved, out, true);
    }
}

void World::GetAllIntersections(const WorldRay& ray, mem::vector<Entity*>& out, bool useAlternateBox,
                                float maxDistance) const {
    if (!ray.origin.GetRegion()) return;
    for (const Region* region : loadedRegions_) {
        Ray moved;
        if (RayInRegion(ray, region, EntityBox(region), maxDistance, moved))
            region->GetLevel()->GetAllIntersections(moved, out, useAlternateBox, maxDistance);
    }
}

int World::PickRegion(const WorldRay& ray) const {
    float nearest = Infinity;
    int result = -1;
    for (Region* region : loadedRegions_) {
        // A level without ground has nothing to pick the region by.
        if (!region->GetLevel()->GetGround()) continue;
        WorldIntersection hit;
        hit.distance = nearest;
        IntersectLevel(region, Ray(region->GetRelativePosition(ray.origin), ray.direction), hit, PhysicsSurface::None,
                       true);
        if (hit.distance < nearest) {
            nearest = hit.distance;
            result = region->GetIndex();
        }
    }
    return result;
}

Portal* World::TraceRayAgainstPortals(const WorldRay& ray, float& distance, bool twoSided) const {
    distance = Infinity;
    for (const Region* region : loadedRegions_) {
        Ray moved;
        if (!RayInRegion(ray, region, region->GetBoundingBox(), distance, moved)) continue;
        if (Portal* portal = region->TraceSegmentAgainstPortals(moved, distance, twoSided)) return portal;
    }
    return nullptr;
}

// Distances and heights.

Vec3 World::GetDirection(const WorldVec3& a, const WorldVec3& b) const {
    Region* from = a.GetRegion();
    const Region* to = b.GetRegion();
    if (from == to || !from || !to) return b.GetRegionPosition() - a.GetRegionPosition();
    Vec3 best = b - a;
    for (int i = 0; i < from->GetNumPortals(); ++i) {
        const Portal* portal = from->GetPortal(i);
        if (portal->GetConnectedRegionId() != to->GetId()) continue;
        Coords backToFront;
        Region* connected = nullptr;
        if (!portal->GetBackToFrontCoords(backToFront, connected)) continue;
        const Vec3 through = backToFront.TransformPoint(b.GetRegionPosition()) - a.GetRegionPosition();
        if (through.LengthSquared() < best.LengthSquared()) best = through;
    }
    return best;
}

float World::GetDistanceSquared(const WorldVec3& a, const WorldVec3& b) const {
    if (!a.GetRegion() || !b.GetRegion()) return Infinity;
    return GetDirection(a, b).LengthSquared();
}

float World::GetDistance(const WorldVec3& a, const WorldVec3& b) const { return std::sqrt(GetDistanceSquared(a, b)); }

float World::GetNearestFloorHeight(const WorldVec3& position) {
    WorldVec3 above = position;
    above.TranslateInRegion(Vec3(0.0f, kFloorRayLift, 0.0f));
    WorldIntersection hit;
    GetIntersection(WorldRay(above, Vec3(0.0f, -1.0f, 0.0f)), hit, PhysicsSurface::None, false);
    if (hit.distance < Infinity) return position.GetRegionPosition().y + kFloorRayLift - hit.distance;
    WorldVec3 below = position;
    below.TranslateInRegion(Vec3(0.0f, -kFloorRayLift, 0.0f));
    GetIntersection(WorldRay(below, Vec3(0.0f, 1.0f, 0.0f)), hit, PhysicsSurface::None, false);
    if (hit.distance < Infinity) return position.GetRegionPosition().y - kFloorRayLift + hit.distance;
    return -Infinity;
}

float World::GetHighestTerrainHeight(Region* ref, float x, float z) {
    if (!ref) return kNoTerrainHeight;
    mem::vector<Region*> regions;
    GetRegionsInBox(regions, ref, ABBox(Vec3(x, 0.0f, z), Vec3(0.0f, Infinity, 0.0f)));
    if (regions.empty()) return kNoTerrainHeight;
    float highest = -Infinity;
    for (Region* region : regions) {
        // A level not loaded yet is loaded now, on this thread.
        const Level* level = region->GuaranteedGetLevel(false);
        const LevelGround* ground = level ? level->GetGround() : nullptr;
        if (!ground) continue;
        const Vec3 d = GetOffsetDifference(region, ref);
        highest = std::max(highest, ground->GetHeightInterpolated(x - d.x, z - d.z) + d.y);
    }
    return highest;
}

}  // namespace GAME
