#include "core/WorldVec3.h"

#include "core/Coords.h"
#include "core/MathUtil.h"
#include "core/Ray.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/WorldQueries.h"

namespace GAME {

Vec3 WorldVec3::operator-(const WorldVec3& other) const {
    return position_ - other.position_ + GetOffsetDifference(region_, other.region_);
}

void WorldVec3::MakeRelative(Region* region) {
    if (!region || !region_) return;
    position_ = region->GetRelativePosition(*this);
    region_ = region;
}

void WorldVec3::Translate(const Vec3& delta, bool noPortals) {
    if (!region_) return;
    // The segment runs over t in [0, 1) along delta; a portal is crossed from its front only, so
    // a position just carried through a doorway does not bounce back through its other side.
    const Portal* portal = nullptr;
    if (!noPortals) {
        float distance = 1.0f;
        portal = region_->TraceSegmentAgainstPortals(Ray(position_, delta), distance, false);
    }
    position_ += delta;
    Coords frontToBack;
    Region* connected = nullptr;
    if (portal && portal->GetFrontToBackCoords(frontToBack, connected)) {
        position_ = frontToBack.TransformPoint(position_);
        region_ = connected;
        return;
    }
    if (region_->GetBoundingBox().Holds(position_)) return;
    WorldQueries* world = region_->GetWorld();
    if (Region* holder = world ? world->GetRegionContainingPoint(region_, position_) : nullptr) MakeRelative(holder);
}

bool WorldVec3::TranslateToFloor(const Vec3& delta) {
    Translate(delta, false);
    return PutOnFloor();
}

bool WorldVec3::PutOnFloor() {
    WorldQueries* world = region_ ? region_->GetWorld() : nullptr;
    if (!world) return false;
    const float height = world->GetNearestFloorHeight(*this);
    if (!(height > -Infinity)) return false;
    position_.y = height;
    return true;
}

}  // namespace GAME
