#include "world/Region.h"

#include <algorithm>

#include "core/Frustum.h"
#include "core/IntersectionTests.h"
#include "core/Log.h"
#include "core/Ray.h"
#include "core/WorldVec3.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "world/Portal.h"
#include "world/RegionRecord.h"

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

Region::~Region() = default;

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
