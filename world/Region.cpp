#include "world/Region.h"

#include <algorithm>

#include "core/CriticalSectionLock.h"
#include "core/Frustum.h"
#include "core/IntersectionTests.h"
#include "core/Log.h"
#include "core/Ray.h"
#include "core/WorldVec3.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "world/Level.h"
#include "world/Portal.h"
#include "world/RegionRecord.h"
#include "core/WorldCoords.h"
#include "world/WorldQueries.h"

namespace GAME {

Vec3 GetOffsetDifference(const Region* from, const Region* to) {
    const IntVec3 fromOffset = from ? from->GetOffsetFromWorld() : IntVec3();
    const IntVec3 toOffset = to ? to->GetOffsetFromWorld() : IntVec3();
    const IntVec3 difference = fromOffset - toOffset;
    return Vec3(float(difference.x), float(difference.y), float(difference.z));
}

Region::Region(WorldQueries* world, int index, const std::string& name, const ABBox& box, const IntVec3& offset,
               const RegionId& id)
    : id_(id.IsInvalid() ? RegionId::CreateUnique() : id),
      world_(world),
      index_(index),
      offset_(offset),
      name_(name),
      box_(box) {}

Region::~Region() { SetLevel(nullptr); }

void Region::UpdateBoundingBox() {
    if (level_) box_ = level_->GetBoundingBox();
}

bool Region::IsLevelLoaded() const { return level_ && level_->IsLoaded() && level_->GetPostLoadCalled(); }

void Region::SetLevel(std::unique_ptr<Level> level) {
    std::unique_ptr<Level> old;
    {
        // The level loading thread reads the pointer under the lock; the old level is torn down
        // outside it.
        CriticalSectionLock lock(regionLock_);
        old.swap(level_);
        level_ = std::move(level);
        UpdateBoundingBox();
    }
    if (old) {
        if (world_) world_->SetRegionLoaded(this, false);
        old->Unload(false);
    }
    if (world_ && level_ && level_->IsLoaded()) world_->SetRegionLoaded(this, true);
}

bool Region::AddEntity(Entity* entity, const WorldCoords& coords, bool updateNow) {
    if (!entity || coords.GetRegion() != this) return false;
    if (!IsLevelLoaded()) {
        if (entity->DeleteOnEnteringUnloadedLevel()) {
            Log(LogPriority::Error,
                "Entity (%s, id: %d) could not be added to the world because it's level is not loaded.",
                entity->GetObjectName().c_str(), int(entity->GetObjectId()));
            entity->DestroyPhysicsObject();
            Singleton<ObjectManager>::Get()->DestroyObjectEx(entity, __FILE__, __LINE__);
        }
        return false;
    }
    if (!level_->AddEntity(entity, coords.GetRegionCoords())) return false;
    if (updateNow) entity->Update(0);
    return true;
}

void Region::RemoveEntity(Entity* entity) {
    if (!entity) return;
    if (level_) {
        // A level still waiting for its post-load may be filled by the loading thread.
        CriticalSectionLock lock(regionLock_);
        level_->RemoveEntityFromNetworkList(entity);
        level_->RemoveEntity(entity);
    }
    entity->SetCoords(WorldCoords());
    entity->DestroyPhysicsObject();
}

void Region::GetEntitiesInFrustum(mem::vector<Entity*>& out, const Frustum& frustum, bool useAlternateBox,
                                  bool followPortals) const {
    mem::set<const Region*> visited;
    GatherEntitiesInFrustum(out, frustum, useAlternateBox, followPortals, visited);
}

void Region::GatherEntitiesInFrustum(mem::vector<Entity*>& out, const Frustum& frustum, bool useAlternateBox,
                                     bool followPortals, mem::set<const Region*>& visited) const {
    if (!visited.insert(this).second) return;
    if (IsLevelLoaded()) level_->GetEntitiesInFrustum(out, &frustum, 1, useAlternateBox, false);
    if (!followPortals) return;
    for (const std::unique_ptr<Portal>& portal : portals_) {
        if (!portal->GetIsOpen() || !portal->TestIntersection(frustum)) continue;
        Coords frontToBack;
        Region* behind = nullptr;
        if (!portal->GetFrontToBackCoords(frontToBack, behind) || visited.count(behind)) continue;
        Frustum carried = frustum;
        carried.Transform(frontToBack);
        behind->GatherEntitiesInFrustum(out, carried, useAlternateBox, followPortals, visited);
    }
}

Vec3 Region::GetRelativePosition(const WorldVec3& position) const {
    return position.GetRegionPosition() + GetOffsetDifference(position.GetRegion(), this);
}

Coords Region::GetRelativeTransformation(const Region* other) const {
    return Coords::Translation(GetOffsetDifference(this, other));
}

void Region::GetEnclosingFrustum(Frustum& out) const {
    const Vec3 low = box_.GetMin();
    const Vec3 high = box_.GetMax();
    out = Frustum();
    out.AddPlane(Plane(Vec3(1, 0, 0), -low.x));
    out.AddPlane(Plane(Vec3(-1, 0, 0), high.x));
    out.AddPlane(Plane(Vec3(0, 1, 0), -low.y));
    out.AddPlane(Plane(Vec3(0, -1, 0), high.y));
    out.AddPlane(Plane(Vec3(0, 0, 1), -low.z));
    out.AddPlane(Plane(Vec3(0, 0, -1), high.z));
}

Portal* Region::CreatePortal() {
    portals_.push_back(std::make_unique<Portal>());
    portals_.back()->SetRegion(this);
    return portals_.back().get();
}

void Region::DestroyPortal(Portal* portal) {
    std::erase_if(portals_, [portal](const std::unique_ptr<Portal>& owned) { return owned.get() == portal; });
}

Portal* Region::GetPortal(const UniqueId& id) const {
    for (const std::unique_ptr<Portal>& portal : portals_) {
        if (portal->GetId() == id) return portal.get();
    }
    return nullptr;
}

bool Region::IsNeighbor(const Region* region) const {
    if (!region) return false;
    return std::any_of(portals_.begin(), portals_.end(), [region](const std::unique_ptr<Portal>& portal) {
        return portal->GetConnectedRegionId() == region->GetId();
    });
}

Portal* Region::TraceSegmentAgainstPortals(const Ray& ray, float& distance, bool twoSided) const {
    Portal* nearest = nullptr;
    for (const std::unique_ptr<Portal>& portal : portals_) {
        if (!portal->GetIsOpen()) continue;
        const float hit = portal->GetIntersection(ray, twoSided);
        if (hit < distance) {
            distance = hit;
            nearest = portal.get();
        }
    }
    return nearest;
}

void Region::BuildRegionConnectivity(const mem::vector<Region*>& all) {
    connectedRegions_.clear();
    const ABBox reach(box_.centre, box_.halfSize + Vec3(kConnectionDistance, kConnectionDistance, kConnectionDistance));
    for (Region* other : all) {
        if (!other || other == this) continue;
        ABBox otherBox = other->GetBoundingBox();
        otherBox.Translate(GetOffsetDifference(other, this));
        if (TestIntersection(reach, otherBox)) connectedRegions_.push_back(other);
    }
}

void Region::RemoveConnectedRegion(const Region* region) { std::erase(connectedRegions_, region); }

void Region::Save(BinaryWriter& writer) const { RegionRecord{name_, zoneRecord_, box_, offset_, id_}.Write(writer); }

void Region::SaveRegionIcon(BinaryWriter& writer) const {
    writer.Write(static_cast<unsigned int>(icon_.value));
    writer.Write(static_cast<unsigned int>(icon_.width));
    writer.Write(static_cast<unsigned int>(icon_.height));
    writer.Write(static_cast<int>(icon_.bytes.size()));
    if (!icon_.bytes.empty()) writer.Write(icon_.bytes.data(), static_cast<uint32_t>(icon_.bytes.size()));
}

bool Region::LoadRegionIcon(BinaryReader& reader) {
    icon_ = RegionIcon();
    RegionIcon icon;
    icon.value = reader.ReadUInt32();
    icon.width = reader.ReadUInt32();
    icon.height = reader.ReadUInt32();
    const int32_t count = reader.ReadInt32();
    if (count > 0 && !reader.Failed()) {
        if (uint32_t(count) > reader.GetRemaining()) {
            Log(LogPriority::Error, "Region %s: icon of %d bytes runs past the end of its record", name_.c_str(),
                count);
            return false;
        }
        icon.bytes.resize(uint32_t(count));
        reader.ReadBytes(icon.bytes.data(), uint32_t(count));
    }
    if (reader.Failed()) {
        Log(LogPriority::Error, "Region %s: icon record truncated", name_.c_str());
        return false;
    }
    icon_ = std::move(icon);
    return true;
}

}  // namespace GAME
