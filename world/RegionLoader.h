#pragma once
// RegionLoader: brings a set of regions wholly into memory before the game goes on: their levels
// are loaded, their entities and ground resources preloaded, and every resource request the
// preload queued has been served by the ResourceLoader. The host calls Update once a frame and
// polls GetIsDone; while it keeps calling Update the regions stay marked used, so they are not
// unloaded under it.
//
// The set is a list of regions, or the regions a WorldFrustum sees (gathered with the frustum
// pushed out by the engine's level-load inflation, preloaded with the frustum as given).
// ForegroundRegionLoader loads the levels on the calling thread instead of queuing them.
//
// With the world's warm-up on, each region is drawn once offscreen as it becomes done
// (World::WarmUp), so that the frames after the loading screen find the driver's variants made.
//
// A region whose level cannot be read keeps the loader from being done; GetHasFailed tells the
// host so, rather than letting it wait for ever.
//
// Threads: main thread only; it reads the loading flags and the resource loader's markers.

#include <cstdint>

#include "core/Mem.h"
#include "world/WorldFrustum.h"

namespace GAME {

class Region;
class ResourceLoader;

class RegionLoader {
public:
    RegionLoader(ResourceLoader* resourceLoader, const mem::vector<Region*>& regions, bool loadRenderData);
    // The regions of the engine's world seen from the frustum, with the engine's resource loader.
    RegionLoader(const WorldFrustum& frustum, bool loadRenderData);
    virtual ~RegionLoader() = default;
    RegionLoader(const RegionLoader&) = delete;
    RegionLoader& operator=(const RegionLoader&) = delete;

    // Preloading then uses the frustum instead of each region's whole box.
    void SetFrustum(const WorldFrustum& frustum);
    const WorldFrustum& GetFrustum() const { return frustum_; }
    bool GetIsDone() const { return done_; }
    bool GetAreLevelsLoaded() const { return levelsLoaded_; }
    // Some region's level could not be read: the loader will not be done.
    bool GetHasFailed() const;

    // Starts the loads on the first call; then follows them (see above).
    void Update(int elapsed);

protected:
    // Asks for every region's level.
    virtual void StartLoading();

    struct Entry {
        Region* region = nullptr;
        bool done = false;
        uint32_t marker = 0;  // taken after the region's preload; 0 before
    };
    mem::vector<Entry> entries_;
    bool loadRenderData_;

private:
    void PreLoad(Region& region, int elapsed) const;

    ResourceLoader* resourceLoader_;  // not owned
    WorldFrustum frustum_;
    bool hasFrustum_ = false;
    bool done_ = false;
    bool levelsLoaded_ = false;
    bool started_ = false;
};

class ForegroundRegionLoader final : public RegionLoader {
public:
    ForegroundRegionLoader(ResourceLoader* resourceLoader, const mem::vector<Region*>& regions, bool loadRenderData)
        : RegionLoader(resourceLoader, regions, loadRenderData) {}

protected:
    // Loads every level that is not loaded, now.
    void StartLoading() override;
};

}  // namespace GAME
