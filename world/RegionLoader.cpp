#include "world/RegionLoader.h"

#include <algorithm>

#include "engine/Engine.h"
#include "files/ResourceLoader.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {

RegionLoader::RegionLoader(ResourceLoader* resourceLoader, const mem::vector<Region*>& regions, bool loadRenderData)
    : loadRenderData_(loadRenderData), resourceLoader_(resourceLoader) {
    for (Region* region : regions) entries_.push_back({region});
}

RegionLoader::RegionLoader(const WorldFrustum& frustum, bool loadRenderData)
    : loadRenderData_(loadRenderData), resourceLoader_(gEngine ? gEngine->GetResourceLoader() : nullptr) {
    SetFrustum(frustum);
    World* world = gEngine ? gEngine->GetWorld() : nullptr;
    if (!world || !frustum.GetRegion()) return;
    mem::vector<Region*> regions;
    world->GetRegionsInFrustum(regions, frustum.GetRegion(),
                               frustum.GetRegionFrustum().Expand(gEngine->GetLevelLoadInflation()), false);
    for (Region* region : regions) entries_.push_back({region});
}

void RegionLoader::SetFrustum(const WorldFrustum& frustum) {
    frustum_ = frustum;
    hasFrustum_ = true;
}

bool RegionLoader::GetHasFailed() const {
    return std::any_of(entries_.begin(), entries_.end(), [](const Entry& entry) {
        return !entry.region->IsLevelLoaded() && entry.region->GetLoadFailed();
    });
}

void RegionLoader::StartLoading() {
    for (const Entry& entry : entries_) entry.region->BackgroundLoadLevel(loadRenderData_);
}

void ForegroundRegionLoader::StartLoading() {
    for (const Entry& entry : entries_) {
        if (!entry.region->IsLevelLoaded()) entry.region->GuaranteedGetLevel(loadRenderData_);
    }
}

void RegionLoader::PreLoad(Region& region, int elapsed) const {
    if (!hasFrustum_) {
        region.PreLoad(elapsed, true);
        return;
    }
    Frustum relative;
    frustum_.GetRelativeFrustum(&region, relative);
    region.PreLoad(elapsed, &relative, 1, true);
}

void RegionLoader::Update(int elapsed) {
    if (!started_) {
        StartLoading();
        started_ = true;
    }
    if (done_) {
        for (const Entry& entry : entries_) {
            if (!entry.marker) continue;
            PreLoad(*entry.region, elapsed);
            entry.region->MarkAsUsedThisFrame();
        }
        return;
    }
    bool allDone = true;
    bool allLoaded = true;
    for (Entry& entry : entries_) {
        if (entry.region->IsLevelLoaded()) {
            if (entry.marker) PreLoad(*entry.region, elapsed);
            if (!entry.done) {
                if (entry.marker) {
                    entry.done = !resourceLoader_ || resourceLoader_->GetHasMarkerPast(entry.marker);
                    // Its resources in, the region is drawn once offscreen while the game waits.
                    if (entry.done && gEngine != nullptr && gEngine->GetWorld() != nullptr)
                        gEngine->GetWorld()->WarmUp(*entry.region);
                } else {
                    // Done once every request the preload queued has been served.
                    PreLoad(*entry.region, elapsed);
                    entry.marker = resourceLoader_ ? resourceLoader_->CreateMarker() : 1;
                }
            }
            entry.region->GetLevel(false);
        } else {
            allLoaded = false;
        }
        if (!entry.done) allDone = false;
    }
    done_ = allDone;
    levelsLoaded_ = allLoaded;
}

}  // namespace GAME
