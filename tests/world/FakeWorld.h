#pragma once
// A small world for the region tests: it owns regions made with it and answers the world's queries
// by scanning them in the order they were added, as the world does without its grid. The floor is
// a flat height in every region, or none.

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "core/Frustum.h"
#include "core/MathUtil.h"
#include "core/Mem.h"
#include "core/WorldVec3.h"
#include "world/Region.h"
#include "world/WorldQueries.h"

namespace GAME::test {

class FakeWorld : public WorldQueries {
public:
    Region* Add(const std::string& name, const ABBox& box, const IntVec3& offset, const RegionId& id = RegionId()) {
        regions_.push_back(std::make_unique<Region>(this, int(regions_.size()), name, box, offset, id));
        return regions_.back().get();
    }
    void Remove(Region* region) {
        std::erase_if(regions_, [region](const std::unique_ptr<Region>& owned) { return owned.get() == region; });
    }
    mem::vector<Region*> GetRegions() const {
        mem::vector<Region*> all;
        for (const auto& region : regions_) all.push_back(region.get());
        return all;
    }
    // The floor height, the same in every region; -infinity for none.
    void SetFloor(float height) { floor_ = height; }

    // Regions of the fake world do not stream.
    void AddPendingPostLoadRegion(Region*) override {}
    void RemovePendingPostLoadRegion(Region*) override {}
    File* LockMapFile() const override { return nullptr; }
    void UnlockMapFile() const override {}
    Region* GetRegionById(const RegionId& id) override {
        for (const auto& region : regions_) {
            if (region->GetId() == id) return region.get();
        }
        return nullptr;
    }
    Region* GetRegionContainingPoint(Region* ref, const Vec3& point) override {
        for (const auto& region : regions_) {
            const Vec3 gap = point + GetOffsetDifference(ref, region.get()) - region->GetBoundingBox().centre;
            const Vec3& half = region->GetBoundingBox().halfSize;
            if (std::fabs(gap.x) <= half.x && std::fabs(gap.y) <= half.y && std::fabs(gap.z) <= half.z)
                return region.get();
        }
        return nullptr;
    }
    void GetRegionsInBox(mem::vector<Region*>& out, Region* ref, const ABBox& box) override {
        for (const auto& region : regions_) {
            const ABBox& own = region->GetBoundingBox();
            if (ABBox::Overlap(ABBox(own.centre - GetOffsetDifference(ref, region.get()), own.halfSize), box))
                out.push_back(region.get());
        }
    }
    void GetRegionsInFrustum(mem::vector<Region*>& out, Region* viewer, const Frustum& frustum, bool) override {
        for (const auto& region : regions_) {
            const ABBox& own = region->GetBoundingBox();
            if (frustum.TestABBox(ABBox(own.centre - GetOffsetDifference(viewer, region.get()), own.halfSize)))
                out.push_back(region.get());
        }
    }
    float GetNearestFloorHeight(const WorldVec3&) override { return floor_; }
    void SetRegionLoaded(const Region*, bool) override {}

private:
    mem::vector<std::unique_ptr<Region>> regions_;
    float floor_ = -Infinity;
};

}  // namespace GAME::test
